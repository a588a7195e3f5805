#include "platform/linux/SchedClass.h"

#include "engine/ProcessApi.h"

#include <cerrno>
#include <sched.h>
#include <sys/resource.h>

namespace kelvane::linux_port {

namespace {

int PolicyOf(pid_t tid) {
    const int policy = ::sched_getscheduler(tid);
    return policy < 0 ? policy : (policy & ~SCHED_RESET_ON_FORK);
}

std::optional<int> NiceOf(pid_t tid) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
    if (nice == -1 && errno != 0)
        return std::nullopt;
    return nice;
}

} // namespace

bool IsRealTimePolicy(int policy) { return policy == SCHED_FIFO || policy == SCHED_RR; }

std::uint32_t ClassOfSched(int policy, int nice) {
    if (IsRealTimePolicy(policy))
        return REALTIME_PRIORITY_CLASS;
    if (policy == SCHED_IDLE || nice >= 15)
        return IDLE_PRIORITY_CLASS;
    if (nice >= 5)
        return BELOW_NORMAL_PRIORITY_CLASS;
    if (nice >= -2)
        return NORMAL_PRIORITY_CLASS;
    if (nice >= -7)
        return ABOVE_NORMAL_PRIORITY_CLASS;
    return HIGH_PRIORITY_CLASS;
}

int NiceOfClass(std::uint32_t priorityClass) {
    switch (priorityClass) {
    case IDLE_PRIORITY_CLASS:
        return 19;
    case BELOW_NORMAL_PRIORITY_CLASS:
        return 10;
    case ABOVE_NORMAL_PRIORITY_CLASS:
        return -5;
    case HIGH_PRIORITY_CLASS:
        return -10;
    default:
        return 0;
    }
}

std::optional<ThreadSched> ReadThreadSched(pid_t tid) {
    ThreadSched sched;
    sched.policy = PolicyOf(tid);
    if (sched.policy < 0)
        return std::nullopt;
    if (IsRealTimePolicy(sched.policy)) {
        sched_param param{};
        if (::sched_getparam(tid, &param) != 0)
            return std::nullopt;
        sched.rtPriority = param.sched_priority;
    }
    const std::optional<int> nice = NiceOf(tid);
    if (!nice)
        return std::nullopt;
    sched.nice = *nice;
    return sched;
}

std::optional<std::uint32_t> ReadThreadClass(pid_t tid) {
    const int policy = PolicyOf(tid);
    if (policy < 0)
        return std::nullopt;
    if (IsRealTimePolicy(policy) || policy == SCHED_IDLE)
        return ClassOfSched(policy, 0);
    const std::optional<int> nice = NiceOf(tid);
    if (!nice)
        return std::nullopt;
    return ClassOfSched(policy, *nice);
}

bool ApplyThreadSched(pid_t tid, const ThreadSched& sched) {
    const int current = PolicyOf(tid);
    if (current < 0)
        return false;
    if (current != sched.policy || IsRealTimePolicy(sched.policy)) {
        sched_param param{};
        param.sched_priority = IsRealTimePolicy(sched.policy) ? sched.rtPriority : 0;
        if (::sched_setscheduler(tid, sched.policy, &param) != 0)
            return false;
    }
    if (!IsRealTimePolicy(sched.policy) &&
        ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), sched.nice) != 0)
        return false;
    return true;
}

} // namespace kelvane::linux_port
