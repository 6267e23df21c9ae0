#include "plausibility.h"

#include <QtTest>

#include <string>
#include <vector>

namespace {

const CalendarDate today{2025, 6, 15};

// A holder born 1949-12-31, female, whose number carries the check character X.
const QString number = QStringLiteral("11010519491231002X");

QStringList identityCard(const QString &sex, const QString &birth, const QString &idNumber,
                         const QString &period = "20200101-20400101",
                         const QString &until = "20400101")
{
    return {QStringLiteral("李示例"), sex, QStringLiteral("汉"), birth, QStringLiteral("示例市"),
            idNumber, QStringLiteral("示例市公安局"), period, until};
}

QStringList socialSecurityCard(const QString &sex, const QString &birth,
                               const QString &period = "20240101-20340101")
{
    return {"350000D156000005", "3", "3.00", "350000", "20240101", period, "SIM01", number,
            QStringLiteral("李示例"), sex, QStringLiteral("汉"), QStringLiteral("示例市"), birth};
}

} // namespace

class tst_Plausibility : public QObject
{
    Q_OBJECT

private slots:
    void cardDates_data();
    void cardDates();
    void doubts_data();
    void doubts();
};

void tst_Plausibility::cardDates_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read"); // YYYYMMDD, empty when not a card's form
    QTest::addColumn<bool>("real");

    QTest::newRow("YYYYMMDD") << "19491231" << "19491231" << true;
    QTest::newRow("YYYY-MM-DD") << "2000-02-29" << "20000229" << true;
    QTest::newRow("YYYY.MM.DD") << "2024.02.29" << "20240229" << true;
    QTest::newRow("YYYY/MM/DD, no leap day in 1900") << "1900/02/29" << "19000229" << false;
    QTest::newRow("YYYY年MM月DD日, no leap day in 2023")
        << QStringLiteral("2023年02月29日") << "20230229" << false;
    QTest::newRow("day 31 of April in a leap year") << "2024-04-31" << "20240431" << false;
    QTest::newRow("month 00") << "20230001" << "20230001" << false;
    QTest::newRow("month 13") << "20231301" << "20231301" << false;
    QTest::newRow("day 00") << "20230100" << "20230100" << false;
    QTest::newRow("year 0000") << "00000101" << "00000101" << false;
    QTest::newRow("unrecognised: one-digit month and day")
        << QStringLiteral("1990年1月1日") << "" << false;
    QTest::newRow("unrecognised: day first") << "01/01/1990" << "" << false;
    QTest::newRow("unrecognised: mixed separators") << "2020-01.01" << "" << false;
}

void tst_Plausibility::cardDates()
{
    QFETCH(QString, text);
    QFETCH(QString, read);
    QFETCH(bool, real);

    CalendarDate date{};
    const bool recognised = readCardDate(text.toStdString(), date);
    QCOMPARE(recognised, !read.isEmpty());
    if (recognised) {
        QCOMPARE(QString::asprintf("%04d%02d%02d", date.year, date.month, date.day), read);
        QCOMPARE(isRealDate(date), real);
    }
}

