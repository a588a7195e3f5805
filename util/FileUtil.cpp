#include "util/FileUtil.h"

#include <QFile>
#include <QFileInfo>

namespace kelvane {

bool CreateUnicodeFile(const QString& path) {
    QFile file(path);
    // NewOnly: never truncate a file that appeared meanwhile.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool ok = file.write("\xFF\xFE", 2) == 2;
    file.close();
    if (!ok)
        file.remove();
    return ok;
}

std::int64_t GetFileSize64(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return -1;
    return info.size();
}

} // namespace kelvane
