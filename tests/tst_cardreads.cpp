#include "readerdouble.h"
#include "widgetfixture.h"

#include <QtTest>

#include <cstdio>
#include <unistd.h>

using ReaderDouble::Answer;
using Values = QList<QByteArray>;

namespace {

QString u(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes);
}

QByteArray repeated(const char *character, int times)
{
    return QByteArray(character).repeated(times);
}

// Values at the longest length their buffers hold, in multi-byte UTF-8.
const QByteArray name35 = repeated("张", 11) + "ab";
const QByteArray place255 = repeated("福", 85);
const QByteArray authority255 = repeated("局", 85);
const QByteArray text1023 = repeated("号", 341);

// A whole buffer of one letter, different for each buffer: a value read from
// the wrong buffer or past a buffer's end shows as the wrong letters.
QByteArray filled(char letter, int size)
{
    return QByteArray(size, letter);
}

// Collects what is written to standard output (file descriptor 1) while it
// lives. Qt's messages go to standard error meanwhile, since the test log
// shares standard output.
class StandardOutput
{
public:
    StandardOutput()
        : m_file(std::tmpfile())
        , m_saved(dup(1))
        , m_previousHandler(qInstallMessageHandler(toStandardError))
    {
        std::fflush(stdout);
        dup2(fileno(m_file), 1);
    }

    ~StandardOutput()
    {
        std::fflush(stdout);
        dup2(m_saved, 1);
        close(m_saved);
        std::fclose(m_file);
        qInstallMessageHandler(m_previousHandler);
    }

    QByteArray text() const
    {
        std::fflush(stdout);
        // Read without moving the offset that standard output writes at.
        const int fd = fileno(m_file);
        QByteArray bytes(int(lseek(fd, 0, SEEK_CUR)), '\0');
        bytes.resize(int(pread(fd, bytes.data(), size_t(bytes.size()), 0)));
        return bytes;
    }

private:
    static void toStandardError(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }

    std::FILE *m_file;
    int m_saved;
    QtMessageHandler m_previousHandler;
};

} // namespace

// The card reads of the social security, identity card, bank card, stripe
// and PIN pad panels: one call, then the success format or the error text.
class tst_CardReads : public WidgetFixture
{
    Q_OBJECT

private slots:
    void success_data();
    void success();
    void failure_data();
    void failure();
    void identityCardFailureWritesResultCode();
};

