#pragma once
// The processes of the last /proc listing that the port keeps a pidfd for, each with what never
// changes while it runs: its start time, its kind and its executable. Known processes are never
// opened again: a handle to one borrows the kept pidfd. Every kept pidfd is watched by one epoll
// set, so a single epoll_wait per listing tells which processes have ended, whatever their number
// (plain poll() over all of them where epoll is missing). A kept pidfd is closed once its process
// has ended and no handle borrows it any more. Where descriptors run short (a budget below RLIMIT_NOFILE),
// the rest are simply not kept and are opened per operation as before.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <poll.h>
#include <sys/types.h>

namespace kelvane::linux_port {

enum class ProcessKind { User, KernelThread, Kthreadd, Gone };

struct KnownProcess {
    int fd = -1;
    std::uint64_t startTime = 0; // clock ticks after boot
    ProcessKind kind = ProcessKind::Gone;
    // The executable as first read, or the error its link gave (another user's process).
    std::string exe;
    int exeError = 0;
};

class KnownProcesses {
public:
    KnownProcesses();
    ~KnownProcesses();
    KnownProcesses(const KnownProcesses&) = delete;
    KnownProcesses& operator=(const KnownProcesses&) = delete;

    // How many pidfds may be kept at most.
    void SetBudget(std::size_t budget) { budget_ = budget; }
    std::size_t budget() const { return budget_; }

    // Drops the processes whose pidfd shows them ended (a PID that left the listing was reaped, so
    // its pidfd shows that too). False when the wait failed (nothing was dropped then).
    bool DropEnded();
    // Passes every listed PID not known yet to `learn`, which fills in a KnownProcess and returns
    // false when the process is not to be kept (gone, ended already, or not openable). While the
    // budget is spent, new PIDs are not learnt.
    void Learn(const std::vector<int>& listing, const std::function<bool(pid_t, KnownProcess&)>& learn);

    // Whether the kept pidfd `fd` of `pid` shows its process ended, from one epoll_wait over the
    // whole set: about half the cost of polling the one fd, while (as nearly always) none has
    // ended. Empty where the set cannot tell: the fd is not the PID's kept one, there is no epoll,
    // or more processes have ended than one wait returns.
    std::optional<bool> HasEnded(pid_t pid, int fd);
    // The kept entry of a PID, or null.
    const KnownProcess* Find(pid_t pid) const;
    KnownProcess* Find(pid_t pid);
    // Drops the entry (its process has ended); its pidfd is closed when no handle borrows it.
    void Forget(pid_t pid);

    // A handle takes the kept pidfd; Release returns true when the fd was a borrowed one (the
    // caller must then not close it) and closes it if it was the last borrower of a dropped entry.
    void Borrow(int fd) { ++borrowed_[fd]; }
    bool Release(int fd);

    std::size_t size() const { return entries_.size(); }

private:
    void Retire(int fd);
    bool DropEndedByPoll();

    std::unordered_map<pid_t, KnownProcess> entries_;
    std::unordered_map<int, int> borrowed_; // fd -> handles borrowing it
    std::vector<int> retired_;              // fds of dropped entries still borrowed
    std::size_t budget_ = 0;
    int epoll_ = -1; // watches every kept pidfd; -1 where epoll is missing
    // Buffers reused by every refresh.
    std::vector<pollfd> polls_;
    std::vector<pid_t> pollPids_;
};

} // namespace kelvane::linux_port
