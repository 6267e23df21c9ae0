#include "htmlreport.h"

#include "markup.h"
#include "verdict.h"

#include "run/libraryidentity.h"
#include "run/librarytext.h"

#include "language.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// Colours by outcome, from good to worst as Tally counts them: bright for
// marks in a chart, and darker for text, which must read on white as well as
// the page's ink does (WCAG AA).
const char *const outcomeColour[Tally::outcomes] = {"#2f9e5a", "#e58a1f", "#c9a400", "#8e44ad",
                                                   "#d63031"};
const char *const outcomeInk[Tally::outcomes] = {"#1f7a45", "#a4520a", "#7a6200", "#7d3c98",
                                                "#c0262b"};
const char *const outcomeName[Tally::outcomes] = {
    QT_TRANSLATE_NOOP("Report", "succeeded"), QT_TRANSLATE_NOOP("Report", "failed"),
    QT_TRANSLATE_NOOP("Report", "implausible"), QT_TRANSLATE_NOOP("Report", "differs"),
    QT_TRANSLATE_NOOP("Report", "broke the contract")};

// The page is read by people, in the language of their locale.
QString said(const char *text)
{
    return QCoreApplication::translate("Report", text);
}

// A column's heading, with where a narrow screen may break it in English.
QString heading(const char *text, const char *hyphenated)
{
    const QString translated = said(text);
    return translated == QLatin1String(text) ? QLatin1String(hyphenated) : translated;
}

QString style()
{
    QFile file(QStringLiteral(":/report/htmlreport.css"));
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

QString escaped(const QString &text)
{
    QString out;
    const QString safe = markupSafe(text);
    out.reserve(safe.size());
    for (const QChar c : safe) {
        switch (c.unicode()) {
        case '&': out += QLatin1String("&amp;"); break;
        case '<': out += QLatin1String("&lt;"); break;
        case '>': out += QLatin1String("&gt;"); break;
        case '"': out += QLatin1String("&quot;"); break;
        case '\'': out += QLatin1String("&#39;"); break;
        default: out += c;
        }
    }
    return out;
}

// Bytes the library or the operator gave, shown as a terminal shows them.
QString fromLibrary(const QByteArray &bytes)
{
    return escaped(printable(bytes));
}

QString count(std::uint64_t n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qulonglong(n));
}

QString number(double value)
{
    return QString::number(std::isfinite(value) ? value : 0, 'f', 1);
}

// A duration for an axis: "250 µs", "1.5 ms", "2 s", "3 h 20 min".
QString span(double ms)
{
    if (!std::isfinite(ms) || ms <= 0)
        return QStringLiteral("0");
    if (ms < 1)
        return QString::number(ms * 1000, 'g', 3) + QString::fromUtf8(" µs");
    if (ms < 1000)
        return QString::number(ms, 'g', 3) + " ms";
    const double s = ms / 1000;
    if (s < 60)
        return QString::number(s, 'g', 3) + " s";
    const long long minutes = (long long)(s / 60 + 0.5);
    if (minutes < 60)
        return QStringLiteral("%1 min").arg(minutes);
    if (minutes < 48 * 60)
        return QStringLiteral("%1 h %2 min").arg(minutes / 60).arg(minutes % 60);
    return QStringLiteral("%1 d %2 h").arg(minutes / 1440).arg(minutes / 60 % 24);
}

QString usage(const RunState::Usage &usage)
{
    if (usage.residentKiB < 0)
        return QCoreApplication::translate("Summary", "unknown");
    return QCoreApplication::translate("Summary", "%1 KiB resident, %2 open descriptors")
        .arg(count(std::uint64_t(usage.residentKiB)))
        .arg(usage.descriptors);
}

void fact(QString &out, const char *name, const QString &html)
{
    out += QStringLiteral("<dt>%1</dt><dd>%2</dd>\n").arg(said(name), html);
}

std::uint64_t outcomeOf(const Tally::Figures &f, int outcome)
{
    const std::uint64_t counts[Tally::outcomes] = {f.succeeded, f.failed, f.implausible, f.differs,
                                                   f.brokeContract};
    return counts[outcome];
}

// The closing verdict as a heading: "PASSED on the simulated reader" reads
// "Passed on the simulated reader".
QString headingOf(const QString &word)
{
    const QString lower = word.toLower();
    return lower.left(1).toUpper() + lower.mid(1);
}

// A pass on the simulated reader has a colour of its own: it never looks
// like a terminal's.
const char *kindOf(const Verdict &verdict, const RunSummary &summary)
{
    switch (verdict.kind) {
    case Verdict::Passed: return summary.library.simulated.isEmpty() ? "pass" : "simulated";
    case Verdict::Failed: return "fail";
    case Verdict::Stopped: return "stopped";
    case Verdict::Incomplete: return "incomplete";
    case Verdict::NotChecked: break;
    }
    return "unchecked";
}

