#pragma once
// The message view of a document window: the subject as its heading, the
// sender, the recipients and the date, then the body, HTML where the message
// has it (stored, or carried in its RTF), plain text otherwise.
#include "platform/MacTypes.h"

#include <QHash>
#include <QImage>
#include <QTextBrowser>

class TNEFWinFile;

// Shows a message body. It shows only what the message carries: pictures
// written into it as data URLs, and its own attachments named by "cid:"
// URLs or by their Content-Location. Nothing is fetched from a server or
// read from this computer, whatever the message refers to. Links open on a
// click, with the desktop, when they lead to the web or to a mail address.
class TNEFMessageBrowser : public QTextBrowser {
    Q_OBJECT
public:
    explicit TNEFMessageBrowser(QWidget *parent = nullptr);
    // What a data URL holds, or the picture of the attachment the name
    // refers to, no wider than the view; for any other name, and for a
    // picture too large or that does not decode, a transparent dot, an
    // empty style sheet or no bytes, so that nothing is looked up further.
    QVariant loadResource(int type, const QUrl &name) override;
    // True when the link was handed to the desktop.
    static bool openLink(const QUrl &url);

private:
    QImage attachedPicture(const QUrl &name);
    int pictureWidth() const;

    // Each attachment's picture, decoded once for the window.
    QHash<UInt32, QImage> m_pictures;
};

// Fills the window's message view from its document, or hides the view when
// the document carries no message at all: noErr, or the status of the
// failing read (the view then shows what was read before it).
OSStatus TNEFWinFileMessageShow(TNEFWinFile *winFile);
