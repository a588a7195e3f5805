#pragma once
// The string table of a Windows executable's version resource (VS_VERSIONINFO), read straight from
// the PE file. Only the block of one language and code page is looked at.

#include <QHash>
#include <QString>
#include <optional>

namespace kelvane {

// The strings of block `block` (as "040904E4") of the file's version resource, keyed by lower-case
// name. Empty when the file is no PE file, has no version resource, or has no such block.
std::optional<QHash<QString, QString>> ReadPeVersionStrings(const QString& path, const QString& block);

// Whether the file starts like a PE executable ("MZ" header pointing at a "PE" signature).
bool IsPeFile(const QString& path);

} // namespace kelvane
