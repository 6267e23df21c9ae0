#include "xclose.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The real program in a real X server: started from a working directory of
// its own holding a planted reader library, driven with xdotool, and watched
// through the simulated reader's call log.
class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void windowMapsAtItsSize();
    void eachButtonMakesOneCall_data();
    void eachButtonMakesOneCall();
    void combosChangedWithTheKeyboard();
    void secondsField_data();
    void secondsField();
    void identityCardFailuresOnStandardOutput();
    void startedWithoutStandardDescriptors();
    void closingEndsTheProcess();
    void plantedLibraryIsNeverLoaded();

private:
    // without: shell redirections that close descriptors, such as "<&-".
    bool startTool(const QByteArray &script = QByteArray(), const QString &without = QString());
    QString xdotool(const QStringList &arguments, int timeoutMs = 10000);
    QString waitForWindow(const QString &title);
    bool click(int x, int y);
    bool closeDialog(const QString &title);
    QStringList loggedCalls() const;
    bool closeTool();

    QProcess xvfb;
    QString display;
    QScopedPointer<QTemporaryDir> workingDirectory;
    QProcess tool;
    QString window;
};

namespace {

// Both servers die with the test, whatever way it ends.
const QStringList dieWithTest = {"--pdeathsig", "KILL", "--"};

// Window titles are matched as UTF-8, whatever locale the test runs in.
QProcessEnvironment x11Environment(const QString &display)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", display);
    environment.insert("LC_ALL", "C.UTF-8");
    return environment;
}

} // namespace

void tst_EndToEnd::initTestCase()
{
    // Xvfb picks a free display and names it on its standard output.
    xvfb.start("setpriv", dieWithTest + QStringList{"Xvfb", "-displayfd", "1", "-screen", "0",
                                                    "800x600x24", "-nolisten", "tcp", "-noreset"});
    QVERIFY2(xvfb.waitForStarted(), "Xvfb (package xvfb) and setpriv are needed");
    while (!xvfb.canReadLine())
        QVERIFY2(xvfb.waitForReadyRead(10000), "Xvfb did not name its display");
    display = ':' + QString::fromLatin1(xvfb.readLine().trimmed());
}

void tst_EndToEnd::cleanupTestCase()
{
    xvfb.kill();
    xvfb.waitForFinished();
}

void tst_EndToEnd::init()
{
    workingDirectory.reset(new QTemporaryDir);
    QVERIFY(workingDirectory->isValid());
    QVERIFY(QFile::copy(PLANTED, workingDirectory->filePath("libVrkReaderClient.so")));
}

void tst_EndToEnd::cleanup()
{
    if (tool.state() != QProcess::NotRunning) {
        tool.kill();
        tool.waitForFinished();
    }
}

bool tst_EndToEnd::startTool(const QByteArray &script, const QString &without)
{
    QFile scriptFile(workingDirectory->filePath("script.txt"));
    if (!scriptFile.open(QIODevice::WriteOnly) || scriptFile.write(script) != script.size())
        return false;
    scriptFile.close();

    QProcessEnvironment environment = x11Environment(display);
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("LD_LIBRARY_PATH");
    environment.insert("VRK_SIM_LOG", workingDirectory->filePath("calls.log"));
    environment.insert("VRK_SIM_SCRIPT", scriptFile.fileName());
    tool.setProcessEnvironment(environment);
    tool.setWorkingDirectory(workingDirectory->path());
    if (without.isEmpty())
        tool.start("setpriv", dieWithTest + QStringList{TOOL});
    else
        tool.start("sh", QStringList{"-c", "exec \"$@\" " + without, "sh", "setpriv"} + dieWithTest
                             + QStringList{TOOL});
    if (!tool.waitForStarted())
        return false;
    window = waitForWindow("Widget");
    if (window.isEmpty())
        qWarning("no window; tool %s: %s", tool.state() == QProcess::Running ? "running" : "ended",
                 tool.readAllStandardError().constData());
    return !window.isEmpty();
}

// Gives up early when the tool has died: a planted library aborts it.
QString tst_EndToEnd::waitForWindow(const QString &title)
{
    for (int i = 0; i < 200 && tool.state() == QProcess::Running; ++i) {
        const QString found = xdotool({"search", "--onlyvisible", "--name", '^' + title + '$'});
        if (!found.isEmpty())
            return found;
        tool.waitForFinished(50);
    }
    return QString();
}

