#ifndef CLI_COMMISSIONING_H
#define CLI_COMMISSIONING_H

#include "caller/caller.h"
#include "report/report.h"
#include "run/options.h"

// What a run keeps of itself beyond its output: the bundle that holds its
// whole record, a commissioning's session, and the verdict in the
// terminal's history.

// Before the calling process starts: the bundle's folder, the session (new,
// or as it was left), the copies of the plan and the expected answers, and
// the files both processes append to. An exit status, or -1 to go on.
int beginRecord(Options &options, const Plan &plan, Commissioning &commissioning);

// Once the library's identity is read, before any call: a new session
// keeps it, a resumed one must find the same file, by its SHA-256. An exit
// status, or -1 to go on.
int checkSessionLibrary(const Options &options, Commissioning &commissioning,
                        const LibraryIdentity &library);

// Once the run is over: the terminal's identity, the reports and the
// manifest in the bundle, the archive, and the verdict in the history. The
// exit status, made worse when what was asked cannot be written.
int finishRecord(const Options &options, const RunSummary &summary, int status);

// "cardreader-cli history": the terminal's past verdicts, newest first.
int showHistory(const Options &options);

#endif
