#ifndef CLI_SESSIONFILE_H
#define CLI_SESSIONFILE_H

#include "run/callrecord.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// A guided commissioning as it stands, kept on disk after every attempt,
// skip and comment, so that a session left by the technician, a lost
// connection or a power cut resumes where it was: nothing recorded is lost
// or made again.
struct Attempt
{
    QByteArray function;
    int outcome = 0;         // the call's Tally::Outcome
    double milliseconds = 0;
    // What the reports say of it: each note's kind (Notes::Kind) and text.
    QVector<QPair<int, QString>> notes;
};

struct StepState
{
    enum State { Pending, Done, Skipped, NotFitted };
    State state = Pending;
    QVector<Attempt> attempts;
    QString reason;  // why the technician skipped it
    QStringList comments;
};

struct Session
{
    QString operatorName;
    QString workOrder;
    long long startedMs = 0;  // since the epoch
    QByteArray planSha256;
    // What the steps were checked with, which a resumed session keeps: a
    // session whose steps ran on two readers, libraries or sets of expected
    // answers would have checked none of them whole.
    QByteArray expectSha256;   // empty: nothing expected
    QByteArray librarySha256;
    QString libraryPath;
    int deviceType = 0;
    QByteArray region;
    int scannerMilliseconds = 0;
    bool plausibility = true;
    int timeoutSeconds = -1;
    QVector<StepState> steps;  // one per step of the plan
    // The step the session goes on with; steps.size() once it is done.
    int next = 0;
};

// What the session keeps of a call: what the reports say of it.
Attempt attemptOf(const CallRecord &call);

// Whole, renamed over the last, readable by its owner alone. A session
// read back is refused unless it is one this program could have written:
// within its size, steps before the next one over and the rest still to
// come, every outcome and note of a kind the reports know.
bool saveSession(const QString &path, const Session &session, QString &why);
bool loadSession(const QString &path, Session &session, QString &why);

#endif
