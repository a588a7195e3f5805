#include "engine/Optimizer.h"

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/PriorityClass.h"
#include "engine/ProcessMonitor.h"
#include "engine/ShutdownTimes.h"
#include "util/DateTimeText.h"
#include "util/ElapsedText.h"

#include <QDateTime>

namespace kelvane {

namespace {

bool IsRunning(ProcessApi& api, const ProcessHandle& handle) {
    std::uint32_t exitCode = 0;
    return handle && api.GetExitCodeProcess(handle, exitCode) && exitCode == STILL_ACTIVE;
}

} // namespace

Optimizer::Optimizer(ProcessMonitor& monitor, EngineHost& host, const MessageStrings& strings)
    : now([&monitor] { return monitor.now(); }), monitor_(monitor), host_(host), strings_(strings) {}

const QString& Optimizer::OwnExecutable() {
    if (!ownExecutableKnown_) {
        ProcessApi& api = monitor_.api();
        const ProcessHandle self = api.GetCurrentProcess();
        ownExecutable_ = self ? api.GetModuleFileNameExW(self, 0) : QString();
        ownExecutableKnown_ = !ownExecutable_.isEmpty();
    }
    return ownExecutable_;
}

bool Optimizer::OverThreshold(const TProcess& record) const {
    const std::int64_t processors = std::max(monitor_.processorCount, 1);
    const std::int64_t threshold =
        static_cast<std::int64_t>(options.intervalMs) * options.antiLockUpPercent * 100;
    return record.dCPUTimeOptimizer / processors >= threshold;
}

void Optimizer::SetClass(const ProcessHandle& handle, TProcess& record, std::uint32_t priorityClass) {
    ProcessApi& api = monitor_.api();
    api.SetPriorityClass(handle, priorityClass);
    record.Priority = static_cast<std::uint16_t>(api.GetPriorityClass(handle));
}

void Optimizer::TimerOptimizerTimer(bool optimizerEnabled) {
    if (!optimizerEnabled || monitor_.flags.optimizerBusy)
        return;
    try {
        ProcessesOptimizeNT();
    } catch (...) {
        host_.MessageBox(QStringLiteral("Exception: TFormMain.TimerOptimizerTimer"), MessageKind::Error);
    }
}

void Optimizer::ProcessesOptimizeNT() {
    ProcessApi& api = monitor_.api();
    const std::int64_t start = api.QueryPerformanceCounter();
    monitor_.flags.optimizerBusy = true;
    ++monitor_.optimizerPass;
    monitor_.optimizerSamples = SamplingNeeded();
    skipped_.clear();
    shutdownsCame_.clear();
    Pid current = 0;
    try {
        api.EnumProcesses(pids_);
        if (options.boost)
            BoostForeground();
        else
            monitor_.BoostPID = 0;
        for (const Pid pid : pids_) {
            if (!monitor_.table().InRange(pid))
                continue;
            current = pid;
            switch (VisitOf(pid)) {
            case Visit::Full:
                HandleProcess(pid);
                break;
            case Visit::Sample:
                SampleProcess(pid);
                break;
            case Visit::Skip: {
                TProcess& record = monitor_.table()[pid];
                record.dCPUTimeOptimizer = 0; // no sample of this cycle
                record.OptimizerSampleStale = true;
                skipped_.push_back(pid);
                break;
            }
            }
            CheckShutdownTime(pid, monitor_.table()[pid]);
        }
        // The one-off times that came have ended what ran then: they are over.
        for (const QString& executable : shutdownsCame_)
            if (const IniResult result = monitor_.EndOneOffShutdown(executable, now()); !result)
                host_.MessageBox(result.Message(), MessageKind::Error);
        // The detail labels follow every pass, also one that handled no process in full.
        if (monitor_.flags.windowVisible && !skipped_.empty()) {
            const int selected = monitor_.list().SelectedIndex();
            if (selected >= 0)
                host_.ShowDetailLabels(
                    monitor_.DetailLabelsOf(monitor_.list().at(selected).caption.toUInt()));
        }
    } catch (...) {
        if (dump)
            dump(current);
    }
    EndOfPass();
    monitor_.flags.optimizerBusy = false;
    monitor_.texts.labelOptV = ElapsedMsText(start, api.QueryPerformanceCounter(), api.QueryPerformanceFrequency());
}

void Optimizer::EndOfPass() {
    // The scheduling groups follow the classes set in this pass, once, judged by which processes
    // used CPU in the last cycle.
    try {
        std::vector<Pid> usedCpu;
        for (const Pid pid : pids_) {
            const TProcess* record = monitor_.table().Find(pid);
            if (record != nullptr && record->dCPUTimeOptimizer > 0)
                usedCpu.push_back(pid);
        }
        ProcessApi& api = monitor_.api();
        if (!skipped_.empty() && api.GroupsPending())
            SampleSkipped(usedCpu);
        // Boosting asked for the foreground already; otherwise the port asks only if it must.
        monitor_.api().EndOfPass(usedCpu, [this, &api] {
            return options.boost ? foreground_ : api.GetForegroundProcessId();
        });
    } catch (...) {
    }
}

bool Optimizer::SamplingNeeded() const { return options.antiLockUp; }

Optimizer::Visit Optimizer::VisitOf(Pid pid) {
    const TProcess* record = monitor_.table().Find(pid);
    if (record == nullptr || pid == monitor_.BoostPID)
        return Visit::Full;
    const std::uint64_t listed = monitor_.api().ListedIdentity(pid);
    if (listed == 0)
        return Visit::Full; // the port cannot tell without opening it
    if (record->Boosted || record->Throttled)
        return Visit::Full; // a class of Kelvane's to return, whatever an earlier open said
    if (record->RefusedIdentity != 0) {
        // Not Kelvane's to change: tried again about every 64 passes, in case that changed.
        if (record->RefusedIdentity == listed && (monitor_.optimizerPass + pid) % 64 != 0)
            return Visit::Skip;
        return Visit::Full;
    }
    // A new process behind the PID, or one a pass has work with: profiles, the boost's return,
    // Anti-LockUp's return, kill on sense, a held affinity, and Kelvane's own pause.
    if (!record->InUse() || record->Identity != listed || record->OrginalPriority == 0 || record->Managed ||
        record->Boosted || record->Throttled || record->Kill || record->CPUAffinity != 0 ||
        record->Name == OwnExecutable())
        return Visit::Full;
    return SamplingNeeded() ? Visit::Sample : Visit::Skip;
}

void Optimizer::SampleProcess(Pid pid) {
    ProcessApi& api = monitor_.api();
    {
        const ProcessHandle handle = api.OpenProcess(AccessMask::Query, pid);
        if (!IsRunning(api, handle))
            return;
        const bool reused = monitor_.table()[pid].Identity != handle.identity();
        TProcess& record = monitor_.RecordOf(handle);
        if (reused) {
            HandleProcess(pid); // a new process: read like any new one
            return;
        }
        record.Active = true;
        monitor_.UpdateOptimizerTimes(handle, pid);
        if (!options.antiLockUp || record.Never || record.Static || !OverThreshold(record))
            return;
    }
    HandleProcess(pid, true); // the hog is lowered as a full pass lowers it
}

void Optimizer::SampleSkipped(std::vector<Pid>& usedCpu) {
    // Whether each used CPU since its last sample: a wider window than one cycle, which only ever
    // keeps a group from changing, never changes one that should stay.
    ProcessApi& api = monitor_.api();
    for (const Pid pid : skipped_) {
        const ProcessHandle handle = api.OpenProcess(AccessMask::Query, pid);
        if (!IsRunning(api, handle))
            continue;
        TProcess& record = monitor_.table()[pid];
        if (record.Identity != handle.identity())
            continue;
        ProcessTimes times;
        if (!api.GetProcessTimes(handle, times))
            continue;
        if (times.Total() > record.CPUTimeOptimizer)
            usedCpu.push_back(pid);
        record.CPUTimeOptimizer = times.Total();
        record.OptimizerSampleStale = false;
    }
}

void Optimizer::BoostForeground() {
    ProcessApi& api = monitor_.api();
    ProcessTable& table = monitor_.table();
    Pid f = 0;
    try {
        f = api.GetForegroundProcessId();
        foreground_ = f;
        if (!table.InRange(f))
            f = 0;
        if (monitor_.BoostPID != 0 && monitor_.BoostPID != f)
            ReturnBoost(monitor_.BoostPID); // the focus left it: never two boosted at once
        TProcess& target = table[f];
        if (target.Name == OwnExecutable()) {
            monitor_.BoostPID = 0;
            return;
        }
        if (target.Never || target.Static || target.OrginalPriority == 0) {
            monitor_.BoostPID = f; // the target, but the boost never changes its class
            return;
        }
        if (monitor_.BoostPID == f)
            return;
        const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, f);
        if (!IsRunning(api, handle)) {
            // Not Kelvane's to change (or gone): nothing holds the boost, so the process that had
            // it gets its class back in this pass.
            monitor_.BoostPID = 0;
            return;
        }
        const bool reused = target.Identity != 0 && target.Identity != handle.identity();
        TProcess& record = monitor_.RecordOf(handle); // `target` is gone when the PID was reused
        if (reused) {
            monitor_.BoostPID = f; // another process behind the PID: boosted once the pass has read it afresh
            return;
        }
        record.RefusedIdentity = 0; // opened for changes: the passes visit it again
        if (PriorityClassToIndex(record.Priority) < options.boostIndex) {
            if (!record.Managed)
                record.OptimizeProfile = record.OrginalPriority; // the class to return to
            SetClass(handle, record, IndexToPriorityClass(options.boostIndex));
            record.Boosted = true;
        }
        monitor_.BoostPID = f;
    } catch (...) {
        const TProcess* target = table.Find(f);
        const TProcess* previous = table.Find(monitor_.BoostPID);
        host_.MessageBox(strings_[Msg::BoostError] + QStringLiteral("\nCurrent BoostPID: ") + QString::number(f) +
                             QStringLiteral("\nProcess's Handle: ") + QString::number(f) +
                             QStringLiteral("\nProcess: ") + (target != nullptr ? target->Name : QString()) +
                             QStringLiteral("\nPrevious BoostPID: ") + QString::number(monitor_.BoostPID) +
                             QStringLiteral("\nProcess: ") + (previous != nullptr ? previous->Name : QString()),
                         MessageKind::Warning);
        if (dump)
            dump(f);
    }
}

