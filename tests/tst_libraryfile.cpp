#include "libraryfile.h"
#include "readerlibrary.h"
#include "sha256.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

namespace {

const unsigned allFunctions = (1u << readerFunctionCount) - 1;

QByteArray contents(const QByteArray &path)
{
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY);
    return fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)
        ? file.readAll() : QByteArray();
}

QByteArray sha256Hex(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray patched(QByteArray bytes, int at, std::initializer_list<int> values)
{
    for (int value : values)
        bytes[at++] = char(value);
    return bytes;
}

LibraryIdentity described(const QByteArray &path, const std::function<bool()> &stop = {})
{
    LibraryIdentity identity = findLibrary(path);
    readLibraryFile(identity, stop);
    ::close(identity.fd);
    return identity;
}

} // namespace

// Which library a run loads, read from the file's bytes alone: found as the
// loader finds it, hashed in bounded memory, and never misled by its bytes.
class tst_LibraryFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void sha256_data();
    void sha256();
    void hash_data();
    void hash();
    void sparseFileOver2GiB();
    void header_data();
    void header();
    void truncatedHeaders();
    void elf_data();
    void elf();
    void search_data();
    void search();

private:
    QByteArray file(const QByteArray &name, const QByteArray &bytes);

    QTemporaryDir m_dir;
    QByteArray m_root;
    QByteArray m_simulated;
    const QByteArray m_workingDirectory = QFile::encodeName(QDir::currentPath());
};

QByteArray tst_LibraryFile::file(const QByteArray &name, const QByteArray &bytes)
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

void tst_LibraryFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_root = QFile::encodeName(QFileInfo(m_dir.path()).canonicalFilePath());
    m_simulated = contents(SIMREADER);
    QVERIFY(m_simulated.size() > 1000);
}

void tst_LibraryFile::cleanup()
{
    qunsetenv("LD_LIBRARY_PATH");
    QVERIFY(::chdir(m_workingDirectory.constData()) == 0);
}

// QTemporaryDir goes through QString, which keeps no name that is not UTF-8.
void tst_LibraryFile::cleanupTestCase()
{
    const QByteArray notUtf8 = m_root + "/search/simulated-\xff\xfe";
    ::unlink((notUtf8 + "/libVrkReaderClient.so").constData());
    ::rmdir(notUtf8.constData());
}

void tst_LibraryFile::sha256_data()
{
    QTest::addColumn<bool>("withInstructions");
    QTest::newRow("portable") << false;
    QTest::newRow("the processor's instructions") << true;
}

void tst_LibraryFile::sha256()
{
    QFETCH(bool, withInstructions);
    if (withInstructions && !Sha256::instructionsAvailable())
        QSKIP("this processor has no SHA-256 instructions");
    const auto digest = [withInstructions](const QByteArray &message, int piece) {
        Sha256 sha256(withInstructions);
        for (int at = 0; at < message.size(); at += piece)
            sha256.add(reinterpret_cast<const unsigned char *>(message.constData()) + at,
                       std::size_t(std::min(piece, int(message.size()) - at)));
        unsigned char bytes[32];
        sha256.finish(bytes);
        return QByteArray(reinterpret_cast<const char *>(bytes), 32).toHex();
    };
    QCOMPARE(digest("abc", 1),
             QByteArray("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"));
    QCOMPARE(digest("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", 7),
             QByteArray("248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"));
    QCOMPARE(digest(QByteArray(1000000, 'a'), 4096),
             QByteArray("cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"));
    QByteArray message;
    for (int size = 0; size <= 300; ++size, message += char(size * 37 + 11)) {
        for (int piece : {1, 63, 64, 65, 301})
            QCOMPARE(digest(message, piece), sha256Hex(message));
    }
}

void tst_LibraryFile::hash_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("64 KiB and one byte: two reads") << 64 * 1024 + 1;
    QTest::newRow("3 MiB: asked whether to stop at each MiB") << (3 << 20);
}

void tst_LibraryFile::hash()
{
    QFETCH(int, size);
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((uint(i) * 7919u) >> 5);
    int polls = 0;
    const LibraryIdentity identity = described(file("hash/bytes", bytes), [&polls] {
        ++polls;
        return false;
    });
    QCOMPARE(identity.unusable, QStringLiteral("not an ELF file"));
    QCOMPARE(identity.size, qint64(size));
    QCOMPARE(identity.sha256, sha256Hex(bytes));
    QCOMPARE(polls, size >> 20);
}

