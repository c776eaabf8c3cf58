// The whole stream parse with its property blocks, trace on, over a file made
// from the input.
#include "FuzzSupport.h"

#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFMessage.h"
#include "tnef/TNEFParse.h"
#include "tnef/TNEFText.h"

#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FILE *sink = [] {
        ParvaneSetErrorLogSink([](const std::string &) {});
        return std::fopen("/dev/null", "w");
    }();
    const int fd = FuzzMemoryFile(data, size);
    if (fd < 0)
        return 0;
    SInt16 fork = 0;
    if (FSOpenForkFromDescriptor(fd, &fork) != noErr)
        return 0;
    gTNEFParseTraceOn = true;
    gTNEFParseDebugFile = sink;
    TNEFList<TNEFFileItem> files;
    TNEFList<TNEFAttributeItem> attributes;
    TNEFMessagePlaces places;
    const SInt32 result = TNEFParseFileList(fork, &files, &attributes, &places);
    if (result > 0)
        std::abort();
    // The message is read from whatever places the parse recorded.
    TNEFMessage message;
    TNEFBody body;
    if (TNEFMessageRead(fork, places, &message) == noErr) {
        TNEFMessageGetPreferredBody(fork, message, &body);
        TNEFMessageGetText(fork, message, &body);
    }
    // Whatever the parse recorded must be safe to show.
    for (const TNEFFileItem *item = files; item; item = item->next)
        (void)TNEFFileItemDisplayName(item);
    TNEFParseDestroy(&files, &attributes);
    FSCloseFork(fork);
    return 0;
}
