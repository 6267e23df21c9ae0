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

QJsonArray fromStrings(const QStringList &texts)
{
    QJsonArray array;
    for (const QString &text : texts)
        array << text;
    return array;
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
    QJsonArray steps;
    for (const StepState &step : session.steps) {
        QJsonArray attempts;
        for (const Attempt &attempt : step.attempts) {
            QJsonArray notes;
            for (const QPair<int, QString> &note : attempt.notes)
                notes << QJsonArray{note.first, note.second};
            attempts << QJsonObject{{"function", QString::fromLatin1(attempt.function)},
                                    {"outcome", attempt.outcome},
                                    {"ms", attempt.milliseconds},
                                    {"notes", notes}};
        }
        steps << QJsonObject{{"state", QLatin1String(stateNames[step.state])},
                             {"attempts", attempts},
                             {"reason", step.reason},
                             {"comments", fromStrings(step.comments)}};
    }
    const QJsonObject root{{"format", 1},
                           {"operator", session.operatorName},
                           {"work_order", session.workOrder},
                           {"started_ms", double(session.startedMs)},
                           {"plan_sha256", QString::fromLatin1(session.planSha256)},
                           {"expect_sha256", QString::fromLatin1(session.expectSha256)},
                           {"library_sha256", QString::fromLatin1(session.librarySha256)},
                           {"library", session.libraryPath},
                           {"device_type", session.deviceType},
                           {"region", QString::fromLatin1(session.region)},
                           {"scanner_ms", session.scannerMilliseconds},
                           {"plausibility", session.plausibility},
                           {"timeout_s", session.timeoutSeconds},
                           {"next", session.next},
                           {"steps", steps}};
    return writePrivateFile(path, QJsonDocument(root).toJson(QJsonDocument::Compact), why);
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
