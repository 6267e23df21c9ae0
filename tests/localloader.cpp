// Loads the reader library named first on the command line with
// RTLD_LOCAL, as scripting languages and plugin hosts do, opens the device
// and reads the card number, printing the answer as the driver does.

#include <dlfcn.h>

#include <cstdio>

int main(int argc, char *argv[])
{
    void *library = argc > 1 ? dlopen(argv[1], RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!library) {
        std::fprintf(stderr, "cannot load the library: %s\n", dlerror());
        return 2;
    }
    using OpenDev = int (*)(int, char *, char *);
    using ReadCarNo = int (*)(char *, char *);
    const auto openDev = reinterpret_cast<OpenDev>(dlsym(library, "VRK_OpenDev"));
    const auto readCarNo = reinterpret_cast<ReadCarNo>(dlsym(library, "VRK_ReadCarNo"));
    if (!openDev || !readCarNo)
        return 2;

    char region[10] = "3500";
    char cardNumber[36] = {};
    char error[1024] = {};
    openDev(21, region, error);
    const int result = readCarNo(cardNumber, error);
    std::printf("VRK_ReadCarNo %d \"%s\" error=\"%s\"\n", result, cardNumber, error);
    return 0;
}
