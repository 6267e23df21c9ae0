#include "strayoutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace {

// An unnamed file that takes every write at its end, so that emptying it
// between calls leaves no gap whatever the writer's offset.
int catchFile()
{
    FILE *file = std::tmpfile();
    if (!file)
        return -1;
    const int fd = fcntl(fileno(file), F_DUPFD_CLOEXEC, 3);
    std::fclose(file);
    if (fd >= 0)
        fcntl(fd, F_SETFL, O_APPEND);
    return fd;
}

} // namespace

bool StrayOutput::create()
{
    m_out = catchFile();
    m_err = catchFile();
    return m_out >= 0 && m_err >= 0;
}

bool StrayOutput::divert()
{
    m_programOut = fcntl(1, F_DUPFD_CLOEXEC, 3);
    m_programErr = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (m_programOut < 0 || m_programErr < 0 || dup2(m_out, 1) < 0 || dup2(m_err, 2) < 0)
        return false;
    // The library's printf reaches the file at once, even if it then crashes.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return true;
}

StrayOutput::Taken StrayOutput::takeOut()
{
    std::fflush(stdout);
    return take(m_out);
}

StrayOutput::Taken StrayOutput::takeErr()
{
    std::fflush(stderr);
    return take(m_err);
}

StrayOutput::Taken StrayOutput::take(int fd)
{
    Taken taken;
    struct stat status;
    if (fd < 0 || fstat(fd, &status) != 0 || status.st_size == 0)
        return taken;
    taken.size = status.st_size;
    taken.bytes.resize(int(qMin(qint64(status.st_size), qint64(kept))));
    const ssize_t got = pread(fd, taken.bytes.data(), std::size_t(taken.bytes.size()), 0);
    taken.bytes.resize(got > 0 ? int(got) : 0);
    // Should emptying fail, the next call shows these bytes again.
    const int emptied = ftruncate(fd, 0);
    static_cast<void>(emptied);
    return taken;
}
