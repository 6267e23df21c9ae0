#include "call.h"

#include "text.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <sstream>
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

void warn(const std::string &message)
{
    std::fprintf(stderr, "simulated reader: %s\n", message.c_str());
}

// A file the session writes, one whole line at a time: created readable by
// its owner only, as it may hold card numbers and stripe tracks. A file that
// cannot be opened or written is reported once; the calls go on.
class Output
{
public:
    Output() = default;
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;
    ~Output()
    {
        if (m_fd >= 0)
            close(m_fd);
    }

    bool open(const char *what, const std::string &path, int flags)
    {
        m_what = what;
        m_path = path;
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0600);
        if (m_fd >= 0)
            return true;
        if (errno == ELOOP && (flags & O_NOFOLLOW))
            warn(m_what + " " + path + " is a symbolic link, which is never written through;"
                 " name the file itself. Nothing is written");
        else
            failed("open");
        return false;
    }

    void write(std::string line)
    {
        if (m_fd < 0 || m_broken)
            return;
        line += '\n';
        for (std::size_t done = 0; done < line.size();) {
            errno = 0;
            const ssize_t written = ::write(m_fd, line.data() + done, line.size() - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0) {
                m_broken = true;
                return failed("write");
            }
            done += std::size_t(written);
        }
    }

    bool isOpen() const { return m_fd >= 0; }

private:
    void failed(const char *action)
    {
        const char *reason = errno ? std::strerror(errno) : "nothing was written";
        warn("cannot " + std::string(action) + " the " + m_what + " " + m_path + ": " + reason
             + "; its lines are lost");
    }

    std::string m_what;
    std::string m_path;
    int m_fd = -1;
    bool m_broken = false;
};

// What the environment asks of this session, read at its first call.
struct Session
{
    Session();

    Output log;
    Output recording;
    void *maker = nullptr;
    // Each function's scripted answers, used in order; the last one repeats.
    std::map<std::string, std::deque<Answer>> answers;
};

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

void loadScript(Session &session, const std::string &path)
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
            session.answers.clear();
            return;
        }
        session.answers[function].push_back(answer);
    }
}

// The maker's library must call its own functions, never the stand-in's of
// the same names. The sanitizers refuse that binding, so their builds bind
// the ordinary way (their tests use a maker library that calls no function
// of its own).
#if defined(__has_feature)
#define SIMREADER_HAS_FEATURE(feature) __has_feature(feature)
#else
#define SIMREADER_HAS_FEATURE(feature) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__) \
    || SIMREADER_HAS_FEATURE(address_sanitizer) || SIMREADER_HAS_FEATURE(thread_sanitizer)
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

// Whether an object loaded before this one already answers the reader
// functions: then this copy was loaded as the maker's library by the copy
// the program uses, which alone logs, scripts and records. Objects are
// visited in load order, and however the program loaded its copy
// (RTLD_LOCAL included), it came before the maker's.
bool loadedAsMakerLibrary()
{
    struct Earlier
    {
        void *own;
        bool reachedOwn;
        std::vector<std::string> names;
    } earlier{ownBase(), false, {}};
    dl_iterate_phdr(
        [](dl_phdr_info *info, std::size_t, void *data) {
            Earlier &e = *static_cast<Earlier *>(data);
            if (reinterpret_cast<void *>(info->dlpi_addr) == e.own)
                e.reachedOwn = true;
            if (!e.reachedOwn)
                e.names.push_back(info->dlpi_name ? info->dlpi_name : "");
            return e.reachedOwn ? 1 : 0;
        },
        &earlier);
    for (const std::string &name : earlier.names) {
        void *object = dlopen(name.empty() ? nullptr : name.c_str(), RTLD_LAZY | RTLD_NOLOAD);
        if (!object)
            continue;
        void *base = baseOf(dlsym(object, "VRK_OpenDev"));
        dlclose(object);
        if (base && base != earlier.own)
            return true;
    }
    return false;
}

Session::Session()
{
    if (loadedAsMakerLibrary())
        return;
    if (const char *path = environment("VRK_SIM_LOG"))
        log.open("call log", path, O_APPEND);
    const char *script = environment("VRK_SIM_SCRIPT");
    if (const char *path = environment("VRK_SIM_MAKER_LIBRARY")) {
        maker = loadMaker(path);
        // A recording starts afresh with every session.
        if (maker && script)
            recording.open("recording", script, O_TRUNC | O_NOFOLLOW);
        return;
    }
    if (script)
        loadScript(*this, script);
}

Session &session()
{
    static Session instance;
    return instance;
}

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

std::mutex &Call::readerLock()
{
    static std::mutex lock;
    return lock;
}

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
    session().log.write(m_function + m_inputs);
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
    Output &recording = session().recording;
    if (!recording.isOpen())
        return result;
    std::string line = std::string(m_function) + " " + std::to_string(result);
    for (const Buffer &buffer : m_values)
        line += " " + quoted(buffer.secret ? placeholder : bufferText(buffer.data, buffer.size));
    line += " error=" + quoted(bufferText(m_error, errorSize));
    if (m_output)
        line += " output=" + std::to_string(*m_output);
    line += " delay=" + std::to_string(nowMs() - m_startMs);
    recording.write(line);
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
