#include "engine/MessageStrings.h"

#include "engine/EngineHost.h"

namespace kelvane {

QStringList DefaultLanguageTable() {
    static const char* const lines[] = {
        "Error: Exception while boosting foreground application.",
        "High",
        "Low",
        "Below Normal",
        "Normal",
        "Above Normal",
        "RealTime",
        "N/A",
        "Processes:",
        "Boosting:",
        "No process is boosted",
        "Latest Version Available:",
        "unknown",
        "Opt:",
        "Ref:",
        "Offline",
        "Optimize process priorities every %dth millisecond",
        "Refresh Managing Profiles in every %d milliseconds",
        "Process that goes beyond %d%% CPU Time in the %dms time slice will be changed to %s priority",
        "Boost foreground application to",
        "Cancel",
        "OK",
        "Next >>",
        "Yes",
        "No",
        "%s not found on default location (%s).",
        "Please use the following dialog and select it manually!",
        "Turn Kelvane On?",
        "Now the settings will be saved, including all the changes you have made",
        "to the managing profiles since the last time you started the application.",
        "Run always.",
        "Error setting process's priority.",
        "Error terminating process.",
    };
    static_assert(std::size(lines) == kMessageStringCount);
    QStringList table;
    table.reserve(static_cast<qsizetype>(kMessageStringCount));
    for (const char* line : lines)
        table.append(QString::fromUtf8(line));
    return table;
}

void MessageStrings::LoadLanguageStrings(const QStringList& table, EngineHost& host) {
    for (std::size_t i = 0; i < kMessageStringCount; ++i) {
        if (static_cast<qsizetype>(i) >= table.size()) {
            host.MessageBox(QStringLiteral("Fatal error while loading language strings!"), MessageKind::Error);
            return;
        }
        strings_[i] = table[static_cast<qsizetype>(i)];
    }
}

} // namespace kelvane
