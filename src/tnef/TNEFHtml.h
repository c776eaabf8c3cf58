#pragma once
// What the message model does with HTML: the charset a page declares, and a
// rough reading of a page as text.
#include <QByteArray>
#include <QString>

// The charset an HTML document declares in a <meta> element, or empty.
QByteArray TNEFHtmlDeclaredCharset(const QByteArray &html);
// The recovered HTML is written in UTF-8 whatever the original said, so
// that what declares the original's charset must say so: every <meta>
// charset of `html` made "utf-8".
QByteArray TNEFHtmlDeclareUtf8(QByteArray html);
// A rough reading of HTML as text: no head, scripts or styles, tags
// dropped, line breaks where blocks end, character references decoded as
// HTML decodes them (every named one, numeric ones).
QString TNEFHtmlToText(const QString &html);
// A Content-ID as an HTML page refers to it: blanks and the angle brackets
// a header puts around it dropped.
QString TNEFHtmlContentIdBare(QString id);
// The key a page's cid: reference and an attachment's PR_ATTACH_CONTENT_ID
// are matched by: the bare id with its domain, after the last "@", in lower
// case (the part before it is compared exactly). `id` is decoded text: a
// cid: URL's percent escapes are undone by the caller.
QString TNEFHtmlContentIdKey(const QString &id);
