// One display refresh: scan, CPU sampling, sorting, usage figures, status panels and tray tip.

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"
#include "engine/RowTexts.h"
#include "util/ElapsedText.h"

namespace kelvane {

namespace {

// Only a to z are folded (to upper case); every other character compares by its UTF-16 code.
char16_t Fold(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - (u'a' - u'A')) : c; }

int CompareTexts(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = Fold(a[i].unicode());
        const char16_t cb = Fold(b[i].unicode());
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Runs one guarded step: a failure shows the error box naming it, and the refresh goes on.
template <typename Step> void Guarded(EngineHost& host, const char* name, Step step) {
    try {
        step();
    } catch (...) {
        host.MessageBox(QStringLiteral("Exception: TFormMain.TimerRefreshDisplayOn: ") + QLatin1String(name),
                        MessageKind::Error);
    }
}

} // namespace

int ProcessMonitor::ListViewProcessesCompare(const ProcessRow& item1, const ProcessRow& item2) const {
    const int column = options.sortColumn;
    if (column == 0) {
        bool ok1 = false;
        bool ok2 = false;
        const qlonglong pid1 = item1.caption.toLongLong(&ok1);
        const qlonglong pid2 = item2.caption.toLongLong(&ok2);
        if (!ok1 || !ok2)
            return 0;
        const qlonglong difference = options.sortAscending ? pid1 - pid2 : pid2 - pid1;
        return difference < 0 ? -1 : (difference > 0 ? 1 : 0);
    }
    if (column < 1 || column > kSubItemCount)
        return 0;
    const QString& text1 = item1.subItems[static_cast<std::size_t>(column - 1)];
    const QString& text2 = item2.subItems[static_cast<std::size_t>(column - 1)];
    return options.sortAscending ? CompareTexts(text1, text2) : CompareTexts(text2, text1);
}

void ProcessMonitor::SortList() {
    list_.Sort([this](const ProcessRow& a, const ProcessRow& b) { return ListViewProcessesCompare(a, b); });
}

void ProcessMonitor::ListViewProcessesColumnClick(int column) {
    if (column == options.sortColumn) {
        options.sortAscending = !options.sortAscending;
    } else {
        options.sortColumn = column;
        options.sortAscending = true;
    }
    SortList();
}

void ProcessMonitor::LoadAndDisplayListCPUAffinity(ProcessRow& row) {
    QString text;
    bool ok = false;
    const qulonglong pid = row.caption.toULongLong(&ok);
    if (ok && pid != 0 && pid < table_.limit()) {
        const ProcessHandle handle = api_.OpenProcess(AccessMask::Query, static_cast<Pid>(pid));
        std::uint64_t processMask = 0;
        std::uint64_t systemMask = 0;
        if (IsRunning(handle) && api_.GetProcessAffinityMask(handle, processMask, systemMask))
            text = AffinityText(processMask, processorCount);
    }
    if (row.caption == QLatin1String("0")) // the idle process runs on every processor
        text += AffinityText(~std::uint64_t{0}, processorCount);
    row.subItems[4] = text;
}

void ProcessMonitor::UpdateStatusTexts() {
    texts.statusPanel1 = strings_[Msg::Processes] + u' ' + QString::number(list_.count());
    const TProcess* boosted = BoostPID != 0 ? table_.Find(BoostPID) : nullptr;
    // A foreground PID that Kelvane has not named (out of range, or a window of another PID
    // namespace's process) is nothing boosted: nothing was changed for it.
    if (boosted == nullptr || boosted->Never || boosted->Name.isEmpty())
        texts.statusPanel2 = strings_[Msg::NoProcessBoosted];
    else
        texts.statusPanel2 = strings_[Msg::Boosting] + u' ' + BoostStatusName(boosted->Name);
    texts.trayTip = options.optimizerEnabled ? strings_[Msg::TipOpt] + u' ' + texts.labelOptV + u'\n' + strings_[Msg::TipRef] +
                                                   u' ' + texts.labelRefreshV + u'\n' + texts.statusPanel2
                                             : strings_[Msg::Offline];
}

void ProcessMonitor::TimerRefreshDisplayOn() {
    bool sort = false;
    if (options.profilesRefresh) {
        const std::int64_t start = api_.QueryPerformanceCounter();
        if (!flags.scanBusy) {
            Guarded(host_, "GetProcessesOnNT", [this] { GetProcessesOnNT(); });
            Guarded(host_, "UpdateProcessTimes", [this] { UpdateProcessTimes(); });
            sort = flags.windowVisible;
        } else {
            displaySamplesLapsed_ = true;
        }
        texts.labelRefreshV = ElapsedMsText(start, api_.QueryPerformanceCounter(), api_.QueryPerformanceFrequency());
    } else {
        displaySamplesLapsed_ = true;
    }
    try {
        if (flags.windowVisible) {
            CalculateCPUUsage();
            if (sort)
                SortList(); // once the idle row shows its remainder: rows sort by what they show
            if (list_.SelectedIndex() >= 0)
                CalculateCPUUsageForProcess();
        }
        UpdateStatusTexts();
    } catch (...) {
        // A failure here ends the tick silently; the next one starts afresh.
    }
}

} // namespace kelvane
