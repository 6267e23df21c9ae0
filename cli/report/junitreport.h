#ifndef CLI_JUNITREPORT_H
#define CLI_JUNITREPORT_H

#include "report.h"

#include <QByteArray>

// The run as JUnit XML, for CI servers (Jenkins, GitLab): one test suite
// named after the terminal, with the library's identity, the device and the
// region as properties, and one test case per operation. Failed calls and
// wrong answers make a failure, contract breaches an error; each gives its
// counts and the first distinct messages, never one element per call, so a
// burn-in of a million calls stays a few kilobytes. What the library did to
// the run as a whole makes a test case of its own, named "run".
QByteArray junitReport(const RunSummary &summary);

#endif
