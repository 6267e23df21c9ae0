#include "childprocess.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

// The simulated reader's call log, script, and record-and-replay, seen through
// a small program that calls it (each run is a fresh library session).
class tst_SimScript : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void callLog();
    void scriptAnswers_data();
    void scriptAnswers();
    void delay();
    void malformedScript_data();
    void malformedScript();
    void unreadableScript();
    void recordAndReplay();
    void unusableMakerLibrary_data();
    void unusableMakerLibrary();
    void loadedWithRtldLocal();
    void manyThreads();
    void unwritableFiles_data();
    void unwritableFiles();
    void filesReadableByOwnerOnly();
    void refusesSymbolicLink_data();
    void refusesSymbolicLink();
    void scriptMustBeRegularFile_data();
    void scriptMustBeRegularFile();
    void messagesQuoteShortAndPrintable();
    void makerAnswersOrFails_data();
    void makerAnswersOrFails();
    void filesNeverDestroyed_data();
    void filesNeverDestroyed();
    void recordingReplaysExactly_data();
    void recordingReplaysExactly();
    void fifoNeverHoldsACall_data();
    void fifoNeverHoldsACall();
    void recordingKeepsToScriptLimits();
    void recordedDelayReplays();
    void callsAnsweredOneAtATime();
    void makerCallsItsOwnFunctions();
    void parsedScriptIsCompact();

private:
    struct Run
    {
        QStringList lines;
        QString errors;
        int exitCode = -1;
        qint64 elapsedMs = 0;
        long peakKiB = 0;
    };

    // wrapper: a command the program runs under, such as timeout.
    Run run(const QStringList &calls, const QMap<QString, QString> &variables = {},
            const char *program = DRIVER, const QStringList &wrapper = {});
    QString path(const QString &name) const { return directory->filePath(name); }
    void write(const QString &name, const QByteArray &content);
    QByteArray read(const QString &name) const;

    QScopedPointer<QTemporaryDir> directory;
};

namespace {

const QString notOpen = QStringLiteral(
    "VRK_ReadCarNo -1 \"\" error=\"设备未打开，请先选择设备类型和地区并打开设备\"");

const QByteArray oldRecording = "# cardreader simulated reader recording, made 2026-01-02T03:04:05Z"
                                " with \"/opt/vendor/libVrkReaderClient.so\"\n";

// The answers of a run, without what a maker's library printed beside them.
QStringList answers(const QStringList &lines)
{
    return lines.filter(QRegularExpression("^(\\d+ )?VRK_"));
}

} // namespace

void tst_SimScript::init()
{
    directory.reset(new QTemporaryDir);
    QVERIFY(directory->isValid());
}

tst_SimScript::Run tst_SimScript::run(const QStringList &calls,
                                      const QMap<QString, QString> &variables,
                                      const char *program, const QStringList &wrapper)
{
    QStringList command = wrapper;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    command << program << calls;

    Run result;
    ChildProcess child(directory->path());
    if (!child.start(command, variables) || !child.finish())
        return result;
    result.elapsedMs = child.elapsedMs;
    result.peakKiB = child.peakKiB;
    result.exitCode = child.exitCode;
    result.lines = QString::fromUtf8(child.out).split('\n');
    result.lines.removeAll(QString());
    result.errors = QString::fromUtf8(child.err);
    return result;
}