// What the exit status means, as the run's other outputs give it in English.
QString exitStatusForPeople(int status)
{
    if (status > 128)
        return said(QT_TRANSLATE_NOOP("Report", "stopped by %1")).arg(signalName(status - 128));
    return QCoreApplication::translate("ExitStatus", exitStatusMeaning(status).toUtf8().constData());
}

QString banner(const RunSummary &summary)
{
    const Verdict verdict = verdictOf(summary, Audience::People);
    QString reason = verdict.line.mid(verdict.word.size());
    if (reason.startsWith(QLatin1String(": ")))
        reason = reason.mid(2);
    reason = reason.left(1).toUpper() + reason.mid(1);
    QString rounds = said(QT_TRANSLATE_NOOP("Report", "%1 rounds")).arg(roundsOf(summary));
    if (summary.stoppedInRound)
        rounds += said(QT_TRANSLATE_NOOP("Report", ", round %1 cut short")).arg(summary.stoppedInRound);
    QString out = QStringLiteral("<header class=\"verdict %1\"><div class=\"inner\">"
                                 "<h1 class=\"word\">%2</h1>"
                                 "<p class=\"reason\">%3</p>"
                                 "<p class=\"meaning\">%4</p>"
                                 "<p class=\"where\">%6 &middot; %7 &middot; %8</p>"
                                 "</div>")
                      .arg(QLatin1String(kindOf(verdict, summary)), escaped(headingOf(verdict.word)),
                           escaped(reason),
                           escaped(said(QT_TRANSLATE_NOOP("Report", "Exit status %1: %2"))
                                       .arg(summary.exitStatus)
                                       .arg(exitStatusForPeople(summary.exitStatus))),
                           escaped(summary.host),
                           escaped(localTime(summary.startTimeMs)), rounds);
    if (!summary.library.simulated.isEmpty())
        out += "<div class=\"notice\"><div class=\"inner\"><strong>"
            + said(QT_TRANSLATE_NOOP("Report", "Simulated reader.")) + "</strong> "
            + said(QT_TRANSLATE_NOOP("Report", "The answers came from the simulated reader (%1), "
                                               "not from a card reader: no terminal was checked."))
                  .arg(fromLibrary(summary.library.simulated))
            + "</div></div>";
    return out + "</header>\n";
}

QString tiles(const RunSummary &summary)
{
    std::uint64_t totals[Tally::outcomes] = {};
    std::uint64_t calls = 0;
    for (const Tally::Figures &f : summary.figures) {
        calls += f.calls;
        for (int o = 0; o < Tally::outcomes; ++o)
            totals[o] += outcomeOf(f, o);
    }
    QString out = "<div class=\"tiles\">"
        + QStringLiteral("<div class=\"tile\"><b>%1</b><span>%2</span></div>")
              .arg(count(calls), said(QT_TRANSLATE_NOOP("Report", "calls")));
    for (int o = 0; o < Tally::outcomes; ++o) {
        const bool bad = o != Tally::Succeeded && totals[o] > 0;
        out += QStringLiteral("<div class=\"tile%1\"%2><b>%3</b><span>%4</span></div>")
                   .arg(bad ? " bad" : "")
                   .arg(bad ? QStringLiteral(" style=\"color:%1\"").arg(outcomeInk[o]) : QString())
                   .arg(count(totals[o]))
                   .arg(said(outcomeName[o]));
    }
    return out + "</div>\n";
}

// Lines the technician typed about steps, "operation: text", one a line.
QString steps(const QStringList &lines)
{
    QStringList out;
    for (const QString &line : lines)
        out << escaped(line);
    return out.join("<br>");
}

