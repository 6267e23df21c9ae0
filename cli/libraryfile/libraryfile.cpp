// A maker's library of over 2 GiB is still measured right on a 32-bit terminal.
#define _FILE_OFFSET_BITS 64

#include "libraryfile.h"

#include "sha256.h"

#include <QFile>
#include <QList>

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

namespace {

const char libraryName[] = "libVrkReaderClient.so";

// Bounds on the work a crafted file can ask for. The largest library at hand,
// LLVM's 105 MiB, has 32 sections, 64 bytes of notes, 1 MiB of .dynsym and
// 3 MiB of its strings.
const quint64 maxSections = 4096;
const quint64 maxNoteBytes = 1 << 20;      // all note sections together
const quint64 maxDynamicBytes = 1 << 20;
const quint64 maxSymbolBytes = 8 << 20;    // .dynsym, and its strings on their own
const quint64 maxBuildIdBytes = 64;        // linkers write 8 to 20
const qint64 maxCacheBytes = 8 << 20;      // /etc/ld.so.cache, some 100 KiB
const std::size_t blockSize = 64 * 1024;   // hashed as fast as 1 MiB blocks, in 1/16 the memory
const quint64 stopPollBytes = 1 << 20;

// Fills what the file has of [offset, offset + size): pread may stop short.
std::size_t readAt(int fd, void *buffer, std::size_t size, quint64 offset)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got = ::pread(fd, static_cast<char *>(buffer) + done, size - done,
                                    off_t(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += std::size_t(got);
    }
    return done;
}

// The file's bytes, every range checked against its size without overflow:
// its offsets and sizes may be anything.
class FileBytes
{
public:
    FileBytes(int fd, quint64 size) : m_fd(fd), m_size(size) {}

    bool fits(quint64 offset, quint64 size) const
    {
        return offset <= m_size && size <= m_size - offset;
    }

    bool read(quint64 offset, void *out, quint64 size) const
    {
        return fits(offset, size) && readAt(m_fd, out, std::size_t(size), offset) == size;
    }

    template <typename T>
    bool read(quint64 offset, T &out) const
    {
        return read(offset, &out, sizeof out);
    }

    bool read(quint64 offset, quint64 size, quint64 limit, QByteArray &out) const
    {
        if (size > limit || !fits(offset, size))
            return false;
        out.resize(int(size));
        return read(offset, out.data(), size);
    }

    std::size_t readSome(quint64 offset, void *out, std::size_t size) const
    {
        return readAt(m_fd, out, size, offset);
    }

    quint64 size() const { return m_size; }

private:
    int m_fd;
    quint64 m_size;
};

template <typename Header, typename Section, typename Symbol, typename Dynamic>
class ElfReader
{
public:
    ElfReader(const FileBytes &file, std::vector<unsigned char> &block, LibraryIdentity &identity)
        : m_file(file), m_block(block), m_identity(identity)
    {
    }

    void read()
    {
        Header header;
        if (!m_file.read(0, header) || header.e_shentsize != sizeof(Section)
            || header.e_shnum > maxSections)
            return;
        std::vector<Section> sections(header.e_shnum);
        if (!m_file.read(header.e_shoff, sections.data(), sections.size() * sizeof(Section)))
            return;
        quint64 noteBudget = maxNoteBytes;
        bool dynamicSeen = false;
        bool symbolsSeen = false;
        for (const Section &section : sections) {
            if (section.sh_type == SHT_NOTE && section.sh_size <= noteBudget) {
                noteBudget -= section.sh_size;
                readNotes(section);
            } else if (section.sh_type == SHT_DYNAMIC && !dynamicSeen) {
                dynamicSeen = true;
                readSoname(sections, section);
            } else if (section.sh_type == SHT_DYNSYM && !symbolsSeen) {
                symbolsSeen = true;
                readExports(sections, section);
            }
        }
    }

private:
    static bool named(const char *name, quint32 size, const char *expected)
    {
        return size == std::strlen(expected) + 1 && std::memcmp(name, expected, size) == 0;
    }

