#include "junitreport.h"

#include "markup.h"
#include "verdict.h"

#include "run/librarytext.h"

#include <QDateTime>
#include <QSet>
#include <QXmlStreamWriter>

#include <cmath>

#include <initializer_list>
#include <utility>
#include <vector>

namespace {

// CI servers read a number here; the library can write any double into the
// figures it shares, NaN and infinities too.
QString seconds(double milliseconds)
{
    return QString::number(std::isfinite(milliseconds) ? milliseconds / 1000 : 0, 'f', 6);
}

// The first distinct messages of each kind, under a heading with its count.
QString messages(const Notes *notes, const char *operation,
                 std::initializer_list<std::pair<Notes::Kind, const char *>> kinds)
{
    QString out;
    if (!notes)
        return out;
    for (const auto &kind : kinds) {
        const QStringList texts = notes->distinctTexts(operation, kind.first);
        if (texts.isEmpty())
            continue;
        out += QStringLiteral("%1, the first %2 distinct:\n").arg(kind.second).arg(texts.size());
        for (const QString &text : texts)
            out += "  " + text + '\n';
    }
    return out;
}

struct Result
{
    const char *element;  // "failure" or "error"
    QString type;
    QString message;
    QString text;
};

struct Case
{
    QString name;
    QString classname;
    double milliseconds;
    std::vector<Result> results;
};

Case operationCase(const Tally::Figures &f, const Notes *notes)
{
    Case c{printable(f.operation), printable(f.function), f.sumMs, {}};
    if (f.failed || f.differs || f.implausible) {
        c.results.push_back(
            {"failure", f.differs || f.implausible ? "wrong answer" : "call failed",
             QStringLiteral("%1 of %2 calls failed, %3 differed, %4 implausible")
                 .arg(f.failed).arg(f.calls).arg(f.differs).arg(f.implausible),
             messages(notes, f.operation,
                      {{Notes::Failure, "Failures"}, {Notes::Difference, "Differences"},
                       {Notes::Doubt, "Implausible answers"}})});
    }
    if (f.brokeContract) {
        c.results.push_back({"error", "contract broken",
                             QStringLiteral("%1 of %2 calls broke the contract")
                                 .arg(f.brokeContract).arg(f.calls),
                             messages(notes, f.operation, {{Notes::Breach, "Breaches"}})});
    }
    return c;
}

// Findings not tied to one operation's calls: what the library did to the
// run, what ended it early, messages noted for steps no operation counts
// (loading, opening), and an exit status that nothing else explains.
Case runCase(const RunSummary &summary, bool othersFail)
{
    Case c{QStringLiteral("run"), QStringLiteral("cardreader-cli"), 0, {}};
    QSet<QString> counted;
    for (const Tally::Figures &f : summary.figures)
        counted.insert(QString::fromUtf8(f.operation));
    QStringList uncounted;
    if (summary.notes) {
        for (int kind = 0; kind < Notes::kinds; ++kind) {
            for (int i = 0; i < summary.notes->listedCount(Notes::Kind(kind)); ++i) {
                const QString operation =
                    QString::fromUtf8(summary.notes->listedEntry(Notes::Kind(kind), i).operation);
                if (!counted.contains(operation) && !uncounted.contains(operation))
                    uncounted << operation;
            }
        }
    }

    QString breaches;
    for (const QString &finding : summary.findings)
        breaches += "  " + finding + '\n';
    if (!breaches.isEmpty())
        breaches.prepend(QStringLiteral("Findings:\n"));
    if (!summary.ending.isEmpty())
        breaches += "Ended early: " + summary.ending + '\n';
    QString failures;
    for (const QString &operation : uncounted) {
        const QByteArray name = operation.toUtf8();
        const QString breach = messages(summary.notes, name.constData(), {{Notes::Breach, "Breaches"}});
        if (!breach.isEmpty())
            breaches += printable(name) + ":\n" + breach;
        const QString failure = messages(summary.notes, name.constData(),
                                         {{Notes::Failure, "Failures"}, {Notes::Difference, "Differences"},
                                          {Notes::Doubt, "Implausible answers"}});
        if (!failure.isEmpty())
            failures += printable(name) + ":\n" + failure;
    }

    if (!failures.isEmpty())
        c.results.push_back({"failure", "outside the operations",
                             QStringLiteral("failures outside the operations' calls"), failures});
    if (!breaches.isEmpty()) {
        c.results.push_back({"error", "contract broken",
                             QStringLiteral("%1 finding(s) about the run as a whole")
                                 .arg(summary.findings.size() + (summary.ending.isEmpty() ? 0 : 1)),
                             breaches});
    }
    const bool stopped = summary.exitStatus >= 128;
    if (c.results.empty() && !othersFail && summary.exitStatus != 0 && !stopped) {
        const QString status = QStringLiteral("exit status %1: %2")
                                   .arg(summary.exitStatus)
                                   .arg(exitStatusMeaning(summary.exitStatus));
        c.results.push_back({"error", "exit status", status,
                             "The run ended with " + status + ", which no operation shows.\n"});
    }
    return c;
}

void property(QXmlStreamWriter &xml, const QString &name, const QString &value)
{
    xml.writeStartElement("property");
    xml.writeAttribute("name", name);
    xml.writeAttribute("value", markupSafe(value));
    xml.writeEndElement();
}

} // namespace

