#include "session.h"

#include "makerlibrary.h"
#include "warning.h"

#include <cstdlib>

namespace {

const char *environment(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value ? value : nullptr;
}

} // namespace

Session::Session()
{
    if (loadedAsMakerLibrary())
        return;
    const char *logPath = environment("VRK_SIM_LOG");
    const char *scriptPath = environment("VRK_SIM_SCRIPT");
    const char *recordPath = environment("VRK_SIM_RECORD");
    const char *maker = environment("VRK_SIM_MAKER_LIBRARY");
    // Whatever is set, the log and the recording never write into the
    // maker's library, the script, or each other.
    std::vector<KeptFile> kept;
    if (maker)
        kept.push_back({maker, "the maker's library itself"});
    if (scriptPath)
        kept.push_back({scriptPath, "the script that VRK_SIM_SCRIPT names, which is only"
                                    " ever read"});
    if (logPath) {
        std::vector<KeptFile> keptFromLog = kept;
        if (maker && recordPath)
            keptFromLog.push_back({recordPath, "the recording that VRK_SIM_RECORD names"});
        log.openLog(logPath, keptFromLog);
    }
    if (!maker) {
        if (recordPath)
            warn("VRK_SIM_RECORD records a session with the maker's library: name it in"
                 " VRK_SIM_MAKER_LIBRARY as well. Nothing is recorded");
        std::string why;
        if (scriptPath && !script.load(scriptPath, why))
            warn("script " + std::string(scriptPath) + ' ' + why + "; using the demo reader");
        return;
    }

    makerPath = maker;
    this->maker = loadMakerLibrary(maker, makerProblem);
    if (!makerProblem.empty())
        warn("the maker's library " + makerPath + " cannot be used (" + makerProblem
             + "); every call fails");
    // A variable left over from a recording never turns a replay into an erase.
    if (scriptPath && recordPath)
        warn("VRK_SIM_SCRIPT is not replayed while VRK_SIM_MAKER_LIBRARY is set: the"
             " maker's library answers, and the session is recorded into VRK_SIM_RECORD only");
    else if (scriptPath)
        warn("VRK_SIM_SCRIPT only replays; to record a session, name the recording in"
             " VRK_SIM_RECORD. Nothing is recorded, and " + std::string(scriptPath)
             + " is left as it is");
    if (recordPath)
        recording.openRecording(recordPath, kept, recordingHeader(makerPath));
}

Session &session()
{
    static Session instance;
    return instance;
}
