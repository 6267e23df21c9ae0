#include "savedanswers.h"

#include "readertext.h"
#include "script.h"

#include <QDateTime>

QByteArray savedAnswersHeader(const QByteArray &libraryPath)
{
    return "# cardreader-cli answers, saved "
        + QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toUtf8() + " from "
        + QByteArray::fromStdString(quoted(libraryPath.toStdString())) + '\n';
}

QByteArray savedAnswerLine(const CallRecord &call)
{
    if (!call.returned || call.outside)
        return QByteArray();
    Answer answer;
    answer.result = call.result;
    for (const CallRecord::Value &value : call.values)
        answer.values.push_back(value.secret ? std::string(recordedPin) : value.text.toStdString());
    answer.error = call.message.toStdString();
    answer.hasOutput = !call.outputs.isEmpty();
    answer.output = answer.hasOutput ? call.outputs[0].value : 0;
    return QByteArray::fromStdString(scriptLine(call.function, answer)) + '\n';
}
