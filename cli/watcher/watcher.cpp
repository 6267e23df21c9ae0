#include "watcher.h"

#include "metrics.h"

#include "caller/guide.h"
#include "report/htmlreport.h"
#include "report/junitreport.h"
#include "report/privatefile.h"
#include "report/record.h"
#include "report/report.h"
#include "report/verdict.h"
#include "run/librarytext.h"
#include "run/runstate.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>

#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The signals caught since the start, each with the process that sent it
// and the function called last; the last few are kept for the watcher's
// loop to judge.
struct Caught
{
    int signal;
    pid_t sender;   // 0: told by no one we can trust
    char function[sizeof RunState::function];
};
const int keptSignals = 8;
Caught caught[keptSignals];
volatile std::sig_atomic_t signalsCaught = 0;

extern "C" void onStopSignal(int signal, siginfo_t *info, void *)
{
    Caught &entry = caught[signalsCaught % keptSignals];
    entry.signal = signal;
    // kill(), tgkill() and the terminal fill in the sender; sigqueue() lets
    // the sender write any number there.
    const bool told = info && (info->si_code == SI_USER || info->si_code == SI_TKILL);
    entry.sender = !info || info->si_code == SI_KERNEL ? 0 : told ? info->si_pid : -1;
    // The call that started last: a signal sent in a call may reach this
    // process only once the call has returned.
    std::memcpy(entry.function, runState().function, sizeof entry.function);
    signalsCaught = signalsCaught + 1;
}

// Wakes the watcher's sleep as soon as the calling process ends.
extern "C" void onChildEnded(int) {}

QString seconds(long long milliseconds)
{
    return milliseconds % 1000 ? QString::number(milliseconds / 1000.0, 'f', 3)
                               : QString::number(milliseconds / 1000);
}

// A text from the shared state, which the library can write: read within
// its size, and escaped, as all library text is.
template <std::size_t size>
QString shared(const char (&text)[size])
{
    return printable(QByteArray(text, int(qstrnlen(text, size))));
}

pid_t parentOf(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The command name may hold spaces and parentheses: the fields that
    // follow it start after its last ')'.
    const std::size_t end = line.rfind(')');
    if (end == std::string::npos || end + 4 >= line.size())
        return 0;
    return pid_t(std::atol(line.c_str() + end + 4));
}

// This process's children: the calling process, and whatever the library
// left that was handed to this process when its parent ended.
std::vector<pid_t> children()
{
    std::vector<pid_t> pids;
    const std::string self = std::to_string(getpid());
    std::ifstream list("/proc/" + self + "/task/" + self + "/children");
    if (list) {
        for (long pid; list >> pid;)
            pids.push_back(pid_t(pid));
        return pids;
    }
    if (DIR *proc = opendir("/proc")) {
        while (const dirent *entry = readdir(proc)) {
            const pid_t pid = pid_t(std::atol(entry->d_name));
            if (pid > 0 && parentOf(pid) == getpid())
                pids.push_back(pid);
        }
        closedir(proc);
    }
    return pids;
}

// A pipe whose reader has gone: only then does the run end quietly by
// SIGPIPE, whatever the shared state says.
bool readerGone()
{
    pollfd out = {STDOUT_FILENO, POLLOUT, 0};
    return poll(&out, 1, 0) == 1 && (out.revents & POLLERR);
}

} // namespace

Watcher::Watcher(const Options &options, StrayOutput &strayOutput, LibraryIdentity &library,
                 const Commissioning *commissioning)
    : m_options(options)
    , m_strayOutput(strayOutput)
    , m_library(library)
    , m_commissioning(commissioning)
    , m_output(STDOUT_FILENO, STDERR_FILENO)
    , m_startTimeMs(runState().startTimeMs)
    , m_startNs(runState().startNs)
    , m_deadlineNs(options.durationMs > 0 ? m_startNs + options.durationMs * 1000000 : 0)
    , m_progress(options, m_output, m_startNs, m_deadlineNs)
    , m_quietBrokenPipe(runState().quietBrokenPipe != 0)
{
    // The longest any call of this run may take: what --timeout says, or
    // the longest wait an operation hands the library (the PIN pad's 20 s,
    // the scan's --seconds) plus the margin, and never less than what a call
    // given no wait is allowed.
    const long long longestWaitMs = std::max(20000, options.settings.scannerMilliseconds);
    m_ownLimitMs = options.timeoutSeconds >= 0
        ? options.timeoutSeconds * 1000LL
        : std::max(watchdogNoWaitMs, longestWaitMs + watchdogMarginMs);
}

