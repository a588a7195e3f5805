#pragma once
// What the process information window shows of a process on Linux: its memory counters, thread
// count, user and mapped files. The parsers take the text of a /proc file and the readers take the
// /proc root, so that tests can feed sample text and sample trees.

#include <QString>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/ProcessApi.h"

namespace kelvane::linux_port {

// The modules of a /proc/PID/maps text: one entry per mapped file, in the order of its first
// mapping; base = the start of its first mapping, size = from there to the end of its last one.
// Anonymous mappings and the kernel's pseudo-files ([heap], [stack], [vdso] ...) are left out; a
// deleted file keeps its path without the " (deleted)" the kernel appends.
std::vector<ModuleEntry> ParseMaps(std::string_view mapsText);

// minflt + majflt (fields 10 and 12) of a /proc/PID/stat line, split after the last ")".
std::optional<std::uint64_t> ParsePageFaults(std::string_view statText);

// The lines of /proc/PID/status that the window uses, in bytes (the file gives kB).
struct StatusMemory {
    std::optional<std::uint64_t> VmPeak, VmHWM, VmRSS, RssAnon, VmSwap, VmPTE, VmStk;
};
StatusMemory ParseStatusMemory(std::string_view statusText);

// The counters from the stat and status texts. Linux keeps no peak of the page tables or the
// stack, so their peak counters hold the current values:
//   PageFaultCount = minflt + majflt
//   WorkingSetSize = VmRSS, PeakWorkingSetSize = VmHWM
//   PagefileUsage = RssAnon + VmSwap, PeakPagefileUsage = VmPeak
//   QuotaPagedPoolUsage = QuotaPeakPagedPoolUsage = VmStk (stack pages can be swapped out)
//   QuotaNonPagedPoolUsage = QuotaPeakNonPagedPoolUsage = VmPTE (page tables never are)
// Empty when a text lacks a line (a kernel thread or a zombie has no memory lines).
std::optional<ProcessMemoryCounters> MemoryCountersFrom(std::string_view statText, std::string_view statusText);

// "Threads:" of a /proc/PID/status text, when its "Tgid:" is `pid` (/proc/TID of a thread that is
// not the leader reads like a process of its own).
std::optional<std::uint32_t> ParseThreadCount(std::string_view statusText, Pid pid);

// "account (host)": the user name of `uid` (its number when it has none) and the host name.
QString UserText(unsigned uid, const QString& hostName);
QString AccountName(unsigned uid);
QString HostName();

// Readers over a /proc root: 0 on success, else the errno of the failure.
int ReadModuleList(const std::string& procRoot, Pid pid, std::vector<ModuleEntry>& modules);
int ReadMemoryCounters(const std::string& procRoot, Pid pid, ProcessMemoryCounters& counters);
int ReadThreadCount(const std::string& procRoot, Pid pid, std::uint32_t& threads);
int ReadUserText(const std::string& procRoot, Pid pid, QString& user);

} // namespace kelvane::linux_port
