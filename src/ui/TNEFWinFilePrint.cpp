#include "TNEFWinFilePrint.h"

#include "TNEFWinFile.h"
#include "extract/TNEFAppOpen.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFMessageItems.h"

#include <QFileDialog>
#include <QPdfWriter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace {

TNEFWinFileAskHook gAskHook;

// Asks in a save dialog attached to the window for a name and one of the
// filters, then calls `chosen`, unless the dialog was cancelled or the
// window closed meanwhile. The dialog asks before a file is replaced.
void askPath(TNEFWinFile *window, const QString &title, const QString &proposedName, const QStringList &filters,
             std::function<void(TNEFWinFile *, const TNEFWinFileAskReply &)> chosen)
{
    if (gAskHook) {
        const TNEFWinFileAskReply reply = gAskHook(window, proposedName, filters);
        if (!reply.path.isEmpty())
            chosen(window, reply);
        return;
    }
    auto *dialog = new QFileDialog(window, title, FSPathParent(window->document()->fileRef));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setNameFilters(filters);
    // A name typed without its extension gets the chosen kind's.
    const auto suffixOf = [](const QString &filter) { return filter.section(QLatin1String("*."), 1).chopped(1); };
    dialog->setDefaultSuffix(suffixOf(filters.value(0)));
    QObject::connect(dialog, &QFileDialog::filterSelected, dialog,
                     [dialog, suffixOf](const QString &filter) { dialog->setDefaultSuffix(suffixOf(filter)); });
    dialog->selectFile(proposedName);
    const QPointer<TNEFWinFile> owner(window);
    QObject::connect(dialog, &QFileDialog::finished, dialog, [owner, dialog, filters, chosen](int result) {
        const QStringList files = dialog->selectedFiles();
        if (result != QDialog::Accepted || files.isEmpty() || !owner || !owner->document())
            return;
        chosen(owner, {files.first(), int(std::max<qsizetype>(filters.indexOf(dialog->selectedNameFilter()), 0))});
    });
    dialog->open();
}

QString subjectName(TNEFWinFile *winFile, const QString &suffix)
{
    TNEFMessage message;
    TNEFMessageRead(winFile->document()->forkRefNum, winFile->document()->messagePlaces, &message);
    return TNEFMessageItemFileName(message.subject, QStringLiteral("message"), suffix);
}

} // namespace

void TNEFWinFilePrintSetAskHook(TNEFWinFileAskHook hook)
{
    gAskHook = std::move(hook);
}

std::unique_ptr<QTextDocument> TNEFWinFilePrintDocument(TNEFWinFile *winFile)
{
    Ui::WinFile &f = winFile->form();
    // The view's copy keeps asking the view for its pictures: they are
    // never looked for anywhere else.
    std::unique_ptr<QTextDocument> document(f.messageBody->document()->clone(f.messageBody));
    QString head = QLatin1String("<h2>") + f.messageSubject->text().toHtmlEscaped() + QLatin1String("</h2><p>");
    QStringList lines;
    for (const QLabel *field : {f.messageFrom, f.messageTo, f.messageCc, f.messageDate}) {
        if (!field->text().isEmpty())
            lines << field->parentWidget()->findChild<QLabel *>(field->objectName() + QLatin1String("Label"))->text()
                    + QLatin1Char(' ') + field->text();
    }
    if (!f.messageMeeting->isHidden())
        lines << f.messageMeeting->lineTexts();
    for (const QString &line : std::as_const(lines)) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        head += QLatin1String("<b>") + line.left(colon + 1).toHtmlEscaped() + QLatin1String("</b>")
            + line.mid(colon + 1).toHtmlEscaped() + QLatin1String("<br>");
    }
    head += QLatin1String("</p><hr>");
    // Into a block of its own: the rule under the headers must not become
    // the body's first paragraph's.
    QTextCursor cursor(document.get());
    cursor.insertBlock();
    cursor.movePosition(QTextCursor::Start);
    cursor.insertFragment(QTextDocumentFragment::fromHtml(head));
    return document;
}

