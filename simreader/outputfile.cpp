#include "outputfile.h"

#include "warning.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        close(m_fd);
}

bool OutputFile::open(const char *what, const std::string &path, int flags)
{
    m_what = what;
    m_path = path;
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | flags, 0600);
    if (m_fd >= 0)
        return true;
    if (errno == ELOOP && (flags & O_NOFOLLOW))
        warn(m_what + " " + path + " is a symbolic link, which is never written through;"
             " name the file itself. Nothing is written");
    else
        failed("open");
    return false;
}

void OutputFile::write(std::string line)
{
    if (m_fd < 0 || m_broken)
        return;
    line += '\n';
    for (std::size_t done = 0; done < line.size();) {
        errno = 0;
        const ssize_t written = ::write(m_fd, line.data() + done, line.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            m_broken = true;
            return failed("write");
        }
        done += std::size_t(written);
    }
}

void OutputFile::failed(const char *action)
{
    const char *reason = errno ? std::strerror(errno) : "nothing was written";
    warn("cannot " + std::string(action) + " the " + m_what + " " + m_path + ": " + reason
         + "; its lines are lost");
}
