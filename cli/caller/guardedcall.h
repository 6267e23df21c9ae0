#ifndef CLI_GUARDEDCALL_H
#define CLI_GUARDEDCALL_H

#include "script.h"
#include "strayoutput.h"
#include "tally.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVarLengthArray>

#include <cstddef>

// One call into the reader library: what it was given and what came back.
// Every buffer handed to the library ends where write-protected pages begin
// (GuardPages); finish() checks that the library kept inside each buffer,
// ended its text with a NUL, wrote UTF-8 and wrote nothing to standard
// output, and reads each buffer within its size. The call in progress is
// marked in the run's shared state, for the watcher.
class GuardedCall
{
public:
    // Names are the operations' string literals: a burn-in's millions of
    // calls make no copies of them.
    struct Number
    {
        const char *name;
        int value;
    };
    struct Value
    {
        const char *name;
        QByteArray text;
        bool secret;
    };

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

    bool ok() const { return returned && result == 0; }
    Tally::Outcome outcome() const;

    // Where the library's own output is caught, for every call; and from now
    // on a fork() made by the library is seen, in both processes.
    static void watchLibrary(StrayOutput *strayOutput);

    // What the library did outside any call (when: "at load", "after the
    // last call"): its output, a fork, a fault handler of its own. Named
    // like a call, under operation, so that it is reported the same way.
    static GuardedCall outsideCalls(const char *operation, const char *when);

    const char *operation;
    const char *function;
    // On the stack, as the buffers are: a burn-in makes millions of calls.
    QVarLengthArray<Number, 4> arguments;
    QVarLengthArray<Value, 1> textArguments;
    bool called = false;
    bool outside = false;   // a record of what happened outside any call
    bool returned = false;  // false after a crash, an exit or the watchdog
    int result = 0;
    QVarLengthArray<Value, 13> values;
    QVarLengthArray<Number, 1> outputs;
    QByteArray message;
    double milliseconds = 0;
    StrayOutput::Taken standardOutput;
    StrayOutput::Taken standardError;
    QStringList findings;
    // How the answers were judged: where they differ from the expected ones
    // ("name: expected "A", got "B""), and why they cannot be genuine.
    QStringList differences;
    QStringList doubts;
    bool compared = false;
    Answer expected;  // what it was compared with

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
