#pragma once
// Puts every thread of a process into a priority class, remembering the exact scheduling each
// thread had when Kelvane first saw the process (its first class read, or else its first change),
// so that setting the process back to the class it had then restores every thread's own nice
// value and policy.

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/linux/SchedClass.h"

namespace kelvane::linux_port {

class SchedMemory {
public:
    struct Process {
        std::unordered_map<pid_t, ThreadSched> threads; // first-seen scheduling by thread ID
        bool changed = false; // Kelvane holds the process in a class other than its first one
    };
    // Keyed by PID and process start time, so a reused PID starts afresh.
    using Key = std::pair<pid_t, std::uint64_t>;

    Process& Get(Key key) { return processes_[key]; }
    // Remembers the scheduling of every thread of the process (from `taskDir`) unless it is
    // remembered already: the first sight of the process.
    void RememberFirstSight(Key key, const std::string& taskDir);
    const Process* Find(Key key) const;
    // The leader's first-seen scheduling, when Kelvane has remembered it.
    std::optional<ThreadSched> Leader(Key key) const;
    // Forgets processes for which `alive` is false; cheap to call often: it only looks when the
    // memory has doubled since the last look.
    void Prune(const std::function<bool(Key)>& alive);
    std::size_t size() const { return processes_.size(); }

private:
    std::map<Key, Process> processes_;
    std::size_t pruneAt_ = 64;
};

// Calls `apply` on every thread of `pid` (from `taskDir`, e.g. "/proc/PID/task"), then lists the
// threads once more and applies it to threads that appeared meanwhile. `apply` returns an errno
// value (0 for success); a thread that has vanished (ESRCH) is not an error. The result is the first
// error, or 0. `seen` receives every thread ID that was listed.
int ForEachThread(const std::string& taskDir, const std::function<int(pid_t)>& apply,
                  std::vector<int>* seen = nullptr);

// Puts the process into `priorityClass` (one of the six codes) thread by thread:
// - real-time threads are left alone unless RealTime is being set or left (the leader is real-time);
//   setting RealTime leaves threads that already are real-time as they are;
// - a non-real-time class returns SCHED_IDLE threads to SCHED_OTHER (SCHED_BATCH stays batch) and
//   sets the class's nice value;
// - when `priorityClass` is the class the leader had when first remembered, every remembered thread
//   gets its exact first-seen scheduling back; a thread started while Kelvane held the process in
//   another class has no first-seen value of its own and takes the leader's.
// Returns 0 or the first errno.
int SetProcessClass(const std::string& taskDir, pid_t pid, std::uint64_t startTime,
                    std::uint32_t priorityClass, SchedMemory& memory);

} // namespace kelvane::linux_port