void tst_Plausibility::doubts_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QStringList>("doubts");

    const QString id = QStringLiteral("VRK_IDCard_Read");
    const QString basic = QStringLiteral("VRK_ReadCardBas");
    const QString chip = QStringLiteral("VRK_ICBankCard_ReadNO");
    const QString stripe = QStringLiteral("VRK_MagicBankCard_ReadNo");
    const QString tracks = QStringLiteral("VRK_MagCardRead");
    const QString female = QStringLiteral("女");
    const QString male = QStringLiteral("男");

    // The identity card number and the fields that must agree with it.
    QTest::newRow("wrong check character")
        << id << identityCard(female, "19491231", "110105194912310021")
        << QStringList{"identity card number 110105194912310021: check character should be X"};
    QTest::newRow("lowercase x where a digit belongs")
        << id << identityCard(male, "19491231", "11010519491231001x")
        << QStringList{"identity card number 11010519491231001x: check character should be 1"};
    QTest::newRow("birth date in the number not real")
        << id << identityCard(female, "", "110105194902290029")
        << QStringList{"identity card number 110105194902290029: "
                       "birth date 19490229 is not a real date"};
    QTest::newRow("birth date in the future")
        << id << identityCard(female, "20300101", "110105203001010028")
        << QStringList{"identity card number 110105203001010028: "
                       "birth date 20300101 is after today 20250615"};
    QTest::newRow("date of birth differs from the number")
        << id << identityCard(female, "1949-12-30", number)
        << QStringList{"date of birth 1949-12-30: "
                       "does not match the birth date 19491231 in the identity card number"};
    QTest::newRow("date of birth not real")
        << id << identityCard(female, "1949.02.31", number)
        << QStringList{"date of birth 1949.02.31: not a real date"};
    QTest::newRow("male, even 17th digit")
        << id << identityCard(male, "19491231", number)
        << QStringList{QStringLiteral("sex 男: the identity card number's 17th digit 2 is even (女)")};
    QTest::newRow("female, odd 17th digit")
        << id << identityCard(female, "19491231", "110105194912310011")
        << QStringList{QStringLiteral("sex 女: the identity card number's 17th digit 1 is odd (男)")};
    QTest::newRow("social security card: date of birth differs")
        << basic << socialSecurityCard(female, "19491230")
        << QStringList{"date of birth 19491230: "
                       "does not match the birth date 19491231 in the identity card number"};
    QTest::newRow("social security card: sex differs")
        << basic << socialSecurityCard(male, "19491231")
        << QStringList{QStringLiteral("sex 男: the identity card number's 17th digit 2 is even (女)")};
    QTest::newRow("identity card read cut short after the number")
        << id << QStringList(identityCard(male, "19491230", "110105194912310021").mid(0, 6))
        << QStringList{"identity card number 110105194912310021: check character should be X",
                       "date of birth 19491230: "
                       "does not match the birth date 19491231 in the identity card number",
                       QStringLiteral("sex 男: the identity card number's 17th digit 2 is even (女)")};
    QTest::newRow("accepted: lowercase x")
        << id << identityCard(female, "19491231", "11010519491231002x") << QStringList();
    QTest::newRow("accepted: date of birth with one-digit month and day")
        << id << identityCard(female, QStringLiteral("1949年1月1日"), number) << QStringList();

    // Validity periods, and every date form where it must match another.
    QTest::newRow("validity starts after its end")
        << id << identityCard(female, "19491231", number, "2040-01-01-2020-01-01", "2020-01-01")
        << QStringList{"validity period 2040-01-01-2020-01-01: "
                       "starts 2040-01-01, after its end 2020-01-01"};
    QTest::newRow("validity start not real")
        << id << identityCard(female, "19491231", number, "20200230~20400101")
        << QStringList{"validity period 20200230~20400101: start 20200230 is not a real date"};
    QTest::newRow("validity end not real")
        << id << identityCard(female, "19491231", number,
                              QStringLiteral("2020-01-01至2040-02-30"), "")
        << QStringList{QStringLiteral("validity period 2020-01-01至2040-02-30: "
                                      "end 2040-02-30 is not a real date")};
    QTest::newRow("validity end date differs from the period's end")
        << id << identityCard(female, "19491231", number,
                              QStringLiteral("2020.01.01—2040.01.01"), "20400102")
        << QStringList{"validity end date 20400102: "
                       "does not match the end 2040.01.01 of the validity period"};
    QTest::newRow("validity end date not real")
        << id << identityCard(female, "19491231", number, "20200101-20400101", "2040-02-30")
        << QStringList{"validity end date 2040-02-30: not a real date"};
    QTest::newRow("social security card: validity starts after its end")
        << basic << socialSecurityCard(female, "19491231", QStringLiteral("20340101 ～ 20240101"))
        << QStringList{QStringLiteral("card validity period 20340101 ～ 20240101: "
                                      "starts 20340101, after its end 20240101")};
    QTest::newRow("accepted: YYYY-MM-DD, YYYY.MM.DD and YYYY/MM/DD")
        << id << identityCard(female, "1949-12-31", number, "2020.01.01 ~ 2040.01.01", "2040/01/01")
        << QStringList();
    QTest::newRow("accepted: YYYYMMDD and YYYY年MM月DD日")
        << id << identityCard(female, QStringLiteral("1949年12月31日"), number,
                              QStringLiteral("20200101至2040年01月01日"), "20400101")
        << QStringList();
    QTest::newRow("accepted: validity without an end")
        << id << identityCard(female, "19491231", number, QStringLiteral("20200101-长期"),
                              QStringLiteral("长期"))
        << QStringList();

    // Bank card numbers and the second track.
    QTest::newRow("chip card number misread")
        << chip << QStringList{"6200000000000000081"}
        << QStringList{"card number 6200000000000000081: fails the Luhn check"};
    QTest::newRow("stripe card number misread, 12 digits")
        << stripe << QStringList{"620000000001"}
        << QStringList{"card number 620000000001: fails the Luhn check"};
    QTest::newRow("second track card number misread")
        << tracks << QStringList{"6200000000000000081=30121010000000000", "", "", ""}
        << QStringList{"second track 6200000000000000081=3012: card number fails the Luhn check"};
    QTest::newRow("second track expiry month 13")
        << tracks << QStringList{";6200000000000000091=3013101?"}
        << QStringList{"second track 6200000000000000091=3013: expiry month 13 is not 01 to 12"};
    QTest::newRow("second track expiry month 00")
        << tracks << QStringList{"6200000000000000091=3000"}
        << QStringList{"second track 6200000000000000091=3000: expiry month 00 is not 01 to 12"};
    QTest::newRow("accepted: masked card number")
        << chip << QStringList{"6200********0081"} << QStringList();
    QTest::newRow("accepted: card number with spaces")
        << stripe << QStringList{"6200 0000 0000 0000 081"} << QStringList();
    QTest::newRow("accepted: 11 digits are no card number")
        << chip << QStringList{"62000000001"} << QStringList();
    QTest::newRow("accepted: 20 digits are no card number")
        << chip << QStringList{"62000000000000000081"} << QStringList();
    QTest::newRow("accepted: second track without an expiry date")
        << tracks << QStringList{"6200000000000000081=30"} << QStringList();
    QTest::newRow("accepted: second track with 11 digits before the expiry date")
        << tracks << QStringList{"62000000001=3013"} << QStringList();
    QTest::newRow("accepted: no values") << tracks << QStringList() << QStringList();
}

void tst_Plausibility::doubts()
{
    QFETCH(QString, function);
    QFETCH(QStringList, values);
    QFETCH(QStringList, doubts);

    std::vector<std::string> texts;
    for (const QString &value : values)
        texts.push_back(value.toStdString());
    QStringList found;
    for (const std::string &doubt : answerDoubts(function.toUtf8().constData(), texts, today))
        found << QString::fromStdString(doubt);
    QCOMPARE(found, doubts);
}

QTEST_MAIN(tst_Plausibility)
#include "tst_plausibility.moc"
