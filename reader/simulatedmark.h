#ifndef READER_SIMULATEDMARK_H
#define READER_SIMULATEDMARK_H

#include "elfnotes.h"

#include <cstdint>

// The simulated reader marks its file as what it is with an ELF note named
// "cardreader", of type 1, so that neither a checker reading the file nor a
// program that loaded it takes it for a maker's library.
struct SimulatedMark
{
    std::uint32_t nameSize;
    std::uint32_t textSize;
    std::uint32_t type;
    char name[12];
    char text[32];
};

const char simulatedMarkName[] = "cardreader";
const std::uint32_t simulatedMarkType = 1;

inline bool isSimulatedMark(const ElfNote &note)
{
    return note.named(simulatedMarkName) && note.type == simulatedMarkType;
}

// Whether the loaded object that holds address carries the mark, as the
// loader mapped it: the program asks about the library it runs, not a file.
bool carriesSimulatedMark(const void *address);

#endif
