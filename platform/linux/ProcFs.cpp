#include "platform/linux/ProcFs.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvane::linux_port {

namespace {

template <typename T> bool ToNumber(std::string_view text, T& value) {
    const auto* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

// Splits at single blanks, as the kernel writes the fields.
std::vector<std::string_view> SplitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    fields.reserve(52);
    while (!text.empty()) {
        const std::size_t blank = text.find(' ');
        std::string_view field = text.substr(0, blank);
        if (!field.empty())
            fields.push_back(field);
        if (blank == std::string_view::npos)
            break;
        text.remove_prefix(blank + 1);
    }
    return fields;
}

} // namespace

std::optional<ProcStat> ParseProcStat(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\0'))
        text.remove_suffix(1);
    const std::size_t open = text.find('(');
    const std::size_t close = text.rfind(')');
    if (open == std::string_view::npos || close == std::string_view::npos || close < open)
        return std::nullopt;
    ProcStat stat;
    std::string_view pidText = text.substr(0, open);
    while (!pidText.empty() && pidText.back() == ' ')
        pidText.remove_suffix(1);
    if (!ToNumber(pidText, stat.pid))
        return std::nullopt;
    stat.comm.assign(text.substr(open + 1, close - open - 1));

    // Field 3 (state) is the first one after ") ".
    const std::vector<std::string_view> f = SplitFields(text.substr(close + 1));
    auto field = [&f](std::size_t number) -> std::string_view {
        return number - 3 < f.size() ? f[number - 3] : std::string_view();
    };
    if (f.size() < 20 || field(3).size() != 1)
        return std::nullopt;
    stat.state = field(3)[0];
    if (!ToNumber(field(4), stat.ppid) || !ToNumber(field(9), stat.flags) || !ToNumber(field(14), stat.utime) ||
        !ToNumber(field(15), stat.stime) || !ToNumber(field(19), stat.nice) ||
        !ToNumber(field(20), stat.numThreads) || !ToNumber(field(22), stat.startTime))
        return std::nullopt;
    int exitCode = 0;
    if (f.size() >= 50 && ToNumber(field(52), exitCode))
        stat.exitCode = exitCode;
    return stat;
}

std::optional<std::string> ReadSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string content;
    char buffer[1024];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int saved = errno;
            ::close(fd);
            errno = saved;
            return std::nullopt;
        }
        if (n == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return content;
}

bool ListNumericEntries(const std::string& dir, std::vector<int>& out) {
    out.clear();
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr)
        return false;
    while (const dirent* entry = ::readdir(d)) {
        int number = 0;
        const std::string_view name(entry->d_name);
        if (!name.empty() && name[0] != '0' && ToNumber(name, number))
            out.push_back(number);
    }
    ::closedir(d);
    std::sort(out.begin(), out.end());
    return true;
}

std::optional<ProcUids> ParseStatusUids(std::string_view statusText) {
    std::size_t pos = 0;
    while (pos < statusText.size()) {
        std::size_t end = statusText.find('\n', pos);
        if (end == std::string_view::npos)
            end = statusText.size();
        std::string_view line = statusText.substr(pos, end - pos);
        if (line.starts_with("Uid:")) {
            line.remove_prefix(4);
            std::vector<unsigned> ids;
            std::size_t i = 0;
            while (i < line.size() && ids.size() < 2) {
                while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
                    ++i;
                std::size_t j = i;
                while (j < line.size() && line[j] != ' ' && line[j] != '\t')
                    ++j;
                unsigned id = 0;
                if (j > i && ToNumber(line.substr(i, j - i), id))
                    ids.push_back(id);
                else
                    return std::nullopt;
                i = j;
            }
            if (ids.size() < 2)
                return std::nullopt;
            return ProcUids{ids[0], ids[1]};
        }
        pos = end + 1;
    }
    return std::nullopt;
}

std::string StripDeletedSuffix(std::string path) {
    if (path.ends_with(kDeletedSuffix))
        path.erase(path.size() - kDeletedSuffix.size());
    return path;
}

bool LinkedFileIsDeleted(const std::string& link) {
    struct stat st {};
    return ::stat(link.c_str(), &st) == 0 && st.st_nlink == 0;
}

std::optional<std::string> ReadExeLink(const std::string& path) {
    std::string target(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0)
            return std::nullopt;
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            // A file may really be named "x (deleted)": the suffix is the kernel's only when the
            // file has no name left.
            if (target.ends_with(kDeletedSuffix) && LinkedFileIsDeleted(path))
                return StripDeletedSuffix(std::move(target));
            return target;
        }
        target.resize(target.size() * 2); // the path may have been cut: try a larger buffer
    }
}

std::uint64_t ParseCpuList(std::string_view text) {
    std::uint64_t mask = 0;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.remove_suffix(1);
    while (!text.empty()) {
        const std::size_t comma = text.find(',');
        const std::string_view range = text.substr(0, comma);
        const std::size_t dash = range.find('-');
        unsigned first = 0;
        unsigned last = 0;
        const bool ok = dash == std::string_view::npos
                            ? ToNumber(range, first) && ((last = first), true)
                            : ToNumber(range.substr(0, dash), first) && ToNumber(range.substr(dash + 1), last);
        if (ok)
            for (unsigned cpu = first; cpu <= last && cpu < 64; ++cpu)
                mask |= std::uint64_t{1} << cpu;
        if (comma == std::string_view::npos)
            break;
        text.remove_prefix(comma + 1);
    }
    return mask;
}

} // namespace kelvane::linux_port
