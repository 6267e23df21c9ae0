#ifndef CLI_RECORD_H
#define CLI_RECORD_H

#include "run/callrecord.h"

#include <QPair>
#include <QString>
#include <QVector>

// Adds a call to what the run shares with the watcher: the tally, the
// timeline and, in words, what went wrong in it. What happened outside any
// call counts no call: only its findings are noted.
void recordCall(const CallRecord &call);

// What went wrong in a call, in words, each with its kind (Notes::Kind), as
// the reports say it.
QVector<QPair<int, QString>> notesOf(const CallRecord &call);

#endif
