#ifndef SIMREADER_ANSWEREDCALL_H
#define SIMREADER_ANSWEREDCALL_H

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

// One call into the simulated reader. The exported function names its inputs
// and buffers; answer() then logs the call and answers it from the maker's
// library (recording what it said; a call the maker cannot answer fails),
// from the script, or as the demo reader.
// Calls may come from any thread; they are answered one at a time, as the
// one reader behind them would.
class AnsweredCall
{
public:
    explicit AnsweredCall(const char *function);

    AnsweredCall &number(const char *name, int value);
    AnsweredCall &text(const char *name, const char *text, std::size_t size);
    AnsweredCall &value(char *buffer, std::size_t size);
    // A value that is never written to a log or recording in clear.
    AnsweredCall &secret(char *buffer, std::size_t size);
    AnsweredCall &output(int *value);
    AnsweredCall &error(char *buffer);
    // What the demo reader does after a scripted success, so that the
    // functions the script does not name answer as after that call.
    AnsweredCall &afterScriptedSuccess(std::function<void()> follow);

    template <typename... Args>
    int answer(int (*demo)(Args...), Args... args)
    {
        const std::lock_guard<std::mutex> oneCallAtATime(readerLock());
        log();
        if (forwarding()) {
            if (void *symbol = makerFunction())
                return recorded(reinterpret_cast<int (*)(Args...)>(symbol)(args...));
            return recorded(unanswered());
        }
        int result = 0;
        if (replayed(result)) {
            if (result == 0 && m_afterScriptedSuccess)
                m_afterScriptedSuccess();
            return result;
        }
        return demo(args...);
    }

private:
    struct Buffer
    {
        char *data;
        std::size_t size;
        bool secret;
    };

    static std::mutex &readerLock();
    void log() const;
    static bool forwarding();
    void *makerFunction();
    int unanswered();
    int recorded(int result);
    bool replayed(int &result);

    const char *m_function;
    std::string m_inputs;
    std::vector<Buffer> m_values;
    int *m_output = nullptr;
    char *m_error = nullptr;
    long long m_startMs = 0;
    std::function<void()> m_afterScriptedSuccess;
};

#endif
