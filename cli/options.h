#ifndef CLI_OPTIONS_H
#define CLI_OPTIONS_H

#include "operations.h"
#include "script.h"

#include <QString>
#include <QStringList>
#include <QVector>

// What the command line asks for, every choice checked before the first
// library call.
struct Options
{
    Settings settings;
    QVector<const Operation *> operations;
    QByteArray library;  // as given, in bytes; empty: found as the program finds it
    bool describeLibrary = false;  // the "library" operation
    QString metricsPath;  // absolute, resolved once at start
    QString junitPath;    // the same
    QString htmlPath;     // the same
    QByteArray expectPath;  // as given, in bytes; empty: no answers expected
    Script expected;
    bool plausibility = true;
    bool open = true;
    bool json = false;
    bool showPin = false;
    int repeat = 1;
    int pauseMs = 0;
    int timeoutSeconds = -1;  // -1: each call's own wait plus a margin
};

enum ExitStatus {
    Success = 0,
    CallFailed = 1,
    UsageError = 2,
    ContractBroken = 3,
    OutputFailed = 4,
    WrongAnswers = 5,  // an answer differed from the expected one or cannot be genuine
    StoppedBySignal = 128,  // plus the signal's number
};

// Reads the command line into options. Returns -1 to go on, or the exit
// status once help, the version or a usage error has been written. The
// arguments' own bytes are kept where they name a file: a file name need
// not be UTF-8.
int readOptions(int argc, char **argv, Options &options);

// Why the files the run writes (metrics, reports) cannot be written: two of
// them are one file, or one is a file the run reads (the expected answers,
// the library), which it would replace. Empty when they can.
QString clashingFiles(const Options &options, const QByteArray &libraryPath);

#endif
