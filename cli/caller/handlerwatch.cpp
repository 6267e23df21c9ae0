#include "handlerwatch.h"

#include <dlfcn.h>
#include <signal.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<bool> segvSet{false};

using Handler = void (*)(int);

template <typename Function>
Function next(const char *name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

// For a name this C library lacks, which no library can have called it by.
Handler lacking()
{
    errno = ENOSYS;
    return SIG_ERR;
}

void note(int signal)
{
    if (signal == SIGSEGV)
        segvSet.store(true);
}

} // namespace

bool HandlerWatch::segvHandlerSet()
{
    return segvSet.exchange(false);
}

// Every way the C library offers to set a handler, under each name it
// exports it by.
extern "C" {

int sigaction(int signal, const struct sigaction *action, struct sigaction *old) noexcept
{
    static const auto real = next<int (*)(int, const struct sigaction *, struct sigaction *)>("sigaction");
    if (action)
        note(signal);
    return real(signal, action, old);
}

int __sigaction(int signal, const struct sigaction *action, struct sigaction *old) noexcept
{
    return sigaction(signal, action, old);
}

Handler signal(int signal, Handler handler) noexcept
{
    static const auto real = next<Handler (*)(int, Handler)>("signal");
    note(signal);
    return real(signal, handler);
}

Handler bsd_signal(int signal, Handler handler) noexcept
{
    static const auto real = next<Handler (*)(int, Handler)>("bsd_signal");
    note(signal);
    return real ? real(signal, handler) : lacking();
}

Handler sysv_signal(int signal, Handler handler) noexcept
{
    static const auto real = next<Handler (*)(int, Handler)>("sysv_signal");
    note(signal);
    return real ? real(signal, handler) : lacking();
}

Handler __sysv_signal(int signal, Handler handler) noexcept
{
    return sysv_signal(signal, handler);
}

Handler sigset(int signal, Handler handler) noexcept
{
    static const auto real = next<Handler (*)(int, Handler)>("sigset");
    note(signal);
    return real ? real(signal, handler) : lacking();
}

} // extern "C"
