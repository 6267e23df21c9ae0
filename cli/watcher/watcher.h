#ifndef CLI_WATCHER_H
#define CLI_WATCHER_H

#include "progress.h"

#include "caller/caller.h"
#include "caller/strayoutput.h"
#include "libraryfile/libraryfile.h"
#include "report/output.h"
#include "report/report.h"
#include "run/options.h"

#include <QString>
#include <QStringList>

#include <sys/stat.h>
#include <sys/types.h>

// The process that watches the calling one and speaks for the run. It takes
// the library's identity from the file before any of its code runs, turns
// Ctrl-C, SIGTERM and SIGHUP into a stop after the current call (a second
// one stops it now), names a signal that came from the library instead,
// stops a call that overruns the watchdog, ends the run once its time is
// up, shows a burn-in's progress, names the call the calling process was in
// when it ended, writes the metrics, ends whatever processes
// the library left behind, and closes the run with its summary and the exit
// status that keeps the worst news. Nothing the library can write decides
// which file it reports or how the calling process ended.
class Watcher
{
public:
    // A guided commissioning names its session in the reports (none: null).
    Watcher(const Options &options, StrayOutput &strayOutput, LibraryIdentity &library,
            const Commissioning *commissioning);

    // Installed before the calling process is started.
    static void catchSignals();
    // Before the calling process is started: false when the library cannot
    // be loaded at all, which is then said.
    bool prepare();
    // Watches the calling process to its end (none: -1) and closes the run.
    int run(pid_t caller);
    // The run as its summary told it, once it is over.
    const RunSummary &summary() const { return m_summary; }

private:
    void takeWhatItLacks();
    void describeLibraryIfAsked();
    void onSignals();
    bool fromLibrary(pid_t sender) const;
    void stopNow();
    void onWatchdog();
    void onDeadline();
    void updateMetrics(bool finished);
    void endLeftovers();
    void hashIfUnchanged();
    bool reportLostCall(int how);
    RunSummary summaryOfRun() const;
    void addSession(RunSummary &summary) const;
    void keepLostAttempt(const CallRecord &call);
    bool saveAnswers(RunSummary &summary);
    bool writeReports(RunSummary &summary);

    const Options &m_options;
    StrayOutput &m_strayOutput;
    LibraryIdentity &m_library;
    const Commissioning *m_commissioning;
    pid_t m_caller = -1;
    Output m_output;
    // Taken before the library was loaded.
    long long m_startTimeMs;
    long long m_startNs;
    long long m_deadlineNs = 0;   // 0: no time limit
    bool m_timeUp = false;
    long long m_endTimeMs = 0;    // 0: the run goes on
    long long m_elapsedMs = 0;
    Progress m_progress;
    bool m_quietBrokenPipe;
    int m_status = 0;
    int m_signalsHandled = 0;
    int m_stopSignal = 0;
    bool m_describing = false;    // the library is to be described, and is not yet
    bool m_stopAsked = false;     // by the operator
    bool m_stoppedNow = false;
    long long m_stopDeadlineNs = 0;
    bool m_timedOut = false;
    long long m_timedOutMs = 0;
    long long m_ownLimitMs = 0;   // 0: no watchdog
    long long m_callSeen = -1;    // the start of the call in progress, as written
    long long m_callSeenAtNs = 0; // when this process first saw it; 0: no call
    bool m_metricsFailed = false;
    long long m_metricsWrittenNs = 0;
    unsigned m_metricsChanges = ~0u;
    struct stat m_atStart;        // the library file before its code ran
    QString m_ending;
    QString m_stoppedCall;
    double m_stoppedCallMs = 0;
    QStringList m_findings;
    RunSummary m_summary;
};

#endif
