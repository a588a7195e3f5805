#include "platform/linux/LinuxProcessApi.h"

#include "engine/PriorityClass.h"
#include "platform/linux/Capabilities.h"
#include "platform/linux/GroupScheduler.h"
#include "platform/linux/ProcessDetails.h"
#include "platform/linux/ProcFs.h"
#include "platform/linux/ProgramIdentity.h"
#include "platform/linux/SchedClass.h"
#include "platform/linux/foreground/ForegroundTracker.h"
#include "util/FileName.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace kelvane {

using namespace linux_port;

namespace {

int PidfdOpen(Pid pid) { return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0U)); }

int PidfdSendSignal(int pidfd, int signal) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, pidfd, signal, nullptr, 0U));
}

// A pidfd turns readable once the whole process has exited (a zombie included).
bool HasExited(int pidfd) {
    pollfd p{pidfd, POLLIN, 0};
    int n = 0;
    do {
        n = ::poll(&p, 1, 0);
    } while (n < 0 && errno == EINTR);
    return n > 0;
}

// The PID a pidfd stands for, from its fdinfo: -1 once the process has been reaped (a zombie still
// holds its PID).
long PidOfPidfd(int pidfd) {
    const auto text = ReadSmallFile("/proc/self/fdinfo/" + std::to_string(pidfd));
    if (!text)
        return -1;
    const std::size_t at = text->find("\nPid:");
    return at == std::string::npos ? -1 : std::strtol(text->c_str() + at + 5, nullptr, 10);
}

// The kernel's clock ID of a process's CPU clock (the ABI that clock_getcpuclockid uses, without
// the extra check it makes).
clockid_t ProcessCpuClock(Pid pid) {
    constexpr unsigned kCpuClockSched = 2;
    return static_cast<clockid_t>((~static_cast<unsigned>(pid) << 3) | kCpuClockSched);
}

constexpr Pid kKthreadd = 2;

constexpr std::uint32_t kAllRights =
    PROCESS_TERMINATE | PROCESS_VM_READ | PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION;

} // namespace

LinuxProcessApi::LinuxProcessApi(std::string procRoot)
    : procRoot_(std::move(procRoot)), foreground_(std::make_unique<ForegroundTracker>()) {
    GroupRoots roots = GroupRoots::Live();
    roots.proc = procRoot_;
    groups_ = std::make_unique<GroupScheduler>(GroupDetector(roots));
    const long ticks = ::sysconf(_SC_CLK_TCK);
    clockTicks_ = ticks > 0 ? ticks : 100;
    euid_ = ::geteuid();
    if (const auto online = ReadSmallFile("/sys/devices/system/cpu/online"))
        systemMask_ = ParseCpuList(*online);
    if (systemMask_ == 0) {
        const int count = std::clamp(GetNumberOfProcessors(), 1, 64);
        systemMask_ = count == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
    }
    RefreshCapabilities();
    SizeDescriptorBudget();
    char ns[64];
    const ssize_t got = ::readlink(ProcPath(static_cast<Pid>(::getpid()), "ns/mnt").c_str(), ns, sizeof ns);
    if (got > 0 && static_cast<std::size_t>(got) < sizeof ns)
        ownMountNamespace_.assign(ns, static_cast<std::size_t>(got));
}

LinuxProcessApi::~LinuxProcessApi() {
    if (loadavgFd_ >= 0)
        ::close(loadavgFd_);
}

std::string LinuxProcessApi::ProcPath(Pid pid, const char* entry) const {
    std::string path = procRoot_;
    path += '/';
    path += std::to_string(pid);
    path += '/';
    path += entry;
    return path;
}

bool LinuxProcessApi::Fail(int error) {
    lastError_ = error;
    return false;
}

void LinuxProcessApi::RefreshCapabilities() {
    capSysNice_ = HasEffectiveCapability(CAP_SYS_NICE);
    capKill_ = HasEffectiveCapability(CAP_KILL);
}

bool LinuxProcessApi::Exited(pid_t pid, int pidfd) {
    if (const std::optional<bool> ended = known_.HasEnded(pid, pidfd))
        return *ended;
    return HasExited(pidfd);
}

bool LinuxProcessApi::Exited(const ProcessHandle& handle) {
    return Exited(static_cast<pid_t>(handle.pid()), handle.fd());
}