QString facts(const RunSummary &summary)
{
    const LibraryIdentity &library = summary.library;
    QString out = "<div class=\"cards\">\n<section class=\"card\"><h2>"
        + said(QT_TRANSLATE_NOOP("Report", "Run")) + "</h2>\n<dl class=\"facts\">\n";
    fact(out, QT_TRANSLATE_NOOP("Report", "Terminal"), escaped(summary.host));
    fact(out, QT_TRANSLATE_NOOP("Report", "Started"), escaped(localTime(summary.startTimeMs)));
    fact(out, QT_TRANSLATE_NOOP("Report", "Ended"), escaped(localTime(summary.endTimeMs)));
    fact(out, QT_TRANSLATE_NOOP("Report", "Elapsed"), clockTime(summary.elapsedMs, true));
    QString rounds = roundsOf(summary);
    if (summary.timeUp)
        rounds += said(QT_TRANSLATE_NOOP("Report", ", time up after %1")).arg(durationText(summary.timeLimitMs));
    if (summary.stoppedBy)
        rounds += said(QT_TRANSLATE_NOOP("Report", ", stopped by %1")).arg(escaped(signalName(summary.stoppedBy)));
    if (!summary.stoppedCall.isEmpty())
        rounds += said(QT_TRANSLATE_NOOP("Report", " during %1")).arg(escaped(stoppedCallText(summary)));
    if (!summary.ending.isEmpty())
        rounds += said(QT_TRANSLATE_NOOP("Report", ", ended early: %1")).arg(escaped(forPeople(summary.ending)));
    fact(out, QT_TRANSLATE_NOOP("Report", "Rounds"), rounds);
    fact(out, QT_TRANSLATE_NOOP("Report", "Device"), QString::number(summary.deviceType));
    fact(out, QT_TRANSLATE_NOOP("Report", "Region"), fromLibrary(summary.regionCode));
    if (summary.expectPath.isEmpty()) {
        fact(out, QT_TRANSLATE_NOOP("Report", "Expected answers"), "<span class=\"quiet\">"
                                          + said(QT_TRANSLATE_NOOP("Report", "none: answers not compared"))
                                          + "</span>");
    } else {
        fact(out, QT_TRANSLATE_NOOP("Report", "Expected answers"), "<code>" + escaped(summary.expectPath) + "</code>");
        fact(out, QT_TRANSLATE_NOOP("Report", "Their SHA-256"), "<code>" + escaped(QString::fromLatin1(summary.expectSha256)) + "</code>");
        fact(out, QT_TRANSLATE_NOOP("Report", "Not compared"),
             summary.notCompared.isEmpty() ? "<span class=\"quiet\">" + said(QT_TRANSLATE_NOOP("Report", "none")) + "</span>"
                                           : escaped(summary.notCompared.join(", ")));
    }
    if (!summary.planPath.isEmpty()) {
        fact(out, QT_TRANSLATE_NOOP("Report", "Plan"), "<code>" + escaped(summary.planPath) + "</code>");
        fact(out, QT_TRANSLATE_NOOP("Report", "Its SHA-256"), "<code>" + escaped(QString::fromLatin1(summary.planSha256)) + "</code>");
    }
    if (!summary.operatorName.isEmpty())
        fact(out, QT_TRANSLATE_NOOP("Report", "Operator"), escaped(summary.operatorName));
    if (!summary.workOrder.isEmpty())
        fact(out, QT_TRANSLATE_NOOP("Report", "Work order"), escaped(summary.workOrder));
    if (!summary.bundlePath.isEmpty())
        fact(out, QT_TRANSLATE_NOOP("Report", "Record kept in"), "<code>" + escaped(summary.bundlePath) + "</code>");
    if (!summary.skipped.isEmpty())
        fact(out, QT_TRANSLATE_NOOP("Report", "Skipped"), steps(summary.skipped));
    if (!summary.notFitted.isEmpty())
        fact(out, QT_TRANSLATE_NOOP("Report", "Not fitted"), escaped(summary.notFitted.join(", ")));
    if (!summary.comments.isEmpty())
        fact(out, QT_TRANSLATE_NOOP("Report", "Comments"), steps(summary.comments));
    fact(out, QT_TRANSLATE_NOOP("Report", "Plausibility checks"), summary.plausibility ? said(QT_TRANSLATE_NOOP("Report", "on"))
                                                          : said(QT_TRANSLATE_NOOP("Report", "off")));
    fact(out, QT_TRANSLATE_NOOP("Report", "Calling process"), said(QT_TRANSLATE_NOOP("Report", "at start %1<br>at end %2"))
                                     .arg(usage(summary.atStart), usage(summary.atEnd)));
    out += "</dl></section>\n<section class=\"card\"><h2>" + said(QT_TRANSLATE_NOOP("Report", "Library"))
        + "</h2>\n<dl class=\"facts\">\n";
    fact(out, QT_TRANSLATE_NOOP("Report", "Path"), "<code>" + fromLibrary(library.path) + "</code>");
    if (!library.unusable.isEmpty())
        fact(out, QT_TRANSLATE_NOOP("Report", "Unusable"), escaped(library.unusable));
    if (library.size >= 0) {
        fact(out, QT_TRANSLATE_NOOP("Report", "Size"), said(QT_TRANSLATE_NOOP("Report", "%1 bytes")).arg(count(std::uint64_t(library.size))));
        fact(out, QT_TRANSLATE_NOOP("Report", "SHA-256"), library.sha256.isEmpty()
                                 ? "<span class=\"quiet\">" + said(QT_TRANSLATE_NOOP("Report", "not taken")) + "</span>"
                                 : "<code>" + escaped(QString::fromLatin1(library.sha256)) + "</code>");
        fact(out, QT_TRANSLATE_NOOP("Report", "Build ID"), "<code>" + escaped(QString::fromLatin1(library.buildId)) + "</code>");
        fact(out, QT_TRANSLATE_NOOP("Report", "SONAME"), fromLibrary(library.soname));
        fact(out, QT_TRANSLATE_NOOP("Report", "Simulated reader"),
             library.simulated.isEmpty() ? said(QT_TRANSLATE_NOOP("Report", "no"))
                                         : said(QT_TRANSLATE_NOOP("Report", "yes (%1)"))
                                               .arg(fromLibrary(library.simulated)));
        if (library.exportsKnown) {
            const QStringList missing = readerFunctions(library.exported, false);
            fact(out, QT_TRANSLATE_NOOP("Report", "Functions"),
                 said(QT_TRANSLATE_NOOP("Report", "%1 of %2"))
                         .arg(readerFunctionCount - missing.size())
                         .arg(readerFunctionCount)
                     + (missing.isEmpty() ? QString()
                                          : said(QT_TRANSLATE_NOOP("Report", ", missing %1"))
                                                .arg(escaped(missing.join(", ")))));
        }
    }
    return out + "</dl></section>\n</div>\n";
}