void Watcher::catchSignals()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = onStopSignal;
    action.sa_flags = SA_SIGINFO;
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
    action.sa_flags = 0;
    action.sa_handler = onChildEnded;
    sigaction(SIGCHLD, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // A copy of the calling process, or a process the library started, is
    // handed to this one when its parent ends, so that none outlives the run.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
}

bool Watcher::prepare()
{
    // Read through, and hashed, only where it will be shown: a maker's
    // library may be many megabytes, and a terminal hashes slowly.
    const bool shown = m_options.describeLibrary || m_options.json
        || !m_options.metricsPath.isEmpty() || !m_options.bundlePath.isEmpty()
        || !m_library.unusable.isEmpty();
    // Its identity is read before any of its code runs, the simulated
    // reader's mark with it, which every verdict names.
    if (shown)
        readLibraryFile(m_library, [] { return signalsCaught > 0; });
    else
        readLibraryElf(m_library);
    if (m_library.fd < 0 || fstat(m_library.fd, &m_atStart) != 0)
        std::memset(&m_atStart, 0, sizeof m_atStart);
    // Described once the calling process has loaded it, which alone knows
    // where the loader finds what the file lacks; at once where nothing will.
    m_describing = m_options.describeLibrary;
    if (m_library.unusable.isEmpty())
        return true;
    describeLibraryIfAsked();
    m_ending = "the library cannot be loaded: " + m_library.unusable;
    m_output.error(m_library.path.isEmpty()
                       ? QCoreApplication::translate("Run", "cannot load the reader library %1")
                             .arg(m_library.unusable)
                       : QCoreApplication::translate("Run", "cannot load the reader library %1: %2")
                             .arg(printable(m_library.path), m_library.unusable));
    m_status = ContractBroken;
    return false;
}

