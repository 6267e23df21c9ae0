#include "sessionfile.h"

#include "report/privatefile.h"
#include "run/librarytext.h"
#include "run/notes.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char *const stateNames[] = {"pending", "done", "skipped", "not-fitted"};

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
    for (const QString &finding : call.findings)
        attempt.notes << qMakePair(int(Notes::Breach), finding);
    for (const QString &difference : call.differences)
        attempt.notes << qMakePair(int(Notes::Difference), difference);
    for (const QString &doubt : call.doubts)
        attempt.notes << qMakePair(int(Notes::Doubt), doubt);
    if (call.returned && call.result != 0)
        attempt.notes << qMakePair(int(Notes::Failure),
                                   QStringLiteral("failed with %1: ").arg(call.result)
                                       + printable(call.message));
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
                           {"next", session.next},
                           {"steps", steps}};
    return writePrivateFile(path, QJsonDocument(root).toJson(), why);
}

bool loadSession(const QString &path, Session &session, QString &why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
        return false;
    }
    QJsonParseError error;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll(), &error).object();
    if (error.error != QJsonParseError::NoError || root.value("format").toInt() != 1) {
        why = QCoreApplication::translate("Session", "is not a session this program keeps");
        return false;
    }
    Session read;
    read.operatorName = root.value("operator").toString();
    read.workOrder = root.value("work_order").toString();
    read.startedMs = qint64(root.value("started_ms").toDouble());
    read.planSha256 = root.value("plan_sha256").toString().toLatin1();
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
            for (const QJsonValue &note : a.value("notes").toArray())
                attempt.notes << qMakePair(note.toArray().at(0).toInt(),
                                           note.toArray().at(1).toString());
            step.attempts << attempt;
        }
        step.reason = object.value("reason").toString();
        step.comments = toStrings(object.value("comments"));
        read.steps << step;
    }
    if (read.next < 0 || read.next > read.steps.size()) {
        why = QCoreApplication::translate("Session", "is damaged: it names no next step");
        return false;
    }
    session = read;
    return true;
}
