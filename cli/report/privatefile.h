#ifndef CLI_PRIVATEFILE_H
#define CLI_PRIVATEFILE_H

#include <QByteArray>

#include <cstddef>
#include <QString>

// Reports hold card data: they are written readable by their owner alone
// (0600 from the moment the file exists), whole to a temporary file beside
// the target and renamed over it, so that a reader never sees half a
// report and an old one is replaced only by a complete new one. The target
// must not be a directory, a device or a FIFO. False, with why (in words that
// follow the path, such as "cannot create a file in /var/lib/x: Permission
// denied"), when it cannot be written.
bool writePrivateFile(const QString &path, const QByteArray &bytes, QString &why);

// The same for a file written a piece at a time: the temporary file beside
// the target, private from its creation (-1, with why, when it cannot be
// made), then made the target, or removed when ok is false or it cannot be.
int beginPrivateFile(const QString &path, QByteArray &temporary, QString &why);
bool finishPrivateFile(const QString &path, int fd, const QByteArray &temporary, bool ok,
                       QString &why);
// Every byte, or false.
bool writeWhole(int fd, const char *bytes, std::size_t size);

// For the start of a run, before any call: whether a file can be made beside
// the target and the target is one that may be replaced.
bool canWritePrivateFile(const QString &path, QString &why);

#endif
