// Planted as libVrkReaderClient.so in the working directory by the
// end-to-end test: the tool must never load it, and if it does, it dies.
#include <cstdio>
#include <cstdlib>

__attribute__((constructor)) static void planted()
{
    std::fputs("planted libVrkReaderClient.so loaded from the working directory\n", stderr);
    std::abort();
}
