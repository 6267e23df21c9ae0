// Marks the file as the simulated reader, for a checker that must tell it
// from a maker's library by looking at the file alone, and for the window
// that loaded it: the note's text is what this library is.

#include "simulatedmark.h"

namespace {

__attribute__((section(".note.cardreader"), used, aligned(4)))
const SimulatedMark identity = {sizeof simulatedMarkName, 32, simulatedMarkType, "cardreader",
                                "simulated reader " CARDREADER_VERSION};

} // namespace