int Watcher::run(pid_t caller)
{
    m_caller = caller;
    RunState &state = runState();
    int how = 0;
    for (;;) {
        const pid_t ended = caller > 0 ? waitpid(caller, &how, WNOHANG) : -1;
        if (ended != 0 && !(ended == caller && WIFSTOPPED(how)))
            break;
        // Stopped as a traced process: the library made this one its tracer.
        if (ended == caller) {
            m_findings << shared(state.function) + " made cardreader-cli its tracer (ptrace)";
            kill(caller, SIGKILL);
            continue;
        }
        // Not held past a second by a library whose loading hangs: the file
        // is described without where the loader finds what it lacks.
        if (m_describing && (state.loaded || monotonicNs() - m_startNs > 1000000000LL))
            describeLibraryIfAsked();
        poll(nullptr, 0, 50);
        onSignals();
        onWatchdog();
        onDeadline();
        updateMetrics(false);
        m_progress.update();
    }
    m_endTimeMs = QDateTime::currentMSecsSinceEpoch();
    m_elapsedMs = (monotonicNs() - m_startNs) / 1000000;
    m_output.clearProgress();
    describeLibraryIfAsked();
    onSignals();
    endLeftovers();

    // The calling process sets only these; anything else is the library's.
    const int told = state.status;
    int status = worse(m_status, told == Success || told == CallFailed || told == WrongAnswers
                                     ? told
                                     : ContractBroken);
    // The calling process ends with status 0 once it has said it finished;
    // anything else is the library's doing, whatever it wrote to say.
    const bool ended = caller > 0 && state.finished && WIFEXITED(how) && WEXITSTATUS(how) == 0;
    if (caller > 0 && !ended) {
        status = worse(status, reportLostCall(how) ? ContractBroken : CallFailed);
    }
    if (state.copied[0])
        m_findings << shared(state.copied) + " forked the calling process";
    // Found at load and after the last call, outside every operation's
    // figures: the verdict rests on them as on any finding. A function the
    // library does not define is one the window cannot take from it, as its
    // file or its loading says.
    for (const auto &finding : state.outside) {
        if (finding[0])
            m_findings << shared(finding);
    }
    takeWhatItLacks();
    const unsigned lacking = ((m_library.exportsKnown ? ~m_library.exported : 0u)
                              | (state.loaded ? state.lacking : 0u))
        & ((1u << readerFunctionCount) - 1);
    if (lacking && m_library.unusable.isEmpty())
        m_findings.prepend(printable(m_library.path) + " lacks "
                           + lackedFunctions(lacking, m_library.elsewhere).join(", "));
    if (state.ending[0]) {
        m_ending = shared(state.ending);
        status = worse(status, ContractBroken);
    }
    // A stored JSON result and a report always say what they were run
    // against.
    const bool reported = !m_options.junitPath.isEmpty() || !m_options.htmlPath.isEmpty();
    const bool hashed = m_options.json || m_options.repeat > 1 || m_options.durationMs > 0
        || !m_ending.isEmpty()
        || m_stopSignal || !m_findings.isEmpty() || !m_options.expectPath.isEmpty();
    if (hashed || reported)
        hashIfUnchanged();
    // Every run that made calls closes with its summary and verdict, a single
    // read as a burn-in; its library is hashed only where it was before, as
    // a large one takes a while.
    const bool summarised = hashed || !m_options.operations.isEmpty();
    if (!m_findings.isEmpty())
        status = worse(status, ContractBroken);
    if (m_stopSignal)
        status = worse(status, StoppedBySignal + m_stopSignal);
    updateMetrics(true);
    RunSummary summary = summaryOfRun();
    if (!saveAnswers(summary))
        status = worse(status, OutputFailed);
    // What the calling process could not write (its output, the session) is
    // known now, and the verdict says it.
    if (state.outputFailed)
        status = worse(status, OutputFailed);
    summary.exitStatus = status;
    const Verdict verdict = verdictOf(summary, Audience::People);
    const QString table = summaryTable(summary);
    if (summarised && m_options.json) {
        m_output.write(summaryJson(summary));
    } else if (summarised) {
        // Coloured for a person at a terminal who has not asked otherwise.
        const bool colour = isatty(STDOUT_FILENO) && qEnvironmentVariableIsEmpty("NO_COLOR")
            && qgetenv("TERM") != "dumb";
        m_output.write((table + verdictLine(verdict, colour) + '\n').toUtf8());
    }
    if (m_options.bundleTextFd >= 0) {
        const QByteArray text = (table + verdict.line + '\n').toUtf8();
        const QByteArray json = summaryJson(summary);
        if (!writeWhole(m_options.bundleTextFd, text.constData(), std::size_t(text.size()))
            || !writeWhole(m_options.bundleJsonFd, json.constData(), std::size_t(json.size())))
            m_output.error(QCoreApplication::translate("Run", "cannot write the bundle %1")
                               .arg(m_options.bundlePath));
    }
    if (state.outputFailed || m_output.failed() || m_metricsFailed)
        status = worse(status, OutputFailed);
    // The reports say the status the run ends with: a reader of the output
    // that went away ends it as it ends any program, by SIGPIPE.
    const bool quietEnd = state.outputFailed == EPIPE && m_quietBrokenPipe && readerGone();
    summary.exitStatus = quietEnd ? StoppedBySignal + SIGPIPE : status;
    if (!writeReports(summary))
        status = worse(status, OutputFailed);
    summary.exitStatus = status;
    m_summary = summary;
    if (quietEnd) {
        std::signal(SIGPIPE, SIG_DFL);
        std::raise(SIGPIPE);
    }
    return status;
}

// Where the loader finds each function the file does not define, as the
// calling process found on loading it: said for people only, as the
// library could have written it.
void Watcher::takeWhatItLacks()
{
    RunState &state = runState();
    for (int i = 0; i < readerFunctionCount; ++i)
        m_library.elsewhere[i] = state.loaded ? shared(state.elsewhere[i]) : QString();
}

// The library's identity, shown first where asked; the calling process
// makes no call until it is.
void Watcher::describeLibraryIfAsked()
{
    if (!m_describing)
        return;
    m_describing = false;
    takeWhatItLacks();
    m_output.write(m_options.json ? libraryJsonLine(m_library)
                                  : describeLibrary(m_library).toUtf8());
    runState().described = 1;
}

