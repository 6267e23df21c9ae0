#include "commissioning.h"

#include "report/privatefile.h"
#include "report/verdict.h"
#include "run/librarytext.h"
#include "session/bundle.h"
#include "session/history.h"
#include "session/terminal.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

void say(const QString &text)
{
    std::fputs(("cardreader-cli: " + text + '\n').toUtf8().constData(), stderr);
}

int cannotKeep(const Options &options, const QString &why)
{
    say(QCoreApplication::translate("Run", "cannot keep the record in %1: %2")
            .arg(options.bundlePath, why));
    return OutputFailed;
}

int refused(const QString &problem)
{
    say(problem);
    return UsageError;
}

// A line the technician types before the session begins, asked on standard
// error as every prompt is, and read a byte at a time: what follows it is
// the steps' to read.
QString askFor(const QString &question)
{
    std::fputs(question.toUtf8().constData(), stderr);
    QByteArray line;
    char byte;
    while (read(STDIN_FILENO, &byte, 1) == 1 && byte != '\n')
        line += byte;
    return QString::fromUtf8(line).trimmed();
}

// The session as it was left, if it is the one its folder's plan began,
// checked with what it began with. One whose steps are all done but whose
// record was never finished (the power went as it ended) is finished now.
int resumeSession(Options &options, Commissioning &commissioning)
{
    QString why;
    Session &session = commissioning.session;
    if (!loadSession(commissioning.sessionPath, session, why))
        return refused(QCoreApplication::translate("Session", "the session %1 %2")
                           .arg(commissioning.sessionPath, why));
    if (session.planSha256 != commissioning.plan.sha256
        || session.steps.size() != commissioning.plan.steps.size())
        return refused(QCoreApplication::translate(
                           "Session", "the plan kept in %1 is not the one the session began with")
                           .arg(options.bundlePath));
    if (session.expectSha256 != options.expectSha256)
        return refused(QCoreApplication::translate(
                           "Session", "the expected answers kept in %1 are not the ones the "
                                      "session began with")
                           .arg(options.bundlePath));
    if (session.next >= session.steps.size()
        && QFileInfo::exists(options.bundlePath + "/SHA256SUMS"))
        return refused(QCoreApplication::translate(
                           "Session", "the session in %1 is finished; its record is there")
                           .arg(options.bundlePath));
    options.operatorName = session.operatorName;
    options.workOrder = session.workOrder;
    options.settings.deviceType = session.deviceType;
    options.settings.regionCode = session.region;
    options.settings.scannerMilliseconds = session.scannerMilliseconds;
    options.plausibility = session.plausibility;
    options.timeoutSeconds = session.timeoutSeconds;
    return -1;
}

int beginSession(Options &options, Commissioning &commissioning)
{
    if (options.prompted && options.operatorName.isEmpty())
        options.operatorName = askFor(QCoreApplication::translate("Session", "Operator: "));
    if (options.prompted && options.workOrder.isEmpty())
        options.workOrder = askFor(QCoreApplication::translate("Session", "Work order: "));
    Session &session = commissioning.session;
    session.operatorName = options.operatorName;
    session.workOrder = options.workOrder;
    session.startedMs = QDateTime::currentMSecsSinceEpoch();
    session.planSha256 = commissioning.plan.sha256;
    session.expectSha256 = options.expectSha256;
    session.deviceType = options.settings.deviceType;
    session.region = options.settings.regionCode;
    session.scannerMilliseconds = options.settings.scannerMilliseconds;
    session.plausibility = options.plausibility;
    session.timeoutSeconds = options.timeoutSeconds;
    session.steps.resize(commissioning.plan.steps.size());
    QString why;
    if (!writeBundleFile(options.bundlePath, "plan.txt", commissioning.plan.content, why)
        || !saveSession(commissioning.sessionPath, session, why))
        return cannotKeep(options, why);
    return -1;
}

// Two runs at one folder would make every call twice: the second is
// refused. Held until this process and the calling one end.
bool lockFolder(const QString &folder)
{
    const int fd =
        open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0;
}

int appendOnly(const QString &path)
{
    return open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
                0600);
}

