#pragma once
// The running desktop shell or window manager, which the configuration wizard keeps out of
// management: found from the window manager's _NET_SUPPORTING_WM_CHECK window (its _NET_WM_PID and
// that process's executable), else among the running processes by the names of the known shells.

#include <QString>
#include <QStringList>

namespace kelvane {

struct DesktopShell {
    QString fileName;     // as "gnome-shell"; empty when none was found
    QString runningPath;  // the executable it runs from, when known
    // Where it is installed by default: /usr/bin and its file name.
    QString DefaultPath() const { return fileName.isEmpty() ? QString() : QStringLiteral("/usr/bin/") + fileName; }
};

// The shells and window managers looked for when the window manager does not say who it is, in
// this order.
const QStringList& KnownShells();

// `procRoot` is the /proc to read (tests give a sample tree).
DesktopShell FindDesktopShell(const QString& procRoot = QStringLiteral("/proc"));
// Among the processes of `procRoot` (their comm names), the first known shell.
DesktopShell FindKnownShell(const QString& procRoot);

} // namespace kelvane
