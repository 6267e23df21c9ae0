#include "caller.h"

#include "guardpages.h"
#include "guide.h"
#include "operations.h"
#include "readerlibrary.h"

#include "judge/answers.h"
#include "report/output.h"
#include "report/privatefile.h"
#include "report/record.h"
#include "report/report.h"
#include "report/savedanswers.h"
#include "run/librarytext.h"
#include "run/runstate.h"

#include <QCoreApplication>

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

// Text kept in a field of the shared state, cut to fit; the watcher reads
// it within the field and escapes it.
template <std::size_t size>
void keep(char (&field)[size], const QByteArray &text)
{
    const std::size_t length = std::min(std::size_t(text.size()), size - 1);
    std::memcpy(field, text.constData(), length);
    field[length] = '\0';
}

bool stopping()
{
    return runState().stopRequested || runState().outputFailed || runState().ending[0];
}

// The library took the calling process's output away: the run cannot go on
// and say what it does, so it ends here, and the watcher names why.
void endRun(const QString &why)
{
    RunState &state = runState();
    keep(state.ending, why.toUtf8());
    state.status = ContractBroken;
}

// The exit status a call's outcome makes, kept if it is worse; what
// happened outside any call fails no call.
void noteStatus(Tally::Outcome outcome, bool outside)
{
    RunState &state = runState();
    if (outcome == Tally::BrokeContract)
        state.status = ContractBroken;
    else if ((outcome == Tally::Differs || outcome == Tally::Implausible)
             && state.status != ContractBroken)
        state.status = WrongAnswers;
    else if (outcome == Tally::Failed && !outside && state.status == Success)
        state.status = CallFailed;
}

// Counts one call in the run's figures and exit status.
void count(const CallRecord &call)
{
    recordCall(call);
    noteStatus(call.outcome(), call.outside);
}

// Reports one call as asked, and in the bundle; in a burn-in only the calls
// that went wrong are described for people, and the first that wrote to
// standard error: a library's warnings are said once, not hidden.
void show(const CallRecord &call, const Options &options, Output &output)
{
    static bool standardErrorShown = false;
    const bool warns = call.standardError.size > 0 && !standardErrorShown;
    standardErrorShown = standardErrorShown || call.standardError.size > 0;
    const bool described = options.repeat == 1 || call.outcome() != Tally::Succeeded || warns;
    const bool bundled = described && options.bundleTextFd >= 0;
    const QByteArray text =
        (described && !options.json) || bundled ? describe(call, options.showPin).toUtf8()
                                                : QByteArray();
    const QByteArray json = options.json || bundled ? jsonLine(call, options.showPin) : QByteArray();
    bool written = true;
    if (options.json)
        written = output.write(json);
    else if (described)
        written = output.write(text);
    if (bundled) {
        writeWhole(options.bundleTextFd, text.constData(), std::size_t(text.size()));
        writeWhole(options.bundleJsonFd, json.constData(), std::size_t(json.size()));
    }
    if (call.standardOutput.lost || call.standardError.lost)
        endRun(QString::fromLatin1(call.function)
               + " closed or replaced the calling process's descriptors");
    else if (!written && !output.lost().isEmpty())
        endRun(QString::fromLatin1(call.function) + ' ' + output.lost());
}

void report(const CallRecord &call, const Options &options, Output &output)
{
    count(call);
    show(call, options, output);
}

// The call's answer, saved as a line of the script --expect reads, as long
// as the file stays within what --expect reads.
void save(const CallRecord &call, const Options &options)
{
    static std::size_t saved = 0;
    if (options.saveAnswersFd < 0 || runState().answersCut)
        return;
    const QByteArray line = savedAnswerLine(call);
    if (saved + std::size_t(line.size()) > scriptLimit) {
        runState().answersCut = 1;
        return;
    }
    if (writeWhole(options.saveAnswersFd, line.constData(), std::size_t(line.size())))
        saved += std::size_t(line.size());
}

// Judges what the call's answers say, once it has kept its contract. A call
// that broke it still takes its expected answer, so that the next call of
// its function is compared with the next one.
void judge(CallRecord &call, Script &expected, const Options &options)
{
    if (!options.expectPath.isEmpty())
        compareWithExpected(call, expected, options.showPin);
    if (!call.findings.isEmpty())
        call.differences.clear();
    else if (options.plausibility)
        checkPlausibility(call);
}

