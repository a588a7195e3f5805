#pragma once

#include <QString>

#include "settings/IniFile.h"
#include "settings/Preferences.h"

namespace kelvane {

class ProcessMonitor;

// "Save Settings": the twelve main window keys, then, walking the list's rows from top to bottom,
// the seven profile keys of every managed process and the two shutdown keys of every process with
// a shutdown time, into the section named by its executable path. One replacement of the file. A
// process whose name cannot be a section (a line break, bytes a UTF-16 file cannot hold) is left
// out, and the result says so, after the rest is written; nothing is ever removed.
IniResult SaveSettings(const QString& fileName, const Preferences& preferences, const ProcessMonitor& monitor);
// The changes "Save Settings" makes, as one batch.
IniBatch SettingsBatch(const Preferences& preferences, const ProcessMonitor& monitor);

// The profile keys of a process, as "Save Settings" writes them, for tests and the dump.
QString ProfileAffinityText(std::uint64_t mask);

} // namespace kelvane
