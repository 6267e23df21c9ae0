#ifndef CLI_LIBRARYTEXT_H
#define CLI_LIBRARYTEXT_H

#include <QByteArray>
#include <QString>

// Library text for a terminal: control characters, backslashes, quotes and
// bytes that are not UTF-8 escaped, so nothing from the library can drive it.
QString printable(const QByteArray &text);

#endif