void Optimizer::ReturnBoost(Pid pid) {
    const TProcess* known = monitor_.table().Find(pid);
    if (known == nullptr || !known->Boosted || known->Throttled) // Anti-LockUp's hold stays the pass's
        return;
    TProcess* record = &monitor_.table()[pid];
    ProcessApi& api = monitor_.api();
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, pid);
    if (IsRunning(api, handle) && handle.identity() == record->Identity)
        BackgroundBranch(handle, *record);
}

void Optimizer::HandleProcess(Pid pid, bool sampled) {
    ProcessApi& api = monitor_.api();
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, pid);
    if (!IsRunning(api, handle)) {
        monitor_.table()[pid].RefusedIdentity = api.ListedIdentity(pid);
        return;
    }
    TProcess& record = monitor_.RecordOf(handle);
    record.RefusedIdentity = 0;
    record.Active = true;
    if (record.Kill && !monitor_.IsOwnProcess(pid)) { // kill on sense; the pass goes on with this process
        monitor_.KillSelectedProcess(pid);
        record.Active = false;
    }
    if (!sampled)
        monitor_.UpdateOptimizerTimes(handle, pid);
    ModuleHandle module = 0;
    if (api.EnumProcessModules(handle, module)) {
        const QString path = api.GetModuleFileNameExW(handle, module);
        if (!path.isEmpty())
            record.Name = path;
        record.Priority = static_cast<std::uint16_t>(api.GetPriorityClass(handle));
        if (record.OrginalPriority == 0)
            record.OrginalPriority = record.Priority;
        if (pid == monitor_.BoostPID)
            ForegroundBranch(handle, record);
        else
            BackgroundBranch(handle, record);
        EnforceAffinity(handle, record);
    }
    if (monitor_.flags.windowVisible) {
        const int selected = monitor_.list().SelectedIndex();
        if (selected >= 0)
            host_.ShowDetailLabels(monitor_.DetailLabelsOf(monitor_.list().at(selected).caption.toUInt()));
    }
    if (options.antiLockUp && !record.Never && !record.Static) {
        if (OverThreshold(record)) {
            SetClass(handle, record, IDLE_PRIORITY_CLASS);
            record.Throttled = true;
            record.Boosted = true;
        } else {
            record.Throttled = false;
        }
    }
    // Kelvane pauses itself when its own pass took the Anti-LockUp share of one processor.
    if (record.Name == OwnExecutable() &&
        record.dCPUTimeOptimizer >= static_cast<std::int64_t>(options.intervalMs) * options.antiLockUpPercent * 100)
        api.Sleep(100);
}

