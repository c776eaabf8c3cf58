#pragma once
// Fixed-width names of the classic platform, kept so that every record and
// status in the code reads the same as the file format and the status tables.
#include <cstdint>

using UInt8 = std::uint8_t;
using SInt8 = std::int8_t;
using UInt16 = std::uint16_t;
using SInt16 = std::int16_t;
using UInt32 = std::uint32_t;
using SInt32 = std::int32_t;
using UInt64 = std::uint64_t;
using SInt64 = std::int64_t;
using OSErr = std::int16_t;
using OSStatus = std::int32_t;

// Classic status numbers; the error log and the command line print them.
enum : OSErr {
    noErr = 0,
    dirFulErr = -33,
    dskFulErr = -34,
    nsvErr = -35,
    ioErr = -36,
    bdNamErr = -37,
    fnOpnErr = -38,
    eofErr = -39,
    posErr = -40,
    tmfoErr = -42,
    fnfErr = -43,
    wPrErr = -44,
    fLckdErr = -45,
    vLckdErr = -46,
    fBsyErr = -47,
    dupFNErr = -48,
    opWrErr = -49,
    paramErr = -50,
    rfNumErr = -51,
    permErr = -54,
    wrPermErr = -61,
    memFullErr = -108,
    dirNFErr = -120,
    notAFileErr = -1302,        // a folder where a file was wanted
    afpAccessDenied = -5000,
    afpObjectTypeErr = -5025,   // a device or other object that is not a file
};

// Answers of command and event handlers.
enum : OSStatus {
    eventNotHandledErr = -9874,
    eventInternalErr = -9868,
};
