#include "commandline.h"

#include "caller/operations.h"
#include "report/privatefile.h"
#include "session/history.h"

#include "readertext.h"

#include <QCommandLineParser>
#include <QCryptographicHash>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

const int intMax = std::numeric_limits<int>::max();

// Qt's own words in the help and in its usage errors, which it translates
// through the catalogue the program installs, as ours: listed for lupdate,
// which keeps in the catalogue only what it finds in the sources.
const char *const qtWords[] = {
    QT_TRANSLATE_NOOP("QCommandLineParser", "Usage: %1"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "[options]"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Options:"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Arguments:"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Displays version information."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown option '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown options: %1."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Missing value after '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unexpected value after '%1'."),
};

QStringList operationList()
{
    QStringList names;
    for (const Operation &operation : operations)
        names << QString::fromLatin1(operation.name);
    return names << "all" << "library" << "commission" << "history" << "plan";
}

QString operationNames()
{
    return operationList().join(", ");
}

// Edits (an insertion, a deletion, a change, two neighbours swapped) that
// turn one name into the other, regardless of case.
int editDistance(const QString &given, const QString &name)
{
    const QString a = given.toLower();
    const QString b = name.toLower();
    QVector<QVector<int>> d(a.size() + 1, QVector<int>(b.size() + 1));
    for (int i = 0; i <= a.size(); ++i)
        d[i][0] = i;
    for (int j = 0; j <= b.size(); ++j)
        d[0][j] = j;
    for (int i = 1; i <= a.size(); ++i) {
        for (int j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                                d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    }
    return d[a.size()][b.size()];
}

// The names nearest to a mistyped one, joined by "or"; empty when none is
// near enough to be what was meant: a slip of a key or two, more in a long
// name, none in a name of two letters.
QString nearest(const QString &given, const QStringList &names, const QString &prefix)
{
    int best = given.size() / 3;
    QStringList found;
    for (const QString &name : names) {
        const int distance = editDistance(given, name);
        if (distance > best)
            continue;
        if (distance < best)
            found.clear();
        best = distance;
        found << prefix + name;
    }
    return found.join(QCoreApplication::translate("CommandLine", " or "));
}

// A run's length: whole seconds (90), or whole days, hours, minutes and
// seconds in that order, each with its unit (90s, 30m, 8h, 1h30m, 2d12h).
bool duration(const QString &text, long long &milliseconds)
{
    static const QRegularExpression form(
        "^(?:([0-9]{1,9})|(?:([0-9]{1,9})d)?(?:([0-9]{1,9})h)?(?:([0-9]{1,9})m)?(?:([0-9]{1,9})s)?)$");
    const QRegularExpressionMatch match = form.match(text);
    if (text.isEmpty() || !match.hasMatch())
        return false;
    const long long unitSeconds[] = {1, 86400, 3600, 60, 1};
    long long seconds = 0;
    for (int group = 1; group <= 5; ++group)
        seconds += match.captured(group).toLongLong() * unitSeconds[group - 1];
    // Beyond a year it is a slip, and the deadline's nanoseconds stay far
    // from overflowing.
    if (seconds < 1 || seconds > 365 * 86400LL)
        return false;
    milliseconds = seconds * 1000;
    return true;
}

// Every number option takes the same form: decimal digits, a minus sign
// where negative values make sense, nothing else.
bool wholeNumber(const QString &text, qint64 low, qint64 high, int &number)
{
    const int sign = text.startsWith('-') ? 1 : 0;
    const int digits = text.size() - sign;
    if (digits < 1 || digits > 18)
        return false;
    for (int i = sign; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
    }
    const qint64 value = text.toLongLong(nullptr, 10);
    if (value < low || value > high)
        return false;
    number = int(value);
    return true;
}

// The value of a long option as its bytes were given (--name VALUE or
// --name=VALUE): Qt decodes arguments as the locale says, and a file name
// that is not UTF-8 would not survive it.
QByteArray rawValue(int argc, char **argv, const char *name)
{
    const QByteArray option = QByteArray("--") + name;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            break;
        if (argument == option && i + 1 < argc)
            return QByteArray(argv[i + 1]);
        if (argument.startsWith(option + '='))
            return argument.mid(option.size() + 1);
    }
    return QByteArray();
}

// A file or folder the run writes, made absolute once. Its name must come through
// Qt's decoding whole: a name that is not UTF-8 would be written elsewhere.
QString outputPath(const QCommandLineParser &parser, int argc, char **argv, const char *name,
                   QString &problem)
{
    if (!parser.isSet(name))
        return QString();
    const QString value = parser.value(name);
    if (value.isEmpty() || QFile::encodeName(value) != rawValue(argc, argv, name)) {
        problem = QCoreApplication::translate("CommandLine", "--%1 must name a path, in UTF-8")
                      .arg(QLatin1String(name));
        return QString();
    }
    return QFileInfo(value).absoluteFilePath();
}

// A file as the system knows it, whatever path leads there: its device and
// inode, or for one not made yet, its folder's and its name. A link to the
// file or to a folder on the way, "..", another spelling: one file.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    QByteArray name;

    bool operator==(const FileIdentity &other) const
    {
        return device == other.device && inode == other.inode && name == other.name;
    }
};

