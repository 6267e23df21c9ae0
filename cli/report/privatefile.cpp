#include "privatefile.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

QString reason()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool replaceable(const QByteArray &target, QString &why)
{
    struct stat status;
    if (::stat(target.constData(), &status) != 0) {
        if (errno == ENOENT)
            return true;
        why = "cannot look at it: " + reason();
        return false;
    }
    if (S_ISREG(status.st_mode))
        return true;
    why = S_ISDIR(status.st_mode) ? QStringLiteral("it is a directory")
                                  : QStringLiteral("it is not a regular file");
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
    if (fd < 0)
        why = "cannot create a file in " + QFile::decodeName(directory) + ": " + reason();
    return fd;
}

} // namespace

bool writePrivateFile(const QString &path, const QByteArray &bytes, QString &why)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray name;
    const int fd = temporaryBeside(target, name, why);
    if (fd < 0)
        return false;
    // Exactly 0600, whatever the umask took away: the owner rewrites it.
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    for (qint64 done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += n;
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok)
        why = "cannot write it: " + reason();
    if (::close(fd) != 0 && ok) {
        why = "cannot write it: " + reason();
        ok = false;
    }
    // Looked at again: what was a regular file at start may since have been
    // replaced by a directory or a device.
    ok = ok && replaceable(target, why);
    if (ok && ::rename(name.constData(), target.constData()) != 0) {
        why = "cannot replace it: " + reason();
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
