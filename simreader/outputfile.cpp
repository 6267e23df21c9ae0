#include "outputfile.h"

#include "warning.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool beginsWith(int fd, const std::string &mark)
{
    std::string start(mark.size(), '\0');
    return pread(fd, &start[0], start.size(), 0) == ssize_t(start.size()) && start == mark;
}

} // namespace

OutputFile::~OutputFile()
{
    if (m_fd >= 0)
        close(m_fd);
}

// Opens without waiting: a FIFO with no reader fails at once instead of
// holding the first call, and is then refused as no regular file.
int OutputFile::openPlainly(const char *what, const std::string &path, int flags)
{
    m_what = what;
    m_path = path;
    const int fd = ::open(path.c_str(), O_CREAT | O_CLOEXEC | O_NONBLOCK | flags, 0600);
    if (fd >= 0)
        return fd;
    if (errno == ELOOP && (flags & O_NOFOLLOW))
        warn(m_what + " " + path + " is a symbolic link, which is never written through;"
             " name the file itself. Nothing is written");
    else
        failed("open");
    return -1;
}

bool OutputFile::openLog(const std::string &path)
{
    const int fd = openPlainly("call log", path, O_WRONLY | O_APPEND);
    struct stat file, standardError;
    if (fd < 0 || fstat(fd, &file) != 0)
        return false;
    const bool chosenOnPurpose =
        isatty(fd) || (fstat(STDERR_FILENO, &standardError) == 0 && sameFile(file, standardError));
    if (!S_ISREG(file.st_mode) && !chosenOnPurpose) {
        refuse(fd, "is no regular file: a FIFO, socket or device could hold every call."
                   " Name a file, a terminal or /dev/stderr");
        return false;
    }
    fcntl(fd, F_SETFL, O_APPEND);
    m_fd = fd;
    return true;
}

bool OutputFile::openRecording(const std::string &path, const std::string &makerLibrary,
                               const std::string &header)
{
    const int fd = openPlainly("recording", path, O_RDWR | O_NOFOLLOW);
    struct stat file, maker;
    if (fd < 0 || fstat(fd, &file) != 0)
        return false;
    const std::string mark = header.substr(0, header.find(','));
    if (!S_ISREG(file.st_mode))
        refuse(fd, "is no regular file");
    else if (stat(makerLibrary.c_str(), &maker) == 0 && sameFile(file, maker))
        refuse(fd, "is the maker's library itself");
    else if (file.st_nlink > 1)
        refuse(fd, "has other names (hard links), which would show the recording too;"
                   " name a file of its own");
    else if (file.st_size > 0 && !beginsWith(fd, mark))
        refuse(fd, "is not a recording: recordings begin \"" + mark + "\"");
    else if (fchmod(fd, 0600) != 0 || ftruncate(fd, 0) != 0) {
        failed("replace");
        close(fd);
    } else {
        fcntl(fd, F_SETFL, 0);
        m_fd = fd;
        write(header);
        return true;
    }
    return false;
}

void OutputFile::refuse(int fd, const std::string &why)
{
    close(fd);
    warn(m_what + " " + m_path + " " + why + "; it is left as it is and nothing is written");
}

void OutputFile::write(std::string line)
{
    if (m_fd < 0)
        return;
    line += '\n';
    for (std::size_t done = 0; done < line.size();) {
        errno = 0;
        const ssize_t written = ::write(m_fd, line.data() + done, line.size() - done);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            failed("write");
            close(m_fd);
            m_fd = -1;
            return;
        }
        done += std::size_t(written);
    }
    m_written += line.size();
}

void OutputFile::stop(const std::string &why)
{
    if (m_fd < 0)
        return;
    warn(m_what + " " + m_path + " stops here: " + why + ". The calls still answer");
    close(m_fd);
    m_fd = -1;
}

void OutputFile::failed(const char *action)
{
    const char *reason = errno ? std::strerror(errno) : "nothing was written";
    warn("cannot " + std::string(action) + " the " + m_what + " " + m_path + ": " + reason
         + "; its lines are lost");
}
