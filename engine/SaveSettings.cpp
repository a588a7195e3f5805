#include "engine/SaveSettings.h"

#include "engine/ProcessMonitor.h"
#include "settings/ValueCodec.h"
#include "util/TextTrim.h"

namespace kelvane {

QString ProfileAffinityText(std::uint64_t mask) {
    return IniIntegerText(static_cast<std::int32_t>(static_cast<std::uint32_t>(mask & 0xFFFFFFFFU)));
}

IniResult SaveSettings(const QString& fileName, const Preferences& preferences, const ProcessMonitor& monitor) {
    IniBatch batch;
    WritePreferences(preferences, batch);
    const ProcessList& list = monitor.list();
    for (int i = 0; i < list.count(); ++i) {
        bool ok = false;
        const qulonglong pid = list.at(i).caption.toULongLong(&ok);
        const TProcess* record = ok && pid < monitor.table().limit() ? monitor.table().Find(static_cast<Pid>(pid)) : nullptr;
        if (record == nullptr || IsBlankText(record->Name) || !IniDocument::IsSafeText(record->Name))
            continue;
        const QString& section = record->Name;
        const QString shutdown = IniDateTimeText(record->ShutDownTime);
        if (record->Managed) {
            batch.Write(section, QStringLiteral("Priority"), IniIntegerText(record->OptimizeProfile));
            batch.Write(section, QStringLiteral("AutoKill"), IniBoolText(record->Kill));
            batch.Write(section, QStringLiteral("Tabu"), IniBoolText(record->Never));
            batch.Write(section, QStringLiteral("Static"), IniBoolText(record->Static));
            batch.Write(section, QStringLiteral("Affinity"), ProfileAffinityText(record->CPUAffinity));
            batch.Write(section, QStringLiteral("Shutdown time"), shutdown);
            batch.Write(section, QStringLiteral("Shutdown daily"), IniBoolText(record->DailyShutDown));
        }
        if (record->ShutDownTime != 0) {
            batch.Write(section, QStringLiteral("Shutdown time"), shutdown);
            batch.Write(section, QStringLiteral("Shutdown daily"), IniBoolText(record->DailyShutDown));
        }
    }
    return IniFile(fileName).Apply(batch);
}

} // namespace kelvane
