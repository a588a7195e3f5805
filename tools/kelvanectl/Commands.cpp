#include "tools/kelvanectl/Commands.h"

#include "engine/MessageStrings.h"
#include "engine/PriorityClass.h"
#include "engine/ProcessApi.h"

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

int CommandForeground(ProcessApi& api, QTextStream& out) {
    out << api.GetForegroundProcessId() << '\n';
    return 0;
}

} // namespace kelvane
