#include "readerlibrary.h"

#include "libraryfile/libraryfile.h"
#include "run/librarytext.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>

namespace {

// Takes each function from the library itself. dlsym() also searches the
// libraries it needs, so the loader is asked which file holds the address
// it gives; and the file's symbol table, read before any of the library's
// code ran in this process, must make it a function.
class OwnFunctions
{
public:
    OwnFunctions(void *handle, const LibraryIdentity &file, ReaderLibrary &reader)
        : m_handle(handle), m_file(file), m_reader(reader)
    {
        if (dlinfo(handle, RTLD_DI_LINKMAP, &m_library) != 0)
            m_library = nullptr;
    }

    template <typename Function>
    void operator()(int index, Function &function)
    {
        function = reinterpret_cast<Function>(find(index));
    }

private:
    void *find(int index)
    {
        void *address = dlsym(m_handle, readerFunctionNames[index]);
        if (!address)
            return nullptr;
        Dl_info info;
        link_map *map = nullptr;
        if (!dladdr1(address, &info, reinterpret_cast<void **>(&map), RTLD_DL_LINKMAP) || !map) {
            m_reader.elsewhere[index] = "the loader finds it at an address of no file";
            return nullptr;
        }
        if (map != m_library) {
            m_reader.elsewhere[index] = "the loader finds it in " + QByteArray(map->l_name);
            return nullptr;
        }
        if (m_file.exportsKnown && !(m_file.exported & (1u << index))) {
            m_reader.elsewhere[index] =
                "the loader finds it in the library, whose symbol table has it as no function";
            return nullptr;
        }
        m_reader.exported |= 1u << index;
        return address;
    }

    void *m_handle;
    const LibraryIdentity &m_file;
    ReaderLibrary &m_reader;
    link_map *m_library = nullptr;
};

} // namespace

bool ReaderLibrary::load(const QByteArray &path, int fd, QString &why)
{
    struct stat held, named;
    if (fstat(fd, &held) != 0 || stat(path.constData(), &named) != 0
        || held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
        why = QStringLiteral("the file was replaced while it was being loaded");
        return false;
    }
    LibraryIdentity file;
    file.fd = fd;
    readLibraryElf(file);
    void *handle = dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        why = QString::fromLocal8Bit(dlerror());
        return false;
    }
    OwnFunctions resolve(handle, file, *this);
    resolve(0, VRK_OpenDev);
    resolve(1, VRK_ReadCarNo);
    resolve(2, VRK_ReadCardBas);
    resolve(3, VRK_ReadCardCertID);
    resolve(4, VRK_ReadCardCity);
    resolve(5, VRK_IDCard_Read);
    resolve(6, VRK_ICBankCard_ReadNO);
    resolve(7, VRK_MagicBankCard_ReadNo);
    resolve(8, VRK_ECard_SetAutoRead);
    resolve(9, VRK_ECard_Read);
    resolve(10, VRK_ECard_AutoReadTime);
    resolve(11, VRK_MagCardRead);
    resolve(12, VRK_KeyBoard_InputKey);
    return true;
}

QStringList ReaderLibrary::lacking() const
{
    QString where[readerFunctionCount];
    for (int i = 0; i < readerFunctionCount; ++i)
        where[i] = printable(elsewhere[i]);
    return lackedFunctions(~exported, where);
}
