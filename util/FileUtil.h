#pragma once

#include <QString>
#include <cstdint>

namespace kelvane {

// Creates `path` holding only the UTF-16LE byte-order mark FF FE. False, with the file left as it
// is, when it already exists or cannot be created.
bool CreateUnicodeFile(const QString& path);

// The file's size in bytes; -1 when it does not exist, is no regular file or cannot be looked at.
std::int64_t GetFileSize64(const QString& path);

// Makes the folder and the folders above it that are missing. True when the folder is there.
bool MakeFolders(const QString& path);

// All three take the path's exact bytes (util/FileName.h), whether or not they are UTF-8.

} // namespace kelvane
