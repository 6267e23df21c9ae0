#ifndef CLI_MARKUP_H
#define CLI_MARKUP_H

#include <QString>

// Text for an XML or HTML report. What the library wrote is escaped for
// terminals before it is kept, but the memory it is kept in is the
// library's to write too: every character that XML 1.0 forbids, and every
// control character, is written out as \xHH or \uHHHH, so that the file
// stays well-formed and nothing in it can drive a terminal that shows it;
// so is every character that shows as nothing or turns the text around it
// (a direction override would make "got" read as "expected").
QString markupSafe(const QString &text);

#endif
