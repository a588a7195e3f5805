#include "platform/linux/ProcessDetails.h"
#include "util/FileName.h"

#include "platform/linux/ProcFs.h"

#include <QFile>
#include <cerrno>
#include <charconv>
#include <climits>
#include <map>
#include <pwd.h>
#include <unistd.h>

namespace kelvane::linux_port {

namespace {

template <typename T> bool ToNumber(std::string_view text, T& value, int base = 10) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value, base);
    return ec == std::errc() && ptr == end && !text.empty();
}

// The next field of `line` separated by blanks; `line` keeps the rest.
std::string_view NextField(std::string_view& line) {
    while (!line.empty() && line.front() == ' ')
        line.remove_prefix(1);
    const std::size_t end = std::min(line.find(' '), line.size());
    const std::string_view field = line.substr(0, end);
    line.remove_prefix(end);
    return field;
}

// The kernel writes a newline in a mapped file's path as "\012".
std::string UnescapePath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path.substr(i, 4) == "\\012") {
            out += '\n';
            i += 3;
        } else {
            out += path[i];
        }
    }
    return out;
}

// The value of a "Key:" line of a status text, without the blanks around it.
std::optional<std::string_view> StatusValue(std::string_view text, std::string_view key) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        if (line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
            line.remove_prefix(key.size() + 1);
            while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
                line.remove_prefix(1);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
                line.remove_suffix(1);
            return line;
        }
        at = end + 1;
    }
    return std::nullopt;
}

// A "Vm...:  1234 kB" line in bytes.
std::optional<std::uint64_t> KilobyteLine(std::string_view text, std::string_view key) {
    std::optional<std::string_view> value = StatusValue(text, key);
    if (!value || value->size() < 3 || value->substr(value->size() - 3) != " kB")
        return std::nullopt;
    value->remove_suffix(3);
    std::uint64_t kilobytes = 0;
    if (!ToNumber(*value, kilobytes))
        return std::nullopt;
    return kilobytes * 1024;
}

std::string ProcFile(const std::string& procRoot, Pid pid, const char* entry) {
    return procRoot + '/' + std::to_string(pid) + '/' + entry;
}

} // namespace

std::vector<ModuleEntry> ParseMaps(std::string_view text) {
    std::vector<ModuleEntry> modules;
    std::map<std::string, std::size_t> indexOfPath;
    std::vector<std::uint64_t> ends;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t lineEnd = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, lineEnd - at);
        at = lineEnd + 1;
        // start-end perms offset dev inode path
        const std::string_view range = NextField(line);
        const std::size_t dash = range.find('-');
        std::uint64_t start = 0;
        std::uint64_t end = 0;
        if (dash == std::string_view::npos || !ToNumber(range.substr(0, dash), start, 16) ||
            !ToNumber(range.substr(dash + 1), end, 16) || end < start)
            continue;
        for (int field = 0; field < 4; ++field)
            NextField(line);
        while (!line.empty() && line.front() == ' ')
            line.remove_prefix(1);
        // Anonymous memory has no path; [heap], [stack], [vdso], [vvar] ... belong to no file.
        if (line.empty() || line.front() != '/')
            continue;
        constexpr std::string_view kDeleted = " (deleted)";
        if (line.size() > kDeleted.size() && line.substr(line.size() - kDeleted.size()) == kDeleted)
            line.remove_suffix(kDeleted.size());
        std::string path = UnescapePath(line);
        const auto [it, added] = indexOfPath.try_emplace(std::move(path), modules.size());
        if (added) {
            modules.push_back({DecodeFileName(QByteArrayView(it->first.data(), static_cast<qsizetype>(it->first.size()))), start, end - start});
            ends.push_back(end);
            continue;
        }
        ModuleEntry& module = modules[it->second];
        std::uint64_t& moduleEnd = ends[it->second];
        if (end > moduleEnd)
            moduleEnd = end;
        if (start < module.base)
            module.base = start;
        module.size = moduleEnd - module.base;
    }
    return modules;
}

