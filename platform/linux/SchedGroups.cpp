#include "platform/linux/SchedGroups.h"

#include "platform/linux/ProcFs.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace kelvane::linux_port {

namespace {

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// The kernel's weights of nice -20 ... 19 (sched_prio_to_weight).
constexpr std::array<int, 40> kNiceWeights = {
    88761, 71755, 56483, 46273, 36291, 29154, 23254, 18705, 14949, 11916, 9548, 7620, 6100, 4904,
    3906,  3121,  2501,  1991,  1586,  1277,  1024,  820,   655,   526,   423,   335,  272,  215,
    172,   137,   110,   87,    70,    56,    45,    36,    29,    23,    18,    15};

} // namespace

GroupRoots GroupRoots::Live() {
    GroupRoots roots;
    const std::optional<std::string> mounts = ReadSmallFile("/proc/self/mountinfo");
    if (!mounts)
        return roots;
    for (const std::string& line : Split(*mounts, '\n')) {
        // ID PARENT MAJ:MIN ROOT MOUNTPOINT OPTIONS ... - FSTYPE SOURCE SUPEROPTIONS
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos)
            continue;
        const std::vector<std::string> head = Split(line.substr(0, dash), ' ');
        const std::vector<std::string> tail = Split(line.substr(dash + 3), ' ');
        if (head.size() < 5 || tail.size() < 3)
            continue;
        if (tail[0] == "cgroup2" && roots.cgroupV2.empty())
            roots.cgroupV2 = head[4];
        if (tail[0] == "cgroup" && roots.cgroupV1Cpu.empty()) {
            const std::vector<std::string> options = Split(tail[2], ',');
            if (std::find(options.begin(), options.end(), "cpu") != options.end())
                roots.cgroupV1Cpu = head[4];
        }
    }
    return roots;
}

GroupDetector::GroupDetector(GroupRoots roots) : roots_(std::move(roots)) {}

SchedGroup GroupDetector::GroupOf(pid_t pid) const {
    const std::string procDir = roots_.proc + "/" + std::to_string(pid);
    const std::optional<std::string> cgroups = ReadSmallFile(procDir + "/cgroup");
    if (!cgroups)
        return {};
    std::optional<std::string> v1Path;
    std::optional<std::string> v2Path;
    for (const std::string& line : Split(*cgroups, '\n')) {
        const std::size_t first = line.find(':');
        const std::size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (line.compare(0, first, "0") == 0 && controllers.empty()) {
            v2Path = path;
        } else {
            const std::vector<std::string> names = Split(controllers, ',');
            if (std::find(names.begin(), names.end(), "cpu") != names.end())
                v1Path = path;
        }
    }
    if (!roots_.cgroupV1Cpu.empty() && v1Path) {
        if (*v1Path != "/" && Exists(roots_.cgroupV1Cpu + *v1Path + "/cpu.shares"))
            return {GroupKind::CgroupV1, *v1Path, roots_.cgroupV1Cpu + *v1Path + "/cpu.shares"};
    } else if (!roots_.cgroupV2.empty() && v2Path) {
        // The nearest cgroup with a weight of its own: without the cpu controller in the leaf, the
        // process competes as a part of an ancestor.
        for (std::string path = *v2Path; path != "/" && !path.empty(); path = Parent(path))
            if (Exists(roots_.cgroupV2 + path + "/cpu.weight"))
                return {GroupKind::CgroupV2, path, roots_.cgroupV2 + path + "/cpu.weight"};
    }
    // In the root cpu group: the autogroup, when they are on.
    const std::optional<std::string> enabled = ReadSmallFile(roots_.autogroupSysctl);
    if (!enabled || enabled->empty() || (*enabled)[0] != '1')
        return {};
    const std::optional<std::string> autogroup = ReadSmallFile(procDir + "/autogroup");
    if (!autogroup || autogroup->size() < 2 || (*autogroup)[0] != '/')
        return {};
    return {GroupKind::Autogroup, autogroup->substr(1, autogroup->find(' ') - 1), procDir + "/autogroup"};
}

std::optional<int> GroupDetector::ReadValue(const SchedGroup& group) const {
    const std::optional<std::string> text = ReadSmallFile(group.control);
    if (!text)
        return std::nullopt;
    try {
        if (group.kind == GroupKind::Autogroup) {
            const std::size_t at = text->find(" nice ");
            if (at == std::string::npos)
                return std::nullopt;
            return std::stoi(text->substr(at + 6));
        }
        return std::stoi(*text);
    } catch (...) {
        return std::nullopt;
    }
}

bool GroupDetector::WriteValue(const SchedGroup& group, int value) const {
    const int fd = ::open(group.control.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return false;
    const std::string text = std::to_string(value);
    const bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return ok;
}

int GroupValueOfNice(GroupKind kind, int nice) {
    const int weight = kNiceWeights[static_cast<std::size_t>(std::clamp(nice, -20, 19) + 20)];
    switch (kind) {
    case GroupKind::CgroupV2:
        return std::clamp(static_cast<int>(std::lround(weight * 100.0 / 1024.0)), 1, 10000);
    case GroupKind::CgroupV1:
        return std::max(weight, 2);
    default:
        return std::clamp(nice, -20, 19);
    }
}

} // namespace kelvane::linux_port
