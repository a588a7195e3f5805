#include "settings/SettingsLocation.h"

#include "util/FileUtil.h"
#include "util/XdgDirs.h"

#include <QDir>
#include <QFileInfo>

namespace kelvane {

namespace {
const QString kFileName = QStringLiteral("kelvane.ini");
}

QString SettingsFilePath(const QString& executablePath) {
    const QString exe =
        executablePath.isEmpty() ? QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath() : executablePath;
    if (!exe.isEmpty()) {
        const QString portable = QFileInfo(exe).absoluteDir().filePath(kFileName);
        if (QFileInfo::exists(portable))
            return portable;
    }
    return XdgConfigHome() + QStringLiteral("/kelvane/") + kFileName;
}

QString BesideSettingsFile(const QString& settingsPath, const QString& fileName) {
    return QFileInfo(settingsPath).absoluteDir().filePath(fileName);
}

bool EnsureSettingsFile(const QString& settingsPath) {
    if (QFileInfo::exists(settingsPath))
        return true;
    QDir().mkpath(QFileInfo(settingsPath).absolutePath());
    return CreateUnicodeFile(settingsPath) || QFileInfo::exists(settingsPath);
}

bool IsFirstRun(const QString& settingsPath) { return GetFileSize64(settingsPath) < 3; }

} // namespace kelvane
