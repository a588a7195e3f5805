#pragma once
// Version texts: turning a fetched body into text that is safe to show, reading the four numbers
// of a version text, and comparing two versions.

#include <QByteArray>
#include <QString>
#include <array>

namespace kelvane {

// The body as text for a menu or a message box: UTF-8 with invalid sequences replaced by U+FFFD;
// a tab becomes a blank; NUL and every other control character (C0, DEL, C1) except CR and LF is
// removed, and so are byte-order marks (U+FEFF, wherever they are) and the bidirectional
// embedding, override and isolate marks, which could make the text read other than it is.
QString SanitizeFetchedText(const QByteArray& body);

using VersionNumbers = std::array<qint64, 4>;

// The first four parts of `text`, cut at every "." and at every run of blanks and control
// characters (codes 1 to 32), such characters at the start skipped. A part that is not a decimal
// integer (optional sign, digits only, within 64 bits) and a missing part count as 0:
// "2.5" gives 2, 5, 0, 0; "Unknown version" gives 0, 0, 0, 0.
VersionNumbers ParseVersionText(const QString& text);

// True when `fetched` is newer than `own`: the first pair that differs decides.
bool IsNewerVersionNumbers(const VersionNumbers& own, const VersionNumbers& fetched);

} // namespace kelvane
