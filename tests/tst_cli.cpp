#include "childprocess.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <numeric>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

// cardreader-cli, run as a shell user runs it, against the simulated
// reader's scripted answers and against a library that breaks its contract.
class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void argumentsOfEachOperation_data();
    void argumentsOfEachOperation();
    void forPeople_data();
    void forPeople();
    void forPrograms();
    void usageErrors_data();
    void usageErrors();
    void repeatSummary();
    void burnInFigures_data();
    void burnInFigures();
    void timeLimit_data();
    void timeLimit();
    void progressOnlyOnATerminal_data();
    void progressOnlyOnATerminal();
    void interrupts_data();
    void interrupts();
    void contractFindings_data();
    void contractFindings();
    void libraryFaults_data();
    void libraryFaults();
    void callsThatNeverReturn_data();
    void callsThatNeverReturn();
    void statusAndMessages_data();
    void statusAndMessages();
    void readerOfTheOutputGone_data();
    void readerOfTheOutputGone();
    void valuesAsLongAsTheirBuffers();
    void eachValueUnderItsName();
    void jsonHidesAndCorruptsNothing();
    void operationsRunAsAsked_data();
    void operationsRunAsAsked();
    void libraryReport_data();
    void libraryReport();
    void metricsMatchTheRun_data();
    void metricsMatchTheRun();
    void metricsReplacedWhole();

private:
    QStringList command(const QStringList &arguments) const;
    // outputPath: where standard output goes instead of being kept.
    ChildProcess run(const QStringList &arguments, QMap<QString, QString> variables = {},
                     const QString &outputPath = QString());
    QVector<QJsonObject> runJson(const QStringList &arguments, ChildProcess &cli,
                                 QMap<QString, QString> variables = {});
    QString path(const QString &name) const { return directory->filePath(name); }
    void write(const QString &name, const QByteArray &content);
    QByteArray readFile(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QScopedPointer<QTemporaryDir> directory;
};

namespace {

// Durations differ from run to run.
QString timeless(const QByteArray &out)
{
    return QString::fromUtf8(out).replace(QRegularExpression("[0-9]+\\.[0-9]+ ms"), "N ms");
}

// The value of each sample line of a Prometheus text file, by its name and
// labels as written.
QMap<QString, double> samples(const QByteArray &text)
{
    QMap<QString, double> values;
    for (const QByteArray &line : text.split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const int space = line.lastIndexOf(' ');
        values.insert(QString::fromUtf8(line.left(space)), line.mid(space + 1).toDouble());
    }
    return values;
}

// What a terminal shows of what was written to it: each line as it stands
// once carriage returns and erasures have done their work. A line feed
// starts a line, as the terminal's own output processing has it.
QStringList onScreen(const QByteArray &written)
{
    QList<QByteArray> lines{QByteArray()};
    int column = 0;
    for (int i = 0; i < written.size(); ++i) {
        QByteArray &line = lines.last();
        if (written[i] == '\r') {
            column = 0;
        } else if (written[i] == '\n') {
            lines.append(QByteArray());
            column = 0;
        } else if (written.mid(i, 3) == "\x1b[K") {
            line.truncate(column);
            i += 2;
        } else {
            if (line.size() <= column)
                line.resize(column + 1);
            line[column++] = written[i];
        }
    }
    QStringList out;
    for (const QByteArray &line : lines)
        out << QString::fromUtf8(line);
    return out;
}

// A library that breaks its contract: see badreader.cpp.
const QString badReader = QStringLiteral(BADREADER_DIR "/libVrkReaderClient.so");

} // namespace

void tst_Cli::init()
{
    directory.reset(new QTemporaryDir);
    QVERIFY(directory->isValid());
}

QStringList tst_Cli::command(const QStringList &arguments) const
{
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    return command << CLI << arguments;
}

ChildProcess tst_Cli::run(const QStringList &arguments, QMap<QString, QString> variables,
                          const QString &outputPath)
{
    if (QFile::exists(path("script.txt")))
        variables.insert("VRK_SIM_SCRIPT", path("script.txt"));
    ChildProcess child(directory->path());
    child.outputPath = outputPath;
    if (!child.start(command(arguments), variables) || !child.finish())
        qWarning("could not run %s", CLI);
    return child;
}

// Every line of the output must be one JSON object: nothing the library
// writes may get into the stream.
QVector<QJsonObject> tst_Cli::runJson(const QStringList &arguments, ChildProcess &cli,
                                      QMap<QString, QString> variables)
{
    cli = run(QStringList{"--json"} + arguments, variables);
    QVector<QJsonObject> objects;
    for (const QByteArray &line : cli.out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            qWarning("not a JSON object: %s", line.constData());
        objects.append(document.object());
    }
    return objects;
}

void tst_Cli::write(const QString &name, const QByteArray &content)
{
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

void tst_Cli::argumentsOfEachOperation_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<int>("exitCode");

    // 010 is ten seconds, never octal.
    QTest::newRow("every operation")
        << QStringList{"--device", "19", "--region", "3507", "--seconds", "010", "card-number",
                       "card-info", "card-id-code", "card-region", "id-card", "bank-chip",
                       "bank-stripe", "scan-auto", "scan-manual", "scan", "scan-interval",
                       "tracks", "pin"}
        << QStringLiteral("VRK_OpenDev deviceType=19 regionCode=\"3507\"\n"
                          "VRK_ReadCarNo\nVRK_ReadCardBas\nVRK_ReadCardCertID\n"
                          "VRK_ReadCardCity\nVRK_IDCard_Read\nVRK_ICBankCard_ReadNO\n"
                          "VRK_MagicBankCard_ReadNo timeout=10\n"
                          "VRK_ECard_SetAutoRead mode=1\nVRK_ECard_SetAutoRead mode=0\n"
                          "VRK_ECard_Read wait=10000\nVRK_ECard_AutoReadTime interval=10000\n"
                          "VRK_MagCardRead timeout=10\n"
                          "VRK_KeyBoard_InputKey timeout=20 keySize=1024\n")
        << 0;
    const QString open = QStringLiteral("VRK_OpenDev deviceType=21 regionCode=\"3500\"\n");
    // The simulated reader answers it as a wait that ran out.
    QTest::newRow("a scanner wait below zero, passed on")
        << QStringList{"--seconds", "-1", "scan"} << open + "VRK_ECard_Read wait=-1000\n" << 1;
    QTest::newRow("no pause after the last round")
        << QStringList{"--repeat", "1", "--pause", "30000", "card-number"}
        << open + "VRK_ReadCarNo\n" << 0;
}

void tst_Cli::argumentsOfEachOperation()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, calls);
    QFETCH(int, exitCode);

    const ChildProcess cli = run(arguments, {{"VRK_SIM_LOG", path("calls.log")}});
    QCOMPARE(cli.exitCode, exitCode);
    QFile log(path("calls.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll()), calls);
    // None of these calls is held, and no pause follows the last round.
    QVERIFY2(cli.elapsedMs < 15000, qPrintable(QString::number(cli.elapsedMs)));
}

void tst_Cli::forPeople_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("exitCode");

    QTest::newRow("success, with the library's message")
        << QByteArray("VRK_ReadCardCertID 0 \"A1\" \"B2\" error=\"注意\"\n")
        << QStringList{"card-id-code"}
        << QStringLiteral("card-id-code (VRK_ReadCardCertID): ok, N ms\n"
                          "  card_number: A1\n  card_id_code: B2\n  message: 注意\n")
        << 0;
    QTest::newRow("failure shows the code and message, no values")
        << QByteArray("VRK_ReadCarNo -3 \"X\" error=\"无卡\"\n") << QStringList{"card-number"}
        << QStringLiteral("card-number (VRK_ReadCarNo): failed with -3, N ms\n"
                          "  message: 无卡\n")
        << 1;
    QTest::newRow("control characters escaped")
        << QByteArray("VRK_ReadCarNo 0 \"\\x1b]2;x\\x07\\xc2\\x9b\" error=\"a\\nb\"\n")
        << QStringList{"card-number"}
        << QStringLiteral("card-number (VRK_ReadCarNo): ok, N ms\n"
                          "  card_number: \\x1b]2;x\\x07\\xc2\\x9b\n  message: a\\nb\n")
        << 0;
    QTest::newRow("PIN masked")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"123456\" output=6\n") << QStringList{"pin"}
        << QStringLiteral("pin (VRK_KeyBoard_InputKey): ok, N ms\n"
                          "  key: ******\n  output: 6\n")
        << 0;
    QTest::newRow("PIN shown when asked")
        << QByteArray("VRK_KeyBoard_InputKey 0 \"123456\" output=6\n")
        << QStringList{"--show-pin", "pin"}
        << QStringLiteral("pin (VRK_KeyBoard_InputKey): ok, N ms\n"
                          "  key: 123456\n  output: 6\n")
        << 0;
}

