#pragma once
// Starting Kelvane with the desktop session: the XDG autostart entry "Kelvane.desktop" in the
// user's autostart folder ($XDG_CONFIG_HOME/autostart, ~/.config/autostart), whose Exec line is the
// executable's full path quoted as the Desktop Entry rules require.

#include <QString>

namespace kelvane {

// The value name the autostart switch reports in its error text.
inline const char* const kAutostartValueName = "Kelvane";

QString AutostartEntryPath();

// One argument of an Exec line, quoted where it holds reserved characters, with "%" doubled and
// then escaped as a desktop file string value (a backslash in the path becomes four).
QString DesktopExecArgument(const QString& argument);

// The whole entry for `executable`.
QString AutostartEntryText(const QString& executable);

// On: writes the entry for `executable`; off: removes it. False with `error` set to
// "Failed to set data for 'Kelvane'" (and `reason` to the system's text) when that fails.
bool SetAutostart(bool on, const QString& executable, QString* error, QString* reason = nullptr);

bool AutostartEnabled();

} // namespace kelvane
