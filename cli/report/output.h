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
    Output(int out, int err) : m_out(out), m_err(err) {}

    void write(const QByteArray &bytes);
    void error(const QString &message);

    // The burn-in's round count on a terminal, "37/100", rewritten in place.
    void showProgress(bool shown) { m_progress = shown; }
    void progress(int round, int rounds);
    void clearProgress();

private:
    int m_out;
    int m_err;
    bool m_progress = false;
    int m_progressWidth = 0;
};

#endif
