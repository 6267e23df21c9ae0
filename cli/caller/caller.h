#ifndef CLI_CALLER_H
#define CLI_CALLER_H

#include "strayoutput.h"

#include "run/options.h"
#include "session/plan.h"
#include "session/sessionfile.h"

#include <QByteArray>

// The calling process: loads the library the watcher found (libraryPath,
// which it holds open as libraryFd) and makes every call of the run,
// reporting each as it comes back and keeping the run's shared state. It
// stops before the next call when asked to, and never returns.
// Before the calling process is forked: what its copies will tell it by.
void prepareCalls();

// A guided commissioning: its plan, its session as it stands, and where
// the session is kept.
struct Commissioning
{
    Plan plan;
    Session session;
    QString sessionPath;
};

// With a commissioning, its steps are the calls, from the session's next.
[[noreturn]] void makeCalls(const Options &options, StrayOutput &strayOutput,
                            const QByteArray &libraryPath, int libraryFd,
                            Commissioning *commissioning);

#endif
