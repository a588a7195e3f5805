#include "app/FormMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>
#include <thread>

#include "app/CpuGraphFeed.h"
#include "app/CpuGraphSetup.h"
#include "app/DetailsGroup.h"
#include "app/MainStatusBar.h"
#include "app/ProcessListModel.h"
#include "app/ProcessListView.h"
#include "app/PropertiesPanel.h"
#include "app/SettingsGroup.h"
#include "app/TrayIcon.h"
#include "app/WindowPlacement.h"
#include "engine/DebugDump.h"
#include "engine/Optimizer.h"
#include "engine/Privileges.h"
#include "engine/ProcessMonitor.h"
#include "engine/RowTexts.h"
#include "engine/SaveSettings.h"
#include "graph/GraphDisplay3D.h"
#include "settings/SettingsLocation.h"
#include "update/PublisherUrls.h"
#include "util/FileName.h"
#include "util/FileVersion.h"

// The icons are compiled into a static library: make sure they are registered.
static void InitIconResources() { Q_INIT_RESOURCE(icons); }

namespace kelvane::app {

namespace {

int ScreenWidth(int given) {
    if (given > 0)
        return given;
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen != nullptr ? screen->geometry().width() : 1920;
}

// Design sizes at 96 dpi.
constexpr int kDesignWidth = 1087;
constexpr int kDesignHeight = 770;
constexpr int kGraphMinimumWidth = 64; // 221 at the design width, narrower before the panes give way
constexpr int kGraphHeight = 129;

} // namespace

TFormMain::TFormMain(ProcessApi& api, Options options, UiServices services, QWidget* parent)
    : QMainWindow(parent), api_(api), options_(std::move(options)), services_(std::move(services)) {
    InitIconResources();
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Kelvane"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/mainicon.svg")));
    // System menu and maximize, no minimize button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    setMinimumSize(1024, 360);
    resize(kDesignWidth, kDesignHeight);
    monitor_ = std::make_unique<ProcessMonitor>(api_, *this, strings_, options_.settingsPath,
                                                static_cast<std::size_t>(ScreenWidth(options_.screenWidth)));
    optimizer_ = std::make_unique<Optimizer>(*monitor_, *this, strings_);
    optimizer_->dump = [this](Pid pid) {
        QString error;
        CreateDebugFile(pid, *monitor_, CurrentPreferences(), options_.settingsPath, &error);
    };
    BuildLayout();
    ConnectHandlers();
    systemMenu_.Loaded(this);
    FormCreate();
}

TFormMain::~TFormMain() {
    FormDestroy();
    if (versionReceiver_) {
        const std::lock_guard<std::mutex> guard(versionReceiver_->lock);
        versionReceiver_->window = nullptr;
    }
    // The panes and the list's model read the monitor's rows: they go before the monitor does
    // (as children of the window they would otherwise outlive it).
    listView_->onSelectionChanged = nullptr;
    delete takeCentralWidget();
    delete model_;
}