QString outcomesText(const Tally::Figures &f)
{
    QStringList parts;
    for (int o = 0; o < Tally::outcomes; ++o) {
        if (outcomeOf(f, o))
            parts << count(outcomeOf(f, o)) + ' ' + said(outcomeName[o]);
    }
    return parts.join(", ");
}

// A thin bar of the operation's outcomes, in proportion, except that each
// outcome that happened at all keeps a width the eye finds: one failure in a
// million calls must still show.
QString outcomeBar(const Tally::Figures &f)
{
    const double width = 56;
    const double least = 4;
    int shown = 0;
    for (int o = 0; o < Tally::outcomes; ++o)
        shown += outcomeOf(f, o) ? 1 : 0;
    const double shared = width - least * shown;
    QString out = QStringLiteral("<svg width=\"%1\" height=\"8\" viewBox=\"0 0 %1 8\" "
                                     "preserveAspectRatio=\"none\" role=\"img\" aria-label=\"%2\">")
                      .arg(width)
                      .arg(outcomesText(f));
    double x = 0;
    for (int o = 0; o < Tally::outcomes && f.calls; ++o) {
        const std::uint64_t n = outcomeOf(f, o);
        if (!n)
            continue;
        const double w = least + shared * double(n) / double(f.calls);
        out += QStringLiteral("<rect x=\"%1\" y=\"0\" width=\"%2\" height=\"8\" fill=\"%3\"/>")
                   .arg(number(x), number(w), outcomeColour[o]);
        x += w;
    }
    return out + "</svg>";
}

QString cell(std::uint64_t n, int outcome)
{
    if (!n)
        return "<td class=\"zero\">0</td>";
    if (outcome == Tally::Succeeded)
        return "<td>" + count(n) + "</td>";
    return QStringLiteral("<td class=\"bad\" style=\"color:%1\">%2</td>")
        .arg(outcomeInk[outcome], count(n));
}

// A function's name where a narrow screen may break it: after an underscore
// and between the words of "ICBankCard".
QString breakable(const QString &html)
{
    QString out;
    for (int i = 0; i < html.size(); ++i) {
        if (i > 0 && html.at(i).isUpper() && html.at(i - 1).isLower())
            out += QLatin1String("<wbr>");
        out += html.at(i);
        if (html.at(i) == QLatin1Char('_'))
            out += QLatin1String("<wbr>");
    }
    return out;
}

// A table that a screen narrower than it scrolls, from the keyboard too,
// named by the heading above it.
QString scrolling(const char *heading, const QString &table)
{
    return QStringLiteral("<div class=\"wide\" tabindex=\"0\" role=\"region\" aria-labelledby=\"%1\">")
               .arg(QLatin1String(heading))
        + table + "</div>\n";
}

QString table(const RunSummary &summary)
{
    QString out = "<h2 id=\"operations\">" + said(QT_TRANSLATE_NOOP("Report", "Operations")) + "</h2>\n";
    if (summary.figures.empty())
        return out + "<p class=\"quiet\">" + said(QT_TRANSLATE_NOOP("Report", "No call was made."))
            + "</p>\n";
    // Soft hyphens: where a narrow screen may break the longer headings.
    const std::pair<const char *, const char *> headings[] = {
        {QT_TRANSLATE_NOOP("Report", "Operation"), "Oper&shy;ation"},
        {QT_TRANSLATE_NOOP("Report", "Function"), "Function"},
        {QT_TRANSLATE_NOOP("Report", "Outcomes"), "Out&shy;comes"},
        {QT_TRANSLATE_NOOP("Report", "Calls"), "Calls"},
        {QT_TRANSLATE_NOOP("Report", "Succeeded"), "Suc&shy;ceeded"},
        {QT_TRANSLATE_NOOP("Report", "Failed"), "Failed"},
        {QT_TRANSLATE_NOOP("Report", "Differs"), "Dif&shy;fers"},
        {QT_TRANSLATE_NOOP("Report", "Implausible"), "Im&shy;plaus&shy;ible"},
        {QT_TRANSLATE_NOOP("Report", "Contract"), "Con&shy;tract"}};
    QString rows = "<table>\n<thead><tr>";
    for (const auto &h : headings)
        rows += "<th scope=\"col\">" + heading(h.first, h.second) + "</th>";
    rows += "</tr></thead>\n<tbody>\n";
    for (const Tally::Figures &f : summary.figures) {
        rows += "<tr><th scope=\"row\">" + fromLibrary(f.operation) + "</th><td class=\"function\">"
            + breakable(fromLibrary(f.function)) + "</td><td class=\"bar\">" + outcomeBar(f) + "</td><td>"
            + count(f.calls) + "</td>" + cell(f.succeeded, Tally::Succeeded) + cell(f.failed, Tally::Failed)
            + cell(f.differs, Tally::Differs) + cell(f.implausible, Tally::Implausible)
            + cell(f.brokeContract, Tally::BrokeContract) + "</tr>\n";
    }
    return out + scrolling("operations", rows + "</tbody>\n</table>");
}

