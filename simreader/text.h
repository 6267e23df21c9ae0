#ifndef SIMREADER_TEXT_H
#define SIMREADER_TEXT_H

#include <cstddef>
#include <string>

// The reader functions' buffer sizes, in bytes.
constexpr std::size_t errorSize = 1024;
constexpr std::size_t valueSize = 36;
constexpr std::size_t longValueSize = 256;
constexpr std::size_t textSize = 1024;

// Copies text into a buffer of the given size, cut on a UTF-8 character
// boundary so that the text and its NUL always fit.
void putText(char *buffer, std::size_t size, const std::string &text);

// The text of a buffer that may lack its NUL: at most size bytes.
std::string bufferText(const char *buffer, std::size_t size);

bool isUtf8(const std::string &text);

// A double-quoted form that is always valid UTF-8 on one line: backslash,
// quote and control characters are escaped, as is every byte that is not
// part of a valid UTF-8 character (\xHH).
std::string quoted(const std::string &bytes);

// The quoted form of at most the first 40 bytes, for a message: a bad
// script line may be megabytes long or hold escape sequences.
std::string excerpt(const std::string &bytes);

// Reads a quoted text starting at line[pos] (the opening quote) and moves pos
// past the closing quote. Returns false, with the reason, on a malformed one.
bool unquote(const std::string &line, std::size_t &pos, std::string &text, std::string &why);

#endif
