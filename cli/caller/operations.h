#ifndef CLI_OPERATIONS_H
#define CLI_OPERATIONS_H

#include "guardedcall.h"
#include "readerlibrary.h"

#include <QByteArray>

// What the operator chose: the same choices the window offers.
struct Settings
{
    int deviceType = 21;
    QByteArray regionCode = "3500";
    int scannerMilliseconds = 2000;
};

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

#endif
