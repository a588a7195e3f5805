// The window and the kelvane program on real processes, in a private PID namespace (CTest's
// wrapper): a child the test starts is listed, managed at High with "Max." and the optimizer, and
// given back its exact nice value by "Exit" and by the termination signals.

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

#include "app/ProcessListView.h"
#include "app/PropertiesPanel.h"
#include "dialogs/FormSetShutdownDateTime.h"
#include "app/SettingsGroup.h"
#include "engine/ProcessMonitor.h"
#include "platform/linux/LinuxProcessApi.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WindowFixture.h"

using namespace kelvane;
using namespace kelvane::app;
using kelvane::test::ChildProcess;
using kelvane::test::TestChildPath;
using kelvane::test::WaitFor;

namespace {

int NiceOf(pid_t pid) {
    errno = 0;
    const int nice = ::getpriority(PRIO_PROCESS, static_cast<id_t>(pid));
    return errno == 0 ? nice : 1000;
}

// Only where nothing else can be reached: PID 1 is this namespace's first process.
bool InOwnNamespace() { return ::getpid() < 100; }

std::unique_ptr<ChildProcess> NicedChild(int nice) {
    auto child = std::make_unique<ChildProcess>(std::vector<std::string>{TestChildPath(), "threads", "2"},
                                                [nice] { ::setpriority(PRIO_PROCESS, 0, nice); });
    child->ReadLine();
    return child;
}

// Services whose message boxes are only noted, in `boxes`, and answered with OK.
UiServices BoxesInto(QStringList& boxes) {
    UiServices services;
    services.messageBox = [&boxes](QWidget*, QMessageBox::Icon, const QString&, const QString& text,
                                   QMessageBox::StandardButtons) {
        boxes.append(text);
        return QMessageBox::Ok;
    };
    return services;
}

} // namespace

TEST(WindowLive, MaxAndTheOptimizerRaiseAChildAndExitGivesItsNiceBack) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs a private PID namespace";
    const std::unique_ptr<ChildProcess> child = NicedChild(3);
    QTemporaryDir dir;
    LinuxProcessApi api;
    QStringList boxes;
    const UiServices services = BoxesInto(boxes);
    {
        TFormMain window(api, {dir.filePath(QStringLiteral("kelvane.ini")), 64, {}}, services);
        window.show();
        window.TimerRefreshDisplayOn();
        const Pid pid = static_cast<Pid>(child->pid());
        int row = -1;
        ASSERT_TRUE(WaitFor([&] {
            row = window.monitor().list().FindItem(pid);
            return row >= 0;
        })) << "the child was not listed";
        window.listView().SelectRow(row);
        window.properties().presetButtons[2]->click(); // "Max."
        window.settingsGroup().CheckBoxOptimize->setChecked(true);
        window.TimerOptimizerTimer();
        window.TimerOptimizerTimer();
        EXPECT_EQ(NiceOf(child->pid()), -10) << "High within two cycles";
        window.FormDestroy(); // "Exit"
        EXPECT_EQ(NiceOf(child->pid()), 3);
    }
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(u'\n').toStdString();
}

class KelvaneSignal : public testing::TestWithParam<int> {};

