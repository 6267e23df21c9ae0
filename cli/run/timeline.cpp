#include "timeline.h"

#include <algorithm>

void Timeline::add(long long atMs, Tally::Outcome outcome, double milliseconds)
{
    // The watcher adds the call the calling process was lost in, after the
    // library may have written over the width and the count: a width no run
    // could have reached starts again rather than divide by zero or double
    // beyond its range.
    const long long widest = 1LL << 40;
    if (m_widthMs <= 0 || m_widthMs > widest)
        m_widthMs = widest;
    m_count = std::max(0, std::min(m_count, int(points)));
    long long index = std::max(0LL, atMs) / m_widthMs;
    while (index >= points) {
        for (int i = 0; i < points / 2; ++i) {
            const Point &a = m_points[2 * i];
            const Point &b = m_points[2 * i + 1];
            Point merged = a;
            merged.calls += b.calls;
            for (int o = 0; o < Tally::outcomes; ++o)
                merged.outcomes[o] += b.outcomes[o];
            merged.sumMs += b.sumMs;
            merged.maxMs = std::max(a.maxMs, b.maxMs);
            m_points[i] = merged;
        }
        std::fill(m_points + points / 2, m_points + points, Point());
        m_count = (m_count + 1) / 2;
        m_widthMs *= 2;
        index = std::max(0LL, atMs) / m_widthMs;
    }
    Point &point = m_points[index];
    ++point.calls;
    ++point.outcomes[outcome];
    point.sumMs += milliseconds;
    point.maxMs = std::max(point.maxMs, milliseconds);
    m_count = std::max(m_count, int(index) + 1);
}
