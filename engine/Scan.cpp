// Finding the running processes: binding the enumeration, the full scan, the display refresh scan
// with the creation of rows and the reading of profiles, and the per-process query.

#include "engine/EngineHost.h"
#include "engine/FlagScope.h"
#include "engine/MessageStrings.h"
#include "engine/PriorityClass.h"
#include "engine/Privileges.h"
#include "engine/ProcessMonitor.h"
#include "engine/RowTexts.h"
#include "engine/ShutdownTimes.h"
#include "settings/ValueCodec.h"
#include "util/ElapsedText.h"
#include "util/FileVersion.h"

namespace kelvane {

namespace {

const QString kIdleName = QStringLiteral("System Idle Process");
const QString kSystemName = QStringLiteral("SYSTEM");

} // namespace

const QStringList& ProcessListColumns() {
    static const QStringList columns = {
        QStringLiteral("PID"),          QStringLiteral("Process Name"), QStringLiteral("Priority"),
        QStringLiteral("CPU"),          QStringLiteral("CPU Time"),     QStringLiteral("CPU Affinity"),
        QStringLiteral("Description"),  QStringLiteral("Version"),      QStringLiteral("Company"),
        QStringLiteral("Location"),     QStringLiteral("Shutdown Time")};
    return columns;
}

ProcessMonitor::ProcessMonitor(ProcessApi& api, EngineHost& host, const MessageStrings& strings,
                               const QString& settingsPath, std::size_t ringLength, const QLocale& locale)
    : now(LocalNowDays), overallUsage(ringLength), processUsage(ringLength), api_(api), host_(host), strings_(strings),
      settings_(settingsPath), locale_(locale), table_(api.PidLimit()) {
    processorCount = api.GetNumberOfProcessors();
    systemPid_ = api.SystemPid();
}

bool ProcessMonitor::AcquireLibrary() { return api_.BindEnumeration(); }

void ProcessMonitor::ReleaseLibrary() { api_.ReleaseEnumeration(); }

bool ProcessMonitor::IsRunning(const ProcessHandle& handle) {
    std::uint32_t exitCode = 0;
    return handle && api_.GetExitCodeProcess(handle, exitCode) && exitCode == STILL_ACTIVE;
}

TProcess& ProcessMonitor::RecordOf(const ProcessHandle& handle) {
    const Pid pid = handle.pid();
    const std::uint64_t identity = handle.identity();
    TProcess* record = &table_[pid];
    if (identity == 0 || record->Identity == identity)
        return *record;
    if (record->Identity != 0) {
        // Another process has this PID now: nothing of the old one's record applies to it.
        table_.Reset(pid);
        for (int row = list_.FindPid(pid); row >= 0; row = list_.FindPid(pid))
            list_.Delete(row);
        if (BoostPID == pid)
            BoostPID = 0;
        record = &table_[pid];
        // Named as the full scan names a process, so that the next scan lists it.
        const ProcessHandle named = handle.has(AccessMask::Scan) ? ProcessHandle() : api_.OpenProcess(AccessMask::Scan, pid);
        const ProcessHandle& reader = handle.has(AccessMask::Scan) ? handle : named;
        if (IsRunning(reader) && reader.identity() == identity)
            record->Name = api_.GetModuleFileNameExW(reader, 0);
        if (record->Name.isEmpty())
            record->Name = QStringLiteral("Unknown");
    }
    record->Identity = identity;
    return *record;
}

void ProcessMonitor::StartUp() {
    // Each step on its own: a failure in one does not keep the next from running.
    try {
        AcquireLibrary();
    } catch (...) {
    }
    try {
        SetPrivileges(api_, true);
    } catch (...) {
    }
    try {
        RaiseOwnPriority(api_);
    } catch (...) {
    }
    try {
        ProcessesScan(true);
    } catch (...) {
    }
}

void ProcessMonitor::ProcessesScan(bool refresh) {
    struct Pseudo {
        ProcessMonitor& m;
        ~Pseudo() {
            m.table_[0].Name = kIdleName;
            if (m.systemPid_ != 0 && m.table_.InRange(m.systemPid_))
                m.table_[m.systemPid_].Name = kSystemName;
        }
    } pseudo{*this}; // named at the end, also when something fails on the way

    api_.EnumProcesses(pids_);
    for (const Pid pid : pids_) {
        if (!table_.InRange(pid))
            continue;
        if (systemPid_ != 0 && table_.InRange(systemPid_))
            table_[systemPid_].Name = kSystemName;
        if (!NameProcess(pid, refresh))
            table_[pid].Name = QStringLiteral("Unknown");
    }
    fullScanDone_ = true;
}

bool ProcessMonitor::NameProcess(Pid pid, bool refresh) {
    const ProcessHandle handle = api_.OpenProcess(AccessMask::Scan, pid);
    if (!IsRunning(handle))
        return false;
    TProcess& record = RecordOf(handle);
    record.Active = true;
    const QString path = api_.GetModuleFileNameExW(handle, 0);
    if (path.isEmpty())
        return true;
    record.Name = path;
    ModuleHandle module = 0;
    if (api_.EnumProcessModules(handle, module)) {
        const QString modulePath = api_.GetModuleFileNameExW(handle, module);
        if (!modulePath.isEmpty())
            record.Name = modulePath;
        if (refresh) {
            record.Priority = static_cast<std::uint16_t>(api_.GetPriorityClass(handle));
            record.OrginalPriority = record.Priority;
        }
        ProcessTimes times;
        api_.GetProcessTimes(handle, times);
        record.dCPUTime = times.Total() - record.CPUTime;
        record.CPUTime = times.Total();
    }
    return true;
}

void ProcessMonitor::NameNewProcess(Pid pid) {
    if (NameProcess(pid, false))
        return;
    // Not readable, yet running (another user's): listed as the full scan lists it. One that
    // has ended meanwhile stays unnamed.
    if (IsRunning(api_.OpenProcess(AccessMask::Query, pid)))
        table_[pid].Name = QStringLiteral("Unknown");
}

QString ProcessMonitor::DescriptionOf(Pid pid, const QString& name) const {
    if (pid == 0)
        return kIdleName;
    if (pid == systemPid_)
        return QStringLiteral("Linux kernel");
    return GetFileDescription(name);
}

QString ProcessMonitor::CompanyOf(Pid pid, const QString& name) const {
    if (pid == 0 || pid == systemPid_)
        return QStringLiteral("Linux");
    return GetCompanyName(name);
}

void ProcessMonitor::LoadProfile(TProcess& record, std::optional<std::uint64_t> maskRead) {
    if (!profiles_)
        profiles_ = settings_.Load(); // once per pass, and only when a row is made
    const IniDocument& doc = *profiles_;
    // The profile of exactly this executable: Linux paths are case-sensitive.
    const QString& section = record.Name;
    if (doc.Keys(section, SectionCase::Exact).isEmpty())
        return;
    auto read = [&doc, &section](const char* key) {
        return doc.Read(section, QLatin1String(key), SectionCase::Exact);
    };
    record.OptimizeProfile = static_cast<std::uint16_t>(ReadIniInteger(read("Priority"), record.OrginalPriority));
    record.Kill = ReadIniBool(read("AutoKill"), false);
    record.Never = ReadIniBool(read("Tabu"), false);
    record.Static = ReadIniBool(read("Static"), false);
    // Without a mask read at discovery there is no affinity to hold: 0 means "none".
    const std::int32_t affinityDefault = maskRead ? static_cast<std::int32_t>(*maskRead & 0xFFFFFFFFU) : 0;
    record.CPUAffinity = SignExtendAffinity(static_cast<std::uint32_t>(ReadIniInteger(read("Affinity"), affinityDefault)));
    const std::optional<QString> storedTime = read("Shutdown time");
    const std::optional<double> time = storedTime ? ParseIniDateTime(*storedTime, locale_) : std::nullopt;
    record.ShutDownTime = time.value_or(0);
    // A time that cannot be read stays in the file as it is (Save leaves it) and is told once.
    record.ShutDownTimeUnread = storedTime && !storedTime->trimmed().isEmpty() && !time;
    if (record.ShutDownTimeUnread && !unreadTimesTold_.contains(section)) {
        unreadTimesTold_.insert(section);
        notices_.append(QStringLiteral("The shutdown time of %1 cannot be read (\"%2\"); it is kept in the "
                                       "settings file as it is.")
                            .arg(section, *storedTime));
    }
    record.DailyShutDown = ReadIniBool(read("Shutdown daily"), false);
    // A one-off time that came before the process was found is over: it ends no later process.
    if (const double current = now(); OneOffTimeCame(record, current)) {
        record.ShutDownTime = 0;
        EndOneOffShutdown(section, current); // a refused write is tried again at the next discovery
    }
    record.Managed = true;
}

int ProcessMonitor::BaseImage(const TProcess& record) {
    int image = record.Managed || record.Boosted ? 0 : 2;
    if (record.Never)
        image = 3;
    return image;
}

void ProcessMonitor::UpdateRowImageForState(ProcessRow& row, const TProcess& record) const {
    if (!record.Active && flags.windowVisible)
        row.imageIndex = 4;
    if (record.ShutDownTime != 0)
        row.imageIndex = 5;
}

void ProcessMonitor::CreateRow(Pid pid) {
    std::optional<std::uint64_t> mask;
    {
        const ProcessHandle handle = api_.OpenProcess(AccessMask::Query, pid);
        if (IsRunning(handle)) {
            TProcess& record = RecordOf(handle);
            const std::uint32_t priorityClass = api_.GetPriorityClass(handle);
            std::uint64_t processMask = 0;
            std::uint64_t systemMask = 0;
            if (api_.GetProcessAffinityMask(handle, processMask, systemMask))
                mask = processMask;
            if (record.OrginalPriority == 0)
                record.OrginalPriority = static_cast<std::uint16_t>(priorityClass);
        }
    }
    TProcess& record = table_[pid];
    ProcessRow& row = list_.Append(PidText(pid));
    row.subItems[0] = FileNamePart(record.Name);
    row.subItems[1] = PriorityClassText(record.OrginalPriority, strings_);
    row.subItems[5] = DescriptionOf(pid, record.Name);
    row.subItems[6] = GetFileVersionTextOrBlank(record.Name, true);
    row.subItems[7] = CompanyOf(pid, record.Name);
    row.subItems[8] = record.Name;
    LoadProfile(record, mask);
    row.subItems[9] = ShutdownText(record, strings_, locale_);
    row.imageIndex = BaseImage(record);
}

void ProcessMonitor::GetProcessesOnNT() {
    const std::int64_t start = api_.QueryPerformanceCounter();
    const FlagScope busy(flags.scanBusy);
    profiles_.reset();

    TProcess& idle = table_[0];
    idle.Name = kIdleName;
    idle.Active = true;
    idle.Priority = IDLE_PRIORITY_CLASS;
    if (systemPid_ != 0 && table_.InRange(systemPid_)) {
        TProcess& system = table_[systemPid_];
        system.Name = kSystemName;
        system.Active = true;
        if (system.Priority == 0) {
            const ProcessHandle handle = api_.OpenProcess(AccessMask::Query, systemPid_);
            if (IsRunning(handle)) {
                system.Priority = static_cast<std::uint16_t>(api_.GetPriorityClass(handle));
                system.OrginalPriority = system.Priority;
            }
        }
    }

    auto listOne = [this](Pid pid) {
        const TProcess* named = table_.Find(pid);
        // Once per process: a named record is never opened here again for its name.
        if ((named == nullptr || !named->InUse()) && fullScanDone_ && table_.InRange(pid)) {
            NameNewProcess(pid);
            named = table_.Find(pid);
        }
        if (named == nullptr || !named->InUse())
            return;
        if (flags.windowVisible)
            QueryProcessInfo(pid);
        int index = list_.FindPid(pid);
        if (index < 0) {
            CreateRow(pid);
            index = list_.count() - 1;
        } else if (flags.windowVisible) {
            const TProcess& record = table_[pid];
            ProcessRow& row = list_.at(index);
            row.subItems[0] = FileNamePart(record.Name);
            row.subItems[1] = PriorityClassText(record.Priority, strings_);
            row.imageIndex = BaseImage(record);
        }
        ProcessRow& row = list_.at(index);
        UpdateRowImageForState(row, table_[pid]);
        if (flags.windowVisible)
            LoadAndDisplayListCPUAffinity(row);
    };
    api_.EnumProcesses(pids_);
    // The idle process is no process of the system's: it is listed as the enumeration would give it.
    if (pids_.empty() || pids_.front() != 0)
        listOne(0);
    for (const Pid pid : pids_)
        listOne(pid);
    profiles_.reset();
    texts.labelRefreshV = ElapsedMsText(start, api_.QueryPerformanceCounter(), api_.QueryPerformanceFrequency());
}

void ProcessMonitor::QueryProcessInfo(Pid pid) {
    if (!table_.InRange(pid)) {
        host_.MessageBox(QStringLiteral("PID to high: ") + QString::number(pid), MessageKind::Plain);
        return;
    }
    const ProcessHandle handle = api_.OpenProcess(AccessMask::Query, pid);
    if (!IsRunning(handle))
        return;
    TProcess& record = RecordOf(handle);
    ModuleHandle module = 0;
    if (api_.EnumProcessModules(handle, module)) {
        const QString path = api_.GetModuleFileNameExW(handle, module);
        if (!path.isEmpty())
            record.Name = path;
    }
    if (optimizerSamples)
        UpdateOptimizerTimes(handle, pid);
    record.Priority = static_cast<std::uint16_t>(api_.GetPriorityClass(handle));
}

} // namespace kelvane
