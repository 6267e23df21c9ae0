#ifndef CLI_PROGRESS_H
#define CLI_PROGRESS_H

#include "report/output.h"
#include "run/options.h"

#include <QString>

// A burn-in's progress for the operator at a terminal: rounds done of the
// total, time elapsed, calls per second, failures and findings so far, and
// the time left, redrawn in place on standard error at most ten times a
// second, so that a fast burn-in spends its time on calls, not on drawing.
// In a guided session, how long the step in progress has waited on the
// device.
class Progress
{
public:
    // deadlineNs: when --duration ends the run, or 0.
    Progress(const Options &options, Output &output, long long startNs, long long deadlineNs);

    // Draws the line if it is shown, due and changed.
    void update();

private:
    QString lineAt(long long nowNs) const;
    void showWaiting(long long nowNs);

    const Options &m_options;
    Output &m_output;
    const bool m_shown;
    const long long m_startNs;
    const long long m_deadlineNs;
    long long m_drawnNs = 0;
    QString m_line;
};

#endif
