// The safe-name and free-name functions on hostile titles: whatever comes in,
// the name that goes out is one component of at most 255 bytes, and the
// search stays inside its folder.
#include "FuzzSupport.h"

#include "extract/UtilFiles.h"
#include "platform/ErrorLog.h"
#include "platform/FSFolder.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static FSFolder folder;
    if (!folder.isOpen()) {
        DebugAssertSetHook([](const DebugAssertReport &) {});
        const QString dir = QString::fromStdString(FuzzScratchFolder("names"));
        // Names that are taken, so that counted candidates are tried too.
        QFile(dir + QStringLiteral("/report.pdf")).open(QIODevice::WriteOnly);
        QDir().mkdir(dir + QStringLiteral("/Untitled Attachment"));
        FUZZ_CHECK(folder.open(dir) == noErr);
    }
    if (size == 0)
        return 0;
    // The first byte picks how the rest is read, as a title would be.
    const auto *bytes = reinterpret_cast<const char *>(data + 1);
    const size_t length = size - 1;
    QString title;
    switch (data[0] % 3) {
    case 0: title = QString::fromUtf8(bytes, qsizetype(length)); break;
    case 1: title = TextDecodeCodePage(bytes, length, kCodePageUTF16LE); break;
    default: title = TextDecodeCodePage(bytes, length, 1250 + data[0] % 9); break;
    }
    const QString safe = UtilFileCreateSafeName(title);
    FUZZ_CHECK(!safe.isEmpty());
    FUZZ_CHECK(!safe.contains(QLatin1Char('/')) && !safe.contains(QLatin1Char(':')));
    FUZZ_CHECK(!safe.contains(QChar(0)));
    FUZZ_CHECK(safe != QLatin1String(".") && safe != QLatin1String(".."));
    FUZZ_CHECK(UtilFileNameBytes(safe) <= kUtilFileMaxNameBytes);

    // Whatever the counter, a candidate is one component of at most 255 bytes.
    for (UInt32 first : {0u, 1u, 4294967294u}) {
        UInt32 counter = 0;
        const QString file = UtilFileFindUniqueFile(folder, safe, first, &counter);
        FUZZ_CHECK(!file.isNull() && counter >= first);
        FUZZ_CHECK(!file.contains(QLatin1Char('/')) && file != QLatin1String("..") && file != QLatin1String("."));
        FUZZ_CHECK(UtilFileNameBytes(file) <= kUtilFileMaxNameBytes);
        FUZZ_CHECK(!folder.contains(file));

        const QString dir = UtilFileFindUniqueDir(folder, safe, first, &counter);
        FUZZ_CHECK(!dir.isNull() && !dir.contains(QLatin1Char('/')));
        FUZZ_CHECK(UtilFileNameBytes(dir) <= kUtilFileMaxNameBytes);
    }
    return 0;
}
