#include "answeredcall.h"

#include "buffersizes.h"
#include "readertext.h"
#include "session.h"
#include "warning.h"

#include <dlfcn.h>

#include <chrono>
#include <thread>
#include <utility>

namespace {

long long nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

std::mutex &AnsweredCall::readerLock()
{
    static std::mutex lock;
    return lock;
}

AnsweredCall::AnsweredCall(const char *function)
    : m_function(function)
{
}

AnsweredCall &AnsweredCall::number(const char *name, int value)
{
    m_inputs += std::string(" ") + name + "=" + std::to_string(value);
    return *this;
}

AnsweredCall &AnsweredCall::text(const char *name, const char *text, std::size_t size)
{
    m_inputs += std::string(" ") + name + "=" + quoted(bufferText(text, size));
    return *this;
}

AnsweredCall &AnsweredCall::value(char *buffer, std::size_t size)
{
    m_values.push_back({buffer, size, false});
    return *this;
}

AnsweredCall &AnsweredCall::secret(char *buffer, std::size_t size)
{
    m_values.push_back({buffer, size, true});
    return *this;
}

AnsweredCall &AnsweredCall::output(int *value)
{
    m_output = value;
    return *this;
}

AnsweredCall &AnsweredCall::error(char *buffer)
{
    m_error = buffer;
    return *this;
}

AnsweredCall &AnsweredCall::afterScriptedSuccess(std::function<void()> follow)
{
    m_afterScriptedSuccess = std::move(follow);
    return *this;
}

void AnsweredCall::log() const
{
    session().log.write(m_function + m_inputs);
}

bool AnsweredCall::forwarding()
{
    return !session().makerPath.empty();
}

void *AnsweredCall::makerFunction()
{
    // A recording keeps how long the maker's library took.
    m_startMs = nowMs();
    return session().maker ? dlsym(session().maker, m_function) : nullptr;
}

// A call the maker's library cannot answer fails, and says why: it is never
// answered with demo data passed off as the maker's.
int AnsweredCall::unanswered()
{
    Session &s = session();
    std::string why = "the maker's library " + s.makerPath;
    if (!s.makerProblem.empty()) {
        why += " cannot be used: " + s.makerProblem;
    } else {
        why += " lacks " + std::string(m_function);
        if (s.lacking.insert(m_function).second)
            warn(why + "; its calls fail");
    }
    putText(m_error, errorSize, "simulated reader: " + why);
    return -1;
}

// What the recorder writes, the player plays: a recording that would pass a
// script's limits stops there, and says so at once.
int AnsweredCall::recorded(int result)
{
    OutputFile &recording = session().recording;
    if (!recording.isOpen())
        return result;
    Answer answer;
    answer.result = result;
    for (const Buffer &buffer : m_values)
        answer.values.push_back(buffer.secret ? recordedPin
                                              : bufferText(buffer.data, buffer.size));
    answer.error = bufferText(m_error, errorSize);
    answer.hasOutput = m_output != nullptr;
    answer.output = m_output ? *m_output : 0;
    answer.delayMs = long(nowMs() - m_startMs);
    const std::string line = scriptLine(m_function, answer);
    if (answer.delayMs > delayLimitMs)
        recording.stop(std::string(m_function) + " took longer than a script may delay ("
                       + std::to_string(delayLimitMs) + " ms)");
    else if (recording.written() + line.size() + 1 > scriptLimit)
        recording.stop("it has reached the 16 MiB a script may hold");
    else
        recording.write(line);
    return result;
}

bool AnsweredCall::replayed(int &result)
{
    Answer answer;
    if (!session().script.next(m_function, answer))
        return false;
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
