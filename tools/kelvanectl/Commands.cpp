#include "tools/kelvanectl/Commands.h"

#include "engine/MessageStrings.h"
#include "engine/PriorityClass.h"
#include "engine/ProcessApi.h"
#include "engine/ProcessMonitor.h"

namespace kelvane {

namespace {

// The process behind the handle is open and still running.
bool IsRunning(ProcessApi& api, const ProcessHandle& handle) {
    std::uint32_t exitCode = 0;
    return handle && api.GetExitCodeProcess(handle, exitCode) && exitCode == STILL_ACTIVE;
}

} // namespace

int CommandClasses(ProcessApi& api, const MessageStrings& strings, const QStringList& pids, QTextStream& out,
                   QTextStream& err) {
    int status = 0;
    for (const QString& text : pids) {
        bool ok = false;
        const Pid pid = text.toUInt(&ok);
        if (!ok) {
            err << "kelvanectl: not a PID: " << text << '\n';
            status = 1;
            continue;
        }
        const ProcessHandle handle = api.OpenProcess(AccessMask::Query, pid);
        if (!IsRunning(api, handle)) {
            out << pid << '\t' << strings[Msg::NotAvailable] << "\t-\t-\n";
            status = 1;
            continue;
        }
        const std::uint32_t priorityClass = api.GetPriorityClass(handle);
        QString mask = QStringLiteral("-");
        std::uint64_t processMask = 0;
        std::uint64_t systemMask = 0;
        if (api.GetProcessAffinityMask(handle, processMask, systemMask))
            mask = QStringLiteral("0x") + QString::number(processMask, 16);
        QString ticks = QStringLiteral("-");
        ProcessTimes times;
        if (api.GetProcessTimes(handle, times))
            ticks = QString::number(times.Total());
        if (priorityClass == 0 || mask == QLatin1String("-") || ticks == QLatin1String("-"))
            status = 1;
        out << pid << '\t' << PriorityClassText(priorityClass, strings) << '\t' << mask << '\t' << ticks << '\n';
    }
    return status;
}

namespace {

QString Escaped(QString text) {
    text.replace(u'\\', QStringLiteral("\\\\"));
    text.replace(u'\t', QStringLiteral("\\t"));
    text.replace(u'\n', QStringLiteral("\\n"));
    text.replace(u'\r', QStringLiteral("\\r"));
    return text;
}

} // namespace

int CommandList(ProcessApi& api, EngineHost& host, const MessageStrings& strings, const QStringList& args,
                const QString& defaultSettings, QTextStream& out, QTextStream& err) {
    QString settings = defaultSettings;
    int interval = 500;
    for (qsizetype i = 0; i < args.size(); ++i) {
        bool ok = true;
        if (args[i] == QLatin1String("--settings") && i + 1 < args.size())
            settings = args[++i];
        else if (args[i] == QLatin1String("--interval") && i + 1 < args.size())
            interval = args[++i].toInt(&ok);
        else
            ok = false;
        if (!ok || interval <= 0) {
            err << "usage: kelvanectl list [--settings FILE] [--interval MS]\n";
            return 2;
        }
    }
    ProcessMonitor monitor(api, host, strings, settings);
    monitor.StartUp();
    monitor.flags.windowVisible = true;
    monitor.options.refreshIntervalMs = interval;
    monitor.TimerRefreshDisplayOn();
    api.Sleep(static_cast<std::uint32_t>(interval));
    monitor.TimerRefreshDisplayOn();
    monitor.options.sortColumn = 0;
    monitor.options.sortAscending = true;
    monitor.SortList();

    out << ProcessListColumns().join(u'\t') << '\n';
    const ProcessList& list = monitor.list();
    for (int i = 0; i < list.count(); ++i) {
        const ProcessRow& row = list.at(i);
        out << Escaped(row.caption);
        for (const QString& text : row.subItems)
            out << '\t' << Escaped(text);
        out << '\n';
    }
    return 0;
}

int CommandForeground(ProcessApi& api, QTextStream& out) {
    out << api.GetForegroundProcessId() << '\n';
    return 0;
}

int CommandForeground(const QStringList& args, const std::function<ForegroundAnswer()>& ask, QTextStream& out,
                      QTextStream& err) {
    bool verbose = false;
    for (const QString& arg : args) {
        if (arg != QLatin1String("--verbose")) {
            err << "kelvanectl: foreground takes only --verbose, not " << arg << '\n';
            return 2;
        }
        verbose = true;
    }
    const ForegroundAnswer answer = ask();
    for (const QString& notice : answer.notices)
        err << "kelvanectl: " << notice << '\n';
    if (verbose)
        err << "foreground source: " << answer.source << '\n';
    out << answer.pid << '\n';
    return 0;
}

} // namespace kelvane
