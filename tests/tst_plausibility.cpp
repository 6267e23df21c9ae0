#include "plausibility.h"

#include <QtTest>

namespace {

// A holder born 1949-12-31, female, whose number carries the check character X.
const QString number = QStringLiteral("11010519491231002X");
const QString female = QStringLiteral("女");

QStringList identityCard(const QString &idNumber, const QString &birth = "19491231",
                         const QString &sex = female, const QString &period = "20200101-20400101",
                         const QString &until = "20400101")
{
    return {QStringLiteral("李示例"), sex, QStringLiteral("汉"), birth, QStringLiteral("示例市"),
            idNumber, QStringLiteral("示例市公安局"), period, until};
}

} // namespace

class tst_Plausibility : public QObject
{
    Q_OBJECT

private slots:
    void cardDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("read"); // YYYYMMDD, empty when not a card's form
        QTest::addColumn<bool>("real");
        QTest::newRow("YYYYMMDD, month 13") << "20231301" << "20231301" << false;
        QTest::newRow("YYYY-MM-DD, leap day in 2000") << "2000-02-29" << "20000229" << true;
        QTest::newRow("YYYY.MM.DD, leap day in 2024") << "2024.02.29" << "20240229" << true;
        QTest::newRow("YYYY/MM/DD, no leap day in 1900") << "1900/02/29" << "19000229" << false;
        QTest::newRow("YYYY年MM月DD日, no leap day in 2023")
            << QStringLiteral("2023年02月29日") << "20230229" << false;
        QTest::newRow("unrecognised: mixed separators") << "2020-01.01" << "" << false;
    }

    void cardDates()
    {
        QFETCH(QString, text);
        QFETCH(QString, read);
        QFETCH(bool, real);
        CalendarDate date{};
        QCOMPARE(readCardDate(text.toStdString(), date), !read.isEmpty());
        if (!read.isEmpty()) {
            QCOMPARE(QString::asprintf("%04d%02d%02d", date.year, date.month, date.day), read);
            QCOMPARE(isRealDate(date), real);
        }
    }

    void doubts_data()
    {
        QTest::addColumn<QString>("function");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QStringList>("doubts");
        const QString id = QStringLiteral("VRK_IDCard_Read");
        const QString chip = QStringLiteral("VRK_ICBankCard_ReadNO");
        const QString male = QStringLiteral("男");
        const QString maleEven =
            QStringLiteral("sex 男: the identity card number's 17th digit 2 is even (女)");
        const QString differs =
            ": does not match the birth date 19491231 in the identity card number";
        QTest::newRow("wrong check character") << id << identityCard("110105194912310021")
            << QStringList{"identity card number 110105194912310021: check character should be X"};
        QTest::newRow("the number's birth date not real")
            << id << identityCard("110105194902290029")
            << QStringList{"identity card number 110105194902290029: "
                           "birth date 19490229 is not a real date"};
        QTest::newRow("the number's birth date in the future")
            << id << identityCard("110105203001010028", "20300101")
            << QStringList{"identity card number 110105203001010028: "
                           "birth date 20300101 is after today 20250615"};
        QTest::newRow("date of birth differs") << id << identityCard(number, "1949-12-30")
            << QStringList{"date of birth 1949-12-30" + differs};
        QTest::newRow("male, even 17th digit")
            << id << identityCard(number, "19491231", male) << QStringList{maleEven};
        QTest::newRow("validity starts after its end, written with the separator's own dash")
            << id << identityCard(number, "19491231", female, "2040-01-01-2020-01-01", "2020-01-01")
            << QStringList{"validity period 2040-01-01-2020-01-01: "
                           "starts 2040-01-01, after its end 2020-01-01"};
        QTest::newRow("validity end date differs from the period's end")
            << id << identityCard(number, "19491231", female, "20200101-20400101", "20400102")
            << QStringList{"validity end date 20400102: "
                           "does not match the end 20400101 of the validity period"};
        // The same rules where this card's fields stand.
        QTest::newRow("social security card: birth, sex and validity")
            << QStringLiteral("VRK_ReadCardBas")
            << QStringList{"350000D156000005", "3", "3.00", "350000", "20240101",
                           QStringLiteral("20340101 ～ 20240101"), "SIM01", number, "", male, "", "",
                           "19491230"}
            << QStringList{"date of birth 19491230" + differs, maleEven,
                           QStringLiteral("card validity period 20340101 ～ 20240101: "
                                          "starts 20340101, after its end 20240101")};
        QTest::newRow("no doubt: lowercase x, a date of birth in no card form, no end of validity")
            << id << identityCard("11010519491231002x", QStringLiteral("1949年1月1日"), female,
                                  QStringLiteral("20200101-长期"), QStringLiteral("长期"))
            << QStringList();
        QTest::newRow("lowercase x judged as X: male, even 17th digit")
            << id << identityCard("11010519491231002x", "19491231", male) << QStringList{maleEven};
        QTest::newRow("region 000000, born before 1900")
            << id << identityCard("000000000101010006", "00010101")
            << QStringList{"identity card number 000000000101010006: region code 000000 names no region",
                           "identity card number 000000000101010006: birth date 00010101 is before 1900"};
        QTest::newRow("validity written with 至 starts after its end")
            << id << identityCard(number, "19491231", female, QStringLiteral("20400101至20200101"), "")
            << QStringList{QStringLiteral("validity period 20400101至20200101: "
                                          "starts 20400101, after its end 20200101")};
        QTest::newRow("no doubt: valid for one day")
            << id << identityCard(number, "19491231", female, "20200101-20200101", "20200101")
            << QStringList();
        QTest::newRow("card number all zeros") << chip << QStringList{"0000000000000000"}
            << QStringList{"card number 0000000000000000: is all zeros"};
        QTest::newRow("chip card number of 19 digits misread")
            << chip << QStringList{"6200000000000000081"}
            << QStringList{"card number 6200000000000000081: fails the Luhn check"};
        QTest::newRow("stripe card number of 12 digits misread")
            << QStringLiteral("VRK_MagicBankCard_ReadNo") << QStringList{"620000000001"}
            << QStringList{"card number 620000000001: fails the Luhn check"};
        QTest::newRow("no doubt: masked card number")
            << chip << QStringList{"6200********0081"} << QStringList();
        const QString tracks = QStringLiteral("VRK_MagCardRead");
        QTest::newRow("second track card number misread") << tracks
            << QStringList{"6200000000000000081=3012"} << QStringList{
                   "second track 6200000000000000081=3012: card number fails the Luhn check"};
        QTest::newRow("second track expiry month 13, its card number sound") << tracks
            << QStringList{";6200000000000000091=3013101?"} << QStringList{
                   "second track 6200000000000000091=3013: expiry month 13 is not 01 to 12"};
        QTest::newRow("second track expiry month 00") << tracks
            << QStringList{"6200000000000000091=3000"} << QStringList{
                   "second track 6200000000000000091=3000: expiry month 00 is not 01 to 12"};
        QTest::newRow("second track card number misread, no expiry") << tracks
            << QStringList{"6200000000000000092==1010000"} << QStringList{
                   "second track 6200000000000000092=: card number fails the Luhn check"};
        QTest::newRow("no doubt: stripe data that is no card number")
            << tracks << QStringList{"12345=3013"} << QStringList();
        QTest::newRow("no doubt: no values") << tracks << QStringList() << QStringList();
    }

    void doubts()
    {
        QFETCH(QString, function);
        QFETCH(QStringList, values);
        QFETCH(QStringList, doubts);
        std::vector<std::string> texts;
        for (const QString &value : values)
            texts.push_back(value.toStdString());
        QStringList found;
        for (const std::string &doubt : answerDoubts(function.toUtf8().constData(), texts,
                                                     CalendarDate{2025, 6, 15}))
            found << QString::fromStdString(doubt);
        QCOMPARE(found, doubts);
    }
};

QTEST_MAIN(tst_Plausibility)
#include "tst_plausibility.moc"