bool LinuxProcessApi::Allowed(const ProcessHandle& handle, std::uint32_t rights) {
    if (!handle)
        return Fail(EBADF);
    if (!handle.has(rights))
        return Fail(EACCES);
    return true;
}

bool LinuxProcessApi::Usable(const ProcessHandle& handle, std::uint32_t rights) {
    if (!Allowed(handle, rights))
        return false;
    if (Exited(handle))
        return Fail(ESRCH);
    return true;
}

// ---- Opening -----------------------------------------------------------------------------------

std::optional<std::uint64_t> LinuxProcessApi::StartTime(Pid pid, int pidfd) {
    const std::optional<std::string> text = ReadSmallFile(ProcPath(pid, "stat"));
    const std::optional<ProcStat> stat = text ? ParseProcStat(*text) : std::nullopt;
    // Until it is reaped (running, or a zombie) the process keeps its PID, so the file read was
    // its own.
    if (!stat || (HasExited(pidfd) && PidOfPidfd(pidfd) < 0)) {
        Fail(stat || !text ? ESRCH : EIO);
        return std::nullopt;
    }
    return stat->startTime;
}

bool LinuxProcessApi::HasOwnMemory(Pid pid, int pidfd, std::uint64_t identity) {
    // A kernel thread has no memory or executable of its own: its exe link gives ENOENT. The link
    // is only readable with ptrace read access, which is what reading memory needs.
    std::optional<std::string> path = ReadExeLink(ProcPath(pid, "exe"));
    if (!path) {
        const int error = errno;
        if (error == EACCES && !otherUsersNoted_) {
            struct stat dir {};
            if (::stat(ProcPath(pid, "").c_str(), &dir) == 0 && dir.st_uid != euid_)
                NoteOtherUsers(); // refused because the process is another user's
        }
        return Fail(error == ENOENT ? EACCES : error);
    }
    // Profiles belong to the program the process runs: the script, jar or Windows program rather
    // than its interpreter or loader. What that took beyond the link was read by PID, so it counts
    // only while the process still runs.
    linux_port::Program program = linux_port::IdentifyProgram(procRoot_, static_cast<pid_t>(pid), *path, ownMountNamespace_);
    if (program.kind != linux_port::ProgramKind::Executable) {
        if (Exited(static_cast<pid_t>(pid), pidfd))
            return Fail(ESRCH);
        if (hosts_.insert(*path).second)
            hosted_.push_back({DecodeFileName(*path), DecodeFileName(program.path)});
    }
    exeOfLastOpen_ = {pidfd, pid, identity, std::move(program.path)};
    return true;
}

void LinuxProcessApi::NoteOtherUsers() {
    if (otherUsersNoted_)
        return;
    otherUsersNoted_ = true;
    notices_.append(QStringLiteral("Processes of other users are listed but not changed: only Kelvane "
                                   "running as root may change them."));
}

bool LinuxProcessApi::MaySetInformation(const ProcessHandle& handle) {
    if (capSysNice_)
        return true;
    const Pid pid = handle.pid();
    // Without CAP_SYS_NICE only the user's own processes can be changed ...
    const std::optional<std::string> status = ReadSmallFile(ProcPath(pid, "status"));
    const std::optional<ProcUids> uids = status ? ParseStatusUids(*status) : std::nullopt;
    if (!uids)
        return Fail(status ? EACCES : errno);
    if (uids->real != euid_ && uids->effective != euid_) {
        NoteOtherUsers();
        return Fail(EPERM);
    }
    // ... and only where the process's limits let Kelvane return it to where it was first seen;
    // otherwise a lowered process could never be restored.
    std::optional<ThreadSched> first = schedMemory_.Leader({static_cast<pid_t>(pid), handle.identity()});
    if (!first)
        first = ReadThreadSched(static_cast<pid_t>(pid));
    if (!first)
        return Fail(errno);
    rlimit limit{};
    if (IsRealTimePolicy(first->policy)) {
        if (::prlimit(static_cast<pid_t>(pid), RLIMIT_RTPRIO, nullptr, &limit) != 0)
            return Fail(errno);
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < static_cast<rlim_t>(first->rtPriority))
            return Fail(EPERM);
        return true;
    }
    if (::prlimit(static_cast<pid_t>(pid), RLIMIT_NICE, nullptr, &limit) != 0)
        return Fail(errno);
    // RLIMIT_NICE r lets a process lower its nice value down to 20 - r; returning to nice 19 (the
    // highest) never needs the limit.
    const long lowestNice =
        limit.rlim_cur == RLIM_INFINITY ? -20 : 20 - static_cast<long>(std::min<rlim_t>(limit.rlim_cur, 40));
    if (first->nice < lowestNice && first->nice < 19)
        return Fail(EPERM);
    return true;
}

