#ifndef SIMREADER_SESSION_H
#define SIMREADER_SESSION_H

#include "outputfile.h"
#include "script.h"

// What the environment asks of this process's session with the simulated
// reader, read at its first call: a call log (VRK_SIM_LOG), a recording of
// the maker's library (VRK_SIM_MAKER_LIBRARY with VRK_SIM_SCRIPT), or
// scripted answers (VRK_SIM_SCRIPT).
struct Session
{
    Session();

    OutputFile log;
    OutputFile recording;
    void *maker = nullptr;
    Script script;
};

Session &session();

#endif
