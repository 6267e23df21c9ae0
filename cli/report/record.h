#ifndef CLI_RECORD_H
#define CLI_RECORD_H

#include "run/callrecord.h"

// Adds a call to what the run shares with the watcher: the tally, the
// timeline and, in words, what went wrong in it. What happened outside any
// call counts no call: only its findings are noted.
void recordCall(const CallRecord &call);

#endif
