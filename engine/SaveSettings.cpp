#include "engine/SaveSettings.h"

#include "engine/ProcessMonitor.h"
#include "settings/ValueCodec.h"
#include "util/TextTrim.h"

namespace kelvane {

QString ProfileAffinityText(std::uint64_t mask) {
    return IniIntegerText(static_cast<std::int32_t>(static_cast<std::uint32_t>(mask & 0xFFFFFFFFU)));
}

IniResult SaveSettings(const QString& fileName, const Preferences& preferences, const ProcessMonitor& monitor) {
    return IniFile(fileName).Apply(SettingsBatch(preferences, monitor));
}

IniBatch SettingsBatch(const Preferences& preferences, const ProcessMonitor& monitor) {
    IniBatch batch;
    WritePreferences(preferences, batch);
    const ProcessList& list = monitor.list();
    for (int i = 0; i < list.count(); ++i) {
        bool ok = false;
        const qulonglong pid = list.at(i).caption.toULongLong(&ok);
        const TProcess* record = ok && pid < monitor.table().limit() ? monitor.table().Find(static_cast<Pid>(pid)) : nullptr;
        if (record == nullptr || IsBlankText(record->Name))
            continue;
        if (!IniDocument::IsSafeText(record->Name)) {
            // No section can be named so: the user is told instead (bytes that the file's encoding
            // cannot hold are told by the write, which knows the encoding).
            if (record->Managed || record->ShutDownTime != 0)
                batch.Refuse(ProfileRefusedText(record->Name, ProfileNameProblem(record->Name)));
            continue;
        }
        const QString& section = record->Name;
        const QString shutdown = IniDateTimeText(record->ShutDownTime);
        auto put = [&batch, &section](const QString& key, const QString& value) {
            batch.Write(section, key, value, SectionCase::Exact); // the profile of exactly this path
        };
        if (record->Managed) {
            put(QStringLiteral("Priority"), IniIntegerText(record->OptimizeProfile));
            put(QStringLiteral("AutoKill"), IniBoolText(record->Kill));
            put(QStringLiteral("Tabu"), IniBoolText(record->Never));
            put(QStringLiteral("Static"), IniBoolText(record->Static));
            put(QStringLiteral("Affinity"), ProfileAffinityText(record->CPUAffinity));
            // A stored time that could not be read is no "no time": it stays as it is.
            if (record->ShutDownTime != 0 || !record->ShutDownTimeUnread)
                put(QStringLiteral("Shutdown time"), shutdown);
            put(QStringLiteral("Shutdown daily"), IniBoolText(record->DailyShutDown));
        }
        if (record->ShutDownTime != 0) {
            put(QStringLiteral("Shutdown time"), shutdown);
            put(QStringLiteral("Shutdown daily"), IniBoolText(record->DailyShutDown));
        }
    }
    return batch;
}

} // namespace kelvane
