#ifndef CLI_LIBRARYIDENTITY_H
#define CLI_LIBRARYIDENTITY_H

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The 13 functions, in the order of vrkreaderclient.h.
const int readerFunctionCount = 13;
extern const char *const readerFunctionNames[readerFunctionCount];

// The names of the functions whose bit in exported is set (or clear).
QStringList readerFunctions(unsigned exported, bool present);

// The functions whose bit in lacking is set, each with where the loader
// finds it instead, if anywhere: "VRK_ReadCarNo (the loader finds it in
// /lib/libdep.so)".
QStringList lackedFunctions(unsigned lacking, const QString (&elsewhere)[readerFunctionCount]);

// Which libVrkReaderClient.so a run loads, read from the file's own bytes in
// the process that never runs the library's code.
struct LibraryIdentity
{
    QByteArray path;        // absolute, as bytes (file names need not be UTF-8); empty: none found
    QString foundBy;        // how path was chosen, for people: the loader, or cardreader-cli's own
                            // search and why the loader could not be asked; empty for --library
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
    // Objects loaded ahead of every program's own libraries (LD_PRELOAD,
    // /etc/ld.so.preload) that define reader functions: a program linked
    // with the library calls theirs in its place.
    QList<QByteArray> preloaded;    // their paths, as the loader names them
    unsigned preloadedFunctions = 0;  // bit i: readerFunctionNames[i] is one of those
    // Where the loader finds a function the file does not define, once the
    // calling process has loaded it: "the loader finds it in /lib/libdep.so";
    // empty where it finds none. The window would call that file's.
    QString elsewhere[readerFunctionCount];
};

#endif
