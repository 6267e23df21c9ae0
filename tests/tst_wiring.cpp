#include "readerdouble.h"
#include "widgetfixture.h"

#include <QtTest>

// Each button runs its own slot once per click, and that slot makes exactly
// one library call with the arguments the operation passes.
class tst_Wiring : public WidgetFixture
{
    Q_OBJECT

private slots:
    void eachButtonMakesItsOwnCall_data();
    void eachButtonMakesItsOwnCall();
    void repeatedPressesCallAgain();
};

void tst_Wiring::eachButtonMakesItsOwnCall_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("function");
    QTest::addColumn<QList<int>>("numbers");

    QTest::newRow("open device") << "pushButton" << QByteArray("VRK_OpenDev") << QList<int>{21};
    QTest::newRow("read card number")
        << "pushButton_2" << QByteArray("VRK_ReadCarNo") << QList<int>{};
    QTest::newRow("basic information")
        << "pushButton_3" << QByteArray("VRK_ReadCardBas") << QList<int>{};
    QTest::newRow("read card id code")
        << "pushButton_4" << QByteArray("VRK_ReadCardCertID") << QList<int>{};
    QTest::newRow("read region code")
        << "pushButton_5" << QByteArray("VRK_ReadCardCity") << QList<int>{};
    QTest::newRow("read identity card")
        << "pushButton_6" << QByteArray("VRK_IDCard_Read") << QList<int>{};
    QTest::newRow("read chip card number")
        << "pushButton_7" << QByteArray("VRK_ICBankCard_ReadNO") << QList<int>{};
    QTest::newRow("read stripe card number (pushButton_15)")
        << "pushButton_15" << QByteArray("VRK_MagicBankCard_ReadNo") << QList<int>{10};
    QTest::newRow("set automatic scanning")
        << "pushButton_8" << QByteArray("VRK_ECard_SetAutoRead") << QList<int>{1};
    QTest::newRow("set manual scanning")
        << "pushButton_9" << QByteArray("VRK_ECard_SetAutoRead") << QList<int>{0};
    QTest::newRow("manual scan for the default 2 s")
        << "pushButton_10" << QByteArray("VRK_ECard_Read") << QList<int>{2000};
    QTest::newRow("scan interval of the default 2 s")
        << "pushButton_11" << QByteArray("VRK_ECard_AutoReadTime") << QList<int>{2000};
    QTest::newRow("read stripe tracks (pushButton_14)")
        << "pushButton_14" << QByteArray("VRK_MagCardRead") << QList<int>{10};
    QTest::newRow("enter PIN")
        << "pushButton_13" << QByteArray("VRK_KeyBoard_InputKey") << QList<int>{20, 1024};
}

void tst_Wiring::eachButtonMakesItsOwnCall()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, function);
    QFETCH(QList<int>, numbers);

    const ResultBox box = press(button);

    QCOMPARE(box.count, 1);
    const auto calls = ReaderDouble::calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].function, function);
    QCOMPARE(calls[0].numbers, numbers);
    QVERIFY2(calls[0].zeroFilled, "a buffer or int output was not zeroed before the call");
}

void tst_Wiring::repeatedPressesCallAgain()
{
    press("pushButton_8");
    press("pushButton_8");
    press("pushButton_13");
    const auto calls = ReaderDouble::calls();
    QCOMPARE(calls.size(), 3);
    QCOMPARE(calls[1].function, QByteArray("VRK_ECard_SetAutoRead"));
    QCOMPARE(calls[2].function, QByteArray("VRK_KeyBoard_InputKey"));
    QVERIFY(calls[2].zeroFilled);
}

QTEST_MAIN(tst_Wiring)
#include "tst_wiring.moc"
