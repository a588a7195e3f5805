// TFormMain's commands: the process list's context menu and the main menu.

#include <QApplication>
#include <QFileInfo>

#include "app/FormMain.h"
#include "app/ProcessListModel.h"
#include "engine/DebugDump.h"
#include "engine/ProcessMonitor.h"
#include "engine/RowTexts.h"
#include "engine/SaveSettings.h"
#include "engine/ShutdownTimes.h"
#include "update/PublisherUrls.h"
#include "util/FileName.h"

namespace kelvane::app {

// ---- Commands ----

void TFormMain::CleanUp1Click() {
    monitor_->CleanUp1Click();
    AfterListChange();
}

void TFormMain::Refresh1Click() { monitor_->ProcessesScan(false); }

void TFormMain::KillSelectedProcess1Click() {
    const std::int64_t pid = SelectedPid();
    if (pid < 0)
        return;
    if (!monitor_->KillSelectedProcess(static_cast<Pid>(pid)))
        ShowError(monitor_->TerminateErrorText());
}

void TFormMain::SetPriorityClick(std::uint32_t priorityClass) {
    const std::int64_t pid = SelectedPid();
    if (pid < 0)
        return;
    if (!monitor_->SetPriority(static_cast<Pid>(pid), priorityClass))
        ShowError(monitor_->PriorityErrorText());
}

void TFormMain::OpenContainingFolder1Click() {
    const std::int64_t pid = SelectedPid();
    if (pid < 0)
        return;
    const TProcess* record = monitor_->table().Find(static_cast<Pid>(pid));
    if (record == nullptr || record->Name.isEmpty() || !FileNameExists(record->Name))
        return;
    const QString folder = record->Name.left(record->Name.lastIndexOf(u'/') + 1);
    if (services_.openUrl)
        services_.openUrl(LocalFileUrl(folder)); // the folder's exact bytes
}

void TFormMain::SetShutdownTime1Click() {
    const std::int64_t pid = SelectedPid();
    if (pid < 0 || !dialogs.setShutdownTime)
        return;
    // The time is the row's process's: once that has ended, nothing is set or saved.
    if (!monitor_->OpenRowProcess(AccessMask::Query, static_cast<Pid>(pid))) {
        ShowError(monitor_->api().LastErrorText());
        return;
    }
    const TProcess before = monitor_->table()[static_cast<Pid>(pid)];
    dialogs.setShutdownTime(static_cast<Pid>(pid)); // returns when it closes, however it was closed
    if (sessionEnding_)
        return; // closed by the end: the shut-down writes what "Exit" writes, nothing more
    // Timers ran meanwhile: the record may be another process's now, or its process may have ended.
    const bool same = monitor_->RecordStillOf(static_cast<Pid>(pid), before.Identity);
    if (!same || !monitor_->OpenRowProcess(AccessMask::Query, static_cast<Pid>(pid))) {
        if (same) {
            TProcess& record = monitor_->table()[static_cast<Pid>(pid)];
            record.ShutDownTime = before.ShutDownTime;
            record.DailyShutDown = before.DailyShutDown;
        }
        model_->Refresh();
        monitor_->api().SetLastError(PortError::NoSuchProcess);
        ShowError(monitor_->api().LastErrorText());
        return;
    }
    ProcessList& list = monitor_->list();
    const int row = list.FindItem(pid);
    if (row >= 0 && monitor_->table().InRange(static_cast<Pid>(pid)))
        list.at(row).subItems[9] = ShutdownText(monitor_->table()[static_cast<Pid>(pid)], strings_);
    model_->Refresh();
    IniBatch batch = SettingsBatch(CurrentPreferences(), *monitor_);
    // "Remove Setting": the executable's stored time goes too, also for a process that is not
    // managed (whose save writes nothing of it).
    if (dialogs.shutdownTimeRemoved && dialogs.shutdownTimeRemoved())
        if (const TProcess* record = monitor_->table().Find(static_cast<Pid>(pid)))
            DeleteShutdownKeys(batch, record->Name);
    const IniResult result = monitor_->settings().Apply(batch);
    if (!result)
        ShowError(result.Message());
}

void TFormMain::EndSession() {
    sessionEnding_ = true;
    QApplication::exit(0); // every event loop returns, those of open dialogs too
}

void TFormMain::Query1Click() {
    const std::int64_t pid = SelectedPid();
    if (pid >= 0 && dialogs.showProcessInformation)
        dialogs.showProcessInformation(static_cast<Pid>(pid));
}

void TFormMain::Settings1Click() {
    if (dialogs.showSettings)
        dialogs.showSettings();
}

void TFormMain::Wizzard1Click() {
    if (dialogs.showWizard)
        dialogs.showWizard();
}

void TFormMain::Abaout1Click() {
    if (dialogs.showAbout)
        dialogs.showAbout();
}

void TFormMain::MenuVersionOnlineClick() {
    if (dialogs.openHomePage)
        dialogs.openHomePage();
    else if (services_.openUrl)
        services_.openUrl(QUrl(HomePageUrl()));
}

void TFormMain::ButtonSaveClick() {
    const IniResult result = kelvane::SaveSettings(options_.settingsPath, CurrentPreferences(), *monitor_);
    if (!result)
        ShowError(result.Message());
}

void TFormMain::MenuCreateDebugFileClick() {
    QString error;
    if (!CreateDebugFile(0, *monitor_, CurrentPreferences(), options_.settingsPath, &error))
        ShowError(error);
}

void TFormMain::OnlineHelp1Click() {
    if (services_.openUrl)
        services_.openUrl(QUrl(HelpPageUrl()));
}

} // namespace kelvane::app
