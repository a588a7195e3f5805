// The main window over the fake process world, on the offscreen platform: start-up, the panes'
// cascade and presets, the spin boxes, hints, sorting, selection, the tray's switches, exit, the
// list model's signals and the nested event loops of message boxes.

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <thread>

#include "app/CpuGraphFeed.h"
#include "app/DetailsGroup.h"
#include "app/MainStatusBar.h"
#include "app/ProcessListModel.h"
#include "app/ProcessListView.h"
#include "app/PropertiesPanel.h"
#include "app/SettingsGroup.h"
#include "app/StandardSystemMenu.h"
#include "app/TrayIcon.h"
#include "engine/Optimizer.h"
#include "engine/ProcessMonitor.h"
#include "graph/GraphDisplay3D.h"
#include "settings/IniFile.h"
#include "tests/support/WindowFixture.h"

using namespace kelvane;
using namespace kelvane::app;
using kelvane::test::WaitFor;

namespace {

class WindowTest : public kelvane::test::WindowFixture {
protected:
    TProcess& Record(Pid pid) { return window->monitor().table()[pid]; }
    std::uint32_t ClassOf(Pid pid) { return api.Find(pid)->priorityClass; }
    QStringList ModelColumn(int column) const {
        QStringList texts;
        const ProcessListModel& model = window->listModel();
        for (int row = 0; row < model.rowCount(); ++row)
            texts.append(model.data(model.index(row, column)).toString());
        return texts;
    }
    void ClickHeader(int column) {
        QHeaderView* header = window->listView().horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
};

} // namespace

TEST_F(WindowTest, FirstStartWithoutSettingsFile) {
    TFormMain& w = Start();
    EXPECT_EQ(SettingsText(), QByteArray("\xFF\xFE", 2)); // created holding only the byte-order mark
    EXPECT_TRUE(w.trayIcon().IsShown());
    EXPECT_TRUE(w.trayIcon().ShowsOfflineIcon());
    EXPECT_EQ(w.trayIcon().Tip(), QStringLiteral("Offline"));
    EXPECT_TRUE(w.trayMenu().Suspended->isChecked());
    EXPECT_FALSE(w.settingsGroup().CheckBoxOptimize->isChecked());
    EXPECT_TRUE(w.timerOptimizer().isActive());
    EXPECT_EQ(w.timerOptimizer().interval(), 250);
    EXPECT_EQ(w.timerRefreshDisplay().interval(), 500);
    EXPECT_TRUE(w.mainMenu().MenuDebug->menuAction()->isVisible());
    EXPECT_EQ(w.settingsGroup().ComboBoxBoost->currentText(), QStringLiteral("Normal"));
    // The design's 848 raised to the minimum width: 1024, or the screen's width where that is less.
    EXPECT_GE(w.width(), std::min(1024, QGuiApplication::primaryScreen()->availableGeometry().width() - 8));
    api.AddProcess(50, QStringLiteral("/usr/bin/hog"), HIGH_PRIORITY_CLASS);
    api.ClearLog();
    w.TimerOptimizerTimer();
    EXPECT_FALSE(api.Log().join(u'\n').contains(QStringLiteral("SetPriorityClass"))) << api.Log().join(u'\n').toStdString();
}

TEST_F(WindowTest, MenusHoldEveryItemInOrder) {
    TFormMain& w = Start();
    auto names = [](const QMenu* menu) {
        QStringList list;
        for (const QAction* action : menu->actions())
            list.append(action->isSeparator() ? QStringLiteral("-") : action->objectName());
        return list;
    };
    const TMainMenu& m = w.mainMenu();
    EXPECT_EQ(names(m.File).join(u' '), QStringLiteral("SaveSettings1 - Exit1"));
    EXPECT_EQ(names(m.Options).join(u' '), QStringLiteral("StayonTop - Settings1"));
    EXPECT_EQ(names(m.Help).join(u' '),
              QStringLiteral("OnlineHelp1 - Wizzard1 - MenuVersionOnline - Abaout1"));
    EXPECT_EQ(names(m.MenuDebug).join(u' '), QStringLiteral("MenuCreateDebugFile"));
    EXPECT_EQ(m.OnlineHelp1->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(m.MenuVersionOnline->text(), QStringLiteral("Latest Version Available: "));
    EXPECT_EQ(names(w.listMenu().menu).join(u' '),
              QStringLiteral("CleanUp1 Refresh1 - KillSelectedProcess1 - Query1 - RealTime1 High1 AboveNormal1 "
                             "Normal1 BelowNomal1 Low1 - SetShutdownTime1 - OpenContainingFolder1"));
    EXPECT_EQ(names(&w.trayMenu().menu).join(u' '), QStringLiteral("Suspended - ShowSettings1 - Exit2"));
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
}

TEST_F(WindowTest, AffinityListHasOneRowPerProcessor) {
    TFormMain& w = Start(8);
    QTreeWidget* list = w.properties().ListViewAffinity;
    ASSERT_EQ(list->topLevelItemCount(), 8);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(list->topLevelItem(i)->text(0), QStringLiteral("CPU %1").arg(i));
}

TEST_F(WindowTest, StartMinimizedShowsOnlyTheTrayUntilALeftClick) {
    Settings("[Preferences]\nStartMinimzed=1\n");
    TFormMain& w = Start();
    EXPECT_TRUE(w.StartMinimized());
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.monitor().flags.windowVisible);
    w.trayIcon().onLeftClick();
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.monitor().flags.windowVisible);
    api.AddProcess(60, QStringLiteral("/usr/bin/late"));
    w.Refresh1Click(); // new processes are named by the full scan (or the optimizer's pass)
    w.TimerRefreshDisplayOn();
    EXPECT_GE(ModelRowOf(60), 0);
}

