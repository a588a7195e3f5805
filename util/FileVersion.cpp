#include "util/FileVersion.h"

#include "util/DpkgDatabase.h"
#include "util/FileName.h"
#include "util/PeVersionInfo.h"
#include "util/TextTrim.h"

#include <optional>

namespace kelvane {

namespace {

enum class Member { Version, Description, Company };

bool IsOwnExecutable(const QString& fileName) {
    static const QByteArray self = CanonicalFileName(QStringLiteral("/proc/self/exe"));
    return !self.isEmpty() && CanonicalFileName(fileName) == self;
}

std::optional<QString> Lookup(const QString& fileName, Member member) {
    if (fileName.isEmpty())
        return std::nullopt;
    if (IsPeFile(fileName)) {
        static const char* const keys[] = {"fileversion", "filedescription", "companyname"};
        const auto strings = ReadPeVersionStrings(fileName, QStringLiteral("040904E4"));
        if (!strings)
            return std::nullopt;
        const auto it = strings->constFind(QLatin1String(keys[static_cast<int>(member)]));
        return it == strings->constEnd() ? std::nullopt : std::optional<QString>(it.value());
    }
    if (member == Member::Version && IsOwnExecutable(fileName))
        return BuildVersion();
    const std::optional<PackageInfo> package = DpkgDatabase::System().OwnerOf(fileName);
    if (!package)
        return std::nullopt;
    switch (member) {
    case Member::Version:
        return package->version;
    case Member::Description:
        return package->description;
    case Member::Company:
        return package->maintainer;
    }
    return std::nullopt;
}

} // namespace

QString BuildVersion() { return QStringLiteral(KELVANE_VERSION); }

QString GetFileVersionText(const QString& fileName) {
    return Lookup(fileName, Member::Version).value_or(QStringLiteral("Unknown version"));
}

QString GetFileVersionTextOrBlank(const QString& fileName, bool blank) {
    return Lookup(fileName, Member::Version).value_or(blank ? QString() : QStringLiteral("unknown version"));
}

QString GetFileDescription(const QString& fileName) { return Lookup(fileName, Member::Description).value_or(QString()); }

QString GetCompanyName(const QString& fileName) {
    const QString company = Lookup(fileName, Member::Company).value_or(QString());
    return IsBlankText(company) ? QString() : company;
}

} // namespace kelvane