    void readNotes(const Section &section)
    {
        QByteArray notes;
        if (!m_file.read(section.sh_offset, section.sh_size, maxNoteBytes, notes))
            return;
        const quint64 alignment = section.sh_addralign == 8 ? 8 : 4;
        const auto aligned = [alignment](quint64 size) {
            return (size + alignment - 1) & ~(alignment - 1);
        };
        const quint64 size = quint64(notes.size());
        for (quint64 at = 0; size - at >= 12;) {
            quint32 words[3];
            std::memcpy(words, notes.constData() + at, sizeof words);
            const quint64 nameAt = at + 12;
            if (aligned(words[0]) > size - nameAt)
                return;
            const quint64 textAt = nameAt + aligned(words[0]);
            if (words[1] > size - textAt)
                return;
            const char *name = notes.constData() + nameAt;
            const char *text = notes.constData() + textAt;
            if (named(name, words[0], "GNU") && words[2] == NT_GNU_BUILD_ID
                && words[1] <= maxBuildIdBytes && m_identity.buildId.isEmpty())
                m_identity.buildId = QByteArray(text, int(words[1])).toHex();
            if (named(name, words[0], "cardreader") && words[2] == 1
                && m_identity.simulated.isEmpty())
                m_identity.simulated = QByteArray(text, int(qstrnlen(text, words[1])));
            if (aligned(words[1]) >= size - textAt)
                return;
            at = textAt + aligned(words[1]);
        }
    }

    // A NUL-terminated string of a string table, not longer than a block.
    QByteArray string(const Section &strings, quint64 index)
    {
        if (!m_file.fits(strings.sh_offset, strings.sh_size) || index >= strings.sh_size)
            return QByteArray();
        const quint64 size = std::min<quint64>(strings.sh_size - index, m_block.size());
        if (!m_file.read(strings.sh_offset + index, m_block.data(), size))
            return QByteArray();
        const char *text = reinterpret_cast<const char *>(m_block.data());
        const uint length = qstrnlen(text, uint(size));
        return length < size ? QByteArray(text, int(length)) : QByteArray();
    }

    void readSoname(const std::vector<Section> &sections, const Section &dynamic)
    {
        QByteArray entries;
        if (dynamic.sh_link >= sections.size()
            || !m_file.read(dynamic.sh_offset, dynamic.sh_size, maxDynamicBytes, entries))
            return;
        for (int at = 0; entries.size() - at >= int(sizeof(Dynamic)); at += int(sizeof(Dynamic))) {
            Dynamic entry;
            std::memcpy(&entry, entries.constData() + at, sizeof entry);
            if (entry.d_tag == DT_NULL)
                return;
            if (entry.d_tag == DT_SONAME) {
                m_identity.soname = string(sections[dynamic.sh_link], entry.d_un.d_val);
                return;
            }
        }
    }

    static unsigned exportBit(const Symbol &symbol, const QByteArray &names)
    {
        const int binding = symbol.st_info >> 4;
        const int type = symbol.st_info & 0xf;
        if ((binding != STB_GLOBAL && binding != STB_WEAK)
            || (type != STT_FUNC && type != STT_GNU_IFUNC)
            || symbol.st_shndx == SHN_UNDEF || symbol.st_name >= quint64(names.size()))
            return 0;
        const char *name = names.constData() + symbol.st_name;
        const std::size_t room = std::size_t(names.size()) - symbol.st_name;
        for (int i = 0; i < readerFunctionCount; ++i) {
            const std::size_t size = std::strlen(readerFunctionNames[i]) + 1;
            if (size <= room && std::memcmp(name, readerFunctionNames[i], size) == 0)
                return 1u << i;
        }
        return 0;
    }

    // The symbols go through the block; only their strings are held whole.
    void readExports(const std::vector<Section> &sections, const Section &symbols)
    {
        QByteArray names;
        if (symbols.sh_entsize != sizeof(Symbol) || symbols.sh_size > maxSymbolBytes
            || symbols.sh_link >= sections.size()
            || !m_file.read(sections[symbols.sh_link].sh_offset, sections[symbols.sh_link].sh_size,
                            maxSymbolBytes, names))
            return;
        const quint64 count = symbols.sh_size / sizeof(Symbol);
        const quint64 perBlock = m_block.size() / sizeof(Symbol);
        unsigned exported = 0;
        for (quint64 done = 0; done < count;) {
            const quint64 now = std::min(perBlock, count - done);
            if (!m_file.read(symbols.sh_offset + done * sizeof(Symbol), m_block.data(),
                             now * sizeof(Symbol)))
                return;
            for (quint64 i = 0; i < now; ++i) {
                Symbol symbol;
                std::memcpy(&symbol, m_block.data() + i * sizeof(Symbol), sizeof symbol);
                exported |= exportBit(symbol, names);
            }
            done += now;
        }
        m_identity.exportsKnown = true;
        m_identity.exported = exported;
    }

