#ifndef CLI_PRIVATEFILE_H
#define CLI_PRIVATEFILE_H

#include <QByteArray>
#include <QString>

// Reports hold card data: they are written readable by their owner alone
// (0600 from the moment the file exists), whole to a temporary file beside
// the target and renamed over it, so that a reader never sees half a
// report and an old one is replaced only by a complete new one. The target
// must not be a directory, a device or a FIFO. False, with why (in words that
// follow the path, such as "cannot create a file in /var/lib/x: Permission
// denied"), when it cannot be written.
bool writePrivateFile(const QString &path, const QByteArray &bytes, QString &why);

// For the start of a run, before any call: whether a file can be made beside
// the target and the target is one that may be replaced.
bool canWritePrivateFile(const QString &path, QString &why);

#endif