void Optimizer::ForegroundBranch(const ProcessHandle& handle, TProcess& record) {
    if (record.Throttled && !OverThreshold(record)) {
        try {
            if (!record.Never) {
                SetClass(handle, record, record.Managed ? record.OptimizeProfile : record.OrginalPriority);
                record.Throttled = false;
                record.Boosted = true;
            }
        } catch (...) {
        }
        return;
    }
    if (record.Never || record.Static)
        return;
    // A boost target that lowered its own class while it keeps the focus is raised again.
    if (PriorityClassToIndex(record.Priority) < options.boostIndex) {
        if (!record.Managed)
            record.OptimizeProfile = record.OrginalPriority;
        SetClass(handle, record, IndexToPriorityClass(options.boostIndex));
        record.Boosted = true;
    }
}

void Optimizer::BackgroundBranch(const ProcessHandle& handle, TProcess& record) {
    if (!(record.Managed || record.Boosted) || record.Never)
        return;
    try {
        if (record.Throttled) {
            SetClass(handle, record, record.Managed ? record.OptimizeProfile : record.OrginalPriority);
            record.Boosted = false;
            record.Throttled = false;
            return;
        }
        if (record.Priority != record.OptimizeProfile) {
            SetClass(handle, record, record.OptimizeProfile);
            record.Boosted = false;
        }
        if (record.Boosted) { // the class already equalled the profile's
            ProcessApi& api = monitor_.api();
            if (record.Priority != record.OrginalPriority)
                api.SetPriorityClass(handle, record.OrginalPriority);
            record.Priority = static_cast<std::uint16_t>(api.GetPriorityClass(handle));
            record.Boosted = false;
        }
    } catch (...) {
    }
}

