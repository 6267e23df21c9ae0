#ifndef CLI_TALLY_H
#define CLI_TALLY_H

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

// Every call of a run, by operation, in a fixed size whatever the number of
// calls, so that a burn-in of days keeps the same memory. Durations go into
// a histogram whose buckets are 2 % wide; min and max are exact. It holds no
// pointer, as it lives in memory shared with the watching process, which
// reads it while the calling process adds to it: a sequence count, odd
// while a call is being added, lets the reader take a consistent copy.
class Tally
{
public:
    enum Outcome { Succeeded, Failed, BrokeContract };

    // The bounds of the Prometheus histogram, in seconds.
    static const int promBounds = 15;
    static const double promBoundSeconds[promBounds];

    struct Figures
    {
        char operation[16];
        char function[32];
        std::uint64_t calls;
        std::uint64_t succeeded;
        std::uint64_t failed;
        std::uint64_t brokeContract;
        double minMs;
        double medianMs;
        double p95Ms;
        double p99Ms;
        double maxMs;
        double sumMs;
        std::uint64_t promBuckets[promBounds];  // calls within each bound, not cumulative
    };

    void add(const char *operation, const char *function, Outcome outcome, double milliseconds);
    // One row per operation, in the order they were first called.
    std::vector<Figures> figures() const;
    // Changes with every call added.
    unsigned changes() const { return m_sequence.load(std::memory_order_relaxed); }

private:
    static const std::size_t buckets = 1200;  // 1 us to beyond five hours
    static const std::size_t maxOperations = 16;
    struct Row
    {
        char operation[16];
        char function[32];
        std::uint64_t outcomes[3];
        double minMs;
        double maxMs;
        double sumMs;
        std::uint64_t promBuckets[promBounds];
        std::uint64_t histogram[buckets];
    };

    static double valueAt(const Row &row, std::uint64_t rank);
    static double percentile(const Row &row, double fraction);

    std::atomic<unsigned> m_sequence{0};
    Row m_rows[maxOperations];
    std::size_t m_count = 0;
};

#endif
