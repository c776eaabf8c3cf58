// The automatic extraction of whatever the input parses to, into a scratch
// folder: every file written is whole (the attachment's bytes, no more, no
// fewer) and inside that folder, and nothing else is left there.
#include "FuzzSupport.h"

#include "extract/TNEFAppOpen.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFParse.h"

#include <QDirIterator>
#include <QFile>
#include <QSet>
#include <cstdint>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString scratch = [] {
        DebugAssertSetHook([](const DebugAssertReport &) {});
        ParvaneSetErrorLogSink([](const std::string &) {});
        return QString::fromStdString(FuzzScratchFolder("extract")) + QStringLiteral("/out");
    }();
    QDir(scratch).removeRecursively();
    QDir().mkpath(scratch);

    const int fd = FuzzMemoryFile(data, size);
    if (fd < 0)
        return 0;
    TNEFFile *tnefFile = TNEFFileCreate();
    if (FSOpenForkFromDescriptor(fd, &tnefFile->forkRefNum) != noErr) {
        TNEFFileDestroy(tnefFile);
        return 0;
    }
    tnefFile->fileName = QStringLiteral("winmail.dat");
    tnefFile->fileRef = scratch + QStringLiteral("/winmail.dat");
    if (TNEFParseFileList(tnefFile->forkRefNum, &tnefFile->fileList, nullptr) == 0) {
        TNEFExtractOptions options;
        options.destination = scratch;
        options.folderMode = 1 + int(size % 3);  // multi, never, always

        // Each attachment ends in exactly one of `written` and `failed`, in
        // list order.
        const TNEFFileItem *item = tnefFile->fileList;
        QSet<QString> written;
        TNEFAutomateEvents &events = options.events;
        events.written = [&](const QString &path) {
            FUZZ_CHECK(item);
            FUZZ_CHECK(path.startsWith(scratch + QLatin1Char('/')) && !path.contains(QLatin1String("/../")));
            FUZZ_CHECK(UInt64(item->dataPosition) + item->dataLength <= size);
            QFile file(path);
            FUZZ_CHECK(file.open(QIODevice::ReadOnly));
            FUZZ_CHECK(file.readAll()
                       == QByteArray::fromRawData(reinterpret_cast<const char *>(data) + item->dataPosition,
                                                  qsizetype(item->dataLength)));
            written.insert(QFileInfo(path).canonicalFilePath());
            item = item->next;
        };
        events.failed = [&](UInt32, const QString &, SInt32) {
            FUZZ_CHECK(item);
            item = item->next;
        };
        TNEFExtractAll(tnefFile, options);
        FUZZ_CHECK(!item);
        // Nothing but the files told: no partial file, no hidden one.
        QDirIterator it(scratch, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            FUZZ_CHECK(written.contains(QFileInfo(it.next()).canonicalFilePath()));
    }
    TNEFFileDestroy(tnefFile);
    return 0;
}