    const FileBytes &m_file;
    std::vector<unsigned char> &m_block;
    LibraryIdentity &m_identity;
};

void hash(const FileBytes &file, std::vector<unsigned char> &block, LibraryIdentity &identity,
          const std::function<bool()> &stop)
{
    Sha256 sha256;
    for (quint64 done = 0; done < file.size();) {
        const std::size_t wanted = std::size_t(std::min<quint64>(block.size(), file.size() - done));
        const std::size_t got = file.readSome(done, block.data(), wanted);
        // A file that shrank, or cannot be read, has no digest rather than a wrong one.
        if (got == 0)
            return;
        sha256.add(block.data(), got);
        done += got;
        if (done % stopPollBytes < got && stop && stop())
            return;
    }
    unsigned char digest[32];
    sha256.finish(digest);
    identity.sha256 = QByteArray(reinterpret_cast<const char *>(digest), sizeof digest).toHex();
}

// An ELF file's machine, as far as the loader cares.
struct Machine
{
    int elfClass = 0;
    int data = 0;
    int type = 0;
    int machine = -1;
};

QString readMachine(int fd, Machine &machine)
{
    unsigned char header[sizeof(Elf64_Ehdr)] = {};
    const std::size_t size = readAt(fd, header, sizeof header, 0);
    if (size < SELFMAG || std::memcmp(header, ELFMAG, SELFMAG) != 0)
        return QStringLiteral("not an ELF file");
    machine.elfClass = header[EI_CLASS];
    machine.data = header[EI_DATA];
    const std::size_t needed =
        machine.elfClass == ELFCLASS64 ? sizeof(Elf64_Ehdr) : sizeof(Elf32_Ehdr);
    if ((machine.elfClass != ELFCLASS32 && machine.elfClass != ELFCLASS64)
        || (machine.data != ELFDATA2LSB && machine.data != ELFDATA2MSB)
        || header[EI_VERSION] != EV_CURRENT || size < needed)
        return QStringLiteral("a damaged ELF file");
    const auto half = [&machine, &header](int at) {
        return machine.data == ELFDATA2LSB ? header[at] | header[at + 1] << 8
                                           : header[at] << 8 | header[at + 1];
    };
    machine.type = half(offsetof(Elf64_Ehdr, e_type));
    machine.machine = half(offsetof(Elf64_Ehdr, e_machine));
    return QString();
}

// This program's own: what it runs on, whatever it was built on.
const Machine &ownMachine()
{
    static const Machine own = [] {
        Machine machine;
        const int fd = ::open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            readMachine(fd, machine);
            ::close(fd);
        }
        return machine;
    }();
    return own;
}

QString machineName(const Machine &machine)
{
    const int riscv = 243;  // EM_RISCV, younger than some terminals' elf.h
    switch (machine.machine) {
    case EM_X86_64: return QStringLiteral("x86-64");
    case EM_AARCH64: return QStringLiteral("AArch64");
    case EM_ARM: return QStringLiteral("ARM");
    case EM_386: return QStringLiteral("i386");
    case riscv: return QStringLiteral("RISC-V");
    case EM_MIPS: return QStringLiteral("MIPS");
    case EM_PPC: return QStringLiteral("PowerPC");
    case EM_PPC64: return QStringLiteral("PowerPC64");
    case EM_S390:
        return machine.elfClass == ELFCLASS64 ? QStringLiteral("s390x") : QStringLiteral("s390");
    }
    return QStringLiteral("machine %1").arg(machine.machine);
}

// Empty when this program could load it; word size and byte order are named
// where they differ.
QString mismatch(const Machine &file)
{
    const Machine &own = ownMachine();
    if (own.machine < 0
        || (file.machine == own.machine && file.elfClass == own.elfClass && file.data == own.data))
        return QString();
    QString built = machineName(file);
    QString ours = machineName(own);
    const auto qualify = [&built, &ours](int fileValue, int ownValue, const char *first,
                                         const char *second) {
        if (fileValue != ownValue) {
            built.prepend(QString::fromLatin1(fileValue == 1 ? first : second) + QLatin1Char(' '));
            ours.prepend(QString::fromLatin1(ownValue == 1 ? first : second) + QLatin1Char(' '));
        }
    };
    qualify(file.elfClass, own.elfClass, "32-bit", "64-bit");
    qualify(file.data, own.data, "little-endian", "big-endian");
    return QStringLiteral("built for ") + built + QStringLiteral(", this is ") + ours;
}

