#include "readerlibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>
#include <link.h>

namespace {

template <typename Function>
void resolve(void *handle, const char *name, Function &function, QStringList &missing)
{
    function = reinterpret_cast<Function>(dlsym(handle, name));
    if (!function)
        missing << QString::fromLatin1(name);
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

    resolve(handle, "VRK_OpenDev", VRK_OpenDev, missing);
    resolve(handle, "VRK_ReadCarNo", VRK_ReadCarNo, missing);
    resolve(handle, "VRK_ReadCardBas", VRK_ReadCardBas, missing);
    resolve(handle, "VRK_ReadCardCertID", VRK_ReadCardCertID, missing);
    resolve(handle, "VRK_ReadCardCity", VRK_ReadCardCity, missing);
    resolve(handle, "VRK_IDCard_Read", VRK_IDCard_Read, missing);
    resolve(handle, "VRK_ICBankCard_ReadNO", VRK_ICBankCard_ReadNO, missing);
    resolve(handle, "VRK_MagicBankCard_ReadNo", VRK_MagicBankCard_ReadNo, missing);
    resolve(handle, "VRK_ECard_SetAutoRead", VRK_ECard_SetAutoRead, missing);
    resolve(handle, "VRK_ECard_Read", VRK_ECard_Read, missing);
    resolve(handle, "VRK_ECard_AutoReadTime", VRK_ECard_AutoReadTime, missing);
    resolve(handle, "VRK_MagCardRead", VRK_MagCardRead, missing);
    resolve(handle, "VRK_KeyBoard_InputKey", VRK_KeyBoard_InputKey, missing);
    return true;
}
