// The simulated reader's exported functions. Each names its inputs and
// buffers for the call log, the script and the recording, then answers as the
// maker's library, the script or the demo reader.

#define VRK_API __attribute__((visibility("default")))
#include "vrkreaderclient.h"

#include "answeredcall.h"
#include "buffersizes.h"
#include "demoreader.h"

int VRK_OpenDev(int deviceType, char *regionCode, char *error)
{
    return AnsweredCall("VRK_OpenDev")
        .number("deviceType", deviceType)
        .text("regionCode", regionCode, regionCodeSize)
        .error(error)
        .afterScriptedSuccess([=] { Demo::openAsScripted(deviceType, regionCode); })
        .answer(Demo::openDev, deviceType, regionCode, error);
}

int VRK_ReadCarNo(char *cardNumber, char *error)
{
    return AnsweredCall("VRK_ReadCarNo")
        .value(cardNumber, valueSize)
        .error(error)
        .answer(Demo::readCarNo, cardNumber, error);
}

int VRK_ReadCardBas(char *cardIdCode, char *cardType, char *cardVersion, char *issuerCode,
                    char *issueDate, char *validity, char *cardNumber, char *idNumber,
                    char *name, char *sex, char *ethnicGroup, char *birthPlace,
                    char *birthDate, char *error)
{
    return AnsweredCall("VRK_ReadCardBas")
        .value(cardIdCode, valueSize).value(cardType, valueSize)
        .value(cardVersion, valueSize).value(issuerCode, valueSize)
        .value(issueDate, valueSize).value(validity, valueSize)
        .value(cardNumber, valueSize).value(idNumber, valueSize)
        .value(name, valueSize).value(sex, valueSize).value(ethnicGroup, valueSize)
        .value(birthPlace, valueSize).value(birthDate, valueSize)
        .error(error)
        .answer(Demo::readCardBas, cardIdCode, cardType, cardVersion, issuerCode, issueDate,
                validity, cardNumber, idNumber, name, sex, ethnicGroup, birthPlace,
                birthDate, error);
}

int VRK_ReadCardCertID(char *cardNumber, char *cardIdCode, char *error)
{
    return AnsweredCall("VRK_ReadCardCertID")
        .value(cardNumber, valueSize)
        .value(cardIdCode, valueSize)
        .error(error)
        .answer(Demo::readCardCertId, cardNumber, cardIdCode, error);
}

int VRK_ReadCardCity(char *regionCode, char *error)
{
    return AnsweredCall("VRK_ReadCardCity")
        .value(regionCode, valueSize)
        .error(error)
        .answer(Demo::readCardCity, regionCode, error);
}

int VRK_IDCard_Read(char *name, char *sex, char *ethnicGroup, char *birthDate,
                    char *birthPlace, char *idNumber, char *authority, char *validity,
                    char *validUntil, char *error)
{
    return AnsweredCall("VRK_IDCard_Read")
        .value(name, valueSize).value(sex, valueSize).value(ethnicGroup, valueSize)
        .value(birthDate, valueSize).value(birthPlace, longValueSize)
        .value(idNumber, valueSize).value(authority, longValueSize)
        .value(validity, valueSize).value(validUntil, valueSize)
        .error(error)
        .answer(Demo::readIdCard, name, sex, ethnicGroup, birthDate, birthPlace, idNumber,
                authority, validity, validUntil, error);
}

int VRK_ICBankCard_ReadNO(char *cardNumber, char *error)
{
    return AnsweredCall("VRK_ICBankCard_ReadNO")
        .value(cardNumber, valueSize)
        .error(error)
        .answer(Demo::readChipBankCard, cardNumber, error);
}

int VRK_MagicBankCard_ReadNo(int timeout, char *cardNumber, char *error)
{
    return AnsweredCall("VRK_MagicBankCard_ReadNo")
        .number("timeout", timeout)
        .value(cardNumber, textSize)
        .error(error)
        .answer(Demo::readStripeBankCard, timeout, cardNumber, error);
}

int VRK_ECard_SetAutoRead(int mode, char *error)
{
    return AnsweredCall("VRK_ECard_SetAutoRead")
        .number("mode", mode)
        .error(error)
        .answer(Demo::setScanMode, mode, error);
}

int VRK_ECard_Read(int *output, char *scan, int waitMs, char *error)
{
    return AnsweredCall("VRK_ECard_Read")
        .number("wait", waitMs)
        .output(output)
        .value(scan, textSize)
        .error(error)
        .answer(Demo::scan, output, scan, waitMs, error);
}

int VRK_ECard_AutoReadTime(int intervalMs, char *error)
{
    return AnsweredCall("VRK_ECard_AutoReadTime")
        .number("interval", intervalMs)
        .error(error)
        .answer(Demo::setScanInterval, intervalMs, error);
}

int VRK_MagCardRead(int timeout, char *track1, char *track2, char *track3, char *track4,
                    char *error)
{
    return AnsweredCall("VRK_MagCardRead")
        .number("timeout", timeout)
        .value(track1, textSize).value(track2, textSize)
        .value(track3, textSize).value(track4, textSize)
        .error(error)
        .answer(Demo::readTracks, timeout, track1, track2, track3, track4, error);
}

int VRK_KeyBoard_InputKey(int timeout, int keySize, char *key, int *output, char *error)
{
    return AnsweredCall("VRK_KeyBoard_InputKey")
        .number("timeout", timeout)
        .number("keySize", keySize)
        .secret(key, keySize > 0 ? std::size_t(keySize) : 0)
        .output(output)
        .error(error)
        .answer(Demo::inputKey, timeout, keySize, key, output, error);
}
