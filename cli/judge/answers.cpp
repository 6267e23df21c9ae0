#include "answers.h"

#include "run/librarytext.h"

#include "plausibility.h"
#include "readertext.h"

#include <ctime>
#include <string>
#include <vector>

namespace {

QString quotedText(const std::string &text)
{
    return QString::fromStdString(quoted(text));
}

// Worked out again only when the second changes: a burn-in asks a million
// times a minute.
CalendarDate today()
{
    static std::time_t known = -1;
    static CalendarDate date{};
    const std::time_t now = std::time(nullptr);
    if (now != known) {
        std::tm local{};
        localtime_r(&now, &local);
        date = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
        known = now;
    }
    return date;
}

} // namespace

void compareWithExpected(CallRecord &call, Script &expected, bool showPin)
{
    if (!call.returned || call.outside || !expected.next(call.function, call.expected))
        return;
    call.compared = true;
    const Answer &answer = call.expected;
    if (answer.result != call.result) {
        call.differences << QStringLiteral("result: expected %1, got %2")
                                .arg(answer.result)
                                .arg(call.result);
        return;
    }
    if (call.result != 0)
        return;
    for (int i = 0; i < call.values.size(); ++i) {
        const CallRecord::Value &value = call.values[i];
        const std::string want = std::size_t(i) < answer.values.size() ? answer.values[std::size_t(i)]
                                                                        : std::string();
        const std::string got = value.text.toStdString();
        if (want == got || (value.secret && want == recordedPin))
            continue;
        const QString name = QString::fromLatin1(value.name);
        if (value.secret && !showPin)
            call.differences << name + ": differs from the expected text (--show-pin shows both)";
        else
            call.differences << name + ": expected " + quotedText(want) + ", got " + quotedText(got);
    }
    if (answer.hasOutput && !call.outputs.isEmpty() && call.outputs[0].value != answer.output)
        call.differences << QString::fromLatin1(call.outputs[0].name)
                + QStringLiteral(": expected %1, got %2").arg(answer.output).arg(call.outputs[0].value);
}

void checkPlausibility(CallRecord &call)
{
    if (!call.ok() || call.outside || !hasAnswerRules(call.function))
        return;
    std::vector<std::string> values;
    for (const CallRecord::Value &value : call.values)
        values.push_back(value.text.toStdString());
    for (const std::string &doubt : answerDoubts(call.function, values, today()))
        call.doubts << printable(QByteArray::fromStdString(doubt));
}
