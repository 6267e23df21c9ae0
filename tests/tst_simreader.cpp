#include "plausibility.h"
#include "vrkreaderclient.h"

#include <QtTest>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

// A zeroed buffer followed by guard bytes that the library must never touch.
template <int Size>
struct Buffer
{
    static const int guardSize = 64;
    char bytes[Size + guardSize];

    // A fill other than zero shows whether the library terminates its text.
    explicit Buffer(char fill = 0)
    {
        std::memset(bytes, fill, Size);
        std::memset(bytes + Size, 0x5a, guardSize);
    }
    operator char *() { return bytes; }

    bool intact() const
    {
        for (int i = Size; i < Size + guardSize; ++i) {
            if (bytes[i] != 0x5a)
                return false;
        }
        return std::memchr(bytes, 0, Size) != nullptr;
    }
    bool isUtf8() const
    {
        const QByteArray text(bytes);
        return QString::fromUtf8(text).toUtf8() == text;
    }
    QString text() const { return QString::fromUtf8(bytes); }
};

using Value = Buffer<36>;
using LongValue = Buffer<256>;
using Text = Buffer<1024>;
using Error = Buffer<1024>;

// Every function with no buffer and no int output at all: nothing may be
// written and nothing may crash, opened or not.
void callEveryFunctionWithoutBuffers()
{
    char *n = nullptr;
    VRK_ReadCarNo(n, n);
    VRK_ReadCardBas(n, n, n, n, n, n, n, n, n, n, n, n, n, n);
    VRK_ReadCardCertID(n, n, n);
    VRK_ReadCardCity(n, n);
    VRK_IDCard_Read(n, n, n, n, n, n, n, n, n, n);
    VRK_ICBankCard_ReadNO(n, n);
    VRK_MagicBankCard_ReadNo(10, n, n);
    VRK_ECard_SetAutoRead(1, n);
    VRK_ECard_Read(nullptr, n, 2000, n);
    VRK_ECard_AutoReadTime(2000, n);
    VRK_MagCardRead(10, n, n, n, n, n);
    VRK_KeyBoard_InputKey(20, 1024, n, nullptr, n);
    VRK_OpenDev(21, n, n);
}

QStringList doubts(const char *function, std::initializer_list<const char *> values)
{
    const QDate now = QDate::currentDate();
    const CalendarDate today{now.year(), now.month(), now.day()};
    const std::vector<std::string> texts(values.begin(), values.end());
    QStringList found;
    for (const std::string &doubt : answerDoubts(function, texts, today))
        found << QString::fromStdString(doubt);
    return found;
}

} // namespace

// The library's state lives for the whole process, so the functions run in
// declaration order: everything before opening, then opening, then the rest.
class tst_SimReader : public QObject
{
    Q_OBJECT

private slots:
    void everyFunctionFailsBeforeOpening();
    void openRefusesUnsupportedChoices_data();
    void openRefusesUnsupportedChoices();
    void openAcceptsSupportedChoices_data();
    void openAcceptsSupportedChoices();
    void valuesFitTheirBuffers();
    void demoAnswersCouldComeFromGenuineCards();
    void scannerKeepsModeAndInterval();
    void pinPadRespectsTheGivenSize();
};

void tst_SimReader::everyFunctionFailsBeforeOpening()
{
    const auto fails = [](int result, const Error &error) {
        return result != 0 && error.intact() && !error.text().isEmpty();
    };
    Value v[13];
    LongValue l[2];
    Text t[4];
    Error e[12];
    int output = 0;

    callEveryFunctionWithoutBuffers();
    QVERIFY(fails(VRK_ReadCarNo(v[0], e[0]), e[0]));
    QVERIFY(fails(VRK_ReadCardBas(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9],
                                  v[10], v[11], v[12], e[1]), e[1]));
    QVERIFY(fails(VRK_ReadCardCertID(v[0], v[1], e[2]), e[2]));
    QVERIFY(fails(VRK_ReadCardCity(v[0], e[3]), e[3]));
    QVERIFY(fails(VRK_IDCard_Read(v[0], v[1], v[2], v[3], l[0], v[4], l[1], v[5], v[6], e[4]),
                  e[4]));
    QVERIFY(fails(VRK_ICBankCard_ReadNO(v[0], e[5]), e[5]));
    QVERIFY(fails(VRK_MagicBankCard_ReadNo(10, t[0], e[6]), e[6]));
    QVERIFY(fails(VRK_ECard_SetAutoRead(1, e[7]), e[7]));
    QVERIFY(fails(VRK_ECard_Read(&output, t[0], 2000, e[8]), e[8]));
    QVERIFY(fails(VRK_ECard_AutoReadTime(2000, e[9]), e[9]));
    QVERIFY(fails(VRK_MagCardRead(10, t[0], t[1], t[2], t[3], e[10]), e[10]));
    QVERIFY(fails(VRK_KeyBoard_InputKey(20, 1024, t[0], &output, e[11]), e[11]));

    // Nothing was read, so nothing was written.
    for (const Value &value : v)
        QCOMPARE(QByteArray(value.bytes), QByteArray());
    QCOMPARE(QByteArray(t[0].bytes), QByteArray());
}

