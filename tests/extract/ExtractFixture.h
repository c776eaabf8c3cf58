#pragma once
// A TNEFFile put together by hand over a file of known bytes, so that the
// extraction tests do not depend on the parser.
#include "TnefBuilder.h"
#include "platform/ErrorLog.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace extractfix {

// Recognisable bytes that differ from one attachment to the next.
inline QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

using tnefbuild::listing;
using tnefbuild::readFile;
using tnefbuild::writeFile;

// The attachments are `contents` one after the other behind a 64-byte
// lead-in; the file is in gTNEFFileList while this lives.
class HandFile {
public:
    HandFile(const QString &path, const QStringList &titles, const QByteArrayList &contents)
    {
        OSErr status = noErr;
        if (!writeFile(path, QByteArray(64, 'L') + contents.join()) || !(m_file = TNEFFileOpen(path, &status)))
            return;
        SInt64 position = 64;
        for (qsizetype i = 0; i < contents.size(); ++i) {
            TNEFFileItem *item = TNEFParseAddFileToList(&m_file->fileList, m_file->forkRefNum, 0, 0, position,
                                                        UInt32(contents[i].size()), UInt32(i + 1), 0);
            position += contents[i].size();
            if (item && i < titles.size())
                item->name = titles[i].toStdString();
        }
    }
    ~HandFile() { if (m_file) TNEFFileDestroy(m_file); }
    HandFile(const HandFile &) = delete;
    TNEFFile *file() const { return m_file; }

private:
    TNEFFile *m_file = nullptr;
};

// Assertion reports ("text | message") and error log text while it lives.
struct Reports {
    Reports()
    {
        DebugAssertSetHook([this](const DebugAssertReport &r) {
            texts << QString::fromStdString(r.message.empty() ? r.text : r.text + " | " + r.message);
        });
        ParvaneSetErrorLogSink([this](const std::string &text) { log += text; });
    }
    ~Reports()
    {
        DebugAssertSetHook(nullptr);
        ParvaneSetErrorLogSink(nullptr);
    }
    bool logged(const char *line) const { return log.find(line) != std::string::npos; }
    QStringList texts;
    std::string log;
};

} // namespace extractfix
