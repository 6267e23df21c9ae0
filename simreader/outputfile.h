#ifndef SIMREADER_OUTPUTFILE_H
#define SIMREADER_OUTPUTFILE_H

#include <string>

// A file the session writes, one whole line at a time: the call log or the
// recording. Created readable by its owner only, as it may hold card numbers
// and stripe tracks. A file that cannot be opened or written is reported
// once; the calls go on.
class OutputFile
{
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile();

    // what names the file in messages ("call log", "recording").
    bool open(const char *what, const std::string &path, int flags);
    void write(std::string line);
    bool isOpen() const { return m_fd >= 0; }

private:
    void failed(const char *action);

    std::string m_what;
    std::string m_path;
    int m_fd = -1;
    bool m_broken = false;
};

#endif