void Watcher::onSignals()
{
    RunState &state = runState();
    if (signalsCaught - m_signalsHandled > keptSignals)
        m_signalsHandled = signalsCaught - keptSignals;
    for (; m_signalsHandled < signalsCaught; ++m_signalsHandled) {
        const Caught &signal = caught[m_signalsHandled % keptSignals];
        if (fromLibrary(signal.sender)) {
            const QString who = signal.function[0] ? shared(signal.function)
                                                   : QStringLiteral("the library, outside any call,");
            const QString finding = who + " sent " + signalName(signal.signal) + " to cardreader-cli";
            m_findings << finding;
            m_output.error(QCoreApplication::translate("Run", "%1; the run goes on").arg(finding));
            continue;
        }
        m_stopSignal = signal.signal;
        // Kept here rather than read back from the shared state, which the
        // time limit sets too, and the library can write.
        if (!m_stopAsked) {
            m_stopAsked = true;
            state.stopRequested = 1;
            m_output.error(QCoreApplication::translate(
                "Run", "stopping after the current call; Ctrl-C again stops now"));
            continue;
        }
        // Between calls the calling process stops by itself before the next;
        // one that has not within a second, whatever its shared state says,
        // is stopped all the same.
        if (!m_stoppedNow && state.calling)
            stopNow();
        else if (!m_stoppedNow && m_stopDeadlineNs == 0)
            m_stopDeadlineNs = monotonicNs() + 1000000000LL;
    }
}

// The calling process, or any process that descends from it; or a sender
// that could have named itself as anyone, which only a program would do.
bool Watcher::fromLibrary(pid_t sender) const
{
    if (sender < 0)
        return true;
    if (sender == 0 || sender == getpid())
        return false;
    pid_t pid = sender;
    for (int depth = 0; depth < 64 && pid > 1; ++depth) {
        if (pid == m_caller)
            return true;
        pid = parentOf(pid);
        if (pid == getpid())
            return true;
    }
    return false;
}

// The limit and the start the calling process wrote are the library's to
// change: the limit is held to this process's own bound for the run, and the
// call is timed from when this process first saw it.
void Watcher::stopNow()
{
    m_stoppedNow = true;
    runState().usageAtEnd = usageOf(m_caller);
    kill(m_caller, SIGKILL);
}

void Watcher::onWatchdog()
{
    RunState &state = runState();
    const long long now = monotonicNs();
    if (m_stopDeadlineNs && !m_stoppedNow && now >= m_stopDeadlineNs)
        stopNow();
    if (!state.calling) {
        m_callSeenAtNs = 0;
        return;
    }
    // Timed from when this process first saw the call: the start the
    // calling process wrote may be anything, its last call's included.
    if (m_callSeenAtNs == 0 || state.callStartNs != m_callSeen) {
        m_callSeen = state.callStartNs;
        m_callSeenAtNs = now;
    }
    long long limitMs = state.callLimitMs;
    if (m_ownLimitMs > 0 && (limitMs <= 0 || limitMs > m_ownLimitMs))
        limitMs = m_ownLimitMs;
    if (m_timedOut || m_ownLimitMs == 0 || now - m_callSeenAtNs < limitMs * 1000000)
        return;
    m_timedOut = true;
    m_timedOutMs = limitMs;
    state.usageAtEnd = usageOf(m_caller);
    kill(m_caller, SIGKILL);
}

// Once the time is up no call starts, as after a first Ctrl-C, but the run
// ends as planned. Asked again at every turn: the library can clear it.
void Watcher::onDeadline()
{
    if (m_deadlineNs == 0 || (!m_timeUp && monotonicNs() < m_deadlineNs))
        return;
    m_timeUp = true;
    runState().stopRequested = 1;
}

// After every round, at most four times a second: a scrape comes every few
// seconds, and a fast burn-in makes thousands of rounds in one.
void Watcher::updateMetrics(bool finished)
{
    if (m_options.metricsPath.isEmpty() || m_metricsFailed)
        return;
    const RunState &state = runState();
    const unsigned changes = state.tally.changes() + unsigned(state.roundsDone);
    if (!finished
        && (changes == m_metricsChanges || monotonicNs() - m_metricsWrittenNs < 250 * 1000000LL))
        return;
    m_metricsChanges = changes;
    m_metricsWrittenNs = monotonicNs();
    QString why;
    const long long elapsedMs = finished ? m_elapsedMs : (monotonicNs() - m_startNs) / 1000000;
    if (!writeMetrics(m_options, m_library, {m_startTimeMs, m_endTimeMs, elapsedMs}, why)) {
        m_metricsFailed = true;
        m_output.error(QCoreApplication::translate("Run", "cannot write the metrics to %1: %2")
                           .arg(m_options.metricsPath, why));
    }
}

