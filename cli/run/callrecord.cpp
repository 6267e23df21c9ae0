#include "callrecord.h"

Tally::Outcome CallRecord::outcome() const
{
    if (!findings.isEmpty())
        return Tally::BrokeContract;
    if (!differences.isEmpty())
        return Tally::Differs;
    if (!doubts.isEmpty())
        return Tally::Implausible;
    return ok() ? Tally::Succeeded : Tally::Failed;
}
