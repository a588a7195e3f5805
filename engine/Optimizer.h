#pragma once
// The optimization cycle: foreground boost, profile classes and affinities, Anti-LockUp, kill on
// sense and shutdown times, one pass over every running process per timer tick.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

#include "engine/ProcessApi.h"

namespace kelvane {

class EngineHost;
class MessageStrings;
class ProcessMonitor;
struct TProcess;

// The window's options that the cycle reads, as plain values.
struct OptimizerOptions {
    bool boost = true;      // "Boost Foreground"
    int boostIndex = 2;     // the boost class, index 0 "Low" ... 5 "RealTime"
    bool antiLockUp = false; // "Anti-LockUp CPU"
    int antiLockUpPercent = 75;
    int intervalMs = 250;   // the cycle length T
};

class Optimizer {
public:
    Optimizer(ProcessMonitor& monitor, EngineHost& host, const MessageStrings& strings);

    OptimizerOptions options;
    // The current local date-time as days since 1899-12-30: the monitor's (replaceable for tests).
    std::function<double()> now;
    // Writes the diagnostic dump for the PID being handled (set by the owner; nothing without one).
    std::function<void(Pid)> dump;

    // A timer tick: one pass when the optimizer is enabled and no pass is running.
    void TimerOptimizerTimer(bool optimizerEnabled);
    // One pass.
    void ProcessesOptimizeNT();

    // Whether the process used at least the Anti-LockUp share of the machine in the last cycle.
    bool OverThreshold(const TProcess& record) const;

private:
    void BoostForeground();
    // Gives the process that held the boost its class back at once, before another one gets it.
    void ReturnBoost(Pid pid);
    void EndOfPass();
    // What a pass does with a process: everything, only its CPU sample, or nothing at all.
    enum class Visit { Full, Sample, Skip };
    Visit VisitOf(Pid pid);
    // Whether a pass's CPU sample of every process is read by anyone: Anti-LockUp. The window reads
    // the samples its own refresh takes, not the pass's.
    bool SamplingNeeded() const;
    // `sampled`: the pass took the process's CPU sample already.
    void HandleProcess(Pid pid, bool sampled = false);
    void SampleProcess(Pid pid);
    // Before the groups are judged: whether the processes left alone used CPU since their last sample.
    void SampleSkipped(std::vector<Pid>& usedCpu);
    void ForegroundBranch(const ProcessHandle& handle, TProcess& record);
    void BackgroundBranch(const ProcessHandle& handle, TProcess& record);
    void EnforceAffinity(const ProcessHandle& handle, const TProcess& record);
    void CheckShutdownTime(Pid pid, TProcess& record);
    void SetClass(const ProcessHandle& handle, TProcess& record, std::uint32_t priorityClass);
    const QString& OwnExecutable();

    ProcessMonitor& monitor_;
    EngineHost& host_;
    const MessageStrings& strings_;
    std::vector<Pid> pids_;
    std::vector<Pid> skipped_; // processes this pass left alone
    QStringList shutdownsCame_; // executables whose one-off shutdown time came in this pass
    QString ownExecutable_;
    Pid foreground_ = 0; // the foreground process of this pass, while boosting
    bool ownExecutableKnown_ = false;
};

} // namespace kelvane
