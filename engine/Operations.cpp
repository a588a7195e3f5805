// Operations on one process (class, affinity, termination) and on the whole table (restore of all
// classes at exit, clean-up of ended processes).

#include "engine/EngineHost.h"
#include "engine/FlagScope.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"

namespace kelvane {

void ProcessMonitor::ReadBackClass(const ProcessHandle& handle, TProcess& record) {
    record.Priority = static_cast<std::uint16_t>(api_.GetPriorityClass(handle));
}

ProcessHandle ProcessMonitor::OpenRowProcess(std::uint32_t access, Pid pid) {
    if (!table_.InRange(pid)) {
        api_.SetLastError(PortError::NoSuchProcess); // no process has such a PID
        return {};
    }
    ProcessHandle handle = api_.OpenProcess(access, pid);
    if (!handle)
        return {};
    const TProcess* record = table_.Find(pid);
    const bool another = record != nullptr && record->Identity != 0 && handle.identity() != record->Identity;
    if (another || !IsRunning(handle)) {
        // The row's process has ended; what runs behind its PID now is none of the row's business.
        api_.SetLastError(PortError::NoSuchProcess);
        return {};
    }
    return handle;
}

bool ProcessMonitor::RecordStillOf(Pid pid, std::uint64_t identity) const {
    const TProcess* record = table_.Find(pid);
    return identity == 0 || (record != nullptr && record->InUse() && record->Identity == identity);
}

bool ProcessMonitor::SetPriority(Pid pid, std::uint32_t priorityClass) {
    const ProcessHandle handle = OpenRowProcess(AccessMask::Optimize, pid);
    if (!handle)
        return false;
    TProcess& record = RecordOf(handle);
    const bool accepted = api_.SetPriorityClass(handle, priorityClass);
    ReadBackClass(handle, record); // a successful read leaves the refusal's error in place
    return accepted;
}

bool ProcessMonitor::IsOwnProcess(Pid pid) {
    const ProcessHandle self = api_.GetCurrentProcess();
    return self && self.pid() == pid;
}

bool ProcessMonitor::KillSelectedProcess(Pid pid) {
    const ProcessHandle handle = OpenRowProcess(AccessMask::Terminate, pid);
    if (!handle)
        return false;
    if (IsOwnProcess(pid)) {
        api_.SetLastError(PortError::NotPermitted);
        return false;
    }
    std::uint32_t exitCode = 0;
    if (!api_.GetExitCodeProcess(handle, exitCode))
        return false;
    return api_.TerminateProcess(handle, exitCode);
}

std::uint64_t ProcessMonitor::MaskOfMarks(const std::vector<bool>& marks) {
    std::uint32_t mask = 0;
    for (std::size_t i = 0; i < marks.size() && i < 32; ++i)
        if (marks[i])
            mask |= 1U << i;
    return SignExtendAffinity(mask);
}

ProcessMonitor::AffinityResult ProcessMonitor::SetCPUAffinity(Pid pid, std::uint64_t mask) {
    const ProcessHandle handle = OpenRowProcess(AccessMask::SetAffinity, pid);
    if (!handle)
        return AffinityResult::OpenFailed;
    TProcess& record = RecordOf(handle);
    if (!api_.SetProcessAffinityMask(handle, mask))
        return AffinityResult::Refused;
    record.CPUAffinity = mask;
    return AffinityResult::Set;
}

void ProcessMonitor::LoadAndDisplayCPUAffinity(Pid pid) {
    const ProcessHandle handle = OpenRowProcess(AccessMask::Query, pid);
    std::uint64_t processMask = 0;
    std::uint64_t systemMask = 0;
    if (!handle || !api_.GetProcessAffinityMask(handle, processMask, systemMask))
        return;
    std::vector<bool> marks(static_cast<std::size_t>(processorCount));
    for (std::size_t i = 0; i < marks.size(); ++i)
        marks[i] = i < 64 && ((processMask >> i) & 1U) != 0;
    const FlagScope updating(flags.affinityListUpdate);
    host_.SetAffinityMarks(marks);
}

void ProcessMonitor::ProcessesRestorePriorities() {
    const FlagScope busy(flags.optimizerBusy);
    api_.EnumProcesses(pids_);
    for (const Pid pid : pids_) {
        if (!table_.InRange(pid))
            continue;
        const ProcessHandle handle = api_.OpenProcess(AccessMask::Optimize, pid);
        if (!IsRunning(handle))
            continue;
        TProcess& record = RecordOf(handle);
        // A process Kelvane never looked at (a new one behind a reused PID) has nothing to go back to.
        if (record.Never || record.OrginalPriority == 0)
            continue;
        const QString path = api_.GetModuleFileNameExW(handle, 0);
        if (path.isEmpty())
            continue;
        record.Name = path;
        ModuleHandle module = 0;
        if (!api_.EnumProcessModules(handle, module))
            continue;
        try {
            const QString modulePath = api_.GetModuleFileNameExW(handle, module);
            if (!modulePath.isEmpty())
                record.Name = modulePath;
            ReadBackClass(handle, record);
            if (record.Priority != record.OrginalPriority) {
                api_.SetPriorityClass(handle, record.OrginalPriority);
                ReadBackClass(handle, record);
                record.Boosted = false;
                record.Throttled = false;
            }
        } catch (...) {
        }
    }
    api_.RestoreGroups();
}

void ProcessMonitor::CleanUp1Click() {
    try {
        for (int i = list_.count() - 1; i >= 0; --i) {
            bool ok = false;
            const qulonglong pid = list_.at(i).caption.toULongLong(&ok);
            if (!ok || pid == 0)
                continue;
            const ProcessHandle handle =
                pid < table_.limit() ? api_.OpenProcess(AccessMask::Query, static_cast<Pid>(pid)) : ProcessHandle();
            if (!IsRunning(handle)) {
                table_.Reset(static_cast<Pid>(pid));
                list_.Delete(i);
            }
        }
    } catch (...) {
        // ends the walk silently
    }
}

void ProcessMonitor::TimerCleanUpTimer() {
    try {
        CleanUp1Click();
    } catch (...) {
        host_.MessageBox(QStringLiteral("Exception: TFormMain.TimerCleanUpTimer"), MessageKind::Error);
    }
}

void ProcessMonitor::SwitchKelvane() {
    options.optimizerEnabled = !options.optimizerEnabled;
    options.profilesRefresh = options.optimizerEnabled;
}

QString ProcessMonitor::PriorityErrorText() const {
    return strings_[Msg::ErrorSettingPriority] + u'\n' + api_.LastErrorText() + u'.';
}

QString ProcessMonitor::TerminateErrorText() const {
    return strings_[Msg::ErrorTerminating] + u'\n' + api_.LastErrorText();
}

} // namespace kelvane
