#include "output.h"

#include "run/runstate.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool writeAll(int fd, const QByteArray &bytes)
{
    errno = 0;
    for (int done = 0; done < bytes.size();) {
        const ssize_t written =
            ::write(fd, bytes.constData() + done, std::size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += int(written);
    }
    return true;
}

} // namespace

Output::Output(int out, int err)
    : m_out(out)
    , m_err(err)
{
    struct stat status;
    if (fstat(m_out, &status) == 0) {
        m_device = status.st_dev;
        m_inode = status.st_ino;
    }
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0)
        m_fileSizeLimit = limit.rlim_cur;
}

bool Output::sameDescriptor() const
{
    struct stat status;
    return fstat(m_out, &status) == 0 && status.st_dev == m_device && status.st_ino == m_inode;
}

QString Output::lost() const
{
    if (!sameDescriptor())
        return QStringLiteral("closed or replaced the calling process's standard output");
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur < m_fileSizeLimit)
        return QStringLiteral("lowered the calling process's file size limit (RLIMIT_FSIZE)");
    return QString();
}

bool Output::write(const QByteArray &bytes)
{
    clearProgress();
    // Checked before each write: a descriptor the library replaced would
    // take the output into its own file without a failure. The failure is
    // this process's own to remember: the shared one tells the watcher, and
    // the library can write it.
    if (m_failed || !sameDescriptor())
        return false;
    if (writeAll(m_out, bytes))
        return true;
    const int failure = errno ? errno : EIO;
    if (!lost().isEmpty())
        return false;
    m_failed = true;
    // Said once for both processes, as they write to the same output.
    const bool said = runState().outputFailed == failure;
    runState().outputFailed = failure;
    if (!said && (failure != EPIPE || !runState().quietBrokenPipe))
        error("cannot write the output: " + QString::fromLocal8Bit(std::strerror(failure)));
    return false;
}

void Output::error(const QString &message)
{
    clearProgress();
    writeAll(m_err, ("cardreader-cli: " + message + '\n').toUtf8());
}

void Output::progress(int round, int rounds)
{
    if (!m_progress)
        return;
    clearProgress();
    const QByteArray count = QByteArray::number(round) + '/' + QByteArray::number(rounds);
    m_progressWidth = count.size();
    writeAll(m_err, count);
}

void Output::clearProgress()
{
    if (m_progressWidth > 0)
        writeAll(m_err, '\r' + QByteArray(m_progressWidth, ' ') + '\r');
    m_progressWidth = 0;
}
