#ifndef CLI_METRICS_H
#define CLI_METRICS_H

#include "run/libraryidentity.h"
#include "run/options.h"

#include <QString>

// The run's figures in Prometheus's text exposition format, for the node
// exporter's textfile collector: calls by operation, function and outcome,
// a duration histogram per operation, rounds done, the run's start, time
// elapsed, last update and end, the library as an info metric. Written to --metrics, if it was
// given, whole to a temporary file beside it and renamed over it, so that a
// scrape never reads half. Written by the watcher alone: neither the
// library's working directory nor its hold on the calling process's
// descriptors and limits can move or stop them. Returns false, with why,
// when the file cannot be written.
struct RunTimes
{
    long long startMs;    // since the epoch
    long long endMs;      // the same; 0: the run goes on
    long long elapsedMs;  // so far
};
bool writeMetrics(const Options &options, const LibraryIdentity &library, const RunTimes &times,
                  QString &why);

#endif