enum class Verdict { Absent, PassedOver, Final };

// Opens a candidate and says what the loader would make of it.
LibraryIdentity examine(const QByteArray &path, Verdict &verdict)
{
    LibraryIdentity identity;
    identity.path = path;
    verdict = Verdict::Final;
    // O_NONBLOCK: a FIFO in the library's place must not hang the run; on a
    // regular file it changes nothing.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            verdict = Verdict::Absent;
        else if (errno == EACCES)
            verdict = Verdict::PassedOver;
        identity.unusable =
            QStringLiteral("cannot open it: ") + QString::fromLocal8Bit(std::strerror(errno));
        return identity;
    }
    struct stat status;
    // A device in its place could be read for ever.
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        identity.unusable = QStringLiteral("not a regular file");
        return identity;
    }
    identity.fd = fd;
    Machine machine;
    identity.unusable = readMachine(fd, machine);
    if (identity.unusable.isEmpty()) {
        identity.unusable = mismatch(machine);
        if (!identity.unusable.isEmpty())
            verdict = Verdict::PassedOver;
        else if (machine.type != ET_DYN)
            identity.unusable = QStringLiteral("not a shared library");
    }
    return identity;
}

QByteArray workingDirectory()
{
    QByteArray buffer(256, Qt::Uninitialized);
    while (!::getcwd(buffer.data(), std::size_t(buffer.size()))) {
        if (errno != ERANGE)
            return QByteArray();
        buffer.resize(buffer.size() * 2);
    }
    return QByteArray(buffer.constData());
}

QByteArray absolute(QByteArray path)
{
    if (path.startsWith('/'))
        return path;
    const QByteArray directory = workingDirectory();
    if (directory.isEmpty())
        return path;
    while (path.startsWith("./"))
        path.remove(0, 2);
    if (path.isEmpty() || path == ".")
        return directory;
    return directory + (directory.endsWith('/') ? "" : "/") + path;
}

QByteArray inDirectory(const QByteArray &directory)
{
    return directory + (directory.endsWith('/') ? "" : "/") + libraryName;
}

// Read as bytes: QCoreApplication::applicationDirPath() would pass it
// through QString, which keeps no name that is not UTF-8.
QByteArray programDirectory()
{
    QByteArray target(256, Qt::Uninitialized);
    for (;;) {
        const ssize_t size =
            ::readlink("/proc/self/exe", target.data(), std::size_t(target.size()));
        if (size < 0)
            return QByteArray();
        if (size < target.size()) {
            target.truncate(int(size));
            break;
        }
        target.resize(target.size() * 2);
    }
    return target.left(std::max(int(target.lastIndexOf('/')), 1));
}

QByteArray stringAt(const QByteArray &bytes, quint64 at)
{
    if (at >= quint64(bytes.size()))
        return QByteArray();
    const char *text = bytes.constData() + at;
    return QByteArray(text, int(qstrnlen(text, uint(quint64(bytes.size()) - at))));
}

// The files the loader's cache gives for our name, in its order; each is
// still checked for this program's machine, which is more certain than
// knowing every machine's cache flags.
QList<QByteArray> cachedLibraries()
{
    QFile file(QStringLiteral("/etc/ld.so.cache"));
    if (!file.open(QIODevice::ReadOnly) || file.size() > maxCacheBytes)
        return {};
    const QByteArray cache = file.readAll();
    const QByteArray magic("glibc-ld.so.cache1.1");
    quint64 start = 0;
    // Older caches put the new format after an old one, aligned as its
    // header is: 8 bytes on most machines, 4 on some.
    if (cache.startsWith("ld.so-1.7.0")) {
        quint32 oldCount = 0;
        if (cache.size() < 16)
            return {};
        std::memcpy(&oldCount, cache.constData() + 12, sizeof oldCount);
        start = 16 + quint64(oldCount) * 12;
        if (stringAt(cache, start).left(magic.size()) != magic)
            start = (start + 7) & ~quint64(7);
    }
    if (stringAt(cache, start).left(magic.size()) != magic || quint64(cache.size()) - start < 48)
        return {};
    quint32 count;
    std::memcpy(&count, cache.constData() + start + 20, sizeof count);
    QList<QByteArray> paths;
    for (quint64 i = 0, at = start + 48; i < count && quint64(cache.size()) - at >= 24;
         ++i, at += 24) {
        quint32 entry[3];  // flags, then the offsets of name and path from the header
        std::memcpy(entry, cache.constData() + at, sizeof entry);
        const QByteArray path = stringAt(cache, start + entry[2]);
        if (stringAt(cache, start + entry[1]) == libraryName && path.startsWith('/'))
            paths << path;
    }
    return paths;
}

