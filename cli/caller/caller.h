#ifndef CLI_CALLER_H
#define CLI_CALLER_H

#include "options.h"
#include "strayoutput.h"

// The calling process: loads the library and makes every call of the run,
// reporting each as it comes back and keeping the run's shared state. It
// stops before the next call when asked to, and never returns.
[[noreturn]] void makeCalls(const Options &options, StrayOutput &strayOutput);

#endif
