#include "bundle.h"

#include "report/privatefile.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const char manifestName[] = "SHA256SUMS";

QString systemReason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString folderPath(const QString &folder)
{
    return QDir::cleanPath(QDir(folder).absolutePath());
}

// privatefile's temporaries: ".NAME.XXXXXX", left behind only by a run
// that died while writing; they are no part of the record.
bool isTemporary(const QByteArray &name)
{
    const int dot = name.lastIndexOf('.');
    return name.startsWith('.') && dot > 0 && name.size() - dot == 7;
}

// The bundle's regular files in byte order, as `LC_ALL=C sort` and a
// reader of the manifest expect them, whatever the locale.
bool bundleFiles(const QString &folder, QList<QByteArray> &names, QString &why)
{
    QDir dir(folder);
    if (!dir.exists()) {
        why = QCoreApplication::translate("Bundle", "it is not there");
        return false;
    }
    const QStringList entries =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    for (const QString &entry : entries) {
        const QByteArray name = QFile::encodeName(entry);
        struct stat status;
        const QByteArray path = QFile::encodeName(folder) + '/' + name;
        if (::lstat(path.constData(), &status) == 0 && S_ISREG(status.st_mode)
            && !isTemporary(name))
            names << name;
    }
    std::sort(names.begin(), names.end());
    return true;
}

bool hashFile(const QString &path, QByteArray &hex, QString &why)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file)) {
        why = QCoreApplication::translate("Bundle", "cannot read %1: %2")
                  .arg(QFileInfo(path).fileName(), file.errorString());
        return false;
    }
    hex = hash.result().toHex();
    return true;
}

// sha256sum's own escape: a name holding a backslash or a line break is
// written with them escaped and the line marked by a leading backslash.
QByteArray manifestLine(const QByteArray &hex, const QByteArray &name)
{
    if (!name.contains('\\') && !name.contains('\n'))
        return hex + "  " + name + '\n';
    QByteArray escaped = name;
    escaped.replace('\\', "\\\\").replace('\n', "\\n");
    return '\\' + hex + "  " + escaped + '\n';
}

// The archive is written here rather than by tar and gzip: the watching
// process reaps every child it has, and Qt's QProcess would hand its
// SIGCHLD handler to the sigaction the program takes over from the
// library. ustar holds the few short names of a bundle, and each
// megabyte of it goes into a gzip member of its own, compressed by Qt's
// zlib: gzip and tar read a file of members as one stream, and the
// archive of a long burn-in's calls is never held in memory at once.
class Archive
{
public:
    explicit Archive(int fd) : m_fd(fd) {}

    bool put(const QByteArray &bytes, QString &why)
    {
        m_pending += bytes;
        return m_pending.size() < memberSize || flush(why);
    }
    // Two zero blocks end it.
    bool finish(QString &why) { return put(QByteArray(1024, '\0'), why) && flush(why); }

private:
    static const int memberSize = 1 << 20;

