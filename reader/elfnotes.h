#ifndef READER_ELFNOTES_H
#define READER_ELFNOTES_H

#include <cstdint>
#include <cstring>

// One note of an ELF note section or segment.
struct ElfNote
{
    const char *name;
    std::uint32_t nameSize;  // with its NUL
    std::uint32_t type;
    const char *text;
    std::uint32_t textSize;

    bool named(const char *wanted) const
    {
        return nameSize == std::strlen(wanted) + 1 && std::memcmp(name, wanted, nameSize) == 0;
    }
};

// Calls visit(note) for each note of size bytes laid out as linkers lay them
// out: a 12-byte header (name size, text size, type), the name, the text,
// each padded from the note's start to the alignment, 4 or 8. Stops at the
// first note that does not fit, or when visit returns false.
template <typename Visit>
void forEachNote(const char *notes, std::uint64_t size, std::uint64_t alignment, Visit visit)
{
    const auto aligned = [alignment](std::uint64_t bytes) {
        return (bytes + alignment - 1) & ~(alignment - 1);
    };
    for (std::uint64_t at = 0; at + 12 <= size;) {
        std::uint32_t words[3];
        std::memcpy(words, notes + at, sizeof words);
        const std::uint64_t nameAt = at + 12;
        if (words[0] > size - nameAt)
            return;
        const std::uint64_t textAt = aligned(nameAt + words[0]);
        if (textAt > size || words[1] > size - textAt)
            return;
        if (!visit(ElfNote{notes + nameAt, words[0], words[2], notes + textAt, words[1]}))
            return;
        at = aligned(textAt + words[1]);
    }
}

#endif
