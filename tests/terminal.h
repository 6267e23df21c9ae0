#ifndef TERMINAL_H
#define TERMINAL_H

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// A program run on a pseudo-terminal of the test's own and driven as a
// person at it would: reading what it shows, typing lines, hanging up as a
// lost SSH connection does, or losing power.
class Terminal
{
public:
    ~Terminal();

    // Variables are set for the program; an empty value unsets one.
    bool start(const QStringList &command, const QMap<QString, QString> &variables);
    // Until the terminal shows text after what was waited for last.
    bool waitFor(const QByteArray &text, int timeoutMs = 10000);
    void type(const QByteArray &line);
    // The connection is gone: the program's terminal hangs up.
    void hangUp();
    // Every process of the program's group ends at once, as in a power cut.
    void cutPower();
    // Waits for the program's end; its exit status, or -1 when a signal
    // ended it.
    int finish(int timeoutMs = 20000);

    QByteArray shown;

private:
    void read(int timeoutMs);

    pid_t m_pid = -1;
    int m_master = -1;
    int m_seen = 0;  // where the next wait starts looking
};

#endif
