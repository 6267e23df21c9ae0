#ifndef CLI_VERDICT_H
#define CLI_VERDICT_H

#include "report.h"

#include <QString>

// The one line a person acts on, closing every run that made calls: how it
// went, the worst news first, against what it was checked, and never a pass
// where nothing was checked. "PASSED: 11 of 11 answers as expected",
// "FAILED: 2 answers differ (id-card, bank-chip), 1 implausible (bank-stripe)".
// Steps the technician skipped keep a run that went right from passing:
// "INCOMPLETE: 9 of 9 answers as expected; 2 steps skipped (bank-stripe, pin)".
struct Verdict
{
    enum Kind { Passed, Failed, Stopped, NotChecked, Incomplete };
    Kind kind;
    QString word;  // "PASSED", "PASSED on the simulated reader", "FAILED", ...
    QString line;  // the word, then what it rests on
};

// Programs read the verdict in English, as JSON, JUnit and the HTML report
// give it; people read it in the language of their locale, with each
// operation's button beside its name in Chinese.
enum class Audience { Programs, People };

Verdict verdictOf(const RunSummary &summary, Audience audience = Audience::Programs);

// The line for a terminal: the word in colour where colour is wanted.
QString verdictLine(const Verdict &verdict, bool colour);

#endif
