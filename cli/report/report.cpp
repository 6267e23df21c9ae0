#include "report.h"
#include "language.h"
#include "verdict.h"

#include "run/libraryidentity.h"
#include "run/librarytext.h"

#include "readertext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

const char maskedPin[] = "******";

QByteArray shown(const CallRecord::Value &value, bool showPin)
{
    return value.secret && !showPin ? QByteArray(maskedPin) : value.text;
}

// Library text into JSON: valid UTF-8 as it is; otherwise each stray byte as
// \xHH, and the exact bytes in base64 under the same key in "<where>_base64".
void insertText(QJsonObject &object, QJsonObject &exact, const QString &key,
                const QByteArray &text)
{
    const std::string bytes = text.toStdString();
    if (isUtf8(bytes)) {
        object.insert(key, QString::fromUtf8(text));
        return;
    }
    object.insert(key, QString::fromStdString(withBadBytesEscaped(bytes)));
    exact.insert(key, QString::fromLatin1(text.toBase64()));
}

// Qt leaves DEL and the C1 controls (U+0080 to U+009F) raw, and a terminal
// may obey them; as \u escapes they read back as the same string. In UTF-8,
// 0xC2 is only ever the lead byte of U+0080 to U+00BF.
QByteArray safeForTerminals(const QByteArray &json)
{
    QByteArray out;
    out.reserve(json.size());
    for (int i = 0; i < json.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(json[i]);
        const unsigned char next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0;
        if (c == 0x7f) {
            out += "\\u007f";
        } else if (c == 0xc2 && next >= 0x80 && next <= 0x9f) {
            out += QByteArray("\\u00") + QByteArray::number(next, 16).rightJustified(2, '0');
            ++i;
        } else {
            out += char(c);
        }
    }
    return out;
}

QByteArray jsonObjectLine(const QJsonObject &object)
{
    return safeForTerminals(QJsonDocument(object).toJson(QJsonDocument::Compact)) + '\n';
}

QString status(const CallRecord &call)
{
    if (call.outside)
        return QCoreApplication::translate("Call", "outside any call");
    if (!call.called)
        return QCoreApplication::translate("Call", "not called");
    if (call.stopped)
        return QCoreApplication::translate("Call", "stopped by the operator");
    if (!call.returned)
        return QCoreApplication::translate("Call", "did not return");
    if (!call.ok())
        return QCoreApplication::translate("Call", "failed with %1").arg(call.result);
    // A successful call is "ok" only when nothing was found wrong with it.
    if (!call.findings.isEmpty())
        return QCoreApplication::translate("Call", "broke the contract");
    if (!call.differences.isEmpty())
        return QCoreApplication::translate("Call", "differs");
    if (!call.doubts.isEmpty())
        return QCoreApplication::translate("Call", "implausible");
    return QCoreApplication::translate("Call", "ok");
}

QString usage(const RunState::Usage &usage)
{
    if (usage.residentKiB < 0)
        return QCoreApplication::translate("Summary", "unknown");
    return QCoreApplication::translate("Summary", "%1 KiB resident, %2 open descriptors")
        .arg(usage.residentKiB)
        .arg(usage.descriptors);
}

QString field(const QString &label, const QString &text)
{
    return "  " + label + ' ' + text + '\n';
}

QJsonObject usageJson(const RunState::Usage &usage)
{
    QJsonObject object;
    if (usage.residentKiB >= 0) {
        object.insert("resident_kib", usage.residentKiB);
        object.insert("open_descriptors", usage.descriptors);
    }
    return object;
}

