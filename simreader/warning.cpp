#include "warning.h"

#include <syslog.h>

#include <cstdio>

// The system log as well: a window started from the desktop's menu has no
// standard error anyone reads. The program's own syslog identity is left
// alone; the message names the simulated reader.
void warn(const std::string &message)
{
    std::fprintf(stderr, "simulated reader: %s\n", message.c_str());
    syslog(LOG_USER | LOG_WARNING, "cardreader simulated reader: %s", message.c_str());
}
