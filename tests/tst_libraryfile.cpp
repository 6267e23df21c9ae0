#include "childprocess.h"
#include "libraryfile/libraryfile.h"
#include "run/libraryidentity.h"
#include "libraryfile/sha256.h"

#include <QtTest>

#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace {

const unsigned allFunctions = (1u << readerFunctionCount) - 1;
const QByteArray lib = "libVrkReaderClient.so";

QByteArray patched(QByteArray bytes, int at, std::initializer_list<int> values)
{
    for (int value : values)
        bytes[at++] = char(value);
    return bytes;
}

LibraryIdentity described(const QByteArray &path, const std::function<bool()> &stop)
{
    LibraryIdentity identity = findLibrary(path);
    readLibraryFile(identity, stop);
    ::close(identity.fd);
    return identity;
}

QByteArray bytesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

// The entry of a symbol of .dynsym, changed.
QByteArray withSymbol(QByteArray elf, const char *name, void (*change)(ElfW(Sym) &))
{
    ElfW(Ehdr) header;
    std::memcpy(&header, elf.constData(), sizeof header);
    std::vector<ElfW(Shdr)> sections(header.e_shnum);
    std::memcpy(sections.data(), elf.constData() + header.e_shoff,
                sections.size() * sizeof(ElfW(Shdr)));
    for (const ElfW(Shdr) &symbols : sections) {
        if (symbols.sh_type != SHT_DYNSYM)
            continue;
        const char *names = elf.constData() + sections[symbols.sh_link].sh_offset;
        for (auto at = symbols.sh_offset; at < symbols.sh_offset + symbols.sh_size;
             at += sizeof(ElfW(Sym))) {
            ElfW(Sym) symbol;
            std::memcpy(&symbol, elf.constData() + at, sizeof symbol);
            if (qstrcmp(names + symbol.st_name, name) == 0) {
                change(symbol);
                std::memcpy(elf.data() + at, &symbol, sizeof symbol);
                return elf;
            }
        }
    }
    qFatal("no %s in .dynsym", name);
    return elf;
}

// A note as an ELF file holds it: the name and the description each padded
// to the section's alignment, counted from the note's start.
QByteArray note(const QByteArray &name, quint32 type, const QByteArray &description, int alignment)
{
    const quint32 words[3] = {quint32(name.size() + 1), quint32(description.size()), type};
    QByteArray bytes = QByteArray(reinterpret_cast<const char *>(words), sizeof words) + name + '\0';
    bytes.append(QByteArray(-bytes.size() & (alignment - 1), '\0')).append(description);
    return bytes.append(QByteArray(-bytes.size() & (alignment - 1), '\0'));
}

// The file with its notes in one section of their own, aligned to 8 as a
// GNU property note wants it, past the end: its own sections of notes are
// no longer notes.
QByteArray withNotesAlignedTo8(const QByteArray &elf, const QByteArray &notes)
{
    ElfW(Ehdr) header;
    std::memcpy(&header, elf.constData(), sizeof header);
    std::vector<ElfW(Shdr)> sections(header.e_shnum);
    std::memcpy(sections.data(), elf.constData() + header.e_shoff,
                sections.size() * sizeof(ElfW(Shdr)));
    for (ElfW(Shdr) &section : sections) {
        if (section.sh_type == SHT_NOTE)
            section.sh_type = SHT_PROGBITS;
    }
    const QByteArray padded = elf + QByteArray(-elf.size() & 7, '\0');
    ElfW(Shdr) section = {};
    section.sh_type = SHT_NOTE;
    section.sh_offset = decltype(section.sh_offset)(padded.size());
    section.sh_size = decltype(section.sh_size)(notes.size());
    section.sh_addralign = 8;
    sections.push_back(section);
    header.e_shoff = decltype(header.e_shoff)(padded.size() + notes.size());
    header.e_shnum = decltype(header.e_shnum)(sections.size());
    return QByteArray(reinterpret_cast<const char *>(&header), sizeof header)
        + padded.mid(sizeof header) + notes
        + QByteArray(reinterpret_cast<const char *>(sections.data()),
                     int(sections.size() * sizeof(ElfW(Shdr))));
}