bool LinuxProcessApi::MayChange(const ProcessHandle& handle) {
    if (handle.has(PROCESS_SET_INFORMATION) && !MaySetInformation(handle))
        return false;
    return !handle.has(PROCESS_TERMINATE) || MayTerminate(handle.fd());
}

bool LinuxProcessApi::MayTerminate(int pidfd) {
    if (capKill_)
        return true;
    if (PidfdSendSignal(pidfd, 0) != 0)
        return Fail(errno);
    return true;
}

ProcessHandle LinuxProcessApi::OpenProcess(std::uint32_t access, Pid pid) {
    if (pid == 0 || pid > static_cast<Pid>(INT_MAX)) {
        Fail(ESRCH); // no process can have this PID
        return {};
    }
    if (linux_port::KnownProcess* known = known_.Find(static_cast<pid_t>(pid)); known != nullptr) {
        // A handle only to query may be one of a process that has just ended (its exit code can be
        // asked), so it needs no check here: each query checks after it reads. A PID handed on
        // meanwhile reaches its new process after the next listing.
        if (access == PROCESS_QUERY_INFORMATION || !Exited(static_cast<pid_t>(pid), known->fd))
            return OpenKnown(access, pid, *known);
        known_.Forget(static_cast<pid_t>(pid)); // ended since the listing: opened afresh below
    }
    // The pidfd is the handle: it stands for this very process, and its PID cannot go to another
    // process while the pidfd shows it running.
    const int fd = PidfdOpen(pid);
    if (fd < 0) {
        Fail(errno);
        return {};
    }
    // The start time tells this process from any later one that gets the same PID.
    const std::optional<std::uint64_t> startTime = StartTime(pid, fd);
    if (!startTime) {
        ::close(fd);
        return {};
    }
    ProcessHandle handle(this, pid, access, fd, *startTime);
    // A process that has exited (a zombie) can only be asked for its exit code.
    if ((access & ~PROCESS_QUERY_INFORMATION) != 0 && HasExited(fd)) {
        Fail(ESRCH);
        return {};
    }
    // Querying needs nothing more: any process of Kelvane's PID namespace can be looked at. The
    // other rights are refused for kernel threads.
    if ((access & PROCESS_VM_READ) != 0) {
        if (!HasOwnMemory(pid, fd, *startTime))
            return {};
    } else if ((access & (PROCESS_SET_INFORMATION | PROCESS_TERMINATE)) != 0 && KindOf(pid) != Kind::User) {
        Fail(EACCES);
        return {};
    }
    return MayChange(handle) ? std::move(handle) : ProcessHandle();
}

ProcessHandle LinuxProcessApi::OpenKnown(std::uint32_t access, Pid pid, linux_port::KnownProcess& known) {
    known_.Borrow(known.fd);
    ProcessHandle handle(this, pid, access, known.fd, known.startTime);
    if ((access & PROCESS_VM_READ) != 0) {
        if (known.kind != Kind::User) {
            Fail(EACCES);
            return {};
        }
        // The executable is read once; again only while the process may still exec, or where the
        // link was refused (the capabilities may have changed since).
        if (known.exeError != 0 || IsYoung(known.startTime)) {
            if (!HasOwnMemory(pid, known.fd, known.startTime)) {
                known.exeError = GetLastError();
                return {};
            }
            known.exe = exeOfLastOpen_.path;
            known.exeError = 0;
        } else {
            exeOfLastOpen_ = {known.fd, pid, known.startTime, known.exe};
        }
    } else if ((access & (PROCESS_SET_INFORMATION | PROCESS_TERMINATE)) != 0 && known.kind != Kind::User) {
        Fail(EACCES);
        return {};
    }
    return MayChange(handle) ? std::move(handle) : ProcessHandle();
}