TEST_P(KelvaneSignal, EndsKelvaneWithEveryClassRestored) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs a private PID namespace";
    const std::unique_ptr<ChildProcess> child = NicedChild(3);
    QTemporaryDir config;
    QDir().mkpath(config.filePath(QStringLiteral("kelvane")));
    QFile ini(config.filePath(QStringLiteral("kelvane/kelvane.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Preferences]\nOptimizerEnabled=1\nOptimizerInterval=50\nShow splash screen=0\n[" +
              QFile::encodeName(QString::fromStdString(TestChildPath())) + "]\nPriority=128\n");
    ini.close();
    QProcess kelvane;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    kelvane.setProcessEnvironment(env);
    kelvane.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    kelvane.start(QStringLiteral(KELVANE_PATH), {});
    ASSERT_TRUE(kelvane.waitForStarted());
    EXPECT_TRUE(WaitFor([&] { return NiceOf(child->pid()) == -10; }, 15000)) << "the profile was not applied";
    ::kill(static_cast<pid_t>(kelvane.processId()), GetParam());
    ASSERT_TRUE(kelvane.waitForFinished(15000)) << "kelvane did not end on signal " << GetParam();
    EXPECT_EQ(kelvane.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(NiceOf(child->pid()), 3);
}

INSTANTIATE_TEST_SUITE_P(Signals, KelvaneSignal, testing::Values(SIGTERM, SIGINT, SIGHUP));

TEST(WindowLive, AOneOffShutdownTimeEndsTheChildThroughTheOptimizer) {
    if (!InOwnNamespace())
        GTEST_SKIP() << "needs a private PID namespace";
    const std::unique_ptr<ChildProcess> child = NicedChild(0);
    QTemporaryDir dir;
    LinuxProcessApi api;
    UiServices services;
    services.messageBox = [](QWidget*, QMessageBox::Icon, const QString&, const QString&,
                             QMessageBox::StandardButtons) { return QMessageBox::Ok; };
    TFormMain window(api, {dir.filePath(QStringLiteral("kelvane.ini")), 64, {}}, services);
    TFormSetShutdownDateTime dialog(window.monitor().table());
    window.dialogs.setShutdownTime = [&dialog](Pid pid) {
        dialog.PID = pid;
        dialog.LoadParameters();
        // Three seconds from now, once.
        const QDateTime at = QDateTime::currentDateTime().addSecs(3);
        dialog.DateTimePickerShutdownDate->setDate(at.date());
        dialog.SpinEditShutdownTimeHour->setValue(at.time().hour());
        dialog.SpinEditShutDownTimeMinutes->setValue(at.time().minute());
        dialog.SpinEditShutDownTimeSeconds->setValue(at.time().second());
        dialog.ApplyChanges();
    };
    window.show();
    window.TimerRefreshDisplayOn();
    const int row = window.monitor().list().FindItem(static_cast<Pid>(child->pid()));
    ASSERT_GE(row, 0);
    window.listView().SelectRow(row);
    window.SetShutdownTime1Click();
    ASSERT_NE(window.monitor().table()[static_cast<Pid>(child->pid())].ShutDownTime, 0.0);
    window.settingsGroup().CheckBoxOptimize->setChecked(true);
    // The timers run the cycle; the child is ended when its time comes, not before.
    auto ended = [&child] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(child->pid()));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray text = stat.readAll();
        return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
    };
    EXPECT_FALSE(WaitFor(ended, 300));
    EXPECT_TRUE(WaitFor(ended, 15000)) << "the shutdown time was not acted on";
    window.FormDestroy();
}

TEST(WindowLive, CommandsOnARowWhosePidWentToAnotherProgramChangeNothing) {
    if (::getpid() != 1 || ::geteuid() != 0)
        GTEST_SKIP() << "needs its own PID namespace and root, to hand a PID out again (ns_last_pid)";
    auto listed = NicedChild(0);
    QTemporaryDir dir;
    LinuxProcessApi api;
    QStringList boxes;
    const UiServices services = BoxesInto(boxes);
    TFormMain window(api, {dir.filePath(QStringLiteral("kelvane.ini")), 64, {}}, services);
    window.show();
    window.TimerRefreshDisplayOn();
    const pid_t pid = listed->pid();
    const int row = window.monitor().list().FindItem(static_cast<Pid>(pid));
    ASSERT_GE(row, 0);
    window.listView().SelectRow(row);
    window.settingsGroup().CheckBoxRefreshProfiles->setChecked(false);

    // The listed process ends and another program gets its PID before the list is refreshed.
    listed.reset();
    std::ofstream("/proc/sys/kernel/ns_last_pid") << pid - 1;
    ::usleep(20000); // a later start time: start times count in clock ticks
    auto other = NicedChild(0);
    ASSERT_EQ(other->pid(), pid) << "the PID was not handed out again";

    window.SetPriorityClick(IDLE_PRIORITY_CLASS);
    window.KillSelectedProcess1Click();
    EXPECT_EQ(NiceOf(pid), 0) << "the other program was reniced";
    EXPECT_FALSE(other->WaitExitedNoReap(200)) << "the other program was ended";
    EXPECT_EQ(boxes, (QStringList{QStringLiteral("Error setting process's priority.\nNo such process."),
                                  QStringLiteral("Error terminating process.\nNo such process")}));
    window.FormDestroy();
    EXPECT_EQ(NiceOf(pid), 0);
}
