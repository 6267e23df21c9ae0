#ifndef CLI_TIMELINE_H
#define CLI_TIMELINE_H

#include "tally.h"

#include <cstdint>

// A run's calls over time, for the charts of a burn-in's report: at most
// `points` points whatever its length. Each point covers `width()`
// milliseconds from the start; when the run outgrows them, neighbours are
// merged and the width doubles, so memory stays flat. No pointer: it lives
// in the memory the calling process shares with the watcher.
class Timeline
{
public:
    static const int points = 1000;

    struct Point
    {
        std::uint64_t calls;
        std::uint64_t outcomes[Tally::outcomes];
        double sumMs;
        double maxMs;
    };

    // A call that ended atMs after the start of the run, and took
    // milliseconds.
    void add(long long atMs, Tally::Outcome outcome, double milliseconds);

    long long width() const { return m_widthMs; }
    // Within bounds whatever the library wrote there: the watcher reads it.
    int count() const { return m_count < 0 ? 0 : m_count > points ? points : m_count; }
    const Point &at(int index) const { return m_points[index]; }

private:
    long long m_widthMs = 100;
    int m_count = 0;
    Point m_points[points] = {};
};

#endif
