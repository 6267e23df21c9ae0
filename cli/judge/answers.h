#ifndef CLI_ANSWERS_H
#define CLI_ANSWERS_H

#include "run/callrecord.h"

#include "script.h"

// What a call's answers say, judged once the call has kept its contract:
// where they differ from the answers expected of the terminal, and what in
// them no genuine card could hold. Both only for calls that returned.

// Compares the call with the next expected answer for its function, by the
// rule the simulated reader replays by: each line answers the next call of
// its function, its last line every later one. The result is compared; the
// values and the int output as well when both results are 0, since a failed
// call's buffers mean nothing. The error text and the delay are not. A PIN
// is named as differing, its texts shown only with showPin; a recording's
// stand-in for it, which holds no key, is not compared.
void compareWithExpected(CallRecord &call, Script &expected, bool showPin);

// Notes the doubts about a successful call's values: identity card numbers,
// dates, sexes, bank card numbers, second-track data and validity periods
// in a form they recognise that no genuine card could hold.
void checkPlausibility(CallRecord &call);

#endif