QJsonObject libraryJson(const LibraryIdentity &library)
{
    QJsonObject object;
    QJsonObject exact;
    insertText(object, exact, "path", library.path);
    if (!exact.isEmpty())
        object.insert("path_base64", exact.value("path"));
    if (!library.unusable.isEmpty())
        object.insert("unusable", library.unusable);
    if (library.size < 0)
        return object;
    object.insert("size", double(library.size));
    if (!library.sha256.isEmpty())
        object.insert("sha256", QString::fromLatin1(library.sha256));
    object.insert("soname", printable(library.soname));
    object.insert("build_id", QString::fromLatin1(library.buildId));
    object.insert("simulated_reader", !library.simulated.isEmpty());
    if (library.exportsKnown) {
        object.insert("exports", QJsonArray::fromStringList(readerFunctions(library.exported, true)));
        object.insert("missing", QJsonArray::fromStringList(readerFunctions(library.exported, false)));
        QJsonObject elsewhere;
        for (int i = 0; i < readerFunctionCount; ++i) {
            if (!(library.exported & (1u << i)) && !library.elsewhere[i].isEmpty())
                elsewhere.insert(QString::fromLatin1(readerFunctionNames[i]), library.elsewhere[i]);
        }
        if (!elsewhere.isEmpty())
            object.insert("elsewhere", elsewhere);
    }
    return object;
}

const char *const outcomeNames[Tally::outcomes] = {
    "succeeded", "failed", "implausible", "differs", "broke_contract"};

// The answer the call was compared with, by the call's own names, and where
// they differ.
QJsonObject expectedJson(const CallRecord &call, bool showPin)
{
    const Answer &answer = call.expected;
    QJsonObject values;
    QJsonObject valuesExact;
    if (answer.result == 0) {
        for (int i = 0; i < call.values.size(); ++i) {
            CallRecord::Value value = call.values[i];
            value.text = std::size_t(i) < answer.values.size()
                ? QByteArray::fromStdString(answer.values[std::size_t(i)])
                : QByteArray();
            insertText(values, valuesExact, QString::fromLatin1(value.name), shown(value, showPin));
        }
        if (answer.hasOutput && !call.outputs.isEmpty())
            values.insert(QString::fromLatin1(call.outputs[0].name), answer.output);
    }
    QJsonObject object;
    object.insert("result", answer.result);
    object.insert("values", values);
    if (!valuesExact.isEmpty())
        object.insert("values_base64", valuesExact);
    object.insert("differences", QJsonArray::fromStringList(call.differences));
    return object;
}

double microsecondsRounded(double milliseconds)
{
    return qRound64(milliseconds * 1000) / 1000.0;
}

// For programs: UTC, to the millisecond, as ISO 8601 has it.
QString utcTime(long long msSinceEpoch)
{
    return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC)
        .toString("yyyy-MM-ddTHH:mm:ss.zzzZ");
}

// Whether the answers the run saved can serve as expected answers: every
// call succeeded and nothing was found wrong, and all of them fit.
bool knownGoodSet(const RunSummary &summary)
{
    return verdictOf(summary).kind == Verdict::Passed && !summary.savedAnswersCut;
}

QString savedAnswersNote(const RunSummary &summary)
{
    if (summary.savedAnswersCut)
        return QCoreApplication::translate(
            "Summary", ", only as far as --expect reads (16 MiB): not a known-good set");
    return knownGoodSet(summary)
        ? QCoreApplication::translate("Summary", ": a known-good set for --expect")
        : QCoreApplication::translate("Summary", ": NOT a known-good set, as the verdict says");
}

// A line the technician typed about a step, "operation: text", with the
// operation as people know it; typed text, like the library's, cannot drive
// the terminal.
QString stepLine(const QString &line)
{
    const QString operation = line.section(QStringLiteral(": "), 0, 0);
    const QString text = line.mid(operation.size());
    return operationLabel(printable(operation.toUtf8())) + printable(text.toUtf8());
}

// The same line for programs, split at its first ": ".
QJsonObject stepJson(const QString &line, const QString &textKey)
{
    QJsonObject object;
    object.insert("operation", line.section(QStringLiteral(": "), 0, 0));
    object.insert(textKey, line.section(QStringLiteral(": "), 1));
    return object;
}

QJsonArray stepsJson(const QStringList &lines, const QString &textKey)
{
    QJsonArray array;
    for (const QString &line : lines)
        array.append(stepJson(line, textKey));
    return array;
}

} // namespace