std::optional<std::uint64_t> ParsePageFaults(std::string_view text) {
    const std::size_t close = text.rfind(')');
    if (close == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = text.substr(close + 1);
    while (!rest.empty() && (rest.back() == '\n' || rest.back() == ' '))
        rest.remove_suffix(1);
    // Field 3 (state) is the first after ") "; minflt is field 10, majflt field 12.
    std::uint64_t minflt = 0;
    std::uint64_t majflt = 0;
    for (int field = 3; field <= 12; ++field) {
        const std::string_view value = NextField(rest);
        if (value.empty())
            return std::nullopt;
        if (field == 10 && !ToNumber(value, minflt))
            return std::nullopt;
        if (field == 12 && !ToNumber(value, majflt))
            return std::nullopt;
    }
    return minflt + majflt;
}

StatusMemory ParseStatusMemory(std::string_view text) {
    StatusMemory memory;
    memory.VmPeak = KilobyteLine(text, "VmPeak");
    memory.VmHWM = KilobyteLine(text, "VmHWM");
    memory.VmRSS = KilobyteLine(text, "VmRSS");
    memory.RssAnon = KilobyteLine(text, "RssAnon");
    memory.VmSwap = KilobyteLine(text, "VmSwap");
    memory.VmPTE = KilobyteLine(text, "VmPTE");
    memory.VmStk = KilobyteLine(text, "VmStk");
    return memory;
}

std::optional<ProcessMemoryCounters> MemoryCountersFrom(std::string_view statText, std::string_view statusText) {
    const std::optional<std::uint64_t> faults = ParsePageFaults(statText);
    const StatusMemory m = ParseStatusMemory(statusText);
    if (!faults || !m.VmPeak || !m.VmHWM || !m.VmRSS || !m.RssAnon || !m.VmPTE || !m.VmStk)
        return std::nullopt;
    ProcessMemoryCounters counters;
    counters.PageFaultCount = *faults;
    counters.PeakWorkingSetSize = *m.VmHWM;
    counters.WorkingSetSize = *m.VmRSS;
    counters.QuotaPeakPagedPoolUsage = *m.VmStk;
    counters.QuotaPagedPoolUsage = *m.VmStk;
    counters.QuotaPeakNonPagedPoolUsage = *m.VmPTE;
    counters.QuotaNonPagedPoolUsage = *m.VmPTE;
    counters.PagefileUsage = *m.RssAnon + m.VmSwap.value_or(0); // no VmSwap line without swap support
    counters.PeakPagefileUsage = *m.VmPeak;
    return counters;
}

std::optional<std::uint32_t> ParseThreadCount(std::string_view text, Pid pid) {
    const std::optional<std::string_view> tgid = StatusValue(text, "Tgid");
    const std::optional<std::string_view> threads = StatusValue(text, "Threads");
    Pid leader = 0;
    std::uint32_t count = 0;
    if (!tgid || !threads || !ToNumber(*tgid, leader) || leader != pid || !ToNumber(*threads, count))
        return std::nullopt;
    return count;
}

QString AccountName(unsigned uid) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 1024);
    for (;;) {
        passwd entry{};
        passwd* found = nullptr;
        const int error = ::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1U << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error == 0 && found != nullptr && found->pw_name != nullptr && found->pw_name[0] != '\0')
            return QString::fromLocal8Bit(found->pw_name);
        return QString::number(uid); // no name: as ps shows such a user
    }
}

QString HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return QString::fromLocal8Bit(name);
}

QString UserText(unsigned uid, const QString& hostName) {
    return AccountName(uid) + QStringLiteral(" (") + hostName + u')';
}

int ReadModuleList(const std::string& procRoot, Pid pid, std::vector<ModuleEntry>& modules) {
    modules.clear();
    const std::optional<std::string> text = ReadSmallFile(ProcFile(procRoot, pid, "maps"));
    if (!text)
        return errno != 0 ? errno : EIO;
    modules = ParseMaps(*text);
    return 0;
}

int ReadMemoryCounters(const std::string& procRoot, Pid pid, ProcessMemoryCounters& counters) {
    const std::optional<std::string> stat = ReadSmallFile(ProcFile(procRoot, pid, "stat"));
    if (!stat)
        return errno != 0 ? errno : EIO;
    const std::optional<std::string> status = ReadSmallFile(ProcFile(procRoot, pid, "status"));
    if (!status)
        return errno != 0 ? errno : EIO;
    const std::optional<ProcessMemoryCounters> read = MemoryCountersFrom(*stat, *status);
    if (!read)
        return ESRCH; // no memory of its own: a kernel thread, or a process that has ended
    counters = *read;
    return 0;
}

int ReadThreadCount(const std::string& procRoot, Pid pid, std::uint32_t& threads) {
    const std::optional<std::string> status = ReadSmallFile(ProcFile(procRoot, pid, "status"));
    if (!status)
        return errno == ENOENT || errno == 0 ? ESRCH : errno;
    const std::optional<std::uint32_t> count = ParseThreadCount(*status, pid);
    if (!count)
        return ESRCH;
    threads = *count;
    return 0;
}

int ReadUserText(const std::string& procRoot, Pid pid, QString& user) {
    const std::optional<std::string> status = ReadSmallFile(ProcFile(procRoot, pid, "status"));
    if (!status)
        return errno != 0 ? errno : EIO;
    const std::optional<ProcUids> uids = ParseStatusUids(*status);
    if (!uids)
        return ESRCH;
    user = UserText(uids->real, HostName());
    return 0;
}

} // namespace kelvane::linux_port
