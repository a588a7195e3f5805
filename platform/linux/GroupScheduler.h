#pragma once
// Carries priority classes to the level of scheduling groups (autogroups, cpu cgroups), where a
// process's share of the CPU is decided, once per optimization pass:
// - a group is lowered only when every member that used CPU in the last cycle is being lowered too
//   (a hog lowers its terminal session; an idle shell in it does not stop that), and raised only
//   when the raised process is its only member that used CPU;
// - the groups of Kelvane itself and of the foreground process are never changed;
// - the net change of a pass is written once, at its end (unprivileged autogroup writes are rate
//   limited across the system), and only when the value differs;
// - every group's original value is kept and written back exactly when its processes return to
//   their classes, when the process that changed it ends, and at exit.
// Where a group cannot be written, the class still reaches the threads; the limitation is noted
// once.

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/linux/SchedGroups.h"

namespace kelvane::linux_port {

class GroupScheduler {
public:
    explicit GroupScheduler(GroupDetector detector);

    // A class was set on `pid` in this pass; the last one per process counts. `classIndex` is the
    // class's index (0 Low ... 2 Normal ... 5 RealTime), `nice` the nice value it stands for.
    void RecordIntent(pid_t pid, int classIndex, int nice);
    // Whether classes were set since the last pass ended.
    bool HasIntents() const { return !intents_.empty(); }

    // The end of a pass: `usedCpu` are the processes that used CPU in the last cycle, `protectedPids`
    // Kelvane's own process and the foreground process.
    void EndOfPass(const std::vector<pid_t>& usedCpu, const std::vector<pid_t>& protectedPids);

    // Every changed group back to its original value (exit).
    void RestoreAll();

    // Limitations noticed since the last call, one text each, for the log and kelvanectl.
    std::vector<std::string> TakeNotices();

    // Groups currently holding a value of Kelvane's (for tests).
    std::size_t ChangedGroups() const { return changed_.size(); }

private:
    struct Intent {
        int classIndex;
        int nice;
    };
    struct State {
        SchedGroup group;
        int original = 0;
        int current = 0;
        pid_t via = 0; // the process whose class changed it
        bool restorePending = false;
    };

    static std::string Key(const SchedGroup& group);
    void Apply(const SchedGroup& group, pid_t via, std::optional<int> value);
    void Restore(State& state);
    void Notice(const SchedGroup& group, int error);
    void ForgetEnded();

    GroupDetector detector_;
    std::map<pid_t, Intent> intents_;
    std::map<std::string, State> changed_;
    std::set<std::string> noticed_;
    std::vector<std::string> notices_;
    unsigned passes_ = 0;
};

} // namespace kelvane::linux_port