void tst_Cli::forPeople()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, arguments);
    QFETCH(QString, output);
    QFETCH(int, exitCode);

    write("script.txt", script);
    const ChildProcess cli = run(QStringList{"--no-open"} + arguments);
    const QString out = timeless(cli.out);
    QCOMPARE(out.left(out.indexOf("summary of 1 round(s):\n")), output);
    // A single read closes as a burn-in does, with the verdict last.
    const QString verdict = exitCode == 0
        ? "PASSED on the simulated reader: no terminal was checked; 1 of 1 calls succeeded, "
          "every answer plausible\n"
        : "FAILED on the simulated reader: 1 call failed (card-number)\n";
    QVERIFY2(out.endsWith(verdict), qPrintable(out));
    QCOMPARE(cli.err, QByteArray());
    QCOMPARE(cli.exitCode, exitCode);
}

void tst_Cli::forPrograms()
{
    write("script.txt", "VRK_OpenDev 0\n"
                        "VRK_ECard_Read 0 \"QR-\\xff\" output=4\n"
                        "VRK_ECard_Read -2 error=\"超时\"\n");
    const ChildProcess cli = run({"--json", "--seconds", "5", "scan", "scan"});
    const QList<QByteArray> lines = cli.out.trimmed().split('\n');
    QCOMPARE(lines.size(), 4);
    // The stored result says which library it was run against.
    QVERIFY(QJsonDocument::fromJson(lines[3]).object().value("summary").toObject()
                .value("library").toObject().value("sha256").toString().size() == 64);
    QJsonObject open = QJsonDocument::fromJson(lines[0]).object();
    QCOMPARE(open.value("arguments").toObject(),
             QJsonObject({{"device_type", 21}, {"region_code", "3500"}}));

    // A byte that is not UTF-8 stays visible, and is a contract finding.
    QJsonObject scan = QJsonDocument::fromJson(lines[1]).object();
    QCOMPARE(scan.value("operation").toString(), QStringLiteral("scan"));
    QCOMPARE(scan.value("function").toString(), QStringLiteral("VRK_ECard_Read"));
    QCOMPARE(scan.value("arguments").toObject(), QJsonObject({{"wait", 5000}}));
    QCOMPARE(scan.value("result").toInt(), 0);
    QCOMPARE(scan.value("ok").toBool(), true);
    QCOMPARE(scan.value("values").toObject(),
             QJsonObject({{"scan", "QR-\\xff"}, {"output", 4}}));
    QCOMPARE(scan.value("findings").toArray().size(), 1);
    QVERIFY(scan.value("duration_ms").isDouble());

    QJsonObject failed = QJsonDocument::fromJson(lines[2]).object();
    QCOMPARE(failed.value("result").toInt(), -2);
    QCOMPARE(failed.value("ok").toBool(), false);
    QCOMPARE(failed.value("message").toString(), QStringLiteral("超时"));
    QCOMPARE(cli.exitCode, 3);
}

void tst_Cli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("names");

    QTest::newRow("device 20") << QStringList{"--device", "20", "all"} << "21 or 19";
    QTest::newRow("region 3510") << QStringList{"--region", "3510", "all"} << "3500 to 3509";
    QTest::newRow("seconds not a number") << QStringList{"--seconds", "abc", "scan"}
                                          << "whole number";
    QTest::newRow("seconds beyond int milliseconds")
        << QStringList{"--seconds", "2147484", "scan"} << "2147483";
    QTest::newRow("a mistyped operation: the nearest one")
        << QStringList{"card-numbr"} << "unknown operation \"card-numbr\"; did you mean card-number?";
    QTest::newRow("two letters swapped") << QStringList{"pni"} << "did you mean pin?";
    QTest::newRow("an operation near none: all of them")
        << QStringList{"frobnicate"} << "valid operations: card-number, ";
    QTest::newRow("no operation") << QStringList{} << "card-number, ";
    QTest::newRow("no rounds") << QStringList{"--repeat", "0", "all"} << "at least 1";
    QTest::newRow("unknown option") << QStringList{"--frobnicate", "all"}
                                    << "cardreader-cli: Unknown option 'frobnicate'.\n";
    QTest::newRow("a mistyped option: the nearest one")
        << QStringList{"--repat", "3", "all"} << "Did you mean --repeat?";
    QTest::newRow("a duration in a unit it does not know")
        << QStringList{"--duration", "8x", "all"} << "--duration must be a time";
    QTest::newRow("a duration of nothing") << QStringList{"--duration", "0s", "all"} << "\"0s\"";
    QTest::newRow("a duration's units out of order")
        << QStringList{"--duration", "30m1h", "all"} << "\"30m1h\"";
    QTest::newRow("a duration beyond a year")
        << QStringList{"--duration", "366d", "all"} << "\"366d\"";
    QTest::newRow("region 3499") << QStringList{"--region", "3499", "all"} << "3500 to 3509";
    QTest::newRow("seconds whose milliseconds overflow")
        << QStringList{"--seconds", "-2147484", "scan"} << "-2147483";
    QTest::newRow("unknown operation after a known one")
        << QStringList{"card-number", "card-numbr"} << "card-numbr";
    QTest::newRow("plus sign") << QStringList{"--device", "+21", "all"} << "+21";
    QTest::newRow("option given twice")
        << QStringList{"--region", "3501", "--region", "3502", "all"} << "more than once";
    QTest::newRow("help-all is not offered") << QStringList{"--help-all"} << "help-all";
    QTest::newRow("library that is no file")
        << QStringList{"--library", "/nonexistent/libVrkReaderClient.so", "all"} << "no file";
    QTest::newRow("negative watchdog") << QStringList{"--timeout", "-1", "all"} << "--timeout";
    QTest::newRow("metrics into a directory")
        << QStringList{"--metrics", QDir::tempPath(), "all"} << "--metrics";
    QTest::newRow("metrics in a directory that does not exist")
        << QStringList{"--metrics", "/nonexistent/run.prom", "all"} << "--metrics";
}

void tst_Cli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, names);

    const ChildProcess cli = run(arguments, {{"VRK_SIM_LOG", path("calls.log")}});
    QCOMPARE(cli.exitCode, 2);
    QCOMPARE(cli.out, QByteArray());
    // One line, and where help is.
    QCOMPARE(cli.err.count('\n'), 2);
    QVERIFY2(cli.err.endsWith("\nTry 'cardreader-cli --help' for more information.\n"),
             cli.err.constData());
    QVERIFY2(cli.err.contains(names.toUtf8()), cli.err.constData());
    QVERIFY2(!QFile::exists(path("calls.log")), "the library was called");
}

