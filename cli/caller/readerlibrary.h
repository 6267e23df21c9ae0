#ifndef CLI_READERLIBRARY_H
#define CLI_READERLIBRARY_H

#include "run/libraryidentity.h"

#include "vrkreaderclient.h"

#include <QString>
#include <QStringList>

// The reader library, loaded by the process that makes the calls, never by
// the program at start: a library that lacks a function, or whose loading
// fails or crashes, is then a finding and not a loader error. Each function
// it lacks stays null, and so does one that the loader finds in another file
// (one the library needs): the window would call that file's, not the
// library's.
struct ReaderLibrary
{
    // Loads the file at path, which the watching process found and holds
    // open as fd: refused if path no longer names that same file, so that
    // the identity the watcher reports is that of the bytes loaded.
    bool load(const QByteArray &path, int fd, QString &why);

    // The functions it lacks, each with where the loader finds it instead,
    // if anywhere: "VRK_ReadCarNo (the loader finds it in /lib/libdep.so)".
    QStringList lacking() const;

    unsigned exported = 0;  // bit i: readerFunctionNames[i], which the library itself defines
    // Where the loader finds a function the library lacks, said for people
    // with the file named in the loader's bytes ("the loader finds it in
    // /lib/libdep.so"), escaped where it is shown; empty where it finds none.
    QByteArray elsewhere[readerFunctionCount];

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
