#include "childprocess.h"

#include <QDir>
#include <QFile>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace {

// The programs the tests start speak the locale's language: whatever
// locale the tests run in, each reads English unless its test asks for
// another, a program started on a terminal of the test's own as well. Set
// before main(), in the test's own environment, which they inherit. LC_ALL
// would override the messages' locale; its character set is kept.
const bool inEnglish = [] {
    if (const char *all = std::getenv("LC_ALL")) {
        setenv("LC_CTYPE", all, 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_MESSAGES", "C", 1);
    unsetenv("LANGUAGE");
    return true;
}();

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

bool ChildProcess::start(const QStringList &command, const QMap<QString, QString> &variables)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const QString &name :
         {"VRK_SIM_LOG", "VRK_SIM_SCRIPT", "VRK_SIM_MAKER_LIBRARY", "VRK_SIM_RECORD"})
        environment.remove(name);
    for (auto it = variables.begin(); it != variables.end(); ++it)
        environment.insert(it.key(), it.value());

    std::vector<QByteArray> argumentBytes, environmentBytes;
    std::vector<char *> arguments, environmentStrings;
    for (const QString &argument : command)
        argumentBytes.push_back(argument.toUtf8());
    for (const QString &entry : environment.toStringList())
        environmentBytes.push_back(entry.toUtf8());
    for (QByteArray &bytes : argumentBytes)
        arguments.push_back(bytes.data());
    for (QByteArray &bytes : environmentBytes)
        environmentStrings.push_back(bytes.data());
    arguments.push_back(nullptr);
    environmentStrings.push_back(nullptr);
    const QByteArray outPath = QFile::encodeName(
        outputPath.isEmpty() ? QDir(m_directory).filePath("child.out") : outputPath);
    const QByteArray errPath = QFile::encodeName(QDir(m_directory).filePath("child.err"));

    m_timer.start();
    m_pid = fork();
    if (m_pid == 0) {
        // A job of its own, as an interactive shell starts it: a library
        // that signals its process group must not reach the test runner.
        setpgid(0, 0);
        dup2(open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        dup2(open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        execvpe(arguments[0], arguments.data(), environmentStrings.data());
        _exit(127);
    }
    return m_pid > 0;
}

void ChildProcess::interrupt(int signal)
{
    kill(m_pid, signal);
}

void ChildProcess::interruptGroup(int signal)
{
    kill(-m_pid, signal);
}

bool ChildProcess::finish()
{
    int status = 0;
    rusage usage{};
    if (m_pid <= 0 || wait4(m_pid, &status, 0, &usage) != m_pid)
        return false;
    peakKiB = usage.ru_maxrss;
    elapsedMs = m_timer.elapsed();
    exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (outputPath.isEmpty())
        out = readAll(QDir(m_directory).filePath("child.out"));
    err = readAll(QDir(m_directory).filePath("child.err"));
    return true;
}

pid_t startOnTerminal(const QStringList &command, const QMap<QString, QString> &variables,
                      int columns, const QString &outputPath, int &master)
{
    std::vector<QByteArray> bytes;
    std::vector<char *> argv;
    for (const QString &argument : command)
        bytes.push_back(QFile::encodeName(argument));
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::vector<std::pair<QByteArray, QByteArray>> settings;
    for (auto variable = variables.begin(); variable != variables.end(); ++variable)
        settings.push_back({variable.key().toUtf8(), variable.value().toUtf8()});
    const QByteArray out = QFile::encodeName(outputPath);

    winsize size{};
    size.ws_row = 50;
    size.ws_col = static_cast<unsigned short>(columns);
    const pid_t pid = forkpty(&master, nullptr, nullptr, &size);
    if (pid == 0) {
        if (!out.isEmpty())
            dup2(open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        for (const auto &setting : settings) {
            if (setting.second.isEmpty())
                unsetenv(setting.first.constData());
            else
                setenv(setting.first.constData(), setting.second.constData(), 1);
        }
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

TerminalRun runOnTerminal(const QStringList &command, const QMap<QString, QString> &variables,
                          int columns, qint64 interruptAtMs, const QString &outputPath)
{
    TerminalRun run;
    int master = -1;
    QElapsedTimer timer;
    timer.start();
    const pid_t pid = startOnTerminal(command, variables, columns, outputPath, master);
    if (pid < 0)
        return run;
    bool interrupted = false;
    for (;;) {
        pollfd ready = {master, POLLIN, 0};
        poll(&ready, 1, 50);
        if (!interrupted && timer.elapsed() >= interruptAtMs) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        if (!ready.revents)
            continue;
        char buffer[4096];
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0)
            break;
        run.shown.append(buffer, int(got));
    }
    close(master);
    int status = 0;
    if (waitpid(pid, &status, 0) == pid)
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