void tst_Cli::repeatSummary()
{
    write("script.txt", "VRK_ReadCarNo 0 \"1\"\nVRK_ReadCarNo 0 \"2\"\nVRK_ReadCarNo -1\n");
    const ChildProcess cli = run({"--repeat", "5", "card-number", "bank-chip"});
    QCOMPARE(cli.exitCode, 1);
    const QString out = QString::fromUtf8(cli.out);
    // In a burn-in only what went wrong is described, then the summary.
    QCOMPARE(out.count("card-number (VRK_ReadCarNo): failed with -1"), 3);
    QVERIFY2(!out.contains("ok, "), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  open +1 +1 +0 ")), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  card-number +5 +2 +3 ")), qPrintable(out));
    QVERIFY2(out.contains(QRegularExpression("\n  bank-chip +5 +5 +0 ")), qPrintable(out));
}

void tst_Cli::burnInFigures_data()
{
    QTest::addColumn<bool>("json");
    QTest::newRow("for people") << false;
    QTest::newRow("for programs") << true;
}

// Four rounds of known durations, one of them a failure: every figure of the
// summary, and nothing on standard error, which is not a terminal here. A
// call takes at least its scripted delay, and on a busy machine longer.
void tst_Cli::burnInFigures()
{
    QFETCH(bool, json);
    write("script.txt", "VRK_ReadCarNo 0 \"1\" delay=300\nVRK_ReadCarNo 0 \"2\" delay=0\n"
                        "VRK_ReadCarNo -1 delay=200\nVRK_ReadCarNo 0 \"4\" delay=100\n");
    const QStringList arguments{"--no-open", "--repeat", "4", "card-number"};
    ChildProcess cli(directory->path());
    QList<double> figures;
    QList<qint64> counts;
    double failedMs = 0;
    qint64 residentKiB = 0, descriptors = 0;
    if (json) {
        const QVector<QJsonObject> lines = runJson(arguments, cli);
        QCOMPARE(lines.size(), 5);
        failedMs = lines[2].value("duration_ms").toDouble();
        const QJsonObject summary = lines.last().value("summary").toObject();
        const QJsonObject atStart = summary.value("calling_process_at_start").toObject();
        residentKiB = qint64(atStart.value("resident_kib").toDouble());
        descriptors = qint64(atStart.value("open_descriptors").toDouble());
        QVERIFY(summary.value("calling_process_at_end").toObject().contains("resident_kib"));
        QCOMPARE(summary.value("rounds").toInt(), 4);
        const QJsonArray rows = summary.value("operations").toArray();
        QCOMPARE(rows.size(), 1);
        const QJsonObject row = rows[0].toObject();
        for (const char *key : {"calls", "succeeded", "failed", "broke_contract"})
            counts << qint64(row.value(key).toDouble());
        for (const char *key : {"min_ms", "median_ms", "p95_ms", "p99_ms", "max_ms"})
            figures << row.value(key).toDouble();
    } else {
        cli = run(arguments);
        const QString out = QString::fromUtf8(cli.out);
        QCOMPARE(out.count("card-number (VRK_ReadCarNo)"), 1);
        failedMs = QRegularExpression("failed with -1, ([0-9.]+) ms\n").match(out).captured(1)
                       .toDouble();
        QVERIFY2(out.contains("summary of 4 round(s):\n"), qPrintable(out));
        const QRegularExpressionMatch atStart = QRegularExpression(
            "\n  calling process at start: ([0-9]+) KiB resident, ([0-9]+) open descriptors\n")
            .match(out);
        QVERIFY2(atStart.hasMatch(), qPrintable(out));
        residentKiB = atStart.captured(1).toLongLong();
        descriptors = atStart.captured(2).toLongLong();
        const QStringList rows = out.split('\n').filter(QRegularExpression("^  card-number "));
        QCOMPARE(rows.size(), 1);
        const QStringList columns = rows[0].simplified().split(' ');
        // calls, succeeded, failed; then differs, implausible, contract
        for (int i : {1, 2, 3, 6})
            counts << columns[i].toLongLong();
        for (int i = 7; i <= 11; ++i)
            figures << columns[i].toDouble();
    }
    QCOMPARE(counts, (QList<qint64>{4, 3, 1, 0}));
    QString shown = "the failed call, then min, median, p95, p99, max:";
    for (double ms : QList<double>{failedMs} + figures)
        shown += ' ' + QString::number(ms);
    QVERIFY2(failedMs >= 200 && figures[4] >= 300, qPrintable(shown));
    QVERIFY2(figures[0] >= 0 && figures[0] <= figures[1] && figures[1] <= figures[2]
                 && figures[2] <= figures[3] && figures[3] <= figures[4],
             qPrintable(shown));
    // The calling process's memory in KiB, which the kernel's own peak for
    // these processes bounds (a count of pages would be a quarter of it, or
    // less), and a handful of descriptors.
    QVERIFY2(residentKiB > cli.peakKiB / 4 && residentKiB <= cli.peakKiB,
             qPrintable(QStringLiteral("%1 KiB resident, peak %2 KiB").arg(residentKiB)
                            .arg(cli.peakKiB)));
    QVERIFY2(descriptors >= 3 && descriptors <= 64, qPrintable(QString::number(descriptors)));
    QCOMPARE(cli.err, QByteArray());
    QCOMPARE(cli.exitCode, 1);
}

void tst_Cli::timeLimit_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("json");
    QTest::addColumn<QString>("summaryHead");  // a pattern: the rounds, and how the run ended
    QTest::addColumn<bool>("timeUp");
    QTest::addColumn<int>("callMs");

    const QStringList unbounded{"--duration", "2s", "card-number"};
    QTest::newRow("the time ends a run of rounds without number")
        << unbounded << false << "^summary of [0-9]+ round\\(s\\), time up after 2s:$" << true
        << 20;
    QTest::newRow("the same for programs") << unbounded << true << "" << true << 20;
    QTest::newRow("the time ends counted rounds")
        << QStringList{"--repeat", "100000", "--pause", "10", "--duration", "2s", "card-number"}
        << false << "^summary of [0-9]+ round\\(s\\) of 100000, time up after 2s:$" << true << 20;
    QTest::newRow("the rounds end first")
        << QStringList{"--repeat", "3", "--duration", "1h", "card-number"} << false
        << "^summary of 3 round\\(s\\):$" << false << 20;
    QTest::newRow("the last round done as the time ran out")
        << QStringList{"--repeat", "1", "--duration", "1s", "card-number"} << false
        << "^summary of 1 round\\(s\\):$" << false << 1500;
    QTest::newRow("nothing to call over and over: one round")
        << QStringList{"--duration", "3s", "library"} << false << "^summary of 1 round\\(s\\):$"
        << false << 20;
}

