#include "progress.h"

#include "report/language.h"
#include "report/report.h"
#include "run/runstate.h"

#include <QCoreApplication>

#include <unistd.h>

#include <algorithm>
#include <cstdint>

namespace {

const long long drawEveryNs = 100 * 1000000LL;

} // namespace

Progress::Progress(const Options &options, Output &output, long long startNs,
                   long long deadlineNs)
    : m_options(options)
    , m_output(output)
    , m_shown(progressShown(options, STDERR_FILENO))
    , m_startNs(startNs)
    , m_deadlineNs(deadlineNs)
{
    m_output.besideProgress(m_shown);
}

void Progress::update()
{
    const long long now = monotonicNs();
    if (!m_shown || now - m_drawnNs < drawEveryNs)
        return;
    if (m_options.guided) {
        showWaiting(now);
        return;
    }
    // Unchanged for at most a second, as the time shown moves on: a line the
    // calling process erased to write its own comes back by then.
    const QString line = lineAt(now);
    if (line == m_line)
        return;
    m_output.progress(line);
    m_line = line;
    m_drawnNs = now;
}

// A guided step that waits on the device says so, and for how long: a
// technician who sees nothing happen presents the card again, or gives up.
// Shown once the call has waited a second, gone as soon as it returns.
void Progress::showWaiting(long long nowNs)
{
    const RunState &state = runState();
    const long long waitedMs = state.calling ? (nowNs - state.callStartNs) / 1000000 : 0;
    if (waitedMs < 1000) {
        if (!m_line.isEmpty())
            m_output.clearProgress();
        m_line.clear();
        return;
    }
    const QString line = QCoreApplication::translate("Progress", "waiting for the reader: %1 s")
                             .arg(waitedMs / 1000);
    if (line != m_line)
        m_output.progress(line);
    m_line = line;
    m_drawnNs = nowNs;
}

// "37/500 rounds  0:01:12  51.3 calls/s  2 failed  1 finding  ETA 0:02:03",
// in the language of the locale.
QString Progress::lineAt(long long nowNs) const
{
    const RunState &state = runState();
    const int rounds = state.roundsDone;
    std::uint64_t calls = 0, failed = 0, findings = 0;
    for (const Tally::Figures &f : state.tally.figures()) {
        calls += f.calls;
        failed += f.failed;
        findings += f.brokeContract + f.differs + f.implausible;
    }
    const long long elapsedMs = (nowNs - m_startNs) / 1000000;
    const bool counted = m_options.repeat != unboundedRounds;
    const double rate = elapsedMs > 0 ? calls * 1000.0 / elapsedMs : 0;
    // The rounds left at the pace so far, or the time left, whichever ends
    // the run first.
    long long leftMs = -1;
    if (counted && rounds > 0)
        leftMs = (long long)(double(elapsedMs) * (m_options.repeat - rounds) / rounds);
    if (m_deadlineNs > 0) {
        const long long untilDeadlineMs = std::max(0LL, (m_deadlineNs - nowNs) / 1000000);
        leftMs = leftMs < 0 ? untilDeadlineMs : std::min(leftMs, untilDeadlineMs);
    }
    enum { Rounds, Elapsed, Rate, Failed, Findings, Left };
    QString fields[] = {
        counted ? QCoreApplication::translate("Progress", "%1/%2 rounds").arg(rounds).arg(m_options.repeat)
                : QCoreApplication::translate("Progress", "%1 rounds").arg(rounds),
        clockTime(elapsedMs, false),
        QCoreApplication::translate("Progress", "%1 calls/s")
            .arg(QString::number(rate, 'f', rate < 10 ? 1 : 0)),
        QCoreApplication::translate("Progress", "%1 failed").arg(failed),
        (findings == 1 ? QCoreApplication::translate("Progress", "%1 finding")
                       : QCoreApplication::translate("Progress", "%1 findings"))
            .arg(findings),
        // Whole seconds, rounded up: "0:00:00" would say the run had ended.
        leftMs < 0 ? QString()
                   : QCoreApplication::translate("Progress", "ETA %1")
                         .arg(clockTime((leftMs + 999) / 1000 * 1000, false)),
    };
    const auto line = [&fields] {
        QStringList shown;
        for (const QString &field : fields)
            if (!field.isEmpty())
                shown << field;
        return shown.join(QStringLiteral("  "));
    };
    // On a narrow terminal fields give way, never cut: the rate first, then
    // the time elapsed, no failures or findings, the time left, and news
    // last, which is what a person watches a burn-in for.
    const int dropped[] = {Rate, Elapsed, failed ? -1 : Failed, findings ? -1 : Findings, Left,
                           Findings, Failed};
    const int columns = m_output.progressColumns();
    for (int i = 0; i < int(sizeof dropped / sizeof *dropped) && columnsOf(line()) > columns; ++i) {
        if (dropped[i] >= 0)
            fields[dropped[i]].clear();
    }
    return line();
}
