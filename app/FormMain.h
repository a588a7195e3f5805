#pragma once
// TFormMain: the main window. It owns everything that runs (the process monitor with its table and
// rows, the optimizer, the three timers, the tray icon, the CPU graph) and wires the panes: the
// settings, properties and details groups along the top with the graph, the process list below,
// the status bar at the bottom. Closing the window hides it to the tray; "Exit" ends Kelvane.

#include <QMainWindow>
#include <QTimer>
#include <array>
#include <memory>
#include <mutex>
#include <optional>

#include "app/Menus.h"
#include "app/StandardSystemMenu.h"
#include "app/UiServices.h"
#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessApi.h"
#include "settings/Preferences.h"
#include "update/VersionUpdate.h"

class QLabel;

namespace kelvane {
class ProcessApi;
class ProcessMonitor;
class Optimizer;
namespace graph {
class TGraphDisplay3D;
}
} // namespace kelvane

namespace kelvane::app {

class ProcessListModel;
class TDetailsGroup;
class TMainStatusBar;
class TProcessListView;
class TPropertiesPanel;
class TSettingsGroup;
class TTrayIcon;

class TFormMain : public QMainWindow, public EngineHost {
public:
    struct Options {
        QString settingsPath;
        int screenWidth = 0;          // ring length; 0: the primary screen's width
        QString executablePath;       // for the own version text and own-process checks
    };
    TFormMain(ProcessApi& api, Options options, UiServices services, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The shut-down sequence; runs once, by "Exit", a signal, the session's end or destruction.
    void FormDestroy();

    // ---- Start-up results ----
    bool StartMinimized() const { return startMinimized_; }
    bool CheckForNewVersion() const { return checkForNewVersion_; }
    const QString& OwnVersionText() const { return ownVersion_; }
    // The version check of start-up: one fetch of the version file on a worker thread, whose text
    // then sets the caption of "Latest Version Available: " and, with "CheckForNewVersion", is
    // compared and offered. `fetch` runs on the worker (tests give their own).
    void StartVersionCheck(std::function<VersionFetch()> fetch = {});
    // The fetched text arrived (on the GUI thread).
    void ApplyVersionCheck(const VersionFetch& fetch);
    bool VersionCheckDone() const { return versionCheckDone_; }
    // The splash and the first-run wizard have closed: a newer version held back meanwhile is
    // offered now.
    void StartupDialogsClosed();

    // The dialogs, opened by the commands; the program entry sets them (app/DialogWiring.h).
    struct DialogHooks {
        std::function<void(Pid)> setShutdownTime;        // the shutdown-time dialog, modally
        std::function<bool()> shutdownTimeRemoved;       // whether "Remove Setting" closed it last
        std::function<void(Pid)> showProcessInformation; // the process information window, modally
        std::function<void()> showSettings;              // the settings dialog, modally
        std::function<void()> showWizard;                // a new configuration wizard, modally
        std::function<void()> showAbout;                 // the about box in about mode, not modal
        std::function<void()> openHomePage;              // the about box's web link
        std::function<void()> raiseAbout;                // the about box in front, when it is shown
        std::function<bool()> startupShowing;            // the splash or the first-run wizard is to come or shown
    } dialogs;

    // ---- Handlers ----
    void SetShutdownTime1Click();
    void Query1Click();
    void Settings1Click();
    void Wizzard1Click();
    void Abaout1Click();
    void MenuVersionOnlineClick();
    void TimerRefreshDisplayOn();
    void TimerOptimizerTimer();
    void TimerCleanUpTimer();
    void CheckBoxOptimizeClick();
    void SuspendedClick();
    void StayonTopClick();
    void SwitchKelvane();
    void ShowSettings1Click();
    void Exit2Click();
    // A termination signal or the session's end: Kelvane ends as "Exit" ends it. A modal dialog
    // open meanwhile returns, and what its command would do after it (a save) is left undone.
    void EndSession();
    bool SessionEnding() const { return sessionEnding_; }
    void ButtonSaveClick();
    void MenuCreateDebugFileClick();
    void OnlineHelp1Click();
    void CleanUp1Click();
    void Refresh1Click();
    void KillSelectedProcess1Click();
    void SetPriorityClick(std::uint32_t priorityClass);
    void OpenContainingFolder1Click();
    void PopupMenuListPopup();
    void ListViewProcessesColumnClick(int column);
    void ListViewProcessesSelectItem(int row, bool selected);
    void SpinEditOptimizerChange();
    void SpinEditRefreshChange();
    void SpinEditALUPercChange();
    void CheckBoxBoostClick();
    void CheckBoxALUClick();

    // ---- EngineHost ----
    void MessageBox(const QString& text, MessageKind kind) override;
    void ShowDetailLabels(const DetailLabels& labels) override;
    void SetAffinityMarks(const std::vector<bool>& marks) override;

    // ---- Parts, for the program entry, tests and benchmarks ----
    ProcessMonitor& monitor() { return *monitor_; }
    Optimizer& optimizer() { return *optimizer_; }
    const MessageStrings& strings() const { return strings_; }
    TSettingsGroup& settingsGroup() { return *settings_; }
    TPropertiesPanel& properties() { return *properties_; }
    TDetailsGroup& details() { return *details_; }
    TProcessListView& listView() { return *listView_; }
    ProcessListModel& listModel() { return *model_; }
    TMainStatusBar& statusBarPanels() { return *status_; }
    TTrayIcon& trayIcon() { return *tray_; }
    graph::TGraphDisplay3D& cpuGraph() { return *graph_; }
    TMainMenu& mainMenu() { return *menu_; }
    TPopupMenuList& listMenu() { return *listMenu_; }
    TPopupMenuTray& trayMenu() { return *trayMenu_; }
    QTimer& timerRefreshDisplay() { return timerRefresh_; }
    QTimer& timerOptimizer() { return timerOptimizer_; }
    QTimer& timerCleanUp() { return timerCleanUp_; }
    const QString& settingsPath() const { return options_.settingsPath; }
    UiServices& services() { return services_; }
    // The preferences as "Save Settings" writes them now.
    Preferences CurrentPreferences() const;
    // The selected row's PID, or -1.
    std::int64_t SelectedPid() const;
    // The limitations the port met (each told once), as shown in the status bar and the tray.
    const QStringList& Notices() const { return notices_; }
    // Another optimizer of Kelvane acts on the same processes (the program entry asks at start):
    // this window's optimizer stays off for the whole run, saying why, and its exit leaves every
    // class as it is, since what it saw first was the other one's doing. The stored option is
    // kept as it was.
    void RefuseOptimizer(const QString& why);
    bool OptimizerRefused() const { return !optimizerRefusal_.isEmpty(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void OfferNewerVersion(const VersionFetch& fetch);
    void BuildLayout();
    void ConnectHandlers();
    void FormCreate();
    void FormShow();
    void FormHide();
    void LoadIcons();
    void LoadSettings();
    void LoadWindowSettings();
    void SaveWindowSettings();
    void AdjustTrayIcon(int action);
    void SyncEngineOptions();
    void AfterListChange();
    void SetTimerInterval(QTimer& timer, bool enabled, int ms);
    void ShowError(const QString& text);
    // Tells the port's new notices once: in the status bar, and as a message of the tray icon.
    void ShowNotices();
    // Tells one notice: in the status bar (its tip keeps them all) and, the first time, as a
    // message of the tray icon.
    void ShowNotice(const QString& notice);
    QString Format(Msg id, const QStringList& args) const;

    ProcessApi& api_;
    Options options_;
    UiServices services_;
    MessageStrings strings_;
    std::unique_ptr<ProcessMonitor> monitor_;
    std::unique_ptr<Optimizer> optimizer_;

    TSettingsGroup* settings_ = nullptr;
    TPropertiesPanel* properties_ = nullptr;
    TDetailsGroup* details_ = nullptr;
    graph::TGraphDisplay3D* graph_ = nullptr;
    TProcessListView* listView_ = nullptr;
    ProcessListModel* model_ = nullptr;
    TMainStatusBar* status_ = nullptr;
    std::unique_ptr<TMainMenu> menu_;
    std::unique_ptr<TPopupMenuList> listMenu_;
    std::unique_ptr<TPopupMenuTray> trayMenu_;
    std::unique_ptr<TTrayIcon> tray_;
    TStandardSystemMenu systemMenu_;
    std::array<QIcon, 6> images_;

    QTimer timerRefresh_;
    QTimer timerOptimizer_;
    QTimer timerCleanUp_;
    bool optimizerTimerEnabled_ = false; // enabled for good by LoadSettings
    bool refreshTimerEnabled_ = true;

    QStringList notices_;
    QString optimizerRefusal_;          // why the optimizer may not run; empty: it may
    bool optimizerStored_ = false;      // the stored option while it is refused
    QString ownVersion_;
    bool startMinimized_ = false;
    bool checkForNewVersion_ = true;
    bool destroyed_ = false;
    bool sessionEnding_ = false;
    bool created_ = false;
    std::int64_t selectedPid_ = -1; // the PID whose selection handler ran last
    // The version check's worker reports here while the window lives.
    struct VersionReceiver {
        std::mutex lock;
        TFormMain* window = nullptr;
    };
    std::shared_ptr<VersionReceiver> versionReceiver_;
    std::optional<VersionFetch> heldVersion_; // fetched while the start-up's dialogs showed
    bool versionCheckDone_ = false;
};

} // namespace kelvane::app