void TFormMain::BuildLayout() {
    menu_ = std::make_unique<TMainMenu>(menuBar());
    trayMenu_ = std::make_unique<TPopupMenuTray>();
    tray_ = std::make_unique<TTrayIcon>(&trayMenu_->menu, this);
    tray_->SetApplicationIcon(QIcon(QStringLiteral(":/icons/mainicon.svg")));

    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(4, 3, 4, 0); // the 3-pixel strip along the top
    outer->setSpacing(0);
    auto* control = new QGroupBox(QStringLiteral(" Control Panel: "), central);
    control->setObjectName(QStringLiteral("GroupBoxControlPanel"));
    outer->addWidget(control, 1);

    settings_ = new TSettingsGroup(control);
    properties_ = new TPropertiesPanel(*monitor_, control);
    details_ = new TDetailsGroup(control);
    graph_ = new graph::TGraphDisplay3D(control);
    graph_->setObjectName(QStringLiteral("GraphDisplay3DCPUUsage"));
    SetUpCpuGraphComponent(*graph_);
    graph_->setMinimumSize(kGraphMinimumWidth, kGraphHeight);
    graph_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    graph_->setFixedHeight(kGraphHeight);

    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(settings_);
    top->addWidget(properties_);
    top->addWidget(details_);
    top->addWidget(graph_, 1, Qt::AlignTop);

    auto* processesLabel = new QLabel(QStringLiteral("Processes:"), control);
    listView_ = new TProcessListView(control);
    model_ = new ProcessListModel(monitor_->list(), this);
    listView_->SetProcessModel(model_);
    listMenu_ = std::make_unique<TPopupMenuList>(listView_);

    auto* inner = new QVBoxLayout(control);
    inner->setContentsMargins(6, 4, 6, 6);
    inner->setSpacing(4);
    inner->addLayout(top);
    inner->addWidget(processesLabel);
    inner->addWidget(listView_, 1);
    setCentralWidget(central);

    status_ = new TMainStatusBar(this);
    setStatusBar(status_);
    // The design's minimum, or what the desktop's font needs to show every control whole.
    const QSize needed = central->minimumSizeHint();
    setMinimumSize(std::max(1024, needed.width()), std::max(360, needed.height() + menuBar()->sizeHint().height() +
                                                                     status_->sizeHint().height()));
}