bool LinuxProcessApi::IsYoung(std::uint64_t startTime) const {
    constexpr std::uint64_t kExecWindowSeconds = 5;
    timespec now{};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return true;
    const auto nowTicks =
        static_cast<std::uint64_t>(now.tv_sec) * static_cast<std::uint64_t>(clockTicks_) +
        static_cast<std::uint64_t>(now.tv_nsec) * static_cast<std::uint64_t>(clockTicks_) / 1000000000U;
    return nowTicks < startTime + kExecWindowSeconds * static_cast<std::uint64_t>(clockTicks_);
}

bool LinuxProcessApi::Learn(Pid pid, linux_port::KnownProcess& known) {
    const int fd = PidfdOpen(pid);
    if (fd < 0)
        return false;
    Kind kind = Kind::User;
    std::optional<std::string> exe = ReadExeLink(ProcPath(pid, "exe"));
    const int exeError = exe ? 0 : errno;
    if (!exe)
        kind = KindOf(pid);
    const std::optional<std::uint64_t> startTime = StartTime(pid, fd);
    // Kept only while running after everything was read: what was read was this process's own.
    if (!startTime || kind == Kind::Gone || HasExited(fd)) {
        ::close(fd);
        return false;
    }
    known.fd = fd;
    known.startTime = *startTime;
    known.kind = kind;
    known.exe = exe ? std::move(*exe) : std::string();
    known.exeError = exe ? 0 : (exeError == ENOENT ? EACCES : exeError);
    return true;
}

void LinuxProcessApi::SizeDescriptorBudget() {
    // Up to 64 Ki open files: enough for every process of a busy machine, and no program that
    // still uses select() among Kelvane's children is handed a limit it cannot live with.
    constexpr rlim_t kWanted = 65536;
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    const rlim_t ceiling = limit.rlim_max == RLIM_INFINITY ? kWanted : std::min(limit.rlim_max, kWanted);
    if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < ceiling) {
        rlimit raised = limit;
        raised.rlim_cur = ceiling;
        if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
            limit = raised;
    }
    const rlim_t soft = limit.rlim_cur == RLIM_INFINITY ? kWanted : limit.rlim_cur;
    // The rest is left to the window, the display, the bus and the files Kelvane opens.
    const rlim_t reserve = std::max<rlim_t>(32, soft / 8);
    known_.SetBudget(soft > reserve ? static_cast<std::size_t>(soft - reserve) : 0);
}

ProcessHandle LinuxProcessApi::GetCurrentProcess() {
    const Pid self = static_cast<Pid>(::getpid());
    const int fd = PidfdOpen(self);
    if (fd < 0) {
        Fail(errno);
        return {};
    }
    const std::optional<std::uint64_t> startTime = StartTime(self, fd);
    if (!startTime) {
        ::close(fd);
        return {};
    }
    return ProcessHandle(this, self, kAllRights, fd, *startTime);
}

void LinuxProcessApi::CloseHandle(ProcessHandle& handle) {
    if (handle.fd() < 0 || known_.Release(handle.fd()))
        return; // a kept pidfd stays with its process
    if (handle.fd() == exeOfLastOpen_.fd)
        exeOfLastOpen_.fd = -1; // the number may come back with another process
    ::close(handle.fd());
}

// ---- Querying ----------------------------------------------------------------------------------

bool LinuxProcessApi::GetExitCodeProcess(const ProcessHandle& handle, std::uint32_t& exitCode) {
    if (!handle)
        return Fail(EBADF);
    if (!handle.has(PROCESS_QUERY_INFORMATION))
        return Fail(EACCES);
    if (!Exited(handle)) {
        exitCode = STILL_ACTIVE;
        return true;
    }
    // A zombie still tells its wait status; once reaped, nothing is left to read.
    exitCode = 0;
    if (PidOfPidfd(handle.fd()) < 0)
        return true;
    const std::optional<std::string> text = ReadSmallFile(ProcPath(handle.pid(), "stat"));
    const std::optional<ProcStat> stat = text ? ParseProcStat(*text) : std::nullopt;
    // Still unreaped after the read: the file was this process's own.
    if (stat && stat->exitCode && PidOfPidfd(handle.fd()) >= 0) {
        const int status = *stat->exitCode;
        exitCode = WIFSIGNALED(status) ? 128U + static_cast<unsigned>(WTERMSIG(status))
                                       : static_cast<unsigned>(WEXITSTATUS(status));
    }
    return true;
}

