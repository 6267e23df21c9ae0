#ifndef CLI_LIBRARYFILE_H
#define CLI_LIBRARYFILE_H

#include "runstate.h"

#include <QString>

// What a library file is, read from the file itself: its size, SHA-256,
// SONAME, GNU build ID and whether it is our simulated reader. The first
// question of every support case is which build of the maker's library a
// terminal loads.
void describeLibraryFile(const QString &path, RunState::Library &library);

#endif
