#include "platform/linux/DesktopShell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>

namespace kelvane {

namespace {

QString ExeOf(const QString& procRoot, quint32 pid) {
    return QFileInfo(procRoot + u'/' + QString::number(pid) + QStringLiteral("/exe")).symLinkTarget();
}

// The PID the window manager's check window gives, or 0.
quint32 WindowManagerPid() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0')
        return 0;
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t*)> owner(connection, xcb_disconnect);
    if (xcb_connection_has_error(connection) != 0)
        return 0;
    xcb_ewmh_connection_t ewmh{};
    if (xcb_ewmh_init_atoms_replies(&ewmh, xcb_ewmh_init_atoms(connection, &ewmh), nullptr) == 0)
        return 0;
    quint32 pid = 0;
    xcb_window_t check = XCB_WINDOW_NONE;
    if (screenNumber >= 0 && screenNumber < ewmh.nb_screens &&
        xcb_ewmh_get_supporting_wm_check_reply(
            &ewmh, xcb_ewmh_get_supporting_wm_check(&ewmh, ewmh.screens[screenNumber]->root), &check, nullptr) != 0) {
        std::uint32_t value = 0;
        if (xcb_ewmh_get_wm_pid_reply(&ewmh, xcb_ewmh_get_wm_pid(&ewmh, check), &value, nullptr) != 0)
            pid = value;
    }
    xcb_ewmh_connection_wipe(&ewmh);
    return pid;
}

} // namespace

const QStringList& KnownShells() {
    static const QStringList shells = {
        QStringLiteral("gnome-shell"), QStringLiteral("plasmashell"), QStringLiteral("kwin_x11"),
        QStringLiteral("kwin_wayland"), QStringLiteral("xfwm4"),      QStringLiteral("cinnamon"),
        QStringLiteral("marco"),       QStringLiteral("mutter"),      QStringLiteral("sway"),
        QStringLiteral("openbox"),     QStringLiteral("fluxbox"),     QStringLiteral("i3"),
    };
    return shells;
}

DesktopShell FindKnownShell(const QString& procRoot) {
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QString best;
    quint32 bestPid = 0;
    qsizetype bestRank = KnownShells().size();
    for (const QString& entry : entries) {
        bool ok = false;
        const quint32 pid = entry.toUInt(&ok);
        if (!ok)
            continue;
        QFile comm(procRoot + u'/' + entry + QStringLiteral("/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        const QString name = QString::fromUtf8(comm.readAll()).trimmed();
        const qsizetype rank = KnownShells().indexOf(name);
        if (rank >= 0 && rank < bestRank) {
            bestRank = rank;
            best = name;
            bestPid = pid;
        }
    }
    if (best.isEmpty())
        return {};
    return {best, ExeOf(procRoot, bestPid)};
}

DesktopShell FindDesktopShell(const QString& procRoot) {
    if (const quint32 pid = WindowManagerPid()) {
        const QString path = ExeOf(procRoot, pid);
        if (!path.isEmpty())
            return {path.section(u'/', -1), path};
    }
    return FindKnownShell(procRoot);
}

} // namespace kelvane
