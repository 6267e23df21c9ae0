// The recording double marked as the simulated reader marks itself, so that
// the window, which asks the object that answers its calls, takes it for one.
#include "simulatedmark.h"

namespace {

__attribute__((section(".note.cardreader"), used, aligned(4)))
const SimulatedMark mark = {sizeof simulatedMarkName, 32, simulatedMarkType, "cardreader",
                            "recording double"};

} // namespace
