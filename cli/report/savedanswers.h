#ifndef CLI_SAVEDANSWERS_H
#define CLI_SAVEDANSWERS_H

#include "run/callrecord.h"

#include <QByteArray>
#include <QString>

// A run's answers as a script, which --expect takes as they are: each call
// that came back as one line, the PIN as the stand-in that matches any key.
// A call that failed or broke the contract is written as it happened; the
// run says that such a file is no known-good set.

// The comment that opens the file: what it is and whence it came.
QByteArray savedAnswersHeader(const QByteArray &libraryPath);

// The call's line, or nothing for a call that never came back.
QByteArray savedAnswerLine(const CallRecord &call);

#endif
