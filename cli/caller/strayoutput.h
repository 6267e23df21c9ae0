#ifndef CLI_STRAYOUTPUT_H
#define CLI_STRAYOUTPUT_H

#include <QByteArray>

// What the library writes to standard output and standard error, kept apart
// from the program's own output: in the calling process, descriptors 1 and 2
// lead to files of their own, and the program writes through copies of the
// real ones. Made before the caller is forked, so that the watcher can read
// what a call wrote before it crashed.
class StrayOutput
{
public:
    // Longest stretch of a call's stray output that is kept for the report.
    static const int kept = 4096;

    struct Taken
    {
        QByteArray bytes;   // at most kept bytes
        qint64 size = 0;    // all that was written
    };

    bool create();
    // In the calling process: from now on the library's output is caught.
    bool divert();
    int programOut() const { return m_programOut; }
    int programErr() const { return m_programErr; }
    // What the library wrote since the last take.
    Taken takeOut();
    Taken takeErr();

private:
    static Taken take(int fd);

    int m_out = -1;
    int m_err = -1;
    int m_programOut = 1;
    int m_programErr = 2;
};

#endif
