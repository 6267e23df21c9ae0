#include "answers.h"

#include "run/librarytext.h"

#include "plausibility.h"
#include "readertext.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

namespace {

QString quotedText(const std::string &text)
{
    return QString::fromStdString(quoted(text));
}

// The reports keep a few hundred bytes of each difference: a long value is
// shown from a little before where the two first part, each cut marked,
// with its whole length.
const std::size_t shownWhole = 100;
const std::size_t shownBefore = 16;
const std::size_t shownFrom = 48;

// Back to the start of the UTF-8 character that holds byte at.
std::size_t characterStart(const std::string &text, std::size_t at)
{
    while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xc0) == 0x80)
        --at;
    return std::min(at, text.size());
}

QString shownPart(const std::string &text, std::size_t differsAt)
{
    if (text.size() <= shownWhole)
        return quotedText(text);
    const std::size_t from = characterStart(text, differsAt > shownBefore ? differsAt - shownBefore : 0);
    const std::size_t to = characterStart(text, from + shownFrom);
    return QStringLiteral("%1%2%3 (%4 bytes)")
        .arg(from > 0 ? QStringLiteral("…") : QString())
        .arg(quotedText(text.substr(from, to - from)))
        .arg(to < text.size() ? QStringLiteral("…") : QString())
        .arg(text.size());
}

// Where two texts first part at a letter beyond ASCII they may look alike
// (a Cyrillic А for a Latin A, a precomposed é against e and a combining
// accent, 李 and its compatibility form): the characters about there are
// told apart by their code points,
// a few before and after, each cut marked, however long the texts are.
const int pointsBefore = 4;
const int pointsFrom = 8;

QString codePoints(const QVector<uint> &text, int differsAt)
{
    if (text.isEmpty())
        return QStringLiteral("none");
    const int from = std::max(0, differsAt - pointsBefore);
    const int to = std::min(int(text.size()), differsAt + pointsFrom);
    QStringList points;
    if (from > 0)
        points << QStringLiteral("…");
    for (int i = from; i < to; ++i)
        points << QString::asprintf("U+%04X", text[i]);
    if (to < text.size())
        points << QStringLiteral("…");
    return points.join(' ');
}

QString difference(const QString &name, const std::string &want, const std::string &got)
{
    std::size_t at = 0;
    while (at < want.size() && at < got.size() && want[at] == got[at])
        ++at;
    QString text = name + ": expected " + shownPart(want, at) + ", got " + shownPart(got, at);
    const QVector<uint> wantPoints = QString::fromStdString(want).toUcs4();
    const QVector<uint> gotPoints = QString::fromStdString(got).toUcs4();
    int point = 0;
    while (point < wantPoints.size() && point < gotPoints.size()
           && wantPoints[point] == gotPoints[point])
        ++point;
    // An ASCII character, the end of a text or a Chinese character is told
    // from another at a glance, escaped if it is not printable; a letter of
    // another alphabet, an accent or a compatibility form may not be.
    const auto plain = [point](const QVector<uint> &text) {
        if (point >= text.size() || text[point] <= 0x7f)
            return true;
        // Radicals, compatibility forms and the ideographic zero each look
        // like another character.
        const uint c = text[point];
        const bool standsIn = (c >= 0x2e80 && c <= 0x2fdf) || c == 0x3007
            || (c >= 0xf900 && c <= 0xfaff) || (c >= 0x2f800 && c <= 0x2fa1f);
        return QChar::script(c) == QChar::Script_Han && !standsIn;
    };
    if (!plain(wantPoints) || !plain(gotPoints))
        text += " (code points: expected " + codePoints(wantPoints, point) + ", got "
            + codePoints(gotPoints, point) + ')';
    return text;
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
            call.differences << difference(name, want, got);
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
