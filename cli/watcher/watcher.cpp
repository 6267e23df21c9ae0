#include "watcher.h"

#include "metrics.h"
#include "report.h"
#include "runstate.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

volatile std::sig_atomic_t signalsCaught = 0;
volatile std::sig_atomic_t lastSignal = 0;

extern "C" void onStopSignal(int signal)
{
    lastSignal = signal;
    signalsCaught = signalsCaught + 1;
}

// Wakes the watcher's sleep as soon as the calling process ends.
extern "C" void onChildEnded(int) {}

QString seconds(long long milliseconds)
{
    return milliseconds % 1000 ? QString::number(milliseconds / 1000.0, 'f', 3)
                               : QString::number(milliseconds / 1000);
}

// The worse of two exit statuses: a contract breach, then output that could
// not be written, then a stop by signal, then a failed call.
int worse(int a, int b)
{
    const auto rank = [](int status) {
        switch (status) {
        case Success: return 0;
        case CallFailed: return 1;
        case OutputFailed: return 3;
        case ContractBroken: return 4;
        default: return 2;
        }
    };
    return rank(a) >= rank(b) ? a : b;
}

} // namespace

Watcher::Watcher(const Options &options, StrayOutput &strayOutput, pid_t caller)
    : m_options(options)
    , m_strayOutput(strayOutput)
    , m_caller(caller)
    , m_output(STDOUT_FILENO, STDERR_FILENO)
{
}

void Watcher::catchSignals()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = onStopSignal;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    action.sa_handler = onChildEnded;
    sigaction(SIGCHLD, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

int Watcher::run()
{
    int how = 0;
    while (waitpid(m_caller, &how, WNOHANG) == 0) {
        poll(nullptr, 0, 50);
        onSignals();
        onWatchdog();
    }
    RunState &state = runState();
    int status = state.status;
    if (!state.finished && !m_stoppedNow) {
        reportLostCall(how);
        status = ContractBroken;
    }
    if (m_stopSignal)
        status = worse(status, StoppedBySignal + m_stopSignal);
    // A stored JSON result always says what it was run against.
    if (m_options.json || m_options.repeat > 1 || !m_ending.isEmpty() || m_stopSignal)
        writeSummary();
    publishMetrics(m_options, true, m_output);
    if (state.outputFailed == EPIPE && state.quietBrokenPipe) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
    if (state.outputFailed || state.metricsFailed)
        status = worse(status, OutputFailed);
    return status;
}

void Watcher::onSignals()
{
    if (signalsCaught == m_signalsHandled)
        return;
    m_signalsHandled = signalsCaught;
    m_stopSignal = lastSignal;
    if (runState().stopRequested.exchange(1) == 0) {
        m_output.error("stopping after the current call; Ctrl-C again stops now");
        return;
    }
    if (!m_stoppedNow) {
        m_stoppedNow = true;
        kill(m_caller, SIGKILL);
    }
}

void Watcher::onWatchdog()
{
    RunState &state = runState();
    const long long limitMs = state.callLimitMs;
    if (m_timedOut || !state.calling || limitMs <= 0
        || monotonicNs() - state.callStartNs < limitMs * 1000000)
        return;
    m_timedOut = true;
    state.usageAtEnd = usageOf(m_caller);
    kill(m_caller, SIGKILL);
}

// The call the calling process was in when it ended, or the watchdog
// stopped it: a contract breach, named, reported like any call.
void Watcher::reportLostCall(int how)
{
    RunState &state = runState();
    GuardedCall call(state.calling ? state.operation : "load",
                     state.calling ? state.function : "the calling process");
    call.called = state.calling != 0;
    call.milliseconds = state.calling ? (monotonicNs() - state.callStartNs) / 1e6 : 0;
    const QString who = state.calling ? QString::fromLatin1(call.function)
                                      : QStringLiteral("the library, outside any call,");
    if (m_timedOut)
        call.findings << who + " did not return within " + seconds(state.callLimitMs) + " s";
    else if (WIFEXITED(how))
        call.findings << who + QStringLiteral(" ended the process with exit status %1")
                                   .arg(WEXITSTATUS(how));
    else if (WIFSIGNALED(how))
        call.findings << who + " crashed: " + signalName(WTERMSIG(how));
    call.standardOutput = m_strayOutput.takeOut();
    call.standardError = m_strayOutput.takeErr();
    if (call.called)
        state.tally.add(state.operation, state.function, Tally::BrokeContract, call.milliseconds);
    m_output.write(m_options.json ? jsonLine(call, m_options.showPin)
                                  : describe(call, m_options.showPin).toUtf8());
    m_ending = call.findings.value(0);
}

void Watcher::writeSummary()
{
    RunState &state = runState();
    RunSummary summary;
    summary.rounds = state.roundsDone;
    summary.roundsAsked = m_options.repeat;
    summary.stoppedBy = m_stopSignal;
    summary.ending = m_ending;
    if (state.roundStarted > state.roundsDone)
        summary.stoppedInRound = state.roundStarted;
    summary.atStart = state.usageAtStart;
    summary.atEnd = state.usageAtEnd;
    summary.figures = state.tally.figures();
    summary.library = state.library;
    m_output.write(m_options.json ? summaryJson(summary) : summaryTable(summary).toUtf8());
}
