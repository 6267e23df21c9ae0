#ifndef VRKREADERCLIENT_H
#define VRKREADERCLIENT_H

// The reader maker's library, libVrkReaderClient.so. Every function returns
// 0 on success and anything else on failure. Buffers belong to the caller and
// are zero-filled before the call; the library writes NUL-terminated UTF-8
// into them and must stay within the sizes noted here, as no size is passed
// unless an argument says so. The error buffer is always the last argument
// and holds 1024 bytes.

// The stand-in library defines VRK_API to export exactly these functions.
#ifndef VRK_API
#define VRK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// deviceType: 21 or 19 (-1 when none is chosen); regionCode: 10 bytes.
VRK_API int VRK_OpenDev(int deviceType, char *regionCode, char *error);

// Social security card; every value buffer is 36 bytes.
VRK_API int VRK_ReadCarNo(char *cardNumber, char *error);
VRK_API int VRK_ReadCardBas(char *cardIdCode, char *cardType, char *cardVersion,
                            char *issuerCode, char *issueDate, char *validity,
                            char *cardNumber, char *idNumber, char *name, char *sex,
                            char *ethnicGroup, char *birthPlace, char *birthDate,
                            char *error);
VRK_API int VRK_ReadCardCertID(char *cardNumber, char *cardIdCode, char *error);
VRK_API int VRK_ReadCardCity(char *regionCode, char *error);

// Identity card; 36 bytes each but birthPlace and authority, 256.
VRK_API int VRK_IDCard_Read(char *name, char *sex, char *ethnicGroup, char *birthDate,
                            char *birthPlace, char *idNumber, char *authority,
                            char *validity, char *validUntil, char *error);

// Bank card number: 36 bytes from the chip, 1024 from the stripe.
VRK_API int VRK_ICBankCard_ReadNO(char *cardNumber, char *error);
VRK_API int VRK_MagicBankCard_ReadNo(int timeout, char *cardNumber, char *error);

// Code scanner: mode 1 automatic, 0 manual; times in milliseconds; scan 1024 bytes.
VRK_API int VRK_ECard_SetAutoRead(int mode, char *error);
VRK_API int VRK_ECard_Read(int *output, char *scan, int waitMs, char *error);
VRK_API int VRK_ECard_AutoReadTime(int intervalMs, char *error);

// Stripe tracks and PIN pad: time-outs in seconds; every buffer 1024 bytes.
VRK_API int VRK_MagCardRead(int timeout, char *track1, char *track2, char *track3,
                            char *track4, char *error);
VRK_API int VRK_KeyBoard_InputKey(int timeout, int keySize, char *key, int *output,
                                  char *error);

#ifdef __cplusplus
}
#endif

#endif