void tst_CardReads::success_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<Values>("values");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<QString>("text");

    // Social security card.
    QTest::newRow("card number, all empty")
        << "pushButton_2" << QByteArray("VRK_ReadCarNo") << Values{} << QByteArray()
        << QStringLiteral("卡  号 :\n 错误信息 :");
    QTest::newRow("card number of 35 bytes, message left on success")
        << "pushButton_2" << QByteArray("VRK_ReadCarNo") << Values{name35}
        << QByteArray("注意：卡片即将过期")
        << QStringLiteral("卡  号 :") + u(name35) + QStringLiteral("\n 错误信息 :注意：卡片即将过期");
    QTest::newRow("card number and message filling their buffers without a NUL")
        << "pushButton_2" << QByteArray("VRK_ReadCarNo") << Values{filled('A', 36)}
        << filled('E', 1024)
        << QStringLiteral("卡  号 :") + QString(36, 'A') + QStringLiteral("\n 错误信息 :")
               + QString(1024, 'E');
    const QByteArray cutCharacter = QByteArray(35, 'A') + "\xe5";
    QTest::newRow("card number cut inside a character, no NUL, message not UTF-8")
        << "pushButton_2" << QByteArray("VRK_ReadCarNo") << Values{cutCharacter}
        << QByteArray("\xc3\x28\xa0\xa1")
        << QStringLiteral("卡  号 :") + QString::fromUtf8(cutCharacter)
               + QStringLiteral("\n 错误信息 :") + QString::fromUtf8("\xc3\x28\xa0\xa1");
    QTest::newRow("card number with percent signs and markup")
        << "pushButton_2" << QByteArray("VRK_ReadCarNo") << Values{"%s%d<b>x</b>"}
        << QByteArray("%s")
        << QStringLiteral("卡  号 :%s%d<b>x</b>\n 错误信息 :%s");

    QTest::newRow("basic information, all empty")
        << "pushButton_3" << QByteArray("VRK_ReadCardBas") << Values{} << QByteArray()
        << QStringLiteral("卡识别码 :\n 卡类型 :\n 卡版本:\n 发行机构编码: \n 发行日期: \n"
                          " 卡有效期:\n 卡号:\n 身份证号码:\n 姓名:\n 性别:\n 民族:\n"
                          " 出生地址:\n 出生日期:\n 错误信息 :");
    QTest::newRow("basic information, every value at 35 bytes")
        << "pushButton_3" << QByteArray("VRK_ReadCardBas")
        << Values{filled('a', 35), filled('b', 35), filled('c', 35), filled('d', 35),
                  filled('e', 35), filled('f', 35), filled('g', 35), filled('h', 35),
                  name35, filled('j', 35), filled('k', 35), repeated("省", 11) + "xy",
                  filled('m', 35)}
        << QByteArray("msg")
        << QStringLiteral("卡识别码 :") + QString(35, 'a') + QStringLiteral("\n 卡类型 :")
               + QString(35, 'b') + QStringLiteral("\n 卡版本:") + QString(35, 'c')
               + QStringLiteral("\n 发行机构编码:") + QString(35, 'd')
               + QStringLiteral(" \n 发行日期:") + QString(35, 'e')
               + QStringLiteral(" \n 卡有效期:") + QString(35, 'f')
               + QStringLiteral("\n 卡号:") + QString(35, 'g')
               + QStringLiteral("\n 身份证号码:") + QString(35, 'h')
               + QStringLiteral("\n 姓名:") + u(name35) + QStringLiteral("\n 性别:")
               + QString(35, 'j') + QStringLiteral("\n 民族:") + QString(35, 'k')
               + QStringLiteral("\n 出生地址:") + u(repeated("省", 11) + "xy")
               + QStringLiteral("\n 出生日期:") + QString(35, 'm')
               + QStringLiteral("\n 错误信息 :msg");

    QTest::newRow("card id code, card number first")
        << "pushButton_4" << QByteArray("VRK_ReadCardCertID")
        << Values{"SIM001", "ID-CODE"} << QByteArray()
        << QStringLiteral("卡  号 :SIM001\n 卡识别码 :ID-CODE\n 错误信息 :");
    QTest::newRow("card id code, both without a NUL")
        << "pushButton_4" << QByteArray("VRK_ReadCardCertID")
        << Values{filled('N', 36), filled('C', 36)} << filled('E', 1024)
        << QStringLiteral("卡  号 :") + QString(36, 'N') + QStringLiteral("\n 卡识别码 :")
               + QString(36, 'C') + QStringLiteral("\n 错误信息 :") + QString(1024, 'E');

    QTest::newRow("region code, all empty")
        << "pushButton_5" << QByteArray("VRK_ReadCardCity") << Values{} << QByteArray()
        << QStringLiteral("地  区 :\n 错误信息 :");
    QTest::newRow("region code")
        << "pushButton_5" << QByteArray("VRK_ReadCardCity") << Values{"350100"}
        << QByteArray("ok") << QStringLiteral("地  区 :350100\n 错误信息 :ok");

    // Identity card.
    QTest::newRow("identity card, all empty")
        << "pushButton_6" << QByteArray("VRK_IDCard_Read") << Values{} << QByteArray()
        << QStringLiteral("姓 名 :\n 性别:\n 民族:\n生日: \n 出生地:\n 身份证号: \n"
                          " 签发机关:\n 有效期:\n 有效期止 :\n错误信息 :");
    QTest::newRow("identity card, every value at full length")
        << "pushButton_6" << QByteArray("VRK_IDCard_Read")
        << Values{name35, filled('s', 35), filled('e', 35), filled('b', 35), place255,
                  filled('n', 35), authority255, filled('v', 35), filled('u', 35)}
        << text1023
        << QStringLiteral("姓 名 :") + u(name35) + QStringLiteral("\n 性别:") + QString(35, 's')
               + QStringLiteral("\n 民族:") + QString(35, 'e') + QStringLiteral("\n生日: ")
               + QString(35, 'b') + QStringLiteral("\n 出生地:") + u(place255)
               + QStringLiteral("\n 身份证号: ") + QString(35, 'n')
               + QStringLiteral("\n 签发机关:") + u(authority255)
               + QStringLiteral("\n 有效期:") + QString(35, 'v')
               + QStringLiteral("\n 有效期止 :") + QString(35, 'u')
               + QStringLiteral("\n错误信息 :") + u(text1023);
    QTest::newRow("identity card, no value terminated")
        << "pushButton_6" << QByteArray("VRK_IDCard_Read")
        << Values{filled('a', 36), filled('b', 36), filled('c', 36), filled('d', 36),
                  filled('P', 256), filled('f', 36), filled('A', 256), filled('h', 36),
                  filled('i', 36)}
        << filled('E', 1024)
        << QStringLiteral("姓 名 :") + QString(36, 'a') + QStringLiteral("\n 性别:")
               + QString(36, 'b') + QStringLiteral("\n 民族:") + QString(36, 'c')
               + QStringLiteral("\n生日: ") + QString(36, 'd') + QStringLiteral("\n 出生地:")
               + QString(256, 'P') + QStringLiteral("\n 身份证号: ") + QString(36, 'f')
               + QStringLiteral("\n 签发机关:") + QString(256, 'A')
               + QStringLiteral("\n 有效期:") + QString(36, 'h')
               + QStringLiteral("\n 有效期止 :") + QString(36, 'i')
               + QStringLiteral("\n错误信息 :") + QString(1024, 'E');

    // Bank card.
    QTest::newRow("chip card number, empty message")
        << "pushButton_7" << QByteArray("VRK_ICBankCard_ReadNO")
        << Values{"6200000000000000091"} << QByteArray()
        << QStringLiteral("银行卡号 :6200000000000000091\n 错误信息 :");
    QTest::newRow("chip card number of 36 bytes without a NUL")
        << "pushButton_7" << QByteArray("VRK_ICBankCard_ReadNO") << Values{filled('9', 36)}
        << filled('E', 1024)
        << QStringLiteral("银行卡号 :") + QString(36, '9') + QStringLiteral("\n 错误信息 :")
               + QString(1024, 'E');
    QTest::newRow("stripe card number, empty")
        << "pushButton_15" << QByteArray("VRK_MagicBankCard_ReadNo") << Values{} << QByteArray()
        << QStringLiteral("银行卡号:\n  错误信息 :");
    QTest::newRow("stripe card number and message of 1023 bytes")
        << "pushButton_15" << QByteArray("VRK_MagicBankCard_ReadNo") << Values{text1023}
        << text1023
        << QStringLiteral("银行卡号:") + u(text1023) + QStringLiteral("\n  错误信息 :")
               + u(text1023);
    QTest::newRow("stripe card number of 1024 bytes without a NUL")
        << "pushButton_15" << QByteArray("VRK_MagicBankCard_ReadNo")
        << Values{filled('8', 1024)} << QByteArray("<i>ok</i>")
        << QStringLiteral("银行卡号:") + QString(1024, '8')
               + QStringLiteral("\n  错误信息 :<i>ok</i>");

    // Stripe tracks and PIN pad.
    QTest::newRow("tracks: only the first and third buffers are shown")
        << "pushButton_14" << QByteArray("VRK_MagCardRead")
        << Values{"T1=2222", "%B^HIDDEN^", "T3=3333", "HIDDEN4"} << QByteArray()
        << QStringLiteral("二磁道信息:T1=2222\n  三磁道信息:T3=3333\n错误信息 :");
    QTest::newRow("tracks: third track empty")
        << "pushButton_14" << QByteArray("VRK_MagCardRead") << Values{"T1"}
        << QByteArray("warn") << QStringLiteral("二磁道信息:T1\n  三磁道信息:\n错误信息 :warn");
    QTest::newRow("tracks: every buffer full without a NUL")
        << "pushButton_14" << QByteArray("VRK_MagCardRead")
        << Values{filled('1', 1024), filled('2', 1024), filled('3', 1024), filled('4', 1024)}
        << filled('E', 1024)
        << QStringLiteral("二磁道信息:") + QString(1024, '1') + QStringLiteral("\n  三磁道信息:")
               + QString(1024, '3') + QStringLiteral("\n错误信息 :") + QString(1024, 'E');
    QTest::newRow("PIN shown unmasked")
        << "pushButton_13" << QByteArray("VRK_KeyBoard_InputKey") << Values{"123456"}
        << QByteArray() << QStringLiteral("信息:123456\n 错误信息 :");
    QTest::newRow("PIN text of 1024 bytes without a NUL")
        << "pushButton_13" << QByteArray("VRK_KeyBoard_InputKey") << Values{filled('K', 1024)}
        << QByteArray("%s") << QStringLiteral("信息:") + QString(1024, 'K')
               + QStringLiteral("\n 错误信息 :%s");
}

