#ifndef CLI_WATCHER_H
#define CLI_WATCHER_H

#include "options.h"
#include "output.h"
#include "strayoutput.h"

#include <QString>

#include <sys/types.h>

// The process that watches the calling one: it turns Ctrl-C, SIGTERM and
// SIGHUP into a stop after the current call (a second one stops it now),
// stops a call that overruns the watchdog, names the call the calling
// process was in when it ended, and closes the run with its summary, its
// metrics and the exit status that keeps the worst news.
class Watcher
{
public:
    Watcher(const Options &options, StrayOutput &strayOutput, pid_t caller);

    // Installed before the calling process is started.
    static void catchSignals();
    int run();

private:
    void onSignals();
    void onWatchdog();
    void reportLostCall(int how);
    void writeSummary();

    const Options &m_options;
    StrayOutput &m_strayOutput;
    pid_t m_caller;
    Output m_output;
    int m_signalsHandled = 0;
    int m_stopSignal = 0;
    bool m_stoppedNow = false;
    bool m_timedOut = false;
    QString m_ending;
};

#endif