QJsonObject identityJson(const Options &options, const RunSummary &summary)
{
    const LibraryIdentity &library = summary.library;
    return QJsonObject{
        {"terminal", terminalJson(readTerminalIdentity())},
        {"library",
         QJsonObject{{"path", printable(library.path)},
                     {"sha256", QString::fromLatin1(library.sha256)},
                     {"soname", printable(library.soname)},
                     {"build_id", QString::fromLatin1(library.buildId)},
                     {"simulated", !library.simulated.isEmpty()}}},
        {"reader",
         QJsonObject{{"device_type", options.settings.deviceType},
                     {"region", QString::fromLatin1(options.settings.regionCode)}}}};
}

// A report asked for elsewhere is kept in the bundle as well.
bool copyInto(const Options &options, const QString &report, const QString &name, QString &why)
{
    if (report.isEmpty() || QFileInfo(report).absolutePath() == options.bundlePath)
        return true;
    QFile file(report);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    return writeBundleFile(options.bundlePath, name, file.readAll(), why);
}

int finishBundle(const Options &options, const RunSummary &summary, int status)
{
    ::close(options.bundleTextFd);
    ::close(options.bundleJsonFd);
    QString why;
    const QByteArray identity = QJsonDocument(identityJson(options, summary)).toJson();
    if (!writeBundleFile(options.bundlePath, "terminal.json", identity, why)
        || !copyInto(options, options.junitPath, "report.xml", why)
        || !copyInto(options, options.htmlPath, "report.html", why)
        || !writeManifest(options.bundlePath, why))
        return worse(status, cannotKeep(options, why));
    // Beside the folder, as FOLDER.tar.gz, which the summary's folder names.
    QString archive;
    if (options.archive && !archiveBundle(options.bundlePath, archive, why))
        return worse(status, cannotKeep(options, why));
    return status;
}

QString historyOf(const Options &options)
{
    return options.historyPath.isEmpty() ? defaultHistoryPath() : options.historyPath;
}

const char *const verdictWords[] = {"PASSED", "FAILED", "STOPPED", "NOT CHECKED", "INCOMPLETE"};

QJsonObject historyEntry(const Options &options, RunSummary summary, int status)
{
    // As the run ends, the record's own writing included.
    summary.exitStatus = status;
    const Verdict verdict = verdictOf(summary);
    QJsonArray operations;
    for (const QByteArray &operation : options.operations)
        operations << QString::fromLatin1(operation);
    return QJsonObject{
        {"time", QDateTime::fromMSecsSinceEpoch(summary.endTimeMs).toOffsetFromUtc(
                     QDateTime::currentDateTime().offsetFromUtc()).toString(Qt::ISODate)},
        {"verdict", QLatin1String(verdictWords[verdict.kind])},
        {"line", verdict.line},
        {"shown", verdictOf(summary, Audience::People).line},
        {"exit_status", status},
        {"host", summary.host},
        {"operations", operations},
        {"library", printable(summary.library.path)},
        {"library_sha256", QString::fromLatin1(summary.library.sha256)},
        {"simulated", !summary.library.simulated.isEmpty()},
        {"expect", summary.expectPath},
        {"expect_sha256", QString::fromLatin1(summary.expectSha256)},
        {"plan", summary.planPath},
        {"plan_sha256", QString::fromLatin1(summary.planSha256)},
        {"operator", summary.operatorName},
        {"work_order", summary.workOrder},
        {"bundle", summary.bundlePath}};
}

} // namespace

