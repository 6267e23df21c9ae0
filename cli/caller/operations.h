#ifndef CLI_OPERATIONS_H
#define CLI_OPERATIONS_H

#include "guardedcall.h"
#include "readerlibrary.h"

#include "run/options.h"

#include <QByteArray>

// One operation per button of the window, with the same library function,
// fixed arguments and buffer sizes.
struct Operation
{
    const char *name;
    GuardedCall (*run)(const ReaderLibrary &reader, const Settings &settings);
    bool read;  // part of "all": everything but the scanner's settings
};

GuardedCall openDevice(const ReaderLibrary &reader, const Settings &settings);

extern const Operation operations[13];

// The operation of that name, or none.
const Operation *findOperation(const QByteArray &name);

#endif
