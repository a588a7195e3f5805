// A window that another optimizer of Kelvane keeps off: its optimizer stays off, it says why, and
// it neither stores the refusal as the user's choice nor restores classes it never set.

#include "app/SettingsGroup.h"
#include "engine/ProcessMonitor.h"
#include "tests/support/WindowFixture.h"

using namespace kelvane;

namespace {

class OptimizerRefusal : public kelvane::test::WindowFixture {};

TEST_F(OptimizerRefusal, StaysOffSaysWhyOnceAndKeepsTheStoredChoice) {
    Settings("[Preferences]\nOptimizerEnabled=1\n");
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"), NORMAL_PRIORITY_CLASS);
    app::TFormMain& w = StartShown();
    ASSERT_TRUE(w.settingsGroup().CheckBoxOptimize->isChecked());
    const QString why = QStringLiteral("Another Kelvane optimizer (kelvanectl, PID 7) already acts on this user's processes: the optimizer stays off.");
    w.RefuseOptimizer(why);
    EXPECT_FALSE(w.settingsGroup().CheckBoxOptimize->isChecked());
    w.settingsGroup().CheckBoxOptimize->setChecked(true); // the user tries
    w.SwitchKelvane();                                    // a middle click on the tray
    EXPECT_FALSE(w.settingsGroup().CheckBoxOptimize->isChecked());
    EXPECT_EQ(w.Notices(), QStringList{why});
    EXPECT_TRUE(w.CurrentPreferences().OptimizerEnabled) << "the refusal is not the user's choice";

    api.Find(40)->priorityClass = HIGH_PRIORITY_CLASS; // the other optimizer's doing
    w.TimerRefreshDisplayOn();
    api.ClearLog();
    window->FormDestroy();
    EXPECT_TRUE(api.Log().filter(QStringLiteral("SetPriorityClass 40 ")).isEmpty())
        << "the exit undid the other optimizer's class";
}

} // namespace