// The durations apart from the outcomes: together they would not fit a
// phone's screen.
QString durations(const RunSummary &summary)
{
    QString rows = "<table class=\"durations\">\n<thead><tr><th scope=\"col\">"
        + heading(QT_TRANSLATE_NOOP("Report", "Operation"), "Oper&shy;ation") + "</th>";
    for (const char *h : {QT_TRANSLATE_NOOP("Report", "Min ms"), QT_TRANSLATE_NOOP("Report", "Median ms"),
                          QT_TRANSLATE_NOOP("Report", "p95 ms"), QT_TRANSLATE_NOOP("Report", "p99 ms"),
                          QT_TRANSLATE_NOOP("Report", "Max ms")})
        rows += "<th scope=\"col\">" + said(h) + "</th>";
    rows += "</tr></thead>\n<tbody>\n";
    for (const Tally::Figures &f : summary.figures) {
        rows += "<tr><th scope=\"row\">" + fromLibrary(f.operation) + "</th>";
        for (const double ms : {f.minMs, f.medianMs, f.p95Ms, f.p99Ms, f.maxMs})
            rows += "<td>" + QString::number(ms, 'f', 3) + "</td>";
        rows += "</tr>\n";
    }
    return scrolling("latency", rows + "</tbody>\n</table>");
}

// Where a duration falls on a histogram's axis of log2 microseconds.
double axisOf(double ms)
{
    return ms > 0 && std::isfinite(ms) ? std::log2(ms * 1000) : -1;
}

QString histogram(const Tally::Figures &f)
{
    int first = Tally::latencyBuckets;
    int last = -1;
    std::uint64_t highest = 0;
    for (int b = 0; b < Tally::latencyBuckets; ++b) {
        if (!f.latency[b])
            continue;
        first = std::min(first, b);
        last = b;
        highest = std::max(highest, f.latency[b]);
    }
    if (last < 0)
        return QString();
    // A few empty buckets either side, so that one busy bucket is not a wall.
    const int least = 10;
    while (last - first + 1 < least && (first > 0 || last < Tally::latencyBuckets - 1)) {
        if (first > 0)
            --first;
        if (last - first + 1 < least && last < Tally::latencyBuckets - 1)
            ++last;
    }
    const double width = 228;
    const double plot = 56;
    const int n = last - first + 1;
    const double step = width / n;
    // Bucket b spans log2 microseconds b - 1 to b.
    const auto xOf = [&](double ms) {
        return std::max(0.0, std::min(width, (axisOf(ms) - (first - 1)) * step));
    };
    int busiest = first;
    for (int b = first; b <= last; ++b)
        busiest = f.latency[b] > f.latency[busiest] ? b : busiest;
    const QString label =
        said(QT_TRANSLATE_NOOP("Report", "%1: %2 calls by duration, the most (%3) from %4 to %5; median %6, p99 %7"))
            .arg(fromLibrary(f.operation), count(f.calls), count(highest),
                   busiest == 0 ? QStringLiteral("0") : span(Tally::latencyBoundMs(busiest - 1)),
                   span(Tally::latencyBoundMs(busiest)), span(f.medianMs), span(f.p99Ms));
    QString out = QStringLiteral("<svg width=\"%1\" height=\"%2\" viewBox=\"0 0 %1 %2\" role=\"img\" "
                                 "aria-label=\"%3\">")
                      .arg(width)
                      .arg(plot + 14)
                      .arg(label);
    for (int b = first; b <= last; ++b) {
        if (!f.latency[b])
            continue;
        const double h = std::max(1.5, plot * double(f.latency[b]) / double(highest));
        out += QStringLiteral("<rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\" fill=\"#4a78c2\">"
                              "<title>%5</title></rect>")
                   .arg(number((b - first) * step + 0.5), number(plot - h), number(step - 1),
                        number(h),
                        said(QT_TRANSLATE_NOOP("Report", "%1 calls under %2"))
                            .arg(count(f.latency[b]), span(Tally::latencyBoundMs(b))));
    }
    const struct
    {
        double ms;
        const char *colour;
        const char *name;
    } marks[] = {{f.medianMs, "#1d2330", QT_TRANSLATE_NOOP("Report", "median")},
                 {f.p99Ms, "#d63031", QT_TRANSLATE_NOOP("Report", "p99")}};
    for (const auto &mark : marks) {
        const double x = xOf(mark.ms);
        out += QStringLiteral("<line x1=\"%1\" x2=\"%1\" y1=\"0\" y2=\"%2\" stroke=\"%3\" "
                              "stroke-width=\"1.2\" stroke-dasharray=\"3 2\"><title>%4 %5</title></line>")
                   .arg(number(x), number(plot), mark.colour, said(mark.name), span(mark.ms));
    }
    out += QStringLiteral("<line x1=\"0\" x2=\"%1\" y1=\"%2\" y2=\"%2\" stroke=\"#c4c9d2\"/>")
               .arg(width)
               .arg(plot + 0.5);
    out += QStringLiteral("<text x=\"0\" y=\"%1\">%2</text><text x=\"%3\" y=\"%1\" "
                          "text-anchor=\"end\">%4</text>")
               .arg(plot + 12)
               .arg(first == 0 ? QStringLiteral("0") : span(Tally::latencyBoundMs(first - 1)))
               .arg(width)
               .arg(span(Tally::latencyBoundMs(last)));
    return out + "</svg>";
}

