// CPU time sampling: the optimizer's and the display's sample streams, the row texts derived from
// the display sample, the total and per-process usage, and the detail labels.

#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"
#include "engine/RowTexts.h"

#include <algorithm>

namespace kelvane {

void ProcessMonitor::UpdateOptimizerTimes(const ProcessHandle& handle, Pid pid) {
    ProcessTimes times;
    api_.GetProcessTimes(handle, times);
    TProcess& record = table_[pid];
    record.dCPUTimeOptimizer = record.OptimizerSampleStale ? 0 : times.Total() - record.CPUTimeOptimizer;
    record.CPUTimeOptimizer = times.Total();
    record.OptimizerSampleStale = false;
}

void ProcessMonitor::UpdateProcessTimes() {
    if (!flags.windowVisible) {
        displaySamplesLapsed_ = true;
        return;
    }
    // After a pause (the window hidden, the refresh off, a tick that skipped its scan) a delta would
    // hold the whole pause, shown as one interval's: these samples are only the next ones' baseline.
    const bool baseline = displaySamplesLapsed_;
    displaySamplesLapsed_ = false;
    for (int i = list_.count() - 1; i >= 0; --i) {
        bool ok = false;
        const qulonglong pid = list_.at(i).caption.toULongLong(&ok);
        if (!ok || pid >= table_.limit())
            continue;
        GetTheProcessTimes(static_cast<Pid>(pid));
        if (baseline)
            table_[static_cast<Pid>(pid)].dCPUTime = 0;
        SetProcessTimes(static_cast<Pid>(pid));
    }
}

void ProcessMonitor::GetTheProcessTimes(Pid pid) {
    if (pid == 0 || !table_.InRange(pid))
        return;
    const ProcessHandle handle = api_.OpenProcess(AccessMask::Query, pid);
    if (!IsRunning(handle)) {
        if (pid != systemPid_)
            table_[pid].Active = false;
        return;
    }
    TProcess& record = RecordOf(handle);
    record.Active = true;
    ProcessTimes times;
    api_.GetProcessTimes(handle, times);
    record.dCPUTime = times.Total() - record.CPUTime;
    record.CPUTime = times.Total();
}

void ProcessMonitor::SetProcessTimes(Pid pid) {
    const int index = list_.FindPid(pid);
    if (index < 0 || !table_.InRange(pid))
        return;
    ProcessRow& row = list_.at(index);
    const TProcess& record = table_[pid];
    row.subItems[3] = CpuTimeText(record.CPUTime);
    if (!record.Active) {
        row.subItems[1] = strings_[Msg::NotAvailable];
        row.subItems[2] = QStringLiteral(" - ");
        row.subItems[3] = QStringLiteral(" - ");
        return;
    }
    row.subItems[2] =
        CpuShareText(CpuShare(record.dCPUTime, options.refreshIntervalMs, processorCount), locale_);
}

void ProcessMonitor::CalculateCPUUsage() {
    // The idle row shows the remainder of the last sum: it is no part of the next one.
    const int idle = list_.FindPid(0);
    float sum = 0;
    for (int i = 0; i < list_.count(); ++i)
        if (i != idle)
            sum += ShareOfText(list_.at(i).subItems[2], locale_);
    sum = std::clamp(sum, 0.0f, 100.0f);
    overallUsage.Write(sum);
    if (idle >= 0)
        list_.at(idle).subItems[2] = CpuShareText(100.0 - static_cast<double>(sum), locale_);
}

void ProcessMonitor::CalculateCPUUsageForProcess() {
    const int selected = list_.SelectedIndex();
    if (selected < 0)
        return;
    processUsage.Write(std::clamp(ShareOfText(list_.at(selected).subItems[2], locale_), 0.0f, 100.0f));
}

DetailLabels ProcessMonitor::DetailLabelsOf(Pid pid) const {
    DetailLabels labels;
    const TProcess* record = table_.Find(pid);
    const TProcess zero;
    const TProcess& r = record != nullptr ? *record : zero;
    labels.cpuTime = QString::number(r.CPUTime);
    const int index = list_.FindPid(pid);
    if (index >= 0)
        labels.cpuTimeRow = list_.at(index).subItems[3];
    if (r.dCPUTime != 0) {
        labels.cpuDelta = DeltaMsText(r.dCPUTime, locale_);
        labels.cpuDeltaRaw = QString::number(r.dCPUTime);
    }
    return labels;
}

} // namespace kelvane
