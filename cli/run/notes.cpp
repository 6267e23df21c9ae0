#include "notes.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

namespace {

// Into a fixed field as UTF-8, cut before the first character that does not
// fit whole, and zeroed to its end so that two fields compare by content.
// A cut message says so, with its whole length.
void store(char *field, std::size_t size, const QByteArray &bytes, bool message)
{
    const QByteArray mark = message && std::size_t(bytes.size()) > size - 1
        ? QByteArray("… (cut, ") + QByteArray::number(bytes.size()) + " bytes in all)"
        : QByteArray();
    std::size_t length = std::min(std::size_t(bytes.size()), size - 1 - std::size_t(mark.size()));
    if (length < std::size_t(bytes.size())) {
        while (length > 0 && (static_cast<unsigned char>(bytes[int(length)]) & 0xc0) == 0x80)
            --length;
    }
    std::memcpy(field, bytes.constData(), length);
    std::memcpy(field + length, mark.constData(), std::size_t(mark.size()));
    length += std::size_t(mark.size());
    std::memset(field + length, 0, size - length);
}

// A field the calling process wrote: it may have been cut short by a crash,
// or written over by the library, so it is read only up to its size.
QString text(const char *field, std::size_t size)
{
    return QString::fromUtf8(field, int(qstrnlen(field, uint(size))));
}

} // namespace

void Notes::add(Kind kind, int round, const char *operation, const QString &message)
{
    char name[sizeof Operation::name];
    store(name, sizeof name, QByteArray(operation), false);
    char stored[textSize];
    store(stored, sizeof stored, message.toUtf8(), true);

    if (m_counts[kind] < std::uint64_t(listed)) {
        Entry &entry = m_listed[kind][m_counts[kind]];
        entry.round = round;
        std::memcpy(entry.operation, name, sizeof entry.operation);
        std::memcpy(entry.text, stored, sizeof entry.text);
    }
    ++m_counts[kind];

    // The watcher notes the call the calling process was lost in, after the
    // library may have written over the counts.
    const std::size_t count = std::min(m_operationCount, std::size_t(maxOperations));
    std::size_t i = 0;
    while (i < count && std::memcmp(m_operations[i].name, name, sizeof name))
        ++i;
    if (i == maxOperations)
        return;
    Operation &row = m_operations[i];
    if (i == count) {
        std::memcpy(row.name, name, sizeof name);
        std::fill(std::begin(row.counts), std::end(row.counts), 0);
        m_operationCount = count + 1;
    }
    int &known = row.counts[kind];
    if (known < 0 || known >= distinct)
        return;
    for (int t = 0; t < known; ++t) {
        if (!std::memcmp(row.texts[kind][t], stored, textSize))
            return;
    }
    std::memcpy(row.texts[kind][known], stored, textSize);
    ++known;
}

int Notes::listedCount(Kind kind) const
{
    return int(std::min(m_counts[kind], std::uint64_t(listed)));
}

Notes::Entry Notes::listedEntry(Kind kind, int index) const
{
    Entry entry = m_listed[kind][index];
    entry.operation[sizeof entry.operation - 1] = '\0';
    entry.text[sizeof entry.text - 1] = '\0';
    return entry;
}

QStringList Notes::distinctTexts(const char *operation, Kind kind) const
{
    char name[sizeof Operation::name];
    store(name, sizeof name, QByteArray(operation), false);
    const std::size_t operations = std::min(m_operationCount, std::size_t(maxOperations));
    QStringList out;
    for (std::size_t i = 0; i < operations; ++i) {
        const Operation &row = m_operations[i];
        if (qstrncmp(row.name, name, sizeof name))
            continue;
        const int known = std::max(0, std::min(row.counts[kind], int(distinct)));
        for (int t = 0; t < known; ++t)
            out << text(row.texts[kind][t], textSize);
        break;
    }
    return out;
}