// Root opens any file, and the loader it runs as well; a user's search meets
// files it cannot read. For as long as this lives, the thread lays its
// capabilities aside, and takes them up again after.
class AsUser
{
public:
    AsUser()
    {
        m_held = ::syscall(SYS_capget, &m_header, m_data) == 0;
        __user_cap_data_struct none[2] = {m_data[0], m_data[1]};
        none[0].effective = none[1].effective = 0;
        if (m_held)
            ::syscall(SYS_capset, &m_header, none);
    }
    ~AsUser()
    {
        if (m_held)
            ::syscall(SYS_capset, &m_header, m_data);
    }

private:
    __user_cap_header_struct m_header = {_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_data[2] = {};
    bool m_held = false;
};

int findInterpreter(dl_phdr_info *info, std::size_t, void *interpreter)
{
    for (int i = 0; i < info->dlpi_phnum; ++i) {
        if (info->dlpi_phdr[i].p_type == PT_INTERP) {
            *static_cast<QByteArray *>(interpreter) =
                reinterpret_cast<const char *>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
            return 1;
        }
    }
    return 0;
}

// The subdirectories under a heading of `ld.so --help` that this machine's
// loader searches ("x86-64-v2 (supported, searched)"), in its order.
QStringList searchedSubdirectories(const QString &directory, const QString &heading)
{
    QByteArray interpreter;
    dl_iterate_phdr(findInterpreter, &interpreter);
    QStringList command;
    if (qstrlen(EMULATOR) > 0)
        command << EMULATOR;
    ChildProcess loader(directory);
    if (interpreter.isEmpty() || !loader.start(command << interpreter << "--help", {})
        || !loader.finish())
        return {};
    const QStringList lines = QString::fromUtf8(loader.out).split('\n');
    QStringList searched;
    for (int i = lines.indexOf(heading) + 1; i > 0 && i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            break;
        if (lines[i].endsWith("supported, searched)"))
            searched << lines[i].trimmed().section(' ', 0, 0);
    }
    return searched;
}

} // namespace

// Which library a run loads, read from the file's bytes alone: found as the
// loader finds it, hashed in bounded memory, and never misled by its bytes.
class tst_LibraryFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QByteArray m_root;
    QByteArray m_simulated;
    QByteArray m_buildId;   // the simulated reader's, as hex

    // Through open(2), as QFile keeps no name that is not UTF-8.
    QByteArray file(const QByteArray &name, const QByteArray &bytes)
    {
        const QByteArray path = m_root + '/' + name;
        for (int slash = m_root.size() + 1; (slash = path.indexOf('/', slash)) > 0; ++slash)
            ::mkdir(path.left(slash).constData(), 0700);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::write(fd, bytes.constData(), std::size_t(bytes.size())) != bytes.size()
            || ::close(fd) != 0)
            qFatal("cannot write %s", path.constData());
        return path;
    }

