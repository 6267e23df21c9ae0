#include "commandline.h"

#include "caller/operations.h"
#include "report/privatefile.h"

#include "readertext.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

namespace {

const int intMax = std::numeric_limits<int>::max();

QString operationNames()
{
    QStringList names;
    for (const Operation &operation : operations)
        names << operation.name;
    return names.join(", ") + ", all, library";
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

// A file the run writes, made absolute once. Its name must come through
// Qt's decoding whole: a name that is not UTF-8 would be written elsewhere.
QString outputPath(const QCommandLineParser &parser, int argc, char **argv, const char *name,
                   QString &problem)
{
    if (!parser.isSet(name))
        return QString();
    const QString value = parser.value(name);
    if (value.isEmpty() || QFile::encodeName(value) != rawValue(argc, argv, name)) {
        problem = QStringLiteral("--%1 must name a file, in UTF-8").arg(name);
        return QString();
    }
    return QFileInfo(value).absoluteFilePath();
}

bool sameFile(const QByteArray &a, const QByteArray &b)
{
    struct stat first, second;
    if (stat(a.constData(), &first) == 0 && stat(b.constData(), &second) == 0)
        return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
    const auto absolute = [](const QByteArray &path) {
        return QDir::cleanPath(QFileInfo(QFile::decodeName(path)).absoluteFilePath());
    };
    return absolute(a) == absolute(b);
}

// A report that cannot be written would be found missing only after a
// burn-in of days: it is tried before the first call.
QString unwritableReport(const Options &options)
{
    QString why;
    for (const QString &path : {options.junitPath, options.htmlPath}) {
        if (!path.isEmpty() && !canWritePrivateFile(path, why))
            return "cannot write the report " + path + ": " + why;
    }
    return QString();
}

QString check(const QCommandLineParser &parser, int argc, char **argv, Options &options)
{
    const QStringList given = parser.optionNames();
    for (const QString &name : given) {
        if (given.count(name) > 1)
            return QStringLiteral("--%1 is given more than once").arg(name);
    }

    int device = 0;
    if (!wholeNumber(parser.value("device"), 0, intMax, device) || (device != 21 && device != 19))
        return QStringLiteral("--device must be 21 or 19, not \"%1\"").arg(parser.value("device"));
    options.settings.deviceType = device;

    int region = 0;
    if (!wholeNumber(parser.value("region"), 3500, 3509, region))
        return QStringLiteral("--region must be one of 3500 to 3509, not \"%1\"")
            .arg(parser.value("region"));
    options.settings.regionCode = QByteArray::number(region);

    int seconds = 0;
    const qint64 limit = intMax / 1000;
    if (!wholeNumber(parser.value("seconds"), -limit, limit, seconds))
        return QStringLiteral("--seconds must be a whole number from %1 to %2, not \"%3\"")
            .arg(-limit).arg(limit).arg(parser.value("seconds"));
    options.settings.scannerMilliseconds = seconds * 1000;

    if (!wholeNumber(parser.value("repeat"), 1, intMax, options.repeat))
        return QStringLiteral("--repeat must be a whole number of at least 1, not \"%1\"")
            .arg(parser.value("repeat"));
    if (!wholeNumber(parser.value("pause"), 0, intMax, options.pauseMs))
        return QStringLiteral("--pause must be a whole number of milliseconds, not \"%1\"")
            .arg(parser.value("pause"));
    if (parser.isSet("timeout")
        && !wholeNumber(parser.value("timeout"), 0, limit, options.timeoutSeconds))
        return QStringLiteral("--timeout must be a whole number of seconds from 0 to %1, not \"%2\"")
            .arg(limit).arg(parser.value("timeout"));

    if (parser.isSet("library")) {
        options.library = rawValue(argc, argv, "library");
        struct stat file;
        if (options.library.isEmpty() || stat(options.library.constData(), &file) != 0
            || !S_ISREG(file.st_mode))
            return QStringLiteral("--library names no file: \"%1\"").arg(parser.value("library"));
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
            return QStringLiteral("--metrics must name a regular file in a directory that exists, in UTF-8: \"%1\"")
                .arg(parser.value("metrics"));
        options.metricsPath = metrics.absoluteFilePath();
    }

    if (parser.isSet("expect")) {
        options.expectPath = rawValue(argc, argv, "expect");
        std::string why;
        if (!options.expected.load(options.expectPath.toStdString(), why,
                                   Script::AsTheReaderGivesThem))
            return "expected answers " + QString::fromStdString(quoted(options.expectPath.toStdString()))
                + ' ' + QString::fromStdString(why);
    }
    options.plausibility = !parser.isSet("no-plausibility");
    QString problem;
    options.junitPath = outputPath(parser, argc, argv, "junit", problem);
    options.htmlPath = outputPath(parser, argc, argv, "html", problem);
    if (!problem.isEmpty())
        return problem;

    if (parser.positionalArguments().isEmpty())
        return "no operation given; valid operations: " + operationNames();
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
        if (options.operations.size() == before)
            return QStringLiteral("unknown operation \"%1\"; valid operations: %2")
                .arg(name, operationNames());
    }
    return QString();
}

} // namespace

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
                                Named{"--html", QFile::encodeName(options.htmlPath)}}) {
        if (!output.path.isEmpty())
            written << output;
    }
    QVector<Named> read;
    if (!options.expectPath.isEmpty())
        read << Named{"--expect", options.expectPath};
    if (!libraryPath.isEmpty())
        read << Named{"the reader library", libraryPath};
    for (int i = 0; i < written.size(); ++i) {
        for (int j = i + 1; j < written.size(); ++j) {
            if (sameFile(written[i].path, written[j].path))
                return written[i].what + " and " + written[j].what + " name the same file";
        }
        for (const Named &input : read) {
            if (sameFile(written[i].path, input.path))
                return written[i].what + " names the file of " + input.what
                    + ", which it would replace";
        }
    }
    return QString();
}