// A burn-in that the time ends ends with its summary, never before its time,
// and its figures say when it started and ended.
void tst_Cli::timeLimit()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, json);
    QFETCH(QString, summaryHead);
    QFETCH(bool, timeUp);
    QFETCH(int, callMs);

    write("script.txt", "VRK_ReadCarNo 0 \"1\" delay=" + QByteArray::number(callMs) + '\n');
    ChildProcess cli(directory->path());
    long long elapsedMs = 0;
    if (json) {
        const QVector<QJsonObject> lines = runJson(arguments, cli);
        const QJsonObject summary = lines.last().value("summary").toObject();
        QVERIFY2(summary.value("rounds").toInt() > 1, qPrintable(QJsonDocument(summary).toJson()));
        QVERIFY(!summary.contains("rounds_asked"));
        QCOMPARE(summary.value("time_limit_ms").toDouble(), 2000.0);
        QCOMPARE(summary.value("time_up").toBool(), timeUp);
        elapsedMs = qint64(summary.value("elapsed_ms").toDouble());
        const auto time = [&](const char *key) {
            return QDateTime::fromString(summary.value(key).toString(), Qt::ISODate)
                .toMSecsSinceEpoch();
        };
        QVERIFY2(qAbs(time("end_time") - time("start_time") - elapsedMs) < 1000,
                 qPrintable(QJsonDocument(summary).toJson()));
    } else {
        cli = run(arguments);
        const QString out = QString::fromUtf8(cli.out);
        QVERIFY2(out.contains(QRegularExpression(summaryHead,
                                                 QRegularExpression::MultilineOption)),
                 qPrintable(out));
        const QRegularExpressionMatch times = QRegularExpression(
            "\n  started: [-0-9]{10} [:0-9]{8} UTC[-+][:0-9]{5}\n"
            "  ended:   [-0-9]{10} [:0-9]{8} UTC[-+][:0-9]{5}, 0:00:([0-9]{2}\\.[0-9]{3}) elapsed\n")
            .match(out);
        QVERIFY2(times.hasMatch(), qPrintable(out));
        elapsedMs = qRound64(times.captured(1).toDouble() * 1000);
    }
    QCOMPARE(cli.exitCode, 0);
    QVERIFY2(elapsedMs <= cli.elapsedMs, qPrintable(QString::number(elapsedMs)));
    if (timeUp)
        QVERIFY2(elapsedMs >= 2000 && cli.elapsedMs < 2000 + 15000,
                 qPrintable(QStringLiteral("%1 ms by its summary, %2 ms in all")
                                .arg(elapsedMs).arg(cli.elapsedMs)));
    else
        QVERIFY2(cli.elapsedMs < 60000, qPrintable(QString::number(cli.elapsedMs)));
}

void tst_Cli::progressOnlyOnATerminal_data()
{
    QTest::addColumn<bool>("terminal");       // standard error
    QTest::addColumn<bool>("outputThereToo"); // standard output on the same terminal
    QTest::addColumn<bool>("interrupted");    // by Ctrl-C; else the rounds end it
    QTest::addColumn<bool>("noColour");       // NO_COLOR set
    QTest::addColumn<int>("columns");         // the terminal's width

    QTest::newRow("on a terminal, cleared before every other line")
        << true << true << true << false << 200;
    QTest::newRow("on a terminal, the verdict without colour as NO_COLOR asks")
        << true << true << true << true << 200;
    QTest::newRow("on a terminal, the output elsewhere: cleared at the end")
        << true << false << false << false << 200;
    QTest::newRow("on a narrow terminal, fields give way whole to the time left")
        << true << true << true << false << 40;
    QTest::newRow("never in a pipe") << false << false << true << false << 200;
}

// A burn-in with failures: on a terminal its progress is drawn in place, at
// most ten times a second, and no line is written after it on the same row,
// whichever process writes it, nor is it left behind.
void tst_Cli::progressOnlyOnATerminal()
{
    QFETCH(bool, terminal);
    QFETCH(bool, outputThereToo);
    QFETCH(bool, interrupted);
    QFETCH(bool, noColour);
    QFETCH(int, columns);

    QByteArray script;
    for (int i = 0; i < 10; ++i)
        script += "VRK_ReadCarNo 0 \"1\" delay=20\nVRK_ReadCarNo -1 delay=20\n";
    write("script.txt", script + "VRK_ReadCarNo 0 \"1\" delay=20\n");
    const QStringList arguments =
        command({"--repeat", interrupted ? "1000" : "40", "card-number"});
    const int stopAtMs = interrupted ? 1500 : 60000;
    QByteArray shown;  // on the terminal, or in the pipe
    int exitCode = -1;
    QElapsedTimer timer;
    timer.start();
    if (terminal) {
        const TerminalRun run = runOnTerminal(
            arguments,
            {{"VRK_SIM_SCRIPT", path("script.txt")}, {"TERM", "xterm"},
             {"NO_COLOR", noColour ? "1" : ""}},
            columns, stopAtMs, outputThereToo ? QString() : path("out.txt"));
        shown = run.shown;
        exitCode = run.exitCode;
    } else {
        ChildProcess cli(directory->path());
        QVERIFY(cli.start(arguments, {{"VRK_SIM_SCRIPT", path("script.txt")}}));
        QTest::qWait(stopAtMs);
        cli.interrupt();
        QVERIFY(cli.finish());
        shown = cli.err;
        exitCode = cli.exitCode;
    }
    const qint64 elapsedMs = timer.elapsed();
    QCOMPARE(exitCode, interrupted ? 130 : 1);

    // On 40 columns the rate, the time elapsed and no findings give way.
    const QRegularExpression progress(
        columns < 80 ? QStringLiteral("\r\x1b\\[K[0-9]+/[0-9]+ rounds  [0-9]+ failed  "
                                      "ETA [0-9]+:[0-9]{2}:[0-9]{2}\r")
                     : QStringLiteral("\r\x1b\\[K[0-9]+/[0-9]+ rounds  0:00:0[0-9]  [0-9.]+ calls/s  "
                                      "[0-9]+ failed  0 findings  ETA [0-9]+:[0-9]{2}:[0-9]{2}\r"));
    const int drawn = int(shown.count(" rounds  "));
    QCOMPARE(QString::fromUtf8(shown).contains(progress), terminal);
    QVERIFY2(drawn <= elapsedMs / 100 + 1, qPrintable(QStringLiteral("drawn %1 times in %2 ms")
                                                          .arg(drawn).arg(elapsedMs)));
    const QStringList screen = onScreen(shown);
    const QString notice = "cardreader-cli: stopping after the current call; Ctrl-C again stops now";
    QVERIFY2(screen.filter("rounds").isEmpty(), qPrintable(screen.join('\n')));
    if (outputThereToo) {
        const QStringList failures = screen.filter("(VRK_ReadCarNo): failed");
        QCOMPARE(failures.size(), 10);
        for (const QString &line : failures)
            QVERIFY2(line.startsWith("card-number (VRK_ReadCarNo): failed with -1, "),
                     qPrintable(line));
        QVERIFY2(screen.filter(QRegularExpression("^summary of [0-9]+ round")).size() == 1,
                 qPrintable(screen.join('\n')));
        // The verdict in red for a person at a terminal, unless asked not to.
        QCOMPARE(shown.contains("\x1b[1;31mFAILED on the simulated reader\x1b[0m: "), !noColour);
        QCOMPARE(shown.contains("\nFAILED on the simulated reader: "), noColour);
    }
    QStringList said;
    if (interrupted)
        said << notice;
    if (outputThereToo)
        QVERIFY2(screen.contains(notice), qPrintable(screen.join('\n')));
    else
        QCOMPARE(screen, said << QString());
}