FileIdentity identityOf(const QByteArray &path)
{
    FileIdentity identity;
    struct stat status;
    if (stat(path.constData(), &status) == 0) {
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
        return identity;
    }
    const int slash = path.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    identity.name = path.mid(slash + 1);
    if (stat(folder.constData(), &status) == 0) {
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
    } else {
        identity.name = QFile::encodeName(
            QDir::cleanPath(QFileInfo(QFile::decodeName(path)).absoluteFilePath()));
    }
    return identity;
}

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    return identityOf(a) == identityOf(b);
}

// A report that cannot be written would be found missing only after a
// burn-in of days: it is tried before the first call.
QString unwritableReport(const Options &options)
{
    QString why;
    for (const QString &path : {options.junitPath, options.htmlPath, options.saveAnswersPath}) {
        if (!path.isEmpty() && !canWritePrivateFile(path, why))
            return QCoreApplication::translate("Run", "cannot write the report %1: %2").arg(path, why);
    }
    return QString();
}

// The expected answers, refused before any call if nothing would be
// compared with them.
QString loadExpected(const QByteArray &path, Options &options)
{
    options.expectPath = path;
    std::string why;
    const QString named = QString::fromStdString(quoted(options.expectPath.toStdString()));
    // The reason the file is refused is the script reader's, in English.
    if (!options.expected.load(options.expectPath.toStdString(), why,
                               Script::AsTheReaderGivesThem))
        return QCoreApplication::translate("CommandLine", "expected answers %1 %2")
            .arg(named, QString::fromStdString(why));
    // A run checked against nothing would pass as if it had been.
    if (options.expected.isEmpty())
        return QCoreApplication::translate(
                   "CommandLine", "expected answers %1 hold no answer, so nothing would be compared")
            .arg(named);
    const std::string &content = options.expected.content();
    options.expectSha256 = QCryptographicHash::hash(
        QByteArray::fromRawData(content.data(), int(content.size())), QCryptographicHash::Sha256).toHex();
    return QString();
}

QByteArrayList operationNamesInBytes()
{
    QByteArrayList names;
    for (const Operation &operation : operations)
        names << operation.name;
    return names;
}

