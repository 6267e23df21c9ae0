#include "verdict.h"

#include "run/librarytext.h"

namespace {

QString counted(std::uint64_t count, const char *one, const char *many)
{
    return QString::number(count) + ' ' + QLatin1String(count == 1 ? one : many);
}

struct Part
{
    std::uint64_t count;
    QStringList operations;
};

void add(Part &part, std::uint64_t count, const char *operation)
{
    if (count == 0)
        return;
    part.count += count;
    part.operations << printable(operation);
}

} // namespace

Verdict verdictOf(const RunSummary &summary)
{
    Part broke{0, {}}, differ{0, {}}, implausible{0, {}}, failed{0, {}};
    std::uint64_t calls = 0;
    std::uint64_t compared = 0;
    for (const Tally::Figures &f : summary.figures) {
        calls += f.calls;
        if (!summary.notCompared.contains(printable(f.function)))
            compared += f.calls;
        add(broke, f.brokeContract, f.operation);
        add(differ, f.differs, f.operation);
        add(implausible, f.implausible, f.operation);
        add(failed, f.failed, f.operation);
    }
    const bool checkedAgainst = !summary.expectPath.isEmpty();
    const QString notCompared = summary.notCompared.isEmpty()
        ? QString()
        : "; not compared, as the expected answers name none: " + summary.notCompared.join(", ");
    const QString where = summary.library.simulated.isEmpty() ? QString()
                                                              : QStringLiteral(" on the simulated reader");

    QStringList wrong;
    if (!summary.findings.isEmpty() || !summary.ending.isEmpty())
        wrong << "the library broke the contract: "
                + (summary.findings.isEmpty() ? summary.ending : summary.findings.first());
    const auto say = [&wrong](const Part &part, const char *one, const char *many) {
        if (part.count)
            wrong << counted(part.count, one, many) + " (" + part.operations.join(", ") + ')';
    };
    say(broke, "call broke the contract", "calls broke the contract");
    say(differ, "answer differs", "answers differ");
    say(implausible, "implausible", "implausible");
    say(failed, "call failed", "calls failed");
    if (!wrong.isEmpty()) {
        const QString word = "FAILED" + where;
        return {Verdict::Failed, word, word + ": " + wrong.join(", ") + notCompared};
    }

    const QString answered = checkedAgainst
        ? QStringLiteral("%1 of %2 answers as expected").arg(compared).arg(calls)
        : QStringLiteral("%1 of %2 calls succeeded").arg(calls).arg(calls)
            + (summary.plausibility ? QStringLiteral(", every answer plausible") : QString());
    if (summary.stoppedBy) {
        const QString word = "STOPPED" + where;
        return {Verdict::Stopped, word,
                word + " by " + signalName(summary.stoppedBy) + ": " + answered + " so far"
                    + notCompared};
    }
    if (checkedAgainst && compared == 0) {
        const QString word = "NOT CHECKED" + where;
        return {Verdict::NotChecked, word, word + ": no answer was compared" + notCompared};
    }
    if (!where.isEmpty())
        return {Verdict::Passed, "PASSED" + where,
                "PASSED" + where + ": no terminal was checked; " + answered + notCompared};
    return {Verdict::Passed, QStringLiteral("PASSED"), "PASSED: " + answered + notCompared};
}

QString verdictLine(const Verdict &verdict, bool colour)
{
    if (!colour)
        return verdict.line;
    static const char *const colours[] = {"\x1b[1;32m", "\x1b[1;31m", "\x1b[1;33m", "\x1b[1;33m"};
    return QLatin1String(colours[verdict.kind]) + verdict.word + QLatin1String("\x1b[0m")
        + verdict.line.mid(verdict.word.size());
}
