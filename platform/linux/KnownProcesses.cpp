#include "platform/linux/KnownProcesses.h"

#include <algorithm>
#include <cerrno>
#include <sys/epoll.h>
#include <unistd.h>

namespace kelvane::linux_port {

namespace {

// An epoll event's data: the PID and the fd, so that an event of a dropped entry is told apart.
std::uint64_t EventData(pid_t pid, int fd) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(pid)) << 32) |
           static_cast<std::uint32_t>(fd);
}

} // namespace

KnownProcesses::KnownProcesses() : epoll_(::epoll_create1(EPOLL_CLOEXEC)) {}

KnownProcesses::~KnownProcesses() {
    if (epoll_ >= 0)
        ::close(epoll_);
    for (const auto& [pid, entry] : entries_)
        if (entry.fd >= 0)
            ::close(entry.fd);
    for (const int fd : retired_)
        ::close(fd);
}

bool KnownProcesses::DropEnded() {
    if (epoll_ < 0)
        return DropEndedByPoll();
    // A pidfd turns readable once its whole process has exited; the set reports only those.
    epoll_event events[64];
    for (;;) {
        int n = 0;
        do {
            n = ::epoll_wait(epoll_, events, 64, 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return false;
        for (int i = 0; i < n; ++i) {
            const auto pid = static_cast<pid_t>(events[i].data.u64 >> 32);
            const auto fd = static_cast<int>(events[i].data.u64 & 0xFFFFFFFFU);
            const KnownProcess* entry = Find(pid);
            if (entry != nullptr && entry->fd == fd)
                Forget(pid);
        }
        if (n < 64)
            return true;
    }
}

std::optional<bool> KnownProcesses::HasEnded(pid_t pid, int fd) {
    const KnownProcess* entry = Find(pid);
    if (epoll_ < 0 || entry == nullptr || entry->fd != fd)
        return std::nullopt;
    // The set is level-triggered: an ended process stays ready until the listing drops it.
    epoll_event events[64];
    int n = 0;
    do {
        n = ::epoll_wait(epoll_, events, 64, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return std::nullopt;
    const std::uint64_t mine = EventData(pid, fd);
    for (int i = 0; i < n; ++i)
        if (events[i].data.u64 == mine)
            return true;
    if (n == 64)
        return std::nullopt; // it may be among those not returned
    return false;
}

bool KnownProcesses::DropEndedByPoll() {
    // One poll over every kept pidfd.
    polls_.clear();
    pollPids_.clear();
    for (const auto& [pid, entry] : entries_) {
        polls_.push_back({entry.fd, POLLIN, 0});
        pollPids_.push_back(pid);
    }
    if (!polls_.empty()) {
        int n = 0;
        do {
            n = ::poll(polls_.data(), polls_.size(), 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return false;
        for (std::size_t i = 0; n > 0 && i < polls_.size(); ++i) {
            if (polls_[i].revents == 0)
                continue;
            --n;
            Forget(pollPids_[i]);
        }
    }
    return true;
}

void KnownProcesses::Learn(const std::vector<int>& listing,
                           const std::function<bool(pid_t, KnownProcess&)>& learn) {
    for (const int item : listing) {
        const auto pid = static_cast<pid_t>(item);
        if (entries_.size() >= budget_)
            break;
        if (entries_.count(pid) != 0)
            continue;
        KnownProcess entry;
        if (!learn(pid, entry) || entry.fd < 0)
            continue;
        if (epoll_ >= 0) {
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.u64 = EventData(pid, entry.fd);
            if (::epoll_ctl(epoll_, EPOLL_CTL_ADD, entry.fd, &event) != 0) {
                ::close(entry.fd); // not watched, so not kept: it is opened per operation instead
                continue;
            }
        }
        entries_.emplace(pid, std::move(entry));
    }
}

const KnownProcess* KnownProcesses::Find(pid_t pid) const {
    const auto it = entries_.find(pid);
    return it == entries_.end() ? nullptr : &it->second;
}

KnownProcess* KnownProcesses::Find(pid_t pid) {
    const auto it = entries_.find(pid);
    return it == entries_.end() ? nullptr : &it->second;
}

void KnownProcesses::Forget(pid_t pid) {
    const auto it = entries_.find(pid);
    if (it == entries_.end())
        return;
    Retire(it->second.fd);
    entries_.erase(it);
}

void KnownProcesses::Retire(int fd) {
    if (epoll_ >= 0)
        ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr); // a borrowed fd stays open, and ready
    if (borrowed_.count(fd) != 0)
        retired_.push_back(fd); // closed by the last handle's release
    else
        ::close(fd);
}

bool KnownProcesses::Release(int fd) {
    const auto it = borrowed_.find(fd);
    if (it == borrowed_.end())
        return false;
    if (--it->second == 0) {
        borrowed_.erase(it);
        const auto retired = std::find(retired_.begin(), retired_.end(), fd);
        if (retired != retired_.end()) {
            retired_.erase(retired);
            ::close(fd);
        }
    }
    return true;
}

} // namespace kelvane::linux_port
