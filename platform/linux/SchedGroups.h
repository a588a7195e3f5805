#pragma once
// The scheduling group that decides a process's share of the CPU. A nice value only orders tasks
// inside one group: with autogroups on, every session is a group of its own; with a cpu cgroup other
// than the root, the cgroup is. A priority class must reach that level as well to take effect.
//
// | grouping                                    | control                 | value          |
// | autogroup (sysctl on, process in root cpu cg) | /proc/PID/autogroup     | nice -20 ... 19 |
// | cgroup v2 leaf with the cpu controller       | <cgroup>/cpu.weight     | 1 ... 10000     |
// | cgroup v1 cpu group other than the root      | <cgroup>/cpu.shares     | 2 ...           |

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace kelvane::linux_port {

enum class GroupKind { None, Autogroup, CgroupV2, CgroupV1 };

struct SchedGroup {
    GroupKind kind = GroupKind::None;
    std::string id;      // "autogroup-12", or the cgroup's path
    std::string control; // the file whose value sets the group's share
    bool operator==(const SchedGroup& other) const { return kind == other.kind && id == other.id; }
};

// Where the files are: /proc, the sysctl, and the mount points of the cgroup hierarchies (as
// /proc/self/mountinfo gives them on a live system).
struct GroupRoots {
    std::string proc = "/proc";
    std::string autogroupSysctl = "/proc/sys/kernel/sched_autogroup_enabled";
    std::string cgroupV1Cpu;  // mount point of the v1 hierarchy with the cpu controller, or empty
    std::string cgroupV2;     // mount point of the unified hierarchy, or empty
    // The live system's roots, from /proc/self/mountinfo.
    static GroupRoots Live();
};

class GroupDetector {
public:
    explicit GroupDetector(GroupRoots roots = GroupRoots::Live());

    // The group of `pid`; kind None when its share is not decided by a group Kelvane knows.
    SchedGroup GroupOf(pid_t pid) const;

    // The group's current value (nice, cpu.weight or cpu.shares); empty when it cannot be read.
    std::optional<int> ReadValue(const SchedGroup& group) const;
    // Writes the value; false with errno set on failure.
    bool WriteValue(const SchedGroup& group, int value) const;

    const GroupRoots& roots() const { return roots_; }

private:
    GroupRoots roots_;
};

// The group value that stands for a priority class (by its nice value on threads): the nice value
// itself for an autogroup, the matching cpu.weight (nice 0 = 100) or cpu.shares (nice 0 = 1024).
int GroupValueOfNice(GroupKind kind, int nice);

} // namespace kelvane::linux_port
