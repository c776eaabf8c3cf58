#pragma once
// The TNEF stream reader, the two parsers and the list operations they use.
#include "TNEFAttributes.h"
#include "TNEFFile.h"
#include "TNEFProps.h"

#include <cstdio>

extern bool gTNEFParseTraceOn;
extern FILE *gTNEFParseDebugFile;

// Parser status codes.
enum : SInt32 {
    kTNEFParseErrRead = -1,
    kTNEFParseErrPosition = -3,
    kTNEFParseErrSetPosition = -4,
    kTNEFParseErrAddAttribute = -5,
    kTNEFParseErrAddFile = -6,
    kTNEFParseErrObjectType = -7,
    kTNEFParseErrFileSize = -8,
    kTNEFParseErrText = -10,
    kTNEFParseErrAddMAPI = -11,
};

// The signature; the attribute words live in TNEFAttributes.h, the MAPI
// properties in TNEFProps.h.
enum : UInt32 { kTNEFSignature = 0x223E9F78 };

SInt64 TNEFParseGetPosition(SInt16 forkRefNum);
SInt32 TNEFParseGetInt8(SInt16 forkRefNum, UInt8 *value);
SInt32 TNEFParseGetInt16(SInt16 forkRefNum, UInt16 *value);
SInt32 TNEFParseGetInt32(SInt16 forkRefNum, UInt32 *value);
SInt32 TNEFParseGetInt64(SInt16 forkRefNum, UInt64 *value);

// Appends an attachment whose name is read from the fork at namePosition and
// decoded with nameCodePage (kCodePageUTF16LE for Unicode names, 0 for the
// default code page). The fork's mark is unchanged afterwards.
TNEFFileItem *TNEFParseAddFileToList(TNEFList<TNEFFileItem> *fileList, SInt16 forkRefNum,
                                     SInt64 namePosition, UInt32 nameLength,
                                     SInt64 dataPosition, UInt32 dataLength, UInt32 fileID,
                                     SInt32 isTNEF, UInt32 nameCodePage = 0);
TNEFAttributeItem *TNEFParseAddAttributeToList(TNEFList<TNEFAttributeItem> *attributeList,
                                               UInt32 attribute, SInt64 position, UInt32 length,
                                               UInt32 objectID, std::optional<std::string> text);
TNEFMAPIItem *TNEFParseAddMAPIToList(TNEFList<TNEFMAPIItem> *mapiList, UInt16 type, UInt16 id,
                                     SInt64 position, UInt32 length, UInt32 count, UInt32 index,
                                     std::optional<std::string> text);
void TNEFParseDestroy(TNEFList<TNEFFileItem> *fileList, TNEFList<TNEFAttributeItem> *attributeList);
void TNEFParseMAPIDestroy(TNEFList<TNEFMAPIItem> *mapiList);

// Decodes one MAPI property block at the fork's mark. No byte at or past
// blockEnd is read (a negative blockEnd sets no bound). 8-bit name values are
// decoded with codePage. With `keep`, only values whose id it accepts become
// items; every property is read and traced all the same. A property whose
// value the stream parser uses (the two names, the attached object) makes one
// item however many values, or properties of its id, the block holds: the
// first non-empty value, or the first value when all are empty. With
// `allTypes`, the value types the stream parse passes by (64-bit integers,
// class ids, multiple values, ...) are read too, one item per value; a type
// that is not known at all then fails the block, since its size is not known.
// With `keepNamed`, each named property's item carries its name
// (TNEFMAPIItem::named), a named property makes an item only when keepNamed
// accepts its name, and only the first value of each tagged id and of each
// name (set and long id, or set and string) becomes an item, so that the
// list never holds more than one item per id or name. Named properties that
// share an id are told apart by their names.
SInt32 TNEFParseMAPI(SInt16 forkRefNum, TNEFList<TNEFMAPIItem> *mapiList, SInt64 blockEnd = -1,
                     UInt32 codePage = 0, bool (*keep)(UInt16 id) = nullptr, bool allTypes = false,
                     bool (*keepNamed)(const TNEFNamedId &name) = nullptr);
// True when the fork begins with the TNEF signature: a file that fails to
// parse without it is no TNEF file at all rather than a damaged one. The
// mark is left at the fork's start.
bool TNEFParseHasSignature(SInt16 forkRefNum);
// Parses a whole TNEF stream from the start of the fork into the two lists
// (either may be null), and records where the message's own attributes are
// into `places` when it is given.
SInt32 TNEFParseFileList(SInt16 forkRefNum, TNEFList<TNEFFileItem> *fileList,
                         TNEFList<TNEFAttributeItem> *attributeList, TNEFMessagePlaces *places = nullptr);