void tst_Cli::interrupts_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("signalsAtMs");
    QTest::addColumn<int>("signal");
    QTest::addColumn<QString>("summaryHead");
    QTest::addColumn<int>("cardNumberCalls");  // -1: some, fewer than asked
    QTest::addColumn<int>("exitCode");

    const QByteArray quick = "VRK_ReadCarNo 0 \"1\" delay=20\n";
    QTest::newRow("Ctrl-C: the calls made so far")
        << quick << QStringList{"--repeat", "1000", "card-number"} << QList<int>{500} << SIGINT
        << "of 1000, stopped by Ctrl-C (SIGINT)" << -1 << 130;
    QTest::newRow("Ctrl-C outranks failed calls")
        << QByteArray("VRK_ReadCarNo -1 delay=20\n")
        << QStringList{"--repeat", "1000", "card-number"} << QList<int>{500} << SIGINT
        << "of 1000, stopped by Ctrl-C (SIGINT)" << -1 << 130;
    QTest::newRow("SIGTERM as Ctrl-C")
        << quick << QStringList{"--repeat", "1000", "card-number"} << QList<int>{500} << SIGTERM
        << "of 1000, stopped by SIGTERM" << -1 << 143;
    QTest::newRow("SIGHUP as Ctrl-C")
        << quick << QStringList{"--repeat", "1000", "card-number"} << QList<int>{500} << SIGHUP
        << "of 1000, stopped by SIGHUP" << -1 << 129;
    QTest::newRow("mid-round: the rest of the round is skipped")
        << QByteArray("VRK_ReadCarNo 0 \"1\" delay=600\n")
        << QStringList{"--repeat", "3", "card-number", "bank-chip"} << QList<int>{300} << SIGINT
        << "summary of 0 round(s) of 3, stopped by Ctrl-C (SIGINT) (round 1 cut short)" << 1
        << 130;
    QTest::newRow("two Ctrl-C 3 ms apart in a pause stop it cleanly")
        << quick << QStringList{"--repeat", "3", "--pause", "10000", "card-number"}
        << QList<int>{500, 503} << SIGINT << "summary of 1 round(s) of 3" << 1 << 130;
    QTest::newRow("a pause is cut short")
        << quick << QStringList{"--repeat", "3", "--pause", "10000", "card-number"}
        << QList<int>{500} << SIGINT << "summary of 1 round(s) of 3" << 1 << 130;
    // The stopped call is the operator's doing, never a breach, and its time
    // counts in no figure: it is shown apart.
    QTest::newRow("a second Ctrl-C stops the call in progress")
        << QByteArray("VRK_ReadCarNo 0 \"1\" delay=20000\n")
        << QStringList{"--repeat", "2", "--junit", "run.xml", "--html", "run.html", "card-number"}
        << QList<int>{300, 600} << SIGINT
        << "summary of 0 round(s) of 2, stopped by Ctrl-C (SIGINT) during card-number "
           "(VRK_ReadCarNo), stopped by the operator after " << 0
        << 130;
}

void tst_Cli::interrupts()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, signalsAtMs);
    QFETCH(int, signal);
    QFETCH(QString, summaryHead);
    QFETCH(int, cardNumberCalls);
    QFETCH(int, exitCode);

    write("script.txt", script);
    for (QString &argument : arguments) {
        if (argument.startsWith("run."))
            argument = path(argument);
    }
    ChildProcess cli(directory->path());
    QVERIFY(cli.start(command(arguments), {{"VRK_SIM_SCRIPT", path("script.txt")}}));
    int waited = 0;
    for (int at : signalsAtMs) {
        QTest::qWait(at - waited);
        waited = at;
        cli.interrupt(signal);
    }
    QVERIFY(cli.finish());
    QCOMPARE(cli.exitCode, exitCode);
    QVERIFY2(cli.elapsedMs < 5000, "the run did not stop");
    QVERIFY2(cli.err.startsWith("cardreader-cli: stopping after the current call"),
             cli.err.constData());
    const QString out = QString::fromUtf8(cli.out);
    QVERIFY2(out.contains(summaryHead), qPrintable(out));
    QVERIFY2(!out.contains("bank-chip"), qPrintable(out));
    // What ran, and no more than ran.
    const int calls = QRegularExpression("\n  card-number +([0-9]+) ").match(out).captured(1).toInt();
    if (cardNumberCalls < 0)
        QVERIFY2(calls > 0 && calls < 1000, qPrintable(out));
    else
        QCOMPARE(calls, cardNumberCalls);
    if (arguments.contains("--junit")) {
        QVERIFY2(out.contains("card-number (VRK_ReadCarNo): stopped by the operator"), qPrintable(out));
        const QByteArray junit = readFile("run.xml");
        QVERIFY2(!junit.contains("<error") && !junit.contains("<failure")
                     && junit.contains("stopped by the operator after"),
                 junit.constData());
        const QByteArray html = readFile("run.html");
        QVERIFY2(html.contains("<header class=\"verdict stopped\">")
                     && html.contains("stopped by the operator after"),
                 html.left(3000).constData());
    }
}

void tst_Cli::contractFindings_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("finding");

    QTest::newRow("past the end") << "card-number"
        << "VRK_ReadCarNo wrote past the end of its 36-byte card number buffer";
    QTest::newRow("no NUL") << "bank-chip"
        << "VRK_ICBankCard_ReadNO left no NUL in its 36-byte card number buffer";
    QTest::newRow("not UTF-8") << "card-region"
        << "VRK_ReadCardCity wrote text that is not UTF-8 into its 36-byte region code buffer";
}

void tst_Cli::contractFindings()
{
    QFETCH(QString, operation);
    QFETCH(QString, finding);

    // The way an integrator checks a new build of the maker's library; a
    // burn-in shows the findings of calls that succeeded too.
    const ChildProcess cli = run({"--repeat", "2", operation},
                                 {{"LD_LIBRARY_PATH", BADREADER_DIR}});
    QCOMPARE(cli.out.count(finding.toUtf8()), 2);
    QVERIFY2(QString::fromUtf8(cli.out).contains(
                 QRegularExpression("\n  " + operation + " +2 +0 +0 +0 +0 +2 ")),
             cli.out.constData());
    QCOMPARE(cli.exitCode, 3);
}

void tst_Cli::libraryFaults_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("finding");
    QTest::addColumn<int>("brokeContract");
    QTest::addColumn<QJsonObject>("eachCall");  // what every call of the operation shows

    const QStringList cardNumber{"--repeat", "2", "--timeout", "1", "card-number"};
    const QString pastTheEnd = "VRK_ReadCarNo wrote past the end of its 36-byte card number buffer";
    QTest::newRow("crash") << "crash" << cardNumber
                           << "VRK_ReadCarNo crashed: segmentation fault (SIGSEGV)" << 1
                           << QJsonObject();
    QTest::newRow("abort") << "abort" << cardNumber << "VRK_ReadCarNo crashed: aborted (SIGABRT)"
                           << 1 << QJsonObject();
    QTest::newRow("exit") << "exit" << cardNumber
                          << "VRK_ReadCarNo ended the process with exit status 0" << 1
                          << QJsonObject();
    QTest::newRow("hang: no result") << "hang" << cardNumber
        << "VRK_ReadCarNo did not return within 1 s" << 1
        << QJsonObject{{"returned", false}, {"result", QJsonValue()}};
    QTest::newRow("standard output chatter: each call's own")
        << "chatter" << cardNumber << "VRK_ReadCarNo wrote 18 bytes to standard output" << 2
        << QJsonObject{{"stdout", "VRK: reading card\n"}, {"stdout_bytes", 18},
                       {"stderr", "VRK: \x1b[31mwarning\n"}, {"stderr_bytes", 18}};
    QTest::newRow("a flood of standard error: cut, its size kept")
        << "flood" << cardNumber << pastTheEnd << 2
        << QJsonObject{{"stderr", QString(64 * 1024, 'x')}, {"stderr_bytes", 200000}};
    QTest::newRow("far overrun: the value no longer than its buffer")
        << "far-overrun" << cardNumber << pastTheEnd << 2
        << QJsonObject{{"values", QJsonObject{{"card_number", QString(36, '1')}}}};
    QTest::newRow("overrun with the guard's old byte")
        << "guard-byte-overrun" << cardNumber << pastTheEnd << 2 << QJsonObject();
    QTest::newRow("far past the last buffer, once: the next call is clean")
        << "far-overrun-once" << cardNumber
        << "VRK_ReadCarNo wrote past the end of its 1024-byte error buffer" << 1 << QJsonObject();
    QTest::newRow("64-bit store through an int output")
        << "wide-output" << QStringList{"--repeat", "2", "scan"}
        << "VRK_ECard_Read wrote past the end of its int output" << 2 << QJsonObject();
    // Checked against expected answers that name it: a call never made is
    // compared with nothing.
    QTest::newRow("missing function")
        << "" << QStringList{"--library", PARTIALREADER, "--expect", "expected.txt", "--repeat", "2", "tracks"}
        << "VRK_MagCardRead is missing from the library" << 2 << QJsonObject();
}

