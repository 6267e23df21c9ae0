#include "sessionfile.h"

#include "report/privatefile.h"
#include "report/record.h"
#include "run/notes.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *const stateNames[] = {"pending", "done", "skipped", "not-fitted"};

// A session of the longest plan, every step tried many times, is far
// smaller: a larger file is not one this program wrote.
const qint64 sessionLimit = 4 * 1024 * 1024;

// The session's JSON is written by hand: it is written after every step,
// and built and printed by Qt's JSON classes it cost the calling process
// more than the step's own calls. It is read back by them.
void quoted(QByteArray &out, const QString &text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20)
            out += "\\u00" + QByteArray::number(static_cast<unsigned char>(c) + 0x100, 16).mid(1);
        else
            out += c;
    }
    out += '"';
}

void strings(QByteArray &out, const QStringList &texts)
{
    out += '[';
    for (int i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += ',';
        quoted(out, texts[i]);
    }
    out += ']';
}

QStringList toStrings(const QJsonValue &value)
{
    QStringList texts;
    for (const QJsonValue &text : value.toArray())
        texts << text.toString();
    return texts;
}

} // namespace

Attempt attemptOf(const CallRecord &call)
{
    Attempt attempt;
    attempt.function = call.function;
    attempt.outcome = call.outcome();
    attempt.milliseconds = call.milliseconds;
    attempt.notes = notesOf(call);
    return attempt;
}

bool saveSession(const QString &path, const Session &session, QString &why)
{
    QByteArray out = "{\"format\":1,\"operator\":";
    quoted(out, session.operatorName);
    out += ",\"work_order\":";
    quoted(out, session.workOrder);
    out += ",\"started_ms\":" + QByteArray::number(session.startedMs) + ",\"plan_sha256\":";
    quoted(out, QString::fromLatin1(session.planSha256));
    out += ",\"expect_sha256\":";
    quoted(out, QString::fromLatin1(session.expectSha256));
    out += ",\"library_sha256\":";
    quoted(out, QString::fromLatin1(session.librarySha256));
    out += ",\"library\":";
    quoted(out, session.libraryPath);
    out += ",\"device_type\":" + QByteArray::number(session.deviceType) + ",\"region\":";
    quoted(out, QString::fromLatin1(session.region));
    out += ",\"scanner_ms\":" + QByteArray::number(session.scannerMilliseconds)
        + ",\"plausibility\":" + (session.plausibility ? "true" : "false")
        + ",\"timeout_s\":" + QByteArray::number(session.timeoutSeconds)
        + ",\"next\":" + QByteArray::number(session.next) + ",\"steps\":[";
    for (int i = 0; i < session.steps.size(); ++i) {
        const StepState &step = session.steps[i];
        out += QByteArray(i > 0 ? "," : "") + "{\"state\":\"" + stateNames[step.state]
            + "\",\"attempts\":[";
        for (int j = 0; j < step.attempts.size(); ++j) {
            const Attempt &attempt = step.attempts[j];
            out += QByteArray(j > 0 ? "," : "") + "{\"function\":";
            quoted(out, QString::fromLatin1(attempt.function));
            out += ",\"outcome\":" + QByteArray::number(attempt.outcome)
                + ",\"ms\":" + QByteArray::number(attempt.milliseconds, 'g', 15) + ",\"notes\":[";
            for (int k = 0; k < attempt.notes.size(); ++k) {
                out += QByteArray(k > 0 ? "," : "") + '['
                    + QByteArray::number(attempt.notes[k].first) + ',';
                quoted(out, attempt.notes[k].second);
                out += ']';
            }
            out += "]}";
        }
        out += "],\"reason\":";
        quoted(out, step.reason);
        out += ",\"comments\":";
        strings(out, step.comments);
        out += '}';
    }
    out += "]}\n";
    return writePrivateFile(path, out, why);
}

bool loadSession(const QString &path, Session &session, QString &why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    const QByteArray content = file.read(sessionLimit + 1);
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(content, &error).object();
    const QString notOurs = QCoreApplication::translate("Session", "is not a session this program keeps");
    if (content.size() > sessionLimit || error.error != QJsonParseError::NoError
        || root.value("format").toInt() != 1) {
        why = notOurs;
        return false;
    }
    Session read;
    read.operatorName = root.value("operator").toString();
    read.workOrder = root.value("work_order").toString();
    read.startedMs = qint64(root.value("started_ms").toDouble());
    read.planSha256 = root.value("plan_sha256").toString().toLatin1();
    read.expectSha256 = root.value("expect_sha256").toString().toLatin1();
    read.librarySha256 = root.value("library_sha256").toString().toLatin1();
    read.libraryPath = root.value("library").toString();
    read.deviceType = root.value("device_type").toInt();
    read.region = root.value("region").toString().toLatin1();
    read.scannerMilliseconds = root.value("scanner_ms").toInt();
    read.plausibility = root.value("plausibility").toBool(true);
    read.timeoutSeconds = root.value("timeout_s").toInt(-1);
    read.next = root.value("next").toInt(-1);
    for (const QJsonValue &value : root.value("steps").toArray()) {
        const QJsonObject object = value.toObject();
        StepState step;
        const QString state = object.value("state").toString();
        for (int i = 0; i < 4; ++i) {
            if (state == QLatin1String(stateNames[i]))
                step.state = StepState::State(i);
        }
        for (const QJsonValue &attemptValue : object.value("attempts").toArray()) {
            const QJsonObject a = attemptValue.toObject();
            Attempt attempt;
            attempt.function = a.value("function").toString().toLatin1();
            attempt.outcome = a.value("outcome").toInt();
            attempt.milliseconds = a.value("ms").toDouble();
            for (const QJsonValue &note : a.value("notes").toArray()) {
                const int kind = note.toArray().at(0).toInt(-1);
                if (kind < 0 || kind >= Notes::kinds) {
                    why = notOurs;
                    return false;
                }
                attempt.notes << qMakePair(kind, note.toArray().at(1).toString());
            }
            if (attempt.outcome < 0 || attempt.outcome >= Tally::outcomes) {
                why = notOurs;
                return false;
            }
            step.attempts << attempt;
        }
        step.reason = object.value("reason").toString();
        step.comments = toStrings(object.value("comments"));
        read.steps << step;
    }
    bool whole = read.next >= 0 && read.next <= read.steps.size();
    for (int i = 0; whole && i < read.steps.size(); ++i)
        whole = (i < read.next) == (read.steps[i].state != StepState::Pending);
    if (!whole) {
        why = QCoreApplication::translate("Session", "is damaged: its steps do not match its next one");
        return false;
    }
    session = read;
    return true;
}
