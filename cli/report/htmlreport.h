#ifndef CLI_HTMLREPORT_H
#define CLI_HTMLREPORT_H

#include "report.h"

#include <QByteArray>

// The run as one web page for people: a verdict at the top, the terminal,
// the library's identity, the figures per operation with a latency chart
// each, what went wrong with its round, and for a burn-in the calls and
// their durations over time. Self-contained (inline CSS and SVG, no script,
// nothing beside it), so it opens offline in any browser, and every text
// that came from the library is escaped: it shows, it never runs.
QByteArray htmlReport(const RunSummary &summary);

#endif
