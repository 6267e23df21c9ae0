#include "caller.h"

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
    std::strncpy(state.operation, "load", sizeof state.operation - 1);
    std::strncpy(state.function, "loading the library", sizeof state.function - 1);
    state.callLimitMs = state.timeoutSeconds >= 0 ? state.timeoutSeconds * 1000LL : 60000;
    state.callStartNs = monotonicNs();
    state.calling = 1;
    QString why;
    const bool loaded = library.load(options.library, why);
    state.calling = 0;
    std::strncpy(state.library.path, QFile::encodeName(loaded ? library.path : options.library).constData(),
                 sizeof state.library.path - 1);
    if (!loaded) {
        state.status = ContractBroken;
        output.error("cannot load the reader library: " + why);
        return false;
    }
    RunState::Library &file = state.library;
    const LibraryFile described = describeLibraryFile(library.path);
    std::strncpy(file.path, QFile::encodeName(library.path).constData(), sizeof file.path - 1);
    file.size = described.size;
    std::strncpy(file.sha256, described.sha256.constData(), sizeof file.sha256 - 1);
    std::strncpy(file.soname, described.soname.constData(), sizeof file.soname - 1);
    std::strncpy(file.buildId, described.buildId.constData(), sizeof file.buildId - 1);
    std::strncpy(file.simulated, described.simulated.constData(), sizeof file.simulated - 1);
    file.exported = library.exported;
    file.loaded = 1;
    if (!library.missing.isEmpty()) {
        state.status = ContractBroken;
        output.error(library.path + " lacks " + library.missing.join(", ")
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
    if (!strayOutput.divert()) {
        std::perror("cardreader-cli: cannot keep the library's output apart");
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
