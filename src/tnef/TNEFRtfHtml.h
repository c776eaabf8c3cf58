#pragma once
// HTML made from an RTF document written as RTF, for showing it as it was
// written: character formatting, paragraphs, lists, tables, links and PNG or
// JPEG pictures.
#include <QByteArray>

// A whole page in UTF-8, declared so. Every text of the document is escaped;
// links lead only to http, https, ftp and mailto; pictures are data: URLs.
// The page is at most about eight times the document's size.
QByteArray TNEFRtfMakeHtml(const QByteArray &rtf);
