#pragma once
// Folders held open by descriptor, and new files that show under their name
// only once they are complete.
//
// Whatever is made inside a folder is made through the folder's descriptor:
// a folder that somebody renames, or replaces with a link, while it is being
// filled cannot send the files anywhere else, because no path is resolved a
// second time.
#include "MacTypes.h"

#include <QByteArray>
#include <QString>

class FSFolder {
public:
    FSFolder() = default;
    ~FSFolder();
    FSFolder(FSFolder &&other) noexcept;
    FSFolder &operator=(FSFolder &&other) noexcept;
    FSFolder(const FSFolder &) = delete;
    FSFolder &operator=(const FSFolder &) = delete;

    // Opens the folder at `path`. A link to a folder is followed: the user's
    // own choice of destination may be one.
    OSErr open(const QString &path);
    bool isOpen() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }

    // True when an object of any kind, a dangling link too, has this name here.
    bool contains(const QString &name) const;
    // Where the folder is now: the path it was opened or made at while that
    // still leads to it, otherwise where the system says it went.
    QString path() const;
    QString pathOf(const QString &name) const;

private:
    friend OSErr FSCreateDirectoryUnicode(const FSFolder &parent, const QString &name,
                                          FSFolder *created);
    OSErr adopt(int fd, const QString &path);

    int m_fd = -1;
    QString m_path;
    UInt64 m_device = 0;
    UInt64 m_inode = 0;
};

// Creates the folder `name` in `parent` and opens it as `*created`. Should
// something else stand under that name by the time it is opened (a link, a
// folder of another user), the new folder is not opened and permErr answers.
OSErr FSCreateDirectoryUnicode(const FSFolder &parent, const QString &name, FSFolder *created);

// A new file in a folder that nobody sees under a name before it is complete.
// It is made without a name (O_TMPFILE) and linked into the folder when done.
// Where the file system cannot make such files it gets a hidden name, which
// is taken away again when the file is discarded and, when the program has
// not taken over the signal itself, on SIGINT, SIGTERM and SIGHUP. Nothing
// is removed by a name that denotes any other file by then.
class FSNewFile {
public:
    FSNewFile() = default;
    ~FSNewFile();  // a file that did not get its name is discarded
    FSNewFile(const FSNewFile &) = delete;
    FSNewFile &operator=(const FSNewFile &) = delete;

    // Makes the file in `folder`, which must outlive this object, and opens it
    // for writing as `*forkRefNum`; the caller closes that fork.
    OSErr create(const FSFolder &folder, SInt16 *forkRefNum);
    // Records an extended attribute on the file.
    OSErr setAttribute(const char *key, const QByteArray &value);
    // Gives the file the name `name`, exclusively: dupFNErr when the name is
    // taken, and the file may then be given another.
    OSErr link(const QString &name);
    // Gives the file the name `name` in place of whatever file has it, in one
    // step: the old file is there until the new one is.
    OSErr replace(const QString &name);

private:
    OSErr namable(const QString &name) const;
    OSErr keepHiddenName(const QByteArray &hidden);
    OSErr takeHiddenName();
    void forgetHiddenName();
    void dropHiddenName();

    const FSFolder *m_folder = nullptr;
    int m_fd = -1;
    QByteArray m_hidden;  // the file's hidden name, while it has one
    int m_cleanupSlot = -1;
    UInt64 m_device = 0;
    UInt64 m_inode = 0;
};
