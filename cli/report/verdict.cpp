#include "verdict.h"
#include "language.h"

#include "run/librarytext.h"
#include "run/options.h"

#include <QCoreApplication>

namespace {

// The verdict's words for its audience: for people as the installed
// catalogue has them, for programs as written. Named as QCoreApplication's
// own translate, so that lupdate finds the texts it is given.
struct Words
{
    Audience audience;

    QString translate(const char *context, const char *source) const
    {
        return audience == Audience::People ? QCoreApplication::translate(context, source)
                                            : QString::fromUtf8(source);
    }
    // A finding kept in English, as its audience reads it.
    QString text(const QString &english) const
    {
        return audience == Audience::People ? forPeople(english) : english;
    }
    QString operation(const char *name) const
    {
        return audience == Audience::People ? operationLabel(printable(name)) : printable(name);
    }
};

struct Part
{
    std::uint64_t count;
    QStringList operations;
};

void add(Part &part, std::uint64_t count, const char *operation, const Words &words)
{
    if (count == 0)
        return;
    part.count += count;
    part.operations << words.operation(operation);
}

// The operation a "operation: reason" line of the session is about.
QString operationOf(const QString &line)
{
    return line.section(QStringLiteral(": "), 0, 0);
}

} // namespace

Verdict verdictOf(const RunSummary &summary, Audience audience)
{
    const Words words{audience};
    Part broke{0, {}}, differ{0, {}}, implausible{0, {}}, failed{0, {}};
    std::uint64_t calls = 0;
    std::uint64_t compared = 0;
    for (const Tally::Figures &f : summary.figures) {
        calls += f.calls;
        if (!summary.notCompared.contains(printable(f.function)))
            compared += f.calls;
        add(broke, f.brokeContract, f.operation, words);
        add(differ, f.differs, f.operation, words);
        add(implausible, f.implausible, f.operation, words);
        add(failed, f.failed, f.operation, words);
    }
    const bool checkedAgainst = !summary.expectPath.isEmpty();
    const QString notCompared = summary.notCompared.isEmpty()
        ? QString()
        : words.translate("Verdict", "; not compared, as the expected answers name none: %1")
              .arg(summary.notCompared.join(", "));
    QStringList skippedSteps;
    for (const QString &step : summary.skipped)
        skippedSteps << words.operation(operationOf(step).toUtf8().constData());
    // Counted in English as one or many; Chinese has one form for both.
    const QString skipped = skippedSteps.isEmpty()
        ? QString()
        : words.translate("Verdict", skippedSteps.size() == 1
                                         ? QT_TRANSLATE_NOOP("Verdict", "; %1 step skipped (%2)")
                                         : QT_TRANSLATE_NOOP("Verdict", "; %1 steps skipped (%2)"))
                  .arg(skippedSteps.size())
                  .arg(skippedSteps.join(", "));
    QStringList notFittedSteps;
    for (const QString &operation : summary.notFitted)
        notFittedSteps << words.operation(operation.toUtf8().constData());
    // A session left to be resumed has steps no call has checked yet.
    const QString left = summary.stepsLeft == 0
        ? QString()
        : words.translate("Verdict", summary.stepsLeft == 1
                                         ? QT_TRANSLATE_NOOP("Verdict", "; %1 step left, to resume")
                                         : QT_TRANSLATE_NOOP("Verdict", "; %1 steps left, to resume"))
              .arg(summary.stepsLeft);
    // Said, but no concern of the verdict's: the plan left them out.
    const QString after = left + skipped + notCompared
        + (notFittedSteps.isEmpty()
               ? QString()
               : words.translate("Verdict", "; not fitted: %1").arg(notFittedSteps.join(", ")));
    const QString where = summary.library.simulated.isEmpty()
        ? QString()
        : words.translate("Verdict", " on the simulated reader");

    QStringList wrong;
    if (!summary.findings.isEmpty() || !summary.ending.isEmpty())
        wrong << words.translate("Verdict", "the library broke the contract: %1")
                     .arg(words.text(summary.findings.isEmpty() ? summary.ending
                                                                 : summary.findings.first()));
    const auto say = [&wrong, &words](const Part &part, const char *one, const char *many) {
        if (part.count)
            wrong << QString::number(part.count) + ' '
                    + words.translate("Verdict", part.count == 1 ? one : many) + " ("
                    + part.operations.join(", ") + ')';
    };
    say(broke, QT_TRANSLATE_NOOP("Verdict", "call broke the contract"),
        QT_TRANSLATE_NOOP("Verdict", "calls broke the contract"));
    // Known only once the run is over: for the reports, written after it.
    if (summary.exitStatus == OutputFailed)
        wrong << words.translate("Verdict", "the output or a report could not be written");
    say(differ, QT_TRANSLATE_NOOP("Verdict", "answer differs"),
        QT_TRANSLATE_NOOP("Verdict", "answers differ"));
    say(implausible, QT_TRANSLATE_NOOP("Verdict", "implausible"),
        QT_TRANSLATE_NOOP("Verdict", "implausible"));
    say(failed, QT_TRANSLATE_NOOP("Verdict", "call failed"),
        QT_TRANSLATE_NOOP("Verdict", "calls failed"));
    if (!wrong.isEmpty()) {
        const QString word = words.translate("Verdict", "FAILED") + where;
        return {Verdict::Failed, word, word + ": " + wrong.join(", ") + after};
    }

    const QString answered = checkedAgainst
        ? words.translate("Verdict", "%1 of %2 answers as expected").arg(compared).arg(calls)
        : words.translate("Verdict", "%1 of %2 calls succeeded").arg(calls).arg(calls)
            + (summary.plausibility ? words.translate("Verdict", ", every answer plausible")
                                    : QString());
    if (summary.stoppedBy) {
        const QString word = words.translate("Verdict", "STOPPED") + where;
        return {Verdict::Stopped, word,
                word + words.translate("Verdict", " by %1: %2 so far")
                           .arg(signalName(summary.stoppedBy), answered)
                    + after};
    }
    if (summary.stepsLeft) {
        const QString word = words.translate("Verdict", "STOPPED") + where;
        return {Verdict::Stopped, word,
                word + words.translate("Verdict", ": %1 so far").arg(answered) + after};
    }
    if (checkedAgainst && compared == 0) {
        const QString word = words.translate("Verdict", "NOT CHECKED") + where;
        return {Verdict::NotChecked, word,
                word + words.translate("Verdict", ": no answer was compared") + after};
    }
    const bool incomplete = !skippedSteps.isEmpty();
    const QString word =
        words.translate("Verdict", incomplete ? QT_TRANSLATE_NOOP("Verdict", "INCOMPLETE")
                                              : QT_TRANSLATE_NOOP("Verdict", "PASSED"))
        + where;
    const Verdict::Kind kind = incomplete ? Verdict::Incomplete : Verdict::Passed;
    if (!where.isEmpty())
        return {kind, word,
                word + words.translate("Verdict", ": no terminal was checked; %1").arg(answered)
                    + after};
    return {kind, word, word + ": " + answered + after};
}

QString verdictLine(const Verdict &verdict, bool colour)
{
    if (!colour)
        return verdict.line;
    static const char *const colours[] = {"\x1b[1;32m", "\x1b[1;31m", "\x1b[1;33m", "\x1b[1;33m",
                                          "\x1b[1;33m"};
    return QLatin1String(colours[verdict.kind]) + verdict.word + QLatin1String("\x1b[0m")
        + verdict.line.mid(verdict.word.size());
}
