#ifndef CLI_METRICS_H
#define CLI_METRICS_H

#include "options.h"
#include "output.h"

// The run's figures in Prometheus's text exposition format, for the node
// exporter's textfile collector: calls by operation, function and outcome,
// a duration histogram per operation, rounds done, the run's start and last
// update, the library as an info metric. Written to --metrics, if it was
// given, whole to a temporary file beside it and renamed over it, so that a
// scrape never reads half. A file that cannot be written is said once and
// marks the run.
void publishMetrics(const Options &options, bool finished, Output &output);

#endif
