#include "session.h"

#include "makerlibrary.h"
#include "readertext.h"
#include "warning.h"

#include <cstdlib>
#include <ctime>

namespace {

const char *environment(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value ? value : nullptr;
}

// A recording's first line: a comment that says what made it and when, by
// which a recording is known before it is replaced.
std::string recordingHeader(const std::string &makerPath)
{
    char when[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm utc;
    if (gmtime_r(&now, &utc))
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(recordingMark) + ", made " + when + " with " + quoted(makerPath);
}

} // namespace

Session::Session()
{
    if (loadedAsMakerLibrary())
        return;
    if (const char *path = environment("VRK_SIM_LOG"))
        log.openLog(path);
    const char *scriptPath = environment("VRK_SIM_SCRIPT");
    const char *recordPath = environment("VRK_SIM_RECORD");
    const char *maker = environment("VRK_SIM_MAKER_LIBRARY");
    if (!maker) {
        if (recordPath)
            warn("VRK_SIM_RECORD records a session with the maker's library: name it in"
                 " VRK_SIM_MAKER_LIBRARY as well. Nothing is recorded");
        if (scriptPath)
            script.load(scriptPath);
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
             " maker's library answers");
    else if (scriptPath)
        warn("VRK_SIM_SCRIPT only replays; to record a session, name the recording in"
             " VRK_SIM_RECORD. Nothing is recorded, and " + std::string(scriptPath)
             + " is left as it is");
    if (recordPath)
        recording.openRecording(recordPath, makerPath, recordingHeader(makerPath));
}

Session &session()
{
    static Session instance;
    return instance;
}
