#include "terminal.h"

#include "childprocess.h"

#include <QElapsedTimer>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

Terminal::~Terminal()
{
    if (m_pid > 0) {
        kill(-m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    if (m_master >= 0)
        close(m_master);
}

bool Terminal::start(const QStringList &command, const QMap<QString, QString> &variables)
{
    m_pid = startOnTerminal(command, variables, 200, QString(), m_master);
    return m_pid > 0;
}

void Terminal::read(int timeoutMs)
{
    pollfd ready = {m_master, POLLIN, 0};
    if (poll(&ready, 1, timeoutMs) <= 0)
        return;
    char buffer[4096];
    const ssize_t got = ::read(m_master, buffer, sizeof buffer);
    if (got > 0)
        shown.append(buffer, int(got));
}

bool Terminal::waitFor(const QByteArray &text, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        const int at = shown.indexOf(text, m_seen);
        if (at >= 0) {
            m_seen = at + text.size();
            return true;
        }
        if (timer.elapsed() > timeoutMs)
            return false;
        read(50);
    }
}

void Terminal::type(const QByteArray &line)
{
    const QByteArray typed = line + '\r';
    if (write(m_master, typed.constData(), std::size_t(typed.size())) != typed.size())
        qWarning("the terminal took no input");
}

void Terminal::hangUp()
{
    close(m_master);
    m_master = -1;
}

void Terminal::cutPower()
{
    kill(-m_pid, SIGKILL);
}

int Terminal::finish(int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    int status = 0;
    for (;;) {
        if (m_master >= 0)
            read(50);
        else
            usleep(50000);
        const pid_t ended = waitpid(m_pid, &status, WNOHANG);
        if (ended == m_pid)
            break;
        if (timer.elapsed() > timeoutMs)
            return -2;
    }
    m_pid = -1;
    while (m_master >= 0) {
        pollfd ready = {m_master, POLLIN, 0};
        if (poll(&ready, 1, 0) <= 0)
            break;
        const int before = shown.size();
        read(0);
        if (shown.size() == before)
            break;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