std::uint32_t LinuxProcessApi::GetPriorityClass(const ProcessHandle& handle) {
    std::optional<std::uint32_t> priorityClass;
    if (!ReadWhileRunning(handle, PROCESS_QUERY_INFORMATION, [&] {
            priorityClass = ReadThreadClass(static_cast<pid_t>(handle.pid()));
            return priorityClass ? 0 : (errno != 0 ? errno : EIO);
        }))
        return 0;
    // The first class read is the first sight: what a restore to that class gives back exactly.
    schedMemory_.RememberFirstSight({static_cast<pid_t>(handle.pid()), handle.identity()},
                                    ProcPath(handle.pid(), "task"));
    PruneSchedMemory();
    return *priorityClass;
}

bool LinuxProcessApi::GetProcessTimes(const ProcessHandle& handle, ProcessTimes& times) {
    times = {};
    if (!Allowed(handle, PROCESS_QUERY_INFORMATION))
        return false;
    // The process CPU clock counts in nanoseconds; it gives kernel and user time together, which is
    // all Kelvane uses. /proc/PID/stat (whole clock ticks) is the fall-back.
    const std::int64_t ticksToHundredNs = 10000000 / clockTicks_;
    timespec ts{};
    if (::clock_gettime(ProcessCpuClock(handle.pid()), &ts) == 0) {
        if (Exited(handle)) // the clock read by PID was this process's own only if it still runs
            return Fail(ESRCH);
        times.UserTime = static_cast<CpuTicks>(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
        return true;
    }
    const std::optional<std::string> text = ReadSmallFile(ProcPath(handle.pid(), "stat"));
    const int error = text ? EIO : errno;
    const std::optional<ProcStat> stat = text ? ParseProcStat(*text) : std::nullopt;
    if (Exited(handle))
        return Fail(ESRCH);
    if (!stat)
        return Fail(error);
    times.CreationTime = static_cast<CpuTicks>(stat->startTime) * ticksToHundredNs;
    times.KernelTime = static_cast<CpuTicks>(stat->stime) * ticksToHundredNs;
    times.UserTime = static_cast<CpuTicks>(stat->utime) * ticksToHundredNs;
    return true;
}

bool LinuxProcessApi::GetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t& processMask,
                                             std::uint64_t& systemMask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (!ReadWhileRunning(handle, PROCESS_QUERY_INFORMATION, [&] {
            return ::sched_getaffinity(static_cast<pid_t>(handle.pid()), sizeof set, &set) == 0 ? 0 : errno;
        }))
        return false;
    processMask = 0;
    for (unsigned cpu = 0; cpu < 64; ++cpu)
        if (CPU_ISSET(cpu, &set))
            processMask |= std::uint64_t{1} << cpu;
    systemMask = systemMask_;
    return true;
}

// ---- Changing ----------------------------------------------------------------------------------

bool LinuxProcessApi::SetPriorityClass(const ProcessHandle& handle, std::uint32_t priorityClass) {
    if (!Usable(handle, PROCESS_SET_INFORMATION))
        return false;
    if (!IsPriorityClass(priorityClass))
        return Fail(EINVAL);
    const std::uint64_t startTime = handle.identity();
    const auto pid = static_cast<pid_t>(handle.pid());
    // A return to the class the process had when first seen gives its group its own value back.
    const std::optional<ThreadSched> first = schedMemory_.Leader({pid, startTime});
    const bool backToFirst = first && ClassOfSched(first->policy, first->nice) == priorityClass;
    const int error = SetProcessClass(ProcPath(handle.pid(), "task"), pid, startTime, priorityClass, schedMemory_);
    if (error == 0)
        groups_->RecordIntent(pid, backToFirst ? 2 : PriorityClassToIndex(priorityClass),
                              priorityClass == REALTIME_PRIORITY_CLASS ? -10 : NiceOfClass(priorityClass));
    PruneSchedMemory();
    return error == 0 || Fail(error);
}

