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
    Notes &notes = state.notes;
    for (const QString &finding : call.findings)
        notes.add(Notes::Breach, round, call.operation, finding);
    for (const QString &difference : call.differences)
        notes.add(Notes::Difference, round, call.operation, difference);
    for (const QString &doubt : call.doubts)
        notes.add(Notes::Doubt, round, call.operation, doubt);
    if (call.returned && call.result != 0)
        notes.add(Notes::Failure, round, call.operation,
                  QStringLiteral("failed with %1: ").arg(call.result) + printable(call.message));
}
