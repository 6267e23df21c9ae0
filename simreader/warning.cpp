#include "warning.h"

#include <cstdio>

void warn(const std::string &message)
{
    std::fprintf(stderr, "simulated reader: %s\n", message.c_str());
}