void tst_LibraryFile::sparseFileOver2GiB()
{
    const QByteArray path = file("sparse/huge.so", QByteArray());
    QFile sparse(QFile::decodeName(path));
    QVERIFY(sparse.resize(2147483649LL));
    QCOMPARE(described(path, [] { return true; }).size, 2147483649LL);
    int polls = 0;
    QElapsedTimer timer;
    timer.start();
    const LibraryIdentity stopped = described(path, [&polls] { return ++polls == 2; });
    QVERIFY(stopped.sha256.isEmpty());
    QCOMPARE(polls, 2);
    QVERIFY2(timer.elapsed() < 5000, "stopping must end the hashing");
}

void tst_LibraryFile::header_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("unusable");

    const auto name = [](int machine) {
        return machine == EM_X86_64 ? QStringLiteral("x86-64")
            : machine == EM_AARCH64 ? QStringLiteral("AArch64") : QString();
    };
    const int own = uchar(m_simulated[18]) | uchar(m_simulated[19]) << 8;
    const int other = own == EM_X86_64 ? EM_AARCH64 : EM_X86_64;
    const bool is64 = m_simulated.at(EI_CLASS) == ELFCLASS64;
    QTest::newRow("the simulated reader") << QByteArray() << m_simulated << QString();
    QTest::newRow("text") << QByteArray() << QByteArray("INPUT(-lfoo)\n") << "not an ELF file";
    if (!name(own).isEmpty()) {
        QTest::newRow("another machine's")
            << QByteArray() << patched(m_simulated, 18, {other, other >> 8})
            << "built for " + name(other) + ", this is " + name(own);
        QTest::newRow("another word size")
            << QByteArray() << patched(m_simulated, EI_CLASS, {is64 ? 1 : 2})
            << QString("built for %1 %3, this is %2 %3")
                   .arg(is64 ? "32-bit" : "64-bit", is64 ? "64-bit" : "32-bit", name(own));
        QTest::newRow("the other byte order")
            << QByteArray()
            << patched(patched(m_simulated, EI_DATA, {ELFDATA2MSB}), 18, {own >> 8, own})
            << "built for big-endian " + name(own) + ", this is little-endian " + name(own);
    }
    QTest::newRow("an executable") << QByteArray() << patched(m_simulated, 16, {ET_EXEC, 0})
        << "not a shared library";
    QTest::newRow("/dev/zero, which never ends") << QByteArray("/dev/zero") << QByteArray()
        << "not a regular file";
    QTest::newRow("no file") << m_root + "/none/libVrkReaderClient.so" << QByteArray()
        << "cannot open it: " + QString::fromLocal8Bit(std::strerror(ENOENT));
}

void tst_LibraryFile::header()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, unusable);
    if (path.isEmpty())
        path = file("header/libVrkReaderClient.so", bytes);
    const LibraryIdentity identity = findLibrary(path);
    QCOMPARE(identity.path, path);
    QCOMPARE(identity.unusable, unusable);
    QCOMPARE(identity.fd >= 0, !bytes.isEmpty());
    ::close(identity.fd);
}

void tst_LibraryFile::truncatedHeaders()
{
    const int headerSize = m_simulated.at(EI_CLASS) == ELFCLASS64 ? 64 : 52;
    for (int size = 0; size <= 200; ++size) {
        const QByteArray bytes = m_simulated.left(size);
        const LibraryIdentity identity = described(file("truncated/lib.so", bytes));
        QCOMPARE(identity.unusable, size < SELFMAG ? QString("not an ELF file")
                     : size < headerSize ? QString("a damaged ELF file") : QString());
        QCOMPARE(identity.sha256, sha256Hex(bytes));
        QVERIFY(identity.soname.isEmpty() && !identity.exportsKnown);
    }
}