    bool flush(QString &why)
    {
        if (m_pending.isEmpty())
            return true;
        // qCompress gives the size, zlib's two-byte header, the deflate
        // data and its four-byte Adler-32: gzip wants the data alone.
        const QByteArray zlib = qCompress(m_pending, 6);
        QByteArray member("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
        member += zlib.mid(6, zlib.size() - 10);
        appendLittleEndian(member, crc32(m_pending));
        appendLittleEndian(member, quint32(m_pending.size()));
        m_pending.clear();
        if (writeWhole(m_fd, member.constData(), std::size_t(member.size())))
            return true;
        why = QCoreApplication::translate("Bundle", "cannot write it: %1").arg(systemReason());
        return false;
    }

    static void appendLittleEndian(QByteArray &out, quint32 value)
    {
        for (int i = 0; i < 4; ++i)
            out += char((value >> (8 * i)) & 0xff);
    }

    static quint32 crc32(const QByteArray &bytes)
    {
        static quint32 table[256];
        if (!table[1]) {
            for (quint32 n = 0; n < 256; ++n) {
                quint32 c = n;
                for (int k = 0; k < 8; ++k)
                    c = c & 1 ? 0xedb88320u ^ (c >> 1) : c >> 1;
                table[n] = c;
            }
        }
        quint32 crc = 0xffffffffu;
        for (const char byte : bytes)
            crc = table[(crc ^ quint8(byte)) & 0xff] ^ (crc >> 8);
        return crc ^ 0xffffffffu;
    }

    int m_fd;
    QByteArray m_pending;
};

// ustar's size field holds 11 octal digits.
const qint64 largestFile = (qint64(1) << 33) - 1;

void octal(QByteArray &header, int at, int width, qint64 value)
{
    const QByteArray digits = QByteArray::number(std::max<qint64>(value, 0), 8);
    header.replace(at, width - 1, digits.rightJustified(width - 1, '0'));
}

// A ustar header: a file's name goes in the name field and its folder's in
// the prefix field, so that each may be as long as a bundle's names are.
QByteArray tarHeader(const QByteArray &prefix, const QByteArray &name, const struct stat &status,
                     bool directory)
{
    QByteArray header(512, '\0');
    header.replace(0, name.size(), name);
    octal(header, 100, 8, directory ? 0700 : 0600);
    octal(header, 108, 8, status.st_uid);
    octal(header, 116, 8, status.st_gid);
    octal(header, 124, 12, directory ? 0 : status.st_size);
    octal(header, 136, 12, status.st_mtime);
    header[156] = directory ? '5' : '0';
    header.replace(257, 8, QByteArray("ustar\0" "00", 8));
    header.replace(345, prefix.size(), prefix);
    header.replace(148, 8, QByteArray(8, ' '));
    int sum = 0;
    for (const char byte : header)
        sum += quint8(byte);
    header.replace(148, 7, QByteArray::number(sum, 8).rightJustified(6, '0') + '\0');
    return header;
}

bool packFile(Archive &archive, const QString &folder, const QByteArray &prefix,
              const QByteArray &name, QString &why)
{
    const QString shownName = QFile::decodeName(name);
    QFile file(folder + '/' + shownName);
    struct stat status;
    if (!file.open(QIODevice::ReadOnly) || ::fstat(file.handle(), &status) != 0) {
        why = QCoreApplication::translate("Bundle", "cannot read %1: %2")
                  .arg(shownName, file.errorString());
        return false;
    }
    if (status.st_size > largestFile) {
        why = QCoreApplication::translate("Bundle", "%1 is larger than an archive holds")
                  .arg(shownName);
        return false;
    }
    if (!archive.put(tarHeader(prefix, name, status, false), why))
        return false;
    for (qint64 left = status.st_size; left > 0;) {
        const QByteArray chunk = file.read(std::min<qint64>(left, 1 << 16));
        if (chunk.isEmpty()) {
            why = QCoreApplication::translate("Bundle", "%1 changed while it was packed")
                      .arg(shownName);
            return false;
        }
        left -= chunk.size();
        if (!archive.put(chunk, why))
            return false;
    }
    return archive.put(QByteArray(int((512 - status.st_size % 512) % 512), '\0'), why);
}

} // namespace