void tst_SimScript::write(const QString &name, const QByteArray &content)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray tst_SimScript::read(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_SimScript::callLog()
{
    const QMap<QString, QString> log{{"VRK_SIM_LOG", path("calls.log")}};
    const QStringList calls = {
        "VRK_OpenDev:19:3509", "VRK_ReadCarNo", "VRK_ECard_SetAutoRead:0",
        "VRK_ECard_Read:2500", "VRK_ECard_AutoReadTime:-3000", "VRK_MagCardRead:10",
        "VRK_MagicBankCard_ReadNo:10", "VRK_KeyBoard_InputKey:20:1024",
    };
    QCOMPARE(run(calls, log).exitCode, 0);
    // A second session appends; a region code without a NUL is logged as
    // its ten bytes and no more.
    QCOMPARE(run({"VRK_OpenDev:21:3500000000", "VRK_IDCard_Read"}, log).exitCode, 0);

    QCOMPARE(QString::fromUtf8(read("calls.log")),
             QStringLiteral("VRK_OpenDev deviceType=19 regionCode=\"3509\"\n"
                            "VRK_ReadCarNo\n"
                            "VRK_ECard_SetAutoRead mode=0\n"
                            "VRK_ECard_Read wait=2500\n"
                            "VRK_ECard_AutoReadTime interval=-3000\n"
                            "VRK_MagCardRead timeout=10\n"
                            "VRK_MagicBankCard_ReadNo timeout=10\n"
                            "VRK_KeyBoard_InputKey timeout=20 keySize=1024\n"
                            "VRK_OpenDev deviceType=21 regionCode=\"3500000000\"\n"
                            "VRK_IDCard_Read\n"));

    // Standard error named, though a pipe; variables left empty are unset.
    const Run piped = run({"VRK_ReadCarNo"}, {{"VRK_SIM_LOG", "/dev/stderr"},
                                              {"VRK_SIM_MAKER_LIBRARY", ""}},
                          DRIVER, {"sh", "-c", "{ \"$0\" \"$@\" 2>&1 >&3 | cat >&2; } 3>&1"});
    QCOMPARE(piped.lines, QStringList{notOpen});
    QCOMPARE(piped.errors, QStringLiteral("VRK_ReadCarNo\n"));
    QCOMPARE(run({"VRK_ReadCarNo"}, {{"VRK_SIM_LOG", ""}}).errors, QString());
}

void tst_SimScript::scriptAnswers_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("answers in order, the last one repeats")
        << QByteArray("VRK_ReadCarNo 0 \"A1\"\nVRK_ReadCarNo -1 error=\"无卡\"\n")
        << QStringList{"VRK_ReadCarNo", "VRK_ReadCarNo", "VRK_ReadCarNo"}
        << QStringList{"VRK_ReadCarNo 0 \"A1\" error=\"\"",
                       QStringLiteral("VRK_ReadCarNo -1 \"\" error=\"无卡\""),
                       QStringLiteral("VRK_ReadCarNo -1 \"\" error=\"无卡\"")};
    QTest::newRow("unscripted functions answer as the demo reader")
        << QByteArray("# only the identity card is scripted\n\nVRK_IDCard_Read 5\n")
        << QStringList{"VRK_ReadCarNo", "VRK_IDCard_Read"}
        << QStringList{notOpen, "VRK_IDCard_Read 5 \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\" \"\""
                                " error=\"\""};
    QTest::newRow("values cut on a character boundary")
        << "VRK_ReadCardCertID 0 \"" + QByteArray("张").repeated(12) + "\" \""
               + QByteArray(40, 'x') + "\"\n"
        << QStringList{"VRK_ReadCardCertID"}
        << QStringList{"VRK_ReadCardCertID 0 \"" + QString(11, QChar(0x5f20)) + "\" \""
                       + QString(35, 'x') + "\" error=\"\""};
    QTest::newRow("error cut to 1023 bytes")
        << "VRK_ECard_SetAutoRead -2 error=\"" + QByteArray(1100, 'e') + "\"\n"
        << QStringList{"VRK_ECard_SetAutoRead:1"}
        << QStringList{"VRK_ECard_SetAutoRead -2 error=\"" + QString(1023, 'e') + "\""};
    QTest::newRow("escapes")
        << QByteArray("VRK_ReadCardCity 0 \"a\\tb\\\\c\\\"d\\x01\" error=\"1\\n2\"\n")
        << QStringList{"VRK_ReadCardCity"}
        << QStringList{"VRK_ReadCardCity 0 \"a\\tb\\\\c\\\"d\\x01\" error=\"1\\n2\""};
    QTest::newRow("int output and scan text")
        << QByteArray("VRK_ECard_Read 0 \"QR-1\" output=4\n")
        << QStringList{"VRK_ECard_Read:2000"}
        << QStringList{"VRK_ECard_Read 0 \"QR-1\" error=\"\" output=4"};
    QTest::newRow("PIN text cut to the key size given")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"123456\"\n")
        << QStringList{"VRK_KeyBoard_InputKey:20:4"}
        << QStringList{"VRK_KeyBoard_InputKey 0 \"123\" error=\"\" output=0"};
    QTest::newRow("from an editor: byte-order mark, CRLF, comment after an answer")
        << QByteArray("\xef\xbb\xbfVRK_ReadCarNo 0 \"A1\" # a card\r\nVRK_OpenDev 0 # opens\r\n")
        << QStringList{"VRK_ReadCarNo", "VRK_OpenDev:21:3500"}
        << QStringList{"VRK_ReadCarNo 0 \"A1\" error=\"\"", "VRK_OpenDev 0 error=\"\""};
    QTest::newRow("from an editor: CRLF with no comment")
        << QByteArray("VRK_ReadCarNo 0 \"A1\"\r\n")
        << QStringList{"VRK_ReadCarNo"} << QStringList{"VRK_ReadCarNo 0 \"A1\" error=\"\""};
    QTest::newRow("from an editor: fields separated by tabs")
        << QByteArray("VRK_ECard_Read\t0\t\"QR-1\"\terror=\"\"\toutput=4\tdelay=0\n")
        << QStringList{"VRK_ECard_Read:2000"}
        << QStringList{"VRK_ECard_Read 0 \"QR-1\" error=\"\" output=4"};
    const QByteArray line = "VRK_ReadCarNo 0 \"A\"\n";
    QByteArray full = line.repeated(16 * 1024 * 1024 / line.size() - 1);
    full += '#' + QByteArray(16 * 1024 * 1024 - full.size() - 2, 'x') + '\n';
    QTest::newRow("from an editor: exactly 16 MiB")
        << full << QStringList{"VRK_ReadCarNo"}
        << QStringList{"VRK_ReadCarNo 0 \"A\" error=\"\""};
    QTest::newRow("scripted answers through no buffer at all")
        << QByteArray("VRK_ECard_Read 0 \"QR-1\" output=4\n")
        << QStringList{"VRK_ECard_Read:2000:null"} << QStringList{"VRK_ECard_Read 0 error=\"\""};
    QTest::newRow("scripted open opens the demo reader with the same choices")
        << QByteArray("VRK_OpenDev 0\n")
        << QStringList{"VRK_OpenDev:19:3507", "VRK_ReadCardCity"}
        << QStringList{"VRK_OpenDev 0 error=\"\"", "VRK_ReadCardCity 0 \"350700\" error=\"\""};
    QTest::newRow("scripted open of choices the demo reader lacks leaves it closed")
        << QByteArray("VRK_OpenDev 0\n")
        << QStringList{"VRK_OpenDev:1:x", "VRK_ReadCarNo"}
        << QStringList{"VRK_OpenDev 0 error=\"\"", notOpen};
    const QString noSwipe = QStringLiteral("error=\"刷卡超时：未检测到磁条卡\"");
    QTest::newRow("the demo reader: a zero wait times out on the stripe as on the tracks")
        << QByteArray()
        << QStringList{"VRK_OpenDev:21:3500", "VRK_MagicBankCard_ReadNo:0", "VRK_MagCardRead:0"}
        << QStringList{"VRK_OpenDev 0 error=\"\"", "VRK_MagicBankCard_ReadNo -1 \"\" " + noSwipe,
                       "VRK_MagCardRead -1 \"\" \"\" \"\" \"\" " + noSwipe};
}

