#include "report.h"

#include "readertext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const char maskedPin[] = "******";

QByteArray shown(const GuardedCall::Value &value, bool showPin)
{
    return value.secret && !showPin ? QByteArray(maskedPin) : value.text;
}

// Valid UTF-8 goes into JSON as it is; anything else escaped, never dropped.
QString jsonText(const QByteArray &text)
{
    return isUtf8(text.toStdString()) ? QString::fromUtf8(text) : printable(text);
}

double median(QVector<double> values)
{
    std::sort(values.begin(), values.end());
    const int middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

} // namespace

QString printable(const QByteArray &text)
{
    const std::string escaped = quoted(text.toStdString());
    return QString::fromUtf8(escaped.data() + 1, int(escaped.size()) - 2);
}

QString describe(const GuardedCall &call, bool showPin)
{
    QString out = call.operation + " (" + call.function + "): "
        + (call.ok() ? QStringLiteral("ok") : QStringLiteral("failed with %1").arg(call.result))
        + QString::asprintf(", %.2f ms\n", call.milliseconds);
    if (call.ok()) {
        for (const GuardedCall::Value &value : call.values)
            out += "  " + value.name + ": " + printable(shown(value, showPin)) + '\n';
        for (const GuardedCall::Number &output : call.outputs)
            out += "  " + output.name + ": " + QString::number(output.value) + '\n';
    }
    if (!call.message.isEmpty())
        out += "  message: " + printable(call.message) + '\n';
    for (const QString &finding : call.findings)
        out += "  contract: " + finding + '\n';
    return out;
}

QByteArray jsonLine(const GuardedCall &call, bool showPin)
{
    QJsonObject arguments;
    for (const GuardedCall::Number &argument : call.arguments)
        arguments.insert(argument.name, argument.value);
    for (const GuardedCall::Value &argument : call.textArguments)
        arguments.insert(argument.name, jsonText(argument.text));
    QJsonObject values;
    for (const GuardedCall::Value &value : call.values)
        values.insert(value.name, jsonText(shown(value, showPin)));
    for (const GuardedCall::Number &output : call.outputs)
        values.insert(output.name, output.value);

    QJsonObject object;
    object.insert("operation", call.operation);
    object.insert("function", call.function);
    object.insert("arguments", arguments);
    object.insert("result", call.result);
    object.insert("ok", call.ok());
    object.insert("values", values);
    object.insert("message", jsonText(call.message));
    object.insert("duration_ms", qRound64(call.milliseconds * 1000) / 1000.0);
    object.insert("findings", QJsonArray::fromStringList(call.findings));
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

void Tally::add(const GuardedCall &call)
{
    if (!m_counts.contains(call.operation))
        m_order.append(call.operation);
    Counts &counts = m_counts[call.operation];
    ++(call.ok() ? counts.succeeded : counts.failed);
    counts.milliseconds.append(call.milliseconds);
}

Tally::Figures Tally::figures(const QString &operation) const
{
    const Counts &c = m_counts[operation];
    const auto range = std::minmax_element(c.milliseconds.begin(), c.milliseconds.end());
    return {c.succeeded + c.failed, c.succeeded, c.failed, *range.first,
            median(c.milliseconds), *range.second};
}

QString Tally::table(int rounds) const
{
    QString out = QStringLiteral("summary of %1 round(s):\n").arg(rounds)
        + QString::asprintf("  %-14s %6s %9s %6s %9s %9s %9s\n", "operation", "calls",
                            "succeeded", "failed", "min ms", "median ms", "max ms");
    for (const QString &operation : m_order) {
        const Figures f = figures(operation);
        out += QString::asprintf("  %-14s %6d %9d %6d %9.2f %9.2f %9.2f\n",
                                 operation.toUtf8().constData(), f.calls, f.succeeded,
                                 f.failed, f.minMs, f.medianMs, f.maxMs);
    }
    return out;
}

QByteArray Tally::jsonLine(int rounds) const
{
    QJsonArray operations;
    for (const QString &operation : m_order) {
        const Figures f = figures(operation);
        QJsonObject row;
        row.insert("operation", operation);
        row.insert("calls", f.calls);
        row.insert("succeeded", f.succeeded);
        row.insert("failed", f.failed);
        row.insert("min_ms", f.minMs);
        row.insert("median_ms", f.medianMs);
        row.insert("max_ms", f.maxMs);
        operations.append(row);
    }
    QJsonObject summary;
    summary.insert("rounds", rounds);
    summary.insert("operations", operations);
    QJsonObject object;
    object.insert("summary", summary);
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
