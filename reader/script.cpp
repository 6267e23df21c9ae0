#include "script.h"

#include "buffersizes.h"
#include "readertext.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

// The output buffers each reader function fills, besides the error buffer,
// with their sizes, and whether it has an int output.
struct FunctionShape
{
    const char *name;
    std::size_t values;
    bool output;
    std::size_t sizes[13];
};

const std::size_t v = valueSize;
const FunctionShape shapes[] = {
    {"VRK_OpenDev", 0, false, {}},
    {"VRK_ReadCarNo", 1, false, {v}},
    {"VRK_ReadCardBas", 13, false, {v, v, v, v, v, v, v, v, v, v, v, v, v}},
    {"VRK_ReadCardCertID", 2, false, {v, v}},
    {"VRK_ReadCardCity", 1, false, {v}},
    {"VRK_IDCard_Read", 9, false, {v, v, v, v, longValueSize, v, longValueSize, v, v}},
    {"VRK_ICBankCard_ReadNO", 1, false, {v}},
    {"VRK_MagicBankCard_ReadNo", 1, false, {textSize}},
    {"VRK_ECard_SetAutoRead", 0, false, {}},
    {"VRK_ECard_Read", 1, true, {textSize}},
    {"VRK_ECard_AutoReadTime", 0, false, {}},
    {"VRK_MagCardRead", 4, false, {textSize, textSize, textSize, textSize}},
    {"VRK_KeyBoard_InputKey", 1, true, {textSize}},
};

// Why no answer that keeps the contract could be this value, or empty.
std::string unanswerable(const FunctionShape &shape, std::size_t index, const std::string &value)
{
    const std::string which = "value " + std::to_string(index + 1) + " of " + shape.name;
    if (value.size() >= shape.sizes[index])
        return which + " is " + std::to_string(value.size()) + " bytes; its buffer holds "
            + std::to_string(shape.sizes[index] - 1);
    if (value.find('\0') != std::string::npos)
        return which + " holds a NUL, where the reader's text would end";
    if (!isUtf8(value))
        return which + " is not UTF-8, as the reader's text must be";
    return std::string();
}

// The function's place in the table, or -1.
int indexOf(const std::string &function)
{
    for (std::size_t i = 0; i < sizeof shapes / sizeof shapes[0]; ++i) {
        if (function == shapes[i].name)
            return int(i);
    }
    return -1;
}

bool parseNumber(const std::string &word, long long low, long long high, long long &number)
{
    if (word.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    number = std::strtoll(word.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && number >= low && number <= high;
}

// One script line: FUNCTION RESULT ["value" ...] [error="text"] [output=N]
// [delay=MS] [# comment]
bool parseLine(const std::string &line, std::string &function, Answer &answer, std::string &why,
               Script::Values values = Script::CutByTheReader)
{
    std::size_t pos = 0;
    const auto skipSpace = [&] {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
            ++pos;
    };
    const auto word = [&] {
        const std::size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '=')
            ++pos;
        return line.substr(start, pos - start);
    };

    skipSpace();
    function = word();
    const int index = indexOf(function);
    if (index < 0) {
        why = "unknown function " + excerpt(function);
        return false;
    }
    skipSpace();
    long long number = 0;
    if (!parseNumber(word(), INT_MIN, INT_MAX, number)) {
        why = "the result must be an int";
        return false;
    }
    answer.result = int(number);

    const FunctionShape *known = &shapes[index];
    for (skipSpace(); pos < line.size() && line[pos] != '#'; skipSpace()) {
        std::string text;
        if (line[pos] == '"') {
            if (!unquote(line, pos, text, why))
                return false;
            answer.values.push_back(text);
            continue;
        }
        const std::string key = word();
        if (pos >= line.size() || line[pos] != '=') {
            why = "expected a quoted value or key=value, found " + excerpt(key);
            return false;
        }
        ++pos;
        if (key == "error") {
            if (!unquote(line, pos, answer.error, why))
                return false;
        } else if (key == "output" && known->output) {
            if (!parseNumber(word(), INT_MIN, INT_MAX, number)) {
                why = "output must be an int";
                return false;
            }
            answer.hasOutput = true;
            answer.output = int(number);
        } else if (key == "delay") {
            if (!parseNumber(word(), 0, delayLimitMs, number)) {
                why = "delay must be 0 to " + std::to_string(delayLimitMs) + " milliseconds";
                return false;
            }
            answer.delayMs = long(number);
        } else {
            why = "unknown key " + excerpt(key) + " for " + function;
            return false;
        }
    }
    if (answer.values.size() > known->values) {
        why = function + " fills " + std::to_string(known->values) + " value(s), "
            + std::to_string(answer.values.size()) + " given";
        return false;
    }
    for (std::size_t i = 0; values == Script::AsTheReaderGivesThem && i < answer.values.size(); ++i) {
        why = unanswerable(*known, i, answer.values[i]);
        if (!why.empty())
            return false;
    }
    return true;
}

// Reads the whole script, which must be a regular file within the limit:
// a FIFO would hold the first call forever and /dev/zero never ends.
bool readScript(const std::string &path, std::string &content, std::string &why)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0)
        why = std::strerror(errno);
    else if (!S_ISREG(status.st_mode))
        why = "not a regular file";
    for (char chunk[65536]; why.empty();) {
        const ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            why = std::strerror(errno);
        else if (got == 0)
            break;
        else if (content.size() + std::size_t(got) > scriptLimit)
            why = "larger than 16 MiB";
        else
            content.append(chunk, std::size_t(got));
    }
    if (fd >= 0)
        close(fd);
    if (why.empty())
        return true;
    why = "cannot be used (" + why + ")";
    return false;
}

} // namespace

