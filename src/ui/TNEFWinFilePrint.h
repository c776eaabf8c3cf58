#pragma once
// Printing and keeping the message a document window shows: Print…,
// Export as PDF… (the subject, the headers and the meeting's lines above
// the body, with its pictures) and Save Message… (the body as the file that
// extraction with the body writes: HTML, RTF or text).
#include "platform/MacTypes.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QTextDocument;
class TNEFWinFile;

// How a save dialog ended: the chosen path (empty: cancelled) and which of
// the offered name filters was chosen.
struct TNEFWinFileAskReply {
    QString path;
    int filter = 0;
};
// Tests answer the save dialogs instead of a user. Null restores the dialogs.
using TNEFWinFileAskHook =
    std::function<TNEFWinFileAskReply(TNEFWinFile *window, const QString &proposedName, const QStringList &filters)>;
void TNEFWinFilePrintSetAskHook(TNEFWinFileAskHook hook);

// The window's message as printed: the subject, the header and meeting
// lines shown, then the body, whose pictures come through the view.
std::unique_ptr<QTextDocument> TNEFWinFilePrintDocument(TNEFWinFile *winFile);
// The print dialog, then the printing: noErr with the dialog open.
OSStatus TNEFWinFilePrint(TNEFWinFile *winFile);
// Asks for a name, then writes the printed message there as a PDF.
OSStatus TNEFWinFileExportPDF(TNEFWinFile *winFile);
// Writes the PDF to `path` through a temporary file renamed over it:
// noErr, or ioErr.
OSStatus TNEFWinFileWritePDF(TNEFWinFile *winFile, const QString &path);
// Asks for a name and a kind among the bodies the message has, then writes
// that body there; the status bar tells how it went, or that the message
// has no body.
OSStatus TNEFWinFileSaveMessage(TNEFWinFile *winFile);
