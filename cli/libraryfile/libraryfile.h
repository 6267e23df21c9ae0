#ifndef CLI_LIBRARYFILE_H
#define CLI_LIBRARYFILE_H

#include "run/libraryidentity.h"

#include <QByteArray>

#include <functional>

#include <sys/stat.h>

// Finds the library that the loader loads for the window, cardreader-tool
// beside this program, by asking the loader itself: it lists the libraries
// of the window as it would load them (LD_TRACE_LOADED_OBJECTS), which runs
// none of their code, nor the window's. Where it cannot be asked (no window,
// a machine this one only emulates), cardreader-cli's own search stands in
// for it, and foundBy says so: each directory of LD_LIBRARY_PATH, then the
// window's own directory, then the system's (/etc/ld.so.cache, then the
// directories of this program's libc, /lib, /usr/lib), without the loader's
// subdirectories and $ORIGIN, $LIB and $PLATFORM. A file the loader passes
// over (built for another machine, or unreadable) is named only when no
// other is found; one that would stop the loader ends the search.
// libraryOption: the --library argument as given, empty if not given; made
// absolute against the working directory now, and not searched for. Also
// notes the objects loaded ahead of every program's own libraries that
// define reader functions. Reads the ELF header only; never hashes.
LibraryIdentity findLibrary(const QByteArray &libraryOption);
// The same for the window at a given path: a program that needs the library
// by its name, libVrkReaderClient.so, with RUNPATH $ORIGIN.
LibraryIdentity findLibrary(const QByteArray &libraryOption, const QByteArray &window);

// Reads size, SONAME, build ID, the simulated reader's note and the exports
// through fixed-size blocks read from identity.fd, in memory that does not
// grow with the file; a crafted file gets bounded work (past a bound, that
// field stays unknown).
void readLibraryElf(LibraryIdentity &identity);

// readLibraryElf, then the SHA-256, in the same blocks. stop() is asked
// after every MiB hashed; when it returns true, sha256 stays empty. False
// when the file was written while it was read, which leaves sha256 empty
// too: a digest of parts of two versions names neither.
bool readLibraryFile(LibraryIdentity &identity, const std::function<bool()> &stop);

enum class LaterHash { Taken, Changed, NotTaken };

// The SHA-256 for the summary of a run whose library's code has run since
// atStart was taken: only if the file is as it was then and stays so while
// it is hashed (Changed otherwise), and not if it was written so shortly
// before runStartMs (since the epoch) that a write by the library could
// have left its change time as it was (NotTaken, as when stop() stops it).
LaterHash hashAfterRun(LibraryIdentity &identity, const struct stat &atStart, long long runStartMs,
                       const std::function<bool()> &stop);

#endif
