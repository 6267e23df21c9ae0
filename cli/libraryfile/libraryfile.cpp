// A maker's library of over 2 GiB is still measured right on a 32-bit terminal.
#define _FILE_OFFSET_BITS 64

#include "libraryfile.h"

#include "sha256.h"

#include "run/librarytext.h"

#include "elfnotes.h"
#include "simulatedmark.h"

#include <QElapsedTimer>
#include <QFile>
#include <QList>

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <vector>

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

namespace {

const char libraryName[] = "libVrkReaderClient.so";
const char windowName[] = "cardreader-tool";
// Beside the window, linked to the library as it is and to nothing else: the
// loader lists its libraries in a third of the window's time.
const char probeName[] = "cardreader-linkprobe";

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
const int maxLoaderOutput = 1 << 20;       // the window's list is some 5 KiB
const qint64 loaderWaitMs = 5000;          // it answers in milliseconds, unless a FIFO
                                           // or a hung mount holds it, as it would the window

// The loader's variables that make its list relocate the libraries, which
// runs their IFUNC resolvers in older loaders, or print something else;
// none changes where it looks.
const char *const listingVariables[] = {"LD_WARN", "LD_BIND_NOW", "LD_VERBOSE",
                                        "LD_TRACE_PRELINKING", "LD_DEBUG", "LD_DEBUG_OUTPUT"};

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
    void readNotes(const Section &section)
    {
        QByteArray notes;
        if (!m_file.read(section.sh_offset, section.sh_size, maxNoteBytes, notes))
            return;
        forEachNote(notes.constData(), quint64(notes.size()), section.sh_addralign == 8 ? 8 : 4,
                    [this](const ElfNote &note) {
            if (note.named("GNU") && note.type == NT_GNU_BUILD_ID
                && note.textSize <= maxBuildIdBytes && m_identity.buildId.isEmpty())
                m_identity.buildId = QByteArray(note.text, int(note.textSize)).toHex();
            if (isSimulatedMark(note) && m_identity.simulated.isEmpty())
                m_identity.simulated = QByteArray(note.text, int(qstrnlen(note.text, note.textSize)));
            return true;
        });
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

// The same version of the file, as far as the kernel tells: every write
// moves its change time, which no one can set back.
bool sameVersion(const struct stat &one, const struct stat &other)
{
    return one.st_size == other.st_size && one.st_ctim.tv_sec == other.st_ctim.tv_sec
        && one.st_ctim.tv_nsec == other.st_ctim.tv_nsec;
}

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
        if (identity.unusable.isEmpty()) {
            if (machine.type != ET_DYN)
                identity.unusable = QStringLiteral("not a shared library");
        } else if (machine.elfClass != ownMachine().elfClass || machine.data == ownMachine().data) {
            // The loader passes over another word size and another machine,
            // but stops at the other byte order, which it checks in between.
            verdict = Verdict::PassedOver;
        }
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
    if (directory.isEmpty())
        return libraryName;
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

// What cardreader-cli finds without the loader, where it cannot be asked:
// the directory of the window stands for its $ORIGIN.
LibraryIdentity ownSearch(const QByteArray &windowDirectory)
{
    LibraryIdentity passedOver;
    LibraryIdentity found;
    Verdict verdict;
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
    // Either separator, and an empty element is the working directory.
    QByteArray libraryPath = qgetenv("LD_LIBRARY_PATH");
    if (!libraryPath.isEmpty()) {
        for (const QByteArray &directory : libraryPath.replace(';', ':').split(':'))
            done = done || decides(inDirectory(absolute(directory)));
    }
    if (!windowDirectory.isEmpty())
        done = done || decides(inDirectory(windowDirectory));
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

// What the window's loader said when asked for its list.
struct LoaderAnswer
{
    QByteArray out;
    QByteArray err;
    int status = -1;   // as waitpid() gives it
    QString failure;   // why it gave no answer; empty when it ran to its end
};

void closeAll(std::initializer_list<int *> descriptors)
{
    for (int *descriptor : descriptors) {
        if (*descriptor >= 0)
            ::close(*descriptor);
        *descriptor = -1;
    }
}

// Starts the window with LD_TRACE_LOADED_OBJECTS set: its loader finds and
// maps every library as it would for the window, prints where each lies,
// and ends before any code of theirs, or the window's, runs. A fork and
// exec, not QProcess, which starts nothing under qemu-user and would want
// an event loop.
LoaderAnswer askLoader(const QByteArray &window)
{
    LoaderAnswer answer;
    std::vector<QByteArray> environment;
    for (char **entry = environ; *entry; ++entry) {
        const QByteArray variable(*entry);
        const QByteArray name = variable.left(variable.indexOf('='));
        if (std::none_of(std::begin(listingVariables), std::end(listingVariables),
                         [&name](const char *listing) { return name == listing; }))
            environment.push_back(variable);
    }
    environment.push_back("LD_TRACE_LOADED_OBJECTS=1");
    std::vector<char *> variables;
    for (QByteArray &variable : environment)
        variables.push_back(variable.data());
    variables.push_back(nullptr);
    // A name of our choosing, so that the loader's words about it are known.
    QByteArray name(windowName);
    char *arguments[] = {name.data(), nullptr};

    int out[2] = {-1, -1}, err[2] = {-1, -1}, execError[2] = {-1, -1};
    int input = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    const pid_t pid = input < 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0
            || ::pipe2(execError, O_CLOEXEC) != 0
        ? -1
        : ::fork();
    if (pid == 0) {
        ::dup2(input, 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        ::execve(window.constData(), arguments, variables.data());
        const int error = errno;
        _exit(::write(execError[1], &error, sizeof error) == sizeof error ? 127 : 126);
    }
    const int forkError = errno;
    closeAll({&input, &out[1], &err[1], &execError[1]});
    if (pid < 0) {
        closeAll({&out[0], &err[0], &execError[0]});
        answer.failure = "cannot start it: " + QString::fromLocal8Bit(std::strerror(forkError));
        return answer;
    }

    // Read whole within bounds: a library that needs a great many others
    // lengthens the list only after its own line.
    QByteArray error;
    pollfd descriptors[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {execError[0], POLLIN, 0}};
    QByteArray *into[3] = {&answer.out, &answer.err, &error};
    QElapsedTimer timer;
    timer.start();
    for (int reading = 3; reading > 0;) {
        const qint64 left = loaderWaitMs - timer.elapsed();
        if (left <= 0) {
            answer.failure =
                QStringLiteral("it did not answer within %1 s").arg(loaderWaitMs / 1000);
            ::kill(pid, SIGKILL);
            break;
        }
        if (::poll(descriptors, 3, int(left)) < 0 && errno != EINTR) {
            answer.failure =
                "cannot read its answer: " + QString::fromLocal8Bit(std::strerror(errno));
            ::kill(pid, SIGKILL);
            break;
        }
        for (int i = 0; i < 3; ++i) {
            if (descriptors[i].fd < 0 || descriptors[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t got = ::read(descriptors[i].fd, buffer, sizeof buffer);
            const int room = maxLoaderOutput - into[i]->size();
            if (got > 0)
                into[i]->append(buffer, int(std::min<ssize_t>(got, room)));
            if (got == 0 || (got < 0 && errno != EINTR && errno != EAGAIN)) {
                ::close(descriptors[i].fd);
                descriptors[i].fd = -1;
                --reading;
            }
        }
    }
    for (pollfd &descriptor : descriptors) {
        if (descriptor.fd >= 0)
            ::close(descriptor.fd);
    }
    while (::waitpid(pid, &answer.status, 0) < 0 && errno == EINTR) {
    }
    int execErrno = 0;
    if (answer.failure.isEmpty() && error.size() == int(sizeof execErrno)) {
        std::memcpy(&execErrno, error.constData(), sizeof execErrno);
        answer.failure = "cannot run " + printable(window) + ": "
            + QString::fromLocal8Bit(std::strerror(execErrno));
    }
    return answer;
}

// Where " (0xADDRESS)\n", which ends each line of the loader's list, begins
// from index from on; -1 where it does not.
int addressAt(const QByteArray &text, int from)
{
    for (int at = text.indexOf(" (0x", from); at >= 0; at = text.indexOf(" (0x", at + 1)) {
        int end = at + 4;
        while (end < text.size() && std::isxdigit(uchar(text[end])))
            ++end;
        if (end > at + 4 && text.mid(end, 2) == ")\n")
            return at;
    }
    return -1;
}

enum class Listed { Path, NotFound, Absent };

// The loader's list has a line per library: "\tNAME => PATH (0xADDRESS)",
// "\tNAME (0xADDRESS)" when the path is the name itself (found in the
// working directory), or "\tNAME => not found". The first line for our name
// is the library that answers to it: the lines after it come from the
// libraries it needs, whose names it chooses, and before it stand only the
// window's other libraries and the user's preloads. Its path comes from
// the search, never from the library's own bytes.
Listed listedPath(const QByteArray &list, QByteArray &path)
{
    const QByteArray line = QByteArray("\t") + libraryName;
    for (int at = 0; at < list.size();) {
        if (list.mid(at, line.size()) == line) {
            const QByteArray rest = list.mid(at + line.size());
            if (rest.startsWith(" => not found\n"))
                return Listed::NotFound;
            const int from = rest.startsWith(" => ") ? 4 : 0;
            const int end = addressAt(rest, from);
            if (end < 0 || (from == 0 && end != 0) || (from > 0 && end == from))
                return Listed::Absent;
            path = from > 0 ? rest.mid(from, end - from) : QByteArray(libraryName);
            return Listed::Path;
        }
        const int next = list.indexOf('\n', at);
        if (next < 0)
            break;
        at = next + 1;
    }
    return Listed::Absent;
}

// The loader refuses a file it found with "cardreader-tool: error while
// loading shared libraries: PATH: REASON"; PATH ends in our name when the
// file is ours.
bool refusedPath(const QByteArray &err, QByteArray &path, QByteArray &reason)
{
    const QByteArray prefix = QByteArray(windowName) + ": error while loading shared libraries: ";
    int start = 0;
    if (!err.startsWith(prefix)) {
        start = err.indexOf('\n' + prefix);
        if (start < 0)
            return false;
        ++start;
    }
    start += prefix.size();
    const int end = err.indexOf('\n', start);
    const QByteArray message = err.mid(start, end < 0 ? -1 : end - start);
    const QByteArray ours = QByteArray(libraryName) + ": ";
    for (int at = message.indexOf(ours); at >= 0; at = message.indexOf(ours, at + 1)) {
        if (at == 0 || message[at - 1] == '/') {
            path = message.left(at + ours.size() - 2);
            reason = message.mid(at + ours.size());
            return true;
        }
    }
    return false;
}

LibraryIdentity loadersChoice(const QByteArray &window)
{
    const QByteArray windowDirectory = window.left(std::max(int(window.lastIndexOf('/')), 1));
    const LoaderAnswer answer = askLoader(window);
    const QString asked = "the loader, as for " + printable(windowDirectory + '/' + windowName);
    QString failure = answer.failure;
    QByteArray path;
    QByteArray reason;
    Verdict verdict;
    if (failure.isEmpty() && WIFEXITED(answer.status) && WEXITSTATUS(answer.status) == 0) {
        switch (listedPath(answer.out, path)) {
        case Listed::Path: {
            LibraryIdentity found = examine(absolute(path), verdict);
            found.foundBy = asked;
            return found;
        }
        case Listed::NotFound: {
            // A file it passed over says why, as it does not.
            LibraryIdentity passedOver = ownSearch(windowDirectory);
            if (passedOver.unusable.isEmpty() || passedOver.path.isEmpty()) {
                if (passedOver.fd >= 0)
                    ::close(passedOver.fd);
                passedOver = LibraryIdentity();
                passedOver.unusable = QStringLiteral("no libVrkReaderClient.so where the loader "
                                                     "looks for the window");
            }
            passedOver.foundBy = asked;
            return passedOver;
        }
        case Listed::Absent:
            failure = QStringLiteral("it lists no libVrkReaderClient.so, which an object loaded "
                                     "ahead of it (LD_PRELOAD) may have answered to");
        }
    } else if (failure.isEmpty() && refusedPath(answer.err, path, reason)) {
        LibraryIdentity refused = examine(absolute(path), verdict);
        if (refused.unusable.isEmpty())
            refused.unusable = "the loader refuses it: " + printable(reason);
        refused.foundBy = asked;
        return refused;
    } else if (failure.isEmpty()) {
        const int end = answer.err.indexOf('\n');
        failure = WIFEXITED(answer.status)
            ? QStringLiteral("it ended with status %1").arg(WEXITSTATUS(answer.status))
            : QStringLiteral("it ended by signal %1").arg(WTERMSIG(answer.status));
        if (!answer.err.isEmpty())
            failure += ": " + printable(answer.err.left(end));
    }
    LibraryIdentity own = ownSearch(windowDirectory);
    own.foundBy = "cardreader-cli's own search, as the loader could not be asked: " + failure;
    return own;
}

// Asked of the loader in this process, which has the window's preloads:
// cardreader-cli itself defines no reader function.
void notePreloaded(LibraryIdentity &identity)
{
    for (int i = 0; i < readerFunctionCount; ++i) {
        const void *address = dlsym(RTLD_DEFAULT, readerFunctionNames[i]);
        if (!address)
            continue;
        identity.preloadedFunctions |= 1u << i;
        Dl_info info;
        if (dladdr(address, &info) && info.dli_fname
            && !identity.preloaded.contains(info.dli_fname))
            identity.preloaded << QByteArray(info.dli_fname);
    }
}

} // namespace

LibraryIdentity findLibrary(const QByteArray &libraryOption)
{
    const QByteArray probe = programDirectory() + '/' + probeName;
    return findLibrary(libraryOption, ::access(probe.constData(), X_OK) == 0
                                          ? probe
                                          : programDirectory() + '/' + windowName);
}

LibraryIdentity findLibrary(const QByteArray &libraryOption, const QByteArray &window)
{
    Verdict verdict;
    LibraryIdentity identity = libraryOption.isEmpty() ? loadersChoice(window)
                                                       : examine(absolute(libraryOption), verdict);
    notePreloaded(identity);
    return identity;
}

void readLibraryElf(LibraryIdentity &identity)
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
}

namespace {

// The SHA-256 of the file as it is, false when it changed while hashed.
bool hashLibraryFile(LibraryIdentity &identity, const std::function<bool()> &stop)
{
    struct stat before;
    if (identity.fd < 0 || ::fstat(identity.fd, &before) != 0)
        return true;
    std::vector<unsigned char> block(blockSize);
    hash(FileBytes(identity.fd, quint64(before.st_size)), block, identity, stop);
    struct stat after;
    if (::fstat(identity.fd, &after) == 0 && sameVersion(before, after))
        return true;
    identity.sha256.clear();
    return false;
}

} // namespace

bool readLibraryFile(LibraryIdentity &identity, const std::function<bool()> &stop)
{
    readLibraryElf(identity);
    return hashLibraryFile(identity, stop);
}

LaterHash hashAfterRun(LibraryIdentity &identity, const struct stat &atStart, long long runStartMs,
                       const std::function<bool()> &stop)
{
    struct stat now;
    if (!identity.sha256.isEmpty())
        return LaterHash::Taken;
    if (identity.fd < 0 || ::fstat(identity.fd, &now) != 0)
        return LaterHash::NotTaken;
    if (!sameVersion(atStart, now))
        return LaterHash::Changed;
    // A write shares the change time of the one before it within a tick of
    // the filesystem's timestamps, 2 s on FAT: a file written that shortly
    // before the run could have been written again by it unseen.
    const long long changedMs =
        static_cast<long long>(atStart.st_ctim.tv_sec) * 1000 + atStart.st_ctim.tv_nsec / 1000000;
    if (changedMs > runStartMs - 2000)
        return LaterHash::NotTaken;
    // Its ELF was read before the run, from this same version of the file.
    if (!hashLibraryFile(identity, stop))
        return LaterHash::Changed;
    return identity.sha256.isEmpty() ? LaterHash::NotTaken : LaterHash::Taken;
}
