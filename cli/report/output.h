#ifndef CLI_OUTPUT_H
#define CLI_OUTPUT_H

#include "run/options.h"

#include <QByteArray>
#include <QString>

// Says on standard error what could not be done and the system's reason,
// as perror does, in the language of the locale.
void failedBecause(const char *what);

// Whether a run shows its progress on fd: a burn-in's, or how long a
// guided step has waited on the device; fd a terminal that can erase a
// line, never a pipe or a file, where it would only be noise.
bool progressShown(const Options &options, int fd);

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
    // What a person is asked, on standard error as a shell's prompts are:
    // standard output stays the run's own, to be kept or read by a program.
    void ask(const QString &text);

    // Why the output no longer works as it did at the start, in words that
    // follow the name of who did it, or empty: in the calling process, the
    // library closed or replaced the descriptor, or lowered the file size
    // limit. Not an output failure, which the program would answer for: a
    // contract breach.
    QString lost() const;

    // A burn-in's progress line, which the watcher draws on standard error
    // when that is a terminal: either process clears it in the same write
    // as any line it writes to that terminal, so that no line is glued to
    // it, whichever process drew it last.
    void besideProgress(bool shown);
    // Draws the line in place of the last, cut to progressColumns().
    void progress(const QString &line);
    int progressColumns() const;
    void clearProgress();

private:
    bool sameDescriptor() const;
    QByteArray cleared(int fd, const QByteArray &bytes);

    int m_out;
    int m_err;
    unsigned long long m_device = 0;
    unsigned long long m_inode = 0;
    unsigned long long m_fileSizeLimit = 0;
    bool m_failed = false;
    bool m_progress = false;
    bool m_outOnProgressTerminal = false;
    bool m_progressDrawn = false;
};

#endif
