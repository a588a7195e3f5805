#include "engine/ShutdownTimes.h"

#include <QDateTime>

#include "engine/ProcessMonitor.h"
#include "engine/RowTexts.h"
#include "settings/ValueCodec.h"
#include "util/DateTimeText.h"
#include "util/TextTrim.h"

#include <utility>

namespace kelvane {

namespace {

const QString kShutdownTime = QStringLiteral("Shutdown time");
const QString kShutdownDaily = QStringLiteral("Shutdown daily");

} // namespace

double LocalNowDays() {
    const QDateTime now = QDateTime::currentDateTime();
    return DaysOf(now.date(), now.time());
}

bool OneOffTimeCame(const TProcess& record, double now) {
    return record.ShutDownTime != 0 && !record.DailyShutDown && now > record.ShutDownTime;
}

void DeleteShutdownKeys(IniBatch& batch, const QString& executable) {
    if (IsBlankText(executable) || !IniDocument::IsSafeText(executable))
        return;
    batch.Delete(executable, kShutdownTime, SectionCase::Exact);
    batch.Delete(executable, kShutdownDaily, SectionCase::Exact);
}


IniResult ProcessMonitor::EndOneOffShutdown(const QString& executable, double at) {
    // The records of the executable that still hold a one-off time that has come (the processes
    // that ran when it came were ended by it; these are gone or not for this run to end).
    std::vector<Pid> holders;
    table_.ForEachInUse([&](Pid pid, const TProcess& record) {
        if (record.Name == executable && OneOffTimeCame(record, at))
            holders.push_back(pid);
    });
    for (const Pid pid : holders) {
        TProcess& record = table_[pid];
        record.ShutDownTime = 0;
        const int row = list_.FindPid(pid);
        if (row >= 0)
            list_.at(row).subItems[9] = ShutdownText(record, strings_, locale_);
    }
    // The file's time of the executable, when it is a one-off one that has come. Another time (a
    // later one, a daily one, one that cannot be read) stays as it is.
    const IniDocument doc = settings_.Load();
    const std::optional<QString> stored = doc.Read(executable, kShutdownTime, SectionCase::Exact);
    if (!stored)
        return {};
    const double time = ReadIniDateTime(stored, 0, locale_);
    if (time == 0 || ReadIniBool(doc.Read(executable, kShutdownDaily, SectionCase::Exact), false) || !(at > time))
        return {};
    IniBatch batch;
    DeleteShutdownKeys(batch, executable);
    if (profiles_)
        batch.ApplyTo(*profiles_); // a scan under way reads the file as it is now
    return settings_.Apply(batch);
}

} // namespace kelvane
