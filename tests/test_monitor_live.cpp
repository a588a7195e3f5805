// The process monitor on this machine's real processes, run by CTest in a private PID namespace:
// the rows of the test's own children agree with ps and taskset.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"
#include "platform/linux/LinuxProcessApi.h"
#include "tests/support/ChildProcess.h"

using namespace kelvane;
using kelvane::test::ChildProcess;
using kelvane::test::Shell;
using kelvane::test::TestChildPath;

namespace {

class SilentHost final : public EngineHost {
public:
    void MessageBox(const QString& text, MessageKind) override { boxes.append(text); }
    QStringList boxes;
};

int Seconds(const QString& cpuTime) {
    const QStringList parts = cpuTime.split(u':');
    return parts.size() == 3 ? parts[0].toInt() * 3600 + parts[1].toInt() * 60 + parts[2].toInt() : -1;
}

} // namespace

TEST(MonitorLive, RowsAgreeWithPsAndTaskset) {
    LinuxProcessApi api;
    if (api.GetNumberOfProcessors() != 2)
        GTEST_SKIP() << "the shares below are worked out for two processors";
    ChildProcess busy({TestChildPath(), "busy"});
    ASSERT_EQ(busy.ReadLine(), "ready");
    ChildProcess lowered({TestChildPath(), "threads", "1"}, [] { ::setpriority(PRIO_PROCESS, 0, 10); });
    ASSERT_EQ(lowered.ReadLine().rfind("ready", 0), 0U);
    ChildProcess pinned({TestChildPath(), "threads", "0"}, [] {
        cpu_set_t set;
        CPU_ZERO(&set);
        CPU_SET(1, &set);
        ::sched_setaffinity(0, sizeof set, &set);
    });
    ASSERT_EQ(pinned.ReadLine().rfind("ready", 0), 0U);
    ::usleep(1200000); // let the busy child pass a whole second of CPU time

    QTemporaryDir dir;
    SilentHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);
    ProcessMonitor monitor(api, host, strings, dir.filePath(QStringLiteral("kelvane.ini")), 8,
                           QLocale(QStringLiteral("en_US")));
    monitor.StartUp();
    monitor.flags.windowVisible = true;
    monitor.options.refreshIntervalMs = 500;
    monitor.TimerRefreshDisplayOn();
    ::usleep(500000);
    monitor.TimerRefreshDisplayOn();
    EXPECT_TRUE(host.boxes.isEmpty()) << host.boxes.join(u'\n').toStdString();

    auto row = [&monitor](pid_t pid) -> const ProcessRow& {
        const int index = monitor.list().FindCaption(QString::number(pid));
        EXPECT_GE(index, 0) << pid;
        return monitor.list().at(std::max(index, 0));
    };
    for (const ChildProcess* child : {&busy, &lowered, &pinned}) {
        const ProcessRow& r = row(child->pid());
        EXPECT_EQ(r.subItems[0], QStringLiteral("kelvane_test_child"));
        const int psSeconds = std::stoi(Shell("ps -o times= -p " + std::to_string(child->pid())));
        EXPECT_LE(std::abs(Seconds(r.subItems[3]) - psSeconds), 1) << r.subItems[3].toStdString();
    }
    EXPECT_GE(Seconds(row(busy.pid()).subItems[3]), 1);
    EXPECT_EQ(row(lowered.pid()).subItems[1], QStringLiteral("Below Normal"));
    EXPECT_EQ(row(busy.pid()).subItems[1], QStringLiteral("Normal"));
    EXPECT_NE(Shell("taskset -p " + std::to_string(pinned.pid())).find("mask: 2"), std::string::npos);
    EXPECT_EQ(row(pinned.pid()).subItems[4], QStringLiteral("1"));
    EXPECT_EQ(row(busy.pid()).subItems[4], QStringLiteral("0-1"));

    // A full core of two is half the machine; the idle row is the rest.
    const float busyShare = row(busy.pid()).subItems[2].chopped(1).toFloat();
    EXPECT_GT(busyShare, 40.0f);
    EXPECT_LE(busyShare, 60.0f);
    float sum = 0;
    for (int i = 0; i < monitor.list().count(); ++i)
        if (monitor.list().at(i).caption != QLatin1String("0"))
            sum += monitor.list().at(i).subItems[2].chopped(1).toFloat();
    EXPECT_NEAR(row(0).subItems[2].chopped(1).toFloat(), 100.0f - std::min(sum, 100.0f), 0.11f);

    // A process that ends between two refreshes is shown inactive, never as an error.
    const pid_t gone = lowered.pid();
    lowered.KillAndReap();
    monitor.TimerRefreshDisplayOn();
    EXPECT_EQ(row(gone).subItems[1], QStringLiteral("N/A"));
    EXPECT_EQ(row(gone).subItems[2], QStringLiteral(" - "));
    EXPECT_TRUE(host.boxes.isEmpty());
}
