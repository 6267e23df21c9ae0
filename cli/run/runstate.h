#ifndef CLI_RUNSTATE_H
#define CLI_RUNSTATE_H

#include "libraryidentity.h"
#include "notes.h"
#include "tally.h"
#include "timeline.h"

#include <atomic>

// What the process that makes the library calls shares with the process that
// watches it: enough for the watcher to name the call that never came back
// and to give the summary of everything that ran, whatever became of the
// caller. Mapped once, before the caller is forked. The library can write
// all of it, so nothing here decides which library was loaded or how its
// process ended: the watcher keeps those itself.
struct RunState
{
    // The resources of the calling process, so that a library that leaks
    // memory or descriptors over a burn-in shows it.
    struct Usage
    {
        long long residentKiB = -1;
        int descriptors = -1;
    };

    // Set by the watcher: stop before the next call.
    std::atomic<int> stopRequested{0};

    // The call in progress, or none: written by the caller around each call.
    std::atomic<int> calling{0};
    char operation[16] = {};
    char function[32] = {};
    std::atomic<long long> callStartNs{0};
    std::atomic<long long> callLimitMs{0};  // 0: no watchdog

    // How the run went so far.
    long long startTimeMs = 0;  // since the epoch
    long long startNs = 0;      // monotonic
    std::atomic<int> status{0};
    std::atomic<int> roundsDone{0};
    std::atomic<int> roundStarted{0};
    std::atomic<int> finished{0};
    std::atomic<int> outputFailed{0};  // the errno of the failed write
    std::atomic<int> answersCut{0};    // the saved answers reached what --expect reads
    // Started with SIGPIPE as the shell leaves it: a reader that goes away
    // (cardreader-cli all | head) ends the run quietly, as it ends any
    // program. Where SIGPIPE is ignored, as under systemd, it is said.
    int quietBrokenPipe = 0;  // not a bool: the library can write any byte here
    // What the calling process found that ends the run, beyond a call's own
    // findings: the library took its output away, or could not be loaded.
    char ending[Notes::textSize] = {};
    // The function a copy of the calling process returned from, made by a
    // fork no handler saw.
    char copied[32] = {};
    // What the library did outside any call, at load or after the last call:
    // findings about the run as a whole, which no operation's figures hold.
    char outside[8][Notes::textSize] = {};
    // What the calling process found on loading the library: the functions
    // it lacks, and where the loader finds each instead, as ReaderLibrary
    // says it. Where the library is to be described, the watcher does so
    // once they are set, and no call is made before.
    unsigned lacking = 0;  // bit i: readerFunctionNames[i]
    char elsewhere[readerFunctionCount][Notes::textSize] = {};
    std::atomic<int> loaded{0};
    std::atomic<int> described{0};
    Usage usageAtStart;
    Usage usageAtEnd;
    Tally tally;
    Timeline timeline;
    Notes notes;

    // The watchdog for every call, in seconds: 0 none, -1 each call's own
    // wait plus a margin.
    int timeoutSeconds = -1;
};

// What the watchdog allows a call beyond its own wait, and a call that is
// given none.
const long long watchdogMarginMs = 30 * 1000;
const long long watchdogNoWaitMs = 60 * 1000;

// The one shared state of this run; create() maps it.
RunState &runState();
bool createRunState(int timeoutSeconds);

// Marks the call in progress for the watcher, with the watchdog's limit for
// a call given waitMs to wait (-1: none); returns when it started.
long long beginCall(const char *operation, const char *function, int waitMs);
void endCall();

long long monotonicNs();
RunState::Usage usageOf(long pid);

#endif
