#ifndef CLI_GUIDE_H
#define CLI_GUIDE_H

#include "report/output.h"
#include "run/callrecord.h"
#include "session/plan.h"
#include "session/sessionfile.h"

#include <QString>

#include <functional>

// A technician's way through a commissioning: before each step that needs
// them, what to do and which keys do what; after a step that went wrong,
// what it means and what to try. Every attempt, skip and comment is kept
// in the session file as soon as it is made. Keys are read a line at a
// time, as a terminal over SSH sends them: Enter runs or goes on, r
// retries, s skips with a reason, c adds a comment, q saves and leaves.
class Guide
{
public:
    enum Choice { Run, Next, Skip, Quit };

    // Unprompted, every step runs once and the session goes on.
    Guide(const Plan &plan, Session &session, const QString &sessionPath, bool prompted,
          Output &output, std::function<bool()> stopping);

    // Before a step: Run, Skip (the reason taken) or Quit.
    Choice before(int step);
    // Keeps an attempt as soon as it is made, and ends its step with it
    // where nobody need choose: unprompted, or the call went well. False
    // when the session cannot be kept, which ends it.
    bool keep(int step, const CallRecord &call);
    // After an attempt: Next where it ended its step; else what it means,
    // and Run again, Next, Skip or Quit.
    Choice after(int step, const CallRecord &call);
    // The step is over, as the technician chose; the session moves on.
    // False when the session cannot be kept.
    bool finish(int step, StepState::State state);
    // How to go on from here, once the technician leaves.
    void leave();

private:
    QString header(int step) const;
    bool readLine(QString &line);
    Choice choose(int step, const QString &keys, bool retry);
    bool save();

    const Plan &m_plan;
    Session &m_session;
    QString m_sessionPath;
    bool m_prompted;
    Output &m_output;
    std::function<bool()> m_stopping;
    QByteArray m_pending;  // read past the last line
    bool m_saveFailed = false;
};

// What a failed attempt means and what to try, in a line or two.
QString adviceFor(const CallRecord &call);
// Where a session left before its end stands, and how to go on with it.
QString resumeHint(const Session &session, const QString &folder);

#endif