TEST_F(WindowTest, MiddleClicksSwitchTheOptimizerAndProfilesRefreshTogether) {
    TFormMain& w = Start();
    TSettingsGroup& s = w.settingsGroup();
    s.CheckBoxRefreshProfiles->setChecked(false);
    w.trayIcon().onMiddleClick();
    EXPECT_TRUE(s.CheckBoxOptimize->isChecked());
    EXPECT_TRUE(s.CheckBoxRefreshProfiles->isChecked());
    EXPECT_FALSE(w.trayMenu().Suspended->isChecked());
    EXPECT_FALSE(w.trayIcon().ShowsOfflineIcon());
    EXPECT_TRUE(w.trayIcon().Tip().startsWith(QStringLiteral("Opt: "))) << w.trayIcon().Tip().toStdString();
    w.trayIcon().onMiddleClick();
    EXPECT_FALSE(s.CheckBoxOptimize->isChecked());
    EXPECT_FALSE(s.CheckBoxRefreshProfiles->isChecked());
    EXPECT_TRUE(w.trayMenu().Suspended->isChecked());
    EXPECT_EQ(w.trayIcon().Tip(), QStringLiteral("Offline"));
}

TEST_F(WindowTest, SuspendedTogglesTheOptimizer) {
    TFormMain& w = Start();
    w.trayMenu().Suspended->trigger();
    EXPECT_TRUE(w.settingsGroup().CheckBoxOptimize->isChecked());
    EXPECT_FALSE(w.trayMenu().Suspended->isChecked());
    w.trayMenu().Suspended->trigger();
    EXPECT_FALSE(w.settingsGroup().CheckBoxOptimize->isChecked());
    EXPECT_TRUE(w.trayMenu().Suspended->isChecked());
}

TEST_F(WindowTest, StayOnTopLeavesOneTrayIcon) {
    TFormMain& w = Start();
    const int adds = w.trayIcon().addCount();
    w.mainMenu().StayonTop->trigger();
    EXPECT_TRUE(w.mainMenu().StayonTop->isChecked());
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    w.mainMenu().StayonTop->trigger();
    EXPECT_FALSE(w.mainMenu().StayonTop->isChecked());
    EXPECT_FALSE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(w.trayIcon().IsShown());
    EXPECT_EQ(w.trayIcon().addCount(), adds + 2); // each switch removes the icon and adds it once
}

