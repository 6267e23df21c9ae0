#ifndef SIMREADER_SESSION_H
#define SIMREADER_SESSION_H

#include "outputfile.h"
#include "script.h"

#include <set>
#include <string>

// What the environment asks of this process's session with the simulated
// reader, read at its first call: a call log (VRK_SIM_LOG); the maker's
// library to answer every call (VRK_SIM_MAKER_LIBRARY), recorded into
// VRK_SIM_RECORD; or scripted answers (VRK_SIM_SCRIPT).
struct Session
{
    Session();

    OutputFile log;
    OutputFile recording;
    // Set while the maker's library is asked for: then it alone answers,
    // and a call it cannot answer fails. Never the demo reader.
    std::string makerPath;
    void *maker = nullptr;
    std::string makerProblem;
    std::set<std::string> lacking;  // functions already reported missing
    Script script;
};

Session &session();

#endif
