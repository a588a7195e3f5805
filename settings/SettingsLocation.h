#pragma once
// Where the settings file lives: "kelvane.ini" beside the executable when such a file is already
// there (portable use), otherwise $XDG_CONFIG_HOME/kelvane/kelvane.ini (~/.config/kelvane/). The
// diagnostic dump and the temporary settings copy go beside it.

#include <QString>

namespace kelvane {

// `executablePath` empty: the running executable.
QString SettingsFilePath(const QString& executablePath = QString());

// A file beside the settings file, as "kelvane_crash.log" or "kelvane.tmp".
QString BesideSettingsFile(const QString& settingsPath, const QString& fileName);

// Start-up: creates the settings file (and its folder) holding only the UTF-16LE byte-order mark
// when it does not exist; an existing file is left untouched. False when it cannot be created.
bool EnsureSettingsFile(const QString& settingsPath);

// The first-run test: the settings file is missing or smaller than 3 bytes (only the mark).
bool IsFirstRun(const QString& settingsPath);

} // namespace kelvane
