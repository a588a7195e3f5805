#pragma once
// Which Debian package owns a file, and that package's description, version and maintainer, from
// the dpkg database (status file and info/*.list). Parsed once, on the first question. A path is kept
// as one 64-bit word, 48 bits of its hash and the package's number, so the index stays small
// (about 2 MB for 250000 paths with their merged-/usr aliases).

#include <QString>
#include <cstdint>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

namespace kelvane {

struct PackageInfo {
    QString name;
    QString description; // the first line of the description
    QString version;
    QString maintainer; // the maintainer's name, without the mail address
};

class DpkgDatabase {
public:
    // `adminDir` is dpkg's administrative folder (/var/lib/dpkg on a live system).
    explicit DpkgDatabase(QString adminDir = QStringLiteral("/var/lib/dpkg"));

    // The database of this machine, shared.
    static DpkgDatabase& System();

    // The installed package that owns `path`. Paths are also matched across the merged /usr
    // (/bin/bash and /usr/bin/bash are one file).
    std::optional<PackageInfo> OwnerOf(const QString& path);

private:
    void Load();

    QString adminDir_;
    std::once_flag loaded_;
    std::vector<std::uint64_t> files_; // (path hash's high 48 bits | package number), sorted
    std::vector<PackageInfo> packages_;
};

} // namespace kelvane
