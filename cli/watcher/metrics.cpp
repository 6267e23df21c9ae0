#include "metrics.h"

#include "report/report.h"
#include "run/librarytext.h"
#include "run/runstate.h"

#include "readertext.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSaveFile>

namespace {

QString labelValue(const QString &value)
{
    QString out = value;
    return out.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
}

QString labels(const QStringList &pairs)
{
    QStringList out;
    for (int i = 0; i + 1 < pairs.size(); i += 2)
        out << pairs[i] + "=\"" + labelValue(pairs[i + 1]) + '"';
    return '{' + out.join(',') + '}';
}

void family(QString &out, const char *name, const char *type, const char *help)
{
    out += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n").arg(name, help, type);
}

QString number(double value)
{
    return QString::number(value, 'g', 15);
}

} // namespace

bool writeMetrics(const Options &options, const LibraryIdentity &library, const RunTimes &times,
                  QString &why)
{
    const bool finished = times.endMs != 0;
    const RunState &state = runState();
    const QString device = QString::number(options.settings.deviceType);
    const QString region = QString::fromLatin1(options.settings.regionCode);
    const std::vector<Tally::Figures> figures = state.tally.figures();
    QString out;

    family(out, "cardreader_calls_total", "counter",
           "Reader library calls, by operation, function and outcome.");
    for (const Tally::Figures &f : figures) {
        const std::pair<const char *, std::uint64_t> outcomes[] = {
            {"succeeded", f.succeeded}, {"failed", f.failed}, {"differed", f.differs},
            {"implausible", f.implausible}, {"broke_contract", f.brokeContract}};
        for (const auto &outcome : outcomes)
            out += "cardreader_calls_total"
                + labels({"operation", printable(f.operation), "function", printable(f.function), "outcome",
                          outcome.first, "device", device, "region", region})
                + ' ' + QString::number(outcome.second) + '\n';
    }

    family(out, "cardreader_call_duration_seconds", "histogram",
           "How long each reader library call took, by operation.");
    for (const Tally::Figures &f : figures) {
        const QStringList operation{"operation", printable(f.operation), "function",
                                    printable(f.function)};
        std::uint64_t within = 0;
        for (int b = 0; b < Tally::promBounds; ++b) {
            within += f.promBuckets[b];
            out += "cardreader_call_duration_seconds_bucket"
                + labels(operation + QStringList{"le", number(Tally::promBoundSeconds[b])})
                + ' ' + QString::number(within) + '\n';
        }
        out += "cardreader_call_duration_seconds_bucket"
            + labels(operation + QStringList{"le", "+Inf"}) + ' ' + QString::number(f.calls) + '\n';
        out += "cardreader_call_duration_seconds_sum" + labels(operation) + ' '
            + number(f.sumMs / 1000) + '\n';
        out += "cardreader_call_duration_seconds_count" + labels(operation) + ' '
            + QString::number(f.calls) + '\n';
    }

    family(out, "cardreader_rounds_total", "counter", "Whole rounds of the operations done.");
    out += "cardreader_rounds_total" + labels({"device", device, "region", region}) + ' '
        + QString::number(state.roundsDone) + '\n';
    family(out, "cardreader_run_start_time_seconds", "gauge",
           "When the run started, in seconds since the epoch.");
    out += "cardreader_run_start_time_seconds " + number(times.startMs / 1000.0) + '\n';
    family(out, "cardreader_run_elapsed_seconds", "gauge",
           "How long the run has gone on, or went on once it has ended.");
    out += "cardreader_run_elapsed_seconds " + number(times.elapsedMs / 1000.0) + '\n';
    if (finished) {
        family(out, "cardreader_run_end_time_seconds", "gauge",
               "When the run ended, in seconds since the epoch; absent while it goes on.");
        out += "cardreader_run_end_time_seconds " + number(times.endMs / 1000.0) + '\n';
    }
    family(out, "cardreader_run_last_update_time_seconds", "gauge",
           "When these figures were written, in seconds since the epoch.");
    out += "cardreader_run_last_update_time_seconds "
        + number(QDateTime::currentMSecsSinceEpoch() / 1000.0) + '\n';
    family(out, "cardreader_run_finished", "gauge", "1 once the run has ended.");
    out += QStringLiteral("cardreader_run_finished %1\n").arg(finished ? 1 : 0);
    family(out, "cardreader_library_info", "gauge",
           "The reader library the calls went to; the value is always 1.");
    out += "cardreader_library_info"
        + labels({"path", QString::fromStdString(withBadBytesEscaped(library.path.toStdString())), "sha256", QString::fromLatin1(library.sha256),
                  "simulated_reader", library.simulated.isEmpty() ? "false" : "true"})
        + " 1\n";

    // Looked at again before every write: what was a regular file at start
    // may have been replaced by a link to a device since.
    const QFileInfo target(options.metricsPath);
    if (target.exists() && !target.isFile()) {
        why = QCoreApplication::translate("PrivateFile", "it is no longer a regular file");
        return false;
    }
    QSaveFile file(options.metricsPath);
    const QByteArray bytes = out.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    why = file.errorString();
    return false;
}