void TFormMain::ConnectHandlers() {
    timerRefresh_.setObjectName(QStringLiteral("TimerRefreshDisplay"));
    timerOptimizer_.setObjectName(QStringLiteral("TimerOptimizer"));
    timerCleanUp_.setObjectName(QStringLiteral("TimerCleanUp"));
    timerRefresh_.setInterval(3000);
    timerOptimizer_.setInterval(300);
    timerCleanUp_.setInterval(300000);
    timerRefresh_.start(); // enabled by design; the optimization timer waits for LoadSettings
    timerCleanUp_.start();
    connect(&timerRefresh_, &QTimer::timeout, this, [this] { TimerRefreshDisplayOn(); });
    connect(&timerOptimizer_, &QTimer::timeout, this, [this] { TimerOptimizerTimer(); });
    connect(&timerCleanUp_, &QTimer::timeout, this, [this] { TimerCleanUpTimer(); });

    TSettingsGroup& s = *settings_;
    connect(s.CheckBoxOptimize, &QCheckBox::toggled, this, [this] { CheckBoxOptimizeClick(); });
    connect(s.CheckBoxALU, &QCheckBox::toggled, this, [this] { CheckBoxALUClick(); });
    connect(s.CheckBoxBoost, &QCheckBox::toggled, this, [this] { CheckBoxBoostClick(); });
    connect(s.ComboBoxBoost, &QComboBox::currentTextChanged, this, [this] { CheckBoxBoostClick(); });
    s.SpinEditOptimizer->onChange = [this] { SpinEditOptimizerChange(); };
    s.SpinEditRefresh->onChange = [this] { SpinEditRefreshChange(); };
    s.SpinEditALUPerc->onChange = [this] { SpinEditALUPercChange(); };

    TPropertiesPanel& p = *properties_;
    p.antiLockUpChecked = [this] { return settings_->CheckBoxALU->isChecked(); };
    p.eraseProfile = [this](const QString& name) {
        const IniResult result = EraseProfile(monitor_->settings(), name);
        if (!result)
            ShowError(result.Message());
    };
    p.optimizeOnce = [this] {
        SyncEngineOptions();
        optimizer_->ProcessesOptimizeNT();
    };
    p.rescan = [this] {
        monitor_->GetProcessesOnNT();
        AfterListChange();
    };
    p.showError = [this](const QString& text) { ShowError(text); };
    p.profileProblem = [this](const QString& name) {
        return ProfileNameProblem(name, monitor_->settings().FileEncoding());
    };

    listView_->onColumnClick = [this](int column) { ListViewProcessesColumnClick(column); };
    listView_->onSelectionChanged = [this](int lost, int gained) {
        if (lost >= 0)
            ListViewProcessesSelectItem(lost, false);
        if (gained >= 0)
            ListViewProcessesSelectItem(gained, true);
    };
    connect(listView_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        PopupMenuListPopup();
        listMenu_->menu->popup(listView_->viewport()->mapToGlobal(at));
    });

    TPopupMenuList& l = *listMenu_;
    connect(l.CleanUp1, &QAction::triggered, this, [this] { CleanUp1Click(); });
    connect(l.Refresh1, &QAction::triggered, this, [this] { Refresh1Click(); });
    connect(l.KillSelectedProcess1, &QAction::triggered, this, [this] { KillSelectedProcess1Click(); });
    for (int i = 0; i < 6; ++i)
        connect(l.priority[i], &QAction::triggered, this,
                [this, i] { SetPriorityClick(TPopupMenuList::PriorityCode(i)); });
    connect(l.OpenContainingFolder1, &QAction::triggered, this, [this] { OpenContainingFolder1Click(); });
    connect(l.Query1, &QAction::triggered, this, [this] { Query1Click(); });
    connect(l.SetShutdownTime1, &QAction::triggered, this, [this] { SetShutdownTime1Click(); });

    TMainMenu& m = *menu_;
    connect(m.SaveSettings1, &QAction::triggered, this, [this] { ButtonSaveClick(); });
    connect(m.Exit1, &QAction::triggered, this, [this] { Exit2Click(); });
    connect(m.StayonTop, &QAction::triggered, this, [this] {
        menu_->StayonTop->setChecked(!menu_->StayonTop->isChecked()); // the switch inverts it itself
        StayonTopClick();
    });
    connect(m.OnlineHelp1, &QAction::triggered, this, [this] { OnlineHelp1Click(); });
    connect(m.MenuVersionOnline, &QAction::triggered, this, [this] { MenuVersionOnlineClick(); });
    connect(m.Settings1, &QAction::triggered, this, [this] { Settings1Click(); });
    connect(m.Wizzard1, &QAction::triggered, this, [this] { Wizzard1Click(); });
    connect(m.Abaout1, &QAction::triggered, this, [this] { Abaout1Click(); });
    connect(m.MenuCreateDebugFile, &QAction::triggered, this, [this] { MenuCreateDebugFileClick(); });

    TPopupMenuTray& t = *trayMenu_;
    connect(t.Suspended, &QAction::triggered, this, [this] {
        trayMenu_->Suspended->setChecked(!trayMenu_->Suspended->isChecked()); // as before the click
        SuspendedClick();
    });
    connect(t.ShowSettings1, &QAction::triggered, this, [this] { ShowSettings1Click(); });
    connect(t.Exit2, &QAction::triggered, this, [this] { Exit2Click(); });
    tray_->onLeftClick = [this] { ShowSettings1Click(); };
    tray_->onMiddleClick = [this] { SwitchKelvane(); };
}

QString TFormMain::Format(Msg id, const QStringList& args) const {
    const QString& pattern = strings_[id];
    QString text;
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != u'%' || i + 1 >= pattern.size()) {
            text += pattern[i];
            continue;
        }
        const QChar kind = pattern[++i];
        if (kind == u'%')
            text += u'%';
        else if (kind == u'd' || kind == u's')
            text += next < args.size() ? args[next++] : QString();
        else
            text += u'%' + QString(kind);
    }
    return text;
}

// ---- Start-up and shut-down ----

