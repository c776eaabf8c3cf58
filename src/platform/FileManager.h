#pragma once
// The file layer: forks with 16-bit reference numbers, 64-bit marks and
// classic statuses, over POSIX descriptors. Paths are absolute and stand for
// the old platform's file references; names are single path components.
#include "MacTypes.h"

#include <QByteArray>
#include <QString>
#include <functional>

enum : SInt8 { fsRdPerm = 1, fsWrPerm = 2 };
enum : UInt16 { fsAtMark = 0, fsFromStart = 1 };

// Opens the data fork of an existing file. fsRdPerm opens it for reading,
// following symbolic links; a pipe (a FIFO, a process substitution) is read
// as FSOpenForkFromStream reads it; a folder answers notAFileErr, a device
// afpObjectTypeErr. fsWrPerm opens it for writing and never follows a
// symbolic link in the last component. `streamStart` is for a pipe, as
// FSOpenForkFromStream takes it.
OSErr FSOpenFork(const QString &path, SInt8 permission, SInt16 *forkRefNum, const QByteArray &streamStart = {});
// Adopts an open descriptor as a fork (standard input copied to a file, say).
// The fork owns the descriptor from then on.
OSErr FSOpenForkFromDescriptor(int fd, SInt16 *forkRefNum);
// Reads the stream `fd` (a pipe, standard input) to its end into an anonymous
// temporary file, never into memory, and opens that as the fork: the parsers
// move back and forth in what they read. `fd` stays the caller's. A stream
// that does not begin with `start` is read no further and not copied: the
// fork then holds only the bytes read until they differed (in memory).
OSErr FSOpenForkFromStream(int fd, SInt16 *forkRefNum, const QByteArray &start = {});
// A new file without a name in $TMPDIR (else /tmp), open for reading and
// writing and gone once its last descriptor closes: -1, with errno set, when
// none can be made there.
int FSCreateTemporaryFile();
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
// Reads count bytes at `offset` without moving the mark or disturbing what
// was read ahead for it; *actualCount tells how many arrived, and a short
// read answers eofErr. For a look elsewhere in the middle of a run of reads.
OSErr FSReadForkAt(SInt16 forkRefNum, SInt64 offset, UInt32 requestCount, void *buffer,
                   UInt32 *actualCount);
// Writes count bytes at the mark (or at offset) and moves the mark past them.
// Small writes are gathered and reach the file in larger runs: a failure to
// store them (a full disk, say) is answered by a later write, a position
// change, FSGetForkSize or, at the latest, FSCloseFork.
OSErr FSWriteFork(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset,
                  UInt32 requestCount, const void *buffer, UInt32 *actualCount);
OSErr FSGetForkPosition(SInt16 forkRefNum, SInt64 *position);
OSErr FSSetForkPosition(SInt16 forkRefNum, UInt16 positionMode, SInt64 positionOffset);
OSErr FSGetForkSize(SInt16 forkRefNum, SInt64 *forkSize);
// Puts the gathered writes into the file: a failure to store them is the
// answer of the writes, which is where callers report it.
OSErr FSFlushFork(SInt16 forkRefNum);
// Copies `count` bytes of `source` from `sourceOffset` to `target` at its
// mark, inside the kernel, and moves both marks past them. unimpErr when the
// kernel refuses such a copy (between some file systems, say): what was
// copied until then is in *copied and the caller copies the rest itself.
// eofErr when the source ends first; any other status is the writing's.
OSErr FSCopyFork(SInt16 source, SInt64 sourceOffset, SInt16 target, UInt64 count, UInt64 *copied);
// The descriptor under an open fork, or -1; the fork keeps owning it.
int FSGetForkDescriptor(SInt16 forkRefNum);

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

// Test instrumentation: beforeRead and beforeWrite are called before every
// read and write with the fork and the requested count, a non-zero answer
// making the call fail with that status without touching the file.
// beforeCopy is called before every kernel copy with its count; a non-zero
// answer is taken as the errno of the copy. With noUnnamedFiles, new files
// are made as on a file system that has no unnamed files.
struct FSFileLayerHooks {
    std::function<OSErr(SInt16 forkRefNum, UInt32 requestCount)> beforeRead;
    std::function<OSErr(SInt16 forkRefNum, UInt32 requestCount)> beforeWrite;
    std::function<int(UInt64 count)> beforeCopy = {};
    bool noUnnamedFiles = false;
};
// The hooks in force; the folder layer reads them too.
const FSFileLayerHooks &FSGetFileLayerHooks();
void FSSetFileLayerHooks(const FSFileLayerHooks &hooks);
void FSClearFileLayerHooks();
// Number of forks now open; tests use it to show that nothing leaks.
int FSOpenForkCount();