void tst_LibraryFile::elf_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("soname");
    QTest::addColumn<QByteArray>("simulated");
    QTest::addColumn<bool>("exportsKnown");
    QTest::addColumn<unsigned>("exported");

    QTest::newRow("the simulated reader")
        << QByteArray(SIMREADER) << QByteArray("libVrkReaderClient.so")
        << QByteArray("simulated reader ") << true << allFunctions;
    QTest::newRow("a library without VRK_MagCardRead")
        << QByteArray(PARTIALREADER) << QByteArray("libpartialreader.so") << QByteArray() << true
        << (allFunctions & ~(1u << 11));

    // The library's own section headers, then more that all point at the
    // same notes: the work stays bounded, and past a bound nothing is read.
    const auto crafted = [this](int sections, int noteBytes) {
        QByteArray notes;
        while (notes.size() < noteBytes)
            notes += QByteArray::fromRawData("\2\0\0\0\0\0\0\0\1\0\0\0X\0\0\0", 16);
        Elf64_Ehdr header;
        std::memcpy(&header, m_simulated.constData(), sizeof header);
        QByteArray table =
            m_simulated.mid(int(header.e_shoff), header.e_shnum * int(sizeof(Elf64_Shdr)));
        Elf64_Shdr note = {};
        note.sh_type = SHT_NOTE;
        note.sh_offset = quint64(m_simulated.size());
        note.sh_size = quint64(notes.size());
        while (table.size() < sections * int(sizeof note))
            table += QByteArray(reinterpret_cast<const char *>(&note), sizeof note);
        QByteArray bytes = m_simulated + notes;
        const quint64 tableAt = quint64(bytes.size());
        bytes.replace(int(offsetof(Elf64_Ehdr, e_shoff)), int(sizeof tableAt),
                      reinterpret_cast<const char *>(&tableAt), int(sizeof tableAt));
        bytes = patched(bytes, offsetof(Elf64_Ehdr, e_shnum), {sections, sections >> 8});
        return file("crafted/" + QByteArray::number(sections), bytes + table);
    };
    QTest::newRow("65,535 section headers over 2.4 MB of notes") << crafted(65535, 2400000)
        << QByteArray() << QByteArray() << false << 0u;
    QTest::newRow("4,096 section headers over 1 MiB of notes each")
        << crafted(4096, 1 << 20) << QByteArray("libVrkReaderClient.so")
        << QByteArray("simulated reader ") << true << allFunctions;
}

void tst_LibraryFile::elf()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, soname);
    QFETCH(QByteArray, simulated);
    QFETCH(bool, exportsKnown);
    QFETCH(unsigned, exported);
    QElapsedTimer timer;
    timer.start();
    const LibraryIdentity identity = described(path, [] { return true; });
    QVERIFY2(timer.elapsed() < 1000, "a crafted file must not make work");
    QCOMPARE(identity.soname, soname);
    QVERIFY(identity.simulated.startsWith(simulated)
            && identity.simulated.isEmpty() == simulated.isEmpty());
    QCOMPARE(identity.buildId.size() >= 16, !soname.isEmpty());
    QCOMPARE(identity.exportsKnown, exportsKnown);
    QCOMPARE(identity.exported, exported);
}

void tst_LibraryFile::search_data()
{
    QTest::addColumn<QByteArray>("libraryPath");
    QTest::addColumn<QByteArray>("option");
    QTest::addColumn<QByteArray>("found");
    QTest::addColumn<QString>("unusable");

    const QByteArray name = "/libVrkReaderClient.so";
    const QByteArray notUtf8 = "search/simulated-\xff\xfe";
    file(notUtf8 + name, m_simulated);
    file("search/text" + name, "text");
    file(name.mid(1), "text");
    file("search/other" + name,
         patched(m_simulated, EI_CLASS, {m_simulated.at(EI_CLASS) == 1 ? 2 : 1}));
    const QByteArray in = m_root + "/search/";
    QTest::newRow("the first that loads, past an empty element (not the working directory), "
                  "an absent file and a 32-bit one")
        << ":" + in + "absent:" + in + "other:" + m_root + '/' + notUtf8 << QByteArray()
        << m_root + '/' + notUtf8 + name << QString();
    QTest::newRow("a file that is not ELF ends the search")
        << in + "text:" + m_root + '/' + notUtf8 << QByteArray() << in + "text" + name
        << "not an ELF file";
    QTest::newRow("a directory relative to the working directory")
        << "./" + notUtf8 << QByteArray() << m_root + '/' + notUtf8 + name << QString();
    QTest::newRow("--library before LD_LIBRARY_PATH, relative to the working directory")
        << in + "text" << "./" + notUtf8 + name << m_root + '/' + notUtf8 + name << QString();
}

void tst_LibraryFile::search()
{
    QFETCH(QByteArray, libraryPath);
    QFETCH(QByteArray, option);
    QFETCH(QByteArray, found);
    QFETCH(QString, unusable);
    qputenv("LD_LIBRARY_PATH", libraryPath);
    QVERIFY(::chdir(m_root.constData()) == 0);
    const LibraryIdentity identity = described(option);
    QCOMPARE(identity.path, found);
    QCOMPARE(identity.unusable, unusable);
    QCOMPARE(identity.sha256, sha256Hex(contents(found)));
}

QTEST_GUILESS_MAIN(tst_LibraryFile)
#include "tst_libraryfile.moc"
