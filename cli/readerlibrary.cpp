#include "readerlibrary.h"

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

} // namespace

bool ReaderLibrary::load(const QString &file, QString &why)
{
    // Called from the program itself, dlopen searches as the loader would
    // have for a linked library: LD_LIBRARY_PATH, the program's RUNPATH
    // ($ORIGIN), then the system's directories.
    const QByteArray name = file.isEmpty() ? QByteArray("libVrkReaderClient.so")
        : file.contains('/')               ? file.toLocal8Bit()
                                           : "./" + file.toLocal8Bit();
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
