// The smallest reader library, for where the loader finds a library and
// which file a function comes from: the 13 functions, each failing at once
// but the card number read, which answers one. Built CARD_NUMBER_ONLY it is
// that read alone; built WITHOUT_CARD_NUMBER, the other twelve, in a library
// that needs the first; built CARD_NUMBER_AS_DATA, the twelve and the card
// number read's name on data, as a crafted library may have it; built
// CHATTER_AT_LOAD, all 13 and a line on standard output as it is loaded.

#define VRK_API __attribute__((visibility("default")))
#include "vrkreaderclient.h"

#include <cstdio>
#include <cstring>

namespace {

#ifdef CHATTER_AT_LOAD
// Flushed: the calling process ends without flushing what the library
// left in its buffers.
__attribute__((constructor)) void greet()
{
    std::printf("tiny reader loaded\n");
    std::fflush(stdout);
}
#endif

int fail(char *error)
{
    std::strcpy(error, "tiny reader");
    return -1;
}

} // namespace

#ifndef CARD_NUMBER_ONLY
int VRK_OpenDev(int, char *, char *error) { return fail(error); }
int VRK_ReadCardBas(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                    char *, char *, char *, char *, char *error)
{
    return fail(error);
}
int VRK_ReadCardCertID(char *, char *, char *error) { return fail(error); }
int VRK_ReadCardCity(char *, char *error) { return fail(error); }
int VRK_IDCard_Read(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                    char *error)
{
    return fail(error);
}
int VRK_ICBankCard_ReadNO(char *, char *error) { return fail(error); }
int VRK_MagicBankCard_ReadNo(int, char *, char *error) { return fail(error); }
int VRK_ECard_SetAutoRead(int, char *error) { return fail(error); }
int VRK_ECard_Read(int *, char *, int, char *error) { return fail(error); }
int VRK_ECard_AutoReadTime(int, char *error) { return fail(error); }
int VRK_MagCardRead(int, char *, char *, char *, char *, char *error) { return fail(error); }
int VRK_KeyBoard_InputKey(int, int, char *, int *, char *error) { return fail(error); }
#endif

#if defined(CARD_NUMBER_AS_DATA)
__asm__(".pushsection .data\n"
        ".globl VRK_ReadCarNo\n"
        ".type VRK_ReadCarNo, STT_OBJECT\n"
        ".size VRK_ReadCarNo, 4\n"
        "VRK_ReadCarNo: .long 0\n"
        ".popsection\n");
#elif !defined(WITHOUT_CARD_NUMBER)
int VRK_ReadCarNo(char *cardNumber, char *)
{
    std::strcpy(cardNumber, "T00000001");
    return 0;
}
#endif
