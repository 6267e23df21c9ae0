// Marks the file as the simulated reader, for a checker that must tell it
// from a maker's library by looking at the file alone: an ELF note named
// "cardreader", of type 1, whose text is what this library is.

#include <cstdint>

namespace {

struct Note
{
    std::uint32_t nameSize;
    std::uint32_t textSize;
    std::uint32_t type;
    char name[12];
    char text[32];
};

__attribute__((section(".note.cardreader"), used, aligned(4)))
const Note identity = {11, 32, 1, "cardreader", "simulated reader " CARDREADER_VERSION};

} // namespace
