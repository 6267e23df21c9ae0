#ifndef CLI_STRAYOUTPUT_H
#define CLI_STRAYOUTPUT_H

#include "run/callrecord.h"

#include <QByteArray>

#include <sys/types.h>

#include <memory>
#include <mutex>

// What the library writes to standard output and standard error, kept apart
// from the program's own output: in the calling process, descriptors 1 and 2
// lead into pipes, and the program writes through copies of the real ones. A
// thread of ours empties the pipes as they fill, so that a library that
// floods them is never blocked and never costs more than kept bytes a
// stream. Made before the caller is forked: the excerpts live in memory both
// processes share, and the watcher holds the pipes too, so that it can show
// what a call wrote before it crashed.
class StrayOutput
{
public:
    bool create();
    // In the calling process: from now on the library's output is caught.
    bool divert();
    int programOut() const { return m_programOut; }
    int programErr() const { return m_programErr; }
    // In the calling process: what the library wrote since the last take.
    void take(CaughtOutput &out, CaughtOutput &err);
    // In the watching process, once the calling process has ended: what it
    // wrote since its last take.
    void takeAfterEnd(CaughtOutput &out, CaughtOutput &err);

private:
    struct Shared;

    void drainAsWritten();
    void drain();
    bool samePipe(int stream) const;
    void lose(int stream);
    void fill(int stream, CaughtOutput &taken);

    Shared *m_shared = nullptr;
    std::unique_ptr<char[]> m_chunk;
    // Guards the excerpts, the read ends and m_chunk against the draining
    // thread.
    std::mutex m_mutex;
    int m_read[2] = {-1, -1};
    int m_write[2] = {-1, -1};
    dev_t m_pipeDevice[2] = {};
    ino_t m_pipeInode[2] = {};
    int m_programOut = 1;
    int m_programErr = 2;
};

#endif