void tst_CardReads::success()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, function);
    QFETCH(Values, values);
    QFETCH(QByteArray, error);
    QFETCH(QString, text);

    ReaderDouble::setAnswer(function, Answer{0, values, error});

    const ResultBox box = press(button);

    QCOMPARE(ReaderDouble::calls().size(), 1);
    checkBox(box, QMessageBox::Information, text);
}

void tst_CardReads::failure_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("error");

    const struct
    {
        const char *operation;
        const char *button;
        const char *function;
    } operations[] = {
        {"card number", "pushButton_2", "VRK_ReadCarNo"},
        {"basic information", "pushButton_3", "VRK_ReadCardBas"},
        {"card id code", "pushButton_4", "VRK_ReadCardCertID"},
        {"region code", "pushButton_5", "VRK_ReadCardCity"},
        {"identity card", "pushButton_6", "VRK_IDCard_Read"},
        {"chip card number", "pushButton_7", "VRK_ICBankCard_ReadNO"},
        {"stripe card number", "pushButton_15", "VRK_MagicBankCard_ReadNo"},
        {"stripe tracks", "pushButton_14", "VRK_MagCardRead"},
        {"PIN", "pushButton_13", "VRK_KeyBoard_InputKey"},
    };
    for (const auto &op : operations) {
        const QByteArray name = op.operation;
        QTest::newRow(name + ", message") << op.button << QByteArray(op.function) << -1
                                          << QByteArray("读卡失败：无卡");
        QTest::newRow(name + ", empty message") << op.button << QByteArray(op.function) << 1
                                                << QByteArray();
        QTest::newRow(name + ", markup") << op.button << QByteArray(op.function) << -7
                                         << QByteArray("<b>x</b> & %s");
        QTest::newRow(name + ", message without a NUL")
            << op.button << QByteArray(op.function) << -1 << filled('E', 1024);
    }
}