void TFormMain::FormCreate() {
    strings_.LoadLanguageStrings(DefaultLanguageTable(), *this);         // 1
    EnsureSettingsFile(options_.settingsPath);                            // 2
    // 3: the profile read lists a section's keys itself.                   4: see event()
    tray_->LoadOfflineIcon();                                             // 5
    AdjustTrayIcon(TTrayIcon::NIM_ADD);                                   // 6
    ownVersion_ = BuildVersion();                                         // 7
    menu_->MenuDebug->menuAction()->setVisible(true);
    monitor_->processorCount = std::max(1, api_.GetNumberOfProcessors()); // 8
    {
        monitor_->flags.affinityListUpdate = true;
        properties_->FillAffinityList(monitor_->processorCount);
        monitor_->flags.affinityListUpdate = false;
    }
    // 9: the rings were made with the screen's width when the monitor was.
    try {
        monitor_->StartUp(); // 10 library, 11 privileges and own class High, 12 first scan
    } catch (...) {
    }
    LoadIcons();      // 13
    LoadSettings();   // 14
    LoadWindowSettings();
    // 15: the program entry shows the window unless StartMinimized().
    menu_->StayonTop->setChecked(!menu_->StayonTop->isChecked()); // 16
    StayonTopClick();
    try {
        TimerRefreshDisplayOn(); // 17
    } catch (...) {
    }
    SpinEditOptimizerChange(); // 18
    SpinEditRefreshChange();
    SpinEditALUPercChange();
    CheckBoxBoostClick();
    created_ = true;
    // 19 to 21 (the version check) run from the program entry once the window exists, so that a
    // slow server never holds the window back.
    try {
        TimerRefreshDisplayOn(); // 20
    } catch (...) {
    }
}

void TFormMain::FormDestroy() {
    if (destroyed_ || !created_)
        return;
    destroyed_ = true;
    timerRefresh_.stop();
    timerOptimizer_.stop();
    timerCleanUp_.stop();
    SaveWindowSettings();                  // 1
    if (!OptimizerRefused())
        monitor_->ProcessesRestorePriorities(); // 2
    monitor_->ReleaseLibrary();            // 3
    SetPrivileges(api_, false);            // 4
    AdjustTrayIcon(TTrayIcon::NIM_DELETE); // 6
    if (versionReceiver_) {
        const std::lock_guard<std::mutex> guard(versionReceiver_->lock);
        versionReceiver_->window = nullptr;
    }
}

void TFormMain::StartVersionCheck(std::function<VersionFetch()> fetch) {
    if (!fetch)
        fetch = [] { return FetchVersionText(VersionFileUrl()); };
    versionReceiver_ = std::make_shared<VersionReceiver>();
    versionReceiver_->window = this;
    std::thread([receiver = versionReceiver_, fetch = std::move(fetch)] {
        const VersionFetch result = fetch();
        const std::lock_guard<std::mutex> guard(receiver->lock);
        if (receiver->window != nullptr)
            QMetaObject::invokeMethod(
                receiver->window, [window = receiver->window, result] { window->ApplyVersionCheck(result); },
                Qt::QueuedConnection);
    }).detach(); // bounded by the fetch's time-outs; a window that went meanwhile is not told
}

void TFormMain::ApplyVersionCheck(const VersionFetch& fetch) {
    // 19: the caption, on the one line a menu item has. The text is the server's: "&" would
    // otherwise mark a shortcut.
    QString caption = VersionMenuCaption(fetch, strings_[Msg::LatestVersionAvailable], strings_[Msg::Unknown]);
    caption.replace(QStringLiteral("\r\n"), QStringLiteral(" ")).replace(u'\n', u' ').replace(u'\r', u' ');
    menu_->MenuVersionOnline->setText(caption.replace(u'&', QStringLiteral("&&")));
    versionCheckDone_ = true;
    // 21: the offer, with the same text; a modal question under the splash or the wizard would be
    // hidden from the user, so it waits for them.
    if (!checkForNewVersion_)
        return;
    if (dialogs.startupShowing && dialogs.startupShowing()) {
        heldVersion_ = fetch;
        return;
    }
    OfferNewerVersion(fetch);
}

void TFormMain::StartupDialogsClosed() {
    if (!heldVersion_)
        return;
    const VersionFetch fetch = *heldVersion_;
    heldVersion_.reset();
    OfferNewerVersion(fetch);
}

