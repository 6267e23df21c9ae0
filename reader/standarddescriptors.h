#ifndef STANDARDDESCRIPTORS_H
#define STANDARDDESCRIPTORS_H

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

// A program started from a desktop's menu, a service or a careless script may
// have no descriptor 0 to 2: the next file it opens (the display connection,
// a log, a recording) would take their numbers, and what the program or the
// reader library writes to standard output or error would land in it. Each
// missing one is held by a file that refuses writes instead, so that the
// failure shows. Called first thing in main().
inline void holdStandardDescriptors()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF)
            open("/dev/null", O_RDONLY);
    }
}

#endif
