#include "readertext.h"

#include <cstdio>
#include <cstring>

namespace {

// Length of the valid UTF-8 character that starts at text[i], or 0.
std::size_t characterLength(const char *text, std::size_t size, std::size_t i)
{
    const auto byte = [text](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned minimum = 0;
    unsigned code = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        minimum = 0x80;
        code = lead & 0x1f;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        minimum = 0x800;
        code = lead & 0x0f;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        minimum = 0x10000;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (byte(i + k) & 0x3f);
    }
    if (code < minimum || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

// U+0080 to U+009F, control characters that some terminals obey.
bool isC1Control(const std::string &text, std::size_t i)
{
    return static_cast<unsigned char>(text[i]) == 0xc2 && i + 1 < text.size()
        && static_cast<unsigned char>(text[i + 1]) < 0xa0;
}

unsigned codePoint(const std::string &text, std::size_t i, std::size_t length)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    static const unsigned leadBits[5] = {0, 0x7f, 0x1f, 0x0f, 0x07};
    unsigned code = at(0) & leadBits[length];
    for (std::size_t k = 1; k < length; ++k)
        code = code << 6 | (at(k) & 0x3fu);
    return code;
}

void appendHex(std::string &out, unsigned char byte)
{
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02x", byte);
    out += escape;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool isInvisible(unsigned code)
{
    // Unicode's format characters (Cf) and the rest of its default
    // ignorables, the spaces other than U+0020 and the line and paragraph
    // separators, blank braille and the noncharacters.
    static const unsigned ranges[][2] = {
        {0x00a0, 0x00a0}, {0x00ad, 0x00ad}, {0x034f, 0x034f}, {0x0600, 0x0605},
        {0x061c, 0x061c}, {0x06dd, 0x06dd}, {0x070f, 0x070f}, {0x0890, 0x0891},
        {0x08e2, 0x08e2}, {0x115f, 0x1160}, {0x1680, 0x1680}, {0x17b4, 0x17b5},
        {0x180b, 0x180f}, {0x2000, 0x200f}, {0x2028, 0x202f}, {0x205f, 0x206f},
        {0x2800, 0x2800}, {0x3000, 0x3000}, {0x3164, 0x3164}, {0xfdd0, 0xfdef},
        {0xfe00, 0xfe0f}, {0xfeff, 0xfeff}, {0xffa0, 0xffa0}, {0xfff0, 0xfffb},
        {0x110bd, 0x110bd}, {0x110cd, 0x110cd}, {0x13430, 0x1343f}, {0x1bca0, 0x1bca3},
        {0x1d173, 0x1d17a}, {0xe0000, 0xe0fff},
    };
    if ((code & 0xfffe) == 0xfffe)
        return true;
    for (const auto &range : ranges) {
        if (code < range[0])
            return false;
        if (code <= range[1])
            return true;
    }
    return false;
}

void putText(char *buffer, std::size_t size, const std::string &text)
{
    if (!buffer || size == 0)
        return;
    std::size_t length = text.size();
    if (length > size - 1) {
        length = size - 1;
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xc0) == 0x80)
            --length;
    }
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

std::string bufferText(const char *buffer, std::size_t size)
{
    return buffer ? std::string(buffer, strnlen(buffer, size)) : std::string();
}

bool isUtf8(const std::string &text)
{
    return isUtf8(text.data(), text.size());
}

bool isUtf8(const char *bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size;) {
        const std::size_t length = characterLength(bytes, size, i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

std::string quoted(const std::string &bytes)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        const std::size_t length = characterLength(bytes.data(), bytes.size(), i);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (length == 0 || c < 0x20 || c == 0x7f || isC1Control(bytes, i)) {
            appendHex(out, c);
            i += 1;
            continue;
        } else if (isInvisible(codePoint(bytes, i, length))) {
            for (std::size_t k = 0; k < length; ++k)
                appendHex(out, static_cast<unsigned char>(bytes[i + k]));
            i += length;
            continue;
        } else {
            out.append(bytes, i, length);
            i += length;
            continue;
        }
        i += 1;
    }
    return out + "\"";
}

std::string withBadBytesEscaped(const std::string &bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes.size();) {
        const std::size_t length = characterLength(bytes.data(), bytes.size(), i);
        if (length == 0) {
            appendHex(out, static_cast<unsigned char>(bytes[i]));
            i += 1;
        } else {
            out.append(bytes, i, length);
            i += length;
        }
    }
    return out;
}

bool unquote(const std::string &line, std::size_t &pos, std::string &text, std::string &why)
{
    text.clear();
    if (pos >= line.size() || line[pos] != '"') {
        why = "expected a quoted text";
        return false;
    }
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= line.size())
            break;
        switch (line[i]) {
        case '\\': text += '\\'; break;
        case '"': text += '"'; break;
        case 'n': text += '\n'; break;
        case 't': text += '\t'; break;
        case 'x': {
            const int high = i + 1 < line.size() ? hexDigit(line[i + 1]) : -1;
            const int low = i + 2 < line.size() ? hexDigit(line[i + 2]) : -1;
            if (high < 0 || low < 0) {
                why = "\\x needs two hex digits";
                return false;
            }
            text += char(high * 16 + low);
            i += 2;
            break;
        }
        default:
            why = "unknown escape: a backslash before " + excerpt(line.substr(i, 1));
            return false;
        }
    }
    why = "unterminated quoted text";
    return false;
}

std::string excerpt(const std::string &bytes)
{
    const std::size_t limit = 40;
    if (bytes.size() <= limit)
        return quoted(bytes);
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(bytes[cut]) & 0xc0) == 0x80)
        --cut;
    return quoted(bytes.substr(0, cut)) + "...";
}