void Optimizer::EnforceAffinity(const ProcessHandle& handle, const TProcess& record) {
    if (record.Never)
        return;
    ProcessApi& api = monitor_.api();
    std::uint64_t processMask = 0;
    std::uint64_t systemMask = 0;
    if (!api.GetProcessAffinityMask(handle, processMask, systemMask))
        return;
    // Compared over the processors that exist: a stored mask naming absent ones (or none) would
    // otherwise be set again on every pass, thread by thread.
    const std::uint64_t wanted = record.CPUAffinity & systemMask;
    if (wanted != 0 && wanted != (processMask & systemMask))
        api.SetProcessAffinityMask(handle, record.CPUAffinity);
}

void Optimizer::CheckShutdownTime(Pid pid, TProcess& record) {
    if (record.ShutDownTime == 0 || monitor_.IsOwnProcess(pid))
        return;
    const double current = now();
    bool due = false;
    if (record.DailyShutDown) {
        const QTime set = TimeOfDays(record.ShutDownTime);
        const QTime time = TimeOfDays(current);
        due = set.hour() == time.hour() && set.minute() == time.minute() && time.second() >= set.second();
    } else if (OneOffTimeCame(record, current)) {
        due = true;
        record.ShutDownTime = 0;
        if (!shutdownsCame_.contains(record.Name))
            shutdownsCame_.append(record.Name); // other processes holding it this pass still end
    }
    if (!due)
        return;
    monitor_.KillSelectedProcess(pid);
    const int row = monitor_.FindItem(pid);
    if (row >= 0)
        monitor_.list().Delete(row);
}

} // namespace kelvane
