// The floor for a checker that keeps the library out of its own process: a
// bare Qt Core program that forks, loads the simulated reader in the child
// with dlopen, makes the same open and read there and prints the number,
// while the parent waits. What "cardreader-cli card-number" costs beyond it
// is its checks and its watching; what this costs beyond barecall is the
// second process.
#include <QCoreApplication>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const std::string library =
        QCoreApplication::applicationDirPath().toStdString() + "/libVrkReaderClient.so";
    const pid_t child = fork();
    if (child == 0) {
        void *handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
        const auto open = reinterpret_cast<int (*)(int, char *, char *)>(
            handle ? dlsym(handle, "VRK_OpenDev") : nullptr);
        const auto read = reinterpret_cast<int (*)(char *, char *)>(
            handle ? dlsym(handle, "VRK_ReadCarNo") : nullptr);
        char region[10] = "3500";
        char cardNumber[36] = {};
        char error[1024] = {};
        if (!open || !read || open(21, region, error) != 0 || read(cardNumber, error) != 0)
            _exit(1);
        std::printf("%s\n", cardNumber);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)
        ? WEXITSTATUS(status)
        : 1;
}
