// A reader library that breaks its contract, for the command-line program's
// contract check: the card number read writes one byte past its 36-byte
// buffer, the chip read leaves no NUL, and the region read writes bytes that
// are not UTF-8. BADREADER_FAULT makes the card number read (the scan, for
// wide-output) misbehave in one of the ways a maker's library has been
// seen to, or take 300 ms (slow). Built without VRK_MagCardRead, it is a library that lacks one
// function. Every other function answers success and writes nothing.

#define VRK_API __attribute__((visibility("default")))
#include "vrkreaderclient.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool fault(const char *name)
{
    const char *chosen = std::getenv("BADREADER_FAULT");
    return chosen && std::strcmp(chosen, name) == 0;
}

} // namespace

int VRK_OpenDev(int, char *, char *) { return 0; }

int VRK_ReadCarNo(char *cardNumber, char *)
{
    if (fault("crash"))
        std::raise(SIGSEGV);
    if (fault("abort"))
        std::abort();
    if (fault("exit"))
        std::exit(0);
    if (fault("hang"))
        for (;;)
            pause();
    if (fault("slow")) {
        usleep(300 * 1000);
        std::strcpy(cardNumber, "1");
        return 0;
    }
    if (fault("chatter")) {
        std::printf("VRK: reading card\n");
        std::fprintf(stderr, "VRK: \x1b[31mwarning\n");
        return 0;
    }
    if (fault("far-overrun")) {
        std::memset(cardNumber, '1', 36 + 200);
        cardNumber[36 + 200] = '\0';
        return 0;
    }
    if (fault("guard-byte-overrun")) {
        std::strcpy(cardNumber, "1");
        std::memset(cardNumber + 36, 0xa5, 16);
        return 0;
    }
    std::memset(cardNumber, '1', 36);
    cardNumber[36] = '\0';
    return 0;
}

int VRK_ReadCardBas(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                    char *, char *, char *, char *, char *)
{
    return 0;
}

// Calls another function of its own, as a maker's library may: it must reach
// this library's, never the simulated reader's that loaded it.
int VRK_ReadCardCertID(char *, char *, char *error) { return VRK_ECard_SetAutoRead(1, error); }

int VRK_ReadCardCity(char *regionCode, char *)
{
    std::strcpy(regionCode, "35\xff\xfe");
    return 0;
}

int VRK_IDCard_Read(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                    char *)
{
    return 0;
}

int VRK_ICBankCard_ReadNO(char *cardNumber, char *)
{
    std::memset(cardNumber, '6', 36);
    return 0;
}

int VRK_MagicBankCard_ReadNo(int, char *, char *) { return 0; }
int VRK_ECard_SetAutoRead(int, char *) { return 0; }
int VRK_ECard_Read(int *output, char *, int, char *)
{
    // The output stored as a 64-bit value, as a port to AArch64 may.
    if (fault("wide-output")) {
        const long long wide = 7;
        std::memcpy(output, &wide, sizeof wide);
    }
    return 0;
}
int VRK_ECard_AutoReadTime(int, char *) { return 0; }
#ifndef WITHOUT_MAGCARDREAD
int VRK_MagCardRead(int, char *, char *, char *, char *, char *) { return 0; }
#endif
int VRK_KeyBoard_InputKey(int, int, char *, int *, char *) { return 0; }
