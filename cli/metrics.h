#ifndef CLI_METRICS_H
#define CLI_METRICS_H

#include "options.h"
#include "output.h"
#include "runstate.h"

#include <QString>

// The run's figures in Prometheus's text exposition format, for the node
// exporter's textfile collector: calls by operation, function and outcome,
// a duration histogram per operation, rounds done, the run's start and last
// update, the library as an info metric. Written whole to a temporary file
// beside the target and renamed over it, so a scrape never reads half.
bool writeMetrics(const QString &path, const RunState &state, const Options &options,
                  bool finished, QString &why);

// Writes the figures to --metrics, if it was given; a file that cannot be
// written is said once and marks the run.
void publishMetrics(const Options &options, bool finished, Output &output);

#endif
