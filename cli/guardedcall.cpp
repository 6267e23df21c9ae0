#include "guardedcall.h"

#include "buffersizes.h"
#include "readertext.h"

#include <algorithm>
#include <cstring>

namespace {

const std::size_t guardSize = 16;
const char guardByte = '\xa5';

} // namespace

GuardedCall::GuardedCall(const QString &operation, const char *function)
    : operation(operation)
    , function(QString::fromLatin1(function))
{
}

int GuardedCall::argument(const char *name, int value)
{
    arguments.append({QString::fromLatin1(name), value});
    return value;
}

char *GuardedCall::textArgument(const char *name, std::size_t size, const QByteArray &text)
{
    char *buffer = add(name, Kind::Argument, size);
    std::memcpy(buffer, text.constData(), std::min(std::size_t(text.size()), size - 1));
    textArguments.append({QString::fromLatin1(name), text, false});
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
    m_outputs.push_back(0);
    outputs.append({QString::fromLatin1(name), 0});
    return &m_outputs.back();
}

char *GuardedCall::error()
{
    return add("error", Kind::Error, errorSize);
}

char *GuardedCall::add(const char *name, Kind kind, std::size_t size)
{
    Buffer buffer{QString::fromLatin1(name), kind, size, std::vector<char>(size + guardSize, 0)};
    std::memset(buffer.bytes.data() + size, guardByte, guardSize);
    m_buffers.push_back(std::move(buffer));
    return m_buffers.back().bytes.data();
}

void GuardedCall::start()
{
    m_timer.start();
}

void GuardedCall::finish(int result)
{
    milliseconds = m_timer.nsecsElapsed() / 1e6;
    this->result = result;
    for (const Buffer &buffer : m_buffers) {
        const char *bytes = buffer.bytes.data();
        const QByteArray text(bytes, int(strnlen(bytes, buffer.size)));
        check(buffer, text);
        if (buffer.kind == Kind::Error)
            message = text;
        else if (buffer.kind != Kind::Argument)
            values.append({buffer.name, text, buffer.kind == Kind::Secret});
    }
    for (int i = 0; i < outputs.size(); ++i)
        outputs[i].value = m_outputs[std::size_t(i)];
}

void GuardedCall::check(const Buffer &buffer, const QByteArray &text)
{
    const QString what = QStringLiteral("its %1-byte %2 buffer")
                             .arg(buffer.size)
                             .arg(QString(buffer.name).replace('_', ' '));
    const char *bytes = buffer.bytes.data();
    for (std::size_t i = buffer.size; i < buffer.size + guardSize; ++i) {
        if (bytes[i] != guardByte) {
            findings << function + " wrote past the end of " + what;
            break;
        }
    }
    if (!std::memchr(bytes, 0, buffer.size))
        findings << function + " left no NUL in " + what;
    if (!isUtf8(text.toStdString()))
        findings << function + " wrote text that is not UTF-8 into " + what;
}
