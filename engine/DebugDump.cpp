#include "engine/DebugDump.h"

#include "engine/ProcessMonitor.h"
#include "engine/SaveSettings.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsLocation.h"
#include "util/DateTimeText.h"
#include "util/FileName.h"
#include "util/TextTrim.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QStringList>
#include <unistd.h>

namespace kelvane {

namespace {

QString Flag(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

// The temporary settings copy as text lines, whatever its encoding.
QStringList TextLines(const QByteArray* bytes) {
    QString text;
    if (bytes->startsWith("\xFF\xFE")) {
        text = QString(reinterpret_cast<const QChar*>(bytes->constData() + 2), (bytes->size() - 2) / 2);
    } else {
        text = QString::fromUtf8(*bytes);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

QString DumpClassName(std::uint32_t code) {
    switch (code) {
    case 32:
        return QStringLiteral("Normal");
    case 64:
        return QStringLiteral("Low");
    case 128:
        return QStringLiteral("High");
    case 256:
        return QStringLiteral("RealTime");
    case 16384:
        return QStringLiteral("Below Normal");
    case 32768:
        return QStringLiteral("Above Normal");
    default:
        return QStringLiteral("Unknown");
    }
}

bool CreateDebugFile(Pid currentPid, const ProcessMonitor& monitor, const Preferences& preferences,
                     const QString& settingsPath, QString* error, QString* dumpPath) {
    const QString tempPath = BesideSettingsFile(settingsPath, kDumpTempFileName);
    const QString logPath = BesideSettingsFile(settingsPath, kDumpFileName);
    // The copy and the dump are new files, never written through whatever stands at their names
    // (in a shared folder that may be another user's link); the copy's lines are taken from the
    // bytes written, not read back from a name someone else could have replaced meanwhile.
    IniDocument copy(IniDocument::Encoding::Utf16Le);
    SettingsBatch(preferences, monitor).ApplyTo(copy);
    const QByteArray copyBytes = copy.Serialize();
    QString reason;
    if (!WriteNewFile(tempPath, copyBytes, &reason)) {
        *error = WriteErrorText(QStringLiteral("Unable to write to %1").arg(tempPath), reason);
        return false;
    }
    const QStringList settingsLines = TextLines(&copyBytes);
    ::unlink(EncodeFileName(tempPath).constData());

    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    QStringList lines;
    lines << QStringLiteral("Kelvane Crash Log on ") + locale.toString(now.date(), ShortDateFormat(locale)) + u' ' +
                 locale.toString(now.time(), LongTimeFormat(locale))
          << QStringLiteral("Please send in conjunction to kelvane-bugs@users.noreply.invalid when reporting bugs "
                            "and crashes.")
          << QStringLiteral(" ");
    lines += settingsLines;
    lines << QStringLiteral(" ") << QStringLiteral("Current PID:       ") + QString::number(currentPid)
          << QStringLiteral("Current Boost PID: ") + QString::number(monitor.BoostPID) << QStringLiteral(" ");
    monitor.table().ForEachInUse([&lines](Pid pid, const TProcess& r) {
        if (r.CPUTime == 0 && IsBlankText(r.Name))
            return;
        lines << QString::number(pid) + QStringLiteral(": ") + r.Name
              << QStringLiteral("OrginalPriority: ") + DumpClassName(r.OrginalPriority)
              << QStringLiteral("Priority:        ") + DumpClassName(r.Priority)
              << QStringLiteral("OptimizeProfile: ") + DumpClassName(r.OptimizeProfile)
              << QStringLiteral("Active:          ") + Flag(r.Active)
              << QStringLiteral("AutoKill:        ") + Flag(r.Kill)
              << QStringLiteral("Managed:         ") + Flag(r.Managed)
              << QStringLiteral("Boosted:         ") + Flag(r.Boosted)
              << QStringLiteral("Throttled:       ") + Flag(r.Throttled)
              << QStringLiteral("Tabu:            ") + Flag(r.Never)
              << QStringLiteral("Dynamic:         ") + Flag(!r.Static)
              << QStringLiteral("CPUTime:         ") + QString::number(r.CPUTime)
              << QStringLiteral("DeltaCPUTime:    ") + QString::number(r.dCPUTime)
              << QStringLiteral("CPUAffinity:     ") + QString::number(r.CPUAffinity) << QStringLiteral(" ");
    });
    // Paths keep their exact bytes, as the settings file keeps them.
    const QByteArray text = ToUtf8Escaped(lines.join(u'\n') + u'\n');
    if (!WriteNewFile(logPath, text, &reason)) {
        *error = WriteErrorText(QStringLiteral("Unable to write to %1").arg(logPath), reason);
        return false;
    }
    if (dumpPath != nullptr)
        *dumpPath = logPath;
    return true;
}

} // namespace kelvane