int readOptions(int argc, char **argv, Options &options)
{
    const QStringList arguments = QCoreApplication::arguments();
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Drives the card-reader terminal's functions through libVrkReaderClient.so, one\n"
        "library call per operation, and checks that the library keeps to its contract.\n"
        "The calls are made in a process of their own, so that a library that crashes,\n"
        "ends the process or never returns is named, and the run still ends with its\n"
        "summary.\n"
        "Exit status: 0 every call succeeded, 1 a call failed, 2 usage error,\n"
        "3 the library broke its contract (a finding, a crash, an exit inside a call,\n"
        "the watchdog, a missing function), 4 the output could not be written,\n"
        "5 an answer differed from the expected one or cannot come from a genuine\n"
        "card, 128+N stopped by signal N (130 Ctrl-C, 129 SIGHUP, 143 SIGTERM). The\n"
        "worst news wins: 3, then 4, then 5, then a signal, then 1.");
    parser.addOption({{"h", "help"}, "Displays this help."});
    parser.addVersionOption();
    parser.addOptions({
        {"device", "Reader model's device type: 21 or 19.", "type", "21"},
        {"region", "Region code, 3500 to 3509.", "code", "3500"},
        {"seconds", "Scanner wait and interval, in whole seconds.", "n", "2"},
        {"no-open", "Do not open the device first."},
        {"json", "One JSON object per call, on one line each."},
        {"show-pin", "Show the PIN pad's key text instead of ******."},
        {"repeat", "Run the operations n times over (burn-in). A summary per operation "
                   "closes the run: calls, succeeded, failed, contract (calls that broke "
                   "it), min / median / p95 / p99 / max ms, and the calling process's "
                   "memory and open descriptors at start and end.",
         "n", "1"},
        {"pause", "Wait ms milliseconds between rounds.", "ms", "0"},
        {"timeout", "Watchdog: a call that has not returned after this many seconds "
                    "is stopped and named; 0 turns it off. Default: the call's own wait "
                    "plus 30 s, or 60 s for calls given none.", "seconds"},
        {"library", "Check this library file instead of the one the program finds.",
         "path"},
        {"expect", "Compare every answer with the expected ones in this file, written as "
                   "the simulated reader's scripts are (a recording serves as it is): "
                   "each line answers the next call of its function, its last line every "
                   "later one. The result, the values and the int output are compared.",
         "file"},
        {"no-plausibility", "Do not check that answers could come from a genuine card "
                            "(identity card check characters and dates, bank card Luhn "
                            "digits, validity periods)."},
        {"junit", "Write a JUnit XML report of the run to this file at its end, for CI "
                  "servers.", "file"},
        {"html", "Write a self-contained HTML report of the run to this file at its end, "
                 "for people.", "file"},
        {"metrics", "Write the run's figures in Prometheus's text format to this file "
                    "after every round and at the end, replacing it whole each time.",
         "file"},
    });
    parser.addPositionalArgument("operation",
                                 "One or more of: " + operationNames()
                                     + ". \"library\" makes no call: it reports the library"
                                       " file that was loaded.",
                                 "OPERATION...");
    QString problem;
    if (!parser.parse(arguments))
        problem = parser.errorText();
    else if (parser.isSet("help"))
        parser.showHelp(Success);
    else if (parser.isSet("version"))
        parser.showVersion();
    else
        problem = check(parser, argc, argv, options);
    if (problem.isEmpty()) {
        problem = unwritableReport(options);
        if (problem.isEmpty())
            return -1;
        std::fputs(("cardreader-cli: " + problem + '\n').toUtf8().constData(), stderr);
        return OutputFailed;
    }
    std::fputs(("cardreader-cli: " + problem + '\n').toUtf8().constData(), stderr);
    return UsageError;
}