void tst_SimReader::openRefusesUnsupportedChoices_data()
{
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<QByteArray>("regionCode");

    QTest::newRow("no device type") << -1 << QByteArray("3500");
    QTest::newRow("unknown device type") << 20 << QByteArray("3500");
    QTest::newRow("no region") << 21 << QByteArray();
    QTest::newRow("region outside the province") << 19 << QByteArray("3510");
    QTest::newRow("region with letters") << 21 << QByteArray("35a0");
    QTest::newRow("region of ten bytes without a NUL") << 21 << QByteArray("3500000000");
}

void tst_SimReader::openRefusesUnsupportedChoices()
{
    QFETCH(int, deviceType);
    QFETCH(QByteArray, regionCode);

    Buffer<10> region;
    std::memcpy(region.bytes, regionCode.constData(), size_t(regionCode.size()));
    Error error;
    QVERIFY(VRK_OpenDev(deviceType, region, error) != 0);
    QVERIFY(error.intact());
    QVERIFY(error.isUtf8());
    QVERIFY(!error.text().isEmpty());

    // Still not open.
    Value cardNumber;
    Error readError;
    QVERIFY(VRK_ReadCarNo(cardNumber, readError) != 0);
}

void tst_SimReader::openAcceptsSupportedChoices_data()
{
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<QByteArray>("regionCode");

    QTest::newRow("TQ-660 in 3509") << 19 << QByteArray("3509");
    QTest::newRow("TQ-880 in 3500") << 21 << QByteArray("3500");
}

void tst_SimReader::openAcceptsSupportedChoices()
{
    QFETCH(int, deviceType);
    QFETCH(QByteArray, regionCode);

    Buffer<10> region;
    std::memcpy(region.bytes, regionCode.constData(), size_t(regionCode.size()));
    Error error;
    QCOMPARE(VRK_OpenDev(deviceType, region, error), 0);
    QVERIFY(error.intact());

    Value city;
    Error cityError;
    QCOMPARE(VRK_ReadCardCity(city, cityError), 0);
    QVERIFY(city.text().startsWith(QString::fromLatin1(regionCode)));
}

void tst_SimReader::valuesFitTheirBuffers()
{
    callEveryFunctionWithoutBuffers();

    const char fill = 'x';
    Value v[13] = {Value(fill), Value(fill), Value(fill), Value(fill), Value(fill),
                   Value(fill), Value(fill), Value(fill), Value(fill), Value(fill),
                   Value(fill), Value(fill), Value(fill)};
    LongValue l[2] = {LongValue(fill), LongValue(fill)};
    Text t[4] = {Text(fill), Text(fill), Text(fill), Text(fill)};
    Error e[11];
    int output = 0;

    QCOMPARE(VRK_ReadCarNo(v[0], e[0]), 0);
    QCOMPARE(VRK_ReadCardBas(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9],
                             v[10], v[11], v[12], e[1]), 0);
    for (const Value &value : v) {
        QVERIFY(value.intact());
        QVERIFY(value.isUtf8());
        QVERIFY(!value.text().isEmpty());
    }
    QCOMPARE(VRK_ReadCardCertID(v[0], v[1], e[2]), 0);
    QCOMPARE(VRK_ReadCardCity(v[2], e[3]), 0);
    QCOMPARE(VRK_IDCard_Read(v[0], v[1], v[2], v[3], l[0], v[4], l[1], v[5], v[6], e[4]), 0);
    // Birth place and authority have 256 bytes, more than a short value's 36.
    QVERIFY(l[0].intact() && std::strlen(l[0].bytes) > 35);
    QVERIFY(l[1].intact() && std::strlen(l[1].bytes) > 35);
    QCOMPARE(VRK_ICBankCard_ReadNO(v[7], e[5]), 0);
    QCOMPARE(VRK_MagicBankCard_ReadNo(10, t[0], e[6]), 0);
    QCOMPARE(VRK_MagCardRead(10, t[0], t[1], t[2], t[3], e[7]), 0);
    QVERIFY(!t[0].text().isEmpty());
    QVERIFY(!t[2].text().isEmpty());
    QCOMPARE(VRK_ECard_Read(&output, t[1], 2000, e[8]), 0);
    QVERIFY(!t[1].text().isEmpty());
    QCOMPARE(VRK_KeyBoard_InputKey(20, 1024, t[3], &output, e[9]), 0);
    QVERIFY(!t[3].text().isEmpty());

    for (const Value &value : v)
        QVERIFY(value.intact() && value.isUtf8() && !value.text().isEmpty());
    for (const LongValue &value : l)
        QVERIFY(value.intact() && value.isUtf8() && !value.text().isEmpty());
    for (const Text &value : t)
        QVERIFY(value.intact() && value.isUtf8());
    for (const Error &error : e)
        QVERIFY(error.intact() && error.isUtf8());
}

