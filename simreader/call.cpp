#include "call.h"

#include "text.h"

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <map>
#include <thread>

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

const char placeholder[] = "******";

struct Answer
{
    int result = 0;
    std::vector<std::string> values;
    std::string error;
    bool hasOutput = false;
    int output = 0;
    long delayMs = 0;
};

struct Session
{
    std::string logPath;
    std::string scriptPath;
    void *maker = nullptr;
    // Each function's scripted answers, used in order; the last one repeats.
    std::map<std::string, std::deque<Answer>> answers;
};

void warn(const std::string &message)
{
    std::fprintf(stderr, "simulated reader: %s\n", message.c_str());
}

const char *environment(const char *name)
{
    const char *value = std::getenv(name);
    return value && *value ? value : nullptr;
}

void *ownBase()
{
    Dl_info info;
    return dladdr(reinterpret_cast<void *>(&warn), &info) ? info.dli_fbase : nullptr;
}

void *baseOf(void *symbol)
{
    Dl_info info;
    return symbol && dladdr(symbol, &info) ? info.dli_fbase : nullptr;
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
        why = "unknown function '" + function + "'";
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
            why = "expected a quoted value or key=value, found '" + key + "'";
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
            why = "unknown key '" + key + "' for " + function;
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

void loadScript(Session &session)
{
    std::ifstream file(session.scriptPath);
    if (!file) {
        warn(session.scriptPath + ": cannot be read; using the demo reader");
        return;
    }
    std::string line;
    for (int number = 1; std::getline(file, line); ++number) {
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
            warn(session.scriptPath + " line " + std::to_string(number) + ": " + why
                 + "; using the demo reader");
            session.answers.clear();
            return;
        }
        session.answers[function].push_back(answer);
    }
}

// The maker's library must call its own functions, never the stand-in's of
// the same names. AddressSanitizer refuses that binding, so its builds bind
// the ordinary way (their tests use a maker library that calls no function of
// its own).
#if defined(__SANITIZE_ADDRESS__)
const int ownSymbolsFirst = 0;
#else
const int ownSymbolsFirst = RTLD_DEEPBIND;
#endif

void *loadMaker(const char *path)
{
    void *maker = dlopen(path, RTLD_NOW | RTLD_LOCAL | ownSymbolsFirst);
    if (!maker) {
        warn(std::string("cannot load the maker's library: ") + dlerror()
             + "; using the demo reader");
        return nullptr;
    }
    if (baseOf(dlsym(maker, "VRK_OpenDev")) == ownBase()) {
        warn(std::string(path) + " is the simulated reader itself; using the demo reader");
        dlclose(maker);
        return nullptr;
    }
    return maker;
}

Session start()
{
    Session session;
    // Loaded by another stand-in as its maker's library, this copy is the
    // plain demo reader: the scripting belongs to the one the program uses.
    if (baseOf(dlsym(dlopen(nullptr, RTLD_NOW), "VRK_OpenDev")) != ownBase())
        return session;

    if (const char *log = environment("VRK_SIM_LOG"))
        session.logPath = log;
    if (const char *script = environment("VRK_SIM_SCRIPT"))
        session.scriptPath = script;
    if (const char *maker = environment("VRK_SIM_MAKER_LIBRARY")) {
        session.maker = loadMaker(maker);
        // A recording starts afresh with every session.
        if (session.maker && !session.scriptPath.empty())
            std::ofstream(session.scriptPath, std::ios::trunc);
        return session;
    }
    if (!session.scriptPath.empty())
        loadScript(session);
    return session;
}

Session &session()
{
    static Session instance = start();
    return instance;
}

void appendLine(const std::string &path, const std::string &line)
{
    std::ofstream file(path, std::ios::app);
    file << line << '\n';
}

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

Call::Call(const char *function)
    : m_function(function)
{
}

Call &Call::number(const char *name, int value)
{
    m_inputs += std::string(" ") + name + "=" + std::to_string(value);
    return *this;
}

Call &Call::text(const char *name, const char *text, std::size_t size)
{
    m_inputs += std::string(" ") + name + "=" + quoted(bufferText(text, size));
    return *this;
}

Call &Call::value(char *buffer, std::size_t size)
{
    m_values.push_back({buffer, size, false});
    return *this;
}

Call &Call::secret(char *buffer, std::size_t size)
{
    m_values.push_back({buffer, size, true});
    return *this;
}

Call &Call::output(int *value)
{
    m_output = value;
    return *this;
}

Call &Call::error(char *buffer)
{
    m_error = buffer;
    return *this;
}

void Call::log() const
{
    if (!session().logPath.empty())
        appendLine(session().logPath, m_function + m_inputs);
}

void *Call::makerFunction()
{
    if (!session().maker)
        return nullptr;
    // A recording keeps how long the maker's library took.
    m_startMs = nowMs();
    return dlsym(session().maker, m_function);
}

int Call::recorded(int result)
{
    const Session &s = session();
    if (s.scriptPath.empty())
        return result;
    std::string line = std::string(m_function) + " " + std::to_string(result);
    for (const Buffer &buffer : m_values)
        line += " " + quoted(buffer.secret ? placeholder : bufferText(buffer.data, buffer.size));
    line += " error=" + quoted(bufferText(m_error, errorSize));
    if (m_output)
        line += " output=" + std::to_string(*m_output);
    line += " delay=" + std::to_string(nowMs() - m_startMs);
    appendLine(s.scriptPath, line);
    return result;
}

bool Call::replayed(int &result)
{
    const auto found = session().answers.find(m_function);
    if (found == session().answers.end())
        return false;
    std::deque<Answer> &queue = found->second;
    const Answer answer = queue.front();
    if (queue.size() > 1)
        queue.pop_front();

    if (answer.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
    for (std::size_t i = 0; i < answer.values.size() && i < m_values.size(); ++i)
        putText(m_values[i].data, m_values[i].size, answer.values[i]);
    if (m_output && answer.hasOutput)
        *m_output = answer.output;
    putText(m_error, errorSize, answer.error);
    result = answer.result;
    return true;
}
