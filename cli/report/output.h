#ifndef CLI_OUTPUT_H
#define CLI_OUTPUT_H

#include <QByteArray>
#include <QString>

// The program's own output: in the calling process through the copies of
// its standard output and error, in the watcher through the real ones. A
// write that fails (a full disk, a closed descriptor, a pipe whose reader
// has gone) is told once on standard error and marks the run, which then
// stops.
class Output
{
public:
    Output(int out, int err);

    // False once the output has failed.
    bool write(const QByteArray &bytes);
    bool failed() const { return m_failed; }
    void error(const QString &message);

    // Why the output no longer works as it did at the start, in words that
    // follow the name of who did it, or empty: in the calling process, the
    // library closed or replaced the descriptor, or lowered the file size
    // limit. Not an output failure, which the program would answer for: a
    // contract breach.
    QString lost() const;

    // The burn-in's round count on a terminal, "37/100", rewritten in place.
    void showProgress(bool shown) { m_progress = shown; }
    void progress(int round, int rounds);
    void clearProgress();

private:
    bool sameDescriptor() const;

    int m_out;
    int m_err;
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
    unsigned long long m_fileSizeLimit = 0;
    bool m_failed = false;
    bool m_progress = false;
    int m_progressWidth = 0;
};

#endif