// What the library did outside any call is shown as a call is, and kept
// for the watcher as findings about the run as a whole.
void reportOutside(const char *operation, const char *when, const Options &options,
                   Output &output)
{
    const GuardedCall record = GuardedCall::outsideCalls(operation, when);
    if (record.findings.isEmpty() && record.standardError.size == 0)
        return;
    RunState &state = runState();
    const std::size_t room = sizeof state.outside / sizeof state.outside[0];
    std::size_t kept = 0;
    for (const QString &finding : record.findings) {
        while (kept < room && state.outside[kept][0])
            ++kept;
        if (kept < room)
            keep(state.outside[kept], finding.toUtf8());
    }
    noteStatus(record.outcome(), true);
    show(record, options, output);
}

void pause(int milliseconds)
{
    using namespace std::chrono;
    const auto end = steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (auto now = steady_clock::now(); now < end && !stopping(); now = steady_clock::now())
        std::this_thread::sleep_for(std::min<steady_clock::duration>(end - now, std::chrono::milliseconds(50)));
}

bool loadLibrary(const QByteArray &path, int fd, ReaderLibrary &library, const Options &options,
                 Output &output)
{
    RunState &state = runState();
    beginCall("load", "loading the library", -1);
    QString why;
    const bool loaded = library.load(path, fd, why);
    endCall();
    // What it lacks, for the watcher to describe and judge; a library
    // described is described before anything else is said of it.
    if (loaded)
        state.lacking = ~library.exported & ((1u << readerFunctionCount) - 1);
    for (int i = 0; i < readerFunctionCount; ++i)
        keep(state.elsewhere[i], library.elsewhere[i]);
    state.loaded = 1;
    while (options.describeLibrary && !state.described && !stopping())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!loaded) {
        // The loader's words quote the library's own names, which may hold
        // anything: the watcher escapes them in its reports, in English.
        output.error(QCoreApplication::translate("Run", "cannot load the reader library %1: %2")
                         .arg(printable(path), printable(why.toUtf8())));
        keep(state.ending, "cannot load the reader library " + path + ": " + why.toLocal8Bit());
        state.status = ContractBroken;
        return false;
    }
    const QStringList missing = library.lacking();
    if (!missing.isEmpty()) {
        state.status = ContractBroken;
        output.error(QCoreApplication::translate(
                         "Run", "%1 lacks %2; the functions it has are still checked")
                         .arg(printable(path), missing.join(", ")));
    }
    return true;
}

// A session resumed: the steps already done count in this run's figures
// and take their expected answers, as if they had just been made.
void replay(const Commissioning &commissioning, Script &expected)
{
    RunState &state = runState();
    for (int i = 0; i < commissioning.session.next; ++i) {
        const StepState &step = commissioning.session.steps[i];
        if (step.state != StepState::Done || step.attempts.isEmpty())
            continue;
        const Attempt &last = step.attempts.last();
        const QByteArray &operation = commissioning.plan.steps[i].operation;
        Answer unused;
        expected.next(last.function.toStdString(), unused);
        state.tally.add(operation.constData(), last.function.constData(),
                        Tally::Outcome(last.outcome), last.milliseconds);
        for (const QPair<int, QString> &note : last.notes)
            state.notes.add(Notes::Kind(note.first), 1, operation.constData(), note.second);
        noteStatus(Tally::Outcome(last.outcome), false);
    }
}

