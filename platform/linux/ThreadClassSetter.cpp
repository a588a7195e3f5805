#include "platform/linux/ThreadClassSetter.h"

#include "engine/ProcessApi.h"
#include "platform/linux/ProcFs.h"

#include <algorithm>
#include <cerrno>
#include <sched.h>

namespace kelvane::linux_port {

const SchedMemory::Process* SchedMemory::Find(Key key) const {
    const auto it = processes_.find(key);
    return it == processes_.end() ? nullptr : &it->second;
}

std::optional<ThreadSched> SchedMemory::Leader(Key key) const {
    const Process* process = Find(key);
    if (process == nullptr)
        return std::nullopt;
    const auto it = process->threads.find(key.first);
    if (it == process->threads.end())
        return std::nullopt;
    return it->second;
}

void SchedMemory::RememberFirstSight(Key key, const std::string& taskDir) {
    if (processes_.contains(key))
        return;
    Process& process = processes_[key];
    std::vector<int> tids;
    if (!ListNumericEntries(taskDir, tids))
        tids = {key.first};
    for (const int tid : tids)
        if (const std::optional<ThreadSched> sched = ReadThreadSched(static_cast<pid_t>(tid)))
            process.threads.emplace(static_cast<pid_t>(tid), *sched);
}

void SchedMemory::Prune(const std::function<bool(Key)>& alive) {
    if (processes_.size() < pruneAt_)
        return;
    std::erase_if(processes_, [&alive](const auto& entry) { return !alive(entry.first); });
    pruneAt_ = std::max<std::size_t>(64, processes_.size() * 2);
}

int ForEachThread(const std::string& taskDir, const std::function<int(pid_t)>& apply, std::vector<int>* seen) {
    std::vector<int> done;
    std::vector<int> listed;
    int firstError = 0;
    for (int pass = 0; pass < 2; ++pass) {
        if (!ListNumericEntries(taskDir, listed))
            return firstError != 0 ? firstError : (errno == ENOENT ? ESRCH : errno);
        for (const int tid : listed) {
            if (std::binary_search(done.begin(), done.end(), tid))
                continue;
            const int error = apply(static_cast<pid_t>(tid));
            if (error != 0 && error != ESRCH && firstError == 0)
                firstError = error;
        }
        std::vector<int> merged;
        std::set_union(done.begin(), done.end(), listed.begin(), listed.end(), std::back_inserter(merged));
        done.swap(merged);
    }
    if (seen != nullptr)
        *seen = std::move(listed);
    return firstError;
}

int SetProcessClass(const std::string& taskDir, pid_t pid, std::uint64_t startTime, std::uint32_t priorityClass,
                    SchedMemory& memory) {
    const std::optional<ThreadSched> leaderNow = ReadThreadSched(pid);
    if (!leaderNow)
        return errno;
    SchedMemory::Process& process = memory.Get({pid, startTime});
    if (!process.threads.contains(pid) && !process.changed)
        process.threads.emplace(pid, *leaderNow);
    std::optional<ThreadSched> leaderFirst;
    if (const auto it = process.threads.find(pid); it != process.threads.end())
        leaderFirst = it->second;
    const bool restoreExact = leaderFirst && ClassOfSched(leaderFirst->policy, leaderFirst->nice) == priorityClass;
    const bool settingRealTime = priorityClass == REALTIME_PRIORITY_CLASS;
    const bool leavingRealTime = IsRealTimePolicy(leaderNow->policy) && !settingRealTime;

    auto applyOne = [&](pid_t tid) -> int {
        const std::optional<ThreadSched> current = ReadThreadSched(tid);
        if (!current)
            return errno;
        auto known = process.threads.find(tid);
        if (known == process.threads.end() && !process.changed)
            known = process.threads.emplace(tid, *current).first;

        ThreadSched wanted;
        if (restoreExact) {
            wanted = known != process.threads.end() ? known->second : *leaderFirst;
        } else if (settingRealTime) {
            if (IsRealTimePolicy(current->policy))
                return 0;
            wanted = {SCHED_RR, 1, current->nice};
        } else {
            if (IsRealTimePolicy(current->policy) && !leavingRealTime)
                return 0;
            wanted = {current->policy == SCHED_BATCH ? SCHED_BATCH : SCHED_OTHER, 0, NiceOfClass(priorityClass)};
        }
        if (wanted == *current)
            return 0;
        return ApplyThreadSched(tid, wanted) ? 0 : errno;
    };

    std::vector<int> live;
    const int error = ForEachThread(taskDir, applyOne, &live);
    // Forget threads that have ended, so a long-lived process does not grow the memory.
    std::erase_if(process.threads, [&live](const auto& entry) {
        return !std::binary_search(live.begin(), live.end(), static_cast<int>(entry.first));
    });
    process.changed = !restoreExact;
    return error;
}

} // namespace kelvane::linux_port