// A guided commissioning: its plan (a site's, the one its session keeps,
// or the model's default), and the choices the plan makes for the run. A
// choice given on the command line as well must agree with it.
QString commission(const QCommandLineParser &parser, int argc, char **argv, Options &options,
                   Plan &plan)
{
    options.guided = true;
    options.prompted = !parser.isSet("yes");
    // Every commissioning leaves its record, by default where it was begun.
    if (options.bundlePath.isEmpty())
        options.bundlePath = QDir::current().absoluteFilePath(
            "commission-" + QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss"));
    QString why;
    QString planPath = options.planPath;
    if (options.resume)
        planPath = options.bundlePath + "/plan.txt";
    if (planPath.isEmpty()) {
        parsePlan(defaultPlan(options.settings.deviceType), operationNamesInBytes(), plan, why);
    } else if (!loadPlan(planPath, operationNamesInBytes(), plan, why)) {
        return QCoreApplication::translate("CommandLine", "plan %1 %2")
            .arg(QString::fromStdString(quoted(QFile::encodeName(planPath).toStdString())), why);
    }
    if (plan.deviceType) {
        if (parser.isSet("device") && plan.deviceType != options.settings.deviceType)
            return QCoreApplication::translate("CommandLine", "the plan is for device type %1, not %2")
                .arg(plan.deviceType)
                .arg(options.settings.deviceType);
        options.settings.deviceType = plan.deviceType;
    }
    if (!plan.region.isEmpty()) {
        if (parser.isSet("region") && plan.region != options.settings.regionCode)
            return QCoreApplication::translate("CommandLine", "the plan is for region %1, not %2")
                .arg(QString::fromLatin1(plan.region), QString::fromLatin1(options.settings.regionCode));
        options.settings.regionCode = plan.region;
    }
    const QString kept = options.bundlePath + "/expected.txt";
    if (options.resume && QFileInfo(kept).isFile()) {
        why = loadExpected(QFile::encodeName(kept), options);
    } else if (!options.resume && !parser.isSet("expect") && !plan.expectPath.isEmpty()) {
        why = loadExpected(plan.expectPath, options);
    }
    if (!why.isEmpty())
        return why;
    for (const PlanStep &step : plan.steps) {
        if (step.fitted)
            options.operations.append(step.operation);
    }
    // Every answer a technician gives is typed at a terminal; a script or a
    // fleet runs the steps unprompted.
    if (options.prompted && !isatty(STDIN_FILENO))
        return QCoreApplication::translate("CommandLine",
                                           "commission asks the technician before each step and "
                                           "needs a terminal on standard input; --yes runs every "
                                           "step unprompted");
    return QString();
}

QString check(const QCommandLineParser &parser, int argc, char **argv, Options &options,
              Plan &plan)
{
    const QStringList given = parser.optionNames();
    for (const QString &name : given) {
        if (given.count(name) > 1)
            return QCoreApplication::translate("CommandLine", "--%1 is given more than once").arg(name);
    }

    int device = 0;
    if (!wholeNumber(parser.value("device"), 0, intMax, device) || (device != 21 && device != 19))
        return QCoreApplication::translate("CommandLine", "--device must be 21 or 19, not \"%1\"")
            .arg(parser.value("device"));
    options.settings.deviceType = device;

    int region = 0;
    if (!wholeNumber(parser.value("region"), 3500, 3509, region))
        return QCoreApplication::translate("CommandLine",
                                           "--region must be one of 3500 to 3509, not \"%1\"")
            .arg(parser.value("region"));
    options.settings.regionCode = QByteArray::number(region);

    int seconds = 0;
    const qint64 limit = intMax / 1000;
    if (!wholeNumber(parser.value("seconds"), -limit, limit, seconds))
        return QCoreApplication::translate(
                   "CommandLine", "--seconds must be a whole number from %1 to %2, not \"%3\"")
            .arg(QString::number(-limit), QString::number(limit), parser.value("seconds"));
    options.settings.scannerMilliseconds = seconds * 1000;

    if (!wholeNumber(parser.value("repeat"), 1, intMax, options.repeat))
        return QCoreApplication::translate(
                   "CommandLine", "--repeat must be a whole number of at least 1, not \"%1\"")
            .arg(parser.value("repeat"));
    if (parser.isSet("duration")) {
        if (!duration(parser.value("duration"), options.durationMs))
            return QCoreApplication::translate("CommandLine",
                                               "--duration must be a time from 1s to 365d such as "
                                               "90s, 30m, 8h or 1h30m, not \"%1\"")
                .arg(parser.value("duration"));
    }
    if (!wholeNumber(parser.value("pause"), 0, intMax, options.pauseMs))
        return QCoreApplication::translate(
                   "CommandLine", "--pause must be a whole number of milliseconds, not \"%1\"")
            .arg(parser.value("pause"));
    if (parser.isSet("timeout")
        && !wholeNumber(parser.value("timeout"), 0, limit, options.timeoutSeconds))
        return QCoreApplication::translate(
                   "CommandLine", "--timeout must be a whole number of seconds from 0 to %1, not \"%2\"")
            .arg(QString::number(limit), parser.value("timeout"));

    if (parser.isSet("library")) {
        options.library = rawValue(argc, argv, "library");
        struct stat file;
        if (options.library.isEmpty() || stat(options.library.constData(), &file) != 0
            || !S_ISREG(file.st_mode))
            return QCoreApplication::translate("CommandLine", "--library names no file: \"%1\"")
                .arg(parser.value("library"));
    }
    options.open = !parser.isSet("no-open");
    options.json = parser.isSet("json");
    options.showPin = parser.isSet("show-pin");

    if (parser.isSet("metrics")) {
        // Replaced by renaming: an existing device, FIFO or directory there
        // would be replaced by a regular file (as root, /dev/null itself).
        const QFileInfo metrics(parser.value("metrics"));
        if (parser.value("metrics").isEmpty() || (metrics.exists() && !metrics.isFile())
            || !QFileInfo(metrics.absolutePath()).isDir()
            || QFile::encodeName(parser.value("metrics")) != rawValue(argc, argv, "metrics"))
            return QCoreApplication::translate("CommandLine",
                                               "--metrics must name a regular file in a directory "
                                               "that exists, in UTF-8: \"%1\"")
                .arg(parser.value("metrics"));
        options.metricsPath = metrics.absoluteFilePath();
    }

    if (parser.isSet("expect")) {
        const QString problem = loadExpected(rawValue(argc, argv, "expect"), options);
        if (!problem.isEmpty())
            return problem;
    }
    options.plausibility = !parser.isSet("no-plausibility");
    options.operatorName = parser.value("operator");
    options.workOrder = parser.value("work-order");
    options.archive = parser.isSet("archive");
    if (parser.isSet("history"))
        options.historyPath = QFileInfo(parser.value("history")).absoluteFilePath();
    QString problem;
    options.planPath = outputPath(parser, argc, argv, "plan", problem);
    options.bundlePath = outputPath(parser, argc, argv, "bundle", problem);
    if (parser.isSet("resume")) {
        options.resume = true;
        options.bundlePath = outputPath(parser, argc, argv, "resume", problem);
        if (problem.isEmpty() && !QFileInfo(options.bundlePath + "/session.json").isFile())
            problem = QCoreApplication::translate(
                          "CommandLine", "--resume names no session: %1 holds no session.json")
                          .arg(options.bundlePath);
        for (const char *taken : {"plan", "expect", "bundle", "operator", "work-order", "device",
                                  "region", "seconds", "timeout", "library", "no-plausibility",
                                  "no-open"}) {
            if (parser.isSet(taken))
                problem = QCoreApplication::translate(
                              "CommandLine", "--resume goes on with the session's own choices; "
                                             "--%1 cannot change them")
                              .arg(QLatin1String(taken));
        }
    }
    options.junitPath = outputPath(parser, argc, argv, "junit", problem);
    options.htmlPath = outputPath(parser, argc, argv, "html", problem);
    options.saveAnswersPath = outputPath(parser, argc, argv, "save-answers", problem);
    if (!problem.isEmpty())
        return problem;

    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() && options.resume)
        return commission(parser, argc, argv, options, plan);
    if (positional.isEmpty())
        return QCoreApplication::translate("CommandLine", "no operation given; valid operations: %1")
            .arg(operationNames());
    // What is not a library call comes alone.
    for (const char *alone : {"commission", "history", "plan"}) {
        if (positional.contains(alone) && positional.size() > 1)
            return QCoreApplication::translate("CommandLine", "%1 takes no other operation")
                .arg(QLatin1String(alone));
    }
    if (positional.first() == "commission")
        return commission(parser, argc, argv, options, plan);
    if (options.resume)
        return QCoreApplication::translate(
            "CommandLine", "--resume goes on with a commissioning; it takes no operation");
    if (positional.first() == "history") {
        options.showHistory = true;
        return QString();
    }
    if (positional.first() == "plan") {
        options.showPlan = true;
        if (options.planPath.isEmpty())
            return QString();
        QString why;
        if (!loadPlan(options.planPath, operationNamesInBytes(), plan, why))
            return QCoreApplication::translate("CommandLine", "plan %1 %2")
                .arg(QString::fromStdString(quoted(QFile::encodeName(options.planPath).toStdString())), why);
        return QString();
    }
    for (const QString &name : parser.positionalArguments()) {
        if (name == "library") {
            options.describeLibrary = true;
            continue;
        }
        const int before = options.operations.size();
        for (const Operation &operation : operations) {
            if (name == operation.name || (name == "all" && operation.read))
                options.operations.append(operation.name);
        }
        if (options.operations.size() == before) {
            const QString meant = nearest(name, operationList(), QString());
            return meant.isEmpty()
                ? QCoreApplication::translate("CommandLine",
                                              "unknown operation \"%1\"; valid operations: %2")
                      .arg(name, operationNames())
                : QCoreApplication::translate("CommandLine",
                                              "unknown operation \"%1\"; did you mean %2?")
                      .arg(name, meant);
        }
    }
    // Rounds of no call would follow each other as fast as a loop turns.
    if (options.durationMs > 0 && !parser.isSet("repeat") && !options.operations.isEmpty())
        options.repeat = unboundedRounds;
    return QString();
}

} // namespace

