#pragma once
// Reading the /proc file system. Every function takes the root ("/proc" on a live system) so that
// tests can point it at a tree of sample files.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvane::linux_port {

// Process is a kernel thread (flags field of /proc/PID/stat).
constexpr std::uint32_t PF_KTHREAD = 0x00200000;

// The fields of /proc/PID/stat that Kelvane uses. The command name may hold any character,
// blanks, ")" and newlines included, so the line is split at the last ")".
struct ProcStat {
    int pid = 0;
    std::string comm;
    char state = '?';
    int ppid = 0;
    std::uint32_t flags = 0;
    std::uint64_t utime = 0; // clock ticks
    std::uint64_t stime = 0; // clock ticks
    long nice = 0;
    long numThreads = 0;
    std::uint64_t startTime = 0;       // clock ticks after boot
    std::optional<int> exitCode;       // wait status, present from Linux 3.5 on
    bool isKernelThread() const { return (flags & PF_KTHREAD) != 0; }
};

std::optional<ProcStat> ParseProcStat(std::string_view text);

// Reads a whole small file (stat, status, comm). Empty when it cannot be read; errno is kept.
std::optional<std::string> ReadSmallFile(const std::string& path);

// The numeric entries of a directory (/proc or /proc/PID/task), ascending.
bool ListNumericEntries(const std::string& dir, std::vector<int>& out);

// The real and effective user IDs from the "Uid:" line of /proc/PID/status.
struct ProcUids {
    unsigned real = 0;
    unsigned effective = 0;
};
std::optional<ProcUids> ParseStatusUids(std::string_view statusText);

// What the kernel appends to the path of a file that was removed or replaced.
constexpr std::string_view kDeletedSuffix = " (deleted)";

// The target of a /proc/PID/exe link, as bytes. The kernel's " (deleted)" is removed only when the
// executable really has no name left (its link count, looked at through the link, is 0): a file
// may be named "x (deleted)" itself. Empty on failure; errno is kept.
std::optional<std::string> ReadExeLink(const std::string& path);
std::string StripDeletedSuffix(std::string path);
// Whether the file the link leads to (followed) has no directory entry left.
bool LinkedFileIsDeleted(const std::string& link);

// The processor numbers of a list such as "0-3,8,10-11" (/sys/devices/system/cpu/online) as a mask
// of processors 0 to 63.
std::uint64_t ParseCpuList(std::string_view text);

} // namespace kelvane::linux_port
