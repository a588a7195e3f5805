#pragma once
// The process-access port: every operating-system call that the process monitor and the optimizer
// make goes through this interface. The engine is written against the Windows semantics of these
// operations (names, access masks, class codes, 100-ns CPU times); each platform maps them onto its
// own calls (platform/linux), and platform/fake provides an in-memory world for tests.
//
// Conventions for every operation below:
// - Operations are called from one thread only (the GUI thread); a port need not be thread-safe.
// - A failing operation returns false / 0 / an empty value and leaves an error code that
//   GetLastError() returns until the next failing operation; SysErrorMessage() turns it into the
//   system's text. Nothing here throws.
// - "Without permission" means the open with the needed access right failed, or the handle was
//   opened without that right: the operation then fails with an access-denied error.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kelvane {

using Pid = std::uint32_t;
// CPU times: signed 64-bit counts of 100-nanosecond ticks. One millisecond is 10000 ticks.
using CpuTicks = std::int64_t;
constexpr CpuTicks kTicksPerMillisecond = 10000;

// Access rights, combined into the five masks below.
enum AccessRight : std::uint32_t {
    PROCESS_TERMINATE = 1,
    PROCESS_VM_READ = 16,
    PROCESS_SET_INFORMATION = 512,
    PROCESS_QUERY_INFORMATION = 1024,
};

// The only five combinations that Kelvane uses.
namespace AccessMask {
// Times, class and affinity in the display refresh, the clean-up and the affinity display.
constexpr std::uint32_t Query = PROCESS_QUERY_INFORMATION;                                    // 1024
// The full scan (reads the executable's path).
constexpr std::uint32_t Scan = PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;                   // 1040
// The optimization cycle, the restore of all priorities, setting a class.
constexpr std::uint32_t Optimize = PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION | PROCESS_VM_READ; // 1552
// Setting the affinity.
constexpr std::uint32_t SetAffinity = PROCESS_QUERY_INFORMATION | PROCESS_SET_INFORMATION;    // 1536
// Terminating a process.
constexpr std::uint32_t Terminate = PROCESS_TERMINATE | PROCESS_QUERY_INFORMATION;            // 1025
} // namespace AccessMask

// Exit code that GetExitCodeProcess reports for a process that is still running.
constexpr std::uint32_t STILL_ACTIVE = 259;

// Priority class codes (their order, indexes and texts are in engine/PriorityClass.h).
enum PriorityClassCode : std::uint16_t {
    IDLE_PRIORITY_CLASS = 64,
    BELOW_NORMAL_PRIORITY_CLASS = 16384,
    NORMAL_PRIORITY_CLASS = 32,
    ABOVE_NORMAL_PRIORITY_CLASS = 32768,
    HIGH_PRIORITY_CLASS = 128,
    REALTIME_PRIORITY_CLASS = 256,
};

// Error codes that ports report for conditions of their own (otherwise the platform's errno values).
namespace PortError {
constexpr int AccessDenied = 13;  // EACCES: the handle lacks the right, or the open was refused
constexpr int NoSuchProcess = 3;  // ESRCH: the process has exited (or never existed)
constexpr int InvalidArgument = 22; // EINVAL: a class code or mask that the operation refuses
constexpr int NotBound = 38;      // ENOSYS: an enumeration entry that is not bound
constexpr int NotPermitted = 1;   // EPERM: an operation Kelvane refuses itself (ending its own process)
} // namespace PortError

class ProcessApi;

// An open process. Move-only; closed (CloseHandle) when it goes out of scope, so a handle never
// outlives the operation that opened it unless the caller keeps it on purpose.
// A default-constructed or failed handle is "0": operator bool is false.
class ProcessHandle {
public:
    ProcessHandle() = default;
    ProcessHandle(ProcessApi* api, Pid pid, std::uint32_t access, int fd, std::uint64_t identity)
        : api_(api), pid_(pid), access_(access), fd_(fd), identity_(identity) {}
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    ProcessHandle(ProcessHandle&& other) noexcept { swap(other); }
    ProcessHandle& operator=(ProcessHandle&& other) noexcept {
        if (this != &other) {
            reset();
            swap(other);
        }
        return *this;
    }
    ~ProcessHandle() { reset(); }

