#include "guide.h"

#include "report/language.h"
#include "report/report.h"
#include "run/librarytext.h"
#include "run/runstate.h"
#include "run/tally.h"

#include <QCoreApplication>

#include <poll.h>
#include <unistd.h>

#include <cerrno>

QString adviceFor(const CallRecord &call)
{
    // A failed read differs from an expected answer too, but it is the
    // reader's failure the technician can act on.
    if (call.outcome() == Tally::BrokeContract)
        return QCoreApplication::translate(
            "Session", "The library broke its contract: retrying cannot mend this. Keep the "
                       "bundle and report it to the library's maker.");
    if (call.returned && call.result != 0)
        return QCoreApplication::translate(
            "Session", "The reader read nothing: no card was found, it was not presented in "
                       "time, or the device did not answer. Present the card as asked, then "
                       "retry at once.");
    if (call.outcome() == Tally::Differs)
        return QCoreApplication::translate(
            "Session", "The card was read, but not as the expected answers say. Is it the "
                       "right test card? With the wrong one, present the right card and retry; "
                       "with the right one, the terminal fails this step.");
    return QCoreApplication::translate(
        "Session", "The answer cannot come from a genuine card. Retry once; if it stays, the "
                   "reader or its library is at fault.");
}

Guide::Guide(const Plan &plan, Session &session, const QString &sessionPath, bool prompted,
             Output &output, std::function<bool()> stopping)
    : m_plan(plan)
    , m_session(session)
    , m_sessionPath(sessionPath)
    , m_prompted(prompted)
    , m_output(output)
    , m_stopping(stopping)
{
}

QString Guide::header(int step) const
{
    return '\n'
        + QCoreApplication::translate("Session", "Step %1 of %2: %3")
              .arg(step + 1)
              .arg(m_plan.steps.size())
              .arg(operationLabel(QString::fromLatin1(m_plan.steps[step].operation)))
        + '\n';
}

// A line typed at the terminal. False when none will come: standard input
// has ended or failed (the connection is gone), or the run is stopping.
bool Guide::readLine(QString &line)
{
    for (;;) {
        const int newline = m_pending.indexOf('\n');
        if (newline >= 0) {
            line = QString::fromUtf8(m_pending.left(newline)).trimmed();
            m_pending.remove(0, newline + 1);
            return true;
        }
        if (m_stopping())
            return false;
        pollfd in = {STDIN_FILENO, POLLIN, 0};
        if (poll(&in, 1, 100) <= 0)
            continue;
        char bytes[256];
        const ssize_t got = read(STDIN_FILENO, bytes, sizeof bytes);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (got <= 0)
            return false;
        m_pending.append(bytes, int(got));
    }
}

// Asks until a key that moves on is given; comments are taken on the way.
Guide::Choice Guide::choose(int step, const QString &keys, bool retry)
{
    StepState &state = m_session.steps[step];
    for (;;) {
        m_output.ask("> " + keys + ' ');
        QString line;
        if (!readLine(line))
            return Quit;
        if (line.isEmpty())
            return retry ? Next : Run;
        if (line == "r" && retry)
            return Run;
        if (line == "q")
            return Quit;
        if (line == "c") {
            m_output.ask(QCoreApplication::translate("Session", "Comment: "));
            QString comment;
            if (!readLine(comment))
                return Quit;
            if (!comment.isEmpty()) {
                state.comments << comment;
                if (!save())
                    return Quit;
            }
            continue;
        }
        if (line == "s") {
            if (!m_plan.steps[step].optional) {
                m_output.ask(QCoreApplication::translate(
                                 "Session", "This step may not be skipped: the plan needs it.")
                             + '\n');
                continue;
            }
            QString reason;
            while (reason.isEmpty()) {
                m_output.ask(QCoreApplication::translate("Session", "Why is it skipped? "));
                if (!readLine(reason))
                    return Quit;
            }
            state.reason = reason;
            return Skip;
        }
        m_output.ask(QCoreApplication::translate("Session", "Unknown key \"%1\".")
                         .arg(printable(line.toUtf8()))
                     + '\n');
    }
}

Guide::Choice Guide::before(int step)
{
    const PlanStep &planned = m_plan.steps[step];
    if (!m_prompted)
        return Run;
    m_output.ask(header(step));
    // A step that needs nobody runs at once.
    if (planned.prompt.isEmpty())
        return Run;
    const QString prompt =
        QCoreApplication::translate("Plan", planned.prompt.toUtf8().constData());
    m_output.ask("  " + printable(prompt.toUtf8()) + '\n');
    const QString keys = planned.optional
        ? QCoreApplication::translate("Session",
                                      "Enter: run   s: skip   c: comment   q: save and leave")
        : QCoreApplication::translate("Session", "Enter: run   c: comment   q: save and leave");
    return choose(step, keys, false);
}

bool Guide::keep(int step, const CallRecord &call)
{
    StepState &state = m_session.steps[step];
    state.attempts << attemptOf(call);
    // One that ends its step ends it in the same write: a power cut after
    // it leaves nothing to make again.
    if (!m_prompted || call.outcome() == Tally::Succeeded) {
        state.state = StepState::Done;
        m_session.next = step + 1;
    }
    return save();
}

Guide::Choice Guide::after(int step, const CallRecord &call)
{
    if (m_session.steps[step].state == StepState::Done)
        return Next;
    m_output.ask("  " + adviceFor(call) + '\n');
    const QString keys = m_plan.steps[step].optional
        ? QCoreApplication::translate(
              "Session", "r: retry   Enter: go on   s: skip   c: comment   q: save and leave")
        : QCoreApplication::translate("Session",
                                      "r: retry   Enter: go on   c: comment   q: save and leave");
    return choose(step, keys, true);
}

bool Guide::finish(int step, StepState::State state)
{
    if (m_session.steps[step].state == state && m_session.next == step + 1)
        return true;
    m_session.steps[step].state = state;
    m_session.next = step + 1;
    return save();
}

QString resumeHint(const Session &session, const QString &folder)
{
    return QCoreApplication::translate("Session", "The session is saved at step %1 of %2. To go "
                                                  "on: cardreader-cli commission --resume %3")
        .arg(session.next + 1)
        .arg(session.steps.size())
        .arg(printable(folder.toUtf8()));
}

void Guide::leave()
{
    if (m_session.next < m_session.steps.size() && !m_saveFailed)
        m_output.error(resumeHint(m_session, m_sessionPath.left(m_sessionPath.lastIndexOf('/'))));
}

// A session that cannot be kept would be lost at the next power cut: it
// ends here, says so, and the run ends as one whose output failed.
bool Guide::save()
{
    QString why;
    if (saveSession(m_sessionPath, m_session, why))
        return true;
    m_saveFailed = true;
    runState().outputFailed = EIO;
    m_output.error(QCoreApplication::translate("Session", "cannot save the session to %1: %2")
                       .arg(m_sessionPath, why));
    return false;
}
