#ifndef CLI_NOTES_H
#define CLI_NOTES_H

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// What went wrong in a run, in words, for the reports written at its end:
// the first messages of each kind with the round they came in, and per
// operation the first distinct ones. A fixed size whatever the number of
// calls, and no pointer: it lives in the memory the calling process shares
// with the watcher, which writes the reports even when the calling process
// has crashed. Messages are kept escaped, as they are shown.
class Notes
{
public:
    enum Kind { Failure, Difference, Doubt, Breach };
    static const int kinds = 4;
    static const int listed = 100;   // per kind, for people
    static const int distinct = 10;  // per operation and kind, for CI servers
    static const std::size_t textSize = 320;  // bytes, cut at a whole character

    struct Entry
    {
        int round;  // 0: before the first round (opening the device, loading)
        char operation[16];
        char text[textSize];
    };

    void add(Kind kind, int round, const char *operation, const QString &text);

    // Every message of the kind, listed or not.
    std::uint64_t count(Kind kind) const { return m_counts[kind]; }
    int listedCount(Kind kind) const;
    // A copy, ended within its fields whatever the library wrote there.
    Entry listedEntry(Kind kind, int index) const;
    // The first distinct messages of the kind for one operation, in the order
    // they came, at most `distinct` of them.
    QStringList distinctTexts(const char *operation, Kind kind) const;

private:
    static const std::size_t maxOperations = 16;
    struct Operation
    {
        char name[16];
        int counts[kinds];
        char texts[kinds][distinct][textSize];
    };

    std::uint64_t m_counts[kinds] = {};
    Entry m_listed[kinds][listed];
    Operation m_operations[maxOperations];
    std::size_t m_operationCount = 0;
};

#endif
