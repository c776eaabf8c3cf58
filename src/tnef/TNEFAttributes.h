#pragma once
// Every TNEF attribute word this program knows, with the name the attribute
// list shows for it. The word is the whole 32 bits: data format in the high
// half, attribute type in the low half, so a known type with an unexpected
// format stays nameless rather than being mistaken for the known attribute.
#include "platform/MacTypes.h"

#define TNEF_ATTRIBUTES(X)                                              \
    X(attNull, 0x00000000, "Null")                                      \
    X(attOwner, 0x00060000, "Owner")                                    \
    X(attSentFor, 0x00060001, "Sent For")                               \
    X(attDelegate, 0x00060002, "Delegate")                              \
    X(attDateStart, 0x00030006, "Date Start")                           \
    X(attOriginalMessageClass, 0x00070006, "Original Message Class")    \
    X(attDateEnd, 0x00030007, "Date End")                               \
    X(attAidOwner, 0x00050008, "Aid Owner")                             \
    X(attRequestRes, 0x00040009, "Request Res")                         \
    X(attFrom, 0x00008000, "From")                                      \
    X(attSubject, 0x00018004, "Subject")                                \
    X(attDateSent, 0x00038005, "Date Sent")                             \
    X(attDateRecd, 0x00038006, "Date Received")                         \
    X(attMessageStatus, 0x00068007, "Message Status")                   \
    X(attMessageClass, 0x00078008, "Message Class")                     \
    X(attMessageID, 0x00018009, "Message ID")                           \
    X(attParentID, 0x0001800A, "Parent ID")                             \
    X(attConversationID, 0x0001800B, "Conversation ID")                 \
    X(attBody, 0x0002800C, "Body")                                      \
    X(attPriority, 0x0004800D, "Priority")                              \
    X(attAttachData, 0x0006800F, "Attachment Data")                     \
    X(attAttachTitle, 0x00018010, "Attachment Title")                   \
    X(attAttachMetaFile, 0x00068011, "Attachment Meta File")            \
    X(attAttachCreateDate, 0x00038012, "Attachment Create Date")        \
    X(attAttachModifyDate, 0x00038013, "Attachment Modify Date")        \
    X(attDateModified, 0x00038020, "Date Modified")                     \
    X(attAttachTransportFilename, 0x00069001, "Attachment Transport Filename") \
    X(attAttachRenddata, 0x00069002, "Attachment Renddata")             \
    X(attMAPIProps, 0x00069003, "MAPI Properties")                      \
    X(attRecipTable, 0x00069004, "Recipient Table")                     \
    X(attAttachment, 0x00069005, "Attachment")                          \
    X(attTnefVersion, 0x00089006, "TNEF Version")                       \
    X(attOemCodepage, 0x00069007, "OEM Codepage")

#define TNEF_ATTRIBUTE_ENUM(name, word, text) name = word,
enum : UInt32 { TNEF_ATTRIBUTES(TNEF_ATTRIBUTE_ENUM) };
#undef TNEF_ATTRIBUTE_ENUM
