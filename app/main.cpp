#include "widget.h"

#include <QApplication>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A window started from a desktop's menu may have no descriptor 0 to 2: the
// display connection and the toolkit's own descriptors would take their
// numbers, and what is written to standard output or error (a failed
// identity card read's number, a library's chatter) would land in them. Each
// is held by a file that refuses writes instead.
void holdStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", O_RDONLY);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    holdStandardDescriptors();
    QApplication a(argc, argv);
    Widget w;
    w.show();
    return a.exec();
}
