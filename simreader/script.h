#ifndef SIMREADER_SCRIPT_H
#define SIMREADER_SCRIPT_H

#include <deque>
#include <map>
#include <string>
#include <vector>

// One scripted answer to one call, as a script line gives it:
// FUNCTION RESULT ["value" ...] [error="text"] [output=N] [delay=MS]
struct Answer
{
    int result = 0;
    std::vector<std::string> values;
    std::string error;
    bool hasOutput = false;
    int output = 0;
    long delayMs = 0;
};

// Each function's scripted answers, used in order; the last one repeats.
// Functions the script does not name are left to the demo reader.
class Script
{
public:
    // Reads the file; a script with any bad line is reported and holds no
    // answer at all, rather than half of what was meant.
    void load(const std::string &path);
    bool next(const std::string &function, Answer &answer);

private:
    std::map<std::string, std::deque<Answer>> m_answers;
};

// The line that replays the answer: what a recording writes.
std::string scriptLine(const std::string &function, const Answer &answer);

#endif