private slots:
    void initTestCase()
    {
        m_root = QFile::encodeName(QFileInfo(m_dir.path()).canonicalFilePath());
        QFile simulated(QStringLiteral(SIMREADER));
        QVERIFY(m_dir.isValid() && simulated.open(QIODevice::ReadOnly));
        m_simulated = simulated.readAll();
        // Found by its bytes, not by the code under test: the note's type
        // and name, with its size before them.
        const int name = m_simulated.indexOf(QByteArray("\x03\0\0\0GNU\0", 8));
        QVERIFY(name >= 8);
        quint32 size;
        std::memcpy(&size, m_simulated.constData() + name - 4, sizeof size);
        m_buildId = m_simulated.mid(name + 8, int(size)).toHex();
    }

    // QTemporaryDir goes through QString too.
    void cleanupTestCase()
    {
        ::unlink((m_root + "/search/simulated-\xff\xfe/" + lib).constData());
        ::rmdir((m_root + "/search/simulated-\xff\xfe").constData());
    }

    void sha256_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<QByteArray>("digest");
        // From 56 bytes on, the length no longer fits the last block.
        QTest::newRow("55 bytes: the length still fits") << QByteArray(55, 'a')
            << QByteArray("9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
        QTest::newRow("56 bytes: the length needs another block")
            << QByteArray("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")
            << QByteArray("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
        QTest::newRow("1008 bytes: blocks that differ, several at once and some left waiting")
            << QByteArray("abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmno"
                          "ijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu").repeated(9)
            << QByteArray("3eab413dd0b40d2f93f340052af53e630ab4c895e14a12743877368cb5b23d77");
    }

    void sha256()
    {
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, digest);
        // Portable code, then the processor's instructions where it has them; in
        // pieces of 300 bytes, which leave bytes waiting for the next piece.
        for (bool withInstructions : {false, Sha256::instructionsAvailable()}) {
            Sha256 sha256(withInstructions);
            for (int at = 0; at < message.size(); at += 300)
                sha256.add(reinterpret_cast<const unsigned char *>(message.constData()) + at,
                           std::size_t(std::min(300, int(message.size()) - at)));
            unsigned char bytes[32];
            sha256.finish(bytes);
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(bytes), 32).toHex(), digest);
        }
    }

    void hashing()
    {
        // Read in blocks, asked whether to stop after each MiB.
        const QByteArray bytes =
            m_simulated.repeated((3 << 20) / m_simulated.size() + 1).left(3 << 20 | 1);
        int polls = 0;
        const LibraryIdentity hashed =
            described(file("hashed", bytes), [&polls] { return ++polls < 0; });
        QCOMPARE(hashed.sha256,
                 QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        QCOMPARE(polls, 3);

        // Over 2 GiB, measured right on any terminal, and stopping ends the hashing.
        const QByteArray sparse = file("sparse", QByteArray());
        QVERIFY(QFile(QFile::decodeName(sparse)).resize(2147483649LL));
        QElapsedTimer timer;
        timer.start();
        const LibraryIdentity stopped = described(sparse, [] { return true; });
        QCOMPARE(stopped.size, 2147483649LL);
        QVERIFY(stopped.sha256.isEmpty() && timer.elapsed() < 5000);
    }

    void hashedAfterRun_data()
    {
        QTest::addColumn<QString>("write");          // to the file after it was first looked at
        QTest::addColumn<int>("runStartedAfterMs");  // the file was written
        QTest::addColumn<int>("hashed");             // LaterHash

        const int taken = int(LaterHash::Taken);
        const int changed = int(LaterHash::Changed);
        const int notTaken = int(LaterHash::NotTaken);
        QTest::newRow("as it was, written 2 s before the run") << "" << 2000 << taken;
        QTest::newRow("as it was, written under 2 s before the run: a write by the library "
                      "could have left its change time as it was") << "" << 1999 << notTaken;
        QTest::newRow("rewritten in place within the second, its size kept")
            << "rewrite" << 3000 << changed;
        QTest::newRow("shrinking while hashed") << "shrink while hashed" << 3000 << changed;
        QTest::newRow("rewritten while hashed, its size kept")
            << "rewrite while hashed" << 3000 << changed;
        QTest::newRow("stopped") << "stop" << 3000 << notTaken;
    }

    // The SHA-256 taken for the summary, after the library's code ran: only
    // of the file as it was before, read whole.
    void hashedAfterRun()
    {
        QFETCH(QString, write);
        QFETCH(int, runStartedAfterMs);
        QFETCH(int, hashed);

        const QByteArray bytes =
            m_simulated.repeated((3 << 20) / m_simulated.size() + 1).left(3 << 20 | 1);
        const QByteArray path = file(QTest::currentDataTag(), bytes);
        LibraryIdentity identity;
        identity.fd = ::open(path.constData(), O_RDONLY);
        struct stat atStart;
        QVERIFY(identity.fd >= 0 && ::fstat(identity.fd, &atStart) == 0);
        const long long runStartMs = atStart.st_ctim.tv_sec * 1000LL
            + atStart.st_ctim.tv_nsec / 1000000 + runStartedAfterMs;
        // A write a tick later than the last, as the library's would be: a
        // kernel that stamps by the tick (10 ms at 100 Hz) then tells them apart.
        const auto rewrite = [&path] {
            QThread::msleep(20);
            const int fd = ::open(path.constData(), O_WRONLY);
            const bool written = fd >= 0 && ::pwrite(fd, "x", 1, 1 << 20) == 1;
            return ::close(fd) == 0 && written;
        };
        if (write == "rewrite")
            QVERIFY(rewrite());
        const LaterHash result = hashAfterRun(identity, atStart, runStartMs, [&] {
            if (write == "shrink while hashed") {
                QThread::msleep(20);
                return ::truncate(path.constData(), (3 << 20) / 2) != 0;
            }
            return write == "stop" || (write == "rewrite while hashed" && !rewrite());
        });
        ::close(identity.fd);
        QCOMPARE(int(result), hashed);
        QCOMPARE(identity.sha256,
                 result == LaterHash::Taken
                     ? QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()
                     : QByteArray());
    }

    void describe_data()
    {
        QTest::addColumn<QByteArray>("libraryPath");
        QTest::addColumn<QByteArray>("option");
        QTest::addColumn<QByteArray>("found");
        QTest::addColumn<QString>("unusable");
        QTest::addColumn<QByteArray>("soname");
        QTest::addColumn<unsigned>("exported");

        const QByteArray notUtf8 = "search/simulated-\xff\xfe";
        const QByteArray in = m_root + "/search/";
        const QByteArray found = file(notUtf8 + '/' + lib, m_simulated);
        file("search/text/" + lib, "text");
        file("search/other/" + lib, patched(m_simulated, EI_CLASS, {m_simulated[EI_CLASS] ^ 3}));
        QTest::newRow("the first that loads, past an absent file and another word size; relative")
            << in + "absent:" + in + "other:./" + notUtf8 << QByteArray() << found << QString()
            << lib << allFunctions;
        QTest::newRow("a file that is not ELF ends the search")
            << in + "text:" + m_root + '/' + notUtf8 << QByteArray() << in + "text/" + lib
            << "not an ELF file" << QByteArray() << 0u;
        QTest::newRow("--library before LD_LIBRARY_PATH, relative to the working directory")
            << in + "text" << "./" + notUtf8 + '/' + lib << found << QString() << lib
            << allFunctions;
        QVERIFY(::chmod(file("search/unreadable/" + lib, m_simulated).constData(), 0) == 0);
        QTest::newRow("a file it cannot read is passed over, as the loader passes it")
            << in + "unreadable:" + m_root + '/' + notUtf8 << QByteArray() << found << QString()
            << lib << allFunctions;
        // The loader opens a directory, fails to read it and stops there.
        QVERIFY(QDir().mkpath(QFile::decodeName(in + "directory/" + lib)));
        QTest::newRow("a directory in its place ends the search, as it stops the loader")
            << in + "directory:" + m_root + '/' + notUtf8 << QByteArray()
            << in + "directory/" + lib << "not a regular file" << QByteArray() << 0u;

        const auto named = [](const char *row, const QByteArray &path, const QString &unusable,
                              const QByteArray &soname, unsigned exported) {
            QTest::newRow(row) << QByteArray() << path << path << unusable << soname << exported;
        };
        const int own = uchar(m_simulated[18]) | uchar(m_simulated[19]) << 8;
        const int other = own == EM_X86_64 ? EM_AARCH64 : EM_X86_64;
        if (own == EM_X86_64 || own == EM_AARCH64)
            named("another machine's", file("other", patched(m_simulated, 18, {other, other >> 8})),
                  own == EM_X86_64 ? "built for AArch64, this is x86-64"
                                   : "built for x86-64, this is AArch64", lib, allFunctions);
        named("an executable", file("executable", patched(m_simulated, 16, {ET_EXEC, 0})),
              "not a shared library", lib, allFunctions);
        named("a library without VRK_MagCardRead", PARTIALREADER, QString(),
              "libpartialreader.so", allFunctions & ~(1u << 11));
        // A function the library calls has an entry too, undefined, for the
        // loader to find elsewhere.
        const auto imported = [](ElfW(Sym) &symbol) {
            symbol.st_shndx = SHN_UNDEF;
            symbol.st_value = 0;
        };
        const auto weak = [](ElfW(Sym) &symbol) {
            symbol.st_info = (STB_WEAK << 4) | (symbol.st_info & 0xf);
        };
        named("VRK_MagCardRead only imported",
              file("imports", withSymbol(m_simulated, "VRK_MagCardRead", imported)), QString(),
              lib, allFunctions & ~(1u << 11));
        named("VRK_MagCardRead defined weak",
              file("weak", withSymbol(m_simulated, "VRK_MagCardRead", weak)), QString(), lib,
              allFunctions);

        // A 4-byte name ends at 16 in a section aligned to 8, where the
        // description begins; a build ID of 20 bytes, as linkers make it, is
        // padded to 24.
        // x86's IBT and SHSTK, as -fcf-protection marks them.
        const quint32 x86Features[4] = {0xc0000002, 4, 3, 0};
        const QByteArray notes =
            note("GNU", NT_GNU_PROPERTY_TYPE_0,
                 QByteArray(reinterpret_cast<const char *>(x86Features), sizeof x86Features), 8)
            + note("GNU", NT_GNU_BUILD_ID, QByteArray::fromHex(m_buildId), 8)
            + note("cardreader", 1, "simulated reader in notes aligned to 8", 8);
        named("notes aligned to 8, after a GNU property note",
              file("aligned-8", withNotesAlignedTo8(m_simulated, notes)), QString(), lib,
              allFunctions);

        // The library's own section headers, then more that all point at the
        // same notes: the work stays bounded, and past a bound nothing is read.
        const auto crafted = [this](int sections, int noteBytes) {
            Elf64_Ehdr header;
            std::memcpy(&header, m_simulated.constData(), sizeof header);
            const Elf64_Shdr note = {0, SHT_NOTE, 0, 0, quint64(m_simulated.size()),
                                     quint64(noteBytes), 0, 0, 0, 0};
            const QByteArray table =
                m_simulated.mid(int(header.e_shoff), header.e_shnum * int(sizeof note))
                + QByteArray(reinterpret_cast<const char *>(&note), sizeof note)
                      .repeated(sections - header.e_shnum);
            header.e_shoff = quint64(m_simulated.size() + noteBytes);
            header.e_shnum = quint16(sections);
            return file("crafted-" + QByteArray::number(sections),
                        QByteArray(reinterpret_cast<const char *>(&header), sizeof header)
                            + m_simulated.mid(sizeof header) + QByteArray(noteBytes, 0) + table);
        };
        named("65,535 section headers over 2.4 MB of notes", crafted(65535, 2400000), QString(),
              QByteArray(), 0);
        named("4,096 section headers over 1 MiB of notes each", crafted(4096, 1 << 20), QString(),
              lib, allFunctions);
    }

    void describe()
    {
        QFETCH(QByteArray, libraryPath);
        QFETCH(QByteArray, option);
        QFETCH(QByteArray, found);
        QFETCH(QString, unusable);
        QFETCH(QByteArray, soname);
        QFETCH(unsigned, exported);
        qputenv("LD_LIBRARY_PATH", libraryPath);
        QVERIFY(::chdir(m_root.constData()) == 0);
        const AsUser asUser;
        QElapsedTimer timer;
        timer.start();
        const LibraryIdentity identity = described(option, [] { return true; });
        QVERIFY2(timer.elapsed() < 1000, "a crafted file must not make work");
        QCOMPARE(identity.path, found);
        QCOMPARE(identity.unusable, unusable);
        // With no window beside this test to ask the loader for, the search is
        // cardreader-cli's own, and says so.
        QCOMPARE(identity.foundBy.startsWith("cardreader-cli's own search, as the loader could not "
                                             "be asked: cannot run "),
                 option.isEmpty());
        QCOMPARE(identity.soname, soname);
        // The simulated reader's note and a build ID come with the rest, or
        // not at all; the simulated reader's build ID wherever its notes lie.
        QCOMPARE(identity.simulated.startsWith("simulated reader "), soname == lib);
        QCOMPARE(identity.buildId.size() >= 16, !soname.isEmpty());
        if (soname == lib)
            QCOMPARE(identity.buildId, m_buildId);
        QCOMPARE(identity.exportsKnown, exported != 0);
        QCOMPARE(identity.exported, exported);
    }

    void loadersChoice_data()
    {
        QTest::addColumn<QByteArray>("libraryPath");     // ROOT: the row's folder
        QTest::addColumn<QStringList>("copies");         // of the tiny library: in big/ of the
                                                         // other byte order, in forged/ a hostile one
        QTest::addColumn<QString>("workingDirectory");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<QString>("unusable");           // how it starts
        QTest::addColumn<bool>("ownSearchAgrees");       // where the loader cannot be asked

        const auto row = [](const QString &name, const QByteArray &libraryPath,
                            const QStringList &folders, const QString &workingDirectory,
                            const QString &chosen, const QString &unusable, bool ownSearchAgrees) {
            QStringList copies;
            for (const QString &folder : folders)
                copies << folder + "/libVrkReaderClient.so";
            QTest::newRow(qPrintable(name))
                << libraryPath << copies << workingDirectory
                << (chosen.isEmpty() ? QByteArray() : (chosen + "/libVrkReaderClient.so").toUtf8())
                << unusable << ownSearchAgrees;
        };
        const QStringList hwcaps = searchedSubdirectories(
            m_dir.path(), "Subdirectories of glibc-hwcaps directories, in priority order:");
        if (!hwcaps.isEmpty()) {
            const QString lowest = "app/glibc-hwcaps/" + hwcaps.last();
            row("glibc-hwcaps/" + hwcaps.last() + " beside the window", "", {"app", lowest}, "app",
                lowest, "", false);
        }
        const QStringList legacy = searchedSubdirectories(
            m_dir.path(), "Legacy HWCAP subdirectories under library search path directories:");
        if (!legacy.isEmpty())
            row("a legacy " + legacy.first() + " subdirectory of LD_LIBRARY_PATH's", "ROOT/dir",
                {"dir", "dir/" + legacy.first(), "app"}, "app", "dir/" + legacy.first(), "", false);
        row("';' separates LD_LIBRARY_PATH as ':' does", "/nonexistent;ROOT/dir", {"dir", "app"},
            "app", "dir", "", true);
        row("$ORIGIN in LD_LIBRARY_PATH is the window's folder", "$ORIGIN/../lib", {"lib", "app"},
            "app", "app/../lib", "", false);
        row("an empty element of LD_LIBRARY_PATH is the working directory", ":ROOT/dir",
            {"work", "dir", "app"}, "work", "work", "", true);
        row("a big-endian file first stops the loader", "ROOT/big:ROOT/dir", {"big", "dir"}, "app",
            "big", "built for big-endian ", true);
        row("a library that needs a name made to look like a line of the list", "ROOT/forged",
            {"forged", "app"}, "app", "forged", "", true);
        row("none where the loader looks", "ROOT/dir", {"elsewhere"}, "app", "",
            "no libVrkReaderClient.so ", true);
    }

    // The file the loader chooses for a copy of the window, against copies
    // of the tiny library where it looks; and, where cardreader-cli's own
    // search claims to know the way, the same file without the loader.
    void loadersChoice()
    {
        QFETCH(QByteArray, libraryPath);
        QFETCH(QStringList, copies);
        QFETCH(QString, workingDirectory);
        QFETCH(QByteArray, chosen);
        QFETCH(QString, unusable);
        QFETCH(bool, ownSearchAgrees);

        QTemporaryDir dir;
        const QByteArray root = QFile::encodeName(QFileInfo(dir.path()).canonicalFilePath());
        const QByteArray tiny = bytesOf(TINYREADER);
        // The name of the library it needs made into a line that names
        // another file.
        const QByteArray needed = "libVrkCardNumberFromAnotherLibrary.so";
        const QByteArray line = "z\n\tlibVrkReaderClient.so => /x (0x1)\n";
        QCOMPARE(line.size(), needed.size());
        const QByteArray forged = bytesOf(BORROWINGREADER).replace(needed, line);
        QVERIFY(forged.contains(line));
        for (const QString &copy : copies) {
            const QString folder = copy.section('/', 0, 0);
            QVERIFY(QDir(dir.path()).mkpath(QFileInfo(copy).path()));
            QFile file(dir.filePath(copy));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(folder == "big" ? patched(tiny, EI_DATA, {ELFDATA2MSB})
                                       : folder == "forged" ? forged : tiny);
        }
        QVERIFY(QDir(dir.path()).mkpath("app") && QDir(dir.path()).mkpath(workingDirectory));
        QVERIFY(QFile::copy(TOOL, dir.filePath("app/cardreader-tool")));
        qputenv("LD_LIBRARY_PATH", QByteArray(libraryPath).replace("ROOT", root));
        QVERIFY(::chdir(QFile::encodeName(dir.filePath(workingDirectory)).constData()) == 0);

        const LibraryIdentity asked = findLibrary(QByteArray(), root + "/app/cardreader-tool");
        ::close(asked.fd);
        // An emulated machine's loader cannot be started from its programs:
        // cardreader-cli's own search answers, where it knows the way.
        const bool emulated = qstrlen(EMULATOR) > 0 && !asked.foundBy.startsWith("the loader");
        if (emulated && !ownSearchAgrees)
            QSKIP("the loader of an emulated machine cannot be started from its programs");
        if (!emulated)
            QCOMPARE(asked.foundBy, "the loader, as for " + dir.filePath("app/cardreader-tool"));
        QCOMPARE(asked.path, chosen.isEmpty() ? chosen : root + '/' + chosen);
        QVERIFY2(unusable.isEmpty() ? asked.unusable.isEmpty()
                                    : asked.unusable.startsWith(unusable),
                 qPrintable(asked.unusable));
        // The program linked as the window is, and to nothing else, which
        // cardreader-cli has the loader list: the same answer.
        QVERIFY(QFile::copy(LINKPROBE, dir.filePath("app/cardreader-linkprobe")));
        const LibraryIdentity probed = findLibrary(QByteArray(), root + "/app/cardreader-linkprobe");
        ::close(probed.fd);
        if (!emulated)
            QCOMPARE(probed.foundBy, asked.foundBy);
        QCOMPARE(probed.path, asked.path);
        QCOMPARE(probed.unusable, asked.unusable);
        if (ownSearchAgrees && !emulated) {
            const LibraryIdentity own = findLibrary(QByteArray(), root + "/app/absent");
            ::close(own.fd);
            QVERIFY(own.foundBy.startsWith("cardreader-cli's own search"));
            QCOMPARE(own.path, asked.path);
            QCOMPARE(own.unusable.isEmpty(), asked.unusable.isEmpty());
        }
    }

    void namedAndCalled_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("variables");   // ROOT: the row's folder
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QStringList>("said");        // on standard output or error

        QTest::newRow("an empty element of LD_LIBRARY_PATH: the working directory's")
            << QStringList{"--json", "library", "card-number"}
            << QStringList{"LD_LIBRARY_PATH=:ROOT/vendor"} << 0
            << QStringList{"\"path\":\"ROOT/work/libVrkReaderClient.so\""};
        QTest::newRow("a function that a library it needs defines is missing from it")
            << QStringList{"--no-open", "--library", BORROWINGREADER, "card-number"}
            << QStringList() << 3
            << QStringList{"lacks VRK_ReadCarNo (the loader finds it in "
                           + QFileInfo(BORROWINGREADER).path()
                           + "/libVrkCardNumberFromAnotherLibrary.so); the functions it has are "
                             "still checked"};
        // A finding of the run however few of its functions are called, and
        // said in the library's identity with the file that holds it.
        const QString foundIn = "the loader finds it in " + QFileInfo(BORROWINGREADER).path()
            + "/libVrkCardNumberFromAnotherLibrary.so";
        const QString borrowed =
            QString(BORROWINGREADER) + " lacks VRK_ReadCarNo (" + foundIn + ')';
        QTest::newRow("a function taken from a library it needs, and another one called")
            << QStringList{"--no-open", "--json", "--library", BORROWINGREADER, "card-region"}
            << QStringList() << 3
            << QStringList{"\"verdict\":\"FAILED: the library broke the contract: " + borrowed,
                           "\"findings\":[\"" + borrowed + "\"]",
                           "\"elsewhere\":{\"VRK_ReadCarNo\":\"" + foundIn + "\"}"};
        QTest::newRow("the same library described")
            << QStringList{"--library", BORROWINGREADER, "library"} << QStringList() << 3
            << QStringList{"\n  functions: 12 of 13; missing VRK_ReadCarNo (" + foundIn + ")\n",
                           "\nFAILED: the library broke the contract: " + borrowed + '\n'};
        // Found outside every call, it fails a run whose calls all succeed.
        QTest::newRow("output at load")
            << QStringList{"--no-open", "--library", CHATTYREADER, "card-number"} << QStringList()
            << 3
            << QStringList{"\nFAILED: the library broke the contract: the library wrote 19 bytes "
                           "to standard output at load\n"};
        QTest::newRow("a function whose name the library's symbol table has on data")
            << QStringList{"--no-open", "--library", DATAREADER, "card-number"} << QStringList()
            << 3
            << QStringList{"lacks VRK_ReadCarNo (the loader finds it in the library, whose symbol "
                           "table has it as no function)"};
        const QStringList preloading{
            "LD_PRELOAD=ROOT/hook/libhook.so",
            "ASAN_OPTIONS=" + QString::fromLocal8Bit(qgetenv("ASAN_OPTIONS"))
                + ":verify_asan_link_order=0"};
        const QStringList functions = readerFunctions(allFunctions, true);
        QTest::newRow("a preloaded library that defines reader functions")
            << QStringList{"library"} << preloading << 0
            << QStringList{"  found by: ",
                           "  preloaded: " + functions.join(", ")
                               + " from ROOT/hook/libhook.so (LD_PRELOAD), which the window calls "
                                 "in its place\n"};
        // Beside the file's identity, which the summary repeats.
        QTest::newRow("the same in JSON")
            << QStringList{"--json", "library"} << preloading << 0
            << QStringList{"{\"found_by\":\"",
                           "\"preloaded\":{\"from\":[{\"path\":\"ROOT/hook/libhook.so\"}],"
                           "\"functions\":[\"" + functions.join("\",\"") + "\"]}}\n"};
    }

    // cardreader-cli beside a copy of the window and the tiny library, with
    // the simulated reader in the working directory and the tiny library
    // again in hook/: the file it names is the one its calls reach.
    void namedAndCalled()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, variables);
        QFETCH(int, exitCode);
        QFETCH(QStringList, said);

        QTemporaryDir dir;
        const QString root = QFileInfo(dir.path()).canonicalFilePath();
        for (const QString &folder : {"app", "work", "hook"})
            QVERIFY(QDir(root).mkpath(folder));
        QVERIFY(QFile::copy(CLI, root + "/app/cardreader-cli"));
        QVERIFY(QFile::copy(TOOL, root + "/app/cardreader-tool"));
        QVERIFY(QFile::copy(TINYREADER, root + "/app/libVrkReaderClient.so"));
        QVERIFY(QFile::copy(SIMREADER, root + "/work/libVrkReaderClient.so"));
        QVERIFY(QFile::copy(TINYREADER, root + "/hook/libhook.so"));
        QMap<QString, QString> environment;
        for (const QString &variable : variables)
            environment.insert(variable.section('=', 0, 0),
                               variable.section('=', 1).replace("ROOT", root));
        QStringList command;
        if (qstrlen(EMULATOR) > 0)
            command << EMULATOR;
        QVERIFY(::chdir(QFile::encodeName(root + "/work").constData()) == 0);
        ChildProcess cli(root + "/work");
        QVERIFY(cli.start(command << root + "/app/cardreader-cli" << arguments, environment));
        QVERIFY(cli.finish());
        const QString output = QString::fromUtf8(cli.out + cli.err);
        for (const QString &text : said)
            QVERIFY2(output.contains(QString(text).replace("ROOT", root)), qPrintable(output));
        QCOMPARE(cli.exitCode, exitCode);
    }
};

QTEST_GUILESS_MAIN(tst_LibraryFile)
#include "tst_libraryfile.moc"