int usageError(const QString &problem)
{
    std::fputs(("cardreader-cli: " + problem + '\n'
                + QCoreApplication::translate("CommandLine",
                                              "Try 'cardreader-cli --help' for more information.")
                + '\n')
                   .toUtf8()
                   .constData(),
               stderr);
    return UsageError;
}

QString clashingFiles(const Options &options, const QByteArray &libraryPath)
{
    struct Named
    {
        QString what;
        QByteArray path;
    };
    QVector<Named> written;
    for (const Named &output : {Named{"--metrics", QFile::encodeName(options.metricsPath)},
                                Named{"--junit", QFile::encodeName(options.junitPath)},
                                Named{"--html", QFile::encodeName(options.htmlPath)},
                                Named{"--save-answers", QFile::encodeName(options.saveAnswersPath)}}) {
        if (!output.path.isEmpty())
            written << output;
    }
    // The history, which every run of operations adds its verdict to.
    if (!options.operations.isEmpty()) {
        const QString what = !options.historyPath.isEmpty() ? QStringLiteral("--history")
            : !qgetenv("CARDREADER_HISTORY").isEmpty()
            ? QStringLiteral("CARDREADER_HISTORY")
            : QCoreApplication::translate("CommandLine", "the history");
        written << Named{what, QFile::encodeName(options.historyPath.isEmpty()
                                                     ? defaultHistoryPath()
                                                     : options.historyPath)};
    }
    // The record's folder, the files kept in it and its archive beside it.
    // A session resumed reads the plan and the expected answers it keeps.
    QVector<Named> read;
    if (!options.bundlePath.isEmpty()) {
        const QString folder = QDir::cleanPath(options.bundlePath);
        const auto kept = [&folder](const QString &name) {
            return Named{QCoreApplication::translate("CommandLine", "the record's %1").arg(name),
                         QFile::encodeName(folder + '/' + name)};
        };
        written << Named{QCoreApplication::translate("CommandLine", "the record's folder"),
                         QFile::encodeName(folder)};
        for (const char *name : {"session.json", "output.txt", "calls.jsonl", "terminal.json",
                                 "SHA256SUMS"})
            written << kept(name);
        for (const char *name : {"plan.txt", "expected.txt"})
            (options.resume ? read : written) << kept(name);
        // A report named outside the folder is copied in under this name.
        if (options.junitPath.isEmpty() || QFileInfo(options.junitPath).absolutePath() != folder)
            written << kept("report.xml");
        if (options.htmlPath.isEmpty() || QFileInfo(options.htmlPath).absolutePath() != folder)
            written << kept("report.html");
        if (options.archive)
            written << Named{QCoreApplication::translate("CommandLine", "the record's archive"),
                             QFile::encodeName(folder + ".tar.gz")};
    }
    if (!options.expectPath.isEmpty())
        read << Named{"--expect", options.expectPath};
    if (!options.planPath.isEmpty())
        read << Named{"--plan", QFile::encodeName(options.planPath)};
    if (!libraryPath.isEmpty())
        read << Named{QCoreApplication::translate("CommandLine", "the reader library"), libraryPath};
    // The files the simulated reader reads or writes in the calling process.
    for (const char *variable : {"VRK_SIM_SCRIPT", "VRK_SIM_RECORD", "VRK_SIM_LOG",
                                 "VRK_SIM_MAKER_LIBRARY"}) {
        const QByteArray path = qgetenv(variable);
        if (!path.isEmpty())
            read << Named{QString::fromLatin1(variable), path};
    }
    for (int i = 0; i < written.size(); ++i) {
        for (int j = i + 1; j < written.size(); ++j) {
            if (sameFile(written[i].path, written[j].path))
                return QCoreApplication::translate("CommandLine", "%1 and %2 name the same file")
                    .arg(written[i].what, written[j].what);
        }
        for (const Named &input : read) {
            if (sameFile(written[i].path, input.path))
                return QCoreApplication::translate("CommandLine",
                                                   "%1 names the file of %2, which it would replace")
                    .arg(written[i].what, input.what);
        }
    }
    return QString();
}