    explicit operator bool() const { return api_ != nullptr; }
    Pid pid() const { return pid_; }
    std::uint32_t access() const { return access_; }
    bool has(std::uint32_t rights) const { return (access_ & rights) == rights; }
    // Port-specific: a file descriptor (Linux pidfd) or -1.
    int fd() const { return fd_; }
    // Port-specific identity of the process, e.g. its start time, so a reused PID is never taken
    // for the process that was opened.
    std::uint64_t identity() const { return identity_; }

    // Closes the handle now (CloseHandle); the handle becomes 0.
    void reset();

private:
    void swap(ProcessHandle& other) noexcept {
        std::swap(api_, other.api_);
        std::swap(pid_, other.pid_);
        std::swap(access_, other.access_);
        std::swap(fd_, other.fd_);
        std::swap(identity_, other.identity_);
    }

    ProcessApi* api_ = nullptr;
    Pid pid_ = 0;
    std::uint32_t access_ = 0;
    int fd_ = -1;
    std::uint64_t identity_ = 0;
};

// The four times of a process, each a 100-ns count. The engine only ever uses KernelTime + UserTime.
struct ProcessTimes {
    CpuTicks CreationTime = 0; // since the platform's epoch (Linux: since boot)
    CpuTicks ExitTime = 0;     // 0 while running
    CpuTicks KernelTime = 0;
    CpuTicks UserTime = 0;
    CpuTicks Total() const { return KernelTime + UserTime; }
};

// The first module of a process: its executable. Opaque to the engine.
using ModuleHandle = std::uint64_t;

// The memory counters of a process, in the names of the Windows process memory counters. Byte
// counts are unsigned 64-bit; each port says in its GetProcessMemoryInfo what stands for each one.
struct ProcessMemoryCounters {
    std::uint64_t PageFaultCount = 0;
    std::uint64_t PeakWorkingSetSize = 0;
    std::uint64_t WorkingSetSize = 0;
    std::uint64_t QuotaPeakPagedPoolUsage = 0;
    std::uint64_t QuotaPagedPoolUsage = 0;
    std::uint64_t QuotaPeakNonPagedPoolUsage = 0;
    std::uint64_t QuotaNonPagedPoolUsage = 0;
    std::uint64_t PagefileUsage = 0;
    std::uint64_t PeakPagefileUsage = 0;
};

// One module (a file mapped into a process): its full path, the address of its first byte in the
// process and the number of bytes from there to the end of its last mapping.
struct ModuleEntry {
    QString path;
    std::uint64_t base = 0;
    std::uint64_t size = 0;
};

class ProcessApi {
public:
    virtual ~ProcessApi() = default;

    // ---- Processes ------------------------------------------------------------------------------

    // Opens process `pid` with the rights of `access` (any combination of AccessRight). The open
    // fails (handle 0) when the process does not exist or when any right of the mask is not
    // Kelvane's; it never succeeds partially. The handle denotes this very process: once it has
    // exited, operations on the handle fail even if the PID is reused.
    virtual ProcessHandle OpenProcess(std::uint32_t access, Pid pid) = 0;

    // Kelvane's own process, with every right.
    virtual ProcessHandle GetCurrentProcess() = 0;

    // Releases what the handle holds. Called by ProcessHandle; never fails.
    virtual void CloseHandle(ProcessHandle& handle) = 0;

    // The running test: exitCode is STILL_ACTIVE (259) while the process runs (a zombie counts as
    // exited), otherwise the exit status as far as the platform can tell (never 259). Needs
    // PROCESS_QUERY_INFORMATION. Returns false when the code cannot be read.
    virtual bool GetExitCodeProcess(const ProcessHandle& handle, std::uint32_t& exitCode) = 0;

    // The priority class code of the process (one of PriorityClassCode). 0 on failure, including
    // a process that has exited. Needs PROCESS_QUERY_INFORMATION.
    virtual std::uint32_t GetPriorityClass(const ProcessHandle& handle) = 0;

