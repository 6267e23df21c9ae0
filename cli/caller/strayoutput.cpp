#include "strayoutput.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <new>
#include <system_error>
#include <thread>

namespace {

// A pipe's default capacity, so that past the excerpt one read empties a
// full pipe.
const int chunkSize = 64 * 1024;
// What one drain reads at most: a pipe grown to the 1 MiB an unprivileged
// process may give it by default. A library thread that writes without end
// cannot hold a take, nor the draining thread, any longer.
const int chunksAtOnce = 16;
// How long the draining thread leaves a little output in the pipe. What it
// has read when the library crashes the process, but not yet counted, is
// lost, while what is still in the pipe reaches the watcher: a library that
// prints and then crashes must find it asleep. A pipe that fills is emptied
// at once, so that a flood never waits.
const std::chrono::milliseconds settle(10);

bool filling(const pollfd (&ends)[2])
{
    for (const pollfd &end : ends) {
        int waiting = 0;
        if ((end.revents & POLLIN) && ioctl(end.fd, FIONREAD, &waiting) == 0
            && waiting >= chunkSize / 2)
            return true;
    }
    return false;
}

// divert() puts the pipes onto 1 and 2, so they must never take those numbers.
int aboveStandard(int fd)
{
    if (fd < 0 || fd > 2)
        return fd;
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 3);
    close(fd);
    return moved;
}

} // namespace

struct StrayOutput::Shared
{
    struct Stream
    {
        qint64 size;
        int lost;  // not a bool: the library can write any byte here
        char bytes[CaughtOutput::kept];
    };
    Stream streams[2];
};

bool StrayOutput::create()
{
    void *memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    // The excerpts' pages are only touched once the library writes: a run
    // whose library prints nothing starts without them. m_chunk takes what
    // is only counted.
    m_shared = new (memory) Shared;
    for (Shared::Stream &stream : m_shared->streams) {
        stream.size = 0;
        stream.lost = 0;
    }
    m_chunk.reset(new char[chunkSize]);
    for (int stream = 0; stream < 2; ++stream) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0)
            return false;
        m_read[stream] = aboveStandard(ends[0]);
        m_write[stream] = aboveStandard(ends[1]);
        struct stat status;
        // Only the read end waits without blocking: the library's writes
        // must not fail for a pipe that is full for a moment.
        if (m_read[stream] < 0 || m_write[stream] < 0
            || fcntl(m_read[stream], F_SETFL, O_NONBLOCK) != 0
            || fstat(m_read[stream], &status) != 0)
            return false;
        m_pipeDevice[stream] = status.st_dev;
        m_pipeInode[stream] = status.st_ino;
    }
    return true;
}

bool StrayOutput::divert()
{
    // The library's own signals, an alarm() that is to interrupt its read
    // for instance, must reach the thread that called it, never ours.
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    bool started = true;
    try {
        std::thread([this] { drainAsWritten(); }).detach();
    } catch (const std::system_error &) {
        started = false;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (!started)
        return false;

    m_programOut = fcntl(1, F_DUPFD_CLOEXEC, 3);
    m_programErr = fcntl(2, F_DUPFD_CLOEXEC, 3);
    if (m_programOut < 0 || m_programErr < 0 || dup2(m_write[0], 1) < 0
        || dup2(m_write[1], 2) < 0)
        return false;
    // The watcher's copies of the write ends keep the pipes open should the
    // library close 1 and 2; here they would only be more for it to find.
    for (int &end : m_write) {
        close(end);
        end = -1;
    }
    // The library's printf reaches the pipe at once, even if it then crashes.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    return true;
}

void StrayOutput::take(CaughtOutput &out, CaughtOutput &err)
{
    // What the library's stdio still holds belongs to the call. stdout is
    // unbuffered and an empty stderr costs no system call, so the common
    // call, which wrote nothing, pays for the one poll in drain() alone.
    std::fflush(stdout);
    std::fflush(stderr);
    std::lock_guard<std::mutex> lock(m_mutex);
    drain();
    fill(0, out);
    fill(1, err);
}

void StrayOutput::takeAfterEnd(CaughtOutput &out, CaughtOutput &err)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    drain();
    fill(0, out);
    fill(1, err);
}

