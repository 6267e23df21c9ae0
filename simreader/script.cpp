#include "script.h"

#include "readertext.h"
#include "warning.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

// How many output buffers each reader function fills, besides the error
// buffer, and whether it has an int output.
struct FunctionShape
{
    const char *name;
    std::size_t values;
    bool output;
};

const FunctionShape functions[] = {
    {"VRK_OpenDev", 0, false},
    {"VRK_ReadCarNo", 1, false},
    {"VRK_ReadCardBas", 13, false},
    {"VRK_ReadCardCertID", 2, false},
    {"VRK_ReadCardCity", 1, false},
    {"VRK_IDCard_Read", 9, false},
    {"VRK_ICBankCard_ReadNO", 1, false},
    {"VRK_MagicBankCard_ReadNo", 1, false},
    {"VRK_ECard_SetAutoRead", 0, false},
    {"VRK_ECard_Read", 1, true},
    {"VRK_ECard_AutoReadTime", 0, false},
    {"VRK_MagCardRead", 4, false},
    {"VRK_KeyBoard_InputKey", 1, true},
};

bool parseNumber(const std::string &word, long long low, long long high, long long &number)
{
    if (word.empty())
        return false;
    char *end = nullptr;
    errno = 0;
    number = std::strtoll(word.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && number >= low && number <= high;
}

// One script line: FUNCTION RESULT ["value" ...] [error="text"] [output=N] [delay=MS]
bool parseLine(const std::string &line, std::string &function, Answer &answer, std::string &why)
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
    const auto known = std::find_if(std::begin(functions), std::end(functions),
                                    [&](const FunctionShape &f) { return function == f.name; });
    if (known == std::end(functions)) {
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

    for (skipSpace(); pos < line.size(); skipSpace()) {
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
            if (!parseNumber(word(), 0, 3600000, number)) {
                why = "delay must be 0 to 3600000 milliseconds";
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
    return true;
}

// Larger scripts are refused: a script is typed or recorded by hand.
const std::size_t scriptLimit = 16 * 1024 * 1024;

// Reads the whole script, which must be a regular file within the limit:
// a FIFO would hold the first call forever and /dev/zero never ends.
bool readScript(const std::string &path, std::string &content)
{
    std::string why;
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
    warn("script " + path + " cannot be used (" + why + "); using the demo reader");
    return false;
}

} // namespace

void Script::load(const std::string &path)
{
    std::string content;
    if (!readScript(path, content))
        return;
    std::istringstream lines(content);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::string function;
        Answer answer;
        std::string why;
        if (!isUtf8(line))
            why = "not UTF-8";
        else
            parseLine(line, function, answer, why);
        if (!why.empty()) {
            warn("script " + path + " line " + std::to_string(number) + ": " + why
                 + "; using the demo reader");
            m_answers.clear();
            return;
        }
        m_answers[function].push_back(answer);
    }
}

bool Script::next(const std::string &function, Answer &answer)
{
    const auto found = m_answers.find(function);
    if (found == m_answers.end())
        return false;
    std::deque<Answer> &queue = found->second;
    answer = queue.front();
    if (queue.size() > 1)
        queue.pop_front();
    return true;
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
