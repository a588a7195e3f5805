#pragma once
// Text for the bytes of a file name, and the same bytes back. Linux names are bytes: where they are
// not valid UTF-8, each byte that does not decode becomes the lone surrogate U+DC80 + (byte - 0x80),
// so that distinct names stay distinct texts and encode back to exactly their bytes. Valid UTF-8
// reads as QString::fromUtf8 reads it.
//
// Decoding then encoding gives the bytes back for every byte string. Encoding a text that was not
// decoded so may give bytes that decode to another text: escapes that together form a valid UTF-8
// sequence read back as that character, and a lone surrogate outside U+DC80..U+DCFF (which UTF-8
// cannot hold) is written as "?", as QString::toUtf8 writes it.

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringView>
#include <QUrl>

namespace kelvane {

QString FromUtf8Escaped(QByteArrayView bytes);
QByteArray ToUtf8Escaped(QStringView text);

// The text of a path from the system (a link's target, a directory entry) and the bytes to hand the
// system for such a text.
inline QString DecodeFileName(QByteArrayView bytes) { return FromUtf8Escaped(bytes); }
inline QByteArray EncodeFileName(QStringView text) { return ToUtf8Escaped(text); }

// Whether something exists at the path (a link is followed).
bool FileNameExists(const QString& path);
// A file: URL naming the path's exact bytes (an undecodable byte is percent-encoded as itself).
QUrl LocalFileUrl(const QString& path);
// Opens the file at the path's exact bytes for reading. False, with `file` closed, when it cannot.
bool OpenForReading(QFile& file, const QString& path);
// The path's bytes with every link, "." and ".." resolved; empty when it does not exist.
QByteArray CanonicalFileName(const QString& path);

} // namespace kelvane
