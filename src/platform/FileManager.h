#pragma once
// The file layer: forks with 16-bit reference numbers, 64-bit marks and
// classic statuses, over POSIX descriptors. Paths are absolute and stand for
// the old platform's file references; names are single path components.
#include "MacTypes.h"

#include <QString>
#include <functional>

enum : SInt8 { fsRdPerm = 1, fsWrPerm = 2 };
enum : UInt16 { fsAtMark = 0, fsFromStart = 1 };

// Opens the data fork of an existing file. fsRdPerm opens it for reading,
// following symbolic links; a pipe (a FIFO, a process substitution) is read
// as FSOpenForkFromStream reads it; a folder answers notAFileErr, a device
// afpObjectTypeErr. fsWrPerm opens it for writing and never follows a
// symbolic link in the last component.
OSErr FSOpenFork(const QString &path, SInt8 permission, SInt16 *forkRefNum);
// Adopts an open descriptor as a fork (standard input copied to a file, say).
// The fork owns the descriptor from then on.
OSErr FSOpenForkFromDescriptor(int fd, SInt16 *forkRefNum);
// Reads the stream `fd` (a pipe, standard input) to its end into an anonymous
// temporary file, never into memory, and opens that as the fork: the parsers
// move back and forth in what they read. `fd` stays the caller's.
OSErr FSOpenForkFromStream(int fd, SInt16 *forkRefNum);
OSErr FSCloseFork(SInt16 forkRefNum);
// Opens, for reading, a fork that sees only `length` bytes of the file of
// `parentRefNum` from `offset` on: its positions count from there and its
// size ends there (earlier when the file does). It has a descriptor of its
// own, and the parent may be closed first.
OSErr FSOpenForkRange(SInt16 parentRefNum, SInt64 offset, SInt64 length, SInt16 *forkRefNum);

// Reads count bytes at the mark (fsAtMark) or at offset (fsFromStart) and
// moves the mark past them. noErr only when the whole count was read; a short
// read answers eofErr with *actualCount telling how many bytes did arrive.
OSErr FSReadFork(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                 UInt32 requestCount, void *buffer, UInt32 *actualCount);
// Writes count bytes at the mark (or at offset) and moves the mark past them.
// Small writes are gathered and reach the file in larger runs: a failure to
// store them (a full disk, say) is answered by a later write, a position
// change, FSGetForkSize or, at the latest, FSCloseFork.
OSErr FSWriteFork(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                  UInt32 requestCount, const void *buffer, UInt32 *actualCount);
OSErr FSGetForkPosition(SInt16 forkRefNum, SInt64 *position);
OSErr FSSetForkPosition(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSErr FSGetForkSize(SInt16 forkRefNum, SInt64 *forkSize);

// Creates a new, empty file named `name` in `parentDir`, exclusively: an
// existing object of that name (a dangling link included) answers dupFNErr.
// With forkRefNum given, the new file's data fork is left open for writing,
// so that nobody can swap another file in between creation and writing.
OSErr FSCreateFileUnicode(const QString &parentDir, const QString &name, QString *outPath,
                          SInt16 *forkRefNum = nullptr);
OSErr FSCreateDirectoryUnicode(const QString &parentDir, const QString &name, QString *outPath);
// Removes a file or an empty folder.
OSErr FSDeleteObject(const QString &path);
// Renames `from` over `to` in one step (both in the same folder).
OSErr FSReplaceObject(const QString &from, const QString &to);
// True when an object of any kind exists at the path (a dangling link too).
bool FSObjectExists(const QString &path);
// True when the path names an existing folder.
bool FSIsFolder(const QString &path);

// Path helpers standing in for the URL calls.
QString FSPathAppendingComponent(const QString &folder, const QString &name);
QString FSPathParent(const QString &path);
QString FSPathLastComponent(const QString &path);

// Maps an errno value to the nearest classic status.
OSErr FSStatusFromErrno(int err);

// Test instrumentation: called before every read and write with the fork and
// the requested count; a non-zero answer makes the call fail with that status
// without touching the file.
struct FSFileLayerHooks {
    std::function<OSErr(SInt16 forkRefNum, UInt32 requestCount)> beforeRead;
    std::function<OSErr(SInt16 forkRefNum, UInt32 requestCount)> beforeWrite;
};
void FSSetFileLayerHooks(const FSFileLayerHooks &hooks);
void FSClearFileLayerHooks();
// Number of forks now open; tests use it to show that nothing leaks.
int FSOpenForkCount();
