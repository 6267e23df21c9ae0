#ifndef CLI_COMMANDLINE_H
#define CLI_COMMANDLINE_H

#include "run/options.h"
#include "session/plan.h"

#include <QByteArray>
#include <QString>

// Reads the command line into options, and a commissioning's plan. Returns
// -1 to go on, or the exit status once help, the version or a usage error
// has been written. The
// arguments' own bytes are kept where they name a file: a file name need
// not be UTF-8.
int readOptions(int argc, char **argv, Options &options, Plan &plan);

// Says a usage error and where help is to be found; returns its exit status.
int usageError(const QString &problem);

// Why the files the run writes (metrics, reports, the history, the record's
// files) cannot be written: two of them are one file, or one is a file the
// run reads (the expected answers, the plan, the library), which it would
// replace. Empty when they can.
QString clashingFiles(const Options &options, const QByteArray &libraryPath);

#endif