int readOptions(int argc, char **argv, Options &options, Plan &plan)
{
    const QStringList arguments = QCoreApplication::arguments();
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate("CommandLine",
        "Drives the card-reader terminal's functions through libVrkReaderClient.so, one\n"
        "library call per operation, and checks that the library keeps to its contract.\n"
        "The calls are made in a process of their own, so that a library that crashes,\n"
        "ends the process or never returns is named, and the run still ends with its\n"
        "summary.\n"
        "On a terminal, a burn-in (--repeat, --duration) shows on standard error the\n"
        "rounds done, the time, calls per second, failures and findings so far and the\n"
        "time left.\n"
        "Exit status: 0 every call succeeded, 1 a call failed, 2 usage error,\n"
        "3 the library broke its contract (a finding, a crash, an exit inside a call,\n"
        "the watchdog, a missing function), 4 the output could not be written,\n"
        "5 an answer differed from the expected one or cannot come from a genuine\n"
        "card, 128+N stopped by signal N (130 Ctrl-C, 129 SIGHUP, 143 SIGTERM). The\n"
        "worst news wins: 3, then 4, then 5, then a signal, then 1."));
    parser.addOption({{"h", "help"}, QCoreApplication::translate("CommandLine", "Displays this help.")});
    parser.addVersionOption();
    // The values' and the operations' placeholders stay in ASCII in every
    // language: Qt aligns the help's columns by characters, and a Chinese
    // character takes two.
    const QList<QCommandLineOption> choices{
        {"device", QCoreApplication::translate("CommandLine", "Reader model's device type: 21 or 19."),
         "type", "21"},
        {"region", QCoreApplication::translate("CommandLine", "Region code, 3500 to 3509."),
         "code", "3500"},
        {"seconds",
         QCoreApplication::translate("CommandLine", "Scanner wait and interval, in whole seconds."),
         "n", "2"},
        {"no-open", QCoreApplication::translate("CommandLine", "Do not open the device first.")},
        {"json", QCoreApplication::translate("CommandLine",
                                             "One JSON object per call, on one line each.")},
        {"show-pin", QCoreApplication::translate("CommandLine",
                                                 "Show the PIN pad's key text instead of ******.")},
        {"repeat", QCoreApplication::translate("CommandLine",
                   "Run the operations n times over (burn-in). A summary per operation "
                   "closes the run: calls, succeeded, failed, contract (calls that broke "
                   "it), min / median / p95 / p99 / max ms, the calling process's "
                   "memory and open descriptors at start and end, and when the run "
                   "started and ended."),
         "n", "1"},
        {"duration", QCoreApplication::translate("CommandLine",
                     "Run the operations over and over until this time is up (burn-in), "
                     "or until --repeat's rounds are done if that comes first: 90s, 30m, "
                     "8h, 2d, or several as 1h30m; a plain number is seconds. No call "
                     "starts once it is up."),
         "time"},
        {"pause", QCoreApplication::translate("CommandLine", "Wait ms milliseconds between rounds."),
         "ms", "0"},
        {"timeout", QCoreApplication::translate("CommandLine",
                    "Watchdog: a call that has not returned after this many seconds "
                    "is stopped and named; 0 turns it off. Default: the call's own wait "
                    "plus 30 s, or 60 s for calls given none."),
         "seconds"},
        {"library", QCoreApplication::translate("CommandLine",
                    "Check this library file instead of the one the program finds."),
         "path"},
        {"expect", QCoreApplication::translate("CommandLine",
                   "Compare every answer with the expected ones in this file, written as "
                   "the simulated reader's scripts are (a recording serves as it is): "
                   "each line answers the next call of its function, its last line every "
                   "later one. The result, the values and the int output are compared."),
         "file"},
        {"no-plausibility", QCoreApplication::translate("CommandLine",
                            "Do not check that answers could come from a genuine card "
                            "(identity card check characters and dates, bank card Luhn "
                            "digits, validity periods).")},
        {"junit", QCoreApplication::translate("CommandLine",
                  "Write a JUnit XML report of the run to this file at its end, for CI "
                  "servers."),
         "file"},
        {"html", QCoreApplication::translate("CommandLine",
                 "Write a self-contained HTML report of the run to this file at its end, "
                 "for people."),
         "file"},
        {"save-answers", QCoreApplication::translate("CommandLine",
                         "Write every answer of the run to this file, in the script format "
                         "that --expect reads (the PIN as ******): the known-good set of a "
                         "terminal, when every call succeeded and nothing was found wrong."),
         "file"},
        {"plan", QCoreApplication::translate("CommandLine",
                 "commission: follow this plan instead of the reader model's default "
                 "(\"cardreader-cli plan\" prints the default, to start from)."),
         "file"},
        {"yes", QCoreApplication::translate("CommandLine",
                "commission: run every step unprompted, for fleets and scripts.")},
        {"resume", QCoreApplication::translate("CommandLine",
                   "Go on with the commissioning kept in this folder, at its next step."),
         "folder"},
        {"operator", QCoreApplication::translate("CommandLine",
                     "Who runs the check, named in every report and the history."),
         "name"},
        {"work-order", QCoreApplication::translate("CommandLine",
                       "The work order the check is made for, named in every report and "
                       "the history."),
         "id"},
        {"bundle", QCoreApplication::translate("CommandLine",
                   "Keep the run's whole record in this folder: its output, JSON lines, "
                   "JUnit and HTML reports, the expected answers and plan, the terminal's "
                   "identity and a manifest that sha256sum -c verifies. A commissioning "
                   "keeps one by default."),
         "folder"},
        {"archive", QCoreApplication::translate("CommandLine",
                    "Pack the bundle as one .tar.gz beside its folder.")},
        {"history", QCoreApplication::translate("CommandLine",
                    "Log the run's verdict in this file instead of the terminal's history."),
         "file"},
        {"metrics", QCoreApplication::translate("CommandLine",
                    "Write the run's figures in Prometheus's text format to this file "
                    "after every round and at the end, replacing it whole each time."),
         "file"},
    };
    parser.addOptions(choices);
    // The placeholders stay as they are, in ASCII: Qt aligns the help's
    // columns by characters, and a Chinese one takes two.
    parser.addPositionalArgument(
        "operation",
        QCoreApplication::translate("CommandLine",
                                    "One or more of: %1. \"library\" makes no call: it reports "
                                    "the library file that was loaded. \"commission\" walks a "
                                    "technician through the terminal, step by step; "
                                    "\"history\" lists the terminal's past verdicts, newest "
                                    "first; \"plan\" prints a commissioning plan.")
            .arg(operationNames()),
        "OPERATION...");
    QString problem;
    if (!parser.parse(arguments)) {
        problem = parser.errorText();
        QStringList longNames{"help", "version"};
        for (const QCommandLineOption &choice : choices)
            longNames << choice.names();
        const QStringList unknown = parser.unknownOptionNames();
        const QString meant = unknown.size() == 1 ? nearest(unknown[0], longNames, "--")
                                                  : QString();
        if (!meant.isEmpty())
            problem += QCoreApplication::translate("CommandLine", " Did you mean %1?").arg(meant);
    } else if (parser.isSet("help"))
        parser.showHelp(Success);
    else if (parser.isSet("version"))
        parser.showVersion();
    else
        problem = check(parser, argc, argv, options, plan);
    if (problem.isEmpty()) {
        problem = unwritableReport(options);
        if (problem.isEmpty())
            return -1;
        std::fputs(("cardreader-cli: " + problem + '\n').toUtf8().constData(), stderr);
        return OutputFailed;
    }
    return usageError(problem);
}
