// kelvanectl run on real children, inside the private PID namespace CTest gives this test: profile
// classes held, Anti-LockUp, kill on sense, and every class restored exactly on SIGTERM.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/linux/ProcFs.h"
#include "platform/linux/SchedGroups.h"
#include "settings/IniFile.h"
#include "settings/ValueCodec.h"
#include "util/DateTimeText.h"
#include "tests/support/ChildProcess.h"

using namespace kelvane;
using kelvane::test::ChildProcess;
using kelvane::test::TestChildPath;
using Clock = std::chrono::steady_clock;

namespace {

// The nice value of a process from its stat file; 99 when it is gone.
long NiceOf(pid_t pid) {
    const auto text = linux_port::ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
    const auto stat = text ? linux_port::ParseProcStat(*text) : std::nullopt;
    return stat && stat->state != 'Z' ? stat->nice : 99;
}

// Milliseconds until `condition` holds, or -1 after `limitMs`.
template <typename F> long MsUntil(F condition, long limitMs = 5000) {
    const auto start = Clock::now();
    while (!condition()) {
        const long elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (elapsed > limitMs)
            return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

} // namespace

TEST(RunLive, HoldsProfilesIdlesHogsKillsOnSenseAndRestoresOnExit) {
    if (::getpid() != 1)
        GTEST_SKIP() << "runs only inside its own PID namespace (CTest's in-pid-namespace.sh), where "
                        "kelvanectl run can reach nothing but this test's children";
    if (::geteuid() != 0)
        GTEST_SKIP() << "raising a class needs CAP_SYS_NICE";
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    for (const char* name : {"held", "hog", "unwanted"})
        std::filesystem::copy_file(TestChildPath(), folder + "/" + name);
    const QString settings = dir.filePath(QStringLiteral("kelvane.ini"));
    IniBatch batch;
    for (const auto& [key, value] : {std::pair{"OptimizerInterval", "100"}, std::pair{"RefreshInterval", "100"},
                                     std::pair{"BoostForeground", "0"}, std::pair{"ALU", "1"},
                                     std::pair{"ALUPerc", "40"}})
        batch.Write(QStringLiteral("Preferences"), QLatin1String(key), QLatin1String(value));
    batch.Write(dir.filePath(QStringLiteral("held")), QStringLiteral("Priority"), QStringLiteral("128"));
    batch.Write(dir.filePath(QStringLiteral("unwanted")), QStringLiteral("AutoKill"), QStringLiteral("1"));
    ASSERT_TRUE(IniFile(settings).Apply(batch));

    ChildProcess held({folder + "/held", "threads", "1"});
    ASSERT_EQ(held.ReadLine().rfind("ready", 0), 0U);
    ChildProcess hog({folder + "/hog", "busy"}, [] {
        ::setsid(); // a session, and so an autogroup, of its own
        ::setpriority(PRIO_PROCESS, 0, 3);
    });
    ASSERT_EQ(hog.ReadLine(), "ready");
    const linux_port::GroupDetector groups;
    const linux_port::SchedGroup hogGroup = groups.GroupOf(hog.pid());
    const bool autogroups = hogGroup.kind == linux_port::GroupKind::Autogroup;
    if (autogroups) {
        ASSERT_TRUE(groups.WriteValue(hogGroup, 3));
    }

    ChildProcess run({KELVANECTL_PATH, "run", "--settings", settings.toStdString()});
    // The profile class, and again after a hand renice.
    EXPECT_GE(MsUntil([&] { return NiceOf(held.pid()) == -10; }), 0);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(held.pid()), 5);
    const long backAfter = MsUntil([&] { return NiceOf(held.pid()) == -10; });
    EXPECT_GE(backAfter, 0);
    EXPECT_LE(backAfter, 400) << "two cycles of 100 ms, and room for a busy machine";

    // Anti-LockUp: one busy thread is 50% of two processors, over the 40% set.
    const long idled = MsUntil([&] { return NiceOf(hog.pid()) == 19; });
    EXPECT_GE(idled, 0);
    EXPECT_LE(idled, 400);
    if (autogroups) { // alone in its session: the session's share goes down with it
        EXPECT_GE(MsUntil([&] { return groups.ReadValue(hogGroup) == 19; }, 1000), 0);
    }
    ::kill(hog.pid(), SIGSTOP); // calm
    const long released = MsUntil([&] { return NiceOf(hog.pid()) == 3; });
    EXPECT_GE(released, 0) << "back at its own nice value";
    EXPECT_LE(released, 400);
    ::kill(hog.pid(), SIGCONT);

    // Kill on sense: its row (and profile) is made at the next refresh, the next cycle ends it.
    ChildProcess unwanted({folder + "/unwanted", "threads", "0"});
    const long killed = MsUntil([&] { return unwanted.WaitExitedNoReap(0); });
    EXPECT_GE(killed, 0);
    EXPECT_LE(killed, 600) << "one refresh and two cycles, and room for a busy machine";

    std::printf("reaction in ms (100 ms cycles): renice undone %ld, hog idled %ld, released %ld, killed %ld\n",
                backAfter, idled, released, killed);

    // Exit: every class back exactly where it was.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(held.pid()), 5);
    EXPECT_GE(MsUntil([&] { return NiceOf(held.pid()) == -10; }), 0);
    ::kill(run.pid(), SIGTERM);
    EXPECT_TRUE(run.WaitExitedNoReap(5000));
    const int status = run.KillAndReap();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(NiceOf(held.pid()), 0) << "the class it had when first seen";
    EXPECT_EQ(NiceOf(hog.pid()), 3) << "nice 3 stays 3";
    if (autogroups) {
        EXPECT_EQ(groups.ReadValue(hogGroup), 3) << "its autogroup's own value too";
    }
}

namespace {

// Starts `argv` as a child that gets exactly `pid` (forced through ns_last_pid, which only the
// owner of a private PID namespace may write).
std::unique_ptr<ChildProcess> ChildWithPid(pid_t pid, const std::vector<std::string>& argv,
                                           const std::function<void()>& beforeExec = {}) {
    FILE* last = std::fopen("/proc/sys/kernel/ns_last_pid", "w");
    if (last == nullptr)
        return nullptr;
    std::fprintf(last, "%d", pid - 1);
    std::fclose(last);
    return std::make_unique<ChildProcess>(argv, beforeExec);
}

bool InOwnNamespaceAsRoot() { return ::getpid() == 1 && ::geteuid() == 0; }

} // namespace

TEST(RunLive, ReusedPidIsANewProcessWithItsOwnProfileAndClass) {
    if (!InOwnNamespaceAsRoot())
        GTEST_SKIP() << "needs its own PID namespace (CTest's in-pid-namespace.sh) and root, to force "
                        "PID reuse and to raise a class";
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    for (const char* name : {"held", "other"})
        std::filesystem::copy_file(TestChildPath(), folder + "/" + name);
    const QString settings = dir.filePath(QStringLiteral("kelvane.ini"));
    IniBatch batch;
    for (const auto& [key, value] : {std::pair{"OptimizerInterval", "100"}, std::pair{"RefreshInterval", "100"},
                                     std::pair{"BoostForeground", "0"}})
        batch.Write(QStringLiteral("Preferences"), QLatin1String(key), QLatin1String(value));
    batch.Write(dir.filePath(QStringLiteral("held")), QStringLiteral("Priority"), QStringLiteral("128"));
    ASSERT_TRUE(IniFile(settings).Apply(batch));

    auto held = std::make_unique<ChildProcess>(std::vector<std::string>{folder + "/held", "threads", "0"});
    ASSERT_EQ(held->ReadLine().rfind("ready", 0), 0U);
    ChildProcess run({KELVANECTL_PATH, "run", "--settings", settings.toStdString()});
    ASSERT_GE(MsUntil([&] { return NiceOf(held->pid()) == -10; }), 0);

    // The held process ends and another program gets its PID.
    const pid_t pid = held->pid();
    held.reset();
    const auto other = ChildWithPid(pid, {folder + "/other", "threads", "0"},
                                    [] { ::setpriority(PRIO_PROCESS, 0, 5); });
    ASSERT_TRUE(other);
    ASSERT_EQ(other->pid(), pid) << "the PID could not be given again";
    ASSERT_EQ(other->ReadLine().rfind("ready", 0), 0U);
    EXPECT_EQ(MsUntil([&] { return NiceOf(pid) != 5; }, 600), -1) << "held at the old process's class";

    ::kill(run.pid(), SIGTERM);
    EXPECT_TRUE(run.WaitExitedNoReap(5000));
    EXPECT_EQ(NiceOf(pid), 5) << "restored to the old process's first class";
}

TEST(RunLive, EveryEndingRestoresAndKelvaneNeverEndsItself) {
    if (!InOwnNamespaceAsRoot())
        GTEST_SKIP() << "needs its own PID namespace (CTest's in-pid-namespace.sh) and root, to raise a class";
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    std::filesystem::copy_file(TestChildPath(), folder + "/held");
    const QString settings = dir.filePath(QStringLiteral("kelvane.ini"));
    IniBatch batch;
    for (const auto& [key, value] : {std::pair{"OptimizerInterval", "100"}, std::pair{"RefreshInterval", "100"},
                                     std::pair{"BoostForeground", "0"}})
        batch.Write(QStringLiteral("Preferences"), QLatin1String(key), QLatin1String(value));
    batch.Write(dir.filePath(QStringLiteral("held")), QStringLiteral("Priority"), QStringLiteral("128"));
    // A profile that would end kelvanectl itself, at once and by its shutdown time.
    const QString self = QString::fromStdString(std::filesystem::canonical(KELVANECTL_PATH).string());
    batch.Write(self, QStringLiteral("AutoKill"), QStringLiteral("1"));
    batch.Write(self, QStringLiteral("Shutdown time"), IniDateTimeText(DaysOf(QDate(2001, 1, 1), QTime(12, 0))));
    ASSERT_TRUE(IniFile(settings).Apply(batch));

    ChildProcess held({folder + "/held", "threads", "0"});
    ASSERT_EQ(held.ReadLine().rfind("ready", 0), 0U);
    for (const int signal : {SIGHUP, SIGQUIT, SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        ChildProcess run({KELVANECTL_PATH, "run", "--settings", settings.toStdString()});
        ASSERT_GE(MsUntil([&] { return NiceOf(held.pid()) == -10; }), 0);
        EXPECT_FALSE(run.WaitExitedNoReap(500)) << "kelvanectl ended itself";
        ::kill(run.pid(), signal);
        EXPECT_TRUE(run.WaitExitedNoReap(5000));
        const int status = run.KillAndReap();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        EXPECT_EQ(NiceOf(held.pid()), 0) << "the class it had when first seen";
    }
}