// One misbehaving library at a time: the finding named, the summary of what
// ran, exit status 3, and a JSON stream that stays parseable.
void tst_Cli::libraryFaults()
{
    QFETCH(QString, fault);
    QFETCH(QStringList, arguments);
    QFETCH(QString, finding);
    QFETCH(int, brokeContract);
    QFETCH(QJsonObject, eachCall);

    const int expect = arguments.indexOf("--expect");
    if (expect >= 0) {
        write("expected.txt", "VRK_MagCardRead 0 \"T2\" \"\" \"T3\" \"\"\n");
        arguments[expect + 1] = path("expected.txt");
    }
    ChildProcess cli(directory->path());
    const QVector<QJsonObject> lines = runJson(
        arguments, cli, {{"LD_LIBRARY_PATH", BADREADER_DIR}, {"BADREADER_FAULT", fault}});
    QCOMPARE(cli.exitCode, 3);
    QStringList findings;
    for (const QJsonObject &line : lines) {
        for (const QJsonValue &value : line.value("findings").toArray())
            findings << value.toString();
        if (line.value("operation") == arguments.last()) {
            for (auto shown = eachCall.begin(); shown != eachCall.end(); ++shown)
                QCOMPARE(line.value(shown.key()), shown.value());
            QVERIFY(!line.contains("expected"));
        }
    }
    QVERIFY2(findings.contains(finding), qPrintable(findings.join('\n')));
    const QJsonArray rows = lines.last().value("summary").toObject().value("operations").toArray();
    QVERIFY(!rows.isEmpty());
    const QJsonObject row = rows.last().toObject();
    QCOMPARE(row.value("broke_contract").toInt(), brokeContract);
    // Every call that broke the contract, and only those, did not succeed.
    QCOMPARE(row.value("succeeded").toInt(), row.value("calls").toInt() - brokeContract);
}

void tst_Cli::callsThatNeverReturn_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("finding");
    QTest::addColumn<QString>("printed");    // as shown: what the library wrote first, if anything
    QTest::addColumn<bool>("figuresAtEnd");  // the calling process's, taken before it is stopped

    QTest::newRow("the watchdog")
        << "hang" << "VRK_ReadCarNo did not return within 1 s" << "" << true;
    QTest::newRow("output before a crash")
        << "chatter-crash" << "VRK_ReadCarNo crashed: segmentation fault (SIGSEGV)"
        << "VRK: before crash\\n" << false;
}

// A single run, no burn-in: the call that never came back is shown as any
// call is, and a summary closes the run to say what ended it.
void tst_Cli::callsThatNeverReturn()
{
    QFETCH(QString, fault);
    QFETCH(QString, finding);
    QFETCH(QString, printed);
    QFETCH(bool, figuresAtEnd);

    const ChildProcess cli = run({"--no-open", "--library", badReader, "--timeout", "1",
                                  "card-number"},
                                 {{"BADREADER_FAULT", fault}});
    const QString out = QString::fromUtf8(cli.out);
    QVERIFY2(out.startsWith("card-number (VRK_ReadCarNo): did not return, "), qPrintable(out));
    QVERIFY2(out.contains("\n  contract: " + finding + '\n'), qPrintable(out));
    if (!printed.isEmpty())
        QVERIFY2(out.contains("\n  standard output: " + printed), qPrintable(out));
    QVERIFY2(out.contains("\nsummary of 0 round(s) of 1, ended early: " + finding),
             qPrintable(out));
    QCOMPARE(out.contains(QRegularExpression("\n  calling process at end: +[0-9]+ KiB")),
             figuresAtEnd);
    QCOMPARE(cli.exitCode, 3);
}

void tst_Cli::statusAndMessages_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("variables");  // NAME=value
    QTest::addColumn<QString>("outputPath");
    QTest::addColumn<QString>("shown");  // once on standard output; empty: no call shown
    QTest::addColumn<QString>("said");   // once on standard error; empty: nothing
    QTest::addColumn<int>("exitCode");

    QTest::newRow("output that cannot be written")
        << QStringList{"--repeat", "3", "card-number"} << QStringList() << "/dev/full" << ""
        << "cannot write the output" << 4;
    QTest::newRow("a contract breach outranks output that cannot be written")
        << QStringList{"--no-open", "--library", badReader, "card-number"} << QStringList()
        << "/dev/full" << "" << "cannot write the output" << 3;
    QTest::newRow("metrics that cannot be written")
        << QStringList{"--metrics", "/proc/reader.prom", "card-number"} << QStringList() << ""
        << "card-number (VRK_ReadCarNo): ok" << "cannot write the metrics" << 4;
    QTest::newRow("the library's standard error, escaped, with its call")
        << QStringList{"--no-open", "--library", badReader, "card-number"}
        << QStringList{"BADREADER_FAULT=chatter"} << ""
        << "\n  standard error: VRK: \\x1b[31mwarning\\n\n" << "" << 3;
    // A burn-in describes only the calls that went wrong, but never hides a
    // library's warning.
    QTest::newRow("a warning in a burn-in, shown once")
        << QStringList{"--repeat", "3", "card-number"}
        << QStringList{"VRK_SIM_LOG=/nonexistent/calls.log"} << ""
        << "\n  standard error: simulated reader: cannot open the call log" << "" << 0;
    QTest::newRow("no VRK_OpenDev: the functions the library has are still called")
        << QStringList{"--library", NOOPENREADER, "card-info"} << QStringList() << ""
        << "card-info (VRK_ReadCardBas): ok" << "lacks VRK_OpenDev" << 3;
    QTest::newRow("a symbol that nothing defines: refused at load")
        << QStringList{"--library", UNRESOLVEDREADER, "all"} << QStringList() << "" << ""
        << "cannot load the reader library" << 3;
    QTest::newRow("the same in the verdict")
        << QStringList{"--library", UNRESOLVEDREADER, "card-number"} << QStringList() << ""
        << "\nFAILED: the library broke the contract: cannot load the reader library "
        << "cannot load the reader library" << 3;
}

// What a run shows, what it says on standard error, each once, and its exit
// status, which keeps the worst news: a contract breach, then output that
// could not be written, then a signal, then a failed call.
void tst_Cli::statusAndMessages()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, variables);
    QFETCH(QString, outputPath);
    QFETCH(QString, shown);
    QFETCH(QString, said);
    QFETCH(int, exitCode);

    QMap<QString, QString> environment;
    for (const QString &variable : variables)
        environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
    const ChildProcess cli = run(arguments, environment, outputPath);
    const QString out = QString::fromUtf8(cli.out);
    if (shown.isEmpty())
        QVERIFY2(!out.contains("(VRK_"), qPrintable(out));
    else
        QVERIFY2(out.count(shown) == 1, qPrintable(out));
    if (said.isEmpty())
        QCOMPARE(cli.err, QByteArray());
    else
        QVERIFY2(cli.err.count(said.toUtf8()) == 1, cli.err.constData());
    QCOMPARE(cli.exitCode, exitCode);
}

void tst_Cli::readerOfTheOutputGone_data()
{
    QTest::addColumn<QString>("sigpipe");  // what the shell does with SIGPIPE first
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("linesSaid");

    QTest::newRow("SIGPIPE as a shell leaves it: ends quietly") << "" << 128 + SIGPIPE << 0;
    QTest::newRow("SIGPIPE ignored, as under systemd: said once")
        << "trap '' PIPE; " << 4 << 1;
}

