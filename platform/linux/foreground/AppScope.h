#pragma once
// From an application ID (a Wayland app_id, a .desktop name) to its process, through the systemd
// units that desktop sessions start applications in: app[-<launcher>]-<ID>-<random>.scope and
// app[-<launcher>]-<ID>[@<random>].service, with '-' inside the ID escaped as \x2d.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kelvane::linux_port {

// The dash-separated parts of the application unit in a /proc/PID/cgroup text (its innermost
// app-*.scope or app-*.service), unescaped; empty when the process is in no application unit.
std::vector<std::string> AppUnitParts(const std::string& cgroupText);

// Whether `appId` (with or without ".desktop", any letter case) names the unit of those parts.
bool UnitNamesApp(const std::vector<std::string>& parts, const std::string& appId);

// The first process (earliest started) of the newest application unit named `appId`; 0 when none.
pid_t PidOfApp(const std::string& appId, const std::string& procRoot = "/proc");

} // namespace kelvane::linux_port
