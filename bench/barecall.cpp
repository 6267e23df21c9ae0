// The floor for "cardreader-cli card-number": a bare Qt Core program making
// the same open and read on the simulated reader and printing the number,
// with nothing checked, watched or reported.
#include "vrkreaderclient.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    char region[10] = "3500";
    char cardNumber[36];
    char error[1024];
    std::memset(error, 0, sizeof error);
    if (VRK_OpenDev(21, region, error) != 0)
        return 1;
    std::memset(cardNumber, 0, sizeof cardNumber);
    std::memset(error, 0, sizeof error);
    if (VRK_ReadCarNo(cardNumber, error) != 0)
        return 1;
    std::printf("%s\n", cardNumber);
    return 0;
}
