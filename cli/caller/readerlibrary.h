#ifndef CLI_READERLIBRARY_H
#define CLI_READERLIBRARY_H

#include "vrkreaderclient.h"

#include <QString>
#include <QStringList>

// The 13 functions, in the order of vrkreaderclient.h.
const int readerFunctionCount = 13;
extern const char *const readerFunctionNames[readerFunctionCount];

// The names of the functions whose bit in exported is set (or clear).
QStringList readerFunctions(unsigned exported, bool present);

// The reader library, loaded by the process that makes the calls, never by
// the program at start: a library that lacks a function, or whose loading
// fails or crashes, is then a finding and not a loader error. Each function
// it lacks stays null.
struct ReaderLibrary
{
    // path empty: found as the program finds it, in its own directory or
    // through the system's library search (LD_LIBRARY_PATH first).
    bool load(const QString &path, QString &why);

    QString path;  // the file actually loaded
    unsigned exported = 0;  // bit i: readerFunctionNames[i]

    decltype(&::VRK_OpenDev) VRK_OpenDev = nullptr;
    decltype(&::VRK_ReadCarNo) VRK_ReadCarNo = nullptr;
    decltype(&::VRK_ReadCardBas) VRK_ReadCardBas = nullptr;
    decltype(&::VRK_ReadCardCertID) VRK_ReadCardCertID = nullptr;
    decltype(&::VRK_ReadCardCity) VRK_ReadCardCity = nullptr;
    decltype(&::VRK_IDCard_Read) VRK_IDCard_Read = nullptr;
    decltype(&::VRK_ICBankCard_ReadNO) VRK_ICBankCard_ReadNO = nullptr;
    decltype(&::VRK_MagicBankCard_ReadNo) VRK_MagicBankCard_ReadNo = nullptr;
    decltype(&::VRK_ECard_SetAutoRead) VRK_ECard_SetAutoRead = nullptr;
    decltype(&::VRK_ECard_Read) VRK_ECard_Read = nullptr;
    decltype(&::VRK_ECard_AutoReadTime) VRK_ECard_AutoReadTime = nullptr;
    decltype(&::VRK_MagCardRead) VRK_MagCardRead = nullptr;
    decltype(&::VRK_KeyBoard_InputKey) VRK_KeyBoard_InputKey = nullptr;
};

#endif