void tst_SimReader::demoAnswersCouldComeFromGenuineCards()
{
    Value v[13];
    LongValue l[2];
    Text t[4];
    Error e;
    int output = 0;

    QCOMPARE(VRK_ReadCarNo(v[0], e), 0);
    QCOMPARE(doubts("VRK_ReadCarNo", {v[0].bytes}), QStringList());
    QCOMPARE(VRK_ReadCardBas(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9],
                             v[10], v[11], v[12], e), 0);
    QCOMPARE(doubts("VRK_ReadCardBas", {v[0].bytes, v[1].bytes, v[2].bytes, v[3].bytes,
                                        v[4].bytes, v[5].bytes, v[6].bytes, v[7].bytes,
                                        v[8].bytes, v[9].bytes, v[10].bytes, v[11].bytes,
                                        v[12].bytes}),
             QStringList());
    QCOMPARE(VRK_ReadCardCertID(v[0], v[1], e), 0);
    QCOMPARE(doubts("VRK_ReadCardCertID", {v[0].bytes, v[1].bytes}), QStringList());
    QCOMPARE(VRK_ReadCardCity(v[0], e), 0);
    QCOMPARE(doubts("VRK_ReadCardCity", {v[0].bytes}), QStringList());
    QCOMPARE(VRK_IDCard_Read(v[0], v[1], v[2], v[3], l[0], v[4], l[1], v[5], v[6], e), 0);
    QCOMPARE(doubts("VRK_IDCard_Read", {v[0].bytes, v[1].bytes, v[2].bytes, v[3].bytes,
                                        l[0].bytes, v[4].bytes, l[1].bytes, v[5].bytes,
                                        v[6].bytes}),
             QStringList());
    QCOMPARE(VRK_ICBankCard_ReadNO(v[0], e), 0);
    QCOMPARE(doubts("VRK_ICBankCard_ReadNO", {v[0].bytes}), QStringList());
    QCOMPARE(VRK_MagicBankCard_ReadNo(10, t[0], e), 0);
    QCOMPARE(doubts("VRK_MagicBankCard_ReadNo", {t[0].bytes}), QStringList());
    QCOMPARE(VRK_MagCardRead(10, t[0], t[1], t[2], t[3], e), 0);
    QCOMPARE(doubts("VRK_MagCardRead", {t[0].bytes, t[1].bytes, t[2].bytes, t[3].bytes}),
             QStringList());
    QCOMPARE(VRK_ECard_Read(&output, t[0], 2000, e), 0);
    QCOMPARE(doubts("VRK_ECard_Read", {t[0].bytes}), QStringList());
    QCOMPARE(VRK_KeyBoard_InputKey(20, 1024, t[0], &output, e), 0);
    QCOMPARE(doubts("VRK_KeyBoard_InputKey", {t[0].bytes}), QStringList());
}

void tst_SimReader::scannerKeepsModeAndInterval()
{
    Error error;
    QCOMPARE(VRK_ECard_SetAutoRead(0, error), 0);
    QCOMPARE(VRK_ECard_AutoReadTime(5000, error), 0);
    QVERIFY(VRK_ECard_AutoReadTime(0, error) != 0);
    QVERIFY(!error.text().isEmpty());

    int output = 0;
    Text scan;
    Error scanError;
    QCOMPARE(VRK_ECard_Read(&output, scan, 1000, scanError), 0);
    QVERIFY2(scan.text().contains(QStringLiteral("手动")), qPrintable(scan.text()));
    QVERIFY2(scan.text().contains("5000"), qPrintable(scan.text()));

    QCOMPARE(VRK_ECard_SetAutoRead(1, scanError), 0);
    Text second;
    QCOMPARE(VRK_ECard_Read(&output, second, 1000, scanError), 0);
    QVERIFY2(second.text().contains(QStringLiteral("自动")), qPrintable(second.text()));

    Text none;
    Error timeout;
    QVERIFY(VRK_ECard_Read(&output, none, 0, timeout) != 0);
    QVERIFY(!timeout.text().isEmpty());
}

void tst_SimReader::pinPadRespectsTheGivenSize()
{
    Buffer<4> key;
    int output = 0;
    Error error;
    QCOMPARE(VRK_KeyBoard_InputKey(20, 4, key, &output, error), 0);
    QVERIFY(key.intact());
    QCOMPARE(int(std::strlen(key.bytes)), 3);
}

QTEST_MAIN(tst_SimReader)
#include "tst_simreader.moc"