QString signalName(int signal)
{
    switch (signal) {
    case SIGINT: return QStringLiteral("Ctrl-C (SIGINT)");
    case SIGTERM: return QStringLiteral("SIGTERM");
    case SIGHUP: return QStringLiteral("SIGHUP");
    case SIGSEGV: return QStringLiteral("segmentation fault (SIGSEGV)");
    case SIGABRT: return QStringLiteral("aborted (SIGABRT)");
    case SIGBUS: return QStringLiteral("bus error (SIGBUS)");
    case SIGILL: return QStringLiteral("illegal instruction (SIGILL)");
    case SIGFPE: return QStringLiteral("arithmetic error (SIGFPE)");
    case SIGKILL: return QStringLiteral("killed (SIGKILL)");
    default: return QStringLiteral("signal %1").arg(signal);
    }
}

QString describe(const CallRecord &call, bool showPin)
{
    const QString operation = QString::fromUtf8(call.operation);
    const QString label = operationLabel(operation);
    // A full-width bracket around the button's text stands apart already.
    QString out = label + (label == operation ? " (" : "(") + QString::fromUtf8(call.function)
        + "): " + status(call)
        + (call.outside ? QStringLiteral("\n") : QString::asprintf(", %.3f ms\n", call.milliseconds));
    if (call.ok()) {
        for (const CallRecord::Value &value : call.values)
            out += "  " + QString::fromLatin1(value.name) + ": "
                + printable(shown(value, showPin)) + '\n';
        for (const CallRecord::Number &output : call.outputs)
            out += "  " + QString::fromLatin1(output.name) + ": " + QString::number(output.value)
                + '\n';
    }
    if (!call.message.isEmpty())
        out += field(QCoreApplication::translate("Call", "message:"), printable(call.message));
    if (!call.standardOutput.bytes.isEmpty())
        out += field(QCoreApplication::translate("Call", "standard output:"),
                     printable(call.standardOutput.bytes));
    if (!call.standardError.bytes.isEmpty())
        out += field(QCoreApplication::translate("Call", "standard error:"),
                     printable(call.standardError.bytes));
    for (const QString &finding : call.findings)
        out += field(QCoreApplication::translate("Call", "contract:"), forPeople(finding));
    for (const QString &difference : call.differences)
        out += field(QCoreApplication::translate("Call", "differs:"), forPeople(difference));
    for (const QString &doubt : call.doubts)
        out += field(QCoreApplication::translate("Call", "implausible:"), forPeople(doubt));
    return out;
}

QByteArray jsonLine(const CallRecord &call, bool showPin)
{
    QJsonObject arguments;
    QJsonObject argumentsExact;
    for (const CallRecord::Number &argument : call.arguments)
        arguments.insert(QString::fromLatin1(argument.name), argument.value);
    for (const CallRecord::Value &argument : call.textArguments)
        insertText(arguments, argumentsExact, QString::fromLatin1(argument.name), argument.text);
    QJsonObject values;
    QJsonObject valuesExact;
    for (const CallRecord::Value &value : call.values)
        insertText(values, valuesExact, QString::fromLatin1(value.name), shown(value, showPin));
    for (const CallRecord::Number &output : call.outputs)
        values.insert(QString::fromLatin1(output.name), output.value);
    QJsonObject texts;
    QJsonObject textsExact;
    insertText(texts, textsExact, "message", call.message);
    if (call.standardOutput.size > 0)
        insertText(texts, textsExact, "stdout", call.standardOutput.bytes);
    if (call.standardError.size > 0)
        insertText(texts, textsExact, "stderr", call.standardError.bytes);

    QJsonObject object;
    object.insert("operation", QString::fromUtf8(call.operation));
    object.insert("function", QString::fromUtf8(call.function));
    object.insert("arguments", arguments);
    if (!argumentsExact.isEmpty())
        object.insert("arguments_base64", argumentsExact);
    object.insert("called", call.called);
    if (call.outside)
        object.insert("outside_calls", true);
    object.insert("returned", call.returned);
    object.insert("result", call.returned ? QJsonValue(call.result) : QJsonValue());
    object.insert("ok", call.ok());
    object.insert("values", values);
    if (!valuesExact.isEmpty())
        object.insert("values_base64", valuesExact);
    for (auto text = texts.begin(); text != texts.end(); ++text)
        object.insert(text.key(), text.value());
    for (auto text = textsExact.begin(); text != textsExact.end(); ++text)
        object.insert(text.key() + "_base64", text.value());
    if (call.standardOutput.size > 0)
        object.insert("stdout_bytes", call.standardOutput.size);
    if (call.standardError.size > 0)
        object.insert("stderr_bytes", call.standardError.size);
    object.insert("duration_ms", microsecondsRounded(call.milliseconds));
    object.insert("findings", QJsonArray::fromStringList(call.findings));
    if (call.stopped)
        object.insert("outcome", QStringLiteral("stopped"));
    else if (!call.outside)
        object.insert("outcome", QString::fromLatin1(outcomeNames[call.outcome()]));
    if (call.compared)
        object.insert("expected", expectedJson(call, showPin));
    if (!call.doubts.isEmpty())
        object.insert("implausible", QJsonArray::fromStringList(call.doubts));
    return jsonObjectLine(object);
}