int beginRecord(Options &options, const Plan &plan, Commissioning &commissioning)
{
    QString why;
    if (options.archive && options.bundlePath.isEmpty())
        return refused(QCoreApplication::translate(
            "Run", "--archive packs the run's bundle: name its folder with --bundle"));
    if (options.bundlePath.isEmpty())
        return -1;
    if (options.archive && !canArchive(options.bundlePath, why))
        return refused(QCoreApplication::translate("Run", "cannot pack %1: %2")
                           .arg(options.bundlePath, why));
    if (!makeBundleFolder(options.bundlePath, why))
        return cannotKeep(options, why);
    if (!lockFolder(options.bundlePath))
        return refused(
            QCoreApplication::translate("Run", "another cardreader-cli keeps its record in %1")
                .arg(options.bundlePath));
    const QStringList held = QDir(options.bundlePath)
                                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    if (!options.resume && !held.isEmpty())
        return refused(held.contains("session.json")
                           ? QCoreApplication::translate(
                                 "Session", "%1 holds a session already; go on with it with "
                                            "--resume %1")
                                 .arg(options.bundlePath)
                           : QCoreApplication::translate(
                                 "Run", "%1 holds the record of another run; name a new folder")
                                 .arg(options.bundlePath));
    if (options.guided) {
        commissioning.plan = plan;
        commissioning.sessionPath = options.bundlePath + "/session.json";
        const int status = options.resume ? resumeSession(options, commissioning)
                                          : beginSession(options, commissioning);
        if (status >= 0)
            return status;
    }
    const std::string &expected = options.expected.content();
    if (!options.resume && !options.expectPath.isEmpty()
        && !writeBundleFile(options.bundlePath, "expected.txt",
                            QByteArray(expected.data(), int(expected.size())), why))
        return cannotKeep(options, why);
    options.bundleTextFd = appendOnly(options.bundlePath + "/output.txt");
    options.bundleJsonFd = appendOnly(options.bundlePath + "/calls.jsonl");
    if (options.bundleTextFd < 0 || options.bundleJsonFd < 0)
        return cannotKeep(options, QString::fromLocal8Bit(std::strerror(errno)));
    if (options.junitPath.isEmpty())
        options.junitPath = options.bundlePath + "/report.xml";
    if (options.htmlPath.isEmpty())
        options.htmlPath = options.bundlePath + "/report.html";
    return -1;
}

int checkSessionLibrary(const Options &options, Commissioning &commissioning,
                        const LibraryIdentity &library)
{
    if (!options.guided)
        return -1;
    Session &session = commissioning.session;
    // A new session takes this library, and so does one whose first run
    // never reached its library, as it made no call.
    bool called = false;
    for (const StepState &step : session.steps)
        called = called || !step.attempts.isEmpty();
    if (!options.resume || (session.librarySha256.isEmpty() && !called)) {
        session.libraryPath = printable(library.path);
        session.librarySha256 = library.sha256;
        QString why;
        return saveSession(commissioning.sessionPath, session, why) ? -1
                                                                     : cannotKeep(options, why);
    }
    if (library.sha256 == session.librarySha256)
        return -1;
    return refused(QCoreApplication::translate(
                       "Session", "the session began with the library %1 (sha256 %2); this run "
                                  "would load %3 (sha256 %4)")
                       .arg(session.libraryPath, QString::fromLatin1(session.librarySha256),
                            printable(library.path), QString::fromLatin1(library.sha256)));
}

int finishRecord(const Options &options, const RunSummary &summary, int status)
{
    if (!options.bundlePath.isEmpty())
        status = finishBundle(options, summary, status);
    // Every run of operations closes with a verdict, one whose library
    // could not even be loaded too; a run that only reads its library or
    // its history has none.
    if (options.operations.isEmpty())
        return status;
    QString why;
    const QString history = historyOf(options);
    if (!appendHistory(history, historyEntry(options, summary, status), why))
        say(QCoreApplication::translate("Run", "cannot add the verdict to the history %1: %2")
                .arg(history, why));
    return status;
}

int showHistory(const Options &options)
{
    QString why;
    const QString history = historyOf(options);
    const QVector<HistoryLine> lines = readHistory(history, why);
    if (!why.isEmpty()) {
        say(QCoreApplication::translate("Run", "cannot read the history %1: %2")
                .arg(history, why));
        return CallFailed;
    }
    QByteArray text;
    if (options.json) {
        for (const HistoryLine &line : lines) {
            const QJsonObject entry = line.entry.isEmpty()
                ? QJsonObject{{"damaged_line", line.lineNumber}}
                : line.entry;
            text += QJsonDocument(entry).toJson(QJsonDocument::Compact) + '\n';
        }
    } else if (lines.isEmpty()) {
        text = (QCoreApplication::translate("Run", "No verdict is logged in %1 yet.")
                    .arg(history)
                + '\n').toUtf8();
    } else {
        text = describeHistory(lines).toUtf8();
    }
    std::fwrite(text.constData(), 1, std::size_t(text.size()), stdout);
    return std::fflush(stdout) == 0 ? Success : OutputFailed;
}