void LinuxProcessApi::PruneSchedMemory() {
    schedMemory_.Prune([this](SchedMemory::Key key) {
        const std::optional<std::string> text = ReadSmallFile(ProcPath(static_cast<Pid>(key.first), "stat"));
        const std::optional<ProcStat> stat = text ? ParseProcStat(*text) : std::nullopt;
        return stat && stat->startTime == key.second;
    });
}

bool LinuxProcessApi::SetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t mask) {
    if (!Usable(handle, PROCESS_SET_INFORMATION))
        return false;
    const std::uint64_t effective = mask & systemMask_;
    if (effective == 0)
        return Fail(EINVAL);
    cpu_set_t set;
    CPU_ZERO(&set);
    for (unsigned cpu = 0; cpu < 64; ++cpu)
        if ((effective >> cpu) & 1U)
            CPU_SET(cpu, &set);
    const int error = ForEachThread(ProcPath(handle.pid(), "task"), [&set](pid_t tid) {
        return ::sched_setaffinity(tid, sizeof set, &set) == 0 ? 0 : errno;
    });
    return error == 0 || Fail(error);
}

bool LinuxProcessApi::TerminateProcess(const ProcessHandle& handle, std::uint32_t /*exitCode*/) {
    if (!Usable(handle, PROCESS_TERMINATE))
        return false;
    if (PidfdSendSignal(handle.fd(), SIGKILL) != 0)
        return Fail(errno);
    return true;
}

// ---- Enumeration -------------------------------------------------------------------------------

bool LinuxProcessApi::BindEnumeration() {
    std::vector<int> entries;
    bound_ = ListNumericEntries(procRoot_, entries) || Fail(errno);
    // The last PID given tells of new processes only where the listing is of Kelvane's own PID
    // namespace (a /proc mounted for another namespace shows other processes).
    char self[32] = {};
    const ssize_t n = ::readlink((procRoot_ + "/self").c_str(), self, sizeof self - 1);
    lastPidTellsNew_ = procRoot_ == "/proc" && n > 0 && std::to_string(::getpid()) == self;
    listing_.valid = false;
    return bound_;
}

bool LinuxProcessApi::EnumProcesses(std::vector<Pid>& pids) {
    pids.clear();
    if (!bound_)
        return Fail(ENOSYS);
    known_.DropEnded();
    // The last PID given in the namespace, read before the listing: while it stays the same no
    // process was made, and the listing is the last one less the processes that have ended since.
    // (Only a hand-set ns_last_pid, as checkpoint tools write it, can bring it back to where it
    // was; the next process made anywhere in the namespace then shows what was missed.)
    const std::optional<long> lastPid = ReadLastPid();
    if (lastPid && listing_.valid && listing_.unkept == 0 && *lastPid == listing_.lastPid) {
        std::erase_if(listing_.pids,
                      [this](Pid pid) { return known_.Find(static_cast<pid_t>(pid)) == nullptr; });
        pids = listing_.pids;
        return true;
    }
    listing_.valid = false;
    std::vector<int>& entries = listing_.entries;
    if (!ListNumericEntries(procRoot_, entries))
        return Fail(errno);
    known_.Learn(entries, [this](pid_t pid, linux_port::KnownProcess& known) {
        return Learn(static_cast<Pid>(pid), known);
    });
    listing_.unkept = 0;
    pids.reserve(entries.size());
    for (const int entry : entries) {
        const Pid pid = static_cast<Pid>(entry);
        // The kernel's threads are the threads of the system process; kthreadd stands for it.
        const linux_port::KnownProcess* known = known_.Find(static_cast<pid_t>(pid));
        const Kind kind = known != nullptr ? known->kind : KindOf(pid);
        if (known == nullptr)
            ++listing_.unkept;
        if (kind == Kind::User || kind == Kind::Kthreadd)
            pids.push_back(pid);
    }
    listing_.pids = pids;
    listing_.lastPid = lastPid.value_or(-1);
    listing_.valid = lastPid.has_value();
    return true;
}