QString describeLibrary(const LibraryIdentity &library)
{
    QString out = QCoreApplication::translate("Library", "library: %1").arg(printable(library.path))
        + '\n';
    if (!library.foundBy.isEmpty())
        out += field(QCoreApplication::translate("Library", "found by:"), library.foundBy);
    if (library.preloadedFunctions) {
        QStringList paths;
        for (const QByteArray &path : library.preloaded)
            paths << printable(path);
        out += QCoreApplication::translate(
                   "Library",
                   "  preloaded: %1 from %2 (LD_PRELOAD), which the window calls in its place")
                   .arg(readerFunctions(library.preloadedFunctions, true).join(", "),
                        paths.join(", "))
            + '\n';
    }
    if (!library.unusable.isEmpty())
        out += field(QCoreApplication::translate("Library", "unusable:"), library.unusable);
    if (library.size < 0)
        return out;
    out += QCoreApplication::translate("Library", "  size: %1 bytes").arg(library.size) + '\n'
        + "  sha256: " + QString::fromLatin1(library.sha256) + '\n'
        + "  soname: " + printable(library.soname) + '\n'
        + field(QCoreApplication::translate("Library", "build id:"),
                QString::fromLatin1(library.buildId))
        + field(QCoreApplication::translate("Library", "simulated reader:"),
                library.simulated.isEmpty()
                    ? QCoreApplication::translate("Library", "no")
                    : QCoreApplication::translate("Library", "yes (%1)")
                          .arg(printable(library.simulated)));
    if (!library.exportsKnown)
        return out
            + QCoreApplication::translate(
                  "Library", "  functions: unknown (the file has no table of its symbols)")
            + '\n';
    // Each with the file the window would take it from instead.
    QString elsewhere[readerFunctionCount];
    for (int i = 0; i < readerFunctionCount; ++i)
        elsewhere[i] = forPeople(library.elsewhere[i]);
    const QStringList missing = lackedFunctions(~library.exported, elsewhere);
    return out
        + QCoreApplication::translate("Library", "  functions: %1 of %2")
              .arg(readerFunctionCount - missing.size())
              .arg(readerFunctionCount)
        + (missing.isEmpty()
               ? QString()
               : QCoreApplication::translate("Library", "; missing %1").arg(missing.join(", ")))
        + '\n';
}

// How the run came to this file, and what is loaded ahead of it, stand
// beside the file's own identity, which the summary repeats as it is.
QByteArray libraryJsonLine(const LibraryIdentity &library)
{
    QJsonObject object;
    object.insert("library", libraryJson(library));
    if (!library.foundBy.isEmpty())
        object.insert("found_by", library.foundBy);
    if (library.preloadedFunctions) {
        QJsonArray from;
        for (const QByteArray &path : library.preloaded) {
            QJsonObject file;
            QJsonObject exact;
            insertText(file, exact, "path", path);
            if (!exact.isEmpty())
                file.insert("path_base64", exact.value("path"));
            from.append(file);
        }
        QJsonObject preloaded;
        preloaded.insert("functions",
                         QJsonArray::fromStringList(readerFunctions(library.preloadedFunctions, true)));
        preloaded.insert("from", from);
        object.insert("preloaded", preloaded);
    }
    return jsonObjectLine(object);
}

QString roundsOf(const RunSummary &summary)
{
    return summary.roundsAsked > 0
        ? QStringLiteral("%1 of %2").arg(summary.rounds).arg(summary.roundsAsked)
        : QString::number(summary.rounds);
}

