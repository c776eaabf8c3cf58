#pragma once
// The document model: one TNEFFile per opened TNEF file, with its attachment
// and attribute lists, and the attachment writer.
#include "platform/MacTypes.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class FSFolder;
class TNEFWinFile;

// A singly linked list that remembers its last item, so that appending the
// millionth item costs what appending the first did, whoever appends. It
// reads as a pointer to its first item.
template <typename Item>
struct TNEFList {
    Item *head = nullptr;
    Item *tail = nullptr;

    operator Item *() const { return head; }
    Item *operator->() const { return head; }
    void append(Item *item)
    {
        item->next = nullptr;
        (tail ? tail->next : head) = item;
        tail = item;
    }
};

struct TNEFFileItem {
    SInt64 namePosition = 0;
    UInt32 nameLength = 0;
    SInt64 dataPosition = 0;
    UInt32 dataLength = 0;
    std::string name;  // UTF-8, possibly empty; ends at the name's first zero
    UInt32 fileID = 0;
    SInt32 isTNEF = 0;  // -1 for an attached message
    // A file made from the message (its calendar or contact file): its bytes
    // are here, none in the TNEF file. Small, so held whole.
    std::optional<QByteArray> contents;
    // How the message's HTML refers to it (cid: and Content-Location) and the
    // MIME type its sender gave, as stored (UTF-8); empty when not given.
    std::string contentId;
    std::string contentLocation;
    std::string mimeTag;
    TNEFFileItem *next = nullptr;
};

struct TNEFAttributeItem {
    UInt32 attribute = 0;
    SInt64 position = 0;
    UInt32 length = 0;
    UInt32 objectID = 0;
    std::optional<std::string> text;
    TNEFAttributeItem *next = nullptr;
};

// A named property's name: its property set and long id, or its string name.
struct TNEFNamedId {
    std::array<UInt8, 16> guid{};
    UInt32 lid = 0;
    bool isString = false;
    std::string name;  // UTF-8, for a string name; cut to a few hundred bytes
};

struct TNEFMAPIItem {
    UInt16 type = 0;
    UInt16 id = 0;
    SInt64 position = 0;
    UInt32 length = 0;
    UInt32 count = 0;
    UInt32 index = 0;
    std::optional<std::string> text;  // UTF-8 copy of a name property
    std::optional<TNEFNamedId> named;  // ids 0x8000 and above, when the parse is asked for names
    TNEFMAPIItem *next = nullptr;
};

// Where one attribute's data lies in the file.
struct TNEFPlace {
    SInt64 position = 0;  // 0: absent (the signature is there)
    UInt32 length = 0;
    explicit operator bool() const { return position > 0; }
};

// Where the message's own attributes are, recorded while parsing: the
// message is read from the file only when it is asked for.
struct TNEFMessagePlaces {
    std::vector<TNEFPlace> properties;  // attMAPIProps blocks of the message, in order
    TNEFPlace subject, from, dateSent, dateReceived, messageClass, body, priority, recipients;
    TNEFPlace dateStart, dateEnd;
    UInt32 codePage = 0;  // as attOemCodepage declares it; 0 when it does not
};

struct TNEFFile {
    QString fileRef;   // absolute path of the TNEF file
    QString fileName;  // its own name
    SInt16 forkRefNum = 0;
    TNEFWinFile *winFile = nullptr;
    TNEFList<TNEFFileItem> fileList;
    UInt32 selectedFileID = 0;
    TNEFList<TNEFAttributeItem> attributeList;
    UInt32 selectedAttributeID = 0;
    TNEFFile *next = nullptr;
    TNEFMessagePlaces messagePlaces;  // filled by parses that are given it
};

extern TNEFFile *gTNEFFileList;

TNEFFile *TNEFFileCreate();
void TNEFFileDestroy(TNEFFile *tnefFile);

// Creates a TNEFFile for the file at `path`, fills its reference and name and
// opens its data fork for reading. Null (with *status set) when the file
// cannot be opened; nothing is then left in gTNEFFileList.
TNEFFile *TNEFFileOpen(const QString &path, OSErr *status);
// The same for the stream `fd` (standard input), named `name`.
TNEFFile *TNEFFileOpenStream(int fd, const QString &name, OSErr *status);

// The attachment whose fileID is `fileID`, and the attribute whose objectID
// is `objectID`; null when there is none.
const TNEFFileItem *TNEFFileFindItem(const TNEFFile *tnefFile, UInt32 fileID);
const TNEFAttributeItem *TNEFFileFindAttribute(const TNEFFile *tnefFile, UInt32 objectID);

// Asked for another name when the one tried was taken by the time the file
// was complete; a null answer gives up.
using TNEFFileSaveNextName = std::function<QString()>;

// Writes attachment `item` of `tnefFile` (null: an empty file) as `name` in
// `folder`. The file shows under its name only once it is complete; a failed
// write leaves nothing behind. Without `replace` nothing existing is touched:
// a name taken by then is given up, or traded for `nextName`'s answer. With
// `replace`, an existing file of that name is replaced in one step. The name
// the file got goes to `outName`.
SInt32 TNEFFileSaveItem(TNEFFile *tnefFile, const TNEFFileItem *item, const FSFolder &folder,
                        const QString &name, bool replace, const TNEFFileSaveNextName &nextName = {},
                        QString *outName = nullptr);
// Writes `bytes` as `name` in `folder` by the same rules.
SInt32 TNEFFileSaveBytes(const QByteArray &bytes, const FSFolder &folder, const QString &name, bool replace,
                         const TNEFFileSaveNextName &nextName = {}, QString *outName = nullptr);
// The same for attachment `fileID`, written to `destination` (an absolute
// path whose folder must exist).
SInt32 TNEFFileSave(TNEFFile *tnefFile, UInt32 fileID, const QString &destination, bool replace);
// Looks up the MIME type for `fileName` by its extension: noErr with *mimeType
// filled, or a non-zero status when the extension has no mapping.
SInt32 TNEFFileSaveSetCorrectFileType(const QString &fileName, QString *mimeType);
