#include "outputfile.h"

#include "script.h"
#include "warning.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file's first line, as far as a recording's header can reach: the
// maker's path in it is at most 4 KiB, quoted.
std::string firstLine(int fd)
{
    std::string start(32 * 1024, '\0');
    const ssize_t got = pread(fd, &start[0], start.size(), 0);
    start.resize(got > 0 ? std::size_t(got) : 0);
    return start.substr(0, start.find('\n'));
}

// A call log's line: a reader function, then only name=value inputs. A
// script's line, where the result follows the function, is none.
bool isLogLine(const std::string &line)
{
    const std::size_t space = line.find(' ');
    if (!isReaderFunction(line.substr(0, space)))
        return false;
    if (space == std::string::npos)
        return true;
    std::size_t pos = space + 1;
    while (pos < line.size() && ((line[pos] >= 'a' && line[pos] <= 'z')
                                 || (line[pos] >= 'A' && line[pos] <= 'Z')))
        ++pos;
    return pos > space + 1 && pos < line.size() && line[pos] == '=';
}

// With a standard descriptor closed, a file opened now would take its number
// and whatever the process writes to that stream (a maker's library's
// chatter, say) would land in the log or recording.
int aboveStandardStreams(int fd)
{
    if (fd < 0 || fd > STDERR_FILENO)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
    const int error = errno;
    close(fd);
    errno = error;
    return moved;
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
    return aboveStandardStreams(::open(path.c_str(), O_CLOEXEC | O_NONBLOCK | flags, 0600));
}

bool OutputFile::openLog(const std::string &path, const std::vector<KeptFile> &kept)
{
    // Read as well: an existing file is looked at before it is appended to.
    int fd = openPlainly("call log", path, O_RDWR | O_APPEND | O_CREAT | O_NOFOLLOW);
    // /dev/stderr is a symbolic link, as a terminal's name may be: only
    // those are written through one, and nothing is created through it.
    const bool throughLink = fd < 0 && errno == ELOOP;
    if (throughLink)
        fd = openPlainly("call log", path, O_WRONLY | O_APPEND);
    struct stat file, standardError;
    if (fd < 0 || fstat(fd, &file) != 0) {
        failed("open");
        if (fd >= 0)
            close(fd);
        return false;
    }
    const bool chosenOnPurpose =
        isatty(fd) || (fstat(STDERR_FILENO, &standardError) == 0 && sameFile(file, standardError));
    if (!chosenOnPurpose) {
        if (throughLink) {
            refuse(fd, "is a symbolic link, which is never written through but to a terminal"
                       " or standard error; name the file itself");
            return false;
        }
        if (!S_ISREG(file.st_mode)) {
            refuse(fd, "is no regular file: a FIFO, socket or device could hold every call."
                       " Name a file, a terminal or /dev/stderr");
            return false;
        }
        if (!mayWrite(fd, file, kept, isLogLine,
                      "a call log: each of its lines begins with a reader function"))
            return false;
        if (fchmod(fd, 0600) != 0) {
            failed("make private");
            close(fd);
            return false;
        }
    }
    fcntl(fd, F_SETFL, O_APPEND);
    m_fd = fd;
    return true;
}

bool OutputFile::openRecording(const std::string &path, const std::vector<KeptFile> &kept,
                               const std::string &header)
{
    const int fd = openPlainly("recording", path, O_RDWR | O_CREAT | O_NOFOLLOW);
    struct stat file;
    if (fd < 0 && errno == ELOOP) {
        refuse(fd, "is a symbolic link, which is never written through; name the file itself");
        return false;
    }
    if (fd < 0 || fstat(fd, &file) != 0) {
        failed("open");
        if (fd >= 0)
            close(fd);
        return false;
    }
    if (!S_ISREG(file.st_mode)) {
        refuse(fd, "is no regular file");
        return false;
    }
    // Held while the file is open: a second recorder would destroy this
    // recording and mix its lines into it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        refuse(fd, errno == EWOULDBLOCK ? std::string("is being recorded by another process")
                                        : "cannot be locked against a second recorder: "
                                              + std::string(std::strerror(errno)));
        return false;
    }
    if (!mayWrite(fd, file, kept, isRecordingHeader,
                  "a recording: a recording's first line is \"" + std::string(recordingMark)
                      + ", made TIME with \"LIBRARY\"\""))
        return false;
    if (fchmod(fd, 0600) != 0 || ftruncate(fd, 0) != 0) {
        failed("replace");
        close(fd);
        return false;
    }
    fcntl(fd, F_SETFL, 0);
    m_fd = fd;
    write(header);
    return true;
}

bool OutputFile::mayWrite(int fd, const struct stat &file, const std::vector<KeptFile> &kept,
                          bool (*isOurs)(const std::string &), const std::string &kind)
{
    struct stat other;
    for (const KeptFile &keep : kept) {
        if (stat(keep.path.c_str(), &other) == 0 && sameFile(file, other)) {
            refuse(fd, "is " + keep.what);
            return false;
        }
    }
    if (file.st_nlink > 1) {
        refuse(fd, "has other names (hard links), which would show the " + m_what
                       + " too; name a file of its own");
        return false;
    }
    if (file.st_size > 0 && !isOurs(firstLine(fd))) {
        refuse(fd, "is not " + kind);
        return false;
    }
    return true;
}

void OutputFile::refuse(int fd, const std::string &why)
{
    if (fd >= 0)
        close(fd);
    warn(m_what + " " + m_path + " " + why + "; it is left as it is and nothing is written");
}

// One write a line: a line is in the file whole or not at all, and lines
// that several processes append to one log never mix.
void OutputFile::write(std::string line)
{
    if (m_fd < 0)
        return;
    line += '\n';
    ssize_t written;
    do {
        errno = 0;
        written = ::write(m_fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    if (written == ssize_t(line.size())) {
        m_written += line.size();
        return;
    }
    if (written > 0) {
        // A full disk or a file size limit took part of the line: the file
        // is cut back to its last whole line, so that what it holds replays.
        const off_t end = lseek(m_fd, 0, SEEK_CUR);
        const bool cut = end >= written && ftruncate(m_fd, end - written) == 0;
        failed("write", cut ? "only part of a line fit (a full disk or a file size limit);"
                              " the file ends with its last whole line"
                            : "only part of a line fit (a full disk or a file size limit)");
    } else {
        failed("write");
    }
    close(m_fd);
    m_fd = -1;
}

void OutputFile::stop(const std::string &why)
{
    if (m_fd < 0)
        return;
    warn(m_what + " " + m_path + " stops here: " + why + ". The calls still answer");
    close(m_fd);
    m_fd = -1;
}

void OutputFile::failed(const char *action, const char *reason)
{
    if (!reason)
        reason = errno ? std::strerror(errno) : "nothing was written";
    warn("cannot " + std::string(action) + " the " + m_what + " " + m_path + ": " + reason
         + "; its lines are lost");
}
