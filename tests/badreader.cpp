// A reader library that breaks its contract, for the command-line program's
// contract check: the card number read writes one byte past its 36-byte
// buffer, the chip read leaves no NUL, and the region read writes bytes that
// are not UTF-8. BADREADER_FAULT makes the card number read (the scan, for
// wide-output; loading, for the faults of a constructor) misbehave in one of
// the ways a maker's library has been seen to, or a hostile one could, or
// take 300 ms (slow). Built without VRK_MagCardRead or VRK_OpenDev, it is a
// library that lacks one function; built with UNRESOLVED, one that needs a
// symbol nothing defines. Every other function answers success and writes
// nothing.

#define VRK_API __attribute__((visibility("default")))
#include "vrkreaderclient.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool fault(const char *name)
{
    const char *chosen = std::getenv("BADREADER_FAULT");
    return chosen && std::strcmp(chosen, name) == 0;
}

// Calls visit(bytes, size) for each of the process's shared writable
// mappings, where a checker keeps what its two processes share.
template <typename Visit>
void forEachSharedMapping(Visit visit)
{
    FILE *maps = std::fopen("/proc/self/maps", "r");
    if (!maps)
        return;
    char line[512];
    while (std::fgets(line, sizeof line, maps)) {
        unsigned long start = 0, end = 0;
        char mode[8] = {};
        if (std::sscanf(line, "%lx-%lx %7s", &start, &end, mode) == 3 && !std::strcmp(mode, "rw-s"))
            visit(reinterpret_cast<char *>(start), end - start);
    }
    std::fclose(maps);
}

// Rewrites every run of 64 hex digits in the shared memory, where a checker
// that trusts its calling process keeps the SHA-256; or every name of the
// card number read there, with escape sequences.
void scribble(bool names)
{
    forEachSharedMapping([names](char *bytes, unsigned long size) {
        int run = 0;
        for (unsigned long i = 0; i < size; ++i) {
            run = std::isxdigit(static_cast<unsigned char>(bytes[i])) ? run + 1 : 0;
            if (run == 64 && !names)
                std::memset(bytes + i - 63, 'f', 64);
            if (names && size - i >= 13 && std::memcmp(bytes + i, "VRK_ReadCarNo", 13) == 0)
                std::memcpy(bytes + i, "\x1b[31mEVIL\x1b[0", 13);
            if (names && size - i >= 11 && std::memcmp(bytes + i, "card-number", 11) == 0)
                std::memcpy(bytes + i, "\x1b[31mcards\x07", 11);
        }
    });
}

// Fills the shared memory with one byte, BADREADER_FILL in hex (0x80 if not
// given): with 0x80 every count, size and width a checker keeps there is far
// out of range, unsigned or negative, and every text is not UTF-8; with 0
// every width and count is zero, with 0xff minus one.
void fillSharedMemory()
{
    const char *fill = std::getenv("BADREADER_FILL");
    const int byte = fill ? int(std::strtol(fill, nullptr, 16)) : 0x80;
    forEachSharedMapping([byte](char *bytes, unsigned long size) { std::memset(bytes, byte, size); });
}

extern "C" void onOwnFault(int) { _exit(1); }

// The kernel's own form of a handler, for setting one with the bare system
// call, round the C library.
struct KernelAction
{
    void (*handler)(int);
    unsigned long flags;
#ifdef __x86_64__
    void (*restorer)();
#endif
    unsigned long mask;
};

// Faults of a library's constructor: they happen before any call.
__attribute__((constructor)) void atLoad()
{
    if (fault("load-chatter"))
        std::printf("VRK: library loaded\n");
    if (fault("load-crash"))
        std::raise(SIGSEGV);
    while (fault("load-hang"))
        pause();
    if (fault("own-segv-handler"))
        std::signal(SIGSEGV, onOwnFault);
    if (fault("rename-over")) {
        // Puts another file where this one was loaded from, so that a checker
        // that reads the file by name after loading describes that one.
        Dl_info self;
        if (dladdr(reinterpret_cast<void *>(&atLoad), &self) && self.dli_fname)
            static_cast<void>(std::rename(std::getenv("BADREADER_IMPOSTOR"), self.dli_fname));
    }
}

} // namespace

#ifndef WITHOUT_OPENDEV
int VRK_OpenDev(int, char *, char *) { return 0; }
#endif