OSStatus TNEFWinFilePrint(TNEFWinFile *winFile)
{
    auto *printer = new QPrinter(QPrinter::HighResolution);
    auto *dialog = new QPrintDialog(printer, winFile);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    const QPointer<TNEFWinFile> owner(winFile);
    QObject::connect(dialog, &QObject::destroyed, [printer] { delete printer; });
    QObject::connect(dialog, &QDialog::accepted, dialog, [owner, printer] {
        if (owner && owner->document())
            TNEFWinFilePrintDocument(owner)->print(printer);
    });
    dialog->open();
    return noErr;
}

OSStatus TNEFWinFileWritePDF(TNEFWinFile *winFile, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        TNEF_LOG_ERROR("    QSaveFile::open() returned false.\n");
        return ioErr;
    }
    {
        QPdfWriter writer(&file);
        writer.setTitle(winFile->form().messageSubject->text());
        writer.setCreator(QStringLiteral("Parvane"));
        TNEFWinFilePrintDocument(winFile)->print(&writer);
    }
    if (!file.commit()) {
        TNEF_LOG_ERROR("    QSaveFile::commit() returned false.\n");
        return ioErr;
    }
    return noErr;
}

OSStatus TNEFWinFileExportPDF(TNEFWinFile *winFile)
{
    askPath(winFile, TNEFWinFile::tr("Export as PDF"), subjectName(winFile, QStringLiteral(".pdf")),
            {TNEFWinFile::tr("PDF (*.pdf)")}, [](TNEFWinFile *window, const TNEFWinFileAskReply &reply) {
                const QString name = FSPathLastComponent(reply.path);
                if (TNEFWinFileWritePDF(window, reply.path) == noErr)
                    TNEFWinFileShowStatus(window, TNEFWinFile::tr("Exported the message as %1").arg(name), name);
                else
                    TNEFWinFileShowStatus(window, TNEFWinFile::tr("%1 could not be written").arg(name), name);
            });
    return noErr;
}

OSStatus TNEFWinFileSaveMessage(TNEFWinFile *winFile)
{
    QStringList names, filters;
    for (const TNEFBodyFile &body : TNEFExtractReadBodies(winFile->document())) {
        const QString suffix = body.name.section(QLatin1Char('.'), -1);
        const QString kind = suffix == QLatin1String("html") ? QStringLiteral("HTML")
            : suffix == QLatin1String("rtf")                 ? QStringLiteral("RTF")
                                                             : TNEFWinFile::tr("Text");
        names << body.name;
        filters << QStringLiteral("%1 (*.%2)").arg(kind, suffix);
    }
    if (names.isEmpty()) {
        TNEFWinFileShowStatus(winFile, TNEFWinFile::tr("The message has no body to save"));
        return noErr;
    }
    const QString proposed = subjectName(winFile, names.first().mid(names.first().lastIndexOf(QLatin1Char('.'))));
    askPath(winFile, TNEFWinFile::tr("Save Message"), proposed, filters,
            [names](TNEFWinFile *window, const TNEFWinFileAskReply &reply) {
                // Read again now: no body stays in memory while the dialog runs.
                QByteArray bytes;
                for (TNEFBodyFile &body : TNEFExtractReadBodies(window->document())) {
                    if (body.name == names.value(reply.filter))
                        bytes = std::move(body.bytes);
                }
                const QString name = FSPathLastComponent(reply.path);
                // The dialog let a taken name through only once the user
                // agreed to replace that file.
                const SInt32 status = TNEFFileSaveBytesTo(bytes, reply.path, FSObjectExists(reply.path));
                if (status == noErr)
                    TNEFWinFileShowStatus(window, TNEFWinFile::tr("Saved the message as %1").arg(name), name);
                else
                    TNEFWinFileShowStatus(window, TNEFWinFile::tr("%1 could not be written").arg(name), name);
            });
    return noErr;
}
