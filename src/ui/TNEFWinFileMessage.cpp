#include "TNEFWinFileMessage.h"

#include "Controls.h"
#include "TNEFWinFile.h"
#include "platform/ErrorLog.h"
#include "platform/FileManager.h"
#include "tnef/TNEFFile.h"
#include "tnef/TNEFHtml.h"
#include "tnef/TNEFMessage.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QLocale>
#include <QMainWindow>
#include <QStatusBar>

namespace {

// The picture or text a data URL holds.
QByteArray dataUrlContents(const QUrl &url)
{
    const QByteArray encoded = url.toEncoded();
    const qsizetype comma = encoded.indexOf(',');
    if (comma < 0)
        return QByteArray();
    const QByteArray payload = QByteArray::fromPercentEncoding(encoded.mid(comma + 1));
    return encoded.left(comma).endsWith(";base64") ? QByteArray::fromBase64(payload) : payload;
}

// Reads `length` bytes of a fork from `start` on, as a device that a
// picture decoder pulls from: only what it asks for is read.
class ForkRangeDevice : public QIODevice {
public:
    ForkRangeDevice(SInt16 fork, SInt64 start, qint64 length) : m_fork(fork), m_start(start), m_length(length) {}
    bool isSequential() const override { return false; }
    qint64 size() const override { return m_length; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 wanted = std::min(maxSize, m_length - pos());
        if (wanted <= 0)
            return 0;
        UInt32 got = 0;
        const OSErr err = FSReadForkAt(m_fork, m_start + pos(), UInt32(wanted), data, &got);
        return err == noErr || got > 0 ? qint64(got) : -1;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    SInt16 m_fork;
    SInt64 m_start;
    qint64 m_length;
};

// A picture from the message is read from at most 16 MiB of file and
// decoded to at most 64 megapixels: whatever its header claims, a message
// cannot make the window hold more.
constexpr qint64 kLargestPictureFile = qint64(16) << 20;
constexpr qint64 kMostPicturePixels = qint64(64) << 20;

// The picture on the device, no wider than `width`; null when it is larger
// than the limits above or does not decode.
QImage decodePicture(QIODevice *device, int width)
{
    if (device->size() > kLargestPictureFile || !device->open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(device);
    reader.setAllocationLimit(int(kMostPicturePixels * 4 >> 20));
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > kMostPicturePixels)
        return QImage();
    QImage picture = reader.read();
    if (picture.width() > width)
        picture = picture.scaledToWidth(width, Qt::SmoothTransformation);
    return picture;
}

// The attachment of the document that `name` refers to: by its Content-ID
// for a cid: URL, by its Content-Location for any name; null for none.
const TNEFFileItem *referredItem(const TNEFFile *tnefFile, const QUrl &name)
{
    const bool byId = name.scheme().compare(QLatin1String("cid"), Qt::CaseInsensitive) == 0;
    const QString id = byId ? TNEFHtmlContentIdKey(name.path(QUrl::FullyDecoded)) : QString();
    for (const TNEFFileItem *item = tnefFile->fileList; item; item = item->next) {
        if (byId && !item->contentId.empty() && TNEFHtmlContentIdKey(QString::fromStdString(item->contentId)) == id)
            return item;
        if (!item->contentLocation.empty() && QUrl(QString::fromStdString(item->contentLocation).trimmed()) == name)
            return item;
    }
    return nullptr;
}

// The date in the user's time zone, named.
QString dateText(const QDateTime &utc)
{
    const QDateTime local = utc.toLocalTime();
    const QLocale locale;
    return QStringLiteral("%1 %2 (%3)")
        .arg(locale.toString(local.date(), QLocale::LongFormat),
             locale.toString(local.time(), QLocale::ShortFormat), local.timeZoneAbbreviation());
}

// Shows `text` in a header row, or hides the row, its label too, when it
// is empty.
void setHeader(QLabel *label, QLabel *field, const QString &text)
{
    field->setText(text);
    field->setVisible(!text.isEmpty());
    label->setVisible(!text.isEmpty());
}

constexpr qsizetype kLongestWrappedWord = 4096;

// The length of the longest run of characters that are not white space.
qsizetype LongestWord(const QString &text)
{
    qsizetype longest = 0, run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        longest = std::max(longest, run);
    }
    return longest;
}

} // namespace

TNEFMessageBrowser::TNEFMessageBrowser(QWidget *parent) : QTextBrowser(parent)
{
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &TNEFMessageBrowser::openLink);
    // Where a link leads, before it is followed.
    connect(this, qOverload<const QUrl &>(&QTextBrowser::highlighted), this, [this](const QUrl &url) {
        if (auto *window = qobject_cast<QMainWindow *>(this->window()))
            window->statusBar()->showMessage(url.toString());
    });
}

QVariant TNEFMessageBrowser::loadResource(int type, const QUrl &name)
{
    const bool carried = name.scheme().compare(QLatin1String("data"), Qt::CaseInsensitive) == 0;
    QByteArray contents = carried ? dataUrlContents(name) : QByteArray();
    // Every answer is a value, never an empty one: given nothing, Qt reads
    // the name from the disk itself, and given a picture it cannot decode,
    // it loads the name as an image file.
    switch (type) {
    case QTextDocument::ImageResource: {
        QBuffer carriedBytes(&contents);
        QImage picture = carried ? decodePicture(&carriedBytes, pictureWidth()) : attachedPicture(name);
        if (picture.isNull()) {
            picture = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
            picture.fill(Qt::transparent);
        }
        return picture;
    }
    case QTextDocument::StyleSheetResource:
        return QString::fromUtf8(contents);
    default:
        return contents.isNull() ? QByteArray("") : contents;
    }
}

