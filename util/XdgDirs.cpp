#include "util/XdgDirs.h"

#include "util/FileName.h"

#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace kelvane {

namespace {

QByteArray AccountHome() {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<std::size_t>(size > 0 ? size : 16384));
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr)
        return {};
    return QByteArray(found->pw_dir);
}

// Without a trailing "/" (but "/" itself), so that names joined to it have one "/".
QString Folder(QByteArray bytes) {
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    return DecodeFileName(bytes);
}

} // namespace

QString HomeFolder() {
    const QByteArray home = qgetenv("HOME");
    if (home.startsWith('/'))
        return Folder(home);
    const QByteArray account = AccountHome();
    return account.startsWith('/') ? Folder(account) : QStringLiteral("/");
}

QString XdgConfigHome() {
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    if (config.startsWith('/'))
        return Folder(config);
    const QString home = HomeFolder();
    return (home == QLatin1String("/") ? QString() : home) + QStringLiteral("/.config");
}

} // namespace kelvane