QString latency(const RunSummary &summary)
{
    // Fewer calls than this make a few bars that say nothing a row of the
    // table does not.
    const std::uint64_t enough = 20;
    QString charts;
    for (const Tally::Figures &f : summary.figures) {
        const QString chart = f.calls < enough ? QString() : histogram(f);
        if (chart.isEmpty())
            continue;
        charts += "<div class=\"chart\"><h3>" + fromLibrary(f.operation) + "</h3>" + chart
            + "<div class=\"figures\">"
            + said(QT_TRANSLATE_NOOP("Report", "median %1 &middot; p99 %2 &middot; max %3"))
                  .arg(span(f.medianMs), span(f.p99Ms), span(f.maxMs))
            + "</div></div>\n";
    }
    if (summary.figures.empty())
        return QString();
    QString out = "<h2 id=\"latency\">" + said(QT_TRANSLATE_NOOP("Report", "Latency")) + "</h2>\n"
        + durations(summary);
    if (charts.isEmpty())
        return out;
    return out + "<div class=\"charts\">\n" + charts + "</div>\n<p class=\"legend\">"
        + said(QT_TRANSLATE_NOOP("Report", "Calls by duration, on a doubling scale; dashed: "
                                           "median (black) and p99 (red)."))
        + "</p>\n";
}

// The timeline's points, merged into at most `columns` for a chart a page wide.
std::vector<Timeline::Point> columnsOf(const Timeline &timeline, int columns, int &group)
{
    const int n = timeline.count();
    group = std::max(1, (n + columns - 1) / columns);
    std::vector<Timeline::Point> out;
    for (int i = 0; i < n; i += group) {
        Timeline::Point merged = {};
        for (int j = i; j < std::min(n, i + group); ++j) {
            const Timeline::Point &p = timeline.at(j);
            merged.calls += p.calls;
            for (int o = 0; o < Tally::outcomes; ++o)
                merged.outcomes[o] += p.outcomes[o];
            if (std::isfinite(p.sumMs))
                merged.sumMs += p.sumMs;
            if (std::isfinite(p.maxMs))
                merged.maxMs = std::max(merged.maxMs, p.maxMs);
        }
        out.push_back(merged);
    }
    return out;
}

QString timeAxis(double width, double y, double spanMs)
{
    return QStringLiteral("<text x=\"0\" y=\"%1\">0</text>"
                          "<text x=\"%2\" y=\"%1\" text-anchor=\"middle\">%3</text>"
                          "<text x=\"%4\" y=\"%1\" text-anchor=\"end\">%5</text>")
        .arg(number(y), number(width / 2), span(spanMs / 2), number(width), span(spanMs));
}