    // Puts the process into class `priorityClass` (one of PriorityClassCode; any other code fails
    // with InvalidArgument). Needs PROCESS_SET_INFORMATION. True on success. A port may apply the
    // class to each thread; a failure on some thread makes the call fail with that thread's error.
    virtual bool SetPriorityClass(const ProcessHandle& handle, std::uint32_t priorityClass) = 0;

    // Kernel and user time, in 100-ns ticks. Needs PROCESS_QUERY_INFORMATION. On failure returns
    // false and all-zero times.
    virtual bool GetProcessTimes(const ProcessHandle& handle, ProcessTimes& times) = 0;

    // The process's affinity mask (bit i = logical processor i, processors 0 to 63) and the
    // system's mask of existing processors. Needs PROCESS_QUERY_INFORMATION.
    virtual bool GetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t& processMask,
                                        std::uint64_t& systemMask) = 0;

    // Restricts the process to the processors of `mask`. Bits of processors that do not exist are
    // ignored; a mask naming no existing processor fails with InvalidArgument. Needs
    // PROCESS_SET_INFORMATION.
    virtual bool SetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t mask) = 0;

    // Ends the process at once. `exitCode` is what the process should report where the platform
    // can set it (Linux cannot: the process dies of SIGKILL). Needs PROCESS_TERMINATE.
    virtual bool TerminateProcess(const ProcessHandle& handle, std::uint32_t exitCode) = 0;

    // ---- Enumeration (bound by BindEnumeration) -------------------------------------------------

    // Binds the enumeration entries (EnumProcesses, EnumProcessModules, GetModuleFileNameExW).
    // False when they cannot be bound; the entries then fail with NotBound.
    virtual bool BindEnumeration() = 0;
    virtual void ReleaseEnumeration() = 0;
    virtual bool EnumerationBound() const = 0;

    // The PIDs of the running processes, in the platform's order (Linux: ascending). No cap on the
    // count. Kernel threads other than the one that stands for the kernel are left out.
    virtual bool EnumProcesses(std::vector<Pid>& pids) = 0;

    // The identity (as ProcessHandle::identity gives it) of the process that the last
    // EnumProcesses listed under `pid`, where the port knows it without opening the process; 0
    // otherwise. A pass uses it to leave alone the processes it has nothing to do with while they
    // are the processes it knows.
    virtual std::uint64_t ListedIdentity(Pid /*pid*/) { return 0; }

    // The first module of the process (its executable). Needs PROCESS_QUERY_INFORMATION and
    // PROCESS_VM_READ.
    virtual bool EnumProcessModules(const ProcessHandle& handle, ModuleHandle& firstModule) = 0;

    // The full path of the module's file (module 0 or the first module = the executable). Not cut
    // to any length. Needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ. Empty on failure.
    virtual QString GetModuleFileNameExW(const ProcessHandle& handle, ModuleHandle module) = 0;

    // ---- Process details (the process information window) --------------------------------------
    // Ports that do not provide these fail with NotBound.

    // Every module of the process, in ascending order of base address, one entry per file (the
    // executable, shared libraries, other mapped files; anonymous memory and the kernel's own
    // mappings are not modules). Needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ. False, with
    // `modules` empty, on failure, including a process that has exited.
    virtual bool EnumProcessModuleList(const ProcessHandle& /*handle*/, std::vector<ModuleEntry>& modules) {
        modules.clear();
        SetLastError(PortError::NotBound);
        return false;
    }

    // The memory counters of the process. Needs PROCESS_QUERY_INFORMATION and PROCESS_VM_READ.
    // False on failure (including a process that has exited); `counters` is then unspecified.
    virtual bool GetProcessMemoryInfo(const ProcessHandle& /*handle*/, ProcessMemoryCounters& /*counters*/) {
        SetLastError(PortError::NotBound);
        return false;
    }

    // The number of threads of the process with this PID, as the system's process list shows it
    // now; no open is needed, so it works for processes that cannot be opened. PID 0, the idle
    // process, has one thread per online processor. False when no process has the PID or it has
    // ended (a zombie counts as ended); `threads` is then unchanged.
    virtual bool GetProcessThreadCount(Pid /*pid*/, std::uint32_t& /*threads*/) {
        SetLastError(PortError::NotBound);
        return false;
    }

    // The account the process runs as, written "account (domain)"; on Linux the domain is the
    // host name and the account the user name of the real user ID (the number when the user has
    // no name). Needs PROCESS_QUERY_INFORMATION. False on failure, including a process that has
    // exited; `user` is then unchanged.
    virtual bool GetProcessUserName(const ProcessHandle& /*handle*/, QString& /*user*/) {
        SetLastError(PortError::NotBound);
        return false;
    }

    // ---- Privileges -----------------------------------------------------------------------------

    // The identifier of a privilege by its name ("SeIncreaseBasePriorityPrivilege", ...); empty
    // when the platform has no such privilege.
    virtual std::optional<int> LookupPrivilegeValue(const QString& name) = 0;
    // Enables or disables one privilege for Kelvane's own process. True on success.
    virtual bool AdjustPrivilege(int privilege, bool enable) = 0;

    // ---- The desktop and the machine ------------------------------------------------------------

    // The PID of the process that owns the foreground window; 0 when there is none (no display,
    // no active window, owner unknown).
    virtual Pid GetForegroundProcessId() = 0;

    // The number of logical processors that are online (at least 1).
    virtual int GetNumberOfProcessors() = 0;

    // The highest PID the platform can give plus one (Linux: /proc/sys/kernel/pid_max).
    virtual Pid PidLimit() = 0;

    // The PID that stands for the system (kernel) process, 0 when there is none to be seen (Linux:
    // kthreadd, PID 2; none inside a private PID namespace).
    virtual Pid SystemPid() = 0;

    // A monotonic high-resolution counter and its ticks per second.
    virtual std::int64_t QueryPerformanceCounter() = 0;
    virtual std::int64_t QueryPerformanceFrequency() = 0;

    // Suspends the calling thread for `milliseconds`.
    virtual void Sleep(std::uint32_t milliseconds) = 0;

    // ---- Scheduling groups ----------------------------------------------------------------------
    // Where the share of the CPU is decided by groups of processes (Linux: autogroups, cpu
    // cgroups), a class change must reach the group too. The optimization cycle calls EndOfPass
    // after every pass with the processes that used CPU in the last cycle and a way to ask for the
    // foreground process, which the port calls only when it has group changes to apply (the
    // question may cost a round trip to the display). RestoreGroups returns every
    // group it changed to its original value (exit). TakeNotices gives the limitations met since
    // the last call (a group Kelvane may not change), each once. Ports without groups do nothing.
    virtual void EndOfPass(const std::vector<Pid>& /*usedCpu*/, const std::function<Pid()>& /*foreground*/) {}
    virtual void RestoreGroups() {}
    // Whether classes were set in this pass, so that EndOfPass will judge group changes by usedCpu.
    virtual bool GroupsPending() const { return false; }
    virtual QStringList TakeNotices() { return {}; }

    // ---- Programs -------------------------------------------------------------------------------
    // Where the program a process runs is not its executable (a script and its interpreter, a
    // Windows program and its loader), GetModuleFileNameExW names the program. TakeHostedPrograms
    // gives, once for each such executable, the first program it was seen running since the last
    // call: a profile made for the executable no longer reaches these programs.
    struct HostedProgram {
        QString executable;
        QString program;
    };
    virtual std::vector<HostedProgram> TakeHostedPrograms() { return {}; }

    // ---- Errors ---------------------------------------------------------------------------------

    // The error code left by the last failing operation (0 when none failed yet).
    virtual int GetLastError() const = 0;
    // Leaves `error` as the last error, for a refusal decided above the port.
    virtual void SetLastError(int error) = 0;
    // The system's text for an error code, e.g. "Operation not permitted".
    virtual QString SysErrorMessage(int error) const = 0;
    QString LastErrorText() const { return SysErrorMessage(GetLastError()); }
};

inline void ProcessHandle::reset() {
    if (api_ != nullptr) {
        ProcessApi* api = api_;
        api->CloseHandle(*this);
        api_ = nullptr;
        fd_ = -1;
    }
}

} // namespace kelvane