TEST_F(WindowTest, LoadedStayOnTopIsApplied) {
    Settings("[Preferences]\nStayOnTop=1\n");
    TFormMain& w = Start();
    EXPECT_TRUE(w.mainMenu().StayonTop->isChecked());
    EXPECT_TRUE(w.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

// ---- The properties panel ----

namespace {

struct CascadeCase {
    const char* name;
    const char* profile; // the process's profile section's keys, empty for none
    bool antiLockUp;
    // Enabled: Managed, Never, Kill, Dynamic, radio buttons, affinity list.
    bool managed, never, kill, dynamic, radios, affinity;
};

class CascadeTest : public WindowTest, public testing::WithParamInterface<CascadeCase> {};

} // namespace

TEST_P(CascadeTest, SelectingARowEnablesWhatTheRecordAllows) {
    const CascadeCase& c = GetParam();
    QByteArray text = "[Preferences]\nALU=" + QByteArray(c.antiLockUp ? "1" : "0") + "\n";
    if (*c.profile != '\0')
        text += "[/usr/bin/tool]\n" + QByteArray(c.profile);
    Settings(text);
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"), BELOW_NORMAL_PRIORITY_CLASS);
    TFormMain& w = StartShown();
    Select(40);
    const TPropertiesPanel& p = w.properties();
    EXPECT_EQ(p.CheckBoxManaged->isEnabled(), c.managed);
    EXPECT_EQ(p.CheckBoxNever->isEnabled(), c.never);
    EXPECT_EQ(p.CheckBoxAutoKill->isEnabled(), c.kill);
    EXPECT_EQ(p.CheckBoxStatic->isEnabled(), c.dynamic);
    for (const QRadioButton* radio : p.radioButtons)
        EXPECT_EQ(radio->isEnabled(), c.radios) << radio->objectName().toStdString();
    EXPECT_EQ(p.ListViewAffinity->isEnabled(), c.affinity);
    for (const QPushButton* button : p.presetButtons)
        EXPECT_TRUE(button->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(
    Cascade, CascadeTest,
    testing::Values(CascadeCase{"Unmanaged", "", false, true, false, false, false, false, false},
                    CascadeCase{"Managed", "Priority=128\n", false, true, true, true, false, true, true},
                    CascadeCase{"ManagedWithAntiLockUp", "Priority=128\n", true, true, true, true, true, true, true},
                    CascadeCase{"NeverManaged", "Tabu=1\n", true, true, true, false, false, false, false},
                    CascadeCase{"KillOnSense", "AutoKill=1\n", true, true, true, true, false, false, false}),
    [](const testing::TestParamInfo<CascadeCase>& p) { return std::string(p.param.name); });

TEST_F(WindowTest, AnUnmanagedRowShowsItsCurrentClassAndKeepsIt) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"), BELOW_NORMAL_PRIORITY_CLASS);
    TFormMain& w = StartShown();
    Select(40);
    EXPECT_TRUE(w.properties().radioButtons[4]->isChecked()); // "Below Normal"
    EXPECT_EQ(Record(40).OptimizeProfile, BELOW_NORMAL_PRIORITY_CLASS);
    w.properties().CheckBoxManaged->setChecked(true);
    EXPECT_TRUE(Record(40).Managed);
    EXPECT_EQ(Record(40).OptimizeProfile, BELOW_NORMAL_PRIORITY_CLASS); // a later "Managed" starts from it
    EXPECT_FALSE(w.properties().CheckBoxStatic->isEnabled());          // Anti-LockUp is off
}

namespace {

struct PresetCase {
    const char* name;
    int tag;
    bool startManaged; // the process starts with a High profile
    bool never, kill;
    std::uint16_t profile;
};

class PresetTest : public WindowTest, public testing::WithParamInterface<PresetCase> {};

} // namespace

TEST_P(PresetTest, ARecordAfterAPresetIsWhateverItWasBefore) {
    const PresetCase& c = GetParam();
    if (c.startManaged)
        Settings("[/usr/bin/tool]\nPriority=128\nAutoKill=1\nTabu=0\nStatic=1\n");
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"), NORMAL_PRIORITY_CLASS);
    TFormMain& w = StartShown();
    Select(40);
    w.properties().presetButtons[static_cast<std::size_t>(c.tag)]->click();
    const TProcess& r = Record(40);
    EXPECT_TRUE(r.Managed);
    EXPECT_EQ(r.Never, c.never);
    EXPECT_EQ(r.Kill, c.kill);
    EXPECT_FALSE(r.Static);
    EXPECT_EQ(r.OptimizeProfile, c.profile);
    EXPECT_TRUE(w.properties().CheckBoxManaged->isChecked());
    EXPECT_EQ(w.properties().CheckBoxNever->isChecked(), c.never);
    // The row's image follows at once: managed.
    EXPECT_EQ(w.monitor().list().at(w.monitor().list().FindItem(40)).imageIndex, c.never ? 3 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Presets, PresetTest,
    testing::Values(PresetCase{"MinUnmanaged", 0, false, false, false, IDLE_PRIORITY_CLASS},
                    PresetCase{"NormalUnmanaged", 1, false, false, false, NORMAL_PRIORITY_CLASS},
                    PresetCase{"MaxUnmanaged", 2, false, false, false, HIGH_PRIORITY_CLASS},
                    PresetCase{"TerminateUnmanaged", 3, false, false, true, NORMAL_PRIORITY_CLASS},
                    PresetCase{"TabooUnmanaged", 4, false, true, false, NORMAL_PRIORITY_CLASS},
                    PresetCase{"MinManaged", 0, true, false, false, IDLE_PRIORITY_CLASS},
                    PresetCase{"MaxManaged", 2, true, false, false, HIGH_PRIORITY_CLASS},
                    PresetCase{"TerminateManaged", 3, true, false, true, HIGH_PRIORITY_CLASS},
                    PresetCase{"TabooManaged", 4, true, true, false, HIGH_PRIORITY_CLASS}),
    [](const testing::TestParamInfo<PresetCase>& p) { return std::string(p.param.name); });

TEST_F(WindowTest, TabooOnAnUnmanagedProcessDisablesTheRadios) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    TFormMain& w = StartShown();
    Select(40);
    w.properties().presetButtons[4]->click();
    const TPropertiesPanel& p = w.properties();
    EXPECT_TRUE(p.CheckBoxManaged->isChecked());
    EXPECT_TRUE(p.CheckBoxNever->isChecked());
    EXPECT_FALSE(p.CheckBoxAutoKill->isChecked());
    for (const QRadioButton* radio : p.radioButtons)
        EXPECT_FALSE(radio->isEnabled());
}

TEST_F(WindowTest, ClearingManagedErasesTheProfileAndRunsOneCycleAtOnce) {
    Settings("[/usr/bin/tool]\nPriority=128\n[/usr/bin/other]\nPriority=64\n");
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"), NORMAL_PRIORITY_CLASS);
    TFormMain& w = StartShown();
    ASSERT_FALSE(w.settingsGroup().CheckBoxOptimize->isChecked());
    Select(40);
    w.SetPriorityClick(HIGH_PRIORITY_CLASS);
    ASSERT_EQ(ClassOf(40), HIGH_PRIORITY_CLASS);
    w.properties().CheckBoxManaged->setChecked(false);
    EXPECT_EQ(ClassOf(40), NORMAL_PRIORITY_CLASS); // the cycle applied the original class
    EXPECT_FALSE(Record(40).Managed);
    IniFile file(settingsPath);
    EXPECT_TRUE(file.Keys(QStringLiteral("/usr/bin/tool")).isEmpty());
    EXPECT_FALSE(file.Keys(QStringLiteral("/usr/bin/other")).isEmpty());
    EXPECT_FALSE(w.properties().CheckBoxNever->isEnabled());
}

TEST_F(WindowTest, MovingTheSelectionOnlyShowsRecords) {
    // 40 and 41 run one executable: 40 got a High profile, which was saved; 41 was found before
    // and is not managed. 42 is to be killed on sense. The optimizer is off.
    api.AddProcess(40, QStringLiteral("/usr/bin/sleep"), NORMAL_PRIORITY_CLASS);
    api.AddProcess(41, QStringLiteral("/usr/bin/sleep"), NORMAL_PRIORITY_CLASS);
    api.AddProcess(42, QStringLiteral("/usr/bin/doomed"), NORMAL_PRIORITY_CLASS);
    api.AddProcess(43, QStringLiteral("/usr/bin/other"), NORMAL_PRIORITY_CLASS);
    TFormMain& w = StartShown();
    Select(40);
    w.properties().presetButtons[2]->click(); // "Max."
    Select(42);
    w.properties().presetButtons[3]->click(); // "Terminate"
    w.mainMenu().SaveSettings1->trigger();
    ASSERT_FALSE(IniFile(settingsPath).Keys(QStringLiteral("/usr/bin/sleep")).isEmpty());
    ASSERT_FALSE(Record(41).Managed);
    const QByteArray file = SettingsText();
    const std::uint64_t passes = w.monitor().optimizerPass;
    struct Step {
        const char* what;
        Pid from, to;
    } const steps[] = {
        {"managed to unmanaged of the same executable", 40, 41},
        {"kill on sense to unmanaged", 42, 43},
        {"managed to managed", 40, 42},
        {"unmanaged to managed", 43, 40},
        {"unmanaged to kill on sense", 41, 42},
    };
    for (const Step& step : steps) {
        Select(step.from);
        Select(step.to);
        EXPECT_EQ(SettingsText(), file) << step.what << ": the profile stays in the file";
        EXPECT_EQ(w.monitor().optimizerPass, passes) << step.what << ": no optimization pass";
        EXPECT_FALSE(api.Find(42)->exited) << step.what << ": nothing is ended";
        EXPECT_EQ(ClassOf(40), NORMAL_PRIORITY_CLASS) << step.what << ": no profile applied";
        EXPECT_TRUE(Record(40).Managed && Record(42).Managed && Record(42).Kill) << step.what;
        EXPECT_FALSE(Record(41).Managed || Record(43).Managed) << step.what;
        EXPECT_EQ(Record(40).OptimizeProfile, HIGH_PRIORITY_CLASS) << step.what;
        EXPECT_EQ(w.properties().CheckBoxManaged->isChecked(), Record(step.to).Managed) << step.what;
    }
}

TEST_F(WindowTest, AffinityMarksApplyOnlyWhenTheUserSetsThem) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool")).affinity = 0b11;
    Settings("[/usr/bin/tool]\nPriority=32\n");
    TFormMain& w = StartShown(4);
    Select(40);
    QTreeWidget* list = w.properties().ListViewAffinity;
    EXPECT_EQ(list->topLevelItem(0)->checkState(0), Qt::Checked); // shown from the process, not applied
    EXPECT_EQ(list->topLevelItem(2)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(api.Log().join(u'\n').contains(QStringLiteral("SetProcessAffinityMask")));
    list->topLevelItem(2)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(api.Find(40)->affinity, 0b111U);
    EXPECT_EQ(Record(40).CPUAffinity, 0b111U);
}

// ---- The settings group ----

TEST_F(WindowTest, TypingIntoASpinBoxRunsItsHandlerAndTheRangeAppliesOnFocusLoss) {
    TFormMain& w = StartShown();
    TSpinEdit* spin = w.settingsGroup().SpinEditOptimizer;
    w.activateWindow();
    spin->setFocus();
    ASSERT_TRUE(WaitFor([&] { return spin->hasFocus(); })) << "no keyboard focus on this platform";
    spin->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(spin->findChild<QLineEdit*>(), QStringLiteral("5"));
    EXPECT_EQ(w.timerOptimizer().interval(), 5);
    EXPECT_EQ(spin->statusTip(), QStringLiteral("Optimize process priorities every 5th millisecond"));
    w.settingsGroup().SpinEditRefresh->setFocus();
    ASSERT_TRUE(WaitFor([&] { return !spin->hasFocus(); }));
    EXPECT_EQ(spin->value(), 10);
    EXPECT_EQ(w.timerOptimizer().interval(), 10);
}

TEST_F(WindowTest, SpinBoxValues) {
    TSpinEdit spin(10, 2000, 300);
    int runs = 0;
    spin.onChange = [&] { ++runs; };
    struct {
        const char* text;
        int value;
    } const cases[] = {{"5", 5}, {"", 10}, {"-", 10}, {"2500", 2500}, {"-40", -40}, {" 77", 77}};
    for (const auto& c : cases) {
        spin.findChild<QLineEdit*>()->setText(QString::fromUtf8(c.text));
        EXPECT_EQ(spin.value(), c.value) << c.text;
    }
    EXPECT_EQ(runs, 6); // every change of the text
    spin.setValue(5000);
    EXPECT_EQ(spin.value(), 2000); // code brings the value into the range
    spin.setValue(3);
    EXPECT_EQ(spin.value(), 10);
    QString bad = QStringLiteral("12a");
    int pos = 0;
    EXPECT_EQ(spin.validate(bad, pos), QValidator::Invalid);
}

TEST_F(WindowTest, HintsAreBuiltFromTheMessageStrings) {
    TFormMain& w = Start();
    TSettingsGroup& s = w.settingsGroup();
    s.SpinEditOptimizer->setValue(250);
    s.ComboBoxBoost->setCurrentIndex(2);
    s.SpinEditALUPerc->setValue(74);
    s.SpinEditALUPerc->setValue(75);
    EXPECT_EQ(s.SpinEditALUPerc->statusTip(),
              QStringLiteral("Process that goes beyond 75% CPU Time in the 250ms time slice will be changed to "
                             "Normal priority"));
    EXPECT_EQ(s.CheckBoxBoost->statusTip(), QStringLiteral("Boost foreground application to Normal"));
    EXPECT_EQ(s.ComboBoxBoost->statusTip(), QStringLiteral("Boost foreground application to Normal"));
    s.SpinEditRefresh->setValue(700);
    EXPECT_EQ(s.SpinEditRefresh->statusTip(), QStringLiteral("Refresh Managing Profiles in every 700 milliseconds"));
    EXPECT_EQ(w.timerRefreshDisplay().interval(), 700);
    // The Anti-LockUp hint is not rebuilt when the interval changes.
    s.SpinEditOptimizer->setValue(300);
    EXPECT_TRUE(s.SpinEditALUPerc->statusTip().contains(QStringLiteral("250ms")));
}

TEST_F(WindowTest, HintsReachStatusPanelZero) {
    TFormMain& w = StartShown();
    QStatusTipEvent tip(QStringLiteral("Available processes"));
    QCoreApplication::sendEvent(&w.listView(), &tip);
    EXPECT_EQ(w.statusBarPanels().Panel(0), QStringLiteral("Available processes"));
}

TEST_F(WindowTest, ThePortsNoticesAreToldOnceEach) {
    TFormMain& w = StartShown();
    const QString notice = QStringLiteral("Processes of other users are listed but not changed");
    api.notices = {notice};
    w.TimerRefreshDisplayOn();
    EXPECT_EQ(w.statusBarPanels().Panel(0), notice);
    w.TimerRefreshDisplayOn();
    w.TimerRefreshDisplayOn();
    EXPECT_EQ(w.Notices(), QStringList{notice}) << "one notice, not one per tick";
    EXPECT_TRUE(w.statusBarPanels().toolTip().contains(notice)) << "kept where hints cannot cover it";
}

TEST_F(WindowTest, BoostPriorityOutsideTheListGivesTheDefault) {
    Settings("[Preferences]\nBoostPriority=99\n");
    TFormMain& w = Start();
    EXPECT_EQ(w.settingsGroup().ComboBoxBoost->currentIndex(), 2);
}

// ---- The process list ----

TEST_F(WindowTest, HeaderClicksSortAsText) {
    api.AddProcess(100, QStringLiteral("/usr/bin/bravo"));
    api.AddProcess(4, QStringLiteral("/usr/bin/alpha"));
    api.AddProcess(30, QStringLiteral("/usr/bin/charlie"));
    TFormMain& w = StartShown();
    // Sorted by "Process Name" ascending at start.
    QStringList names = ModelColumn(1);
    EXPECT_LT(names.indexOf(QStringLiteral("alpha")), names.indexOf(QStringLiteral("bravo")));
    ClickHeader(1); // descending
    names = ModelColumn(1);
    EXPECT_GT(names.indexOf(QStringLiteral("alpha")), names.indexOf(QStringLiteral("bravo")));
    ClickHeader(0); // by PID ascending
    const QStringList pids = ModelColumn(0);
    EXPECT_LT(pids.indexOf(QStringLiteral("4")), pids.indexOf(QStringLiteral("100")));
    EXPECT_EQ(w.monitor().options.sortColumn, 0);
    EXPECT_TRUE(w.monitor().options.sortAscending);
    // "CPU" compares as text: 12.0% before 9.5% ascending.
    ProcessList& list = w.monitor().list();
    list.at(list.FindItem(4)).subItems[2] = QStringLiteral("9.5%");
    list.at(list.FindItem(100)).subItems[2] = QStringLiteral("12.0%");
    ClickHeader(3);
    const QStringList cpu = ModelColumn(3);
    EXPECT_LT(cpu.indexOf(QStringLiteral("12.0%")), cpu.indexOf(QStringLiteral("9.5%")));
}

TEST_F(WindowTest, SelectionSurvivesRefreshesAndSorts) {
    for (Pid pid = 10; pid < 40; ++pid)
        api.AddProcess(pid, QStringLiteral("/usr/bin/p%1").arg(pid));
    TFormMain& w = StartShown();
    Select(25);
    ClickHeader(0);
    ClickHeader(0); // descending: every row moves
    w.TimerRefreshDisplayOn();
    const int row = w.listView().SelectedRow();
    ASSERT_GE(row, 0);
    EXPECT_EQ(w.listModel().data(w.listModel().index(row, 0)).toString(), QStringLiteral("25"));
    EXPECT_EQ(w.SelectedPid(), 25);
    EXPECT_EQ(w.listModel().counts().resets, 0);
}

TEST_F(WindowTest, SelectingAndDeselectingARow) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    api.AddProcess(41, QStringLiteral("/usr/bin/other"));
    TFormMain& w = StartShown();
    graph::TGraphDisplay3D& g = w.cpuGraph();
    ASSERT_EQ(g.Items.Count(), 1);
    w.details().LabelCPUTimeV->setText(QStringLiteral("123"));
    Select(40);
    EXPECT_EQ(w.details().LabelCPUTimeV->text(), QStringLiteral("0"));
    EXPECT_EQ(w.details().LabelCPUTimeRV->text(), QStringLiteral("0"));
    EXPECT_EQ(w.details().LabelCPUDeltaRV->text(), QStringLiteral("0"));
    EXPECT_EQ(w.details().LabelCPUDeltaV->text(), QStringLiteral("0 ms"));
    EXPECT_EQ(g.Items[0]->GraphItems.Count(), 2);
    EXPECT_EQ(g.Items[0]->GraphItems[1]->Color, 0x0000FFU);
    Select(41); // another row: the process curve starts afresh, still one of it
    EXPECT_EQ(g.Items[0]->GraphItems.Count(), 2);
    w.settingsGroup().CheckBoxALU->setChecked(true); // re-runs the selection, without a second curve
    EXPECT_EQ(g.Items[0]->GraphItems.Count(), 2);
    w.listView().ClearSelection();
    EXPECT_EQ(g.Items[0]->GraphItems.Count(), 1);
    EXPECT_FALSE(w.properties().CheckBoxManaged->isEnabled());
    for (const QPushButton* button : w.properties().presetButtons)
        EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(w.SelectedPid(), -1);
}

TEST_F(WindowTest, HidingClearsTheSelectionAndTheGraph) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    TFormMain& w = StartShown();
    Select(40);
    w.hide();
    EXPECT_FALSE(w.monitor().flags.windowVisible);
    EXPECT_EQ(w.SelectedPid(), -1);
    EXPECT_EQ(w.listView().SelectedRow(), -1);
    EXPECT_EQ(w.cpuGraph().Items.Count(), 0);
    w.trayIcon().onLeftClick();
    EXPECT_TRUE(w.monitor().flags.windowVisible);
    EXPECT_EQ(w.cpuGraph().Items.Count(), 1); // a fresh display item
}

TEST_F(WindowTest, WithoutANotificationAreaClosingMinimizes) {
    if (QSystemTrayIcon::isSystemTrayAvailable())
        GTEST_SKIP() << "a notification area is there";
    TFormMain& w = StartShown();
    w.close();
    EXPECT_TRUE(WaitFor([&] { return w.isMinimized(); }));
    EXPECT_TRUE(w.isVisible());
}

TEST_F(WindowTest, ContextMenuCommands) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    api.AddProcess(41, QStringLiteral("/usr/bin/locked")).refuseSetClass = true;
    api.Find(41)->refuseTerminate = true;
    TFormMain& w = StartShown();
    TPopupMenuList& menu = w.listMenu();
    menu.priority[0]->trigger(); // nothing selected: nothing happens
    EXPECT_TRUE(boxes.isEmpty());
    Select(41);
    menu.priority[0]->trigger();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(QStringLiteral("Error setting process's priority.\n"))) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].endsWith(u'.'));
    menu.KillSelectedProcess1->trigger();
    ASSERT_EQ(boxes.size(), 2);
    EXPECT_TRUE(boxes[1].startsWith(QStringLiteral("Error terminating process.\n"))) << boxes[1].toStdString();
    Select(40);
    menu.priority[5]->trigger();
    EXPECT_EQ(ClassOf(40), IDLE_PRIORITY_CLASS);
    menu.KillSelectedProcess1->trigger();
    EXPECT_TRUE(api.Find(40) == nullptr || api.Find(40)->exited);
    EXPECT_GE(ModelRowOf(40), 0); // the row stays until the clean-up
    api.RemoveProcess(40);
    menu.CleanUp1->trigger();
    EXPECT_EQ(ModelRowOf(40), -1);
    EXPECT_EQ(w.SelectedPid(), -1);
    // "Open Containing Folder..." only for a path that exists.
    Select(0);
    w.PopupMenuListPopup();
    EXPECT_FALSE(menu.OpenContainingFolder1->isEnabled());
}

