#include "guardpages.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace GuardPages {

namespace {

// The protected run after each buffer: a write up to 64 KiB past the end
// faults here; a longer one reaches the next slot's guard bytes.
const std::size_t protectedBytes = 64 * 1024;

char *arena = nullptr;
std::size_t pageSize = 0;
std::size_t bufferBytes = 0;   // the buffer's page(s) in each slot
std::size_t slotBytes = 0;
std::vector<char> pattern;     // the guard bytes of a buffer's page(s)
std::size_t sizes[slotCount] = {};

// Pages the fault handler opened, by slot, to close again after the call.
const std::size_t maxOpened = 64;
std::atomic<char *> openedPages[slotCount][maxOpened];
std::atomic<std::size_t> openedCount[slotCount];

std::size_t wholePages(std::size_t bytes)
{
    return (bytes + pageSize - 1) / pageSize * pageSize;
}

char *pageOf(const char *address)
{
    return arena + (std::size_t(address - arena) / pageSize) * pageSize;
}

extern "C" void onFault(int, siginfo_t *info, void *)
{
    char *address = static_cast<char *>(info->si_addr);
    if (arena && address >= arena && address < arena + slotCount * slotBytes) {
        const std::size_t slot = std::size_t(address - arena) / slotBytes;
        const std::size_t offset = std::size_t(address - arena) % slotBytes;
        const std::size_t count = openedCount[slot].load();
        if (offset >= bufferBytes && count < maxOpened
            && mprotect(pageOf(address), pageSize, PROT_READ | PROT_WRITE) == 0) {
            openedPages[slot][count].store(pageOf(address));
            openedCount[slot].store(count + 1);
            return;
        }
    }
    // Not ours: the crash the library would have met anyway.
    signal(SIGSEGV, SIG_DFL);
    raise(SIGSEGV);
}

// Every guard byte is compared: a write below a buffer may land anywhere
// in the rest of its page, and a memcmp of a few KiB costs less than the
// call it checks.
bool guardBytesIntact(const char *page, std::size_t below)
{
    return std::memcmp(page, pattern.data(), below) == 0;
}

} // namespace

bool setUp()
{
    pageSize = std::size_t(sysconf(_SC_PAGESIZE));
    bufferBytes = wholePages(largestBuffer);
    slotBytes = bufferBytes + wholePages(protectedBytes);
    void *memory = mmap(nullptr, slotCount * slotBytes, PROT_READ,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    arena = static_cast<char *>(memory);

    // Eight bytes a step (splitmix64): the pattern need only differ from run
    // to run, and the program starts the faster for it. A write of the very
    // byte a guard holds changes nothing that can be seen, so every guard
    // byte is one of 0xf5 to 0xfe, which no UTF-8 text, NUL or fill of -1
    // holds: a stray text or terminator is always caught.
    std::random_device seed;
    std::uint64_t state = (std::uint64_t(seed()) << 32) ^ seed();
    pattern.resize(bufferBytes);
    for (std::size_t i = 0; i + 8 <= bufferBytes; i += 8) {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        z ^= z >> 31;
        for (std::size_t k = 0; k < 8; ++k, z >>= 8)
            pattern[i + k] = char(0xf5 + (z & 0xff) % 10);
    }
    for (std::size_t slot = 0; slot < slotCount; ++slot) {
        char *buffer = arena + slot * slotBytes;
        if (mprotect(buffer, bufferBytes, PROT_READ | PROT_WRITE) != 0)
            return false;
        std::memcpy(buffer, pattern.data(), bufferBytes);
        openedCount[slot].store(0);
    }

    return installHandler();
}

bool installHandler()
{
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = onFault;
    action.sa_flags = SA_SIGINFO | SA_NODEFER;
    return sigaction(SIGSEGV, &action, nullptr) == 0;
}

bool handlerKept()
{
    struct sigaction now;
    if (sigaction(SIGSEGV, nullptr, &now) == 0 && (now.sa_flags & SA_SIGINFO)
        && now.sa_sigaction == onFault)
        return true;
    installHandler();
    return false;
}

char *take(std::size_t slot, std::size_t size)
{
    sizes[slot] = size;
    char *buffer = arena + slot * slotBytes + bufferBytes - size;
    std::memset(buffer, 0, size);
    return buffer;
}

void inspect(std::size_t used, int *damage)
{
    const std::size_t protectedPages = (slotBytes - bufferBytes) / pageSize;
    bool previousRanThrough = false;
    for (std::size_t slot = 0; slot <= used && slot < slotCount; ++slot) {
        // The slot after the last buffer is only reached through the whole
        // protected run.
        if (slot == used && !previousRanThrough)
            break;
        char *page = arena + slot * slotBytes;
        const std::size_t opened = openedCount[slot].load();
        for (std::size_t i = 0; i < opened; ++i) {
            char *guard = openedPages[slot][i].load();
            std::memset(guard, 0, pageSize);
            mprotect(guard, pageSize, PROT_READ);
        }
        openedCount[slot].store(0);

        const std::size_t size = slot < used ? sizes[slot] : 0;
        const std::size_t below = bufferBytes - size;
        const bool guardBytesKept = guardBytesIntact(page, below);
        if (slot < used)
            damage[slot] = (opened > 0 ? PastTheEnd : Untouched)
                | (!guardBytesKept && !previousRanThrough ? BeforeTheStart : Untouched);
        // The buffer's own bytes are the pattern's too, so that a slot next
        // used for a smaller buffer finds its guard bytes whole.
        if (guardBytesKept)
            std::memcpy(page + below, pattern.data() + below, size);
        else
            std::memcpy(page, pattern.data(), bufferBytes);
        sizes[slot] = 0;
        previousRanThrough = opened == protectedPages;
    }
}

} // namespace GuardPages
