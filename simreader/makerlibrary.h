#ifndef SIMREADER_MAKERLIBRARY_H
#define SIMREADER_MAKERLIBRARY_H

#include <string>

// The maker's library, loaded at a path the user gives so that a session
// with it can be recorded; or nullptr, with why, when it cannot be used.
void *loadMakerLibrary(const char *path, std::string &why);

// Whether an object loaded before this one already answers the reader
// functions: then this copy was loaded as the maker's library by the copy
// the program uses, which alone logs, scripts and records.
bool loadedAsMakerLibrary();

#endif
