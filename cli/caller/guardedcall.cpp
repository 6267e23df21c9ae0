#include "guardedcall.h"

#include "guardpages.h"
#include "handlerwatch.h"

#include "run/runstate.h"

#include "buffersizes.h"
#include "readertext.h"

#include <pthread.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

StrayOutput *strayOutput = nullptr;

// A fork() inside the library, seen through the handlers fork() runs: the
// copy must never report a call, and the original names the fork. A fork
// made with the bare system call runs no handler: the copy then knows itself
// by a page that the kernel hands a copy zero-filled, and leaves word for
// the watcher. Where the page is not wiped, by the process ID.
bool isCopy = false;
bool forked = false;
volatile char *wipedInCopies = nullptr;  // set before the calling process is forked
volatile char *inOriginalOnly = nullptr;
pid_t original = 0;
extern "C" void inCopy() { isCopy = true; }
extern "C" void inOriginal() { forked = true; }

bool aCopy()
{
    return inOriginalOnly ? *inOriginalOnly == 0 : getpid() != original;
}

// The fault handler is read back after a call that may have set it, and
// now and then for one set with the bare system call.
const long long readBackEveryNs = 50 * 1000 * 1000;
long long handlerReadNs = 0;

QString described(const char *name, std::size_t size)
{
    return std::strcmp(name, "output") == 0
        ? QStringLiteral("its int output")
        : QStringLiteral("its %1-byte %2 buffer")
              .arg(size)
              .arg(QString::fromLatin1(name).replace('_', ' '));
}

} // namespace

GuardedCall::GuardedCall(const char *operation, const char *function)
    : CallRecord(operation, function)
{
}

void GuardedCall::watchLibrary(StrayOutput *output)
{
    strayOutput = output;
    original = getpid();
    // This process is itself a copy of the one that marked the page: where
    // the mark is gone, the kernel wipes it, which an emulator may only
    // say it does.
    if (wipedInCopies && *wipedInCopies == 0) {
        inOriginalOnly = wipedInCopies;
        *inOriginalOnly = 1;
    }
    pthread_atfork(nullptr, inOriginal, inCopy);
}

void GuardedCall::markForCopies()
{
    const long page = sysconf(_SC_PAGESIZE);
    void *memory = mmap(nullptr, std::size_t(page), PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory != MAP_FAILED && madvise(memory, std::size_t(page), MADV_WIPEONFORK) == 0) {
        wipedInCopies = static_cast<char *>(memory);
        *wipedInCopies = 1;
    }
}

GuardedCall GuardedCall::outsideCalls(const char *operation, const char *when)
{
    GuardedCall record(operation, "the library");
    record.outside = true;
    record.checkProcess("the library", when);
    return record;
}

int GuardedCall::argument(const char *name, int value)
{
    arguments.append({name, value});
    return value;
}

char *GuardedCall::textArgument(const char *name, std::size_t size, const QByteArray &text)
{
    char *buffer = add(name, Kind::Argument, size);
    std::memcpy(buffer, text.constData(), std::min(std::size_t(text.size()), size - 1));
    textArguments.append({name, text, false});
    return buffer;
}

char *GuardedCall::value(const char *name, std::size_t size)
{
    return add(name, Kind::Value, size);
}

char *GuardedCall::secret(const char *name, std::size_t size)
{
    return add(name, Kind::Secret, size);
}

int *GuardedCall::output(const char *name)
{
    outputs.append({name, 0});
    return reinterpret_cast<int *>(add(name, Kind::Output, sizeof(int)));
}

char *GuardedCall::error()
{
    return add("error", Kind::Error, errorSize);
}

void GuardedCall::waitsUpTo(int milliseconds)
{
    m_waitMs = std::max(0, milliseconds);
}

char *GuardedCall::add(const char *name, Kind kind, std::size_t size)
{
    char *bytes = GuardPages::take(std::size_t(m_buffers.size()), size);
    m_buffers.append({name, kind, size, bytes});
    return bytes;
}

void GuardedCall::start()
{
    m_startNs = beginCall(operation, function, m_waitMs);
    called = true;
}