QByteArray junitReport(const RunSummary &summary)
{
    std::vector<Case> cases;
    bool othersFail = false;
    for (const Tally::Figures &f : summary.figures) {
        cases.push_back(operationCase(f, summary.notes));
        othersFail = othersFail || !cases.back().results.empty();
        // Skipped, not passed: nothing said what its answers should be.
        const QString function = printable(f.function);
        if (cases.back().results.empty() && summary.notCompared.contains(function))
            cases.back().results.push_back(
                {"skipped", "not compared",
                 "not compared: the expected answers name no answer for " + function, QString()});
    }
    // Steps a session left out are skipped cases, never passes: nothing was
    // called for them.
    for (const QString &step : summary.skipped) {
        const QString operation = step.section(QStringLiteral(": "), 0, 0);
        cases.push_back({operation, QStringLiteral("cardreader-cli"), 0,
                         {{"skipped", "skipped",
                           "skipped by the technician: " + step.section(QStringLiteral(": "), 1),
                           QString()}}});
    }
    for (const QString &operation : summary.notFitted)
        cases.push_back({operation, QStringLiteral("cardreader-cli"), 0,
                         {{"skipped", "not fitted",
                           QStringLiteral("not fitted: the plan says this model has none"),
                           QString()}}});
    const Case run = runCase(summary, othersFail);
    if (!run.results.empty())
        cases.push_back(run);

    int failures = 0;
    int errors = 0;
    int skipped = 0;
    double milliseconds = 0;
    for (const Case &c : cases) {
        milliseconds += c.milliseconds;
        for (const Result &r : c.results) {
            if (qstrcmp(r.element, "error") == 0)
                ++errors;
            else if (qstrcmp(r.element, "skipped") == 0)
                ++skipped;
            else
                ++failures;
        }
    }
    const QString host = markupSafe(summary.host);
    const QString tests = QString::number(cases.size());

    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement("testsuites");
    xml.writeAttribute("name", "cardreader-cli");
    xml.writeAttribute("tests", tests);
    xml.writeAttribute("failures", QString::number(failures));
    xml.writeAttribute("errors", QString::number(errors));
    xml.writeAttribute("time", seconds(milliseconds));

    xml.writeStartElement("testsuite");
    xml.writeAttribute("name", host);
    xml.writeAttribute("hostname", host);
    xml.writeAttribute("tests", tests);
    xml.writeAttribute("failures", QString::number(failures));
    xml.writeAttribute("errors", QString::number(errors));
    xml.writeAttribute("skipped", QString::number(skipped));
    xml.writeAttribute("time", seconds(milliseconds));
    // Local time without a zone, as the JUnit schema has it.
    xml.writeAttribute("timestamp", QDateTime::fromMSecsSinceEpoch(summary.startTimeMs)
                                        .toString("yyyy-MM-ddTHH:mm:ss"));

    xml.writeStartElement("properties");
    property(xml, "library.path", printable(summary.library.path));
    if (summary.library.size >= 0)
        property(xml, "library.size", QString::number(summary.library.size));
    property(xml, "library.sha256", QString::fromLatin1(summary.library.sha256));
    property(xml, "library.build_id", QString::fromLatin1(summary.library.buildId));
    property(xml, "library.simulated_reader", summary.library.simulated.isEmpty()
                                                  ? "no"
                                                  : "yes: no terminal was checked");
    property(xml, "device", QString::number(summary.deviceType));
    property(xml, "region", printable(summary.regionCode));
    if (!summary.expectPath.isEmpty()) {
        property(xml, "expected_answers", summary.expectPath);
        property(xml, "expected_answers.sha256", QString::fromLatin1(summary.expectSha256));
        property(xml, "not_compared", summary.notCompared.join(' '));
    }
    if (!summary.planPath.isEmpty()) {
        property(xml, "plan", summary.planPath);
        property(xml, "plan.sha256", QString::fromLatin1(summary.planSha256));
    }
    if (!summary.operatorName.isEmpty())
        property(xml, "operator", summary.operatorName);
    if (!summary.workOrder.isEmpty())
        property(xml, "work_order", summary.workOrder);
    if (!summary.bundlePath.isEmpty())
        property(xml, "bundle", summary.bundlePath);
    if (!summary.skipped.isEmpty())
        property(xml, "skipped", summary.skipped.join("; "));
    if (!summary.notFitted.isEmpty())
        property(xml, "not_fitted", summary.notFitted.join(' '));
    for (int i = 0; i < summary.comments.size(); ++i)
        property(xml, QStringLiteral("comment.%1").arg(i + 1), summary.comments[i]);
    property(xml, "plausibility_checks", summary.plausibility ? "on" : "off");
    property(xml, "rounds", roundsOf(summary));
    if (summary.timeLimitMs > 0)
        property(xml, "time_limit", durationText(summary.timeLimitMs)
                                        + (summary.timeUp ? ", time up" : ", not reached"));
    property(xml, "started", localTime(summary.startTimeMs));
    property(xml, "ended", localTime(summary.endTimeMs));
    property(xml, "elapsed_seconds", QString::number(summary.elapsedMs / 1000.0, 'f', 3));
    property(xml, "verdict", verdictOf(summary).line);
    property(xml, "exit_status", QStringLiteral("%1: %2")
                                     .arg(summary.exitStatus)
                                     .arg(exitStatusMeaning(summary.exitStatus)));
    xml.writeEndElement();

    for (const Case &c : cases) {
        xml.writeStartElement("testcase");
        xml.writeAttribute("name", markupSafe(c.name));
        xml.writeAttribute("classname", markupSafe(c.classname));
        xml.writeAttribute("time", seconds(c.milliseconds));
        for (const Result &r : c.results) {
            xml.writeStartElement(r.element);
            xml.writeAttribute("message", markupSafe(r.message));
            xml.writeAttribute("type", r.type);
            xml.writeCharacters(markupSafe(r.text));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }

    if (summary.stoppedBy) {
        xml.writeTextElement("system-err",
                             QStringLiteral("Stopped by %1 after %2 rounds%3.\n")
                                 .arg(signalName(summary.stoppedBy), roundsOf(summary),
                                      summary.stoppedCall.isEmpty()
                                          ? QString()
                                          : " during " + markupSafe(stoppedCallText(summary))));
    }
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}