// cardreader-cli --json all | head -c1, with a reader that has certainly gone
// before the first line is written.
void tst_Cli::readerOfTheOutputGone()
{
    QFETCH(QString, sigpipe);
    QFETCH(int, exitCode);
    QFETCH(int, linesSaid);

    const QString pipeline = sigpipe
        + "gone=$1 status=$2; shift 2; "
          "(until [ -e \"$gone\" ]; do sleep 0.01; done; \"$@\"; echo $? >\"$status\") "
          "| (exec <&-; touch \"$gone\")";
    ChildProcess shell(directory->path());
    QVERIFY(shell.start(QStringList{"sh", "-c", pipeline, "sh", path("gone"), path("status")}
                            + command({"--json", "all"}),
                        {}));
    QVERIFY(shell.finish());
    QFile status(path("status"));
    QVERIFY(status.open(QIODevice::ReadOnly));
    QCOMPARE(status.readAll().trimmed().toInt(), exitCode);
    QCOMPARE(shell.err.count('\n'), linesSaid);
    QCOMPARE(shell.err.count("Broken pipe"), linesSaid);
}

// Values, PIN, stripe number and message longer than 35 bytes: whole, or cut
// to their buffers by the reader; nothing is a finding.
void tst_Cli::valuesAsLongAsTheirBuffers()
{
    const QByteArray longText(1100, 'x');
    write("script.txt", "VRK_ReadCarNo 0 \"" + QByteArray(50, '1') + "\" error=\"" + longText
                            + "\"\nVRK_MagicBankCard_ReadNo 0 \"" + QByteArray(200, '6')
                            + "\"\nVRK_KeyBoard_InputKey 0 \"" + longText + "\"\n"
                            + "VRK_IDCard_Read 0 \"\" \"\" \"\" \"\" \"" + QByteArray(300, 'p')
                            + "\"\n");
    ChildProcess cli(directory->path());
    const QVector<QJsonObject> lines =
        runJson({"--no-open", "--show-pin", "card-number", "bank-stripe", "pin", "id-card"}, cli);
    QCOMPARE(cli.exitCode, 0);
    QCOMPARE(lines.size(), 4 + 1);
    for (const QJsonObject &line : lines)
        QVERIFY2(line.value("findings").toArray().isEmpty(),
                 QJsonDocument(line).toJson().constData());
    const auto value = [&](int line, const char *name) {
        return lines[line].value("values").toObject().value(name).toString();
    };
    QCOMPARE(value(0, "card_number"), QString(35, '1'));
    QCOMPARE(lines[0].value("message").toString(), QString(1023, 'x'));
    QCOMPARE(value(1, "card_number"), QString(200, '6'));
    QCOMPARE(value(2, "key"), QString(1023, 'x'));
    QCOMPARE(value(3, "birth_place"), QString(255, 'p'));
}

void tst_Cli::eachValueUnderItsName()
{
    QByteArray line = "VRK_ReadCardBas 0";
    const QStringList basic{"card_id_code", "card_type", "card_version", "issuer_code",
                            "issue_date", "validity", "card_number", "id_number", "name",
                            "sex", "ethnic_group", "birth_place", "birth_date"};
    for (const QString &name : basic)
        line += " \"" + name.toUtf8() + "\"";
    const QStringList tracks{"track_2", "unshown_buffer_2", "track_3", "unshown_buffer_4"};
    line += "\nVRK_MagCardRead 0";
    for (const QString &name : tracks)
        line += " \"" + name.toUtf8() + "\"";
    write("script.txt", line + '\n');
    ChildProcess cli(directory->path());
    const QVector<QJsonObject> lines = runJson({"--no-open", "card-info", "tracks"}, cli);
    QCOMPARE(lines.size(), 2 + 1);
    for (const QString &name : basic)
        QCOMPARE(lines[0].value("values").toObject().value(name).toString(), name);
    for (const QString &name : tracks)
        QCOMPARE(lines[1].value("values").toObject().value(name).toString(), name);
}

// C1 controls and DEL as \u escapes; bytes that are not UTF-8 kept exactly;
// a literal backslash never doubled.
void tst_Cli::jsonHidesAndCorruptsNothing()
{
    write("script.txt", "VRK_ReadCardCertID 0 \"a\\xc2\\x9b\\xc2\\x9d\\xc2\\x9f\\x7f\" \"\\\\xff\" "
                        "error=\"\\xff\\xfe\\xe5\\xbc\"\n");
    ChildProcess cli(directory->path());
    const QVector<QJsonObject> lines = runJson({"--no-open", "card-id-code"}, cli);
    QCOMPARE(lines.size(), 1 + 1);
    QVERIFY2(cli.out.contains("a\\u009b\\u009d\\u009f\\u007f"), cli.out.constData());
    QVERIFY(!cli.out.contains("\xc2\x9b") && !cli.out.contains("\xc2\x9f")
            && !cli.out.contains('\x7f'));
    const QJsonObject values = lines[0].value("values").toObject();
    QCOMPARE(values.value("card_number").toString(), QStringLiteral("a\u009b\u009d\u009f\u007f"));
    QCOMPARE(values.value("card_id_code").toString(), QStringLiteral("\\xff"));
    QVERIFY(!lines[0].contains("values_base64"));
    QCOMPARE(lines[0].value("message").toString(), QStringLiteral("\\xff\\xfe\\xe5\\xbc"));
    QCOMPARE(QByteArray::fromBase64(lines[0].value("message_base64").toString().toLatin1()),
             QByteArray("\xff\xfe\xe5\xbc"));
}

void tst_Cli::operationsRunAsAsked_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("calls");
    QTest::addColumn<QString>("outputPath");

    QTest::newRow("all is every read, not the scanner's settings")
        << QByteArray() << QStringList{"all"}
        << "VRK_OpenDev VRK_ReadCarNo VRK_ReadCardBas VRK_ReadCardCertID VRK_ReadCardCity "
           "VRK_IDCard_Read VRK_ICBankCard_ReadNO VRK_MagicBankCard_ReadNo VRK_ECard_Read "
           "VRK_MagCardRead VRK_KeyBoard_InputKey" << QString();
    QTest::newRow("nothing after a failed open")
        << QByteArray("VRK_OpenDev -1\n") << QStringList{"--repeat", "3", "card-number"}
        << "VRK_OpenDev" << QString();
    QTest::newRow("nothing after a failed write")
        << QByteArray() << QStringList{"card-number", "card-info"} << "VRK_OpenDev"
        << "/dev/full";
}

void tst_Cli::operationsRunAsAsked()
{
    QFETCH(QByteArray, script);
    QFETCH(QStringList, arguments);
    QFETCH(QString, calls);
    QFETCH(QString, outputPath);

    write("script.txt", script);
    const ChildProcess cli = run(arguments, {{"VRK_SIM_LOG", path("calls.log")}}, outputPath);
    QFile log(path("calls.log"));
    QVERIFY(log.open(QIODevice::ReadOnly));
    QStringList functions;
    for (const QByteArray &line : log.readAll().split('\n'))
        functions << QString::fromLatin1(line.split(' ').first());
    QCOMPARE(functions.join(' ').trimmed(), calls);
    // Every run ends with its summary, however far it got, where it can
    // still be written.
    QCOMPARE(cli.out.contains("summary of"), outputPath.isEmpty());
}

void tst_Cli::libraryReport_data()
{
    QTest::addColumn<QString>("library");
    QTest::addColumn<bool>("simulated");
    QTest::addColumn<QStringList>("missing");
    QTest::addColumn<QString>("soname");

    QTest::newRow("the simulated reader beside the program")
        << QFileInfo(CLI).dir().filePath("libVrkReaderClient.so") << true << QStringList()
        << "libVrkReaderClient.so";
    QTest::newRow("a maker's library that lacks a function")
        << QString(PARTIALREADER) << false << QStringList{"VRK_MagCardRead"}
        << "libpartialreader.so";
}

