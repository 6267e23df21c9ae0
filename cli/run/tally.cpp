#include "tally.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

namespace {

const double bucketWidth = 1.02;
// The part of a coarse bucket, each twice as wide as the one before, that a
// fine one spans.
const double coarsePerFine = std::log2(bucketWidth);

std::size_t bucketOf(double milliseconds, std::size_t buckets)
{
    const double microseconds = milliseconds * 1000;
    if (microseconds < 1)
        return 0;
    const double index = 1 + std::floor(std::log(microseconds) / std::log(bucketWidth));
    return std::min(buckets - 1, std::size_t(index));
}

// The middle of a bucket, in milliseconds.
double middleOf(std::size_t bucket)
{
    return bucket == 0 ? 0.0005 : std::pow(bucketWidth, double(bucket) - 0.5) / 1000;
}

} // namespace

const double Tally::promBoundSeconds[Tally::promBounds] = {
    0.001, 0.0025, 0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5, 1, 2.5, 5, 10, 30, 60,
};

void Tally::add(const char *operation, const char *function, Outcome outcome,
                double milliseconds)
{
    // The watcher adds the call the calling process was lost in, after the
    // library may have written over the count.
    const std::size_t count = std::min(m_count, std::size_t(maxOperations));
    std::size_t i = 0;
    while (i < count && std::strncmp(m_rows[i].operation, operation, sizeof m_rows[i].operation))
        ++i;
    if (i == maxOperations)
        return;
    m_sequence.fetch_add(1, std::memory_order_acq_rel);
    Row &row = m_rows[i];
    if (i == count) {
        std::memset(&row, 0, sizeof row);
        std::strncpy(row.operation, operation, sizeof row.operation - 1);
        std::strncpy(row.function, function, sizeof row.function - 1);
        row.minMs = milliseconds;
        row.maxMs = milliseconds;
        m_count = count + 1;
    }
    ++row.outcomes[outcome];
    row.minMs = std::min(row.minMs, milliseconds);
    row.maxMs = std::max(row.maxMs, milliseconds);
    ++row.histogram[bucketOf(milliseconds, buckets)];
    row.sumMs += milliseconds;
    for (int b = 0; b < promBounds; ++b) {
        if (milliseconds <= promBoundSeconds[b] * 1000) {
            ++row.promBuckets[b];
            break;
        }
    }
    m_sequence.fetch_add(1, std::memory_order_acq_rel);
}

double Tally::latencyBoundMs(int bucket)
{
    return std::ldexp(1.0, bucket) / 1000;
}

std::uint64_t Tally::callsOf(const Row &row)
{
    std::uint64_t calls = 0;
    for (std::uint64_t count : row.outcomes)
        calls += count;
    return calls;
}

double Tally::valueAt(const Row &row, std::uint64_t rank)
{
    std::uint64_t seen = 0;
    for (std::size_t b = 0; b < buckets; ++b) {
        seen += row.histogram[b];
        if (seen > rank)
            return std::max(row.minMs, std::min(row.maxMs, middleOf(b)));
    }
    return row.maxMs;
}

// The nearest rank; the median of an even count is the mean of the middle two.
double Tally::percentile(const Row &row, double fraction)
{
    const std::uint64_t calls = callsOf(row);
    if (fraction == 0.5 && calls % 2 == 0)
        return (valueAt(row, calls / 2 - 1) + valueAt(row, calls / 2)) / 2;
    const std::uint64_t rank = std::uint64_t(std::ceil(fraction * double(calls)));
    return valueAt(row, rank > 0 ? rank - 1 : 0);
}

std::vector<Tally::Figures> Tally::figures() const
{
    // A calling process that stopped halfway through an add, or a library
    // that scribbles on the count, must not hold the reader for ever: after
    // a few tries the last copy is taken as it is.
    std::unique_ptr<Row[]> rows(new Row[maxOperations]);
    std::size_t count = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const unsigned before = m_sequence.load(std::memory_order_acquire);
        count = m_count < maxOperations ? m_count : std::size_t(maxOperations);
        std::memcpy(rows.get(), m_rows, count * sizeof(Row));
        std::atomic_thread_fence(std::memory_order_acquire);
        if (before % 2 == 0 && m_sequence.load(std::memory_order_relaxed) == before)
            break;
        std::this_thread::yield();
    }
    std::vector<Figures> out;
    for (std::size_t i = 0; i < count; ++i) {
        Row &row = rows[i];
        row.operation[sizeof row.operation - 1] = '\0';
        row.function[sizeof row.function - 1] = '\0';
        Figures f{{}, {},
                  callsOf(row), row.outcomes[Succeeded], row.outcomes[Failed],
                  row.outcomes[Implausible], row.outcomes[Differs], row.outcomes[BrokeContract],
                  row.minMs, percentile(row, 0.5), percentile(row, 0.95), percentile(row, 0.99),
                  row.maxMs, row.sumMs, {}, {}};
        std::memcpy(f.operation, row.operation, sizeof f.operation);
        std::memcpy(f.function, row.function, sizeof f.function);
        std::copy(std::begin(row.promBuckets), std::end(row.promBuckets), f.promBuckets);
        // Each fine bucket goes whole to the coarse one that holds its lower
        // bound: a call may be charted up to 2 % below its duration.
        for (std::size_t b = 0; b < buckets; ++b) {
            const int coarse = b == 0 ? 0 : 1 + int(std::floor(double(b - 1) * coarsePerFine));
            f.latency[std::min(coarse, latencyBuckets - 1)] += row.histogram[b];
        }
        out.push_back(f);
    }
    return out;
}