QString overTime(const RunSummary &summary)
{
    if (summary.roundsAsked == 1 || !summary.timeline || summary.timeline->count() == 0)
        return QString();
    const Timeline &timeline = *summary.timeline;
    int group = 1;
    const std::vector<Timeline::Point> columns = columnsOf(timeline, 250, group);
    const double columnMs = double(timeline.width()) * group;
    const double spanMs = double(timeline.width()) * timeline.count();
    const double width = 1040;
    const double left = 60;
    const double plotWidth = width - left;
    const double plot = 120;
    const double step = plotWidth / double(columns.size());

    QString out = "<h2>" + said(QT_TRANSLATE_NOOP("Report", "Over time")) + "</h2>\n<h3>"
        + said(QT_TRANSLATE_NOOP("Report", "Calls per %1")).arg(span(columnMs)) + "</h3>\n";
    std::uint64_t most = 1;
    for (const Timeline::Point &p : columns)
        most = std::max(most, p.calls);
    QString paths[Tally::outcomes];
    // Under the axis, a mark where anything went wrong, in the colour of the
    // worst: a few bad calls among thousands are otherwise hard to find.
    QString marks[Tally::outcomes];
    int marked = 0;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        for (int o = Tally::outcomes - 1; o > Tally::Succeeded; --o) {
            if (columns[c].outcomes[o]) {
                ++marked;
                marks[o] += QStringLiteral("M%1 %2h%3v7h-%3z")
                                .arg(number(left + double(c) * step), number(plot + 4),
                                     number(std::max(2.0, step - 0.4)));
                break;
            }
        }
        // The worst outcomes at the bottom, where a sliver is easiest to see.
        double y = plot;
        for (int o = Tally::outcomes - 1; o >= 0; --o) {
            const std::uint64_t n = columns[c].outcomes[o];
            if (!n)
                continue;
            // A few bad calls among thousands must still show.
            const double h = std::max(o == Tally::Succeeded ? 1.0 : 4.0, plot * double(n) / double(most));
            paths[o] += QStringLiteral("M%1 %2h%3v%4h-%3z")
                            .arg(number(left + double(c) * step), number(y - h),
                                 number(std::max(0.6, step * (step > 8 ? 0.8 : 1) - 0.4)), number(h));
            y -= h;
        }
    }
    out += QStringLiteral("<svg width=\"100%\" viewBox=\"0 0 %1 %2\" role=\"img\" aria-label=\"%3\">")
               .arg(width)
               .arg(plot + 28)
               .arg(said(QT_TRANSLATE_NOOP("Report", "Calls per %1 over %2, at most %3 in one; "
                                                     "something went wrong in %4 of %5"))
                        .arg(span(columnMs), span(spanMs), count(most))
                        .arg(marked)
                        .arg(int(columns.size())));
    out += QStringLiteral("<line x1=\"%1\" x2=\"%2\" y1=\"%3\" y2=\"%3\" stroke=\"#c4c9d2\"/>")
               .arg(left)
               .arg(width)
               .arg(plot + 0.5);
    out += QStringLiteral("<text x=\"%1\" y=\"9\" text-anchor=\"end\">%2</text>"
                          "<text x=\"%1\" y=\"%3\" text-anchor=\"end\">0</text>")
               .arg(left - 6)
               .arg(count(most))
               .arg(plot);
    for (int o = 0; o < Tally::outcomes; ++o) {
        if (!paths[o].isEmpty())
            out += QStringLiteral("<path d=\"%1\" fill=\"%2\"/>").arg(paths[o], outcomeColour[o]);
        if (!marks[o].isEmpty())
            out += QStringLiteral("<path d=\"%1\" fill=\"%2\"/>").arg(marks[o], outcomeColour[o]);
    }
    out += "<g transform=\"translate(" + number(left) + ",0)\">"
        + timeAxis(plotWidth, plot + 24, spanMs) + "</g></svg>\n<p class=\"legend\">";
    for (int o = 0; o < Tally::outcomes; ++o)
        out += QStringLiteral("<i style=\"background:%1\"></i>%2").arg(outcomeColour[o], said(outcomeName[o]));
    out += "</p>\n";

    // Durations on a log scale, so the typical call and the slowest share one chart.
    double low = 0;
    double high = 0;
    for (const Timeline::Point &p : columns) {
        if (!p.calls)
            continue;
        const double mean = p.sumMs / double(p.calls);
        if (mean > 0)
            low = low > 0 ? std::min(low, mean) : mean;
        high = std::max(high, p.maxMs);
    }
    if (high <= 0)
        return out;
    if (low <= 0 || low > high / 10)
        low = high / 10;
    const auto yOf = [&](double ms) {
        const double at = ms > 0 ? (std::log(ms) - std::log(low)) / (std::log(high) - std::log(low)) : 0;
        return plot - plot * std::max(0.0, std::min(1.0, at));
    };
    QString mean;
    QString slowest;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        if (!columns[c].calls)
            continue;
        const double x = left + (double(c) + 0.5) * step;
        mean += number(x) + ',' + number(yOf(columns[c].sumMs / double(columns[c].calls))) + ' ';
        slowest += number(x) + ',' + number(yOf(columns[c].maxMs)) + ' ';
    }
    out += "<h3>" + said(QT_TRANSLATE_NOOP("Report", "Call duration")) + "</h3>\n"
        + QStringLiteral("<svg width=\"100%\" viewBox=\"0 0 %1 %2\" role=\"img\" aria-label=\"%3\">")
              .arg(width)
              .arg(plot + 16)
              .arg(said(QT_TRANSLATE_NOOP("Report", "The mean and the slowest call per %1 over %2, "
                                                    "on a log scale from %3 to %4"))
                       .arg(span(columnMs), span(spanMs), span(low), span(high)))
        + QStringLiteral("<line x1=\"%1\" x2=\"%2\" y1=\"%3\" y2=\"%3\" stroke=\"#c4c9d2\"/>")
              .arg(left)
              .arg(width)
              .arg(plot + 0.5)
        + QStringLiteral("<text x=\"%1\" y=\"9\" text-anchor=\"end\">%2</text>"
                         "<text x=\"%1\" y=\"%3\" text-anchor=\"end\">%4</text>")
              .arg(left - 6)
              .arg(span(high))
              .arg(plot)
              .arg(span(low))
        + QStringLiteral("<polyline points=\"%1\" fill=\"none\" stroke=\"#e8a0a0\" stroke-width=\"1.2\"/>"
                         "<polyline points=\"%2\" fill=\"none\" stroke=\"#2d5fb0\" stroke-width=\"1.6\"/>")
              .arg(slowest.trimmed(), mean.trimmed())
        + "<g transform=\"translate(" + number(left) + ",0)\">"
        + timeAxis(plotWidth, plot + 13, spanMs) + "</g></svg>\n"
        + "<p class=\"legend\"><i style=\"background:#2d5fb0\"></i>" + said(QT_TRANSLATE_NOOP("Report", "mean"))
        + "<i style=\"background:#e8a0a0\"></i>"
        + said(QT_TRANSLATE_NOOP("Report", "slowest, on a log scale")) + "</p>\n";
    return out;
}

