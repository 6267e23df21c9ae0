#ifndef SIMREADER_OUTPUTFILE_H
#define SIMREADER_OUTPUTFILE_H

#include <cstddef>
#include <string>

// A file the session writes, one whole line at a time: the call log or the
// recording. Readable by its owner only, as it may hold card numbers and
// stripe tracks. Nothing that could hold a call forever is opened (a FIFO,
// a socket, a device), and a file that cannot be opened or written is
// reported once; the calls go on.
class OutputFile
{
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile();

    // Appended to. A terminal or this process's standard error, which users
    // name on purpose, is taken as well.
    bool openLog(const std::string &path);
    // Replaces the file, made private whatever it was, but only a recording
    // (or an empty file): never the maker's library, never another file,
    // never through a symbolic link or into a file that has other names.
    bool openRecording(const std::string &path, const std::string &makerLibrary,
                       const std::string &header);
    void write(std::string line);
    // Says why no more is written, and writes no more.
    void stop(const std::string &why);

    bool isOpen() const { return m_fd >= 0; }
    std::size_t written() const { return m_written; }

private:
    int openPlainly(const char *what, const std::string &path, int flags);
    void failed(const char *action);
    void refuse(int fd, const std::string &why);

    std::string m_what;
    std::string m_path;
    int m_fd = -1;
    std::size_t m_written = 0;
};

#endif