bool Script::load(const std::string &path, std::string &why, Values values)
{
    if (!readScript(path, m_content, why)) {
        *this = Script();
        return false;
    }
    // Editors may start a UTF-8 file with a byte-order mark.
    std::size_t begin = m_content.compare(0, 3, "\xef\xbb\xbf") == 0 ? 3 : 0;
    for (int number = 1; begin < m_content.size(); ++number) {
        const std::string line = lineAt(begin);
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] != '#') {
            std::string function;
            Answer answer;
            if (!isUtf8(line))
                why = "not UTF-8";
            else if (parseLine(line, function, answer, why, values))
                m_lines[indexOf(function)].push_back(std::uint32_t(begin));
            if (!why.empty()) {
                why = "line " + std::to_string(number) + ": " + why;
                *this = Script();
                return false;
            }
        }
        const std::size_t end = m_content.find('\n', begin);
        begin = end == std::string::npos ? m_content.size() : end + 1;
    }
    return true;
}

bool Script::next(const std::string &function, Answer &answer)
{
    const int index = indexOf(function);
    if (index < 0 || m_lines[index].empty())
        return false;
    std::size_t &next = m_next[index];
    std::string name, why;
    if (next + 1 < m_lines[index].size()) {
        parseLine(lineAt(m_lines[index][next++]), name, answer, why);
        return true;
    }
    // The last line answers every later call of a burn-in: parsed once.
    if (!m_lastParsed[index]) {
        parseLine(lineAt(m_lines[index][next]), name, m_last[index], why);
        m_lastParsed[index] = true;
    }
    answer = m_last[index];
    return true;
}

bool Script::isEmpty() const
{
    for (const auto &lines : m_lines) {
        if (!lines.empty())
            return false;
    }
    return true;
}

bool Script::names(const std::string &function) const
{
    const int index = indexOf(function);
    return index >= 0 && !m_lines[index].empty();
}

std::string Script::lineAt(std::size_t begin) const
{
    std::size_t end = m_content.find('\n', begin);
    if (end == std::string::npos)
        end = m_content.size();
    if (end > begin && m_content[end - 1] == '\r')
        --end;
    return m_content.substr(begin, end - begin);
}

bool isReaderFunction(const std::string &name)
{
    return indexOf(name) >= 0;
}

std::string recordingHeader(const std::string &makerPath)
{
    char when[32] = "";
    const std::time_t now = std::time(nullptr);
    std::tm utc;
    if (gmtime_r(&now, &utc))
        std::strftime(when, sizeof when, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(recordingMark) + ", made " + when + " with " + quoted(makerPath);
}

bool isRecordingHeader(const std::string &line)
{
    const std::string start = std::string(recordingMark) + ", made ";
    const char when[] = "0000-00-00T00:00:00Z";
    const std::string with = " with ";
    std::size_t pos = start.size();
    if (line.compare(0, pos, start) != 0 || line.size() < pos + sizeof when - 1)
        return false;
    const std::size_t at = pos;
    for (const char *expected = when; *expected; ++expected, ++pos) {
        const bool digit = line[pos] >= '0' && line[pos] <= '9';
        if (*expected == '0' ? !digit : line[pos] != *expected)
            return false;
    }
    // A time a recorder could have written: a notes file that quotes a
    // header's form is not a recording.
    const auto field = [&line, at](std::size_t from) {
        return (line[at + from] - '0') * 10 + (line[at + from + 1] - '0');
    };
    if (field(5) < 1 || field(5) > 12 || field(8) < 1 || field(8) > 31 || field(11) > 23
        || field(14) > 59 || field(17) > 60)
        return false;
    if (line.compare(pos, with.size(), with) != 0)
        return false;
    pos += with.size();
    std::string makerPath, why;
    return unquote(line, pos, makerPath, why) && pos == line.size();
}

std::string scriptLine(const std::string &function, const Answer &answer)
{
    std::string line = function + " " + std::to_string(answer.result);
    for (const std::string &value : answer.values)
        line += " " + quoted(value);
    line += " error=" + quoted(answer.error);
    if (answer.hasOutput)
        line += " output=" + std::to_string(answer.output);
    return line + " delay=" + std::to_string(answer.delayMs);
}
