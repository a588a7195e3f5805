#pragma once
// One-off shutdown times. A one-off time ends the processes that hold it when it comes, and is then
// over: it goes from every record of that executable and from the settings file, so that a process
// started afterwards is never ended by it, in this run or a later one. Daily times stay.

#include <QString>

#include "settings/IniFile.h"

namespace kelvane {

struct TProcess;

// The local date-time now, as days since 30 December 1899.
double LocalNowDays();

// Whether the record holds a one-off shutdown time that has come by `now`.
bool OneOffTimeCame(const TProcess& record, double now);

// Adds the removal of the executable's "Shutdown time" and "Shutdown daily" (the rest of its
// section stays). A name that cannot be a section adds nothing.
void DeleteShutdownKeys(IniBatch& batch, const QString& executable);

} // namespace kelvane
