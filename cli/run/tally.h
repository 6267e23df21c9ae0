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
    // From good to worst: a call has the worst outcome that applies to it.
    // A wrong answer is worse than an honest failure.
    enum Outcome { Succeeded, Failed, Implausible, Differs, BrokeContract };
    static const int outcomes = 5;

    // The bounds of the Prometheus histogram, in seconds.
    static const int promBounds = 15;
    static const double promBoundSeconds[promBounds];

    // A coarse histogram for charts: bucket 0 holds the calls under 1 us,
    // bucket i those under latencyBoundMs(i) and not under the bound before,
    // each bound twice the one before.
    static const int latencyBuckets = 36;
    static double latencyBoundMs(int bucket);

    struct Figures
    {
        char operation[16];
        char function[32];
        std::uint64_t calls;
        std::uint64_t succeeded;
        std::uint64_t failed;
        std::uint64_t implausible;
        std::uint64_t differs;
        std::uint64_t brokeContract;
        double minMs;
        double medianMs;
        double p95Ms;
        double p99Ms;
        double maxMs;
        double sumMs;
        std::uint64_t promBuckets[promBounds];  // calls within each bound, not cumulative
        std::uint64_t latency[latencyBuckets];
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
        std::uint64_t outcomes[Tally::outcomes];
        double minMs;
        double maxMs;
        double sumMs;
        std::uint64_t promBuckets[promBounds];
        std::uint64_t histogram[buckets];
    };

    static std::uint64_t callsOf(const Row &row);
    static double valueAt(const Row &row, std::uint64_t rank);
    static double percentile(const Row &row, double fraction);

    std::atomic<unsigned> m_sequence{0};
    Row m_rows[maxOperations];
    std::size_t m_count = 0;
};

#endif