std::optional<long> LinuxProcessApi::ReadLastPid() {
    if (!lastPidTellsNew_)
        return std::nullopt;
    // The file is made afresh by every read from its start, so it is opened once.
    if (loadavgFd_ < 0)
        loadavgFd_ = ::open("/proc/loadavg", O_RDONLY | O_CLOEXEC);
    if (loadavgFd_ < 0)
        return std::nullopt;
    char text[128];
    ssize_t n = 0;
    do {
        n = ::pread(loadavgFd_, text, sizeof text - 1, 0);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        ::close(loadavgFd_);
        loadavgFd_ = -1; // opened again next time
        return std::nullopt;
    }
    // "0.00 0.01 0.05 1/123 4567\n": the last field is the PID given last in the reader's namespace.
    text[n] = '\0';
    const char* at = std::strrchr(text, ' ');
    if (at == nullptr)
        return std::nullopt;
    const char* first = at + 1;
    char* end = nullptr;
    const long value = std::strtol(first, &end, 10);
    return end != first ? std::optional<long>(value) : std::nullopt;
}

std::uint64_t LinuxProcessApi::ListedIdentity(Pid pid) {
    const linux_port::KnownProcess* known =
        pid > static_cast<Pid>(INT_MAX) ? nullptr : known_.Find(static_cast<pid_t>(pid));
    return known != nullptr ? known->startTime : 0;
}

LinuxProcessApi::Kind LinuxProcessApi::KindOf(Pid pid) const {
    // Every process of its own has an exe link; reading it is much cheaper than the stat file.
    // Where the link is refused (another user's or a non-dumpable process without
    // CAP_SYS_PTRACE) the stat file's flags tell.
    const std::string exe = ProcPath(pid, "exe");
    char target[8];
    if (::readlink(exe.c_str(), target, sizeof target) >= 0)
        return Kind::User;
    if (errno == ENOENT && pid != kKthreadd)
        return Kind::KernelThread; // no executable: a kernel thread, or a process that is ending
    const std::optional<std::string> text = ReadSmallFile(ProcPath(pid, "stat"));
    const std::optional<ProcStat> stat = text ? ParseProcStat(*text) : std::nullopt;
    if (!stat)
        return Kind::Gone;
    if (!stat->isKernelThread())
        return Kind::User;
    return pid == kKthreadd && stat->comm == "kthreadd" ? Kind::Kthreadd : Kind::KernelThread;
}

bool LinuxProcessApi::EnumProcessModules(const ProcessHandle& handle, ModuleHandle& firstModule) {
    if (!bound_)
        return Fail(ENOSYS);
    if (!Usable(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ))
        return false;
    firstModule = 1; // the executable
    return true;
}

QString LinuxProcessApi::GetModuleFileNameExW(const ProcessHandle& handle, ModuleHandle /*module*/) {
    if (!bound_) {
        Fail(ENOSYS);
        return {};
    }
    if (!Usable(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ))
        return {};
    if (handle.fd() == exeOfLastOpen_.fd && handle.pid() == exeOfLastOpen_.pid &&
        handle.identity() == exeOfLastOpen_.identity)
        return DecodeFileName(exeOfLastOpen_.path);
    const std::optional<std::string> path = ReadExeLink(ProcPath(handle.pid(), "exe"));
    if (!path) {
        Fail(errno);
        return {};
    }
    return DecodeFileName(*path);
}

// ---- Process details ---------------------------------------------------------------------------

bool LinuxProcessApi::ReadWhileRunning(const ProcessHandle& handle, std::uint32_t rights,
                                       const std::function<int()>& read) {
    if (!Allowed(handle, rights))
        return false;
    const int error = read();
    if (Exited(handle))
        return Fail(ESRCH);
    return error == 0 || Fail(error);
}

bool LinuxProcessApi::EnumProcessModuleList(const ProcessHandle& handle, std::vector<ModuleEntry>& modules) {
    const bool ok = ReadWhileRunning(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ,
                                     [&] { return ReadModuleList(procRoot_, handle.pid(), modules); });
    if (!ok)
        modules.clear();
    return ok;
}

bool LinuxProcessApi::GetProcessMemoryInfo(const ProcessHandle& handle, ProcessMemoryCounters& counters) {
    return ReadWhileRunning(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ,
                            [&] { return ReadMemoryCounters(procRoot_, handle.pid(), counters); });
}

