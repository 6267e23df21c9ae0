#ifndef CHILDPROCESS_H
#define CHILDPROCESS_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QString>
#include <QStringList>

#include <signal.h>
#include <sys/types.h>

// A program run by the tests, started by hand: under qemu-user, which runs
// the cross build's tests, QProcess cannot start a program at all. Its
// output goes to files in the given directory. The simulated reader's own
// variables are cleared; the test sets those it needs.
class ChildProcess
{
public:
    explicit ChildProcess(const QString &directory) : m_directory(directory) {}

    bool start(const QStringList &command, const QMap<QString, QString> &variables);
    void interrupt(int signal = SIGINT);
    // As a terminal's Ctrl-C does: to every process of the program's group.
    void interruptGroup(int signal = SIGINT);
    // Waits for the program's end and reads what it wrote.
    bool finish();

    // Where standard output goes instead of being kept in out (/dev/full, say).
    QString outputPath;

    QByteArray out;
    QByteArray err;
    int exitCode = -1;
    qint64 elapsedMs = 0;
    long peakKiB = 0;  // the most memory the program held

private:
    QString m_directory;
    pid_t m_pid = -1;
    QElapsedTimer m_timer;
};

// A program started on a pseudo-terminal of the given width, its variables
// set (an empty value unsets one), standard output to outputPath instead
// where one is given; master is the terminal's other end.
pid_t startOnTerminal(const QStringList &command, const QMap<QString, QString> &variables,
                      int columns, const QString &outputPath, int &master);

// A program run on a terminal of the test's own, a pseudo-terminal of the
// given width, as a person at a shell runs it: variables set (an empty value
// unsets one), standard output to outputPath instead where one is given, and
// Ctrl-C's signal sent at interruptAtMs. Gives all the terminal showed.
struct TerminalRun
{
    QByteArray shown;
    int exitCode = -1;
};
TerminalRun runOnTerminal(const QStringList &command, const QMap<QString, QString> &variables,
                          int columns, qint64 interruptAtMs, const QString &outputPath = QString());

#endif