QString localTime(long long msSinceEpoch)
{
    // Figures, not a locale's format: asking the system's locale costs a
    // single read a tenth of a millisecond.
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(msSinceEpoch);
    const int offset = local.offsetFromUtc() / 60;
    const QDate date = local.date();
    const QTime time = local.time();
    return QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d UTC%c%02d:%02d", date.year(),
                             date.month(), date.day(), time.hour(), time.minute(), time.second(),
                             offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
}

QString clockTime(long long milliseconds, bool withMilliseconds)
{
    const long long seconds = milliseconds / 1000;
    QString out = QString::asprintf("%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                                    seconds % 60);
    if (withMilliseconds)
        out += QString::asprintf(".%03lld", milliseconds % 1000);
    return out;
}

QString durationText(long long milliseconds)
{
    const long long seconds = milliseconds / 1000;
    const std::pair<long long, char> parts[] = {
        {seconds / 86400, 'd'}, {seconds / 3600 % 24, 'h'}, {seconds / 60 % 60, 'm'},
        {seconds % 60, 's'}};
    QString out;
    for (const auto &part : parts) {
        if (part.first)
            out += QString::number(part.first) + part.second;
    }
    return out.isEmpty() ? QStringLiteral("0s") : out;
}

QString stoppedCallText(const RunSummary &summary)
{
    return summary.stoppedCall
        + QString::asprintf(", stopped by the operator after %.3f ms", summary.stoppedCallMs);
}

QString summaryTable(const RunSummary &summary)
{
    QString out = QCoreApplication::translate("Summary", "summary of %1 round(s)").arg(summary.rounds);
    if ((summary.stoppedBy || !summary.ending.isEmpty() || summary.timeUp)
        && summary.roundsAsked > 0)
        out += QCoreApplication::translate("Summary", " of %1").arg(summary.roundsAsked);
    if (summary.timeUp)
        out += QCoreApplication::translate("Summary", ", time up after %1")
                   .arg(durationText(summary.timeLimitMs));
    if (summary.stoppedBy)
        out += QCoreApplication::translate("Summary", ", stopped by %1")
                   .arg(signalName(summary.stoppedBy));
    if (!summary.stoppedCall.isEmpty())
        out += QCoreApplication::translate("Summary",
                                           " during %1, stopped by the operator after %2 ms")
                   .arg(summary.stoppedCall, QString::asprintf("%.3f", summary.stoppedCallMs));
    if (!summary.ending.isEmpty())
        out += QCoreApplication::translate("Summary", ", ended early: %1")
                   .arg(forPeople(summary.ending));
    if (summary.stoppedInRound)
        out += QCoreApplication::translate("Summary", " (round %1 cut short)")
                   .arg(summary.stoppedInRound);

    // Widened for an operation shown with its button's text.
    QStringList labels;
    int labelWidth = 14;
    for (const Tally::Figures &f : summary.figures) {
        labels << operationLabel(printable(f.operation));
        labelWidth = std::max(labelWidth, columnsOf(labels.last()));
    }
    const std::pair<const char *, int> headings[] = {
        {QT_TRANSLATE_NOOP("Summary", "calls"), 8},
        {QT_TRANSLATE_NOOP("Summary", "succeeded"), 9},
        {QT_TRANSLATE_NOOP("Summary", "failed"), 8},
        {QT_TRANSLATE_NOOP("Summary", "differs"), 8},
        {QT_TRANSLATE_NOOP("Summary", "implausible"), 11},
        {QT_TRANSLATE_NOOP("Summary", "contract"), 8},
        {QT_TRANSLATE_NOOP("Summary", "min ms"), 10},
        {QT_TRANSLATE_NOOP("Summary", "median ms"), 10},
        {QT_TRANSLATE_NOOP("Summary", "p95 ms"), 10},
        {QT_TRANSLATE_NOOP("Summary", "p99 ms"), 10},
        {QT_TRANSLATE_NOOP("Summary", "max ms"), 10}};
    out += ":\n  " + padded(QCoreApplication::translate("Summary", "operation"), -labelWidth);
    for (const auto &heading : headings)
        out += ' ' + padded(QCoreApplication::translate("Summary", heading.first), heading.second);
    out += '\n';
    for (std::size_t i = 0; i < summary.figures.size(); ++i) {
        const Tally::Figures &f = summary.figures[i];
        out += "  " + padded(labels[int(i)], -labelWidth)
            + QString::asprintf(" %8llu %9llu %8llu %8llu %11llu %8llu %10.3f %10.3f %10.3f %10.3f %10.3f\n",
                                (unsigned long long)f.calls,
                                (unsigned long long)f.succeeded, (unsigned long long)f.failed,
                                (unsigned long long)f.differs,
                                (unsigned long long)f.implausible,
                                (unsigned long long)f.brokeContract, f.minMs, f.medianMs,
                                f.p95Ms, f.p99Ms, f.maxMs);
    }
    for (const QString &finding : summary.findings)
        out += field(QCoreApplication::translate("Call", "contract:"), forPeople(finding));
    if (!summary.expectPath.isEmpty())
        out += QCoreApplication::translate("Summary", "  expected answers: %1 (sha256 %2)")
                   .arg(summary.expectPath, QString::fromLatin1(summary.expectSha256))
            + '\n';
    if (!summary.notCompared.isEmpty())
        out += QCoreApplication::translate("Summary",
                                           "  not compared, as %1 names no answer for them: %2")
                   .arg(summary.expectPath, summary.notCompared.join(", "))
            + '\n';
    if (!summary.planPath.isEmpty())
        out += QCoreApplication::translate("Summary", "  plan: %1 (sha256 %2)")
                   .arg(summary.planPath, QString::fromLatin1(summary.planSha256))
            + '\n';
    if (!summary.operatorName.isEmpty())
        out += field(QCoreApplication::translate("Summary", "operator:"),
                     printable(summary.operatorName.toUtf8()));
    if (!summary.workOrder.isEmpty())
        out += field(QCoreApplication::translate("Summary", "work order:"),
                     printable(summary.workOrder.toUtf8()));
    if (!summary.bundlePath.isEmpty())
        out += field(QCoreApplication::translate("Summary", "record kept in:"), summary.bundlePath);
    for (const QString &step : summary.skipped)
        out += field(QCoreApplication::translate("Summary", "skipped:"), stepLine(step));
    if (!summary.notFitted.isEmpty()) {
        QStringList operations;
        for (const QString &operation : summary.notFitted)
            operations << operationLabel(operation);
        out += field(QCoreApplication::translate("Summary", "not fitted:"), operations.join(", "));
    }
    for (const QString &comment : summary.comments)
        out += field(QCoreApplication::translate("Summary", "comment:"), stepLine(comment));
    if (!summary.savedAnswers.isEmpty())
        out += QCoreApplication::translate("Summary", "  answers saved to %1")
                   .arg(summary.savedAnswers)
            + savedAnswersNote(summary) + '\n';
    out += QCoreApplication::translate("Summary", "  calling process at start: %1")
               .arg(usage(summary.atStart))
        + '\n';
    out += QCoreApplication::translate("Summary", "  calling process at end:   %1")
               .arg(usage(summary.atEnd))
        + '\n';
    out += QCoreApplication::translate("Summary", "  started: %1").arg(localTime(summary.startTimeMs))
        + '\n';
    out += QCoreApplication::translate("Summary", "  ended:   %1, %2 elapsed")
               .arg(localTime(summary.endTimeMs), clockTime(summary.elapsedMs, true))
        + '\n';
    out += QCoreApplication::translate("Summary", "  library: %1").arg(printable(summary.library.path))
        + (summary.library.sha256.isEmpty()
               ? QString()
               : " (sha256 " + QString::fromLatin1(summary.library.sha256) + ')')
        + '\n';
    return out;
}

QByteArray summaryJson(const RunSummary &summary)
{
    QJsonArray operations;
    for (const Tally::Figures &f : summary.figures) {
        QJsonObject row;
        row.insert("operation", QString::fromLatin1(f.operation));
        row.insert("function", printable(f.function));
        row.insert("calls", double(f.calls));
        row.insert("succeeded", double(f.succeeded));
        row.insert("failed", double(f.failed));
        row.insert("differs", double(f.differs));
        row.insert("implausible", double(f.implausible));
        row.insert("broke_contract", double(f.brokeContract));
        row.insert("min_ms", microsecondsRounded(f.minMs));
        row.insert("median_ms", microsecondsRounded(f.medianMs));
        row.insert("p95_ms", microsecondsRounded(f.p95Ms));
        row.insert("p99_ms", microsecondsRounded(f.p99Ms));
        row.insert("max_ms", microsecondsRounded(f.maxMs));
        operations.append(row);
    }
    QJsonObject result;
    result.insert("rounds", summary.rounds);
    if (summary.roundsAsked > 0)
        result.insert("rounds_asked", summary.roundsAsked);
    if (summary.timeLimitMs > 0) {
        result.insert("time_limit_ms", double(summary.timeLimitMs));
        result.insert("time_up", summary.timeUp);
    }
    result.insert("start_time", utcTime(summary.startTimeMs));
    result.insert("end_time", utcTime(summary.endTimeMs));
    result.insert("elapsed_ms", double(summary.elapsedMs));
    result.insert("verdict", verdictOf(summary).line);
    if (!summary.savedAnswers.isEmpty()) {
        result.insert("answers_saved", summary.savedAnswers);
        result.insert("known_good_set", knownGoodSet(summary));
    }
    if (summary.stoppedBy)
        result.insert("stopped_by", signalName(summary.stoppedBy));
    if (!summary.stoppedCall.isEmpty()) {
        result.insert("stopped_call", summary.stoppedCall);
        result.insert("stopped_call_ms", microsecondsRounded(summary.stoppedCallMs));
    }
    if (!summary.ending.isEmpty())
        result.insert("ended_early", summary.ending);
    if (summary.stoppedInRound)
        result.insert("cut_short_round", summary.stoppedInRound);
    result.insert("operations", operations);
    if (!summary.findings.isEmpty())
        result.insert("findings", QJsonArray::fromStringList(summary.findings));
    if (!summary.expectPath.isEmpty()) {
        result.insert("expected_answers", summary.expectPath);
        result.insert("expected_answers_sha256", QString::fromLatin1(summary.expectSha256));
        result.insert("not_compared", QJsonArray::fromStringList(summary.notCompared));
    }
    if (!summary.planPath.isEmpty()) {
        result.insert("plan", summary.planPath);
        result.insert("plan_sha256", QString::fromLatin1(summary.planSha256));
    }
    if (!summary.operatorName.isEmpty())
        result.insert("operator", summary.operatorName);
    if (!summary.workOrder.isEmpty())
        result.insert("work_order", summary.workOrder);
    if (!summary.bundlePath.isEmpty())
        result.insert("bundle", summary.bundlePath);
    if (!summary.skipped.isEmpty())
        result.insert("skipped", stepsJson(summary.skipped, "reason"));
    if (!summary.notFitted.isEmpty())
        result.insert("not_fitted", QJsonArray::fromStringList(summary.notFitted));
    if (!summary.comments.isEmpty())
        result.insert("comments", stepsJson(summary.comments, "comment"));
    result.insert("calling_process_at_start", usageJson(summary.atStart));
    result.insert("calling_process_at_end", usageJson(summary.atEnd));
    result.insert("library", libraryJson(summary.library));
    QJsonObject object;
    object.insert("summary", result);
    return jsonObjectLine(object);
}

QString exitStatusMeaning(int status)
{
    switch (status) {
    case 0: return QStringLiteral(QT_TRANSLATE_NOOP("ExitStatus", "every call succeeded"));
    case 1: return QStringLiteral(QT_TRANSLATE_NOOP("ExitStatus", "a call failed"));
    case 2: return QStringLiteral(QT_TRANSLATE_NOOP("ExitStatus", "usage error"));
    case 3: return QStringLiteral(QT_TRANSLATE_NOOP("ExitStatus", "the library broke its contract"));
    case 4: return QStringLiteral(QT_TRANSLATE_NOOP("ExitStatus", "output or a report could not be written"));
    case 5:
        return QStringLiteral(QT_TRANSLATE_NOOP(
            "ExitStatus", "an answer differed from the expected one or cannot come from a genuine card"));
    default:
        return status > 128 ? "stopped by " + signalName(status - 128)
                            : QStringLiteral("exit status %1").arg(status);
    }
}