QImage TNEFMessageBrowser::attachedPicture(const QUrl &name)
{
    const auto *winFile = qobject_cast<const TNEFWinFile *>(window());
    const TNEFFile *tnefFile = winFile ? winFile->document() : nullptr;
    const TNEFFileItem *item = tnefFile ? referredItem(tnefFile, name) : nullptr;
    // Files made from the message hold no pictures.
    if (!item || item->contents)
        return QImage();
    const auto known = m_pictures.constFind(item->fileID);
    if (known != m_pictures.cend())
        return *known;
    ForkRangeDevice device(tnefFile->forkRefNum, item->dataPosition, item->dataLength);
    return *m_pictures.insert(item->fileID, decodePicture(&device, pictureWidth()));
}

// The width the body is laid out in: the view's, or before the window
// shows, what the window will give it.
int TNEFMessageBrowser::pictureWidth() const
{
    const int view = isVisible() ? viewport()->width() : window()->width() - (width() - viewport()->width());
    return std::max(view - 2 * int(document()->documentMargin()) - 2 * frameWidth(), 1);
}

bool TNEFMessageBrowser::openLink(const QUrl &url)
{
    static const QStringList kOpened{QStringLiteral("http"), QStringLiteral("https"),
                                     QStringLiteral("ftp"), QStringLiteral("mailto")};
    return kOpened.contains(url.scheme().toLower()) && DesktopOpenURL(url);
}

OSStatus TNEFWinFileMessageShow(TNEFWinFile *winFile)
{
    Ui::WinFile &f = winFile->form();
    const TNEFFile *tnefFile = winFile->document();
    TNEFMessage message;
    const SInt32 status = TNEFMessageRead(tnefFile->forkRefNum, tnefFile->messagePlaces, &message);
    if (status != noErr)
        TNEF_LOG_ERROR("    TNEFMessageRead() returned %ld.\n", long(status));

    // The window shows at once whatever the body: a long one shows its start
    // and says that it goes on; extraction with the body writes all of it.
    // Cut HTML may end inside a tag or a comment: the words stand first.
    constexpr UInt32 kShownBodyLimit = 1024 * 1024;
    const QString goesOn = QCoreApplication::translate(
        "TNEFWinFile", "The message is longer than this: only its first part is shown. Extract it with its body to read all of it.");
    TNEFBody body;
    if (TNEFMessageGetHtml(tnefFile->forkRefNum, message, &body, kShownBodyLimit) == noErr) {
        const QString html = TNEFBodyToString(body);
        f.messageBody->setHtml(body.cut ? QLatin1String("<p><i>") + goesOn.toHtmlEscaped()
                                              + QLatin1String("</i></p><hr>") + html
                                        : html);
    } else if (TNEFMessageGetText(tnefFile->forkRefNum, message, &body, kShownBodyLimit) == noErr) {
        const QString text = TNEFBodyToString(body);
        f.messageBody->setPlainText(body.cut ? text + QLatin1String("\n\n") + goesOn : text);
    }
    // Lines are broken between words, but finding that a word of hundreds of
    // thousands of letters has no such place takes minutes: a body with a
    // word longer than any line could hold is broken anywhere.
    if (LongestWord(f.messageBody->document()->toPlainText()) > kLongestWrappedWord)
        f.messageBody->setWordWrapMode(QTextOption::WrapAnywhere);

    const QString from = TNEFRecipientText(message.senderName, message.senderAddress);
    const QString to = TNEFMessageRecipientsText(message, TNEFRecipient::To);
    const QString cc = TNEFMessageRecipientsText(message, TNEFRecipient::Cc);
    const QDateTime date = message.sent.isValid() ? message.sent : message.received;
    const bool hasBody = !f.messageBody->document()->isEmpty();
    const bool hasMessage = !message.subject.isEmpty() || !from.isEmpty() || !to.isEmpty() || !cc.isEmpty()
        || date.isValid() || hasBody;
    f.messageView->setVisible(hasMessage);
    // Without a body the headers leave the splitter, above it, and take only
    // the room they need.
    f.messageBody->setVisible(hasBody);
    if (!hasBody) {
        f.centralLayout->insertWidget(0, f.messageView);
        f.messageView->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    }

    f.messageSubject->setText(message.subject.isEmpty()
                                  ? QCoreApplication::translate("TNEFWinFile", "(no subject)")
                                  : message.subject);
    setHeader(f.messageFromLabel, f.messageFrom, from);
    setHeader(f.messageToLabel, f.messageTo, to);
    setHeader(f.messageCcLabel, f.messageCc, cc);
    setHeader(f.messageDateLabel, f.messageDate, date.isValid() ? dateText(date) : QString());

    QList<TNEFSummaryLine> meeting;
    if (const QString answer = TNEFCalendarResponseText(message.messageClass); !answer.isEmpty())
        meeting.append({QLatin1String("Response"), answer});
    meeting += TNEFCalendarSummaryLines(TNEFCalendarSummaryRead(tnefFile, message));
    f.messageMeeting->setLines(meeting, TNEFWinFileCalendarFileID(tnefFile));
    return status;
}
