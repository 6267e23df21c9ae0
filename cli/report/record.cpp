#include "record.h"

#include "report.h"

#include "run/librarytext.h"
#include "run/runstate.h"

void recordCall(const CallRecord &call)
{
    RunState &state = runState();
    const int round = state.roundStarted;
    const Tally::Outcome outcome = call.outcome();
    if (!call.outside) {
        state.tally.add(call.operation, call.function, outcome, call.milliseconds);
        state.timeline.add(((call.endNs ? call.endNs : monotonicNs()) - state.startNs) / 1000000,
                           outcome, call.milliseconds);
    }
    if (outcome == Tally::Succeeded)
        return;
    for (const QPair<int, QString> &note : notesOf(call))
        state.notes.add(Notes::Kind(note.first), round, call.operation, note.second);
}

QVector<QPair<int, QString>> notesOf(const CallRecord &call)
{
    QVector<QPair<int, QString>> notes;
    for (const QString &finding : call.findings)
        notes << qMakePair(int(Notes::Breach), finding);
    for (const QString &difference : call.differences)
        notes << qMakePair(int(Notes::Difference), difference);
    for (const QString &doubt : call.doubts)
        notes << qMakePair(int(Notes::Doubt), doubt);
    if (call.returned && call.result != 0)
        notes << qMakePair(int(Notes::Failure),
                           QStringLiteral("failed with %1: ").arg(call.result) + printable(call.message));
    return notes;
}
