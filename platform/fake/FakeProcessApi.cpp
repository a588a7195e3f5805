#include "platform/fake/FakeProcessApi.h"

#include "engine/PriorityClass.h"

#include <cstring>

namespace kelvane {

namespace {
const char* const kPrivilegeNames[] = {"SeIncreaseBasePriorityPrivilege", "SeDebugPrivilege",
                                       "SeProfileSingleProcessPrivilege"};
QString Num(std::uint64_t value) { return QString::number(value); }
} // namespace

FakeProcessApi::FakeProcessApi() = default;

FakeProcess& FakeProcessApi::AddProcess(Pid pid, const QString& path, std::uint32_t priorityClass) {
    FakeProcess& process = processes_[pid];
    process = FakeProcess{};
    process.path = path;
    process.priorityClass = priorityClass;
    process.generation = nextGeneration_++;
    return process;
}

FakeProcess* FakeProcessApi::Find(Pid pid) {
    const auto it = processes_.find(pid);
    return it == processes_.end() ? nullptr : &it->second;
}

void FakeProcessApi::ExitProcess(Pid pid, std::uint32_t exitCode) {
    if (FakeProcess* process = Find(pid)) {
        process->exited = true;
        process->exitCode = exitCode;
    }
}

void FakeProcessApi::RemoveProcess(Pid pid) { processes_.erase(pid); }

std::uint64_t FakeProcessApi::AllProcessorsMask() const {
    return processors_ >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << processors_) - 1;
}

bool FakeProcessApi::Fail(int error) {
    lastError_ = error;
    return false;
}

FakeProcess* FakeProcessApi::Target(const ProcessHandle& handle, std::uint32_t rights, bool mayHaveExited) {
    if (!handle) {
        Fail(PortError::AccessDenied);
        return nullptr;
    }
    if (!handle.has(rights)) {
        Fail(PortError::AccessDenied);
        return nullptr;
    }
    FakeProcess* process = Find(handle.pid());
    if (process == nullptr || process->generation != handle.identity() || (process->exited && !mayHaveExited)) {
        Fail(PortError::NoSuchProcess);
        return nullptr;
    }
    return process;
}

ProcessHandle FakeProcessApi::OpenProcess(std::uint32_t access, Pid pid) {
    Record(QStringLiteral("OpenProcess %1 %2").arg(Num(access), Num(pid)));
    FakeProcess* process = Find(pid);
    if (process == nullptr) {
        Fail(PortError::InvalidArgument);
        return {};
    }
    if ((process->refusedRights & access) != 0) {
        Fail(PortError::AccessDenied);
        return {};
    }
    return ProcessHandle(this, pid, access, -1, process->generation);
}

ProcessHandle FakeProcessApi::GetCurrentProcess() {
    const FakeProcess* process = Find(self_);
    return ProcessHandle(this, self_,
                         PROCESS_TERMINATE | PROCESS_VM_READ | PROCESS_SET_INFORMATION | PROCESS_QUERY_INFORMATION,
                         -1, process != nullptr ? process->generation : 0);
}

void FakeProcessApi::CloseHandle(ProcessHandle& handle) { Record(QStringLiteral("CloseHandle %1").arg(handle.pid())); }

bool FakeProcessApi::GetExitCodeProcess(const ProcessHandle& handle, std::uint32_t& exitCode) {
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION, true);
    if (process == nullptr)
        return false;
    exitCode = process->exited ? process->exitCode : STILL_ACTIVE;
    return true;
}

std::uint32_t FakeProcessApi::GetPriorityClass(const ProcessHandle& handle) {
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION);
    return process == nullptr ? 0 : process->priorityClass;
}

bool FakeProcessApi::SetPriorityClass(const ProcessHandle& handle, std::uint32_t priorityClass) {
    Record(QStringLiteral("SetPriorityClass %1 %2").arg(Num(handle.pid()), Num(priorityClass)));
    FakeProcess* process = Target(handle, PROCESS_SET_INFORMATION);
    if (process == nullptr)
        return false;
    if (process->refuseSetClass)
        return Fail(PortError::AccessDenied);
    if (!IsPriorityClass(priorityClass))
        return Fail(PortError::InvalidArgument);
    process->priorityClass = priorityClass;
    return true;
}

bool FakeProcessApi::GetProcessTimes(const ProcessHandle& handle, ProcessTimes& times) {
    times = {};
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION, true);
    if (process == nullptr)
        return false;
    times.KernelTime = process->kernelTime;
    times.UserTime = process->userTime;
    return true;
}

bool FakeProcessApi::GetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t& processMask,
                                            std::uint64_t& systemMask) {
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION);
    if (process == nullptr)
        return false;
    systemMask = AllProcessorsMask();
    processMask = process->affinity == 0 ? systemMask : process->affinity;
    return true;
}

bool FakeProcessApi::SetProcessAffinityMask(const ProcessHandle& handle, std::uint64_t mask) {
    Record(QStringLiteral("SetProcessAffinityMask %1 0x%2").arg(Num(handle.pid()), QString::number(mask, 16)));
    FakeProcess* process = Target(handle, PROCESS_SET_INFORMATION);
    if (process == nullptr)
        return false;
    if (process->refuseSetAffinity)
        return Fail(PortError::AccessDenied);
    const std::uint64_t effective = mask & AllProcessorsMask();
    if (effective == 0)
        return Fail(PortError::InvalidArgument);
    process->affinity = effective;
    return true;
}

