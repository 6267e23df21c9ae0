#ifndef CLI_CALLRECORD_H
#define CLI_CALLRECORD_H

#include "tally.h"

#include "script.h"

#include <QByteArray>
#include <QStringList>
#include <QVarLengthArray>

// What the library wrote to standard output or standard error while a call
// ran, kept apart from the program's own output.
struct CaughtOutput
{
    // Longest stretch of a call's stray output that is kept for the report.
    static const int kept = 64 * 1024;

    QByteArray bytes;   // at most kept bytes
    qint64 size = 0;    // all that was written
    // The library closed or replaced our end of the pipe: what it wrote
    // since is not seen, in this call and every later one.
    bool lost = false;
};

// One call into the reader library, as the judge and the reports see it:
// what it was given, what came back, and what was found wrong with it.
struct CallRecord
{
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

    CallRecord(const char *operation, const char *function)
        : operation(operation), function(function)
    {
    }

    bool ok() const { return returned && result == 0; }
    // The worst that applies: a breach, a wrong answer, a doubt, a failure.
    Tally::Outcome outcome() const;

    const char *operation;
    const char *function;
    // On the stack, as the buffers are: a burn-in makes millions of calls.
    QVarLengthArray<Number, 4> arguments;
    QVarLengthArray<Value, 1> textArguments;
    bool called = false;
    bool outside = false;   // a record of what happened outside any call
    bool returned = false;  // false after a crash, an exit or the watchdog
    bool stopped = false;   // the operator stopped it before it returned: no breach
    int result = 0;
    QVarLengthArray<Value, 13> values;
    QVarLengthArray<Number, 1> outputs;
    QByteArray message;
    double milliseconds = 0;
    long long endNs = 0;  // monotonic, when it came back: read once, for every use
    CaughtOutput standardOutput;
    CaughtOutput standardError;
    QStringList findings;
    // How the answers were judged: where they differ from the expected ones
    // ("name: expected "A", got "B""), and why they cannot be genuine.
    QStringList differences;
    QStringList doubts;
    bool compared = false;
    Answer expected;  // what it was compared with
};

#endif