// The steps of a commissioning from where its session stands. A step counts
// as its last attempt: a retry that reads the card mends the attempt that
// found none, which the session keeps all the same. A retry is compared
// with the same expected answer; a skipped step takes none.
void makeGuidedCalls(Commissioning &commissioning, const ReaderLibrary &library,
                     Script &expected, const Options &options, Output &output)
{
    const Plan &plan = commissioning.plan;
    Guide guide(plan, commissioning.session, commissioning.sessionPath, options.prompted,
                output, stopping);
    runState().roundStarted = 1;
    for (int i = commissioning.session.next; i < plan.steps.size(); ++i) {
        if (!plan.steps[i].fitted) {
            if (!guide.finish(i, StepState::NotFitted))
                return;
            continue;
        }
        const Operation *operation = findOperation(plan.steps[i].operation);
        const Script before = expected;
        QVector<CallRecord> last;
        bool lastShown = true;
        Guide::Choice choice = guide.before(i);
        while (choice == Guide::Run && !stopping()) {
            expected = before;
            GuardedCall call = operation->run(library, options.settings);
            judge(call, expected, options);
            last = {call};
            lastShown = guide.keep(i, call);
            if (!lastShown)
                break;
            show(call, options, output);
            choice = guide.after(i, call);
        }
        if (choice == Guide::Next) {
            count(last.first());
            save(last.first(), options);
        }
        const bool kept = choice == Guide::Skip ? guide.finish(i, StepState::Skipped)
            : choice == Guide::Next             ? guide.finish(i, StepState::Done)
                                                : false;
        if (choice == Guide::Skip)
            expected = before;
        if (!kept) {
            // A call made and left unfinished is still a call of this run.
            if (!lastShown)
                show(last.first(), options, output);
            if (choice != Guide::Next && !last.isEmpty())
                count(last.first());
            guide.leave();
            return;
        }
    }
    runState().roundsDone = 1;
}

} // namespace

void prepareCalls()
{
    GuardedCall::markForCopies();
}

void makeCalls(const Options &options, StrayOutput &strayOutput, const QByteArray &libraryPath,
               int libraryFd, Commissioning *commissioning)
{
    // The watcher's signals stop the run between calls; a watcher that dies
    // takes the calls with it. A file size limit the library lowers makes
    // a write fail, which is then named, rather than end the process.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE, SIGXFSZ})
        std::signal(signal, SIG_IGN);
    std::signal(SIGCHLD, SIG_DFL);

    RunState &state = runState();
    // Set up before the output is diverted, so that a failure is seen.
    if (!GuardPages::setUp() || !strayOutput.divert()) {
        failedBecause(QT_TRANSLATE_NOOP("Run", "cannot prepare the calls"));
        state.status = CallFailed;
        state.finished = 1;
        _exit(0);
    }
    Output output(strayOutput.programOut(), strayOutput.programErr());
    output.besideProgress(progressShown(options, strayOutput.programErr()));
    GuardedCall::watchLibrary(&strayOutput);

    ReaderLibrary library;
    if (loadLibrary(libraryPath, libraryFd, library, options, output)) {
        reportOutside("load", "at load", options, output);
        // The resources are for the summary of a burn-in or a stored
        // result; a single call read by people does without them.
        const bool summarised = options.json || options.repeat > 1
            || !options.expectPath.isEmpty() || !options.junitPath.isEmpty()
            || !options.htmlPath.isEmpty() || options.guided || !options.bundlePath.isEmpty();
        if (summarised)
            state.usageAtStart = usageOf(getpid());
        QVector<const Operation *> plan;
        for (const QByteArray &name : options.operations)
            plan << findOperation(name);
        // Each call takes the next expected answer for its function.
        Script expected = options.expected;
        if (commissioning)
            replay(*commissioning, expected);
        bool opened = true;
        // A session whose steps are all done is only finishing its record.
        const bool finished =
            commissioning && commissioning->session.next >= commissioning->plan.steps.size();
        if (options.open && !options.operations.isEmpty() && !finished && !stopping()) {
            GuardedCall open = openDevice(library, options.settings);
            judge(open, expected, options);
            report(open, options, output);
            save(open, options);
            opened = open.ok() || !open.called;
        }
        if (commissioning && opened)
            makeGuidedCalls(*commissioning, library, expected, options, output);
        for (int round = 1; !commissioning && opened && round <= options.repeat && !stopping();
             ++round) {
            state.roundStarted = round;
            bool whole = true;
            for (const Operation *operation : plan) {
                if (stopping()) {
                    whole = false;
                    break;
                }
                GuardedCall call = operation->run(library, options.settings);
                judge(call, expected, options);
                report(call, options, output);
                save(call, options);
            }
            if (whole)
                state.roundsDone = round;
            if (round < options.repeat)
                pause(options.pauseMs);
        }
        if (!state.ending[0])
            reportOutside("after-calls", "after the last call", options, output);
        if (summarised)
            state.usageAtEnd = usageOf(getpid());
    }
    state.finished = 1;
    _exit(0);
}