bool LinuxProcessApi::GetProcessThreadCount(Pid pid, std::uint32_t& threads) {
    if (pid == 0) { // the idle process: one idle task per online processor
        threads = static_cast<std::uint32_t>(GetNumberOfProcessors());
        return true;
    }
    // The pidfd tells whether the whole process has ended: a zombie still has a status file.
    const int fd = pid > static_cast<Pid>(INT_MAX) ? -1 : PidfdOpen(pid);
    if (fd < 0)
        return Fail(errno == EINVAL ? ESRCH : errno);
    std::uint32_t count = 0;
    const int error = ReadThreadCount(procRoot_, pid, count);
    const bool ended = HasExited(fd);
    ::close(fd);
    if (error != 0 || ended)
        return Fail(error != 0 ? error : ESRCH);
    threads = count;
    return true;
}

bool LinuxProcessApi::GetProcessUserName(const ProcessHandle& handle, QString& user) {
    QString read;
    if (!ReadWhileRunning(handle, PROCESS_QUERY_INFORMATION,
                          [&] { return ReadUserText(procRoot_, handle.pid(), read); }))
        return false;
    user = read;
    return true;
}

// ---- Privileges --------------------------------------------------------------------------------

std::optional<int> LinuxProcessApi::LookupPrivilegeValue(const QString& name) {
    const std::optional<int> capability = CapabilityOfPrivilege(name);
    if (!capability)
        Fail(EINVAL);
    return capability;
}

bool LinuxProcessApi::AdjustPrivilege(int privilege, bool enable) {
    const bool ok = SetEffectiveCapability(privilege, enable) || Fail(errno);
    RefreshCapabilities();
    return ok;
}

// ---- The desktop and the machine ---------------------------------------------------------------

Pid LinuxProcessApi::GetForegroundProcessId() { return static_cast<Pid>(foreground_->Pid()); }

// ---- Scheduling groups -------------------------------------------------------------------------

void LinuxProcessApi::EndOfPass(const std::vector<Pid>& usedCpu, const std::function<Pid()>& foreground) {
    std::vector<pid_t> used(usedCpu.begin(), usedCpu.end());
    std::vector<pid_t> protectedPids = {::getpid()};
    if (groups_->HasIntents()) // the foreground matters only when a group may change
        protectedPids.push_back(static_cast<pid_t>(foreground()));
    groups_->EndOfPass(used, protectedPids);
    for (const std::string& notice : groups_->TakeNotices()) {
        qWarning("kelvane: %s", notice.c_str());
        notices_.append(QString::fromStdString(notice));
    }
}

void LinuxProcessApi::RestoreGroups() { groups_->RestoreAll(); }

bool LinuxProcessApi::GroupsPending() const {
    return groups_->HasIntents();
}

QStringList LinuxProcessApi::TakeNotices() {
    for (const std::string& notice : foreground_->TakeNotices()) {
        qWarning("kelvane: %s", notice.c_str());
        notices_.append(QString::fromStdString(notice));
    }
    QStringList notices;
    notices.swap(notices_);
    return notices;
}

int LinuxProcessApi::GetNumberOfProcessors() {
    const long count = ::sysconf(_SC_NPROCESSORS_ONLN);
    return count > 0 ? static_cast<int>(count) : 1;
}

Pid LinuxProcessApi::PidLimit() {
    constexpr Pid kKernelMaximum = 4194304; // PID_MAX_LIMIT on 64-bit kernels
    if (const auto text = ReadSmallFile(procRoot_ + "/sys/kernel/pid_max")) {
        const unsigned long value = std::strtoul(text->c_str(), nullptr, 10);
        if (value > 0 && value <= kKernelMaximum)
            return static_cast<Pid>(value);
    }
    return kKernelMaximum;
}

Pid LinuxProcessApi::SystemPid() {
    const std::optional<std::string> comm = ReadSmallFile(ProcPath(kKthreadd, "comm"));
    return comm && *comm == "kthreadd\n" ? kKthreadd : 0;
}

std::int64_t LinuxProcessApi::QueryPerformanceCounter() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

void LinuxProcessApi::Sleep(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

QString LinuxProcessApi::SysErrorMessage(int error) const {
    char buffer[256];
    const char* text = ::strerror_r(error, buffer, sizeof buffer);
    return QString::fromLocal8Bit(text);
}

} // namespace kelvane