// The draining thread: wakes when either pipe has something, or when the
// library has closed our end of one, and gives up a pipe it has lost rather
// than wake for it again.
void StrayOutput::drainAsWritten()
{
    for (;;) {
        pollfd ends[2];
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_read[0] < 0 && m_read[1] < 0)
                return;
            for (int stream = 0; stream < 2; ++stream)
                ends[stream] = {m_read[stream], POLLIN, 0};
        }
        if (poll(ends, 2, -1) < 0 && errno != EINTR)
            return;
        if (!filling(ends))
            std::this_thread::sleep_for(settle);
        std::lock_guard<std::mutex> lock(m_mutex);
        drain();
    }
}

// With m_mutex held. Each read follows a poll that found the pipe readable,
// so none can block even if the library cleared O_NONBLOCK; a read that comes
// back short has emptied the pipe.
void StrayOutput::drain()
{
    bool checked[2] = {};
    for (int round = 0; round < chunksAtOnce; ++round) {
        pollfd ends[2] = {{m_read[0], POLLIN, 0}, {m_read[1], POLLIN, 0}};
        int ready;
        do
            ready = poll(ends, 2, 0);
        while (ready < 0 && errno == EINTR);
        if (ready <= 0)
            return;
        bool more = false;
        for (int stream = 0; stream < 2; ++stream) {
            const short events = ends[stream].revents;
            if (events == 0)
                continue;
            // A number the library closed and opened again is no longer our
            // pipe: reading it would take the library's own data, and might
            // block.
            if ((events & POLLNVAL) || (!checked[stream] && !samePipe(stream))) {
                lose(stream);
                continue;
            }
            checked[stream] = true;
            // The excerpt is read straight into the memory the watcher
            // shares, so that a crash between the read and the count costs
            // no more than the count.
            Shared::Stream &shared = m_shared->streams[stream];
            // The watcher drains last, after the library may have written
            // the count: one below zero would point before the excerpt.
            if (shared.size < 0)
                shared.size = CaughtOutput::kept;
            const bool excerpt = shared.size < CaughtOutput::kept;
            char *into = excerpt ? shared.bytes + shared.size : m_chunk.get();
            const qint64 room = excerpt ? CaughtOutput::kept - shared.size : chunkSize;
            const ssize_t got = read(m_read[stream], into, std::size_t(room));
            if (got > 0) {
                shared.size += got;
                more = more || got == room;
            } else if (got == 0) {
                // Every write end is closed; nothing can come any more.
                m_read[stream] = -1;
            } else if (errno == EBADF) {
                lose(stream);
            }
        }
        if (!more)
            return;
    }
}

bool StrayOutput::samePipe(int stream) const
{
    struct stat status;
    return fstat(m_read[stream], &status) == 0 && status.st_dev == m_pipeDevice[stream]
        && status.st_ino == m_pipeInode[stream];
}

// The number is never touched again: the library may have given it to a file
// of its own.
void StrayOutput::lose(int stream)
{
    m_read[stream] = -1;
    m_shared->streams[stream].lost = 1;
}

void StrayOutput::fill(int stream, CaughtOutput &taken)
{
    Shared::Stream &shared = m_shared->streams[stream];
    // Read within its bounds whatever the count says: the library can
    // write it.
    const qint64 size = std::max(qint64(0), qint64(shared.size));
    taken.size = size;
    taken.lost = shared.lost != 0;
    if (size == 0) {
        taken.bytes.clear();
        return;
    }
    taken.bytes = QByteArray(shared.bytes, int(std::min(size, qint64(CaughtOutput::kept))));
    shared.size = 0;
}
