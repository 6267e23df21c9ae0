#include "strayoutput.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

namespace {

// A pipe's default capacity, so that one read empties a full pipe.
const int chunkSize = 64 * 1024;
// What one drain reads at most: a pipe grown to the 1 MiB an unprivileged
// process may give it by default. A library thread that writes without end
// cannot hold a take, nor the draining thread, any longer.
const int chunksAtOnce = 16;

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
        char bytes[kept];
        qint64 size;
        bool lost;
    };
    Stream streams[2];
};

bool StrayOutput::create()
{
    void *memory = mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    // Both zeroed now, so that the resident memory measured at the start of
    // a run already holds them, and a library that prints does not look as
    // if it leaked.
    m_shared = new (memory) Shared();
    m_chunk.reset(new char[chunkSize]());
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

void StrayOutput::take(Taken &out, Taken &err)
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

void StrayOutput::takeAfterEnd(Taken &out, Taken &err)
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
            const ssize_t got = read(m_read[stream], m_chunk.get(), chunkSize);
            if (got > 0) {
                keep(stream, got);
                more = more || got == chunkSize;
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
    m_shared->streams[stream].lost = true;
}

void StrayOutput::keep(int stream, qint64 size)
{
    Shared::Stream &shared = m_shared->streams[stream];
    if (shared.size < kept)
        std::memcpy(shared.bytes + shared.size, m_chunk.get(),
                    std::size_t(std::min(size, kept - shared.size)));
    // A calling process killed between the two leaves the watcher a count
    // short of the bytes, never one past them.
    std::atomic_signal_fence(std::memory_order_release);
    shared.size += size;
}

void StrayOutput::fill(int stream, Taken &taken)
{
    Shared::Stream &shared = m_shared->streams[stream];
    taken.size = shared.size;
    taken.lost = shared.lost;
    if (shared.size == 0) {
        taken.bytes.clear();
        return;
    }
    taken.bytes = QByteArray(shared.bytes, int(std::min(shared.size, qint64(kept))));
    shared.size = 0;
}
