#pragma once
// The process monitor: the process table and the process list's rows, the scans that fill them,
// CPU sampling and the display refresh. The window drives it from its timers and shows its state;
// kelvanectl drives it the same way without a window. Everything runs on one thread.

#include <QLocale>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "engine/DetailLabels.h"
#include "engine/ProcessApi.h"
#include "engine/ProcessList.h"
#include "engine/ProcessTable.h"
#include "settings/IniFile.h"

namespace kelvane {

class EngineHost;
class MessageStrings;

// A ring of usage percentages that the graphs draw: writing puts the value at the write position
// and advances it, wrapping at the end.
class UsageRing {
public:
    explicit UsageRing(std::size_t length) : values_(length > 0 ? length : 1, 0.0f) {}
    void Write(float value) {
        values_[position_] = value;
        position_ = (position_ + 1) % static_cast<std::uint32_t>(values_.size());
    }
    void Clear() {
        std::fill(values_.begin(), values_.end(), 0.0f);
        position_ = 0;
    }
    const std::vector<float>& values() const { return values_; }
    std::uint32_t position() const { return position_; }

private:
    std::vector<float> values_;
    std::uint32_t position_ = 0;
};

// The options of the window that the monitor reads.
struct MonitorOptions {
    bool profilesRefresh = true;   // "Profiles Refresh"
    int refreshIntervalMs = 500;   // the display refresh timer's interval
    bool optimizerEnabled = false; // "Optimizer Enabled" (the tray tip says "Offline" without it)
    int sortColumn = 1;            // 0 "PID" ... 10 "Shutdown Time"
    bool sortAscending = true;
};

// The four flags the window and the engine share.
struct MonitorFlags {
    bool windowVisible = false;
    bool scanBusy = false;
    bool optimizerBusy = false;
    bool affinityListUpdate = false;
};

// The texts the window shows that the monitor computes.
struct MonitorTexts {
    QString labelRefreshV; // duration of the last scan, "N ms"
    // Duration of the last optimization cycle, "N ms" (set by the optimizer); "0" before the first.
    QString labelOptV = QStringLiteral("0");
    QString statusPanel1;  // "Processes: N"
    QString statusPanel2;  // boost status
    QString trayTip;
};

// The eleven column captions of the process list.
const QStringList& ProcessListColumns();

class ProcessMonitor {
public:
    ProcessMonitor(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QString& settingsPath,
                   std::size_t ringLength = 1920, const QLocale& locale = QLocale::system());

    ProcessTable& table() { return table_; }
    const ProcessTable& table() const { return table_; }
    ProcessList& list() { return list_; }
    const ProcessList& list() const { return list_; }
    ProcessApi& api() { return api_; }
    IniFile& settings() { return settings_; }

    MonitorOptions options;
    MonitorFlags flags;
    MonitorTexts texts;
    Pid BoostPID = 0;
    // The number of the optimization pass running or last run (counted from 1).
    std::uint64_t optimizerPass = 0;
    // Whether the optimizer reads its CPU samples between passes (Anti-LockUp on). Each pass sets
    // it; without it the display refresh leaves the optimizer's samples alone.
    bool optimizerSamples = true;
    int processorCount = 1;
    // The local date-time now, as days since 30 December 1899 (replaceable for tests).
    std::function<double()> now;
    UsageRing overallUsage;
    UsageRing processUsage;

    // ---- Enumeration and scans ----
    // Binds the enumeration entries; false when they cannot be bound.
    bool AcquireLibrary();
    void ReleaseLibrary();
    // Library, privileges, own class High, full scan with refresh; each step on its own.
    void StartUp();
    void ProcessesScan(bool refresh);
    void GetProcessesOnNT();
    void QueryProcessInfo(Pid pid);
    // The last row whose caption is `pid`, or -1.
    int FindItem(std::int64_t pid) const { return list_.FindItem(pid); }
    // The record of the process behind an open handle. A record belongs to one process: when the
    // PID's record was made for another (the PID was reused), it is reset as the clean-up resets
    // it, its row goes, and the record is named afresh, so the next scan lists the new process
    // like any newly found one. References to the PID's record taken before are invalid then.
    TProcess& RecordOf(const ProcessHandle& handle);

    // ---- CPU sampling ----
    void UpdateOptimizerTimes(const ProcessHandle& handle, Pid pid);
    void UpdateProcessTimes();
    void GetTheProcessTimes(Pid pid);
    void SetProcessTimes(Pid pid);
    void CalculateCPUUsage();
    void CalculateCPUUsageForProcess();
    DetailLabels DetailLabelsOf(Pid pid) const;