void TFormMain::OfferNewerVersion(const VersionFetch& fetch) {
    TVersionUpdate update;
    if (!update.IsNewerVersionAvailable(fetch.text))
        return;
    VersionDialogHost host;
    host.ask = [this](const QString& text, VersionQuestion buttons) {
        const auto answer = services_.messageBox(
            this, QMessageBox::Information, QStringLiteral("Kelvane"), text,
            buttons == VersionQuestion::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok);
        return answer == QMessageBox::Yes;
    };
    host.openUrl = [this](const QString& url) {
        if (services_.openUrl)
            services_.openUrl(QUrl(url));
    };
    update.IsNewerVersionAvailableDialog(fetch.text, host);
}

void TFormMain::LoadIcons() {
    images_ = {QIcon(QStringLiteral(":/icons/list0.svg")), QIcon(QStringLiteral(":/icons/list1.svg")),
               QIcon(QStringLiteral(":/icons/list2.svg")), QIcon(QStringLiteral(":/icons/list3.svg")),
               QIcon(QStringLiteral(":/icons/list4.svg")), QIcon(QStringLiteral(":/icons/watch.svg"))};
    model_->SetImages(images_);
}

void TFormMain::LoadSettings() {
    const IniDocument doc = monitor_->settings().Load();
    const Preferences p = LoadPreferences(doc);
    TSettingsGroup& s = *settings_;
    timerOptimizer_.setInterval(std::max(1, p.OptimizerInterval));
    s.SpinEditOptimizer->setValue(p.OptimizerInterval);
    optimizerTimerEnabled_ = true; // from here on the optimization timer runs
    SetTimerInterval(timerOptimizer_, true, s.SpinEditOptimizer->value());
    timerRefresh_.setInterval(std::max(1, p.RefreshInterval));
    s.SpinEditRefresh->setValue(p.RefreshInterval);
    s.CheckBoxOptimize->setChecked(p.OptimizerEnabled);
    const DialogOptions dialog = LoadDialogOptions(doc, DialogOptions{});
    startMinimized_ = dialog.StartMinimized;
    checkForNewVersion_ = dialog.CheckForNewVersion;
    s.CheckBoxBoost->setChecked(p.BoostForeground);
    // An index outside the list gives the default class, as every other ranged key does.
    s.ComboBoxBoost->setCurrentIndex(p.BoostPriority >= 0 && p.BoostPriority < s.ComboBoxBoost->count()
                                         ? p.BoostPriority
                                         : 2);
    menu_->StayonTop->setChecked(p.StayOnTop);
    s.CheckBoxALU->setChecked(p.ALU);
    s.SpinEditALUPerc->setValue(p.ALUPerc);
    // The placement: the frame within the available area of the screen that shows it, an absent
    // corner centring the window of its final size; the minimum size bounds the size.
    const SavedPlacement saved{p.WindowLeft, p.WindowTop, p.WindowWidth, p.WindowHeight};
    const QVector<QRect> areas = AvailableScreenAreas();
    const QMargins frame = FrameMarginsOf(*this);
    FitMinimumSize(*this, AreaFor(saved, areas, frame), frame); // a screen narrower than the design's minimum
    const QRect placed = PlaceWindow(saved, minimumSize(), areas, frame);
    move(placed.topLeft()); // the frame's corner
    resize(placed.size());
    KeepOnScreenOnceFramed(*this);
}

void TFormMain::LoadWindowSettings() {
    const ColumnLayout layout = LoadColumnLayout(monitor_->settings().Load());
    listView_->ApplyColumnLayout(layout);
    monitor_->options.sortColumn = layout.SortColumnIndex;
    monitor_->options.sortAscending = layout.SortAscending;
}

void TFormMain::SaveWindowSettings() {
    IniBatch batch;
    WriteColumnLayout(listView_->CurrentColumnLayout(monitor_->options.sortColumn, monitor_->options.sortAscending),
                      batch);
    monitor_->settings().Apply(batch); // a refused write at exit loses only the layout
}

