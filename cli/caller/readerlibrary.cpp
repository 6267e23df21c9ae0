#include "readerlibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

namespace {

template <typename Function>
void resolve(void *handle, int index, Function &function, ReaderLibrary &library)
{
    function = reinterpret_cast<Function>(dlsym(handle, readerFunctionNames[index]));
    if (function)
        library.exported |= 1u << index;
}

} // namespace

bool ReaderLibrary::load(const QByteArray &path, int fd, QString &why)
{
    struct stat held, named;
    if (fstat(fd, &held) != 0 || stat(path.constData(), &named) != 0
        || held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        why = QStringLiteral("the file was replaced while it was being loaded");
        return false;
    }
    void *handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why = QString::fromLocal8Bit(dlerror());
        return false;
    }
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
