#include "settings/SettingsLocation.h"

#include "util/FileName.h"
#include "util/FileUtil.h"
#include "util/XdgDirs.h"

#include <QFileInfo>

namespace kelvane {

namespace {

const QString kFileName = QStringLiteral("kelvane.ini");

// The folder part of an absolute path, by its text alone (paths here are exact bytes, util/FileName.h).
QString FolderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

} // namespace

QString SettingsFilePath(const QString& executablePath) {
    const QString exe = executablePath.isEmpty()
                            ? DecodeFileName(CanonicalFileName(QStringLiteral("/proc/self/exe")))
                            : executablePath;
    if (!exe.isEmpty()) {
        const QString portable = FolderOf(exe) + u'/' + kFileName;
        if (FileNameExists(portable))
            return portable;
    }
    return XdgConfigHome() + QStringLiteral("/kelvane/") + kFileName;
}

QString BesideSettingsFile(const QString& settingsPath, const QString& fileName) {
    const QString folder = FolderOf(settingsPath);
    return folder.endsWith(u'/') ? folder + fileName : folder + u'/' + fileName;
}

bool EnsureSettingsFile(const QString& settingsPath) {
    if (FileNameExists(settingsPath))
        return true;
    MakeFolders(FolderOf(settingsPath));
    return CreateUnicodeFile(settingsPath) || FileNameExists(settingsPath);
}

bool IsFirstRun(const QString& settingsPath) { return GetFileSize64(settingsPath) < 3; }

} // namespace kelvane
