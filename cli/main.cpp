// cardreader-cli: every reader function from a shell, for terminals without
// a desktop, factory scripts, burn-in runs and checking a new maker library.

#include "operations.h"
#include "report.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

namespace {

enum ExitStatus { Success = 0, CallFailed = 1, UsageError = 2, ContractBroken = 3,
                  Interrupted = 128 + SIGINT };

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int)
{
    interrupted = 1;
}

// Ctrl-C lets the call in progress end (the library holds it) and stops
// the run before the next; a second Ctrl-C ends the program at once.
void catchInterrupt()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

void write(FILE *stream, const QByteArray &bytes)
{
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
}

int usageError(const QString &message)
{
    write(stderr, ("cardreader-cli: " + message + '\n').toUtf8());
    return UsageError;
}

struct Options
{
    Settings settings;
    QVector<const Operation *> operations;
    bool open = true;
    bool json = false;
    bool showPin = false;
    int repeat = 1;
    int pauseMs = 0;
};

QString operationNames()
{
    QStringList names;
    for (const Operation &operation : operations)
        names << operation.name;
    return names.join(", ") + ", all";
}

bool wholeNumber(const QString &text, qint64 low, qint64 high, int &number)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok, 10);
    if (!ok || value < low || value > high)
        return false;
    number = int(value);
    return true;
}

// Every choice is checked before the first library call. Returns the usage
// message, or nothing when the options are sound.
QString readOptions(const QCommandLineParser &parser, Options &options)
{
    const QString device = parser.value("device");
    if (device != "21" && device != "19")
        return QStringLiteral("--device must be 21 or 19, not \"%1\"").arg(device);
    options.settings.deviceType = device.toInt();

    int region = 0;
    if (!wholeNumber(parser.value("region"), 3500, 3509, region))
        return QStringLiteral("--region must be one of 3500 to 3509, not \"%1\"")
            .arg(parser.value("region"));
    options.settings.regionCode = QByteArray::number(region);

    int seconds = 0;
    const qint64 limit = std::numeric_limits<int>::max() / 1000;
    if (!wholeNumber(parser.value("seconds"), -limit, limit, seconds))
        return QStringLiteral("--seconds must be a whole number from %1 to %2, not \"%3\"")
            .arg(-limit).arg(limit).arg(parser.value("seconds"));
    options.settings.scannerMilliseconds = seconds * 1000;

    if (!wholeNumber(parser.value("repeat"), 1, std::numeric_limits<int>::max(),
                     options.repeat))
        return QStringLiteral("--repeat must be a whole number of at least 1, not \"%1\"")
            .arg(parser.value("repeat"));
    if (!wholeNumber(parser.value("pause"), 0, std::numeric_limits<int>::max(),
                     options.pauseMs))
        return QStringLiteral("--pause must be a whole number of milliseconds, not \"%1\"")
            .arg(parser.value("pause"));

    options.open = !parser.isSet("no-open");
    options.json = parser.isSet("json");
    options.showPin = parser.isSet("show-pin");

    if (parser.positionalArguments().isEmpty())
        return "no operation given; valid operations: " + operationNames();
    for (const QString &name : parser.positionalArguments()) {
        const int before = options.operations.size();
        for (const Operation &operation : operations) {
            if (name == operation.name || (name == "all" && operation.read))
                options.operations.append(&operation);
        }
        if (options.operations.size() == before)
            return QStringLiteral("unknown operation \"%1\"; valid operations: %2")
                .arg(name, operationNames());
    }
    return QString();
}

// The burn-in's round count on a terminal, "37/100", rewritten in place and
// wiped before anything else is written to the terminal.
class Progress
{
public:
    explicit Progress(bool shown) : m_shown(shown) {}

    void show(int round, int rounds)
    {
        if (!m_shown)
            return;
        clear();
        m_width = std::fprintf(stderr, "%d/%d", round, rounds);
    }

    void clear()
    {
        if (m_width > 0)
            std::fprintf(stderr, "\r%*s\r", m_width, "");
        m_width = 0;
    }

private:
    bool m_shown;
    int m_width = 0;
};

// Reports one call as asked and notes how it went; in a burn-in, only the
// calls that went wrong are described for people.
void report(const GuardedCall &call, const Options &options, Tally &tally, int &status,
            Progress &progress)
{
    tally.add(call);
    if (!call.findings.isEmpty())
        status = ContractBroken;
    else if (!call.ok() && status == Success)
        status = CallFailed;

    QByteArray text;
    if (options.json)
        text = jsonLine(call, options.showPin);
    else if (options.repeat == 1 || !call.ok() || !call.findings.isEmpty())
        text = describe(call, options.showPin).toUtf8();
    if (text.isEmpty())
        return;
    progress.clear();
    write(stdout, text);
    std::fflush(stdout);
}

void pause(int milliseconds)
{
    for (int waited = 0; waited < milliseconds && !interrupted; waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(50, milliseconds - waited)));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("cardreader-cli");
    QCoreApplication::setApplicationVersion(CARDREADER_VERSION);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Drives the card-reader terminal's functions through libVrkReaderClient.so, one\n"
        "library call per operation, and checks that the library keeps to its contract.\n"
        "Exit status: 0 every call succeeded, 1 a call failed, 2 usage error,\n"
        "3 the library broke its contract, 130 interrupted.");
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOptions({
        {"device", "Reader model's device type: 21 or 19.", "type", "21"},
        {"region", "Region code, 3500 to 3509.", "code", "3500"},
        {"seconds", "Scanner wait and interval, in whole seconds.", "n", "2"},
        {"no-open", "Do not open the device first."},
        {"json", "One JSON object per call, on one line each."},
        {"show-pin", "Show the PIN pad's key text instead of ******."},
        {"repeat", "Run the operations n times over (burn-in).", "n", "1"},
        {"pause", "Wait ms milliseconds between rounds.", "ms", "0"},
    });
    parser.addPositionalArgument("operation", "One or more of: " + operationNames() + ".",
                                 "OPERATION...");
    if (!parser.parse(QCoreApplication::arguments()))
        return usageError(parser.errorText());
    if (parser.isSet("help"))
        parser.showHelp(Success);
    if (parser.isSet("version"))
        parser.showVersion();

    Options options;
    const QString problem = readOptions(parser, options);
    if (!problem.isEmpty())
        return usageError(problem);

    catchInterrupt();
    Progress progress(options.repeat > 1 && isatty(STDERR_FILENO));
    Tally tally;
    int status = Success;
    if (options.open) {
        const GuardedCall open = openDevice(options.settings);
        report(open, options, tally, status, progress);
        if (!open.ok())
            return status;
    }
    int round = 0;
    while (round < options.repeat && !interrupted) {
        for (const Operation *operation : options.operations) {
            if (interrupted)
                break;
            report(operation->run(options.settings), options, tally, status, progress);
        }
        progress.show(++round, options.repeat);
        if (round < options.repeat)
            pause(options.pauseMs);
    }
    progress.clear();
    if (options.repeat > 1)
        write(stdout, options.json ? tally.jsonLine(round) : tally.table(round).toUtf8());
    return interrupted ? Interrupted : status;
}