// The SHA-256 of a library that was not hashed before its code ran, for the
// summary, where the file can be vouched for as it was then.
void Watcher::hashIfUnchanged()
{
    const int caughtBefore = signalsCaught;
    if (hashAfterRun(m_library, m_atStart, m_startTimeMs,
                     [caughtBefore] { return signalsCaught > caughtBefore; })
        == LaterHash::Changed)
        m_findings << QStringLiteral("the library file was changed during the run; its SHA-256 "
                                     "is not given");
}

// None of the processes the library made may outlive the run, nor keep
// writing after its summary.
void Watcher::endLeftovers()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const pid_t ended = waitpid(-1, nullptr, WNOHANG);
        if (ended < 0)
            return;
        if (ended > 0)
            continue;
        for (pid_t child : children())
            kill(child, SIGKILL);
        poll(nullptr, 0, 10);
    }
}

// The call the calling process was in when it ended, or the watchdog or a
// second Ctrl-C stopped it: named, reported like any call, counted once.
// True when it is a breach of the contract.
bool Watcher::reportLostCall(int how)
{
    RunState &state = runState();
    const bool inCall = state.calling != 0;
    const QByteArray operation = shared(state.operation).toUtf8();
    const QByteArray function = shared(state.function).toUtf8();
    CallRecord call(inCall ? operation.constData() : "outside",
                     inCall ? function.constData() : "the library");
    call.called = inCall;
    call.outside = !inCall;
    call.milliseconds = inCall ? (monotonicNs() - state.callStartNs) / 1e6 : 0;
    const QString who = inCall ? QString::fromUtf8(function)
                               : QStringLiteral("the library, outside any call,");
    // The operator's stop may end the calling process itself, through a
    // handler of the library's own: that is no breach of its contract. The
    // call counts in no figure, as it never ended: its time is shown apart.
    const bool stopped = m_stoppedNow
        || (m_stopSignal && !m_timedOut
            && (WIFEXITED(how) || (WIFSIGNALED(how) && WTERMSIG(how) == m_stopSignal)));
    if (stopped)
        call.stopped = inCall;
    else if (m_timedOut)
        call.findings << who + " did not return within " + seconds(m_timedOutMs) + " s";
    else if (WIFEXITED(how))
        call.findings << who + QStringLiteral(" ended the process with exit status %1")
                                   .arg(WEXITSTATUS(how));
    else if (WIFSIGNALED(how))
        call.findings << who + " crashed: " + signalName(WTERMSIG(how));
    m_strayOutput.takeAfterEnd(call.standardOutput, call.standardError);
    if (call.stopped) {
        m_stoppedCall = QString::fromUtf8(operation) + " (" + who + ')';
        m_stoppedCallMs = call.milliseconds;
    } else {
        recordCall(call);
    }
    if (call.called || !call.findings.isEmpty() || call.standardError.size > 0)
        m_output.write(m_options.json ? jsonLine(call, m_options.showPin)
                                      : describe(call, m_options.showPin).toUtf8());
    if (call.called && !call.stopped)
        keepLostAttempt(call);
    m_ending = call.findings.value(0);
    return !call.findings.isEmpty();
}

// The answers the calling process wrote, put in their place, whatever became
// of it: a run cut short keeps what it saved, and says it is no known-good set.
bool Watcher::saveAnswers(RunSummary &summary)
{
    if (m_options.saveAnswersFd < 0)
        return true;
    QString why;
    if (!finishPrivateFile(m_options.saveAnswersPath, m_options.saveAnswersFd,
                           m_options.saveAnswersTemporary, true, why)) {
        m_output.error(QCoreApplication::translate("Run", "cannot write the answers to %1: %2")
                           .arg(m_options.saveAnswersPath, why));
        return false;
    }
    summary.savedAnswers = m_options.saveAnswersPath;
    summary.savedAnswersCut = runState().answersCut != 0;
    return true;
}

// A guided step whose call never came back is an attempt the session keeps:
// resumed, the step is offered again, with the crash or the hang on record.
// The technician is told what it means and how to go on.
void Watcher::keepLostAttempt(const CallRecord &call)
{
    Session session;
    QString why;
    if (!m_commissioning || !loadSession(m_commissioning->sessionPath, session, why)
        || session.next >= session.steps.size()
        || m_commissioning->plan.steps[session.next].operation != call.operation)
        return;
    session.steps[session.next].attempts << attemptOf(call);
    if (!saveSession(m_commissioning->sessionPath, session, why)) {
        m_output.error(QCoreApplication::translate("Session", "cannot save the session to %1: %2")
                           .arg(m_commissioning->sessionPath, why));
        return;
    }
    // A hang may be the device's as well as the library's: the reader lost
    // its power or its cable, which the technician can see to.
    const QString advice = m_timedOut
        ? QCoreApplication::translate("Session", "The call did not return in time: the reader or "
                                                 "its library hangs. See that the reader is "
                                                 "connected and powered, then resume to try again.")
        : adviceFor(call);
    m_output.error(advice + ' ' + resumeHint(session, m_options.bundlePath));
}