int findLibc(dl_phdr_info *info, std::size_t, void *directory)
{
    const char *name = info->dlpi_name;
    const char *slash = name ? std::strrchr(name, '/') : nullptr;
    if (!slash || slash == name || std::strncmp(slash + 1, "libc.so", 7) != 0)
        return 0;
    *static_cast<QByteArray *>(directory) = QByteArray(name, int(slash - name));
    return 1;
}

// The loader's own list, where its libc lies under /lib and /usr/lib alike.
QList<QByteArray> systemDirectories()
{
    QByteArray libc;
    dl_iterate_phdr(findLibc, &libc);
    QList<QByteArray> directories;
    if (!libc.isEmpty())
        directories << libc << (libc.startsWith("/usr/") ? libc.mid(4) : "/usr" + libc);
    for (const char *directory : {"/lib", "/usr/lib"}) {
        if (!directories.contains(directory))
            directories << directory;
    }
    return directories;
}

} // namespace

LibraryIdentity findLibrary(const QByteArray &libraryOption)
{
    Verdict verdict;
    if (!libraryOption.isEmpty())
        return examine(absolute(libraryOption), verdict);

    LibraryIdentity passedOver;
    LibraryIdentity found;
    const auto decides = [&](const QByteArray &path) {
        LibraryIdentity candidate = examine(path, verdict);
        if (verdict == Verdict::Final)
            found = candidate;
        else if (verdict == Verdict::PassedOver && passedOver.path.isEmpty())
            passedOver = candidate;
        else if (candidate.fd >= 0)
            ::close(candidate.fd);
        return verdict == Verdict::Final;
    };
    bool done = false;
    for (const QByteArray &directory : qgetenv("LD_LIBRARY_PATH").split(':')) {
        // An empty element is the working directory to the loader, but never
        // to the window this program stands in for.
        if (!directory.isEmpty())
            done = done || decides(inDirectory(absolute(directory)));
    }
    const QByteArray program = programDirectory();
    if (!program.isEmpty())
        done = done || decides(inDirectory(program));
    // The cache is read only when it is needed, as it rarely is.
    if (!done) {
        for (const QByteArray &path : cachedLibraries())
            done = done || decides(path);
    }
    if (!done) {
        for (const QByteArray &directory : systemDirectories())
            done = done || decides(inDirectory(directory));
    }
    if (done) {
        if (passedOver.fd >= 0)
            ::close(passedOver.fd);
        return found;
    }
    if (passedOver.path.isEmpty())
        passedOver.unusable = QStringLiteral("no libVrkReaderClient.so in LD_LIBRARY_PATH, beside "
                                             "the program or in the system's library directories");
    return passedOver;
}

void readLibraryFile(LibraryIdentity &identity, const std::function<bool()> &stop)
{
    struct stat status;
    if (identity.fd < 0 || ::fstat(identity.fd, &status) != 0)
        return;
    identity.size = status.st_size;
    const FileBytes file(identity.fd, quint64(status.st_size));
    std::vector<unsigned char> block(blockSize);
    unsigned char ident[EI_NIDENT];
    const int nativeData = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? ELFDATA2LSB : ELFDATA2MSB;
    if (file.read(0, ident) && std::memcmp(ident, ELFMAG, SELFMAG) == 0
        && ident[EI_DATA] == nativeData) {
        if (ident[EI_CLASS] == ELFCLASS64)
            ElfReader<Elf64_Ehdr, Elf64_Shdr, Elf64_Sym, Elf64_Dyn>(file, block, identity).read();
        else if (ident[EI_CLASS] == ELFCLASS32)
            ElfReader<Elf32_Ehdr, Elf32_Shdr, Elf32_Sym, Elf32_Dyn>(file, block, identity).read();
    }
    hash(file, block, identity, stop);
}
