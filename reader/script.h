#ifndef READER_SCRIPT_H
#define READER_SCRIPT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One scripted answer to one call, as a script line gives it:
// FUNCTION RESULT ["value" ...] [error="text"] [output=N] [delay=MS] [# comment]
struct Answer
{
    int result = 0;
    std::vector<std::string> values;
    std::string error;
    bool hasOutput = false;
    int output = 0;
    long delayMs = 0;
};

// The limits a script is held to, which a recording keeps to as well, so
// that every recording replays. A script is typed or recorded, not made by
// a program: larger ones are refused.
const std::size_t scriptLimit = 16 * 1024 * 1024;
const long delayLimitMs = 3600000;

// How every recording begins: a comment for the player, which says what made
// it and when, and by which a recording is known before it is replaced:
// # cardreader simulated reader recording, made 2026-12-07T14:00:00Z with "PATH"
const char recordingMark[] = "# cardreader simulated reader recording";
std::string recordingHeader(const std::string &makerPath);
// Only a whole header line: a file that merely begins with the same words
// is somebody's notes.
bool isRecordingHeader(const std::string &line);

// What a recording keeps of the PIN pad's key text, which is never written
// down: as an expected answer it stands for any key.
const char recordedPin[] = "******";

bool isReaderFunction(const std::string &name);

// Each function's scripted answers, used in order; the last one repeats.
// The simulated reader answers from them, and cardreader-cli takes them as
// the answers it expects. The
// script's text is kept as it is, with where each answer's line starts, and
// a line is parsed again when its call comes: a parsed script takes little
// more memory than its file.
class Script
{
public:
    // How values are taken: as the simulated reader plays them, which cuts
    // a value to its buffer; or as a reader that keeps the contract gives
    // them, within their buffers, in UTF-8 and with no NUL, as expected
    // answers must be to be met at all.
    enum Values { CutByTheReader, AsTheReaderGivesThem };

    // Reads the file. A script with any bad line holds no answer at all,
    // rather than half of what was meant; why then says what is wrong, in
    // words that follow the file's name: "line 3: unknown function ...".
    bool load(const std::string &path, std::string &why, Values values = CutByTheReader);
    // The answer to the next call of function; false if the script does not
    // name it.
    bool next(const std::string &function, Answer &answer);
    bool names(const std::string &function) const;
    // No line answers any function: a file of comments, or empty.
    bool isEmpty() const;
    // The file's bytes as they were read.
    const std::string &content() const { return m_content; }

private:
    static const std::size_t functions = 13;
    std::string lineAt(std::size_t begin) const;

    std::string m_content;
    std::vector<std::uint32_t> m_lines[functions];
    std::size_t m_next[functions] = {};
    Answer m_last[functions];
    bool m_lastParsed[functions] = {};
};

// The line that replays the answer: what a recording writes.
std::string scriptLine(const std::string &function, const Answer &answer);

#endif
