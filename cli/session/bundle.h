#ifndef CLI_BUNDLE_H
#define CLI_BUNDLE_H

#include <QByteArray>
#include <QString>

// One commissioning's record: a folder only its owner reads (0700, files
// 0600), with a manifest of every file's SHA-256 that `sha256sum -c`
// verifies, and optionally packed as one .tar.gz beside it. Each says why
// it failed in words that follow the folder's path.

// The folder, made private if it is not there; an existing folder is
// used as it is only when private and owned by this user.
bool makeBundleFolder(const QString &folder, QString &why);
// A file of the bundle, written whole and private.
bool writeBundleFile(const QString &folder, const QString &name, const QByteArray &bytes,
                     QString &why);
// The manifest, SHA256SUMS, over every other regular file of the folder.
bool writeManifest(const QString &folder, QString &why);
// Before the run: whether the folder can be packed at its end, its name
// short enough and no FOLDER.tar.gz there to be replaced.
bool canArchive(const QString &folder, QString &why);
// FOLDER.tar.gz beside the folder, written whole and private; archivePath
// names it.
bool archiveBundle(const QString &folder, QString &archivePath, QString &why);

#endif