void tst_CardReads::failure()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, function);
    QFETCH(int, result);
    QFETCH(QByteArray, error);

    // Values the library wrote before failing are not shown.
    Values values;
    for (int i = 0; i < 13; ++i)
        values << "VALUE";
    ReaderDouble::setAnswer(function, Answer{result, values, error});

    QByteArray written;
    ResultBox box;
    {
        StandardOutput out;
        box = press(button);
        written = out.text();
    }

    QCOMPARE(ReaderDouble::calls().size(), 1);
    QCOMPARE(written, button == "pushButton_6" ? QByteArray::number(result) : QByteArray());
    checkBox(box, QMessageBox::Critical, u(error));
}

void tst_CardReads::identityCardFailureWritesResultCode()
{
    QByteArray afterOne, afterTwo, afterSuccess, afterPositive;
    {
        StandardOutput out;
        ReaderDouble::setAnswer("VRK_IDCard_Read", Answer{-1, {}, "无卡"});
        press("pushButton_6");
        afterOne = out.text();
        press("pushButton_6");
        afterTwo = out.text();
        ReaderDouble::setAnswer("VRK_IDCard_Read", Answer{0, {}, {}});
        press("pushButton_6");
        afterSuccess = out.text();
        ReaderDouble::setAnswer("VRK_IDCard_Read", Answer{42, {}, {}});
        press("pushButton_6");
        afterPositive = out.text();
    }
    QCOMPARE(afterOne, QByteArray("-1"));
    QCOMPARE(afterTwo, QByteArray("-1-1"));
    QCOMPARE(afterSuccess, QByteArray("-1-1"));
    QCOMPARE(afterPositive, QByteArray("-1-142"));
}

QTEST_MAIN(tst_CardReads)
#include "tst_cardreads.moc"