QString notes(const RunSummary &summary)
{
    QString out = "<h2>" + said(QT_TRANSLATE_NOOP("Report", "What went wrong")) + "</h2>\n";
    bool any = false;
    if (!summary.findings.isEmpty() || !summary.ending.isEmpty()) {
        any = true;
        out += "<h3>" + said(QT_TRANSLATE_NOOP("Report", "About the run as a whole"))
            + "</h3>\n<ol class=\"notes\">\n";
        for (const QString &finding : summary.findings)
            out += "<li>" + escaped(forPeople(finding)) + "</li>\n";
        if (!summary.ending.isEmpty())
            out += "<li>" + said(QT_TRANSLATE_NOOP("Report", "Ended early: %1")).arg(escaped(forPeople(summary.ending)))
                + "</li>\n";
        out += "</ol>\n";
    }
    const struct
    {
        Notes::Kind kind;
        const char *title;
    } kinds[] = {{Notes::Breach, QT_TRANSLATE_NOOP("Report", "Contract breaches")},
                 {Notes::Failure, QT_TRANSLATE_NOOP("Report", "Failed calls")},
                 {Notes::Difference, QT_TRANSLATE_NOOP("Report", "Answers that differ from the expected ones")},
                 {Notes::Doubt, QT_TRANSLATE_NOOP("Report", "Implausible answers")}};
    for (const auto &kind : kinds) {
        if (!summary.notes || summary.notes->count(kind.kind) == 0)
            continue;
        any = true;
        const std::uint64_t total = summary.notes->count(kind.kind);
        const int listed = summary.notes->listedCount(kind.kind);
        out += QStringLiteral("<h3>%1 (%2)</h3>\n<ol class=\"notes\">\n")
                   .arg(said(kind.title), count(total));
        for (int i = 0; i < listed; ++i) {
            const Notes::Entry entry = summary.notes->listedEntry(kind.kind, i);
            out += "<li><span class=\"round\">"
                + (entry.round > 0 ? said(QT_TRANSLATE_NOOP("Report", "round %1")).arg(entry.round)
                                   : said(QT_TRANSLATE_NOOP("Report", "at start")))
                + "</span><span class=\"op\">" + fromLibrary(entry.operation) + "</span>"
                + escaped(forPeople(QString::fromUtf8(entry.text))) + "</li>\n";
        }
        out += "</ol>\n";
        if (total > std::uint64_t(listed))
            out += "<p class=\"more\">"
                + said(QT_TRANSLATE_NOOP("Report", "and %1 more")).arg(count(total - std::uint64_t(listed)))
                + "</p>\n";
    }
    if (!any)
        out += "<p class=\"quiet\">"
            + said(QT_TRANSLATE_NOOP("Report", "Nothing: every call succeeded and kept the contract."))
            + "</p>\n";
    return out;
}

} // namespace

QByteArray htmlReport(const RunSummary &summary)
{
    // The stylesheet is compiled into a static library, whose resources
    // are registered only when asked for.
    Q_INIT_RESOURCE(report);
    const QString language =
        QCoreApplication::translate("Report", "en", "the page's language, as HTML's lang attribute names it");
    QString page = "<!DOCTYPE html>\n<html lang=\"" + language + "\">\n<head>\n<meta charset=\"utf-8\">\n"
                   "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>"
        + said(QT_TRANSLATE_NOOP("Report", "cardreader-cli on %1: %2"))
              .arg(escaped(summary.host), escaped(verdictOf(summary, Audience::People).word.toLower()))
        + "</title>\n<style>" + style() + "</style>\n</head>\n<body>\n" + banner(summary) + "<main>\n"
        + tiles(summary) + notes(summary) + table(summary) + latency(summary) + overTime(summary)
        + facts(summary) + "<footer>" + said(QT_TRANSLATE_NOOP("Report", "Written by cardreader-cli at the end of the run."))
        + "</footer>\n</main>\n</body>\n</html>\n";
    return page.toUtf8();
}
