#include "platform/linux/GroupScheduler.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace kelvane::linux_port {

namespace {
constexpr int kNormalIndex = 2;
}

GroupScheduler::GroupScheduler(GroupDetector detector) : detector_(std::move(detector)) {}

std::string GroupScheduler::Key(const SchedGroup& group) {
    return std::to_string(static_cast<int>(group.kind)) + ':' + group.id;
}

void GroupScheduler::RecordIntent(pid_t pid, int classIndex, int nice) { intents_[pid] = {classIndex, nice}; }

void GroupScheduler::Notice(const SchedGroup& group, int error) {
    if (!noticed_.insert(Key(group)).second)
        return;
    notices_.push_back("cannot change the CPU share of " + group.id + " (" + group.control +
                       "): " + std::strerror(error) + "; the priority class applies within that group only");
}

std::vector<std::string> GroupScheduler::TakeNotices() {
    std::vector<std::string> notices;
    notices.swap(notices_);
    return notices;
}

void GroupScheduler::Restore(State& state) {
    state.restorePending = !detector_.WriteValue(state.group, state.original);
    if (state.restorePending && errno != EAGAIN) {
        Notice(state.group, errno);
        state.restorePending = false; // nothing more to be done for it
    }
}

void GroupScheduler::Apply(const SchedGroup& group, pid_t via, std::optional<int> value) {
    const std::string key = Key(group);
    auto it = changed_.find(key);
    if (!value) { // back to the original
        if (it != changed_.end()) {
            Restore(it->second);
            if (!it->second.restorePending)
                changed_.erase(it);
        }
        return;
    }
    if (it == changed_.end()) {
        const std::optional<int> original = detector_.ReadValue(group);
        if (!original) {
            Notice(group, errno != 0 ? errno : EIO);
            return;
        }
        it = changed_.emplace(key, State{group, *original, *original, via, false}).first;
    }
    State& state = it->second;
    state.via = via;
    state.restorePending = false;
    if (state.current == *value)
        return;
    if (detector_.WriteValue(group, *value)) {
        state.current = *value;
    } else if (errno != EAGAIN) { // EAGAIN: rate limited, the next pass tries again
        Notice(group, errno);
        if (state.current == state.original)
            changed_.erase(it);
    }
}

void GroupScheduler::ForgetEnded() {
    for (auto it = changed_.begin(); it != changed_.end();) {
        State& state = it->second;
        const bool ended = ::kill(state.via, 0) != 0 && errno == ESRCH;
        if (!ended && !state.restorePending) {
            ++it;
            continue;
        }
        // A cgroup outlives the process: give it its value back. An autogroup can only be reached
        // through a member, and the one Kelvane knew has ended.
        if (state.group.kind != GroupKind::Autogroup || !ended)
            Restore(state);
        if (state.restorePending && !ended)
            ++it;
        else
            it = changed_.erase(it);
    }
}

void GroupScheduler::EndOfPass(const std::vector<pid_t>& usedCpu, const std::vector<pid_t>& protectedPids) {
    if (++passes_ % 20 == 0)
        ForgetEnded();
    if (intents_.empty())
        return;

    // The intents of this pass by group.
    std::map<std::string, std::pair<SchedGroup, std::vector<std::pair<pid_t, Intent>>>> byGroup;
    for (const auto& [pid, intent] : intents_) {
        const SchedGroup group = detector_.GroupOf(pid);
        if (group.kind == GroupKind::None)
            continue;
        auto& entry = byGroup[Key(group)];
        entry.first = group;
        entry.second.emplace_back(pid, intent);
    }
    intents_.clear();
    if (byGroup.empty())
        return;
    std::set<std::string> protectedGroups;
    for (const pid_t pid : protectedPids)
        if (pid > 0)
            protectedGroups.insert(Key(detector_.GroupOf(pid)));
    std::map<std::string, std::vector<pid_t>> active;
    for (const pid_t pid : usedCpu) {
        const std::string key = Key(detector_.GroupOf(pid));
        if (byGroup.count(key) != 0)
            active[key].push_back(pid);
    }

    for (const auto& [key, entry] : byGroup) {
        const auto& [group, intents] = entry;
        if (protectedGroups.count(key) != 0) {
            Apply(group, 0, std::nullopt);
            continue;
        }
        const std::vector<pid_t>& members = active[key];
        auto intentOf = [&intents](pid_t pid) -> const Intent* {
            for (const auto& [p, intent] : intents)
                if (p == pid)
                    return &intent;
            return nullptr;
        };
        // The strongest raise, else the mildest lowering, of this pass.
        const auto raise = std::max_element(intents.begin(), intents.end(), [](const auto& a, const auto& b) {
            return a.second.classIndex < b.second.classIndex;
        });
        const auto lower = std::max_element(intents.begin(), intents.end(), [](const auto& a, const auto& b) {
            const bool aLowers = a.second.classIndex < kNormalIndex;
            const bool bLowers = b.second.classIndex < kNormalIndex;
            return aLowers != bLowers ? !aLowers : a.second.classIndex < b.second.classIndex;
        });
        std::optional<int> value;
        if (raise->second.classIndex > kNormalIndex) {
            const pid_t raised = raise->first;
            if (std::all_of(members.begin(), members.end(), [raised](pid_t p) { return p == raised; }))
                value = GroupValueOfNice(group.kind, raise->second.nice);
        } else if (lower->second.classIndex < kNormalIndex) {
            const bool allLowered = std::all_of(members.begin(), members.end(), [&intentOf](pid_t p) {
                const Intent* intent = intentOf(p);
                return intent != nullptr && intent->classIndex < kNormalIndex;
            });
            if (allLowered)
                value = GroupValueOfNice(group.kind, lower->second.nice);
        }
        Apply(group, (value ? (raise->second.classIndex > kNormalIndex ? raise->first : lower->first) : 0), value);
    }
}

void GroupScheduler::RestoreAll() {
    for (auto& [key, state] : changed_) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            Restore(state);
            if (!state.restorePending)
                break;
            ::usleep(110000); // unprivileged autogroup writes: one per ~100 ms system-wide
        }
    }
    changed_.clear();
}

} // namespace kelvane::linux_port
