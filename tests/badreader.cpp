// A reader library that breaks its contract, for the command-line program's
// contract check: the card number read writes one byte past its 36-byte
// buffer, the chip read leaves no NUL, and the region read writes bytes that
// are not UTF-8. Every other function answers success and writes nothing.

#define VRK_API __attribute__((visibility("default")))
#include "vrkreaderclient.h"

#include <cstring>

int VRK_OpenDev(int, char *, char *) { return 0; }

int VRK_ReadCarNo(char *cardNumber, char *)
{
    std::memset(cardNumber, '1', 36);
    cardNumber[36] = '\0';
    return 0;
}

int VRK_ReadCardBas(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                    char *, char *, char *, char *, char *)
{
    return 0;
}

int VRK_ReadCardCertID(char *, char *, char *) { return 0; }

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
int VRK_ECard_Read(int *, char *, int, char *) { return 0; }
int VRK_ECard_AutoReadTime(int, char *) { return 0; }
int VRK_MagCardRead(int, char *, char *, char *, char *, char *) { return 0; }
int VRK_KeyBoard_InputKey(int, int, char *, int *, char *) { return 0; }
