#ifndef CLI_GUARDEDCALL_H
#define CLI_GUARDEDCALL_H

#include "strayoutput.h"

#include "run/callrecord.h"

#include <QByteArray>
#include <QVarLengthArray>

#include <cstddef>

// One call into the reader library: what it was given and what came back.
// Every buffer handed to the library ends where write-protected pages begin
// (GuardPages); finish() checks that the library kept inside each buffer,
// ended its text with a NUL, wrote UTF-8 and wrote nothing to standard
// output, and reads each buffer within its size. The call in progress is
// marked in the run's shared state, for the watcher.
class GuardedCall : public CallRecord
{
public:
    GuardedCall(const char *operation, const char *function);

    // Each returns what is handed to the library, and notes it for the report.
    int argument(const char *name, int value);
    char *textArgument(const char *name, std::size_t size, const QByteArray &text);
    char *value(const char *name, std::size_t size);
    char *secret(const char *name, std::size_t size);
    int *output(const char *name);
    char *error();
    // The wait the call is given, which the watchdog allows it beyond its margin.
    void waitsUpTo(int milliseconds);

    // Makes the call, or notes that the library lacks the function.
    template <typename Function, typename... Args>
    void run(Function function, Args... args)
    {
        if (!function)
            return lacking();
        start();
        finish(function(args...));
    }

    // Before the calling process is forked: a page its own copies will find
    // wiped, which tells them from it without asking for a process ID.
    static void markForCopies();
    // Where the library's own output is caught, for every call; and from now
    // on a fork() made by the library is seen, in both processes.
    static void watchLibrary(StrayOutput *strayOutput);

    // What the library did outside any call (when: "at load", "after the
    // last call"): its output, a fork, a fault handler of its own. Named
    // like a call, under operation, so that it is reported the same way.
    static GuardedCall outsideCalls(const char *operation, const char *when);

private:
    enum class Kind { Argument, Value, Secret, Output, Error };
    struct Buffer
    {
        const char *name;
        Kind kind;
        std::size_t size;
        char *bytes;
    };

    char *add(const char *name, Kind kind, std::size_t size);
    void start();
    void finish(int result);
    void lacking();
    void check(const Buffer &buffer, const QByteArray &text, bool terminated, int damage);
    void checkProcess(const char *who, const char *when);

    QVarLengthArray<Buffer, 16> m_buffers;
    int m_waitMs = -1;  // none
    long long m_startNs = 0;
};

#endif
