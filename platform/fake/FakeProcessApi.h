#pragma once
// An in-memory world of processes behind the process-access port, for engine tests and demos.
// Every call is recorded in a log ("OpenProcess 1552 42", "SetPriorityClass 42 128", ...).

#include <QStringList>
#include <functional>
#include <map>
#include <set>

#include <utility>

#include "engine/ProcessApi.h"

namespace kelvane {

struct FakeProcess {
    QString path;
    std::uint32_t priorityClass = NORMAL_PRIORITY_CLASS;
    CpuTicks kernelTime = 0;
    CpuTicks userTime = 0;
    std::uint64_t affinity = 0; // 0: all processors of the world
    int threads = 1;
    bool exited = false;
    std::uint32_t exitCode = 0;
    std::uint32_t refusedRights = 0; // an open asking for any of these rights fails
    bool refuseSetClass = false;
    bool refuseSetAffinity = false;
    bool refuseTerminate = false;
    bool noModules = false; // EnumProcessModules / GetModuleFileNameExW fail
    std::vector<ModuleEntry> modules;  // what EnumProcessModuleList gives (fails too with noModules)
    ProcessMemoryCounters memory;      // what GetProcessMemoryInfo gives
    QString user = QStringLiteral("user (fakehost)"); // what GetProcessUserName gives
    std::uint64_t generation = 0; // set by the world: a PID given again is another process
};

class FakeProcessApi final : public ProcessApi {
public:
    FakeProcessApi();

    // ---- The world ----
    // Adds a running process, replacing whatever had the PID before (handles to that one go stale).
    FakeProcess& AddProcess(Pid pid, const QString& path, std::uint32_t priorityClass = NORMAL_PRIORITY_CLASS);
    FakeProcess* Find(Pid pid);
    void ExitProcess(Pid pid, std::uint32_t exitCode = 0); // exited, not yet reaped
    void RemoveProcess(Pid pid);                           // reaped: the PID is free
    void SetForegroundPid(Pid pid) { foreground_ = pid; }
    void SetProcessorCount(int count) { processors_ = count; }
    void SetBindFails(bool fails) { bindFails_ = fails; }
    void SetPidLimit(Pid limit) { pidLimit_ = limit; }
    void SetSelfPid(Pid pid) { self_ = pid; }
    void SetSystemPid(Pid pid) { systemPid_ = pid; }
    void AdvanceCounter(std::int64_t ticks) { counter_ += ticks; }
    // Runs at every enumeration (a test may throw from it, or open a nested event loop).
    std::function<void()> onEnumProcesses;
    // What GroupsPending answers: classes were set that the groups must follow.
    bool groupsPending = false;
    // What the next TakeNotices gives (then nothing until more are added).
    QStringList notices;
    // What the next TakeHostedPrograms gives.
    std::vector<HostedProgram> hosted;
    // Privileges the platform knows by name, and which are enabled.
    const std::set<int>& EnabledPrivileges() const { return enabledPrivileges_; }
    const QStringList& Log() const { return log_; }
    void ClearLog() { log_.clear(); }
    std::uint64_t AllProcessorsMask() const;

    // ---- The port ----
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
    void ReleaseEnumeration() override;
    bool EnumerationBound() const override { return bound_; }
    bool EnumProcesses(std::vector<Pid>& pids) override;
    std::uint64_t ListedIdentity(Pid pid) override;
    bool EnumProcessModules(const ProcessHandle& handle, ModuleHandle& firstModule) override;
    QString GetModuleFileNameExW(const ProcessHandle& handle, ModuleHandle module) override;
    bool EnumProcessModuleList(const ProcessHandle& handle, std::vector<ModuleEntry>& modules) override;
    bool GetProcessMemoryInfo(const ProcessHandle& handle, ProcessMemoryCounters& counters) override;
    // PID 0 without a process of its own has one thread per processor of the world.
    bool GetProcessThreadCount(Pid pid, std::uint32_t& threads) override;
    bool GetProcessUserName(const ProcessHandle& handle, QString& user) override;
    std::optional<int> LookupPrivilegeValue(const QString& name) override;
    bool AdjustPrivilege(int privilege, bool enable) override;
    Pid GetForegroundProcessId() override;
    int GetNumberOfProcessors() override { return processors_; }
    Pid PidLimit() override { return pidLimit_; }
    Pid SystemPid() override { return systemPid_; }
    std::int64_t QueryPerformanceCounter() override { return counter_; }
    std::int64_t QueryPerformanceFrequency() override { return kFrequency; }
    void Sleep(std::uint32_t milliseconds) override;
    void EndOfPass(const std::vector<Pid>& usedCpu, const std::function<Pid()>& foreground) override;
    void RestoreGroups() override { Record(QStringLiteral("RestoreGroups")); }
    bool GroupsPending() const override { return groupsPending; }
    QStringList TakeNotices() override { return std::exchange(notices, {}); }
    std::vector<HostedProgram> TakeHostedPrograms() override { return std::exchange(hosted, {}); }
    int GetLastError() const override { return lastError_; }
    void SetLastError(int error) override { lastError_ = error; }
    QString SysErrorMessage(int error) const override;

    static constexpr std::int64_t kFrequency = 10000000;

private:
    // The live process behind a handle with `rights`; null (and the error set) otherwise.
    FakeProcess* Target(const ProcessHandle& handle, std::uint32_t rights, bool mayHaveExited = false);
    bool Fail(int error);
    void Record(const QString& entry) { log_.append(entry); }

    std::map<Pid, FakeProcess> processes_;
    std::uint64_t nextGeneration_ = 1;
    Pid foreground_ = 0;
    Pid self_ = 1;
    int processors_ = 2;
    Pid pidLimit_ = 65536;
    Pid systemPid_ = 0;
    bool bindFails_ = false;
    bool bound_ = false;
    std::int64_t counter_ = 0;
    int lastError_ = 0;
    std::set<int> enabledPrivileges_;
    QStringList log_;
};

} // namespace kelvane
