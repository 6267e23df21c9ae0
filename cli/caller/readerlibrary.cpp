#include "readerlibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <link.h>

const char *const readerFunctionNames[readerFunctionCount] = {
    "VRK_OpenDev", "VRK_ReadCarNo", "VRK_ReadCardBas", "VRK_ReadCardCertID",
    "VRK_ReadCardCity", "VRK_IDCard_Read", "VRK_ICBankCard_ReadNO", "VRK_MagicBankCard_ReadNo",
    "VRK_ECard_SetAutoRead", "VRK_ECard_Read", "VRK_ECard_AutoReadTime", "VRK_MagCardRead",
    "VRK_KeyBoard_InputKey",
};

QStringList readerFunctions(unsigned exported, bool present)
{
    QStringList names;
    for (int i = 0; i < readerFunctionCount; ++i) {
        if (bool(exported & (1u << i)) == present)
            names << QString::fromLatin1(readerFunctionNames[i]);
    }
    return names;
}

namespace {

template <typename Function>
void resolve(void *handle, int index, Function &function, ReaderLibrary &library)
{
    function = reinterpret_cast<Function>(dlsym(handle, readerFunctionNames[index]));
    if (function)
        library.exported |= 1u << index;
}

// Where the program would have found the library had it linked it: the
// directories of LD_LIBRARY_PATH, then its own directory (its RUNPATH), then
// the system's search. Spelt out, as dlopen searches the RUNPATH of its
// caller, and under a sanitizer's interceptor that is not this program.
QByteArray findLibrary()
{
    const QString name = QStringLiteral("libVrkReaderClient.so");
    QStringList directories = QString::fromLocal8Bit(qgetenv("LD_LIBRARY_PATH")).split(':');
    directories << QCoreApplication::applicationDirPath();
    for (const QString &directory : directories) {
        const QFileInfo file(QDir(directory), name);
        if (!directory.isEmpty() && file.isFile())
            return QFile::encodeName(file.absoluteFilePath());
    }
    return name.toLatin1();
}

} // namespace

bool ReaderLibrary::load(const QString &file, QString &why)
{
    const QByteArray name = file.isEmpty()
        ? findLibrary()
        : QFile::encodeName(QFileInfo(file).absoluteFilePath());
    void *handle = dlopen(name.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why = QString::fromLocal8Bit(dlerror());
        return false;
    }
    link_map *map = nullptr;
    const QString loaded = dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name
        ? QString::fromLocal8Bit(map->l_name)
        : QString::fromLocal8Bit(name);
    path = QFileInfo(loaded).absoluteFilePath();

    resolve(handle, 0, VRK_OpenDev, *this);
    resolve(handle, 1, VRK_ReadCarNo, *this);
    resolve(handle, 2, VRK_ReadCardBas, *this);
    resolve(handle, 3, VRK_ReadCardCertID, *this);
    resolve(handle, 4, VRK_ReadCardCity, *this);
    resolve(handle, 5, VRK_IDCard_Read, *this);
    resolve(handle, 6, VRK_ICBankCard_ReadNO, *this);
    resolve(handle, 7, VRK_MagicBankCard_ReadNo, *this);
    resolve(handle, 8, VRK_ECard_SetAutoRead, *this);
    resolve(handle, 9, VRK_ECard_Read, *this);
    resolve(handle, 10, VRK_ECard_AutoReadTime, *this);
    resolve(handle, 11, VRK_MagCardRead, *this);
    resolve(handle, 12, VRK_KeyBoard_InputKey, *this);
    return true;
}
