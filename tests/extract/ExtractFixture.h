#pragma once
// Helpers for the extraction tests: a TNEFFile put together by hand over a
// file of known bytes (no parser involved), and captures of the assertion
// hook and the error log.
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFParse.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <string>
#include <vector>

namespace extractfix {

// Recognisable bytes that differ from one attachment to the next.
inline QByteArray pattern(int size, int seed)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 31 + seed * 7 + i / 251) & 0xFF);
    return bytes;
}

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every name in the folder, hidden ones included, sorted.
inline QStringList listing(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// A TNEF file on disk whose attachments are `contents` one after the other
// behind a 64-byte lead-in, with the titles given; open and in gTNEFFileList
// while it lives.
class HandFile {
public:
    HandFile(const QString &path, const std::vector<std::string> &titles, const std::vector<QByteArray> &contents)
    {
        OSErr status = noErr;
        if (!writeFile(path, QByteArray(64, 'L') + QByteArrayList(contents.begin(), contents.end()).join())
            || !(m_file = TNEFFileOpen(path, &status)))
            return;
        SInt64 position = 64;
        for (size_t i = 0; i < contents.size(); ++i) {
            TNEFFileItem *item = TNEFParseAddFileToList(&m_file->fileList, m_file->forkRefNum, 0, 0, position,
                                                        UInt32(contents[i].size()), UInt32(i + 1), 0);
            position += contents[i].size();
            if (item && i < titles.size())
                item->name = titles[i];
        }
    }
    ~HandFile() { if (m_file) TNEFFileDestroy(m_file); }
    HandFile(const HandFile &) = delete;
    HandFile &operator=(const HandFile &) = delete;
    TNEFFile *file() const { return m_file; }

private:
    TNEFFile *m_file = nullptr;
};

// Collects assertion reports and error log text while it lives.
struct Reports {
    Reports()
    {
        DebugAssertSetHook([this](const DebugAssertReport &r) { reports.push_back(r); });
        ParvaneSetErrorLogSink([this](const std::string &text) { log += text; });
    }
    ~Reports()
    {
        DebugAssertSetHook(nullptr);
        ParvaneSetErrorLogSink(nullptr);
    }
    Reports(const Reports &) = delete;
    QStringList texts() const
    {
        QStringList out;
        for (const DebugAssertReport &r : reports)
            out << QString::fromStdString(r.message.empty() ? r.text : r.text + " | " + r.message);
        return out;
    }
    bool logged(const char *line) const { return log.find(line) != std::string::npos; }
    std::vector<DebugAssertReport> reports;
    std::string log;
};

} // namespace extractfix
