#ifndef CLI_LIBRARYFILE_H
#define CLI_LIBRARYFILE_H

#include <QByteArray>
#include <QString>

// What a library file is, read from the file itself: the first question of
// every support case is which build of the maker's library a terminal loads.
struct LibraryFile
{
    qint64 size = -1;
    QByteArray sha256;       // hex
    QByteArray soname;
    QByteArray buildId;      // hex, from the GNU build-id note
    QByteArray simulated;    // "simulated reader 1.0" in our own build, else empty
};

LibraryFile describeLibraryFile(const QString &path);

#endif