// What the session says of its steps, as the calling process kept it.
void Watcher::addSession(RunSummary &summary) const
{
    summary.planPath = m_options.planPath.isEmpty() ? QStringLiteral("plan.txt") : m_options.planPath;
    summary.planSha256 = m_commissioning->plan.sha256;
    Session session;
    QString why;
    if (!loadSession(m_commissioning->sessionPath, session, why))
        return;
    for (int i = 0; i < session.steps.size() && i < m_commissioning->plan.steps.size(); ++i) {
        const QString operation = QString::fromLatin1(m_commissioning->plan.steps[i].operation);
        const StepState &step = session.steps[i];
        if (step.state == StepState::Skipped)
            summary.skipped << operation + ": " + step.reason;
        if (step.state == StepState::NotFitted)
            summary.notFitted << operation;
        for (const QString &comment : step.comments)
            summary.comments << operation + ": " + comment;
    }
    summary.stepsLeft = session.steps.size() - session.next;
}

RunSummary Watcher::summaryOfRun() const
{
    RunState &state = runState();
    RunSummary summary;
    summary.rounds = state.roundsDone;
    summary.roundsAsked = m_options.repeat == unboundedRounds ? 0 : m_options.repeat;
    summary.timeLimitMs = m_options.durationMs;
    // Not when the rounds were done as the time ran out.
    summary.timeUp = m_timeUp && (summary.roundsAsked == 0 || summary.rounds < summary.roundsAsked);
    summary.stoppedBy = m_stopSignal;
    summary.ending = m_ending;
    summary.stoppedCall = m_stoppedCall;
    summary.stoppedCallMs = m_stoppedCallMs;
    summary.findings = m_findings;
    if (state.roundStarted > state.roundsDone)
        summary.stoppedInRound = state.roundStarted;
    summary.atStart = state.usageAtStart;
    summary.atEnd = state.usageAtEnd;
    summary.figures = state.tally.figures();
    summary.library = m_library;
    summary.host = QSysInfo::machineHostName();
    summary.startTimeMs = m_startTimeMs;
    summary.endTimeMs = m_endTimeMs;
    summary.elapsedMs = m_elapsedMs;
    summary.deviceType = m_options.settings.deviceType;
    summary.regionCode = m_options.settings.regionCode;
    summary.plausibility = m_options.plausibility;
    summary.notes = &state.notes;
    summary.timeline = &state.timeline;
    summary.operatorName = m_options.operatorName;
    summary.workOrder = m_options.workOrder;
    summary.bundlePath = m_options.bundlePath;
    if (m_commissioning)
        addSession(summary);
    if (!m_options.expectPath.isEmpty()) {
        summary.expectPath = printable(m_options.expectPath);
        summary.expectSha256 = m_options.expectSha256;
        for (const Tally::Figures &f : summary.figures) {
            const QString function = printable(f.function);
            if (!m_options.expected.names(f.function) && !summary.notCompared.contains(function))
                summary.notCompared << function;
        }
    }
    return summary;
}

// Each report asked for, whole; a report that cannot be written is said
// once, and the run's exit status says so, as the other report then does.
bool Watcher::writeReports(RunSummary &summary)
{
    const std::pair<const QString *, QByteArray (*)(const RunSummary &)> reports[] = {
        {&m_options.junitPath, junitReport}, {&m_options.htmlPath, htmlReport}};
    bool failed = false;
    bool written[2] = {};
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < 2; ++i) {
            const QString &path = *reports[i].first;
            if (path.isEmpty() || (pass == 1 && !written[i]))
                continue;
            QString why;
            written[i] = writePrivateFile(path, reports[i].second(summary), why);
            if (!written[i]) {
                m_output.error(QCoreApplication::translate("Run", "cannot write the report %1: %2")
                                   .arg(path, why));
                failed = true;
            }
        }
        const int status = worse(summary.exitStatus, OutputFailed);
        if (!failed || summary.exitStatus == status)
            break;
        summary.exitStatus = status;
    }
    return !failed;
}
