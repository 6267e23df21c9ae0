#include "output.h"

#include "runstate.h"

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

void Output::write(const QByteArray &bytes)
{
    clearProgress();
    if (runState().outputFailed || writeAll(m_out, bytes))
        return;
    const int failure = errno ? errno : EIO;
    runState().outputFailed = failure;
    if (failure != EPIPE || !runState().quietBrokenPipe)
        error("cannot write the output: " + QString::fromLocal8Bit(std::strerror(failure)));
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