TEST_F(WindowTest, OpenContainingFolderOpensTheFolder) {
    const QString exe = dir.filePath(QStringLiteral("bin/tool"));
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    QFile(exe).open(QIODevice::WriteOnly);
    api.AddProcess(40, exe);
    TFormMain& w = StartShown();
    Select(40);
    w.PopupMenuListPopup();
    EXPECT_TRUE(w.listMenu().OpenContainingFolder1->isEnabled());
    w.listMenu().OpenContainingFolder1->trigger();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(dir.filePath(QStringLiteral("bin")) + u'/'));
}

TEST_F(WindowTest, SaveSettingsWritesPreferencesAndProfiles) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    TFormMain& w = StartShown();
    Select(40);
    w.properties().presetButtons[2]->click(); // "Max."
    w.settingsGroup().SpinEditRefresh->setValue(800);
    w.mainMenu().SaveSettings1->trigger();
    IniFile file(settingsPath);
    EXPECT_EQ(file.ReadString(QStringLiteral("Preferences"), QStringLiteral("RefreshInterval")), QStringLiteral("800"));
    EXPECT_EQ(file.ReadString(QStringLiteral("/usr/bin/tool"), QStringLiteral("Priority")), QStringLiteral("128"));
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(u'\n').toStdString();
}

TEST_F(WindowTest, ExitRestoresTheClassesAndWritesOnlyTheColumnLayout) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"), NORMAL_PRIORITY_CLASS);
    TFormMain& w = StartShown();
    Select(40);
    w.SetPriorityClick(HIGH_PRIORITY_CLASS);
    w.settingsGroup().SpinEditRefresh->setValue(900); // not saved at exit
    w.listView().setColumnWidth(9, 420);
    w.FormDestroy();
    EXPECT_EQ(ClassOf(40), NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(w.trayIcon().IsShown());
    QStringList keys = IniFile(settingsPath).Keys(QStringLiteral("Preferences"));
    for (const QString& key : keys)
        EXPECT_TRUE(key.startsWith(QStringLiteral("Column")) || key.startsWith(QStringLiteral("Sort")))
            << key.toStdString();
    EXPECT_EQ(keys.size(), 24);
    EXPECT_EQ(IniFile(settingsPath).ReadString(QStringLiteral("Preferences"), QStringLiteral("Column9Width")),
              QStringLiteral("420"));
    window.reset();
    // The next start takes the layout back.
    TFormMain& again = Start();
    EXPECT_EQ(again.listView().columnWidth(9), 420);
}

