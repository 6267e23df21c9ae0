#include "readerdouble.h"
#include "widgetfixture.h"

#include <QLineEdit>
#include <QtTest>

#include <climits>

using ReaderDouble::Answer;

// The code scanner panel: mode, manual scan and interval, and the seconds
// field that times the last two.
class tst_Scanner : public WidgetFixture
{
    Q_OBJECT

private slots:
    void secondsField_data();
    void secondsField();
    void modeChange_data();
    void modeChange();
    void manualScan_data();
    void manualScan();
    void intervalFailureShowsResultCode_data();
    void intervalFailureShowsResultCode();
};

void tst_Scanner::secondsField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("milliseconds");

    QTest::newRow("default") << QString() << 2000;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "abc" << 0;
    QTest::newRow("decimal") << "2.5" << 0;
    QTest::newRow("negative") << "-3" << -3000;
    QTest::newRow("ten") << "10" << 10000;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("leading zero is still decimal") << "010" << 10000;
    QTest::newRow("hexadecimal does not convert") << "0x10" << 0;
    QTest::newRow("surrounding spaces") << " 7 " << 7000;
    QTest::newRow("largest exact") << "2147483" << 2147483000;
    QTest::newRow("smallest exact") << "-2147483" << -2147483000;
    QTest::newRow("beyond the int range is clamped") << "3000000" << INT_MAX;
    QTest::newRow("below the int range is clamped") << "-3000000" << INT_MIN;
    QTest::newRow("just beyond is clamped") << "2147484" << INT_MAX;
    QTest::newRow("largest int seconds") << "2147483647" << INT_MAX;
    QTest::newRow("beyond 32 bits does not convert") << "2147483648" << 0;
}

void tst_Scanner::secondsField()
{
    QFETCH(QString, text);
    QFETCH(int, milliseconds);

    if (!text.isNull())
        qobject_cast<QLineEdit *>(child("lineEdit"))->setText(text);

    press("pushButton_10");
    press("pushButton_11");

    const auto calls = ReaderDouble::calls();
    QCOMPARE(calls.size(), 2);
    QCOMPARE(calls[0].function, QByteArray("VRK_ECard_Read"));
    QCOMPARE(calls[0].numbers, QList<int>{milliseconds});
    QCOMPARE(calls[1].function, QByteArray("VRK_ECard_AutoReadTime"));
    QCOMPARE(calls[1].numbers, QList<int>{milliseconds});
}

void tst_Scanner::modeChange_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");

    const int information = QMessageBox::Information;
    const int critical = QMessageBox::Critical;
    QTest::newRow("automatic, message hidden on success")
        << "pushButton_8" << 1 << 0 << QByteArray("ignored") << information
        << QStringLiteral("设置自动扫码成功");
    QTest::newRow("manual") << "pushButton_9" << 0 << 0 << QByteArray() << information
                            << QStringLiteral("设置手动扫码成功");
    QTest::newRow("automatic fails") << "pushButton_8" << 1 << -1 << QByteArray("无扫码模块")
                                     << critical << QStringLiteral("无扫码模块");
    QTest::newRow("manual fails with markup") << "pushButton_9" << 0 << 2
                                              << QByteArray("<u>x</u>") << critical
                                              << QStringLiteral("<u>x</u>");
    QTest::newRow("manual fails silently") << "pushButton_9" << 0 << -1 << QByteArray()
                                           << critical << QString();
    QTest::newRow("automatic fails, message without a NUL")
        << "pushButton_8" << 1 << -1 << QByteArray(1024, 'E') << critical
        << QString(1024, 'E');
}

void tst_Scanner::modeChange()
{
    QFETCH(QString, button);
    QFETCH(int, mode);
    QFETCH(int, result);
    QFETCH(QByteArray, error);
    QFETCH(int, icon);
    QFETCH(QString, text);

    ReaderDouble::setAnswer("VRK_ECard_SetAutoRead", Answer{result, {}, error});

    const ResultBox box = press(button);

    QCOMPARE(ReaderDouble::calls().size(), 1);
    QCOMPARE(ReaderDouble::calls()[0].numbers, QList<int>{mode});
    checkBox(box, QMessageBox::Icon(icon), text);
}

void tst_Scanner::manualScan_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("scan");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");

    const int information = QMessageBox::Information;
    const int critical = QMessageBox::Critical;
    QTest::newRow("empty scan") << 0 << QByteArray() << QByteArray() << information
                                << QStringLiteral("扫码信息:");
    QTest::newRow("scan, message not shown")
        << 0 << QByteArray("https://example.invalid/?a=1&b=%s") << QByteArray("note")
        << information << QStringLiteral("扫码信息:https://example.invalid/?a=1&b=%s");
    QTest::newRow("scan of 1023 bytes of UTF-8")
        << 0 << QByteArray("码").repeated(341) << QByteArray() << information
        << QStringLiteral("扫码信息:") + QString::fromUtf8(QByteArray("码").repeated(341));
    QTest::newRow("scan of 1024 bytes without a NUL")
        << 0 << QByteArray(1024, 'Q') << QByteArray() << information
        << QStringLiteral("扫码信息:") + QString(1024, 'Q');
    QTest::newRow("markup scan") << 0 << QByteArray("<b>x</b>") << QByteArray() << information
                                 << QStringLiteral("扫码信息:<b>x</b>");
    QTest::newRow("time-out") << -1 << QByteArray("partial") << QByteArray("扫码超时")
                              << critical << QStringLiteral("扫码超时");
    QTest::newRow("failure with an empty message") << 3 << QByteArray() << QByteArray()
                                                   << critical << QString();
}

void tst_Scanner::manualScan()
{
    QFETCH(int, result);
    QFETCH(QByteArray, scan);
    QFETCH(QByteArray, error);
    QFETCH(int, icon);
    QFETCH(QString, text);

    ReaderDouble::setAnswer("VRK_ECard_Read", Answer{result, {scan}, error});

    const ResultBox box = press("pushButton_10");

    QVERIFY(ReaderDouble::calls()[0].zeroFilled);
    checkBox(box, QMessageBox::Icon(icon), text);
}

void tst_Scanner::intervalFailureShowsResultCode_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");

    const int information = QMessageBox::Information;
    const int critical = QMessageBox::Critical;
    QTest::newRow("success hides the message") << 0 << QByteArray("ignored") << information
                                               << QStringLiteral("设置自动扫码间隔成功");
    QTest::newRow("minus one over a message") << -1 << QByteArray("间隔无效") << critical
                                              << "-1";
    QTest::newRow("minus one, no message") << -1 << QByteArray() << critical << "-1";
    QTest::newRow("positive code") << 17 << QByteArray(1024, 'E') << critical << "17";
    QTest::newRow("lowest int") << INT_MIN << QByteArray() << critical << "-2147483648";
}

void tst_Scanner::intervalFailureShowsResultCode()
{
    QFETCH(int, result);
    QFETCH(QByteArray, error);
    QFETCH(int, icon);
    QFETCH(QString, text);

    ReaderDouble::setAnswer("VRK_ECard_AutoReadTime", Answer{result, {}, error});

    checkBox(press("pushButton_11"), QMessageBox::Icon(icon), text);
}

QTEST_MAIN(tst_Scanner)
#include "tst_scanner.moc"