    // ---- The display refresh ----
    void TimerRefreshDisplayOn();
    int ListViewProcessesCompare(const ProcessRow& item1, const ProcessRow& item2) const;
    void SortList();
    void ListViewProcessesColumnClick(int column);
    void LoadAndDisplayListCPUAffinity(ProcessRow& row);
    // Status panels and tray tip from the current state.
    void UpdateStatusTexts();

    // The row image of a record: 0 or 2, then 3 for Never.
    static int BaseImage(const TProcess& record);

    // ---- Single-process operations, restore and clean-up ----
    // Opens the process that `pid`'s record (and so its list row) was made for. Fails with
    // NoSuchProcess once that process has ended, also when another process has the PID now; a PID
    // without a record of a process opens whatever runs behind it.
    ProcessHandle OpenRowProcess(std::uint32_t access, Pid pid);
    // Whether `pid`'s record still belongs to the process of `identity` (0 for none: any process).
    bool RecordStillOf(Pid pid, std::uint64_t identity) const;
    // Sets the class and records the class read back; false (error in GetLastError) when the
    // process cannot be opened or the system refuses the class.
    bool SetPriority(Pid pid, std::uint32_t priorityClass);
    // Terminates the process; false when it cannot be opened or the system refuses. Kelvane never
    // ends its own process (a profile or shutdown time on its own executable): it would go without
    // giving the processes it changed their classes back. That refusal's error is NotPermitted.
    bool KillSelectedProcess(Pid pid);
    // Whether `pid` is Kelvane's own process.
    bool IsOwnProcess(Pid pid);
    // What the user should know of since the last call, each once per run: the limitations the
    // port met, what the scans met (a stored time that cannot be read), and, for each interpreter
    // or loader that has a profile, that the profile no longer reaches the programs it runs.
    QStringList TakeNotices();
    enum class AffinityResult { Set, OpenFailed, Refused };
    // The affinity list's marks (one per processor; from index 32 on they have no bit) as a mask,
    // built as a signed 32-bit value and widened with its sign.
    static std::uint64_t MaskOfMarks(const std::vector<bool>& marks);
    // Sets the mask and, when the system accepts it, stores it in CPUAffinity. The window shows the
    // system's text when the open fails and ignores a refused mask.
    AffinityResult SetCPUAffinity(Pid pid, std::uint64_t mask);
    // The process's mask as check marks through the host, with the affinity-list update flag set.
    void LoadAndDisplayCPUAffinity(Pid pid);
    // Exit: every process back to the class it had when first seen.
    void ProcessesRestorePriorities();
    void CleanUp1Click();
    void TimerCleanUpTimer();
    // A one-off shutdown time of `executable` came (by `at`): it goes from the records of that
    // executable that still hold it and from the settings file, when the file's one has come.
    IniResult EndOneOffShutdown(const QString& executable, double at);
    // One switch for the optimization cycle and the display refresh scan together.
    void SwitchKelvane();
    // The error texts of the priority and terminate commands, with the system's text.
    QString PriorityErrorText() const;
    QString TerminateErrorText() const;

private:
    void CreateRow(Pid pid);
    // Names one process as the full scan does; false when it could not be opened.
    bool NameProcess(Pid pid, bool refresh);
    // Names a process that no pass has named yet (started after the full scan, or not Kelvane's to
    // change, so the cycle passes it by): "Unknown" when it runs but cannot be read.
    void NameNewProcess(Pid pid);
    void LoadProfile(TProcess& record, std::optional<std::uint64_t> maskRead);
    void UpdateRowImageForState(ProcessRow& row, const TProcess& record) const;
    bool IsRunning(const ProcessHandle& handle);
    void ReadBackClass(const ProcessHandle& handle, TProcess& record);
    QString DescriptionOf(Pid pid, const QString& name) const;
    QString CompanyOf(Pid pid, const QString& name) const;

    ProcessApi& api_;
    EngineHost& host_;
    const MessageStrings& strings_;
    IniFile settings_;
    QLocale locale_;
    ProcessTable table_;
    ProcessList list_;
    Pid systemPid_ = 0;
    std::vector<Pid> pids_;                 // the shared PID buffer of the enumerations
    bool fullScanDone_ = false;             // the display refresh names new processes after it
    std::optional<IniDocument> profiles_;   // the settings file as read once per scan pass
    bool displaySamplesLapsed_ = true;      // no display samples were taken on the last tick
    QStringList notices_;                   // not taken yet
    QSet<QString> unreadTimesTold_;         // executables whose unreadable time was reported
};

} // namespace kelvane