Preferences TFormMain::CurrentPreferences() const {
    const TSettingsGroup& s = *settings_;
    Preferences p;
    p.RefreshInterval = timerRefresh_.interval();
    p.OptimizerInterval = s.SpinEditOptimizer->value();
    p.OptimizerEnabled = OptimizerRefused() ? optimizerStored_ : s.CheckBoxOptimize->isChecked();
    p.BoostForeground = s.CheckBoxBoost->isChecked();
    p.BoostPriority = s.ComboBoxBoost->currentIndex();
    p.StayOnTop = menu_->StayonTop->isChecked();
    p.ALU = s.CheckBoxALU->isChecked();
    p.ALUPerc = s.SpinEditALUPerc->value();
    p.WindowTop = y();
    p.WindowLeft = x();
    p.WindowWidth = width();
    p.WindowHeight = height();
    return p;
}

// ---- Window events ----

void TFormMain::closeEvent(QCloseEvent* event) {
    event->ignore(); // closing never ends Kelvane
    if (!tray_->IsDocked()) {
        // No notification area to come back from: keep the window reachable in the task bar.
        showMinimized();
        return;
    }
    listView_->ClearSelection();
    monitor_->flags.windowVisible = false;
    hide();
}

void TFormMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFormMain::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void TFormMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) { // FormActivate
        monitor_->flags.windowVisible = true;
        if (dialogs.raiseAbout)
            dialogs.raiseAbout();
    }
}