void GuardedCall::finish(int result)
{
    // A copy of this process made by the library goes no further: its calls
    // would be counted and reported twice.
    if (isCopy)
        _exit(0);
    if (aCopy()) {
        std::strncpy(runState().copied, function, sizeof runState().copied - 1);
        _exit(0);
    }
    endNs = monotonicNs();
    milliseconds = (endNs - m_startNs) / 1e6;
    endCall();
    returned = true;
    this->result = result;

    // Every buffer is read before the guards are inspected and reset.
    QByteArray texts[GuardPages::slotCount];
    bool terminated[GuardPages::slotCount] = {};
    int output = 0;
    for (int i = 0; i < m_buffers.size(); ++i) {
        const Buffer &buffer = m_buffers[i];
        texts[i] = QByteArray(buffer.bytes, int(strnlen(buffer.bytes, buffer.size)));
        terminated[i] = std::memchr(buffer.bytes, 0, buffer.size) != nullptr;
        if (buffer.kind == Kind::Output)
            std::memcpy(&outputs[output++].value, buffer.bytes, sizeof(int));
    }
    int damage[GuardPages::slotCount] = {};
    GuardPages::inspect(std::size_t(m_buffers.size()), damage);

    for (int i = 0; i < m_buffers.size(); ++i) {
        const Buffer &buffer = m_buffers[i];
        check(buffer, texts[i], terminated[i], damage[i]);
        if (buffer.kind == Kind::Error)
            message = texts[i];
        else if (buffer.kind == Kind::Value || buffer.kind == Kind::Secret)
            values.append({buffer.name, texts[i], buffer.kind == Kind::Secret});
    }
    checkProcess(function, nullptr);
}

// What the library may have done to the calling process, beyond its buffers.
// The words are made only when there is something to say: a burn-in makes
// millions of calls.
void GuardedCall::checkProcess(const char *who, const char *when)
{
    if (strayOutput)
        strayOutput->take(standardOutput, standardError);
    const bool set = HandlerWatch::segvHandlerSet();
    bool replacedHandler = false;
    const long long now = endNs ? endNs : monotonicNs();
    if (set || when || now - handlerReadNs >= readBackEveryNs) {
        handlerReadNs = now;
        replacedHandler = !GuardPages::handlerKept();
    }
    if (standardOutput.size == 0 && !standardOutput.lost && !standardError.lost && !forked
        && !replacedHandler)
        return;
    const QString name = QString::fromLatin1(who);
    const QString at = when ? ' ' + QString::fromLatin1(when) : QString();
    if (standardOutput.size > 0)
        findings << QStringLiteral("%1 wrote %2 bytes to standard output%3")
                        .arg(name)
                        .arg(standardOutput.size)
                        .arg(at);
    if (standardOutput.lost || standardError.lost)
        findings << name + " closed or replaced the calling process's descriptors" + at;
    if (forked)
        findings << name + " forked the calling process" + at;
    forked = false;
    if (replacedHandler && (set || when))
        findings << name + " replaced the handler of segmentation faults (SIGSEGV)" + at;
    else if (replacedHandler)
        findings << name + ", or a call before it, replaced the handler of segmentation faults"
                            " (SIGSEGV) by the bare system call";
}

void GuardedCall::lacking()
{
    int damage[GuardPages::slotCount] = {};
    GuardPages::inspect(std::size_t(m_buffers.size()), damage);
    findings << QString::fromLatin1(function) + " is missing from the library";
}

void GuardedCall::check(const Buffer &buffer, const QByteArray &text, bool terminated,
                        int damage)
{
    const bool nul = terminated || buffer.kind == Kind::Output;
    const bool utf8 = buffer.kind == Kind::Output || isUtf8(text.constData(), std::size_t(text.size()));
    if (damage == GuardPages::Untouched && nul && utf8)
        return;
    const QString what = described(buffer.name, buffer.size);
    const QString name = QString::fromLatin1(function);
    if (damage & GuardPages::PastTheEnd)
        findings << name + " wrote past the end of " + what;
    if (damage & GuardPages::BeforeTheStart)
        findings << name + " wrote before the start of " + what;
    if (!nul)
        findings << name + " left no NUL in " + what;
    if (!utf8)
        findings << name + " wrote text that is not UTF-8 into " + what;
}
