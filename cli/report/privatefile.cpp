#include "privatefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// What could not be done, and the system's reason, taken from errno before
// anything else can change it.
QString failure(const char *what)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    return QCoreApplication::translate("PrivateFile", what).arg(reason);
}

bool replaceable(const QByteArray &target, QString &why)
{
    struct stat status;
    if (::stat(target.constData(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        why = failure(QT_TRANSLATE_NOOP("PrivateFile", "cannot look at it: %1"));
        return false;
    }
    if (S_ISREG(status.st_mode))
        return true;
    why = S_ISDIR(status.st_mode)
        ? QCoreApplication::translate("PrivateFile", "it is a directory")
        : QCoreApplication::translate("PrivateFile", "it is not a regular file");
    return false;
}

// Opens a new file beside the target, readable by its owner alone from its
// creation, and gives its name; -1 when the target may not be replaced.
int temporaryBeside(const QByteArray &target, QByteArray &name, QString &why)
{
    if (!replaceable(target, why))
        return -1;
    const QFileInfo info(QFile::decodeName(target));
    const QByteArray directory = QFile::encodeName(info.absolutePath());
    name = directory + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        why = QCoreApplication::translate("PrivateFile", "cannot create a file in %1: %2")
                  .arg(QFile::decodeName(directory), reason);
    }
    return fd;
}

} // namespace

int beginPrivateFile(const QString &path, QByteArray &temporary, QString &why)
{
    const int fd = temporaryBeside(QFile::encodeName(path), temporary, why);
    // Exactly 0600, whatever the umask took away: the owner rewrites it.
    if (fd >= 0 && ::fchmod(fd, S_IRUSR | S_IWUSR) != 0) {
        why = failure(QT_TRANSLATE_NOOP("PrivateFile", "cannot write it: %1"));
        ::close(fd);
        ::unlink(temporary.constData());
        return -1;
    }
    return fd;
}

bool writeWhole(int fd, const char *bytes, std::size_t size)
{
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

bool writePrivateFile(const QString &path, const QByteArray &bytes, QString &why)
{
    QByteArray name;
    const int fd = beginPrivateFile(path, name, why);
    if (fd < 0)
        return false;
    const bool written = writeWhole(fd, bytes.constData(), std::size_t(bytes.size()));
    if (!written)
        why = failure(QT_TRANSLATE_NOOP("PrivateFile", "cannot write it: %1"));
    return finishPrivateFile(path, fd, name, written, why);
}

bool finishPrivateFile(const QString &path, int fd, const QByteArray &name, bool ok, QString &why)
{
    const QByteArray target = QFile::encodeName(path);
    ok = ok && ::fsync(fd) == 0;
    if (!ok && why.isEmpty())
        why = failure(QT_TRANSLATE_NOOP("PrivateFile", "cannot write it: %1"));
    if (::close(fd) != 0 && ok) {
        why = failure(QT_TRANSLATE_NOOP("PrivateFile", "cannot write it: %1"));
        ok = false;
    }
    // Looked at again: what was a regular file at start may since have been
    // replaced by a directory or a device.
    ok = ok && replaceable(target, why);
    if (ok && ::rename(name.constData(), target.constData()) != 0) {
        why = failure(QT_TRANSLATE_NOOP("PrivateFile", "cannot replace it: %1"));
        ok = false;
    }
    if (!ok)
        ::unlink(name.constData());
    return ok;
}

bool canWritePrivateFile(const QString &path, QString &why)
{
    QByteArray name;
    const int fd = temporaryBeside(QFile::encodeName(path), name, why);
    if (fd < 0)
        return false;
    ::close(fd);
    ::unlink(name.constData());
    return true;
}
