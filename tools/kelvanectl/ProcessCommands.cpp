#include "tools/kelvanectl/ProcessCommands.h"

#include "engine/DebugDump.h"
#include "engine/MessageStrings.h"
#include "engine/Optimizer.h"
#include "engine/PriorityClass.h"
#include "engine/Privileges.h"
#include "engine/ProcessMonitor.h"
#include "settings/Preferences.h"

namespace kelvane {

namespace {

std::optional<Pid> ParsePid(const QString& text, QTextStream& err) {
    bool ok = false;
    const Pid pid = text.toUInt(&ok);
    if (!ok)
        err << "kelvanectl: not a PID: " << text << '\n';
    return ok ? std::optional<Pid>(pid) : std::nullopt;
}

// --settings FILE and the command's own option, if any.
struct Options {
    QString settings;
    std::optional<int> number;
    bool ok = true;
};
Options ParseOptions(const QStringList& args, const QString& defaultSettings, const char* numberOption) {
    Options options{defaultSettings, std::nullopt, true};
    for (qsizetype i = 0; i < args.size() && options.ok; ++i) {
        if (args[i] == QLatin1String("--settings") && i + 1 < args.size()) {
            options.settings = args[++i];
        } else if (numberOption != nullptr && args[i] == QLatin1String(numberOption) && i + 1 < args.size()) {
            const int value = args[++i].toInt(&options.ok);
            options.ok = options.ok && value > 0;
            options.number = value;
        } else {
            options.ok = false;
        }
    }
    return options;
}

} // namespace

std::optional<std::uint32_t> ParseClassArgument(const QString& text) {
    const QString lower = text.trimmed().toLower();
    static const std::pair<const char*, std::uint32_t> names[] = {
        {"low", IDLE_PRIORITY_CLASS},           {"below normal", BELOW_NORMAL_PRIORITY_CLASS},
        {"normal", NORMAL_PRIORITY_CLASS},      {"above normal", ABOVE_NORMAL_PRIORITY_CLASS},
        {"high", HIGH_PRIORITY_CLASS},          {"realtime", REALTIME_PRIORITY_CLASS},
        {"real time", REALTIME_PRIORITY_CLASS}};
    for (const auto& [name, code] : names)
        if (lower == QLatin1String(name))
            return code;
    bool ok = false;
    const std::uint32_t code = lower.toUInt(&ok);
    return ok && IsPriorityClass(code) ? std::optional<std::uint32_t>(code) : std::nullopt;
}

int CommandSetPriority(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                       QTextStream& out, QTextStream& err) {
    const std::optional<std::uint32_t> priorityClass = args.size() == 2 ? ParseClassArgument(args[1]) : std::nullopt;
    if (!priorityClass) {
        err << "usage: kelvanectl set-priority PID Low|\"Below Normal\"|Normal|\"Above Normal\"|High|RealTime|CODE\n";
        return 2;
    }
    const std::optional<Pid> pid = ParsePid(args[0], err);
    if (!pid)
        return 2;
    ProcessMonitor monitor(api, host, strings, QString());
    if (!monitor.SetPriority(*pid, *priorityClass)) {
        err << monitor.PriorityErrorText() << '\n';
        return 1;
    }
    out << *pid << '\t' << PriorityClassText(monitor.table()[*pid].Priority, strings) << '\n';
    return 0;
}

int CommandSetAffinity(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                       QTextStream& out, QTextStream& err) {
    bool ok = args.size() == 2;
    QString hex = ok ? args[1].trimmed() : QString();
    if (hex.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        hex = hex.mid(2);
    const qulonglong value = hex.toULongLong(&ok, 16);
    if (!ok || value > 0xFFFFFFFFULL) {
        err << "usage: kelvanectl set-affinity PID HEXMASK (processors 0 to 31)\n";
        return 2;
    }
    const std::optional<Pid> pid = ParsePid(args[0], err);
    if (!pid)
        return 2;
    ProcessMonitor monitor(api, host, strings, QString());
    const std::uint64_t mask = SignExtendAffinity(value);
    switch (monitor.SetCPUAffinity(*pid, mask)) {
    case ProcessMonitor::AffinityResult::Set: {
        // What the system applied: bits of processors that do not exist are dropped.
        const ProcessHandle handle = api.OpenProcess(AccessMask::Query, *pid);
        std::uint64_t applied = mask;
        std::uint64_t systemMask = 0;
        if (!handle || !api.GetProcessAffinityMask(handle, applied, systemMask))
            applied = mask;
        out << *pid << "\t0x" << QString::number(applied, 16) << '\n';
        return 0;
    }
    case ProcessMonitor::AffinityResult::OpenFailed:
        err << api.LastErrorText() << '\n';
        return 1;
    case ProcessMonitor::AffinityResult::Refused:
        err << "kelvanectl: the affinity mask 0x" << QString::number(value, 16) << " was refused: "
            << api.LastErrorText() << '\n';
        return 1;
    }
    return 1;
}

int CommandTerminate(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                     QTextStream& err) {
    if (args.size() != 1) {
        err << "usage: kelvanectl terminate PID\n";
        return 2;
    }
    const std::optional<Pid> pid = ParsePid(args[0], err);
    if (!pid)
        return 2;
    ProcessMonitor monitor(api, host, strings, QString());
    if (!monitor.KillSelectedProcess(*pid)) {
        err << monitor.TerminateErrorText() << '\n';
        return 1;
    }
    return 0;
}

int CommandDump(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                const QString& defaultSettings, QTextStream& out, QTextStream& err) {
    const Options options = ParseOptions(args, defaultSettings, nullptr);
    if (!options.ok) {
        err << "usage: kelvanectl dump [--settings FILE]\n";
        return 2;
    }
    ProcessMonitor monitor(api, host, strings, options.settings);
    monitor.StartUp();
    monitor.GetProcessesOnNT();
    const Preferences preferences = LoadPreferences(monitor.settings().Load());
    QString error;
    QString path;
    if (!CreateDebugFile(0, monitor, preferences, options.settings, &error, &path)) {
        err << error << '\n';
        return 1;
    }
    out << path << '\n';
    return 0;
}

int CommandRun(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
               const QString& defaultSettings, QTextStream& err, const std::atomic<bool>& stop) {
    const Options options = ParseOptions(args, defaultSettings, "--cycles");
    if (!options.ok) {
        err << "usage: kelvanectl run [--settings FILE] [--cycles N]\n";
        return 2;
    }
    ProcessMonitor monitor(api, host, strings, options.settings);
    const Preferences preferences = LoadPreferences(monitor.settings().Load());
    monitor.options.refreshIntervalMs = preferences.RefreshInterval;
    monitor.options.optimizerEnabled = true; // running the cycle is the point, whatever the file says
    Optimizer optimizer(monitor, host, strings);
    optimizer.options = {preferences.BoostForeground, preferences.BoostPriority, preferences.ALU, preferences.ALUPerc,
                         preferences.OptimizerInterval};
    optimizer.dump = [&](Pid pid) {
        QString error;
        CreateDebugFile(pid, monitor, preferences, options.settings, &error);
    };
    monitor.StartUp();
    monitor.TimerRefreshDisplayOn(); // rows and profiles before the first cycle

    const double ticksPerMs = static_cast<double>(api.QueryPerformanceFrequency()) / 1000.0;
    auto nowMs = [&api, ticksPerMs] { return static_cast<double>(api.QueryPerformanceCounter()) / ticksPerMs; };
    constexpr double kCleanUpMs = 300000;
    double nextCycle = nowMs() + preferences.OptimizerInterval;
    double nextRefresh = nowMs() + preferences.RefreshInterval;
    double nextCleanUp = nowMs() + kCleanUpMs;
    int cycles = 0;
    while (!stop.load() && (!options.number || cycles < *options.number)) {
        const double now = nowMs();
        if (now >= nextRefresh) {
            monitor.TimerRefreshDisplayOn();
            nextRefresh = std::max(nextRefresh + preferences.RefreshInterval, now);
        }
        if (now >= nextCycle) {
            optimizer.TimerOptimizerTimer(true);
            ++cycles;
            nextCycle = std::max(nextCycle + preferences.OptimizerInterval, now);
        }
        if (now >= nextCleanUp) {
            monitor.TimerCleanUpTimer();
            nextCleanUp += kCleanUpMs;
        }
        for (const QString& notice : api.TakeNotices() + monitor.TakeNotices())
            err << "kelvanectl: " << notice << '\n' << Qt::flush;
        // Sleep until the next tick, at most a default cycle at a time so that a signal ends the
        // run within a quarter second even at long intervals; every wake-up costs at rest.
        const double wait = std::min({nextRefresh, nextCycle, nextCleanUp}) - nowMs();
        if (wait > 0)
            api.Sleep(static_cast<std::uint32_t>(std::min(wait, 250.0)) + 1);
    }
    monitor.ProcessesRestorePriorities();
    monitor.ReleaseLibrary();
    SetPrivileges(api, false);
    return 0;
}

} // namespace kelvane
