#include "caller.h"

#include "guardpages.h"
#include "libraryfile.h"
#include "metrics.h"
#include "output.h"
#include "readerlibrary.h"
#include "report.h"
#include "runstate.h"

#include <QFile>

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

bool stopping()
{
    return runState().stopRequested || runState().outputFailed;
}

// Notes how one call went and reports it as asked; in a burn-in only the
// calls that went wrong are described for people.
void report(const GuardedCall &call, const Options &options, Output &output)
{
    RunState &state = runState();
    state.tally.add(call.operation, call.function, call.outcome(), call.milliseconds);
    if (call.outcome() == Tally::BrokeContract)
        state.status = ContractBroken;
    else if (!call.ok() && state.status == Success)
        state.status = CallFailed;

    if (options.json)
        output.write(jsonLine(call, options.showPin));
    else if (options.repeat == 1 || call.outcome() != Tally::Succeeded)
        output.write(describe(call, options.showPin).toUtf8());
}

// The figures after a round, at most four times a second: a scrape comes
// every few seconds, and a fast burn-in makes thousands of rounds in one.
void updateMetrics(const Options &options, Output &output, long long &lastNs)
{
    if (monotonicNs() - lastNs < 250 * 1000000LL)
        return;
    lastNs = monotonicNs();
    publishMetrics(options, false, output);
}

void pause(int milliseconds)
{
    using namespace std::chrono;
    const auto end = steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (auto now = steady_clock::now(); now < end && !stopping(); now = steady_clock::now())
        std::this_thread::sleep_for(std::min<steady_clock::duration>(end - now, std::chrono::milliseconds(50)));
}

bool loadLibrary(const Options &options, ReaderLibrary &library, Output &output)
{
    RunState &state = runState();
    beginCall("load", "loading the library", -1);
    QString why;
    const bool loaded = library.load(options.library, why);
    endCall();
    if (!loaded) {
        std::strncpy(state.library.path, QFile::encodeName(options.library).constData(),
                     sizeof state.library.path - 1);
        state.status = ContractBroken;
        output.error("cannot load the reader library: " + why);
        return false;
    }
    describeLibraryFile(library.path, state.library);
    state.library.exported = library.exported;
    const QStringList missing = readerFunctions(library.exported, false);
    if (!missing.isEmpty()) {
        state.status = ContractBroken;
        output.error(library.path + " lacks " + missing.join(", ")
                     + "; the functions it has are still checked");
    }
    return true;
}

} // namespace

void makeCalls(const Options &options, StrayOutput &strayOutput)
{
    // The watcher's signals stop the run between calls; a watcher that dies
    // takes the calls with it.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE})
        std::signal(signal, SIG_IGN);
    std::signal(SIGCHLD, SIG_DFL);

    RunState &state = runState();
    // Set up before the output is diverted, so that a failure is seen.
    if (!GuardPages::setUp() || !strayOutput.divert()) {
        std::perror("cardreader-cli: cannot prepare the calls");
        state.status = CallFailed;
        state.finished = 1;
        _exit(0);
    }
    Output output(strayOutput.programOut(), strayOutput.programErr());
    output.showProgress(options.repeat > 1 && isatty(strayOutput.programErr()));
    GuardedCall::catchStrayOutput(&strayOutput);

    ReaderLibrary library;
    if (loadLibrary(options, library, output)) {
        // What loading printed is no call's.
        strayOutput.takeOut();
        strayOutput.takeErr();
        state.usageAtStart = usageOf(getpid());
        if (options.describeLibrary)
            output.write(options.json ? libraryJsonLine(state.library)
                                      : describeLibrary(state.library).toUtf8());
        bool opened = true;
        if (options.open && !options.operations.isEmpty()) {
            const GuardedCall open = openDevice(library, options.settings);
            report(open, options, output);
            opened = open.ok() || !open.called;
        }
        long long metricsWrittenNs = monotonicNs() - 1000000000LL;
        for (int round = 1; opened && round <= options.repeat && !stopping(); ++round) {
            state.roundStarted = round;
            bool whole = true;
            for (const Operation *operation : options.operations) {
                if (stopping()) {
                    whole = false;
                    break;
                }
                report(operation->run(library, options.settings), options, output);
            }
            if (whole)
                state.roundsDone = round;
            updateMetrics(options, output, metricsWrittenNs);
            output.progress(round, options.repeat);
            if (round < options.repeat)
                pause(options.pauseMs);
        }
        output.clearProgress();
        state.usageAtEnd = usageOf(getpid());
    }
    state.finished = 1;
    _exit(0);
}
