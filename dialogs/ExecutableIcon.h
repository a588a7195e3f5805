#pragma once
// The icon of an executable, as the desktop shows it: the icon of the desktop entry that starts it.

#include <QIcon>
#include <QString>
#include <QStringList>

namespace kelvane {

// The folders of desktop entries, the most important first: $XDG_DATA_HOME/applications (default
// ~/.local/share/applications), then the applications folder of each $XDG_DATA_DIRS entry (default
// /usr/local/share:/usr/share).
QStringList ApplicationFolders();

// The Icon key of the first desktop entry (type Application, not Hidden) whose Exec program or
// TryExec names the executable `path`: by its full path, or by its file name alone. An entry of a
// more important folder hides an entry of the same desktop file ID in a later one. Empty when no
// entry names it.
QString DesktopEntryIconName(const QString& path, const QStringList& folders = ApplicationFolders());

// The icon of that desktop entry (from the icon theme, or the file an absolute Icon key names),
// else the theme's generic executable icon "application-x-executable", else the style's file icon.
QIcon ExecutableIcon(const QString& path);

} // namespace kelvane
