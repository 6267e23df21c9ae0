#ifndef SIMREADER_OUTPUTFILE_H
#define SIMREADER_OUTPUTFILE_H

#include <cstddef>
#include <string>
#include <vector>

struct stat;

// A file that a log or recording must never be written into, and what it
// is, for the message: the maker's library, the script being replayed.
struct KeptFile
{
    std::string path;
    std::string what;
};

// A file the session writes, one whole line at a time: the call log or the
// recording. Readable by its owner only, as it may hold card numbers and
// stripe tracks. Nothing that could hold a call forever is opened (a FIFO,
// a socket, a device), and a file that cannot be opened or written is
// reported once; the calls go on. Neither is ever written through a
// symbolic link, into a file that has other names, into a kept file or into
// a file of another kind; nor onto descriptors 0 to 2, where whatever the
// process writes to its standard streams would land in it.
class OutputFile
{
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile();

    // Appended to, if empty or already a call log. A terminal or this
    // process's standard error, which users name on purpose, is taken as
    // it is.
    bool openLog(const std::string &path, const std::vector<KeptFile> &kept);
    // Replaces the file, made private whatever it was, but only a recording
    // (or an empty file), and only while no other process records into it.
    bool openRecording(const std::string &path, const std::vector<KeptFile> &kept,
                       const std::string &header);
    void write(std::string line);
    // Says why no more is written, and writes no more.
    void stop(const std::string &why);

    bool isOpen() const { return m_fd >= 0; }
    std::size_t written() const { return m_written; }

private:
    int openPlainly(const char *what, const std::string &path, int flags);
    bool mayWrite(int fd, const struct stat &file, const std::vector<KeptFile> &kept,
                  bool (*isOurs)(const std::string &), const std::string &kind);
    void failed(const char *action, const char *reason = nullptr);
    void refuse(int fd, const std::string &why);

    std::string m_what;
    std::string m_path;
    int m_fd = -1;
    std::size_t m_written = 0;
};

#endif
