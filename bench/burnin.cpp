// The floor for a burn-in: a plain C loop making the same calls as
// "cardreader-cli --repeat N card-number" on the simulated reader, with
// nothing checked, kept or reported.
#include "vrkreaderclient.h"

#include <cstdlib>
#include <cstring>

int main(int argc, char *argv[])
{
    const long calls = argc > 1 ? std::atol(argv[1]) : 1000000;
    char region[10] = "3500";
    char cardNumber[36];
    char error[1024];
    std::memset(error, 0, sizeof error);
    if (VRK_OpenDev(21, region, error) != 0)
        return 1;
    for (long i = 0; i < calls; ++i) {
        std::memset(cardNumber, 0, sizeof cardNumber);
        std::memset(error, 0, sizeof error);
        if (VRK_ReadCarNo(cardNumber, error) != 0)
            return 1;
    }
    return 0;
}