QString tst_EndToEnd::xdotool(const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessEnvironment(x11Environment(display));
    process.start("xdotool", arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return QString();
    }
    if (process.exitCode() != 0)
        return QString();
    const QString output = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    return output.isEmpty() ? QStringLiteral("ok") : output;
}

bool tst_EndToEnd::click(int x, int y)
{
    return !xdotool({"mousemove", "--window", window, QString::number(x), QString::number(y),
                     "click", "1"}).isEmpty();
}

bool tst_EndToEnd::closeDialog(const QString &title)
{
    const QString dialog = waitForWindow(title);
    if (dialog.isEmpty())
        return false;
    if (xdotool({"windowfocus", "--sync", dialog, "key", "Return"}).isEmpty())
        return false;
    // Gone once no visible window has its title any more.
    for (int i = 0; i < 100; ++i) {
        if (xdotool({"search", "--onlyvisible", "--name", '^' + title + '$'}).isEmpty())
            return true;
        QTest::qWait(50);
    }
    return false;
}

QStringList tst_EndToEnd::loggedCalls() const
{
    QFile log(workingDirectory->filePath("calls.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(log.readAll()).split('\n');
    lines.removeAll(QString());
    return lines;
}

bool tst_EndToEnd::closeTool()
{
    return requestClose(qPrintable(display), window.toULong())
        && tool.waitForFinished(10000);
}

void tst_EndToEnd::windowMapsAtItsSize()
{
    QVERIFY(startTool());
    const QString geometry = xdotool({"getwindowgeometry", window});
    QVERIFY2(geometry.contains("Geometry: 634x567"), qPrintable(geometry));
    QCOMPARE(xdotool({"getwindowname", window}), QStringLiteral("Widget"));
    QCOMPARE(loggedCalls(), QStringList());
}

void tst_EndToEnd::eachButtonMakesOneCall_data()
{
    QTest::addColumn<QPoint>("place");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("title");

    const QString notice = QStringLiteral("提示信息");
    const QString failure = QStringLiteral("错误信息");
    // Places are the buttons' centres in window coordinates.
    QTest::newRow("open device") << QPoint(555, 35) << QByteArray()
                                 << "VRK_OpenDev deviceType=21 regionCode=\"3500\"" << notice;
    QTest::newRow("read card number") << QPoint(109, 115) << QByteArray("VRK_ReadCarNo 0")
                                      << "VRK_ReadCarNo" << notice;
    QTest::newRow("basic information") << QPoint(249, 115) << QByteArray()
                                       << "VRK_ReadCardBas" << failure;
    QTest::newRow("read card id code") << QPoint(109, 165) << QByteArray("VRK_ReadCardCertID 0")
                                       << "VRK_ReadCardCertID" << notice;
    QTest::newRow("read region code") << QPoint(249, 165) << QByteArray()
                                      << "VRK_ReadCardCity" << failure;
    QTest::newRow("read identity card") << QPoint(475, 115) << QByteArray("VRK_IDCard_Read 0")
                                        << "VRK_IDCard_Read" << notice;
    QTest::newRow("read chip card number") << QPoint(469, 235) << QByteArray()
                                           << "VRK_ICBankCard_ReadNO" << failure;
    QTest::newRow("read stripe card number")
        << QPoint(469, 285) << QByteArray("VRK_MagicBankCard_ReadNo 0")
        << "VRK_MagicBankCard_ReadNo timeout=10" << notice;
    QTest::newRow("set automatic scanning") << QPoint(109, 265) << QByteArray()
                                            << "VRK_ECard_SetAutoRead mode=1" << failure;
    QTest::newRow("set manual scanning") << QPoint(249, 265)
                                         << QByteArray("VRK_ECard_SetAutoRead 0")
                                         << "VRK_ECard_SetAutoRead mode=0" << notice;
    QTest::newRow("manual scan") << QPoint(109, 315) << QByteArray()
                                 << "VRK_ECard_Read wait=2000" << failure;
    QTest::newRow("scan interval") << QPoint(175, 365) << QByteArray("VRK_ECard_AutoReadTime 0")
                                   << "VRK_ECard_AutoReadTime interval=2000" << notice;
    QTest::newRow("read stripe tracks") << QPoint(180, 465) << QByteArray()
                                        << "VRK_MagCardRead timeout=10" << failure;
    QTest::newRow("enter PIN") << QPoint(485, 405) << QByteArray("VRK_KeyBoard_InputKey 0")
                               << "VRK_KeyBoard_InputKey timeout=20 keySize=1024" << notice;
}

void tst_EndToEnd::eachButtonMakesOneCall()
{
    QFETCH(QPoint, place);
    QFETCH(QByteArray, script);
    QFETCH(QString, call);
    QFETCH(QString, title);

    QVERIFY(startTool(script));
    QVERIFY(click(place.x(), place.y()));
    QVERIFY2(closeDialog(title), qPrintable(title));
    QCOMPARE(loggedCalls(), QStringList{call});
}

void tst_EndToEnd::combosChangedWithTheKeyboard()
{
    QVERIFY(startTool());
    // The region combo holds the focus first; the device type combo takes
    // it by tab only, three steps back along the focus chain.
    QVERIFY(!xdotool({"windowfocus", "--sync", window, "key", "End",
                      "shift+Tab", "shift+Tab", "shift+Tab", "Down"}).isEmpty());
    QVERIFY(click(555, 35));
    QVERIFY(closeDialog(QStringLiteral("提示信息")));
    // The click left the focus on the open button, next after the region.
    QVERIFY(!xdotool({"windowfocus", "--sync", window, "key", "shift+Tab", "Home"}).isEmpty());
    QVERIFY(click(555, 35));
    QVERIFY(closeDialog(QStringLiteral("提示信息")));

    QCOMPARE(loggedCalls(), QStringList({"VRK_OpenDev deviceType=19 regionCode=\"3509\"",
                                         "VRK_OpenDev deviceType=19 regionCode=\"3500\""}));
}

void tst_EndToEnd::secondsField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("milliseconds");

    QTest::newRow("letters") << "abc" << "0";
    QTest::newRow("negative") << "-3" << "-3000";
    QTest::newRow("ten") << "10" << "10000";
}

void tst_EndToEnd::secondsField()
{
    QFETCH(QString, text);
    QFETCH(QString, milliseconds);

    QVERIFY(startTool());
    QVERIFY(click(265, 315));
    QVERIFY(!xdotool({"key", "ctrl+a", "BackSpace"}).isEmpty());
    QVERIFY(!xdotool({"type", "--", text}).isEmpty());
    QVERIFY(click(109, 315));
    QVERIFY(closeDialog(QStringLiteral("错误信息")));
    QVERIFY(click(175, 365));
    QVERIFY(closeDialog(QStringLiteral("错误信息")));

    QCOMPARE(loggedCalls(), QStringList({"VRK_ECard_Read wait=" + milliseconds,
                                         "VRK_ECard_AutoReadTime interval=" + milliseconds}));
}

void tst_EndToEnd::identityCardFailuresOnStandardOutput()
{
    QVERIFY(startTool("VRK_IDCard_Read -1 error=\"无卡\"\n"));
    QVERIFY(click(475, 115));
    QVERIFY(closeDialog(QStringLiteral("错误信息")));
    QVERIFY(click(475, 115));
    QVERIFY(closeDialog(QStringLiteral("错误信息")));
    QVERIFY(closeTool());
    QCOMPARE(tool.readAllStandardOutput(), QByteArray("-1-1"));
}

// As a desktop's menu may start it: neither the display connection nor
// anything else the window opens takes the standard descriptors' numbers.
void tst_EndToEnd::startedWithoutStandardDescriptors()
{
    QVERIFY(startTool(QByteArray(), "<&- >&- 2>&-"));
    for (int fd = 0; fd <= 2; ++fd)
        QCOMPARE(QFile::symLinkTarget(QString("/proc/%1/fd/%2").arg(tool.processId()).arg(fd)),
                 QStringLiteral("/dev/null"));
}

void tst_EndToEnd::closingEndsTheProcess()
{
    QVERIFY(startTool());
    QVERIFY(click(555, 35));
    QVERIFY(closeDialog(QStringLiteral("提示信息")));
    QVERIFY(closeTool());
    QCOMPARE(tool.exitStatus(), QProcess::NormalExit);
    QVERIFY2(tool.exitCode() == 0, tool.readAllStandardError().constData());
    QCOMPARE(loggedCalls().size(), 1);
}

void tst_EndToEnd::plantedLibraryIsNeverLoaded()
{
    QVERIFY2(startTool(), "the tool did not show its window");
    QFile maps(QString("/proc/%1/maps").arg(tool.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    const QString mapped = QString::fromUtf8(maps.readAll());
    QVERIFY(!mapped.contains(workingDirectory->path()));
    const QString besideTool = QFileInfo(TOOL).dir().filePath("libVrkReaderClient.so");
    QVERIFY2(mapped.contains(besideTool), qPrintable(besideTool));
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
