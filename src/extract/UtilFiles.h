#pragma once
// Names for the files and folders that extraction writes: a name that the file
// system takes as one component, and free names inside a destination folder.
// Folders are open folders; names are single components, a null QString
// standing for "none".
#include "platform/MacTypes.h"
#include "tnef/TNEFText.h"

#include <QString>

class FSFolder;

// The longest name component Linux file systems take, in bytes of UTF-8.
inline constexpr int kUtilFileMaxNameBytes = 255;

// Counters run from 1 up to this bound, which is never tried.
inline constexpr UInt32 kUtilFileCounterEnd = 0xFFFFFFFFu;

// Bytes that `name` takes in UTF-8.
int UtilFileNameBytes(const QString &name);

// The longest leading part of `name` that fits in `maxBytes` bytes of UTF-8,
// cut between two characters.
QString UtilFileCutName(const QString &name, int maxBytes);

// Like UtilFileCutName, but when a cut is needed the extension (from the last
// ".") is kept and the part before it shortened, as long as some of that part
// remains.
QString UtilFileCutNameKeepingExtension(const QString &name, int maxBytes);

// `inName` without ":" and "/" (and without NUL characters, which no path can
// hold), cut to kUtilFileMaxNameBytes keeping its extension. A result that is
// empty, "." or ".." becomes kUntitledAttachment.
QString UtilFileCreateSafeName(const QString &inName);

// A name in `inParentDir` under which nothing exists: `inFileName` itself,
// or with " n" for the first free counter n before its extension (the part
// from its last ".", when that is not its first character): report 1.pdf,
// report 2.pdf; a name without extension gets it at its end. With
// `inFirstCounter` above 0 the bare name is skipped and the search starts at
// that counter; the counter of the result (0 for the bare name) goes to
// `outCounter`. Null when the arguments are missing or no counter is left.
QString UtilFileFindUniqueFile(const FSFolder &inParentDir, const QString &inFileName,
                               UInt32 inFirstCounter = 0, UInt32 *outCounter = nullptr);

// The same search for a new folder: `inDirectoryName` followed by " Folder",
// then " Folder 1", " Folder 2" and so on.
QString UtilFileFindUniqueDir(const FSFolder &inParentDir, const QString &inDirectoryName,
                              UInt32 inFirstCounter = 0, UInt32 *outCounter = nullptr);

// Creates the folder `inName` in `inParentDir` and opens it as `*outDir`. The
// status of the creation goes to `outErr` when given.
bool UtilFileCreateDir(const FSFolder &inParentDir, const QString &inName, FSFolder *outDir,
                       OSErr *outErr = nullptr);
