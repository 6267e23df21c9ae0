#ifndef CLI_LIBRARYFILE_H
#define CLI_LIBRARYFILE_H

#include <QByteArray>
#include <QString>

#include <functional>

// Which libVrkReaderClient.so a run loads, read from the file's own bytes in
// the process that never runs the library's code.
struct LibraryIdentity
{
    QByteArray path;        // absolute, as bytes (file names need not be UTF-8); empty: none found
    int fd = -1;            // open O_RDONLY on that file, kept for the whole run; also open on a
                            // file the loader would refuse, so that it can still be described
    QString unusable;       // set when the loader could not load it, said as people say it:
                            // "cannot open it: Permission denied", "not an ELF file",
                            // "built for AArch64, this is x86-64", "not a shared library"
    long long size = -1;    // bytes, whatever the size
    QByteArray sha256;      // 64 lowercase hex digits; empty until hashed
    QByteArray soname;      // DT_SONAME
    QByteArray buildId;     // GNU build ID note as hex
    QByteArray simulated;   // text of the note named "cardreader", type 1, that marks our
                            // simulated reader; else empty
    bool exportsKnown = false;  // false: no .dynsym, or one past the bounds
    unsigned exported = 0;  // bit i: readerFunctionNames[i] is a defined global or weak FUNC or
                            // IFUNC symbol in .dynsym
};

// Finds the library as the loader would for the program: each directory of
// LD_LIBRARY_PATH, then the program's own directory, then the system's
// (/etc/ld.so.cache, then the directories of the program's own libc, /lib,
// /usr/lib). A file the loader passes over (built for another machine, or
// unreadable) is named only when no other is found; one that would stop the
// loader (not an ELF shared library) ends the search. libraryOption: the
// --library argument as given, empty if not given; made absolute against
// the working directory now. Reads the ELF header only; never hashes.
LibraryIdentity findLibrary(const QByteArray &libraryOption);

// Reads size, SONAME, build ID, the simulated reader's note, the exports and
// the SHA-256, through fixed-size blocks read from
// identity.fd, in memory that does not grow with the file; a crafted file
// gets bounded work (past a bound, that field stays unknown). stop() is
// asked after every MiB hashed; when it returns true, sha256 stays empty.
void readLibraryFile(LibraryIdentity &identity, const std::function<bool()> &stop);

#endif
