#include "util/DpkgDatabase.h"

#include "util/FileName.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <algorithm>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace kelvane {

namespace {

constexpr std::uint64_t kPackageBits = 16;
constexpr std::uint64_t kPackageMask = (std::uint64_t{1} << kPackageBits) - 1;

std::uint64_t PathHash(const QByteArray& path) {
    std::uint64_t hash = 14695981039346656037ULL; // FNV-1a
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return hash;
}

// The other name of a path across the merged /usr: /bin/x <-> /usr/bin/x (also sbin and lib*).
QByteArray MergedUsrAlias(const QByteArray& path) {
    static const char* const roots[] = {"/bin/", "/sbin/", "/lib/", "/lib32/", "/lib64/", "/libx32/"};
    for (const char* root : roots) {
        if (path.startsWith(root))
            return "/usr" + path;
        if (path.startsWith(QByteArray("/usr") + root))
            return path.mid(4);
    }
    return {};
}

// The paragraphs of the status file: installed packages by "name" and "name:arch".
QHash<QString, PackageInfo> ReadStatus(const QString& statusPath) {
    QHash<QString, PackageInfo> installed;
    QFile file(statusPath);
    if (!file.open(QIODevice::ReadOnly))
        return installed;
    PackageInfo current;
    QString arch;
    bool isInstalled = false;
    auto finish = [&] {
        if (!current.name.isEmpty() && isInstalled) {
            installed.insert(current.name, current);
            if (!arch.isEmpty())
                installed.insert(current.name + u':' + arch, current);
        }
        current = PackageInfo{};
        arch.clear();
        isInstalled = false;
    };
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        if (line.trimmed().isEmpty()) {
            finish();
            continue;
        }
        if (line.startsWith(' ') || line.startsWith('\t'))
            continue; // continuation of a long field
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray field = line.left(colon);
        const QString value = QString::fromUtf8(line.mid(colon + 1).trimmed());
        if (field == "Package")
            current.name = value;
        else if (field == "Status")
            isInstalled = value.endsWith(QLatin1String(" installed"));
        else if (field == "Architecture")
            arch = value;
        else if (field == "Version")
            current.version = value;
        else if (field == "Description")
            current.description = value;
        else if (field == "Maintainer")
            current.maintainer = value.left(value.indexOf(u'<')).trimmed();
    }
    finish();
    return installed;
}

} // namespace

DpkgDatabase::DpkgDatabase(QString adminDir) : adminDir_(std::move(adminDir)) {}

DpkgDatabase& DpkgDatabase::System() {
    static DpkgDatabase database;
    return database;
}

void DpkgDatabase::Load() {
    const QHash<QString, PackageInfo> installed = ReadStatus(adminDir_ + QStringLiteral("/status"));
    const QDir info(adminDir_ + QStringLiteral("/info"));
    const QStringList lists = info.entryList({QStringLiteral("*.list")}, QDir::Files, QDir::Name);
    for (const QString& list : lists) {
        const QString package = list.chopped(5);
        const auto it = installed.constFind(package);
        if (it == installed.constEnd())
            continue;
        if (packages_.size() > kPackageMask)
            break; // more packages than a word has room for: the rest go without descriptions
        QFile file(info.filePath(list));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const auto index = static_cast<std::uint64_t>(packages_.size());
        packages_.push_back(it.value());
        const QByteArray content = file.readAll();
        for (qsizetype start = 0; start < content.size();) {
            qsizetype end = content.indexOf('\n', start);
            if (end < 0)
                end = content.size();
            if (end > start) {
                const QByteArray line = QByteArray::fromRawData(content.constData() + start, end - start);
                files_.push_back((PathHash(line) & ~kPackageMask) | index);
                const QByteArray alias = MergedUsrAlias(line);
                if (!alias.isEmpty())
                    files_.push_back((PathHash(alias) & ~kPackageMask) | index);
            }
            start = end + 1;
        }
    }
    std::sort(files_.begin(), files_.end());
    files_.shrink_to_fit();
#if defined(__GLIBC__)
    malloc_trim(0); // the buffers of the parse go back to the system: Kelvane runs all day
#endif
}

std::optional<PackageInfo> DpkgDatabase::OwnerOf(const QString& path) {
    std::call_once(loaded_, [this] { Load(); });
    const std::uint64_t hash = PathHash(EncodeFileName(path)) & ~kPackageMask;
    const auto it = std::lower_bound(files_.begin(), files_.end(), hash);
    if (it == files_.end() || (*it & ~kPackageMask) != hash)
        return std::nullopt;
    return packages_[static_cast<std::size_t>(*it & kPackageMask)];
}

} // namespace kelvane
