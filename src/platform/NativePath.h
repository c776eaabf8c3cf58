#pragma once
// File names are bytes. Qt's own conversion turns bytes that are not UTF-8
// into replacement characters, and the file can then no longer be found; the
// conversions here keep every byte: valid UTF-8 is decoded as such, and any
// other byte b becomes the lone surrogate U+DC00 + b, which goes back to b.
#include <QByteArray>
#include <QString>

QString FSPathFromNative(const QByteArray &bytes);
QByteArray FSPathToNative(const QString &path);
// The path as text for people: the kept bytes show as U+FFFD.
QString FSPathForDisplay(const QString &path);
// `path` made absolute against the current folder (whose bytes are kept too)
// and cleaned of "." and ".." components.
QString FSPathAbsolute(const QString &path);
