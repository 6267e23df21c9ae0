#ifndef CLI_REPORT_H
#define CLI_REPORT_H

#include "run/callrecord.h"
#include "run/libraryidentity.h"
#include "run/notes.h"
#include "run/runstate.h"
#include "run/tally.h"
#include "run/timeline.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

// A signal as people know it: "Ctrl-C (SIGINT)", "segmentation fault (SIGSEGV)".
QString signalName(int signal);

// A call for people: a status line, each value under its field name, the
// library's message, what it wrote to standard output and error, and every
// contract finding.
QString describe(const CallRecord &call, bool showPin);

// A call for programs: one JSON object on one line.
QByteArray jsonLine(const CallRecord &call, bool showPin);

// The library the calls went to: path, size, SHA-256, SONAME, build ID, the
// functions it exports and whether it is our simulated reader.
QString describeLibrary(const LibraryIdentity &library);
QByteArray libraryJsonLine(const LibraryIdentity &library);

// How a run ended, for its closing summary.
struct RunSummary
{
    int rounds = 0;
    int roundsAsked = 0;      // 0: as many as the time limit allowed
    long long timeLimitMs = 0;  // --duration, or 0
    bool timeUp = false;      // the time limit ended the run
    int stoppedBy = 0;        // the signal that stopped the run, or 0
    int stoppedInRound = 0;   // the round it cut short, or 0
    QString ending;           // what ended the run early, if anything else did
    QString stoppedCall;      // the call the operator stopped, which counts in no figure
    double stoppedCallMs = 0; // how long it had run
    QStringList findings;     // what the library did that no call's report shows
    RunState::Usage atStart;
    RunState::Usage atEnd;
    std::vector<Tally::Figures> figures;
    LibraryIdentity library;

    // For the reports written at the end of the run.
    int exitStatus = 0;
    QString host;
    long long startTimeMs = 0;  // since the epoch
    long long endTimeMs = 0;    // the same
    long long elapsedMs = 0;    // by the monotonic clock, which no clock change moves
    int deviceType = 0;
    QByteArray regionCode;
    QString expectPath;       // the expected answers, or empty
    QByteArray expectSha256;  // their SHA-256 as they were read, hex
    QString savedAnswers;     // where the run's answers were saved, or empty
    bool savedAnswersCut = false;  // at what --expect reads
    QStringList notCompared;  // functions called that the expected answers do not name
    bool plausibility = true;
    // A guided commissioning, or a run given a bundle: what names the session
    // in every report, beside the expected answers.
    QString planPath;         // the plan followed, or empty
    QByteArray planSha256;    // hex
    QString operatorName;
    QString workOrder;
    QString bundlePath;       // the folder the run's record is kept in, or empty
    QStringList skipped;      // "operation: the reason the technician typed"
    QStringList notFitted;    // operations the plan marks as not fitted on this model
    QStringList comments;     // "operation: the comment typed"
    int stepsLeft = 0;        // of a guided session left before its end, to resume
    const Notes *notes = nullptr;
    const Timeline *timeline = nullptr;
};

// The rounds a run made, of how many it was asked for: "57 of 500", or
// "57" when the time limit alone was to end it.
QString roundsOf(const RunSummary &summary);
// A time of day for people, in the terminal's own zone, with its offset:
// "2024-05-01 10:00:00 UTC+02:00".
QString localTime(long long msSinceEpoch);
// A length of time as a clock shows it: "8:00:01", or "8:00:01.234".
QString clockTime(long long milliseconds, bool withMilliseconds);
// A time limit as --duration takes it: "90s", "1h30m", "2d".
QString durationText(long long milliseconds);

// What an exit status of cardreader-cli means, in a few words.
QString exitStatusMeaning(int status);

// The call the operator stopped, with how long it had run: shown apart,
// as it counts in no figure.
QString stoppedCallText(const RunSummary &summary);

QString summaryTable(const RunSummary &summary);
QByteArray summaryJson(const RunSummary &summary);

#endif
