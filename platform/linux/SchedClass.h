#pragma once
// The priority classes on Linux: a scheduling policy and a nice value per thread.
//
// | class        | set               | read back as this class      |
// | Low          | nice 19           | SCHED_IDLE, or nice 15 ... 19 |
// | Below Normal | nice 10           | nice 5 ... 14                 |
// | Normal       | nice 0            | nice -2 ... 4                 |
// | Above Normal | nice -5           | nice -7 ... -3                |
// | High         | nice -10          | nice -20 ... -8               |
// | RealTime     | SCHED_RR, prio 1  | SCHED_FIFO or SCHED_RR        |

#include <cstdint>
#include <optional>
#include <sys/types.h>

namespace kelvane::linux_port {

// The scheduling of one thread.
struct ThreadSched {
    int policy = 0;     // SCHED_OTHER, SCHED_BATCH, SCHED_IDLE, SCHED_FIFO, SCHED_RR
    int rtPriority = 0; // 1 ... 99 for SCHED_FIFO / SCHED_RR, else 0
    int nice = 0;       // -20 ... 19
    bool operator==(const ThreadSched&) const = default;
};

bool IsRealTimePolicy(int policy);

// The class code that a policy and nice read back as.
std::uint32_t ClassOfSched(int policy, int nice);

// The nice value a non-real-time class sets (0 for RealTime and unknown codes).
int NiceOfClass(std::uint32_t priorityClass);

// Reads a thread's (or a thread group leader's) scheduling. Empty on failure, errno kept.
std::optional<ThreadSched> ReadThreadSched(pid_t tid);
// Policy and nice only: what the class read needs.
std::optional<std::uint32_t> ReadThreadClass(pid_t tid);

// Puts a thread into `sched`: policy first (with its real-time priority), then the nice value
// for the policies that have one. False on failure, errno kept.
bool ApplyThreadSched(pid_t tid, const ThreadSched& sched);

} // namespace kelvane::linux_port
