#pragma once
// The process-access port on Linux: pidfd handles, /proc, per-thread nice values, policies and
// affinities, capabilities, and the foreground window of the desktop session.

#include <memory>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/ProcessApi.h"
#include "platform/linux/KnownProcesses.h"
#include "platform/linux/ThreadClassSetter.h"

namespace kelvane::linux_port {
class GroupScheduler;
class ForegroundTracker;
}

namespace kelvane {

class LinuxProcessApi final : public ProcessApi {
public:
    // `procRoot` is "/proc" on a live system; tests may give a tree of sample files for the
    // enumeration and path reads (the calls that act on processes always act on live ones).
    explicit LinuxProcessApi(std::string procRoot = "/proc");
    ~LinuxProcessApi() override;

    ProcessHandle OpenProcess(std::uint32_t access, Pid pid) override;
    ProcessHandle GetCurrentProcess() override;
    void CloseHandle(ProcessHandle& handle) override;
    bool GetExitCodeProcess(const ProcessHandle& handle, std::uint32_t& exitCode) override;
    std::uint32_t GetPriorityClass(const ProcessHandle& handle) override;
    bool SetPriorityClass(const ProcessHandle& handle, std::uint32_t priorityClass) override;
    bool GetProcessTimes(const ProcessHandle& handle, ProcessTimes& times) override;
    bool GetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t& processMask,
                                std::uint64_t& systemMask) override;
    bool SetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t mask) override;
    bool TerminateProcess(const ProcessHandle& handle, std::uint32_t exitCode) override;

    bool BindEnumeration() override;
    void ReleaseEnumeration() override { bound_ = false; }
    bool EnumerationBound() const override { return bound_; }
    bool EnumProcesses(std::vector<Pid>& pids) override;
    std::uint64_t ListedIdentity(Pid pid) override;
    bool EnumProcessModules(const ProcessHandle& handle, ModuleHandle& firstModule) override;
    QString GetModuleFileNameExW(const ProcessHandle& handle, ModuleHandle module) override;
    // Process details (platform/linux/ProcessDetails.h gives the mapping of each counter).
    bool EnumProcessModuleList(const ProcessHandle& handle, std::vector<ModuleEntry>& modules) override;
    bool GetProcessMemoryInfo(const ProcessHandle& handle, ProcessMemoryCounters& counters) override;
    bool GetProcessThreadCount(Pid pid, std::uint32_t& threads) override;
    bool GetProcessUserName(const ProcessHandle& handle, QString& user) override;

    std::optional<int> LookupPrivilegeValue(const QString& name) override;
    bool AdjustPrivilege(int privilege, bool enable) override;

    Pid GetForegroundProcessId() override;
    int GetNumberOfProcessors() override;
    Pid PidLimit() override;
    Pid SystemPid() override;
    std::int64_t QueryPerformanceCounter() override;
    std::int64_t QueryPerformanceFrequency() override { return 1000000000; }
    void Sleep(std::uint32_t milliseconds) override;

    void EndOfPass(const std::vector<Pid>& usedCpu, const std::function<Pid()>& foreground) override;
    void RestoreGroups() override;
    bool GroupsPending() const override;
    QStringList TakeNotices() override;
    std::vector<HostedProgram> TakeHostedPrograms() override { return std::exchange(hosted_, {}); }

    int GetLastError() const override { return lastError_; }
    void SetLastError(int error) override { lastError_ = error; }
    QString SysErrorMessage(int error) const override;

private:
    std::string ProcPath(Pid pid, const char* entry) const;
    // The handle is usable for `rights` and its process has not exited; sets the error otherwise.
    bool Usable(const ProcessHandle& handle, std::uint32_t rights);
    // Whether the process of a pidfd has exited (a zombie included): through the kept set where
    // the fd is the PID's kept one, by polling the fd otherwise.
    bool Exited(pid_t pid, int pidfd);
    bool Exited(const ProcessHandle& handle);
    // The handle is open and holds `rights`; sets the error otherwise.
    bool Allowed(const ProcessHandle& handle, std::uint32_t rights);
    bool Fail(int error);
    // Runs `read` (0 or an errno) on a handle holding `rights`; true when it succeeded and the
    // process was still running after it, so what it read by PID was this process's own. The one
    // check after the read is enough: a process running then was running all along.
    bool ReadWhileRunning(const ProcessHandle& handle, std::uint32_t rights, const std::function<int()>& read);
    // The start time of the pidfd's process (clock ticks after boot); empty once it has exited.
    std::optional<std::uint64_t> StartTime(Pid pid, int pidfd);
    bool HasOwnMemory(Pid pid, int pidfd, std::uint64_t identity);
    using Kind = linux_port::ProcessKind;
    Kind KindOf(Pid pid) const;
    // Fills in what a kept pidfd's process never changes while it runs; false when it is not kept.
    bool Learn(Pid pid, linux_port::KnownProcess& known);
    // The open of a process whose pidfd is kept: no system call but the checks the rights need.
    ProcessHandle OpenKnown(std::uint32_t access, Pid pid, linux_port::KnownProcess& known);
    // Started within the last seconds: it may still replace its executable (fork, then exec).
    bool IsYoung(std::uint64_t startTime) const;
    // Raises the soft limit on open files towards the hard one and sizes the pidfds kept by it.
    void SizeDescriptorBudget();
    // The last PID given in Kelvane's PID namespace; empty where it cannot tell of new processes.
    std::optional<long> ReadLastPid();
    bool MaySetInformation(const ProcessHandle& handle);
    bool MayTerminate(int pidfd);
    // The checks of the rights to change or end the process that an open asks for.
    bool MayChange(const ProcessHandle& handle);
    // Tells once that other users' processes are left alone.
    void NoteOtherUsers();
    void RefreshCapabilities();
    // Forgets the first-seen scheduling of processes that have ended (cheap: looks only when the
    // memory has doubled).
    void PruneSchedMemory();

    std::string procRoot_;
    // Kelvane's own mount namespace ("mnt:[N]"): a process of another one may be sandboxed.
    std::string ownMountNamespace_;
    // The executables seen running a program of their own, and those not yet taken.
    std::unordered_set<std::string> hosts_;
    std::vector<HostedProgram> hosted_;
    bool bound_ = false;
    int lastError_ = 0;
    std::uint64_t systemMask_ = 1;
    long clockTicks_ = 100;
    unsigned euid_ = 0;
    bool capSysNice_ = false;
    bool capKill_ = false;
    linux_port::SchedMemory schedMemory_;
    // The executable path that the last open with read-memory rights read, for its handle: the
    // cycle asks for it right after, and reading the link twice would cost a quarter of a look.
    struct {
        int fd = -1;
        Pid pid = 0;
        std::uint64_t identity = 0;
        std::string path;
    } exeOfLastOpen_;
    linux_port::KnownProcesses known_;
    // The last listing, kept for as long as no process is made.
    struct {
        std::vector<int> entries;
        std::vector<Pid> pids;
        long lastPid = -1;
        std::size_t unkept = 0; // listed PIDs without a kept pidfd: their end would go unseen
        bool valid = false;
    } listing_;
    bool lastPidTellsNew_ = false;
    int loadavgFd_ = -1; // /proc/loadavg, kept open: read again from its start at every listing
    std::unique_ptr<linux_port::ForegroundTracker> foreground_;
    std::unique_ptr<linux_port::GroupScheduler> groups_;
    QStringList notices_;
    bool otherUsersNoted_ = false; // the refusal of other users' processes is told once
};

} // namespace kelvane