// The file as its own bytes say: the SHA-256 computed here, independently.
void tst_Cli::libraryReport()
{
    QFETCH(QString, library);
    QFETCH(bool, simulated);
    QFETCH(QStringList, missing);
    QFETCH(QString, soname);

    QStringList arguments{"library"};
    if (!simulated)
        arguments = QStringList{"--library", library} + arguments;
    ChildProcess cli(directory->path());
    const QVector<QJsonObject> lines = runJson(arguments, cli);
    QCOMPARE(lines.size(), 2);
    const QJsonObject reported = lines[0].value("library").toObject();
    QFile file(library);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    QCOMPARE(reported.value("path").toString(), QFileInfo(library).absoluteFilePath());
    QCOMPARE(reported.value("size").toDouble(), double(bytes.size()));
    QCOMPARE(reported.value("sha256").toString().toLatin1(),
             QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    QCOMPARE(reported.value("simulated_reader").toBool(), simulated);
    QCOMPARE(reported.value("exports").toArray().size(), 13 - missing.size());
    QCOMPARE(reported.value("missing").toArray(), QJsonArray::fromStringList(missing));
    QCOMPARE(reported.value("build_id").toString().size(), 40);
    QCOMPARE(reported.value("soname").toString(), soname);
    QCOMPARE(lines[1].value("summary").toObject().value("library").toObject(), reported);
    // The library operation alone makes no reader call.
    QCOMPARE(lines[1].value("summary").toObject().value("operations").toArray().size(), 0);

    const QString text = QString::fromUtf8(run(arguments).out);
    QVERIFY2(text.contains("\n  soname: " + soname + '\n'), qPrintable(text));
    const QString functions = QStringLiteral("\n  functions: %1 of 13").arg(13 - missing.size())
        + (missing.isEmpty() ? QString() : "; missing " + missing.join(", ")) + '\n';
    QVERIFY2(text.contains(functions), qPrintable(text));
}

void tst_Cli::metricsMatchTheRun_data()
{
    // A copy of the simulated reader made in the test's directory; empty:
    // the simulated reader beside the program.
    QTest::addColumn<QString>("library");

    QTest::newRow("the simulated reader, scripted") << QString();
    QTest::newRow("a library path that holds a quote") << "quote\"d/libVrkReaderClient.so";
}

void tst_Cli::metricsMatchTheRun()
{
    QFETCH(QString, library);

    QStringList arguments{"--repeat", "3", "--region", "3502", "--metrics", path("reader.prom"),
                          "card-number"};
    if (!library.isEmpty()) {
        QVERIFY(QDir(directory->path()).mkpath(QFileInfo(library).path()));
        QVERIFY(QFile::copy(QFileInfo(CLI).dir().filePath("libVrkReaderClient.so"), path(library)));
        arguments = QStringList{"--library", path(library)} + arguments;
    }
    write("script.txt", "VRK_ReadCarNo 0 \"1\"\nVRK_ReadCarNo -1 delay=30\nVRK_ReadCarNo 0 \"3\"\n");
    ChildProcess cli(directory->path());
    const QVector<QJsonObject> lines = runJson(arguments, cli);
    QFile file(path("reader.prom"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    const QMap<QString, double> values = samples(text);

    const QJsonObject summary = lines.last().value("summary").toObject();
    const QJsonObject row = summary.value("operations").toArray()[1].toObject();
    const QString labels = "operation=\"card-number\",function=\"VRK_ReadCarNo\",outcome=\"%1\","
                           "device=\"21\",region=\"3502\"";
    for (const char *outcome : {"succeeded", "failed", "broke_contract"})
        QCOMPARE(values.value("cardreader_calls_total{" + labels.arg(outcome) + '}', -1),
                 row.value(outcome).toDouble());
    // The histogram holds each call as long as its own line says it took.
    QList<double> seconds;
    for (const QJsonObject &line : lines) {
        if (line.value("operation") == "card-number")
            seconds << line.value("duration_ms").toDouble() / 1000;
    }
    QCOMPARE(seconds.size(), 3);
    const QString histogram = "cardreader_call_duration_seconds_%1{operation=\"card-number\","
                              "function=\"VRK_ReadCarNo\"%2}";
    for (double bound : {0.001, 0.025, 0.05, 0.1}) {
        const auto within = std::count_if(seconds.begin(), seconds.end(),
                                          [bound](double call) { return call <= bound; });
        QCOMPARE(values.value(histogram.arg("bucket", ",le=\"" + QString::number(bound) + '"'), -1),
                 double(within));
    }
    QCOMPARE(values.value(histogram.arg("count", "")), 3.0);
    const double sum = std::accumulate(seconds.begin(), seconds.end(), 0.0);
    QVERIFY2(qAbs(values.value(histogram.arg("sum", "")) - sum) < 1e-5, text.constData());
    QCOMPARE(values.value("cardreader_rounds_total{device=\"21\",region=\"3502\"}"),
             summary.value("rounds").toDouble());
    QCOMPARE(values.value("cardreader_run_finished"), 1.0);
    // When it started and ended, and how long it took, as its summary says.
    const auto time = [&](const char *key) {
        return QDateTime::fromString(summary.value(key).toString(), Qt::ISODate).toMSecsSinceEpoch();
    };
    QCOMPARE(qRound64(values.value("cardreader_run_start_time_seconds") * 1000), time("start_time"));
    QCOMPARE(qRound64(values.value("cardreader_run_end_time_seconds") * 1000), time("end_time"));
    QCOMPARE(qRound64(values.value("cardreader_run_elapsed_seconds") * 1000),
             qint64(summary.value("elapsed_ms").toDouble()));
    // The library as the summary names it, its path read back as a label is.
    const QJsonObject named = summary.value("library").toObject();
    QVERIFY(text.contains("sha256=\"" + named.value("sha256").toString().toLatin1() + '"'));
    QString labelled = QRegularExpression("path=\"((?:[^\"\\\\]|\\\\.)*)\"")
                           .match(QString::fromUtf8(text)).captured(1);
    QCOMPARE(labelled.replace("\\\"", "\"").replace("\\\\", "\\"), named.value("path").toString());

    const QString promtool = QStandardPaths::findExecutable("promtool");
    if (promtool.isEmpty())
        QSKIP("promtool (Debian package prometheus) is not installed");
    ChildProcess check(directory->path());
    QVERIFY(check.start({"sh", "-c", promtool + " check metrics < " + path("reader.prom")}, {}));
    QVERIFY(check.finish());
    QVERIFY2(check.exitCode == 0, check.out + check.err);
}

// Each update is a new file renamed over the old one: a scraper that opened
// the old one still reads it whole, never a file half rewritten.
void tst_Cli::metricsReplacedWhole()
{
    write("script.txt", "VRK_ReadCarNo 0 \"1\" delay=20\n");
    ChildProcess cli(directory->path());
    QVERIFY(cli.start(command({"--repeat", "100", "--metrics", path("reader.prom"), "card-number"}),
                      {{"VRK_SIM_SCRIPT", path("script.txt")}}));
    QFile first(path("reader.prom"));
    QTRY_VERIFY_WITH_TIMEOUT(first.exists(), 5000);
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray before = first.readAll();
    QTest::qWait(700);
    first.seek(0);
    QCOMPARE(first.readAll(), before);
    QVERIFY(before.endsWith("\"} 1\n"));
    QCOMPARE(samples(before).value("cardreader_run_finished", -1), 0.0);
    QFile now(path("reader.prom"));
    QVERIFY(now.open(QIODevice::ReadOnly));
    QVERIFY(now.readAll() != before);
    cli.interrupt();
    QVERIFY(cli.finish());
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
