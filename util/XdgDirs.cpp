#include "util/XdgDirs.h"

#include <QDir>

namespace kelvane {

QString XdgConfigHome() {
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    return !config.isEmpty() && QDir::isAbsolutePath(config) ? config : QDir::homePath() + QStringLiteral("/.config");
}

} // namespace kelvane
