#ifndef CLI_OPTIONS_H
#define CLI_OPTIONS_H

#include "script.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

#include <limits>

// What the operator chose: the same choices the window offers.
struct Settings
{
    int deviceType = 21;
    QByteArray regionCode = "3500";
    int scannerMilliseconds = 2000;
};

// What the command line asks for, every choice checked before the first
// library call.
struct Options
{
    Settings settings;
    QByteArrayList operations;  // by name, in the order given, "all" spelled out
    QByteArray library;  // as given, in bytes; empty: found as the program finds it
    bool describeLibrary = false;  // the "library" operation
    QString metricsPath;  // absolute, resolved once at start
    QString junitPath;    // the same
    QString htmlPath;     // the same
    QString saveAnswersPath;  // the same
    // Where the calling process writes the answers, a private file beside
    // saveAnswersPath that the watcher puts in its place at the end.
    int saveAnswersFd = -1;
    QByteArray saveAnswersTemporary;
    QByteArray expectPath;  // as given, in bytes; empty: no answers expected
    Script expected;
    QByteArray expectSha256;  // of the bytes read, hex
    bool plausibility = true;
    bool open = true;
    bool json = false;
    bool showPin = false;
    int repeat = 1;  // unboundedRounds: as many as --duration allows
    long long durationMs = 0;  // 0: no time limit
    int pauseMs = 0;
    int timeoutSeconds = -1;  // -1: each call's own wait plus a margin

    // A guided commissioning (the "commission" operation), and the record a
    // run leaves of itself.
    bool guided = false;
    bool prompted = true;     // false: --yes, every step unprompted
    bool resume = false;
    QString planPath;         // absolute; empty: the reader model's default plan
    QString bundlePath;       // absolute; empty: no bundle
    bool archive = false;
    QString operatorName;
    QString workOrder;
    QString historyPath;      // the terminal's log of verdicts; empty: its usual place
    bool showHistory = false; // the "history" operation
    bool showPlan = false;    // the "plan" operation
    // The bundle's output.txt and calls.jsonl: what the run shows people
    // and programs, appended by both processes.
    int bundleTextFd = -1;
    int bundleJsonFd = -1;
};

// The rounds of a run given --duration and no --repeat: the time ends it.
const int unboundedRounds = std::numeric_limits<int>::max();

enum ExitStatus {
    Success = 0,
    CallFailed = 1,
    UsageError = 2,
    ContractBroken = 3,
    OutputFailed = 4,
    WrongAnswers = 5,  // an answer differed from the expected one or cannot be genuine
    StoppedBySignal = 128,  // plus the signal's number
};

// The worse of two exit statuses: a contract breach, then output that could
// not be written, then a wrong answer, then a stop by signal, then a failed
// call. A wrong answer outranks the operator's stop: a burn-in stopped at
// its end still says what it found.
inline int worse(int a, int b)
{
    const auto rank = [](int status) {
        switch (status) {
        case Success: return 0;
        case CallFailed: return 1;
        case WrongAnswers: return 3;
        case OutputFailed: return 4;
        case ContractBroken: return 5;
        default: return 2;
        }
    };
    return rank(a) >= rank(b) ? a : b;
}

#endif