TEST_F(WindowTest, ColumnOrderAndSortOrderAreLoaded) {
    Settings("[Preferences]\nColumn0Order=3\nColumn3Order=0\nSortColumnIndex=2\nSortAscending=0\n");
    TFormMain& w = Start();
    EXPECT_EQ(w.listView().horizontalHeader()->visualIndex(0), 3);
    EXPECT_EQ(w.listView().horizontalHeader()->visualIndex(3), 0);
    EXPECT_EQ(w.monitor().options.sortColumn, 2);
    EXPECT_FALSE(w.monitor().options.sortAscending);
}

// ---- The list model ----

TEST_F(WindowTest, TheModelFollowsTheRowsWithoutResets) {
    for (Pid pid = 10; pid < 20; ++pid)
        api.AddProcess(pid, QStringLiteral("/usr/bin/p%1").arg(pid));
    TFormMain& w = StartShown();
    QAbstractItemModelTester tester(&w.listModel(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    QSignalSpy resets(&w.listModel(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(&w.listModel(), &QAbstractItemModel::rowsInserted);
    for (Pid pid = 50; pid < 55; ++pid)
        api.AddProcess(pid, QStringLiteral("/usr/bin/new%1").arg(pid));
    w.Refresh1Click();
    w.TimerRefreshDisplayOn();
    EXPECT_EQ(inserts.count(), 1); // five new rows in one batch
    EXPECT_GE(ModelRowOf(52), 0);
    api.RemoveProcess(12);
    api.RemoveProcess(51);
    w.CleanUp1Click();
    EXPECT_EQ(ModelRowOf(12), -1);
    EXPECT_EQ(ModelRowOf(51), -1);
    ClickHeader(0);
    ClickHeader(0);
    w.TimerRefreshDisplayOn();
    EXPECT_EQ(w.listModel().rowCount(), w.monitor().list().count());
    for (int row = 0; row < w.listModel().rowCount(); ++row)
        EXPECT_EQ(w.listModel().data(w.listModel().index(row, 0)).toString(), w.monitor().list().at(row).caption);
    EXPECT_EQ(resets.count(), 0);
}

TEST_F(WindowTest, AnUnchangedRefreshReportsNothing) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    TFormMain& w = StartShown();
    w.TimerRefreshDisplayOn();
    QSignalSpy changes(&w.listModel(), &QAbstractItemModel::dataChanged);
    w.listModel().Refresh();
    EXPECT_EQ(changes.count(), 0);
    ProcessList& list = w.monitor().list();
    list.at(list.FindItem(40)).subItems[9] = QStringLiteral("Daily at 10:00:00");
    w.listModel().Refresh();
    ASSERT_EQ(changes.count(), 1);
    const int row = ModelRowOf(40);
    EXPECT_EQ(changes[0][0].value<QModelIndex>().row(), row);
    EXPECT_EQ(changes[0][1].value<QModelIndex>().row(), row);
}

// ---- Nested event loops ----

TEST_F(WindowTest, TimersKeepTickingWhileAnErrorBoxIsOpen) {
    Settings("[Preferences]\nOptimizerInterval=10\nRefreshInterval=100\nOptimizerEnabled=1\n");
    TFormMain& w = StartShown();
    int optimizerTicks = 0;
    QObject::connect(&w.timerOptimizer(), &QTimer::timeout, &w, [&] { ++optimizerTicks; });
    bool thrown = false;
    api.onEnumProcesses = [&] {
        if (!thrown && w.monitor().flags.scanBusy) {
            thrown = true;
            throw std::runtime_error("enumeration failed");
        }
    };
    int ticksDuringBox = -1;
    onBox = [&](const QString&) { // the box is modal: a nested event loop
        const int before = optimizerTicks;
        WaitFor([&] { return optimizerTicks >= before + 3; });
        ticksDuringBox = optimizerTicks - before;
    };
    w.TimerRefreshDisplayOn();
    ASSERT_TRUE(thrown);
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0], QStringLiteral("Exception: TFormMain.TimerRefreshDisplayOn: GetProcessesOnNT"));
    EXPECT_GE(ticksDuringBox, 3);
    EXPECT_FALSE(w.monitor().flags.scanBusy);
}

TEST_F(WindowTest, BusyFlagsMakeNestedTicksSkipTheirWork) {
    Settings("[Preferences]\nOptimizerInterval=10\nRefreshInterval=100\nOptimizerEnabled=1\n");
    TFormMain& w = StartShown();
    int optimizerTicks = 0;
    int refreshTicks = 0;
    QObject::connect(&w.timerOptimizer(), &QTimer::timeout, &w, [&] { ++optimizerTicks; });
    QObject::connect(&w.timerRefreshDisplay(), &QTimer::timeout, &w, [&] { ++refreshTicks; });
    // A nested event loop inside the optimization cycle: the optimizer's ticks skip, the scans run.
    bool nested = false;
    int enumerations = 0;
    int scans = 0;
    api.onEnumProcesses = [&] {
        if (nested) {
            ++enumerations;
            scans += w.monitor().flags.scanBusy ? 1 : 0;
            return;
        }
        if (!w.monitor().flags.optimizerBusy)
            return;
        nested = true;
        const int o = optimizerTicks;
        const int r = refreshTicks;
        WaitFor([&] { return optimizerTicks >= o + 5 && refreshTicks >= r + 1; });
        nested = false;
    };
    w.TimerOptimizerTimer();
    EXPECT_GE(scans, 1);
    EXPECT_EQ(enumerations, scans); // no optimization pass ran inside the one under way
    EXPECT_FALSE(w.monitor().flags.optimizerBusy);
}

// ---- Pieces ----

TEST(CpuGraphFeed, SamplesFromRing) {
    const std::vector<float> ring = {1, 2, 3, 4, 5, 6, 7, 8};
    struct {
        const char* name;
        std::uint32_t position;
        int width;
        std::vector<float> expected;
    } const cases[] = {
        {"first tick", 1, 4, {6, 7, 8, 1}},   // p = 1 after a fresh ring holds zeros there in practice
        {"p equals W", 4, 4, {1, 2, 3, 4}},
        {"p above W", 6, 3, {4, 5, 6}},
        {"wrapped", 2, 5, {6, 7, 8, 1, 2}},
        {"wider than the ring", 3, 10, {0, 0, 4, 5, 6, 7, 8, 1, 2, 3}},
        {"no width", 3, 0, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SamplesFromRing(ring, c.position, c.width), c.expected) << c.name;
}

TEST(StandardSystemMenu, CommandsAndItemStates) {
    using M = TStandardSystemMenu;
    EXPECT_EQ(M::CopyIdentifier(M::SC_SIZE), 0xFFF4);
    EXPECT_EQ(M::CopyIdentifier(M::SC_MOVE), 0xFFF5);
    EXPECT_EQ(M::CopyIdentifier(M::SC_MINIMIZE), M::SC_MINIMIZE);
    EXPECT_EQ(M::CopyIdentifier(M::SC_MAXIMIZE), 0xFFF3);
    EXPECT_EQ(M::CopyIdentifier(M::SC_RESTORE), 0xFFF0);
    EXPECT_EQ(M::CopyIdentifier(0xF060), 0xF060); // close keeps its identifier
    for (const std::uint16_t command : {M::SC_SIZE, M::SC_MOVE, M::SC_MINIMIZE, M::SC_RESTORE})
        EXPECT_EQ(M::ForwardedCommand(M::CopyIdentifier(command)), command);
    EXPECT_FALSE(M::ForwardedCommand(0xFFF3).has_value()); // maximize is handled on its own
    EXPECT_FALSE(M::ForwardedCommand(0xF060).has_value());
    using S = M::ItemState;
    EXPECT_EQ(M::ItemStates(M::WindowState::Maximized), (std::array<S, 5>{M::Enabled, M::Greyed, M::Greyed, M::Enabled, M::Greyed}));
    EXPECT_EQ(M::ItemStates(M::WindowState::Minimized), (std::array<S, 5>{M::Enabled, M::Greyed, M::Greyed, M::Greyed, M::Enabled}));
    EXPECT_EQ(M::ItemStates(M::WindowState::Normal), (std::array<S, 5>{M::Greyed, M::Enabled, M::Enabled, M::Enabled, M::Enabled}));
}

TEST(TrayIcon, LongTipsAreShortened) {
    EXPECT_EQ(TTrayIcon::FitTip(QStringLiteral("Opt: 1 ms\nRef: 12 ms\nBoosting: gnome-shell")),
              QStringLiteral("Opt: 1 ms\nRef: 12 ms\nBoosting: gnome-shell"));
    const QString tip = QStringLiteral("Opt: 1 ms\nRef: 12 ms\nBoosting: ") + QString(200, u'x');
    EXPECT_EQ(TTrayIcon::FitTip(tip).size(), 127);
    EXPECT_TRUE(TTrayIcon::FitTip(tip).endsWith(QChar(0x2026)));
}

// ---- The version check at start-up ----

TEST_F(WindowTest, TheVersionCheckSetsTheCaptionAndOffersANewerVersion) {
    struct {
        const char* name;
        VersionFetch fetch;
        const char* caption;
        bool offered;
    } const cases[] = {
        {"newer", {true, QStringLiteral("99.5.0.1\nfurther & more"), {}},
         "Latest Version Available: 99.5.0.1 further && more", true},
        {"older", {true, QStringLiteral("0.0.0.1"), {}}, "Latest Version Available: 0.0.0.1", false},
        {"failed", {false, {}, QStringLiteral("Could not resolve host")}, "Latest Version Available: unknown", false},
    };
    for (const auto& c : cases) {
        boxes.clear();
        opened.clear();
        answer = QMessageBox::Yes;
        TFormMain& w = Start();
        w.StartVersionCheck([fetch = c.fetch] { return fetch; });
        ASSERT_TRUE(WaitFor([&] { return w.VersionCheckDone(); })) << c.name;
        EXPECT_EQ(w.mainMenu().MenuVersionOnline->text(), QString::fromUtf8(c.caption)) << c.name;
        EXPECT_EQ(boxes.size(), c.offered ? 1 : 0) << c.name;
        EXPECT_EQ(opened.size(), c.offered ? 1 : 0) << c.name; // Yes opens the download page
        if (c.offered) {
            EXPECT_TRUE(opened[0].toString().endsWith(QStringLiteral("/Kelvane/download.html")));
        }
        window->FormDestroy();
        window.reset();
    }
}

TEST_F(WindowTest, WithoutCheckForNewVersionNothingIsOffered) {
    Settings("[Preferences]\nCheckForNewVersion=0\n");
    TFormMain& w = Start();
    w.StartVersionCheck([] { return VersionFetch{true, QStringLiteral("99.0.0.0"), {}}; });
    ASSERT_TRUE(WaitFor([&] { return w.VersionCheckDone(); }));
    EXPECT_EQ(w.mainMenu().MenuVersionOnline->text(), QStringLiteral("Latest Version Available: 99.0.0.0"));
    EXPECT_TRUE(boxes.isEmpty());
}

TEST_F(WindowTest, AWindowThatWentIsNotToldOfTheVersion) {
    Start();
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto finished = std::make_shared<std::atomic<bool>>(false);
    window->StartVersionCheck([release, finished] {
        while (!*release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        *finished = true;
        return VersionFetch{true, QStringLiteral("99.0.0.0"), {}};
    });
    window->FormDestroy();
    window.reset();
    *release = true;
    ASSERT_TRUE(WaitFor([&] { return finished->load(); }));
    QTest::qWait(20); // the worker posts nothing to the window that went (ASan sees any use after free)
    EXPECT_TRUE(boxes.isEmpty());
}
