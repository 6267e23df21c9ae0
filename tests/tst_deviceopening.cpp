#include "readerdouble.h"
#include "widget.h"
#include "widgetfixture.h"

#include <QComboBox>
#include <QtTest>

using ReaderDouble::Answer;

class tst_DeviceOpening : public WidgetFixture
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void outcome_data();
    void outcome();
    void eachPressOpensAgain();
};

void tst_DeviceOpening::arguments_data()
{
    QTest::addColumn<int>("deviceIndex");
    QTest::addColumn<int>("regionIndex");
    QTest::addColumn<int>("deviceType");
    QTest::addColumn<QByteArray>("regionCode");

    QTest::newRow("start-up selection") << -2 << -2 << 21 << QByteArray("3500");
    QTest::newRow("TQ-660 in Ningde") << 1 << 9 << 19 << QByteArray("3509");
    for (int region = 0; region <= 9; ++region) {
        const QByteArray code = "350" + QByteArray::number(region);
        QTest::newRow(("TQ-880 in region " + code).constData()) << 0 << region << 21 << code;
    }
    QTest::newRow("no device type chosen") << -1 << 3 << -1 << QByteArray("3503");
    QTest::newRow("no region chosen") << 1 << -1 << 19 << QByteArray();
}

void tst_DeviceOpening::arguments()
{
    QFETCH(int, deviceIndex);
    QFETCH(int, regionIndex);
    QFETCH(int, deviceType);
    QFETCH(QByteArray, regionCode);

    // -2 leaves the combo as the window opened it.
    if (deviceIndex != -2)
        widget->findChild<QComboBox *>("comboBox_Dev")->setCurrentIndex(deviceIndex);
    if (regionIndex != -2)
        widget->findChild<QComboBox *>("comboBox_Region")->setCurrentIndex(regionIndex);

    const ResultBox box = press("pushButton");

    QCOMPARE(box.count, 1);
    const auto calls = ReaderDouble::calls();
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].function, QByteArray("VRK_OpenDev"));
    QCOMPARE(calls[0].numbers, QList<int>{deviceType});
    QCOMPARE(calls[0].regionCode, regionCode);
    QVERIFY(calls[0].zeroFilled);
}

void tst_DeviceOpening::outcome_data()
{
    QTest::addColumn<int>("result");
    QTest::addColumn<QByteArray>("error");
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("text");

    const int information = QMessageBox::Information;
    const int critical = QMessageBox::Critical;

    QTest::newRow("success") << 0 << QByteArray() << information << QStringLiteral("设备打开成功");
    QTest::newRow("success hides the library's message")
        << 0 << QByteArray("已打开") << information << QStringLiteral("设备打开成功");
    QTest::newRow("failure with a message")
        << -1 << QByteArray("设备未连接") << critical << QStringLiteral("设备未连接");
    QTest::newRow("positive failure code")
        << 7 << QByteArray("port busy") << critical << QStringLiteral("port busy");
    QTest::newRow("failure with an empty message")
        << -1 << QByteArray() << critical
        << QStringLiteral("设备打开失败，请检查设备连接状态！");
    QTest::newRow("message that looks like markup")
        << -1 << QByteArray("<b>x</b>") << critical << QStringLiteral("<b>x</b>");
    QTest::newRow("message with percent signs")
        << -1 << QByteArray("100% %s %d") << critical << QStringLiteral("100% %s %d");
    QTest::newRow("message filling the buffer without a NUL")
        << -1 << QByteArray(1024, 'e') << critical << QString(1024, 'e');
    const QByteArray invalid("\xff\xfe bad \xe4\xb8");
    QTest::newRow("message that is not UTF-8")
        << -1 << invalid << critical << QString::fromUtf8(invalid);
    QTest::newRow("longest terminated message")
        << -1 << QByteArray(1023, 'm') << critical << QString(1023, 'm');
}

void tst_DeviceOpening::outcome()
{
    QFETCH(int, result);
    QFETCH(QByteArray, error);
    QFETCH(int, icon);
    QFETCH(QString, text);

    ReaderDouble::setAnswer("VRK_OpenDev", Answer{result, {}, error});

    checkBox(press("pushButton"), QMessageBox::Icon(icon), text);
}

void tst_DeviceOpening::eachPressOpensAgain()
{
    ReaderDouble::setAnswer("VRK_OpenDev", Answer{-1, {}, "busy"});
    QCOMPARE(press("pushButton").text, QStringLiteral("busy"));
    ReaderDouble::setAnswer("VRK_OpenDev", Answer{0, {}, {}});
    QCOMPARE(press("pushButton").text, QStringLiteral("设备打开成功"));
    QCOMPARE(ReaderDouble::calls().size(), 2);
}

QTEST_MAIN(tst_DeviceOpening)
#include "tst_deviceopening.moc"