void tst_SimScript::scriptAnswers()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, answers);

    write("script.txt", script);
    const Run result = run(calls, {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QCOMPARE(result.errors, QString());
    QCOMPARE(result.lines, answers);
    QCOMPARE(result.exitCode, 0);
}

void tst_SimScript::delay()
{
    write("script.txt", "VRK_MagCardRead -1 error=\"刷卡超时\" delay=600\n");
    const Run result = run({"VRK_MagCardRead:10"}, {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QCOMPARE(result.exitCode, 0);
    QVERIFY2(result.elapsedMs >= 600, qPrintable(QString::number(result.elapsedMs)));
}

void tst_SimScript::malformedScript_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("line");

    const QByteArray good = "# fine so far\nVRK_ReadCarNo 0 \"A\"\n";
    QTest::newRow("unknown function") << good + "VRK_Format 0\n" << 3;
    QTest::newRow("result not a number") << good + "VRK_ReadCarNo zero\n" << 3;
    QTest::newRow("result beyond int") << QByteArray("VRK_ReadCarNo 2147483648\n") << 1;
    QTest::newRow("too many values") << good + "VRK_ReadCarNo 0 \"A\" \"B\"\n" << 3;
    QTest::newRow("unterminated quote") << QByteArray("VRK_ReadCarNo 0 \"A\n") << 1;
    QTest::newRow("unknown escape") << QByteArray("\nVRK_ReadCarNo 0 \"\\q\"\n") << 2;
    QTest::newRow("short hex escape") << QByteArray("VRK_ReadCarNo 0 \"\\x4\"\n") << 1;
    QTest::newRow("unknown key") << QByteArray("VRK_ReadCarNo 0 colour=\"red\"\n") << 1;
    QTest::newRow("output where there is none")
        << QByteArray("VRK_ReadCarNo 0 output=1\n") << 1;
    QTest::newRow("negative delay") << QByteArray("VRK_ReadCarNo 0 delay=-5\n") << 1;
    QTest::newRow("bare word") << QByteArray("VRK_ReadCarNo 0 A\n") << 1;
    QTest::newRow("not UTF-8") << good + "VRK_ReadCarNo 0 \"\xff\xfe\"\n" << 3;
}

void tst_SimScript::malformedScript()
{
    QFETCH(QByteArray, script);
    QFETCH(int, line);

    write("script.txt", script);
    const Run result = run({"VRK_ReadCarNo", "VRK_ReadCarNo"},
                           {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QCOMPARE(result.exitCode, 0);
    // Reported once, with its line, and the whole script is set aside.
    QCOMPARE(result.errors.count('\n'), 1);
    QVERIFY2(result.errors.contains(QString(" line %1: ").arg(line)), qPrintable(result.errors));
    QCOMPARE(result.lines, QStringList({notOpen, notOpen}));
}

void tst_SimScript::unreadableScript()
{
    const Run result = run({"VRK_ReadCarNo"}, {{"VRK_SIM_SCRIPT", path("missing.txt")}});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.errors.count('\n'), 1);
    QCOMPARE(result.lines, QStringList{notOpen});
}

void tst_SimScript::recordAndReplay()
{
    const QStringList session = {
        "VRK_ReadCarNo", "VRK_OpenDev:21:3502", "VRK_ReadCarNo", "VRK_ReadCardBas",
        "VRK_ReadCardCertID", "VRK_ReadCardCity", "VRK_IDCard_Read", "VRK_ICBankCard_ReadNO",
        "VRK_MagicBankCard_ReadNo:10", "VRK_ECard_SetAutoRead:0", "VRK_ECard_Read:2000",
        "VRK_ECard_AutoReadTime:0", "VRK_MagCardRead:10", "VRK_KeyBoard_InputKey:20:1024",
    };
    // An old recording, longer than the new one: none of it may remain.
    write("session.txt",
          oldRecording + QByteArray("VRK_ReadCarNo 0 \"from an old session\"\n").repeated(1000));
    const Run recording = run(session, {{"VRK_SIM_MAKER_LIBRARY", MAKER},
                                        {"VRK_SIM_RECORD", path("session.txt")},
                                        {"VRK_SIM_LOG", path("calls.log")}});
    QCOMPARE(recording.errors, QString());
    QCOMPARE(recording.exitCode, 0);
    QCOMPARE(recording.lines.size(), session.size());
    QVERIFY(recording.lines[2].startsWith("VRK_ReadCarNo 0 "));

    const QByteArray script = read("session.txt");
    QVERIFY(!script.contains("from an old session"));
    QVERIFY(script.startsWith("# cardreader simulated reader recording, made "));
    QCOMPARE(script.count('\n'), 1 + session.size());
    QCOMPARE(read("calls.log").count('\n'), session.size());

    // The PIN reached the program but never the recording.
    const QString key = recording.lines.last().section('"', 1, 1);
    QVERIFY(!key.isEmpty() && key != "******");
    QVERIFY(!script.contains(key.toUtf8()));
    QVERIFY(!read("calls.log").contains(key.toUtf8()));

    const Run replay = run(session, {{"VRK_SIM_SCRIPT", path("session.txt")}});
    QCOMPARE(replay.errors, QString());
    QStringList expected = recording.lines;
    expected.last().replace('"' + key + '"', "\"******\"");
    QCOMPARE(replay.lines, expected);
}

void tst_SimScript::unusableMakerLibrary_data()
{
    QTest::addColumn<QString>("maker");
    QTest::addColumn<QString>("why");

    QTest::newRow("a missing file") << "libVrkReaderClient.so" << "No such file";
    QTest::newRow("the simulated reader itself") << SIMREADER << "the simulated reader";
    QTest::newRow("a copy of the simulated reader")
        << "copy/libVrkReaderClient.so" << "the simulated reader";
}

// A maker's library that cannot be used answers nothing: every call fails,
// saying why, and the demo reader never stands in for it.
void tst_SimScript::unusableMakerLibrary()
{
    QFETCH(QString, maker);
    QFETCH(QString, why);

    QVERIFY(QDir(directory->path()).mkpath("copy"));
    QVERIFY(QFile::copy(SIMREADER, path("copy/libVrkReaderClient.so")));
    const QString where = maker.startsWith('/') ? maker : path(maker);
    const Run result = run({"VRK_ReadCarNo", "VRK_ReadCarNo"},
                           {{"VRK_SIM_MAKER_LIBRARY", where},
                            {"VRK_SIM_RECORD", path("session.txt")}});
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.errors.count('\n'), 1);
    QVERIFY2(result.errors.contains(why), qPrintable(result.errors));
    QCOMPARE(result.lines.size(), 2);
    for (const QString &line : result.lines)
        QVERIFY2(line.startsWith("VRK_ReadCarNo -1 \"\" error=\"simulated reader: the maker's"
                                 " library " + where + " cannot be used"),
                 qPrintable(line));
    QVERIFY(!read("session.txt").contains("SIM350000001"));
}

void tst_SimScript::loadedWithRtldLocal()
{
    write("script.txt", "VRK_ReadCarNo 0 \"LOCAL-1\"\n");
    const Run scripted = run({SIMREADER}, {{"VRK_SIM_SCRIPT", path("script.txt")},
                                           {"VRK_SIM_LOG", path("calls.log")}},
                             LOCALLOADER);
    QCOMPARE(scripted.errors, QString());
    QCOMPARE(scripted.lines, QStringList{"VRK_ReadCarNo 0 \"LOCAL-1\" error=\"\""});
    QCOMPARE(read("calls.log"),
             QByteArray("VRK_OpenDev deviceType=21 regionCode=\"3500\"\nVRK_ReadCarNo\n"));

    const Run recorded = run({SIMREADER}, {{"VRK_SIM_MAKER_LIBRARY", MAKER},
                                           {"VRK_SIM_RECORD", path("session.txt")}},
                             LOCALLOADER);
    QCOMPARE(recorded.errors, QString());
    QCOMPARE(read("session.txt").count('\n'), 1 + 2);
}

// Every function from several threads at once, with each kind of session.
// A torn answer, a lost or mixed log line or a crash fails; the
// ThreadSanitizer build also fails on any unguarded access.
void tst_SimScript::manyThreads()
{
    const int threads = 4;
    const int rounds = 20;
    const QStringList calls = {
        "VRK_OpenDev:21:3500", "VRK_ReadCarNo", "VRK_ReadCardBas", "VRK_ReadCardCertID",
        "VRK_ReadCardCity", "VRK_IDCard_Read", "VRK_ICBankCard_ReadNO",
        "VRK_MagicBankCard_ReadNo:10", "VRK_ECard_SetAutoRead:1", "VRK_ECard_Read:2000",
        "VRK_ECard_AutoReadTime:3000", "VRK_MagCardRead:10", "VRK_KeyBoard_InputKey:20:1024",
    };
    const int total = threads * rounds * calls.size();
    const QStringList threaded = QStringList{"--threads", QString::number(threads), "--rounds",
                                             QString::number(rounds)} + calls;

    const Run demo = run(threaded, {{"VRK_SIM_LOG", path("calls.log")}});
    QCOMPARE(demo.errors, QString());
    QCOMPARE(demo.exitCode, 0);
    QCOMPARE(demo.lines.size(), total);
    const QList<QByteArray> logLines = read("calls.log").split('\n');
    QCOMPARE(logLines.size(), total + 1);
    QCOMPARE(QSet<QByteArray>(logLines.begin(), logLines.end() - 1).size(), calls.size());

    // Numbered card numbers: each is taken once, and in order per thread.
    QByteArray script;
    for (int i = 1; i <= threads * rounds; ++i)
        script += "VRK_ReadCarNo 0 \"" + QByteArray::number(i) + "\"\n";
    write("script.txt", script);
    const Run scripted = run(threaded, {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QCOMPARE(scripted.errors, QString());
    QCOMPARE(scripted.exitCode, 0);
    QVector<int> last(threads, 0);
    QSet<int> taken;
    for (const QString &line : scripted.lines) {
        if (!line.contains(" VRK_ReadCarNo "))
            continue;
        const int thread = line.section(' ', 0, 0).toInt();
        const int number = line.section('"', 1, 1).toInt();
        QVERIFY2(number > last[thread], qPrintable(line));
        last[thread] = number;
        taken.insert(number);
    }
    QCOMPARE(taken.size(), threads * rounds);

    const Run recording = run(threaded, {{"VRK_SIM_MAKER_LIBRARY", MAKER},
                                         {"VRK_SIM_RECORD", path("session.txt")}});
    QCOMPARE(recording.errors, QString());
    QCOMPARE(recording.exitCode, 0);
    QCOMPARE(read("session.txt").count('\n'), 1 + total);
    // Whole lines: the recording replays without a complaint.
    const Run replay = run({"VRK_ReadCarNo"}, {{"VRK_SIM_SCRIPT", path("session.txt")}});
    QCOMPARE(replay.errors, QString());
}

void tst_SimScript::unwritableFiles_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("file");

    QTest::newRow("log on a full device") << "VRK_SIM_LOG" << "/dev/full";
    QTest::newRow("log in a missing directory") << "VRK_SIM_LOG" << "missing/calls.log";
    QTest::newRow("log is a directory") << "VRK_SIM_LOG" << ".";
    QTest::newRow("recording on a full device") << "VRK_SIM_RECORD" << "/dev/full";
    QTest::newRow("recording in a missing directory") << "VRK_SIM_RECORD" << "missing/s.txt";
}

void tst_SimScript::unwritableFiles()
{
    QFETCH(QString, variable);
    QFETCH(QString, file);

    const QString where = file.startsWith('/') ? file : path(file);
    QMap<QString, QString> variables{{variable, where}};
    if (variable == "VRK_SIM_RECORD")
        variables.insert("VRK_SIM_MAKER_LIBRARY", MAKER);
    const Run result = run({"VRK_ReadCarNo", "VRK_ReadCarNo"}, variables);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.lines, QStringList({notOpen, notOpen}));
    QCOMPARE(result.errors.count('\n'), 1);
    QVERIFY2(result.errors.contains(where), qPrintable(result.errors));
}

void tst_SimScript::filesReadableByOwnerOnly()
{
    // A log and a recording that others could read, appended to and replaced.
    const mode_t oldMask = umask(022);
    write("session.txt", "");
    write("calls.log", "VRK_ReadCarNo\n");
    for (const char *name : {"calls.log", "session.txt"})
        QVERIFY(QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner
                                                      | QFile::ReadOther));
    run({"VRK_ReadCarNo"}, {{"VRK_SIM_LOG", path("calls.log")},
                            {"VRK_SIM_MAKER_LIBRARY", MAKER},
                            {"VRK_SIM_RECORD", path("session.txt")}});
    umask(oldMask);
    for (const char *name : {"calls.log", "session.txt"}) {
        struct stat status;
        QCOMPARE(stat(QFile::encodeName(path(name)).constData(), &status), 0);
        QCOMPARE(status.st_mode & 0777, mode_t(0600));
    }
}

void tst_SimScript::refusesSymbolicLink_data()
{
    QTest::addColumn<QString>("variable");
    QTest::newRow("recording") << "VRK_SIM_RECORD";
    QTest::newRow("call log") << "VRK_SIM_LOG";
}

void tst_SimScript::refusesSymbolicLink()
{
    QFETCH(QString, variable);

    write("target.txt", "kept\n");
    QVERIFY(QFile::link(path("target.txt"), path("session.txt")));
    const Run result = run({"VRK_ReadCarNo"}, {{"VRK_SIM_MAKER_LIBRARY", MAKER},
                                               {variable, path("session.txt")}});
    QCOMPARE(result.lines, QStringList{notOpen});
    QCOMPARE(result.errors.count('\n'), 1);
    QVERIFY2(result.errors.contains("symbolic link"), qPrintable(result.errors));
    QCOMPARE(read("target.txt"), QByteArray("kept\n"));
}

void tst_SimScript::scriptMustBeRegularFile_data()
{
    QTest::addColumn<QString>("script");

    QTest::newRow("FIFO with no writer") << "fifo";
    QTest::newRow("directory") << ".";
    QTest::newRow("endless device") << "/dev/zero";
    QTest::newRow("empty device") << "/dev/null";
    QTest::newRow("valid lines just over 16 MiB") << "big.txt";
}

void tst_SimScript::scriptMustBeRegularFile()
{
    QFETCH(QString, script);

    QVERIFY(mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
    const QByteArray line = "VRK_ReadCarNo 0 \"A\"\n";
    write("big.txt", line.repeated(16 * 1024 * 1024 / line.size() + 1));

    const QString where = script.startsWith('/') ? script : path(script);
    const Run result = run({"VRK_ReadCarNo"}, {{"VRK_SIM_SCRIPT", where}});
    QCOMPARE(result.lines, QStringList{notOpen});
    QCOMPARE(result.errors.count('\n'), 1);
    QVERIFY2(result.errors.contains(where), qPrintable(result.errors));
    QVERIFY2(result.elapsedMs < 5000, qPrintable(QString::number(result.elapsedMs)));
}

void tst_SimScript::messagesQuoteShortAndPrintable()
{
    const QByteArray bad = "\x1b]2;owned\x07\x1b[2J" + QByteArray(1 << 20, 'x');
    write("script.txt", "VRK_" + bad + " 0\nVRK_ReadCarNo 0 " + bad + "=1\n");
    const Run first = run({"VRK_ReadCarNo"}, {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QCOMPARE(first.errors.count('\n'), 1);
    QVERIFY2(first.errors.size() < 400, qPrintable(first.errors.left(400)));
    QVERIFY(!first.errors.contains(QChar(0x1b)) && !first.errors.contains(QChar(0x07)));
}

void tst_SimScript::makerAnswersOrFails_data()
{
    QTest::addColumn<QString>("maker");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("warnings");

    const QString lacks = "VRK_MagCardRead -1 \"\" \"\" \"\" \"\" error=\"simulated reader: the maker's"
                          " library %1 lacks VRK_MagCardRead\"";
    QTest::newRow("a library that lacks a function")
        << PARTIALREADER
        << QStringList{"VRK_OpenDev 0 error=\"\"", lacks.arg(PARTIALREADER),
                       lacks.arg(PARTIALREADER)}
        << 1;
    QTest::newRow("no reader library at all")
        << "libc.so.6"
        << QStringList{"VRK_OpenDev -1 error=\"simulated reader: the maker's library libc.so.6"
                       " lacks VRK_OpenDev\"",
                       lacks.arg("libc.so.6"), lacks.arg("libc.so.6")}
        << 2;
}

// While a maker's library is set it alone answers: what it lacks fails,
// named, and is recorded as such. The demo reader never answers.
void tst_SimScript::makerAnswersOrFails()
{
    QFETCH(QString, maker);
    QFETCH(QStringList, answers);
    QFETCH(int, warnings);

    const Run result = run({"VRK_OpenDev:21:3500", "VRK_MagCardRead:10", "VRK_MagCardRead:10"},
                           {{"VRK_SIM_MAKER_LIBRARY", maker},
                            {"VRK_SIM_RECORD", path("session.txt")}});
    QCOMPARE(result.lines, answers);
    QCOMPARE(result.errors.count('\n'), warnings);
    const QByteArray recording = read("session.txt");
    QCOMPARE(recording.count("VRK_MagCardRead -1 "), 2);
    QVERIFY(recording.contains(" lacks VRK_MagCardRead"));
}

void tst_SimScript::filesNeverDestroyed_data()
{
    QTest::addColumn<QString>("victim");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("hardLink");
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<QString>("message");

    const QByteArray recording = oldRecording;
    QTest::newRow("the maker's library itself, by another name")
        << "v/libVrkReaderClient.so" << QByteArray() << QString() << false
        << QStringList{"VRK_SIM_MAKER_LIBRARY=v/libVrkReaderClient.so",
                       "VRK_SIM_RECORD=v/../v/libVrkReaderClient.so"}
        << "is the maker's library itself";
    QTest::newRow("a file that is no recording")
        << "notes.txt" << QByteArray("precious\n") << QString() << false
        << QStringList{"VRK_SIM_RECORD=notes.txt"} << "is not a recording";
    QTest::newRow("a file whose first line only begins like a recording's")
        << "notes.txt"
        << QByteArray("# cardreader simulated reader recording is what this file documents\n")
        << QString() << false << QStringList{"VRK_SIM_RECORD=notes.txt"} << "is not a recording";
    QTest::newRow("a file whose first line is a recording's header with more after it")
        << "notes.txt" << oldRecording.trimmed() + " and what came of it\n" << QString() << false
        << QStringList{"VRK_SIM_RECORD=notes.txt"} << "is not a recording";
    QTest::newRow("a file whose first line is a recording's header at no real time")
        << "notes.txt" << QByteArray(oldRecording).replace("2026-01-02T03:04:05Z", "2026-13-45T99:99:99Z")
        << QString() << false << QStringList{"VRK_SIM_RECORD=notes.txt"} << "is not a recording";
    QTest::newRow("a recording with another name")
        << "session.txt" << recording << "copy.txt" << false
        << QStringList{"VRK_SIM_RECORD=session.txt"} << "other names";
    QTest::newRow("a recording another recorder is making")
        << "session.txt" << recording << QString() << true
        << QStringList{"VRK_SIM_RECORD=session.txt"} << "being recorded by another process";
    QTest::newRow("a script, by the old way of recording")
        << "session.txt" << recording << QString() << false
        << QStringList{"VRK_SIM_SCRIPT=session.txt"} << "VRK_SIM_RECORD";
    QTest::newRow("a script, with a mistyped maker's library")
        << "session.txt" << recording << QString() << false
        << QStringList{"VRK_SIM_MAKER_LIBRARY=missing.so", "VRK_SIM_SCRIPT=session.txt"}
        << "VRK_SIM_RECORD";
    QTest::newRow("a script, with every variable left set")
        << "session.txt" << recording + "VRK_ReadCarNo 0 \"edited\"\n" << QString() << false
        << QStringList{"VRK_SIM_SCRIPT=session.txt", "VRK_SIM_RECORD=session.txt"}
        << "is the script that VRK_SIM_SCRIPT names";
    QTest::newRow("the script being replayed, as the call log")
        << "script.txt" << QByteArray("VRK_ReadCarNo 0 \"A1\"\n") << QString() << false
        << QStringList{"VRK_SIM_MAKER_LIBRARY=", "VRK_SIM_SCRIPT=script.txt",
                       "VRK_SIM_LOG=script.txt"}
        << "is the script that VRK_SIM_SCRIPT names";
    QTest::newRow("one file named as both the call log and the recording")
        << "notes.txt" << QByteArray("precious\n") << QString() << false
        << QStringList{"VRK_SIM_LOG=notes.txt", "VRK_SIM_RECORD=notes.txt"}
        << "is the recording that VRK_SIM_RECORD names";
    QTest::newRow("a file that is no call log")
        << "notes.txt" << QByteArray("precious\n") << QString() << false
        << QStringList{"VRK_SIM_LOG=notes.txt"} << "is not a call log";
}

void tst_SimScript::filesNeverDestroyed()
{
    QFETCH(QString, victim);
    QFETCH(QByteArray, content);
    QFETCH(QString, hardLink);
    QFETCH(bool, locked);
    QFETCH(QStringList, variables);
    QFETCH(QString, message);

    QVERIFY(QDir(directory->path()).mkpath("v"));
    if (content.isEmpty())
        QVERIFY(QFile::copy(MAKER, path(victim)));
    else
        write(victim, content);
    if (!hardLink.isEmpty())
        QCOMPARE(link(QFile::encodeName(path(victim)).constData(),
                      QFile::encodeName(path(hardLink)).constData()), 0);
    const QByteArray before = read(victim);
    // Held while another process runs, through nothing but a lock: even a
    // shared one, which two recorders that only shared would both get.
    QFile recorder(path(victim));
    if (locked) {
        QVERIFY(recorder.open(QIODevice::ReadOnly));
        QCOMPARE(flock(recorder.handle(), LOCK_SH | LOCK_NB), 0);
    }

    QMap<QString, QString> environment{{"VRK_SIM_MAKER_LIBRARY", MAKER}};
    for (const QString &variable : variables) {
        const QString value = variable.section('=', 1);
        environment.insert(variable.section('=', 0, 0), value.isEmpty() ? value : path(value));
    }
    const Run result = run({"VRK_ReadCarNo"}, environment);
    QVERIFY2(result.errors.contains(message), qPrintable(result.errors));
    QCOMPARE(read(victim), before);
}

void tst_SimScript::recordingReplaysExactly_data()
{
    QTest::addColumn<QString>("maker");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QStringList>("wrapper");
    QTest::addColumn<QString>("warning");

    QTest::newRow("cut short by a full disk")
        << MAKER
        << QStringList{"--threads", "1", "--rounds", "30", "VRK_OpenDev:21:3500", "VRK_IDCard_Read"}
        << QStringList{"sh", "-c", "trap '' XFSZ; (ulimit -f 4; exec \"$0\" \"$@\") | cat"}
        << "only part of a line fit";
    QTest::newRow("standard error closed, the maker's library writing to it")
        << BADREADER << QStringList{"VRK_ReadCarNo", "VRK_ReadCarNo"}
        << QStringList{"env", "BADREADER_FAULT=chatter", "sh", "-c", "exec \"$0\" \"$@\" 2>&-"}
        << QString();
    QTest::newRow("bytes that are not UTF-8 in a value")
        << BADREADER << QStringList{"VRK_ReadCardCity"} << QStringList() << QString();
    QTest::newRow("a time zone far from UTC")
        << MAKER << QStringList{"VRK_ReadCarNo"} << QStringList{"env", "TZ=XST-14"} << QString();
}

// What the maker's library answered, the recording replays, whatever the
// session met; its header's time is UTC.
void tst_SimScript::recordingReplaysExactly()
{
    QFETCH(QString, maker);
    QFETCH(QStringList, calls);
    QFETCH(QStringList, wrapper);
    QFETCH(QString, warning);

    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
    const Run recording = run(calls, {{"VRK_SIM_MAKER_LIBRARY", maker},
                                      {"VRK_SIM_RECORD", path("session.txt")}}, DRIVER, wrapper);
    QCOMPARE(recording.errors.count('\n'), warning.isEmpty() ? 0 : 1);
    QVERIFY2(recording.errors.contains(warning), qPrintable(recording.errors));
    const QByteArray script = read("session.txt");
    QVERIFY(script.endsWith('\n'));
    QDateTime made = QDateTime::fromString(QString::fromLatin1(script.mid(46, 20)),
                                           "yyyy-MM-dd'T'HH:mm:ss'Z'");
    made.setTimeSpec(Qt::UTC);
    QVERIFY2(made >= before && made <= QDateTime::currentDateTimeUtc(), script.left(80).data());

    const Run replay = run(calls, {{"VRK_SIM_SCRIPT", path("session.txt")}});
    QCOMPARE(replay.errors, QString());
    QCOMPARE(answers(replay.lines), answers(recording.lines));
}

void tst_SimScript::fifoNeverHoldsACall_data()
{
    QTest::addColumn<QString>("variable");
    QTest::newRow("log") << "VRK_SIM_LOG";
    QTest::newRow("recording") << "VRK_SIM_RECORD";
}

void tst_SimScript::fifoNeverHoldsACall()
{
    QFETCH(QString, variable);

    QVERIFY(mkfifo(QFile::encodeName(path("fifo")).constData(), 0600) == 0);
    const Run result = run({"VRK_ReadCarNo"}, {{variable, path("fifo")},
                                               {"VRK_SIM_MAKER_LIBRARY", MAKER}});
    QCOMPARE(result.lines, QStringList{notOpen});
    QCOMPARE(result.errors.count('\n'), 1);
    QVERIFY2(result.errors.contains(path("fifo")), qPrintable(result.errors));
}

// A recording that would pass what a script may hold stops there, at once
// and said; what was recorded replays. The maker's answers make lines of one
// length, and its path, padded with slashes, sets the header's so that one
// line more would end a single byte past 16 MiB: its newline counts too.
void tst_SimScript::recordingKeepsToScriptLimits()
{
    const qint64 limit = 16 * 1024 * 1024;
    const QByteArray line =
        "VRK_ReadCardBas 0" + QByteArray(" \"\"").repeated(13) + " error=\"\" delay=0\n";
    const int header = QByteArray("# cardreader simulated reader recording, made"
                                  " 2026-12-07T14:00:00Z with \"\"\n").size();
    QString maker = BADREADER;
    while ((header + maker.size()) % line.size() != (limit + 1) % line.size())
        maker.insert(maker.lastIndexOf('/'), '/');
    const Run recording = run({"--threads", "1", "--rounds",
                               QString::number(limit / line.size() + 2), "VRK_ReadCardBas"},
                              {{"VRK_SIM_MAKER_LIBRARY", maker},
                               {"VRK_SIM_RECORD", path("session.txt")}});
    QCOMPARE(recording.exitCode, 0);
    QCOMPARE(recording.errors.count('\n'), 1);
    QVERIFY2(recording.errors.contains("16 MiB"), qPrintable(recording.errors));
    const qint64 size = QFileInfo(path("session.txt")).size();
    QVERIFY2(size <= limit && size > limit - 2 * line.size(), qPrintable(QString::number(size)));

    const Run replay = run({"VRK_ReadCardBas"}, {{"VRK_SIM_SCRIPT", path("session.txt")}});
    QCOMPARE(replay.errors, QString());
}

void tst_SimScript::recordedDelayReplays()
{
    run({"VRK_ReadCarNo"}, {{"VRK_SIM_MAKER_LIBRARY", BADREADER},
                            {"VRK_SIM_RECORD", path("session.txt")},
                            {"BADREADER_FAULT", "slow"}});
    const Run replay = run({"VRK_ReadCarNo"}, {{"VRK_SIM_SCRIPT", path("session.txt")}});
    QCOMPARE(replay.lines, QStringList{"VRK_ReadCarNo 0 \"1\" error=\"\""});
    QVERIFY2(replay.elapsedMs >= 300, qPrintable(QString::number(replay.elapsedMs)));
}

void tst_SimScript::callsAnsweredOneAtATime()
{
    write("script.txt", "VRK_ReadCarNo 0 \"1\" delay=300\n");
    const Run result = run({"--threads", "4", "--rounds", "1", "VRK_ReadCarNo"},
                           {{"VRK_SIM_SCRIPT", path("script.txt")}});
    QCOMPARE(result.lines.size(), 4);
    QVERIFY2(result.elapsedMs >= 1200, qPrintable(QString::number(result.elapsedMs)));
}

// Bound to the stand-in's function of the same name, the maker's inner call
// would wait for the call it is part of, for ever.
void tst_SimScript::makerCallsItsOwnFunctions()
{
#ifdef SANITIZED
    QSKIP("the sanitizers refuse the binding that keeps the maker's calls its own");
#endif
    const Run result = run({"VRK_ReadCardCertID"}, {{"VRK_SIM_MAKER_LIBRARY", BADREADER}}, DRIVER,
                           {"timeout", "10"});
    QCOMPARE(result.lines, QStringList{"VRK_ReadCardCertID 0 \"\" \"\" error=\"\""});
}

void tst_SimScript::parsedScriptIsCompact()
{
#ifdef SANITIZED
    QSKIP("the sanitizers' own bookkeeping is most of the memory");
#endif
    // 15 MiB of answers with thirteen empty values each may take at most four
    // times their size beyond what one answer takes.
    const QByteArray line = "VRK_ReadCardBas 0" + QByteArray(" \"\"").repeated(13) + '\n';
    write("small.txt", line);
    write("large.txt", line.repeated(15 * 1024 * 1024 / line.size()));
    const Run small = run({"VRK_ReadCardBas"}, {{"VRK_SIM_SCRIPT", path("small.txt")}});
    const Run large = run({"VRK_ReadCardBas"}, {{"VRK_SIM_SCRIPT", path("large.txt")}});
    QCOMPARE(large.errors, QString());
    QVERIFY2(large.peakKiB - small.peakKiB < 4 * 15 * 1024,
             qPrintable(QStringLiteral("%1 KiB against %2").arg(large.peakKiB).arg(small.peakKiB)));
}

QTEST_GUILESS_MAIN(tst_SimScript)
#include "tst_simscript.moc"
