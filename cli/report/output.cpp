#include "output.h"
#include "language.h"

#include "run/runstate.h"

#include <QCoreApplication>

#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

// Back to the start of the line, and the line erased: a line that is not
// there is erased to no effect, so either process may send it at any time.
const char eraseLine[] = "\r\033[K";

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

void failedBecause(const char *what)
{
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    writeAll(STDERR_FILENO, ("cardreader-cli: " + QCoreApplication::translate("Run", what) + ": "
                             + reason + '\n').toUtf8());
}

bool progressShown(const Options &options, int fd)
{
    const char *terminal = std::getenv("TERM");
    const bool waits = options.repeat > 1 || (options.guided && options.prompted);
    return waits && !options.operations.isEmpty() && isatty(fd)
        && !(terminal && std::strcmp(terminal, "dumb") == 0);
}

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
    // Checked before each write: a descriptor the library replaced would
    // take the output into its own file without a failure. The failure is
    // this process's own to remember: the shared one tells the watcher, and
    // the library can write it.
    if (m_failed || !sameDescriptor())
        return false;
    if (writeAll(m_out, cleared(m_out, bytes)))
        return true;
    const int failure = errno ? errno : EIO;
    if (!lost().isEmpty())
        return false;
    m_failed = true;
    // Said once for both processes, as they write to the same output.
    const bool said = runState().outputFailed == failure;
    runState().outputFailed = failure;
    if (!said && (failure != EPIPE || !runState().quietBrokenPipe))
        error(QCoreApplication::translate("Run", "cannot write the output: %1")
                  .arg(QString::fromLocal8Bit(std::strerror(failure))));
    return false;
}

void Output::error(const QString &message)
{
    writeAll(m_err, cleared(m_err, ("cardreader-cli: " + message + '\n').toUtf8()));
}

void Output::ask(const QString &text)
{
    writeAll(m_err, cleared(m_err, text.toUtf8()));
}

void Output::besideProgress(bool shown)
{
    m_progress = shown;
    struct stat out, err;
    m_outOnProgressTerminal = shown && fstat(m_out, &out) == 0 && fstat(m_err, &err) == 0
        && S_ISCHR(out.st_mode) && S_ISCHR(err.st_mode) && out.st_rdev == err.st_rdev;
}

// The bytes to write to fd, after the progress line's erasure where the line
// may stand on fd's terminal. One write: a progress line that the other
// process draws between two writes would be glued to the second.
QByteArray Output::cleared(int fd, const QByteArray &bytes)
{
    if (!m_progress || (fd == m_out && !m_outOnProgressTerminal))
        return bytes;
    m_progressDrawn = false;
    return eraseLine + bytes;
}

// A line as wide as the terminal would wrap, and the erasure would then reach
// only its last row.
int Output::progressColumns() const
{
    winsize size{};
    return ioctl(m_err, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col - 1 : 79;
}

void Output::progress(const QString &line)
{
    if (!m_progress)
        return;
    m_progressDrawn = writeAll(m_err, eraseLine + fitted(line, progressColumns()).toUtf8());
}

void Output::clearProgress()
{
    if (m_progressDrawn)
        writeAll(m_err, eraseLine);
    m_progressDrawn = false;
}
