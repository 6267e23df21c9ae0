// Calls the reader library as given on the command line and prints each
// answer on one line in the simulated reader's script format:
//   FUNCTION RESULT "value" ... error="text" [output=N]
// A call is written FUNCTION[:argument...], e.g. VRK_OpenDev:21:3500.
// Every buffer has guard bytes behind it; a write past a buffer is reported.
// With --threads N --rounds R first, N threads each make the calls R times
// over, and every answer line is printed after its thread's number.

#include "vrkreaderclient.h"

#include "readertext.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<bool> overflowed(false);

class Buffers
{
public:
    char *add(std::size_t size)
    {
        m_storage.emplace_back(size + guard, '\x5a');
        std::memset(&m_storage.back()[0], 0, size);
        m_sizes.push_back(size);
        return &m_storage.back()[0];
    }

    std::string describe(int result, int output, bool hasOutput)
    {
        std::string line = " " + std::to_string(result);
        for (std::size_t i = 0; i + 1 < m_storage.size(); ++i)
            line += " " + quoted(text(i));
        line += " error=" + quoted(text(m_storage.size() - 1));
        if (hasOutput)
            line += " output=" + std::to_string(output);
        return line;
    }

private:
    static const std::size_t guard = 32;

    std::string text(std::size_t i)
    {
        const std::string &bytes = m_storage[i];
        for (std::size_t k = m_sizes[i]; k < bytes.size(); ++k) {
            if (bytes[k] != '\x5a')
                overflowed = true;
        }
        if (std::memchr(bytes.data(), 0, m_sizes[i]) == nullptr)
            overflowed = true;
        return bufferText(bytes.data(), m_sizes[i]);
    }

    std::deque<std::string> m_storage;
    std::vector<std::size_t> m_sizes;
};

std::vector<std::string> split(const std::string &call)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = call.find(':', start)) != std::string::npos;
         start = colon + 1)
        parts.push_back(call.substr(start, colon - start));
    parts.push_back(call.substr(start));
    return parts;
}

int number(const std::vector<std::string> &parts, std::size_t i)
{
    return i < parts.size() ? std::atoi(parts[i].c_str()) : 0;
}

std::string run(const std::vector<std::string> &parts)
{
    const std::string &f = parts[0];
    Buffers b;
    int output = 0;
    bool hasOutput = false;
    int result = 0;
    if (f == "VRK_OpenDev") {
        // Ten bytes, with no NUL if the code fills them, and bytes behind
        // them that the library must not read.
        char region[10 + 8];
        std::memset(region, 'Z', sizeof region);
        std::strncpy(region, parts.size() > 2 ? parts[2].c_str() : "", 10);
        result = VRK_OpenDev(number(parts, 1), region, b.add(1024));
    } else if (f == "VRK_ReadCarNo") {
        char *v = b.add(36);
        result = VRK_ReadCarNo(v, b.add(1024));
    } else if (f == "VRK_ReadCardBas") {
        char *v[13];
        for (char *&value : v)
            value = b.add(36);
        result = VRK_ReadCardBas(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8], v[9],
                                 v[10], v[11], v[12], b.add(1024));
    } else if (f == "VRK_ReadCardCertID") {
        char *number = b.add(36);
        char *code = b.add(36);
        result = VRK_ReadCardCertID(number, code, b.add(1024));
    } else if (f == "VRK_ReadCardCity") {
        char *v = b.add(36);
        result = VRK_ReadCardCity(v, b.add(1024));
    } else if (f == "VRK_IDCard_Read") {
        char *v[9];
        for (int i = 0; i < 9; ++i)
            v[i] = b.add(i == 4 || i == 6 ? 256 : 36);
        result = VRK_IDCard_Read(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8],
                                 b.add(1024));
    } else if (f == "VRK_ICBankCard_ReadNO") {
        char *v = b.add(36);
        result = VRK_ICBankCard_ReadNO(v, b.add(1024));
    } else if (f == "VRK_MagicBankCard_ReadNo") {
        char *v = b.add(1024);
        result = VRK_MagicBankCard_ReadNo(number(parts, 1), v, b.add(1024));
    } else if (f == "VRK_ECard_SetAutoRead") {
        result = VRK_ECard_SetAutoRead(number(parts, 1), b.add(1024));
    } else if (f == "VRK_ECard_Read" && parts.size() > 2 && parts[2] == "null") {
        // No scan buffer and no int output at all.
        result = VRK_ECard_Read(nullptr, nullptr, number(parts, 1), b.add(1024));
    } else if (f == "VRK_ECard_Read") {
        char *v = b.add(1024);
        hasOutput = true;
        result = VRK_ECard_Read(&output, v, number(parts, 1), b.add(1024));
    } else if (f == "VRK_ECard_AutoReadTime") {
        result = VRK_ECard_AutoReadTime(number(parts, 1), b.add(1024));
    } else if (f == "VRK_MagCardRead") {
        char *t[4];
        for (char *&track : t)
            track = b.add(1024);
        result = VRK_MagCardRead(number(parts, 1), t[0], t[1], t[2], t[3], b.add(1024));
    } else if (f == "VRK_KeyBoard_InputKey") {
        const int size = parts.size() > 2 ? number(parts, 2) : 1024;
        char *key = b.add(std::size_t(size));
        hasOutput = true;
        result = VRK_KeyBoard_InputKey(number(parts, 1), size, key, &output, b.add(1024));
    } else {
        return "unknown call " + f;
    }
    return f + b.describe(result, output, hasOutput);
}

} // namespace

int main(int argc, char *argv[])
{
    int first = 1;
    int threads = 0;
    int rounds = 1;
    if (argc > 4 && std::strcmp(argv[1], "--threads") == 0) {
        threads = std::atoi(argv[2]);
        rounds = std::atoi(argv[4]);
        first = 5;
    }
    if (threads == 0) {
        for (int i = first; i < argc; ++i)
            std::printf("%s\n", run(split(argv[i])).c_str());
    } else {
        std::vector<std::vector<std::string>> answers(static_cast<std::size_t>(threads));
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t) {
            workers.emplace_back([&, t] {
                for (int round = 0; round < rounds; ++round) {
                    for (int i = first; i < argc; ++i)
                        answers[std::size_t(t)].push_back(run(split(argv[i])));
                }
            });
        }
        for (std::thread &worker : workers)
            worker.join();
        for (int t = 0; t < threads; ++t) {
            for (const std::string &line : answers[std::size_t(t)])
                std::printf("%d %s\n", t, line.c_str());
        }
    }
    if (overflowed)
        std::printf("OVERFLOW\n");
    return overflowed ? 1 : 0;
}
