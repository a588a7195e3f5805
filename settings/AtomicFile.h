#pragma once
// Replacing a file so that readers only ever see the old or the new content: the new bytes go to a
// temporary file in the same folder, are flushed, and take the old file's place by a rename. The
// file's mode and owner are kept and a symbolic link is followed to its target, but only a link
// that belongs to the user Kelvane runs as or to root (the kernel's protected_symlinks rule, here
// whatever the machine's setting): a link another user planted in a shared folder is refused.
// Only regular files are read or replaced; a FIFO or a device is refused without blocking.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace kelvane {

// The file's bytes; empty when it does not exist, or (with `reason` set) when it cannot be read,
// is not a regular file or is reached through a link that is not followed.
std::optional<QByteArray> ReadWholeFile(const QString& path, QString* reason = nullptr);

// Writes a new file in `path`'s place: created beside it under a fresh name (never through a
// link), flushed, and renamed over whatever `path` is, a planted link included.
bool WriteNewFile(const QString& path, const QByteArray& bytes, QString* reason);

// The file a read or write of `path` reaches: through the links that may be followed. Empty with
// `reason` set for a link of another user or a loop.
std::optional<QString> FollowedTarget(const QString& path, QString* reason);

// Under an exclusive lock of the file's folder (so two writers never interleave), reads the file's
// current bytes (nothing when it does not exist), hands them to `change`, and when that returns new
// bytes replaces the file with them atomically. An existing file that cannot be read, or that is
// read-only, is not touched. Returns false with the system's `reason` on failure.
bool UpdateFile(const QString& path,
                const std::function<std::optional<QByteArray>(const std::optional<QByteArray>& current)>& change,
                QString* reason);

// The path a write reaches: the target of a symbolic link (followed through every link), else the path.
QString ResolveWriteTarget(const QString& path);

} // namespace kelvane
