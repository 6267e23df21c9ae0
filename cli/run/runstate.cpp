#include "runstate.h"

#include <QDateTime>

#include <dirent.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

namespace {

RunState *state = nullptr;

} // namespace

RunState &runState()
{
    return *state;
}

bool createRunState(int timeoutSeconds)
{
    void *memory = mmap(nullptr, sizeof(RunState), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    state = new (memory) RunState;
    state->timeoutSeconds = timeoutSeconds;
    state->startTimeMs = QDateTime::currentMSecsSinceEpoch();
    state->startNs = monotonicNs();
    return true;
}

long long beginCall(const char *operation, const char *function, int waitMs)
{
    std::strncpy(state->operation, operation, sizeof state->operation - 1);
    std::strncpy(state->function, function, sizeof state->function - 1);
    state->callLimitMs = state->timeoutSeconds >= 0 ? state->timeoutSeconds * 1000LL
                       : waitMs >= 0                ? waitMs + watchdogMarginMs
                                                    : watchdogNoWaitMs;
    const long long now = monotonicNs();
    state->callStartNs = now;
    state->calling = 1;
    return now;
}

void endCall()
{
    state->calling = 0;
}

long long monotonicNs()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

RunState::Usage usageOf(long pid)
{
    RunState::Usage usage;
    const std::string proc = "/proc/" + std::to_string(pid);
    if (FILE *statm = std::fopen((proc + "/statm").c_str(), "re")) {
        long long size = 0, resident = 0;
        if (std::fscanf(statm, "%lld %lld", &size, &resident) == 2)
            usage.residentKiB = resident * (sysconf(_SC_PAGESIZE) / 1024);
        std::fclose(statm);
    }
    if (DIR *fds = opendir((proc + "/fd").c_str())) {
        int count = 0;
        while (const dirent *entry = readdir(fds))
            count += entry->d_name[0] != '.';
        closedir(fds);
        // Reading our own list holds one more descriptor open.
        usage.descriptors = pid == getpid() ? count - 1 : count;
    }
    return usage;
}
