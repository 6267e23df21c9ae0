#ifndef CLI_LIBRARYFILE_H
#define CLI_LIBRARYFILE_H

#include "run/libraryidentity.h"

#include <QByteArray>

#include <functional>

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