bool FakeProcessApi::TerminateProcess(const ProcessHandle& handle, std::uint32_t exitCode) {
    Record(QStringLiteral("TerminateProcess %1 %2").arg(Num(handle.pid()), Num(exitCode)));
    FakeProcess* process = Target(handle, PROCESS_TERMINATE);
    if (process == nullptr)
        return false;
    if (process->refuseTerminate)
        return Fail(PortError::AccessDenied);
    process->exited = true;
    process->exitCode = exitCode;
    return true;
}

bool FakeProcessApi::BindEnumeration() {
    Record(QStringLiteral("BindEnumeration"));
    bound_ = !bindFails_;
    return bound_ || Fail(PortError::NotBound);
}

void FakeProcessApi::ReleaseEnumeration() {
    Record(QStringLiteral("ReleaseEnumeration"));
    bound_ = false;
}

bool FakeProcessApi::EnumProcesses(std::vector<Pid>& pids) {
    Record(QStringLiteral("EnumProcesses"));
    if (onEnumProcesses)
        onEnumProcesses();
    pids.clear();
    if (!bound_)
        return Fail(PortError::NotBound);
    for (const auto& [pid, process] : processes_)
        if (!process.exited)
            pids.push_back(pid);
    return true;
}

std::uint64_t FakeProcessApi::ListedIdentity(Pid pid) {
    const FakeProcess* process = Find(pid);
    return process != nullptr && !process->exited ? process->generation : 0;
}

bool FakeProcessApi::EnumProcessModules(const ProcessHandle& handle, ModuleHandle& firstModule) {
    if (!bound_)
        return Fail(PortError::NotBound);
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    if (process == nullptr)
        return false;
    if (process->noModules)
        return Fail(PortError::AccessDenied);
    firstModule = 1;
    return true;
}

QString FakeProcessApi::GetModuleFileNameExW(const ProcessHandle& handle, ModuleHandle /*module*/) {
    if (!bound_) {
        Fail(PortError::NotBound);
        return {};
    }
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    if (process == nullptr)
        return {};
    if (process->noModules) {
        Fail(PortError::AccessDenied);
        return {};
    }
    return process->path;
}

bool FakeProcessApi::EnumProcessModuleList(const ProcessHandle& handle, std::vector<ModuleEntry>& modules) {
    modules.clear();
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    if (process == nullptr)
        return false;
    if (process->noModules)
        return Fail(PortError::AccessDenied);
    modules = process->modules;
    return true;
}

bool FakeProcessApi::GetProcessMemoryInfo(const ProcessHandle& handle, ProcessMemoryCounters& counters) {
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ);
    if (process == nullptr)
        return false;
    counters = process->memory;
    return true;
}

bool FakeProcessApi::GetProcessThreadCount(Pid pid, std::uint32_t& threads) {
    const FakeProcess* process = Find(pid);
    if (process == nullptr && pid == 0) {
        threads = static_cast<std::uint32_t>(processors_);
        return true;
    }
    if (process == nullptr || process->exited)
        return Fail(PortError::NoSuchProcess);
    threads = static_cast<std::uint32_t>(process->threads);
    return true;
}

bool FakeProcessApi::GetProcessUserName(const ProcessHandle& handle, QString& user) {
    const FakeProcess* process = Target(handle, PROCESS_QUERY_INFORMATION);
    if (process == nullptr)
        return false;
    user = process->user;
    return true;
}

std::optional<int> FakeProcessApi::LookupPrivilegeValue(const QString& name) {
    for (int i = 0; i < static_cast<int>(std::size(kPrivilegeNames)); ++i)
        if (name == QLatin1String(kPrivilegeNames[i]))
            return i + 1;
    Fail(PortError::InvalidArgument);
    return std::nullopt;
}

bool FakeProcessApi::AdjustPrivilege(int privilege, bool enable) {
    Record(QStringLiteral("AdjustPrivilege %1 %2").arg(privilege).arg(enable ? 1 : 0));
    if (enable)
        enabledPrivileges_.insert(privilege);
    else
        enabledPrivileges_.erase(privilege);
    return true;
}

Pid FakeProcessApi::GetForegroundProcessId() { return foreground_; }

void FakeProcessApi::EndOfPass(const std::vector<Pid>& usedCpu, const std::function<Pid()>& foreground) {
    QStringList pids;
    for (const Pid pid : usedCpu)
        pids.append(QString::number(pid));
    Record(QStringLiteral("EndOfPass [%1] %2").arg(pids.join(u','), QString::number(foreground())));
}

void FakeProcessApi::Sleep(std::uint32_t milliseconds) {
    Record(QStringLiteral("Sleep %1").arg(milliseconds));
    counter_ += static_cast<std::int64_t>(milliseconds) * (kFrequency / 1000);
}

QString FakeProcessApi::SysErrorMessage(int error) const {
    char buffer[256];
    return QString::fromLocal8Bit(::strerror_r(error, buffer, sizeof buffer));
}

} // namespace kelvane
