// Never run: a program linked to libVrkReaderClient.so as the window is (by
// its name, RUNPATH $ORIGIN) and to nothing else, installed beside it. The
// loader's list of its libraries (LD_TRACE_LOADED_OBJECTS) names the file
// the window loads, without mapping Qt first: cardreader-cli asks it so.
#include "vrkreaderclient.h"

int main()
{
    // A use of the library that no compiler can fold away, so that no
    // linker drops it as unneeded.
    int (*volatile open)(int, char *, char *) = VRK_OpenDev;
    return open == nullptr;
}
