#include "platform/linux/foreground/AppScope.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>

namespace kelvane::linux_port {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// systemd's unit name escaping: \xNN for a byte.
std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned value = 0;
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' &&
            std::from_chars(text.data() + i + 2, text.data() + i + 4, value, 16).ptr == text.data() + i + 4) {
            out += static_cast<char>(value);
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The unit path of the cgroup v2 line ("0::/...") or, on a v1 system, of the systemd line.
std::string CgroupPath(const std::string& cgroupText) {
    std::istringstream lines(cgroupText);
    std::string line;
    std::string fallback;
    while (std::getline(lines, line)) {
        if (line.rfind("0::", 0) == 0)
            return line.substr(3);
        const std::size_t named = line.find(":name=systemd:");
        if (named != std::string::npos)
            fallback = line.substr(named + 14);
    }
    return fallback;
}

// Field 22 of /proc/PID/stat, read after the last ')' because names hold spaces and ')'.
unsigned long long StartTime(const std::string& statText) {
    const std::size_t close = statText.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::istringstream fields(statText.substr(close + 1));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
        if (i == 22) {
            unsigned long long value = 0;
            std::from_chars(field.data(), field.data() + field.size(), value);
            return value;
        }
    }
    return 0;
}

} // namespace

std::vector<std::string> AppUnitParts(const std::string& cgroupText) {
    const std::string path = CgroupPath(cgroupText);
    std::size_t end = path.size();
    while (end > 0) {
        const std::size_t slash = path.rfind('/', end - 1);
        const std::size_t begin = slash == std::string::npos ? 0 : slash + 1;
        std::string unit = path.substr(begin, end - begin);
        std::string body;
        if (unit.rfind("app-", 0) == 0 && unit.size() > 10 && unit.ends_with(".scope"))
            body = unit.substr(4, unit.size() - 4 - 6);
        else if (unit.rfind("app-", 0) == 0 && unit.size() > 12 && unit.ends_with(".service"))
            body = unit.substr(4, unit.size() - 4 - 8);
        if (!body.empty()) {
            body = body.substr(0, body.find('@')); // a template instance is the random part
            std::vector<std::string> parts;
            std::istringstream dashes(body);
            std::string part;
            while (std::getline(dashes, part, '-'))
                if (!part.empty())
                    parts.push_back(Unescape(part));
            return parts;
        }
        if (slash == std::string::npos)
            break;
        end = slash;
    }
    return {};
}

bool UnitNamesApp(const std::vector<std::string>& parts, const std::string& appId) {
    std::string wanted = Lower(appId);
    if (wanted.ends_with(".desktop"))
        wanted.resize(wanted.size() - 8);
    if (wanted.empty())
        return false;
    return std::any_of(parts.begin(), parts.end(),
                       [&](const std::string& part) { return Lower(part) == wanted; });
}

pid_t PidOfApp(const std::string& appId, const std::string& procRoot) {
    DIR* dir = ::opendir(procRoot.c_str());
    if (dir == nullptr)
        return 0;
    struct First {
        unsigned long long start = ~0ULL;
        pid_t pid = 0;
    };
    std::map<std::string, First> units; // unit path -> its earliest process
    while (const dirent* entry = ::readdir(dir)) {
        pid_t pid = 0;
        const std::string_view name(entry->d_name);
        if (std::from_chars(name.data(), name.data() + name.size(), pid).ptr != name.data() + name.size() ||
            pid <= 0)
            continue;
        const std::string base = procRoot + "/" + std::string(name);
        const std::string cgroup = ReadFile(base + "/cgroup");
        if (!UnitNamesApp(AppUnitParts(cgroup), appId))
            continue;
        const unsigned long long start = StartTime(ReadFile(base + "/stat"));
        First& first = units[CgroupPath(cgroup)];
        if (start < first.start || (start == first.start && pid < first.pid))
            first = {start, pid};
    }
    ::closedir(dir);
    const auto newest = std::max_element(units.begin(), units.end(), [](const auto& a, const auto& b) {
        return a.second.start < b.second.start;
    });
    return newest == units.end() ? 0 : newest->second.pid;
}

} // namespace kelvane::linux_port
