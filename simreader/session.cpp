#include "session.h"

#include "makerlibrary.h"

#include <fcntl.h>

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
    if (const char *path = environment("VRK_SIM_LOG"))
        log.open("call log", path, O_APPEND);
    const char *scriptPath = environment("VRK_SIM_SCRIPT");
    if (const char *path = environment("VRK_SIM_MAKER_LIBRARY")) {
        maker = loadMakerLibrary(path);
        // A recording starts afresh with every session.
        if (maker && scriptPath)
            recording.open("recording", scriptPath, O_TRUNC | O_NOFOLLOW);
        return;
    }
    if (scriptPath)
        script.load(scriptPath);
}

Session &session()
{
    static Session instance;
    return instance;
}