bool TFormMain::event(QEvent* event) {
    if (event->type() == QEvent::StatusTip) { // hints go to panel 0
        status_->SetPanel(0, static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TFormMain::FormShow() {
    monitor_->flags.windowVisible = true;
    if (graph_->Items.Count() == 0)
        InitializeCPUGraph(*graph_);
}

void TFormMain::FormHide() {
    listView_->ClearSelection();
    monitor_->flags.windowVisible = false;
    monitor_->overallUsage.Clear();
    graph_->Items.Clear(); // the device goes with the item
    graph_->D3DFree(false);
}

// ---- Timers ----

void TFormMain::SyncEngineOptions() {
    const TSettingsGroup& s = *settings_;
    monitor_->options.profilesRefresh = s.CheckBoxRefreshProfiles->isChecked();
    monitor_->options.optimizerEnabled = s.CheckBoxOptimize->isChecked();
    monitor_->options.refreshIntervalMs = timerRefresh_.interval();
    optimizer_->options.boost = s.CheckBoxBoost->isChecked();
    optimizer_->options.boostIndex = s.ComboBoxBoost->currentIndex();
    optimizer_->options.antiLockUp = s.CheckBoxALU->isChecked();
    optimizer_->options.antiLockUpPercent = s.SpinEditALUPerc->value();
    optimizer_->options.intervalMs = s.SpinEditOptimizer->value();
}

void TFormMain::AfterListChange() {
    model_->Refresh();
    // A row that went (the clean-up, kill on sense) takes its selection with it.
    if (selectedPid_ >= 0 && monitor_->list().SelectedIndex() < 0) {
        selectedPid_ = -1;
        ListViewProcessesSelectItem(-1, false);
    }
}

void TFormMain::TimerRefreshDisplayOn() {
    SyncEngineOptions();
    monitor_->TimerRefreshDisplayOn();
    AfterListChange();
    const bool visible = monitor_->flags.windowVisible;
    if (visible) {
        auto report = [this](const QString& text) { MessageBox(text, MessageKind::Plain); };
        UpdateCPUUsageGraph(*graph_, monitor_->overallUsage, 0, report);
        if (monitor_->list().SelectedIndex() >= 0)
            UpdateCPUUsageGraph(*graph_, monitor_->processUsage, 1, report);
        graph_->Render();
        details_->LabelRefreshV->setText(monitor_->texts.labelRefreshV);
        details_->LabelOptV->setText(monitor_->texts.labelOptV);
    }
    status_->SetPanel(1, monitor_->texts.statusPanel1);
    status_->SetPanel(2, monitor_->texts.statusPanel2);
    AdjustTrayIcon(TTrayIcon::NIM_MODIFY);
    ShowNotices();
}

void TFormMain::ShowNotices() {
    for (const QString& notice : monitor_->TakeNotices())
        ShowNotice(notice);
}

void TFormMain::ShowNotice(const QString& notice) {
    status_->SetPanel(0, notice);
    if (notices_.contains(notice))
        return;
    notices_.append(notice);
    if (services_.notify) // not the tray's balloon: an XEmbed tray draws it over the menu bar
        services_.notify(notice);
    status_->setToolTip(notices_.join(u'\n'));
}

void TFormMain::TimerOptimizerTimer() {
    SyncEngineOptions();
    const int rows = monitor_->list().count();
    optimizer_->TimerOptimizerTimer(settings_->CheckBoxOptimize->isChecked());
    if (monitor_->list().count() != rows) // a process it ended lost its row
        AfterListChange();
    if (monitor_->flags.windowVisible)
        details_->LabelOptV->setText(monitor_->texts.labelOptV);
}

void TFormMain::TimerCleanUpTimer() {
    monitor_->TimerCleanUpTimer();
    AfterListChange();
}

void TFormMain::SetTimerInterval(QTimer& timer, bool enabled, int ms) {
    // A timer of no interval does not run (an interval of 0 would fire without pause while the
    // user types "0" on the way to "50").
    if (ms <= 0) {
        timer.stop();
        return;
    }
    timer.setInterval(ms);
    if (enabled && !timer.isActive())
        timer.start();
}

// ---- Settings group ----

void TFormMain::SpinEditOptimizerChange() {
    const int value = settings_->SpinEditOptimizer->value();
    SetTimerInterval(timerOptimizer_, optimizerTimerEnabled_, value);
    settings_->SpinEditOptimizer->setStatusTip(Format(Msg::HintOptimizer, {QString::number(value)}));
}

void TFormMain::SpinEditRefreshChange() {
    const int value = settings_->SpinEditRefresh->value();
    SetTimerInterval(timerRefresh_, refreshTimerEnabled_, value);
    settings_->SpinEditRefresh->setStatusTip(Format(Msg::HintRefresh, {QString::number(value)}));
}

void TFormMain::SpinEditALUPercChange() {
    const TSettingsGroup& s = *settings_;
    s.SpinEditALUPerc->setStatusTip(Format(Msg::HintAntiLockUp, {QString::number(s.SpinEditALUPerc->value()),
                                                                 QString::number(s.SpinEditOptimizer->value()),
                                                                 s.ComboBoxBoost->currentText()}));
}

void TFormMain::CheckBoxBoostClick() {
    const QString hint = strings_[Msg::HintBoost] + u' ' + settings_->ComboBoxBoost->currentText();
    settings_->CheckBoxBoost->setStatusTip(hint);
    settings_->ComboBoxBoost->setStatusTip(hint);
}

void TFormMain::CheckBoxALUClick() {
    const int row = monitor_->list().SelectedIndex();
    ListViewProcessesSelectItem(row, row >= 0);
}

// ---- Tray and switches ----

void TFormMain::AdjustTrayIcon(int action) {
    const bool on = settings_->CheckBoxOptimize->isChecked();
    monitor_->options.optimizerEnabled = on;
    monitor_->UpdateStatusTexts();
    tray_->AdjustTrayIcon(static_cast<TTrayIcon::Action>(action), on, monitor_->texts.trayTip);
}

void TFormMain::CheckBoxOptimizeClick() {
    if (OptimizerRefused() && settings_->CheckBoxOptimize->isChecked()) {
        settings_->CheckBoxOptimize->setChecked(false); // runs this handler again, unchecked
        ShowNotice(optimizerRefusal_);
        return;
    }
    if (!settings_->CheckBoxOptimize->isChecked())
        tray_->LoadOfflineIcon();
    AdjustTrayIcon(TTrayIcon::NIM_MODIFY);
    trayMenu_->Suspended->setChecked(!settings_->CheckBoxOptimize->isChecked());
}

void TFormMain::SuspendedClick() {
    settings_->CheckBoxOptimize->setChecked(trayMenu_->Suspended->isChecked());
    trayMenu_->Suspended->setChecked(!trayMenu_->Suspended->isChecked());
    CheckBoxOptimizeClick();
}

void TFormMain::StayonTopClick() {
    QAction* item = menu_->StayonTop;
    item->setChecked(!item->isChecked());
    AdjustTrayIcon(TTrayIcon::NIM_DELETE);
    SetStaysOnTop(*this, item->isChecked());
    AdjustTrayIcon(TTrayIcon::NIM_ADD);
    CheckBoxOptimizeClick();
}

void TFormMain::SwitchKelvane() {
    QCheckBox* optimize = settings_->CheckBoxOptimize;
    optimize->setChecked(!optimize->isChecked());
    settings_->CheckBoxRefreshProfiles->setChecked(optimize->isChecked());
}

void TFormMain::ShowSettings1Click() {
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void TFormMain::Exit2Click() { QApplication::exit(0); } // quit() would ask the window, which only hides

// ---- The process list ----

std::int64_t TFormMain::SelectedPid() const {
    const int row = monitor_->list().SelectedIndex();
    if (row < 0)
        return -1;
    bool ok = false;
    const uint pid = monitor_->list().at(row).caption.toUInt(&ok);
    return ok ? static_cast<std::int64_t>(pid) : -1;
}

void TFormMain::ListViewProcessesColumnClick(int column) {
    monitor_->ListViewProcessesColumnClick(column);
    listView_->ShowSortIndicator(monitor_->options.sortColumn, monitor_->options.sortAscending);
    model_->Refresh();
}

void TFormMain::ListViewProcessesSelectItem(int row, bool selected) {
    ProcessList& list = monitor_->list();
    if (selected) {
        if (row < 0 || row >= list.count())
            return;
        list.Select(row);
        selectedPid_ = SelectedPid();
        properties_->EnableControls();
        details_->ResetCpuLabels();
        details_->MarkOptimizeRed();
        monitor_->LoadAndDisplayCPUAffinity(static_cast<Pid>(std::max<std::int64_t>(selectedPid_, 0)));
        monitor_->processUsage.Clear();
        // One process curve at most: a renewed selection (the Anti-LockUp switch) keeps the one there.
        if (graph_->Items.Count() > 0 && graph_->Items[0]->GraphItems.Count() == 1)
            graph_->Items[0]->GraphItems.Add()->Color = 0x0000FF;
        return;
    }
    if (row >= 0 && row < list.count() && list.at(row).selected)
        list.Select(-1);
    if (list.SelectedIndex() < 0)
        selectedPid_ = -1;
    properties_->DisableControls();
    if (graph_->Items.Count() >= 1 && graph_->Items[0]->GraphItems.Count() == 2)
        graph_->Items[0]->GraphItems.Delete(1);
}

void TFormMain::PopupMenuListPopup() {
    QAction* open = listMenu_->OpenContainingFolder1;
    open->setEnabled(false);
    const std::int64_t pid = SelectedPid();
    if (pid < 0)
        return;
    const TProcess* record = monitor_->table().Find(static_cast<Pid>(pid));
    if (record != nullptr && !record->Name.isEmpty() && FileNameExists(record->Name))
        open->setEnabled(true);
}

// ---- EngineHost ----

void TFormMain::MessageBox(const QString& text, MessageKind kind) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case MessageKind::Error:
        icon = QMessageBox::Critical;
        break;
    case MessageKind::Warning:
        icon = QMessageBox::Warning;
        break;
    case MessageKind::Information:
        icon = QMessageBox::Information;
        break;
    case MessageKind::Plain:
        break;
    }
    if (services_.messageBox)
        services_.messageBox(this, icon, QStringLiteral("Kelvane"), text, QMessageBox::Ok);
}

void TFormMain::ShowError(const QString& text) { MessageBox(text, MessageKind::Error); }

void TFormMain::ShowDetailLabels(const DetailLabels& labels) {
    if (monitor_->flags.windowVisible)
        details_->Show(labels);
}

void TFormMain::SetAffinityMarks(const std::vector<bool>& marks) { properties_->SetAffinityMarks(marks); }

} // namespace kelvane::app