bool makeBundleFolder(const QString &folder, QString &why)
{
    const QString path = folderPath(folder);
    const QByteArray encoded = QFile::encodeName(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (::mkdir(encoded.constData(), S_IRWXU) == 0) {
        // Exactly 0700, whatever the umask took away.
        if (::chmod(encoded.constData(), S_IRWXU) == 0)
            return true;
        why = QCoreApplication::translate("Bundle", "cannot make it private: %1")
                  .arg(systemReason());
        return false;
    }
    if (errno != EEXIST) {
        why = QCoreApplication::translate("Bundle", "cannot make it: %1").arg(systemReason());
        return false;
    }
    // A folder someone else made, or left open to others, could be read or
    // changed under the run: it is not taken over, nor its mode changed.
    struct stat status;
    if (::lstat(encoded.constData(), &status) != 0) {
        why = QCoreApplication::translate("Bundle", "cannot look at it: %1").arg(systemReason());
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        why = QCoreApplication::translate("Bundle", "it is there and is not a folder");
        return false;
    }
    if (status.st_uid != ::geteuid()) {
        why = QCoreApplication::translate("Bundle", "it belongs to another user (uid %1)")
                  .arg(status.st_uid);
        return false;
    }
    if (status.st_mode & (S_IRWXG | S_IRWXO)) {
        why = QCoreApplication::translate(
                  "Bundle", "it is open to other users (mode %1): make it 0700 or name another")
                  .arg(QString::number(status.st_mode & 07777, 8).rightJustified(4, '0'));
        return false;
    }
    return true;
}

bool writeBundleFile(const QString &folder, const QString &name, const QByteArray &bytes,
                     QString &why)
{
    if (!writePrivateFile(folderPath(folder) + '/' + name, bytes, why)) {
        why = name + ": " + why;
        return false;
    }
    return true;
}

bool writeManifest(const QString &folder, QString &why)
{
    const QString path = folderPath(folder);
    QList<QByteArray> names;
    if (!bundleFiles(path, names, why))
        return false;
    QByteArray manifest;
    for (const QByteArray &name : names) {
        if (name == manifestName)
            continue;
        QByteArray hex;
        if (!hashFile(path + '/' + QFile::decodeName(name), hex, why))
            return false;
        manifest += manifestLine(hex, name);
    }
    return writeBundleFile(path, QLatin1String(manifestName), manifest, why);
}

bool canArchive(const QString &folder, QString &why)
{
    const QString path = folderPath(folder);
    // The folder's own entry holds its name and a slash in the name field.
    if (QFile::encodeName(QFileInfo(path).fileName()).size() > 99) {
        why = QCoreApplication::translate("Bundle",
                                          "its name is longer than the 99 bytes an archive holds");
        return false;
    }
    const QFileInfo archive(path + QLatin1String(".tar.gz"));
    if (archive.exists() || archive.isSymLink()) {
        why = QCoreApplication::translate("Bundle", "%1 is there already").arg(archive.filePath());
        return false;
    }
    return true;
}

bool archiveBundle(const QString &folder, QString &archivePath, QString &why)
{
    const QString path = folderPath(folder);
    const QByteArray prefix = QFile::encodeName(QFileInfo(path).fileName());
    QList<QByteArray> names;
    if (!canArchive(folder, why) || !bundleFiles(path, names, why))
        return false;
    for (const QByteArray &name : names) {
        if (name.size() > 100) {
            why = QCoreApplication::translate(
                      "Bundle", "%1: the name is longer than the 100 bytes an archive holds")
                      .arg(QFile::decodeName(name));
            return false;
        }
    }
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        why = QCoreApplication::translate("Bundle", "cannot look at it: %1").arg(systemReason());
        return false;
    }
    archivePath = path + QLatin1String(".tar.gz");
    QByteArray temporary;
    const int fd = beginPrivateFile(archivePath, temporary, why);
    bool ok = fd >= 0;
    if (ok) {
        Archive archive(fd);
        // The folder's entry first, so that it unpacks as private as it is.
        bool packed = archive.put(tarHeader(QByteArray(), prefix + '/', status, true), why);
        for (int i = 0; packed && i < names.size(); ++i)
            packed = packFile(archive, path, prefix, names.at(i), why);
        packed = packed && archive.finish(why);
        ok = finishPrivateFile(archivePath, fd, temporary, packed, why);
    }
    if (!ok)
        why = QFileInfo(archivePath).fileName() + ": " + why;
    return ok;
}