int VRK_ReadCarNo(char *cardNumber, char *error)
{
    if (fault("crash"))
        std::raise(SIGSEGV);
    if (fault("abort"))
        std::abort();
    if (fault("exit"))
        std::exit(0);
    if (fault("chatter-crash")) {
        std::printf("VRK: before crash\n");
        std::raise(SIGSEGV);
    }
    if (fault("forge"))
        scribble(false);
    if (fault("sigqueue")) {
        // A SIGTERM that claims to come from no process at all.
        siginfo_t info;
        std::memset(&info, 0, sizeof info);
        info.si_signo = SIGTERM;
        info.si_code = SI_QUEUE;
        info.si_pid = 0;
        syscall(SYS_rt_sigqueueinfo, getppid(), SIGTERM, &info);
    }
    // A fork by the bare system call (AArch64 has no fork, only clone).
    if (fault("raw-fork"))
        syscall(SYS_clone, SIGCHLD, 0, 0, 0, 0);
    if (fault("traced")) {
        ptrace(PTRACE_TRACEME, 0, nullptr, nullptr);
        std::raise(SIGUSR1);
    }
    if (fault("grow-own-file")) {
        // Changes the file it was loaded from, not the pages it runs from.
        Dl_info self;
        if (dladdr(reinterpret_cast<void *>(&VRK_ReadCarNo), &self) && self.dli_fname) {
            const int file = open(self.dli_fname, O_WRONLY | O_APPEND);
            static_cast<void>(write(file, "", 1));
            close(file);
        }
    }
    if (fault("handle-interrupt") || fault("default-interrupt")) {
        std::signal(SIGINT, fault("handle-interrupt") ? onOwnFault : SIG_DFL);
        for (;;)
            pause();
    }
    if (fault("orphan-sigterm")) {
        // A process of its own, left to the watcher when its parent ends,
        // that signals the watcher later, as if it were the operator.
        static bool once = false;
        const pid_t watcher = getppid();
        if (!once) {
            once = true;
            const pid_t parent = fork();
            if (parent == 0) {
                if (fork() == 0) {
                    usleep(200 * 1000);
                    kill(watcher, SIGTERM);
                }
                _exit(0);
            }
            waitpid(parent, nullptr, 0);
        }
        std::strcpy(cardNumber, "1");
        return 0;
    }
    if (fault("scribble")) {
        // The second time, the names stand in the tally too.
        static int calls = 0;
        scribble(true);
        if (++calls == 2)
            std::raise(SIGSEGV);
    }
    if (fault("flood-shared")) {
        fillSharedMemory();
        // For the watcher to count, after the library has set the count.
        std::printf("VRK: filled\n");
        std::fflush(stdout);
        std::raise(SIGSEGV);
    }
    if (fault("close-all")) {
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
    }
    if (fault("fork"))
        fork();
    if (fault("signal-parent"))
        kill(getppid(), SIGTERM);
    if (fault("fsize")) {
        const rlimit none = {0, 0};
        setrlimit(RLIMIT_FSIZE, &none);
    }
    if (fault("flood")) {
        const char *bytes = std::getenv("BADREADER_BYTES");
        const std::string flood(bytes ? std::strtoul(bytes, nullptr, 10) : 200000, 'x');
        std::fwrite(flood.data(), 1, flood.size(), stderr);
        std::fflush(stderr);
    }
    if (fault("own-segv-handler")) {
        std::memset(cardNumber, '1', 36 + 4);
        cardNumber[36 + 4] = '\0';
        return 0;
    }
    if (fault("segv-handler-in-call")) {
        std::signal(SIGSEGV, onOwnFault);
        std::strcpy(cardNumber, "1");
        return 0;
    }
    if (fault("raw-segv-handler")) {
        KernelAction action{};
        action.handler = onOwnFault;
        syscall(SYS_rt_sigaction, SIGSEGV, &action, nullptr, sizeof action.mask);
        std::strcpy(cardNumber, "1");
        return 0;
    }
    if (fault("write-below-2000-once")) {
        static bool wrote = false;
        std::strcpy(cardNumber, "1");
        if (!wrote)
            cardNumber[-2000] = 'x';
        wrote = true;
        return 0;
    }
    if (fault("far-overrun-once")) {
        static bool overran = false;
        std::strcpy(cardNumber, "1");
        if (!overran)
            std::memset(error + 1024 + 4096, 'x', 200);
        overran = true;
        return 0;
    }
    if (fault("hang"))
        for (;;)
            pause();
    if (fault("slow")) {
        usleep(300 * 1000);
        std::strcpy(cardNumber, "1");
        return 0;
    }
    if (fault("chatter")) {
        std::printf("VRK: reading card\n");
        std::fprintf(stderr, "VRK: \x1b[31mwarning\n");
        return 0;
    }
    if (fault("far-overrun")) {
        std::memset(cardNumber, '1', 36 + 200);
        cardNumber[36 + 200] = '\0';
        return 0;
    }
    if (fault("guard-byte-overrun")) {
        std::strcpy(cardNumber, "1");
        std::memset(cardNumber + 36, 0xa5, 16);
        return 0;
    }
    std::memset(cardNumber, '1', 36);
    cardNumber[36] = '\0';
    return 0;
}

#ifdef UNRESOLVED
extern "C" int vrkSymbolNothingDefines();
#endif

int VRK_ReadCardBas(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                    char *, char *, char *, char *, char *)
{
#ifdef UNRESOLVED
    return vrkSymbolNothingDefines();
#else
    return 0;
#endif
}

// Calls another function of its own, as a maker's library may: it must reach
// this library's, never the simulated reader's that loaded it.
int VRK_ReadCardCertID(char *, char *, char *error) { return VRK_ECard_SetAutoRead(1, error); }

int VRK_ReadCardCity(char *regionCode, char *)
{
    std::strcpy(regionCode, "35\xff\xfe");
    return 0;
}

int VRK_IDCard_Read(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                    char *)
{
    return 0;
}

int VRK_ICBankCard_ReadNO(char *cardNumber, char *)
{
    std::memset(cardNumber, '6', 36);
    return 0;
}

int VRK_MagicBankCard_ReadNo(int, char *, char *) { return 0; }
int VRK_ECard_SetAutoRead(int, char *) { return 0; }
int VRK_ECard_Read(int *output, char *, int, char *)
{
    // The output stored as a 64-bit value, as a port to AArch64 may.
    if (fault("wide-output")) {
        const long long wide = 7;
        std::memcpy(output, &wide, sizeof wide);
    }
    return 0;
}
int VRK_ECard_AutoReadTime(int, char *) { return 0; }
#ifndef WITHOUT_MAGCARDREAD
int VRK_MagCardRead(int, char *, char *, char *, char *, char *) { return 0; }
#endif
int VRK_KeyBoard_InputKey(int, int, char *, int *, char *) { return 0; }
