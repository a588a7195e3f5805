#pragma once
// The diagnostic dump: the settings as "Save Settings" would write them now, and the state of every
// process record in use, for bug reports. Written beside the settings file as kelvane_crash.log,
// by way of a temporary settings copy kelvane.tmp; each dump replaces the previous one.

#include <QString>

#include "engine/ProcessApi.h"
#include "settings/Preferences.h"

namespace kelvane {

class ProcessMonitor;

inline const QString kDumpFileName = QStringLiteral("kelvane_crash.log");
inline const QString kDumpTempFileName = QStringLiteral("kelvane.tmp");

// Writes the dump; false with `error` set when a step fails (then no dump is written, and a
// temporary file written before the failure stays).
bool CreateDebugFile(Pid currentPid, const ProcessMonitor& monitor, const Preferences& preferences,
                     const QString& settingsPath, QString* error, QString* dumpPath = nullptr);

// The dump's own class names: "Normal", "Low", ... "Above Normal", "Unknown" for other codes.
QString DumpClassName(std::uint32_t code);

} // namespace kelvane
