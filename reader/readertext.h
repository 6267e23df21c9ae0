#ifndef READERTEXT_H
#define READERTEXT_H

#include <cstddef>
#include <string>

// The rules for text that crosses the reader library's boundary, the same for
// every part that reads or writes it: a buffer is read at most to its size,
// text must be UTF-8, and what is shown or stored is escaped so that nothing
// from the library can drive a terminal or break a line.

// Copies text into a buffer of the given size, cut on a UTF-8 character
// boundary so that the text and its NUL always fit.
void putText(char *buffer, std::size_t size, const std::string &text);

// The text of a buffer that may lack its NUL: at most size bytes.
std::string bufferText(const char *buffer, std::size_t size);

bool isUtf8(const std::string &text);
bool isUtf8(const char *bytes, std::size_t size);

// Whether the character shows as nothing, as a plain space, or changes how
// the text around it shows: format characters such as the direction
// overrides and the soft hyphen, variation selectors, spaces other than
// U+0020, line and paragraph separators. In a message it would hide what
// is wrong, or make two different texts look alike.
bool isInvisible(unsigned codePoint);

// A double-quoted form that is always valid UTF-8 on one line: backslash,
// quote and control characters are escaped, as are the invisible characters
// above and every byte that is not part of a valid UTF-8 character (\xHH).
std::string quoted(const std::string &bytes);

// The text as it is where it is UTF-8, with each byte that is not part of a
// valid UTF-8 character written as \xHH: for display where the exact bytes
// are kept beside it.
std::string withBadBytesEscaped(const std::string &bytes);

// The quoted form of at most the first 40 bytes, for a message: a bad
// script line may be megabytes long or hold escape sequences.
std::string excerpt(const std::string &bytes);

// Reads a quoted text starting at line[pos] (the opening quote) and moves pos
// past the closing quote. Returns false, with the reason, on a malformed one.
bool unquote(const std::string &line, std::size_t &pos, std::string &text, std::string &why);

#endif
