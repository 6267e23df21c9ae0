#ifndef SIMREADER_WARNING_H
#define SIMREADER_WARNING_H

#include <string>

// A problem with the simulated reader's own files or settings, told on
// standard error and in the system log; the calls go on.
void warn(const std::string &message);

#endif
