// The optimization cycle and the single-process operations against the fake port and a fake clock.

#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <random>

#include "engine/DebugDump.h"
#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/Optimizer.h"
#include "engine/PriorityClass.h"
#include "engine/ProcessMonitor.h"
#include "engine/SaveSettings.h"
#include "platform/fake/FakeProcessApi.h"
#include "settings/Preferences.h"
#include "settings/ValueCodec.h"
#include "util/DateTimeText.h"
#include "util/FileName.h"

using namespace kelvane;

namespace {

class RecordingHost final : public EngineHost {
public:
    void MessageBox(const QString& text, MessageKind) override { boxes.append(text); }
    void SetAffinityMarks(const std::vector<bool>& m) override {
        marks = m;
        flagDuringCall = flag != nullptr && *flag;
    }
    QStringList boxes;
    std::vector<bool> marks;
    const bool* flag = nullptr;
    bool flagDuringCall = false;
};

constexpr Pid kSelf = 10;
const QString kSelfPath = QStringLiteral("/usr/bin/kelvane");

class OptimizerTest : public testing::Test {
protected:
    OptimizerTest() {
        strings.LoadLanguageStrings(DefaultLanguageTable(), host);
        api.SetSelfPid(kSelf);
        api.AddProcess(kSelf, kSelfPath);
        monitor.AcquireLibrary();
        monitor.now = [this] { return clock; };
        optimizer.now = [this] { return clock; };
        optimizer.options.boostIndex = 3; // Above Normal
        host.flag = &monitor.flags.affinityListUpdate;
    }

    // Adds a process that the full scan then names, as at start-up.
    FakeProcess& Add(Pid pid, const char* path, std::uint32_t priorityClass = NORMAL_PRIORITY_CLASS) {
        FakeProcess& p = api.AddProcess(pid, QString::fromLatin1(path), priorityClass);
        monitor.ProcessesScan(true);
        return p;
    }
    TProcess& Record(Pid pid) { return monitor.table()[pid]; }
    std::uint32_t ClassOf(Pid pid) { return api.Find(pid)->priorityClass; }
    void Pass(int times = 1) {
        for (int i = 0; i < times; ++i)
            optimizer.ProcessesOptimizeNT();
    }
    int SetClassCalls(Pid pid) {
        return static_cast<int>(api.Log().filter(QStringLiteral("SetPriorityClass %1 ").arg(pid)).size());
    }

    FakeProcessApi api;
    RecordingHost host;
    MessageStrings strings;
    QTemporaryDir dir;
    QString settingsPath = dir.filePath(QStringLiteral("kelvane.ini"));
    ProcessMonitor monitor{api, host, strings, settingsPath, 8, QLocale(QStringLiteral("en_US"))};
    Optimizer optimizer{monitor, host, strings};
    double clock = DaysOf(QDate(2025, 6, 1), QTime(12, 0, 0));
};

} // namespace

// ---- Foreground boost ----------------------------------------------------------------------------

TEST_F(OptimizerTest, BoostRaisesTheForegroundAndReturnsItsClassLater) {
    Add(100, "/usr/bin/editor");
    Add(101, "/usr/bin/shell");
    api.SetForegroundPid(100);
    Pass();
    EXPECT_EQ(monitor.BoostPID, 100U);
    EXPECT_EQ(ClassOf(100), ABOVE_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(Record(100).OptimizeProfile, NORMAL_PRIORITY_CLASS);
    EXPECT_TRUE(Record(100).Boosted);
    Pass(3);
    EXPECT_EQ(SetClassCalls(100), 1) << "nothing changes while the same process keeps the focus";

    api.SetForegroundPid(101);
    Pass();
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(Record(100).Boosted);
    EXPECT_EQ(ClassOf(101), ABOVE_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(monitor.texts.labelOptV, QStringLiteral("0 ms"));
    EXPECT_FALSE(monitor.flags.optimizerBusy);
}

TEST_F(OptimizerTest, BoostTargetsThatAreNotChanged) {
    Add(100, "/usr/bin/high", HIGH_PRIORITY_CLASS);
    Add(101, "/usr/bin/never");
    Record(101).Never = true;
    Add(102, "/usr/bin/closed").refusedRights = PROCESS_SET_INFORMATION;

    api.SetForegroundPid(kSelf); // Kelvane itself
    Pass();
    EXPECT_EQ(monitor.BoostPID, 0U);
    api.SetForegroundPid(0); // no foreground window
    Pass();
    EXPECT_EQ(monitor.BoostPID, 0U);
    api.SetForegroundPid(100); // already above the boost class
    Pass();
    EXPECT_EQ(monitor.BoostPID, 100U);
    EXPECT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
    EXPECT_FALSE(Record(100).Boosted);
    api.SetForegroundPid(101); // never managed: the target, unchanged
    Pass();
    EXPECT_EQ(monitor.BoostPID, 101U);
    EXPECT_EQ(SetClassCalls(101), 0);
    api.SetForegroundPid(102); // cannot be opened for changes: nothing is the target
    Pass();
    EXPECT_EQ(monitor.BoostPID, 0U);
}

// Wherever the focus goes from a boosted process, it has its class back after one pass, and no
// other process holds the boost class but the new target.
struct FocusLeaves {
    const char* to;
    Pid pid;
    Pid boosted; // the one process at the boost class afterwards, 0 for none
};
class BoostLeavesTest : public OptimizerTest, public testing::WithParamInterface<FocusLeaves> {};

TEST_P(BoostLeavesTest, ThePreviousTargetGetsItsClassBackInOnePass) {
    const FocusLeaves& c = GetParam();
    Add(100, "/usr/bin/editor");
    Add(101, "/usr/bin/never");
    Record(101).Never = true;
    Add(102, "/usr/bin/desktop").refusedRights = PROCESS_SET_INFORMATION;
    Add(103, "/usr/bin/ended");
    Add(104, "/usr/bin/other");
    api.SetForegroundPid(100);
    Pass();
    ASSERT_EQ(ClassOf(100), ABOVE_NORMAL_PRIORITY_CLASS);
    api.AddProcess(103, QStringLiteral("/usr/bin/reused")); // the PID given to another process

    api.SetForegroundPid(c.pid);
    Pass();
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS) << c.to;
    EXPECT_FALSE(Record(100).Boosted) << c.to;
    EXPECT_NE(monitor.BoostPID, 100U) << c.to;
    for (const Pid pid : {Pid{100}, Pid{101}, Pid{102}, Pid{103}, Pid{104}})
        EXPECT_EQ(ClassOf(pid) == ABOVE_NORMAL_PRIORITY_CLASS, pid == c.boosted) << c.to << ": " << pid;
}

// A boosted process that one pass could not open (a passing failure, such as no file descriptor
// left) is returned by the next pass, not only when refused processes are tried again.
TEST_F(OptimizerTest, ABoostedProcessRefusedOnceIsReturnedByTheNextPass) {
    Add(100, "/usr/bin/editor");
    Add(104, "/usr/bin/other");
    api.SetForegroundPid(100);
    Pass();
    ASSERT_EQ(ClassOf(100), ABOVE_NORMAL_PRIORITY_CLASS);
    api.Find(100)->refusedRights = PROCESS_SET_INFORMATION;
    api.SetForegroundPid(104);
    Pass();
    api.Find(100)->refusedRights = 0;
    Pass();
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(Record(100).Boosted);
    EXPECT_EQ(ClassOf(104), ABOVE_NORMAL_PRIORITY_CLASS);
}

// The previous target gets its class back before the new one is raised: never two at the boost class.
TEST_F(OptimizerTest, ThePreviousTargetIsReturnedBeforeTheNextIsRaised) {
    Add(104, "/usr/bin/other");
    Add(300, "/usr/bin/editor"); // visited after 104 in the pass
    api.SetForegroundPid(300);
    Pass();
    api.ClearLog();
    api.SetForegroundPid(104);
    Pass();
    const QStringList sets = api.Log().filter(QStringLiteral("SetPriorityClass "));
    ASSERT_EQ(sets.size(), 2) << sets.join(u',').toStdString();
    EXPECT_TRUE(sets[0].startsWith(QStringLiteral("SetPriorityClass 300 "))) << sets[0].toStdString();
    EXPECT_TRUE(sets[1].startsWith(QStringLiteral("SetPriorityClass 104 "))) << sets[1].toStdString();
}

INSTANTIATE_TEST_SUITE_P(FocusGoes, BoostLeavesTest,
                         testing::Values(FocusLeaves{"Kelvane itself", kSelf, 0}, FocusLeaves{"nothing", 0, 0},
                                         FocusLeaves{"a process Kelvane may not change", 102, 0},
                                         FocusLeaves{"an unknown process", 555, 0},
                                         FocusLeaves{"a never-managed process", 101, 0},
                                         FocusLeaves{"a reused PID", 103, 103},
                                         FocusLeaves{"another process", 104, 104}));

TEST_F(OptimizerTest, AProcessFirstSeenWithTheFocusIsRaisedInTheSamePass) {
    api.AddProcess(100, QStringLiteral("/usr/bin/new"), BELOW_NORMAL_PRIORITY_CLASS);
    api.SetForegroundPid(100);
    Pass();
    EXPECT_EQ(monitor.BoostPID, 100U);
    EXPECT_EQ(Record(100).OrginalPriority, BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(Record(100).OptimizeProfile, BELOW_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(ClassOf(100), ABOVE_NORMAL_PRIORITY_CLASS);
    // A target that lowers its own class while it keeps the focus is raised again.
    api.Find(100)->priorityClass = IDLE_PRIORITY_CLASS;
    Pass();
    EXPECT_EQ(ClassOf(100), ABOVE_NORMAL_PRIORITY_CLASS);
}

TEST_F(OptimizerTest, ManagedProcessesKeepTheirProfileClass) {
    Add(100, "/usr/bin/managed");
    Record(100).Managed = true;
    Record(100).OptimizeProfile = HIGH_PRIORITY_CLASS;
    Pass();
    EXPECT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
    api.SetForegroundPid(100);
    Pass();
    EXPECT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
    api.SetForegroundPid(0);
    Pass();
    EXPECT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
    api.Find(100)->priorityClass = IDLE_PRIORITY_CLASS; // changed by someone else
    Pass();
    EXPECT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
}

TEST_F(OptimizerTest, BoostOffReturnsTheTargetInTheSamePass) {
    Add(100, "/usr/bin/editor");
    api.SetForegroundPid(100);
    Pass();
    ASSERT_EQ(ClassOf(100), ABOVE_NORMAL_PRIORITY_CLASS);
    optimizer.options.boost = false;
    Pass();
    EXPECT_EQ(monitor.BoostPID, 0U);
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
}

// ---- Background branch ---------------------------------------------------------------------------

TEST_F(OptimizerTest, UnmanagedAndNeverProcessesAreLeftAlone) {
    Add(100, "/usr/bin/plain", BELOW_NORMAL_PRIORITY_CLASS);
    Add(101, "/usr/bin/tabu");
    Record(101).Managed = true;
    Record(101).Never = true;
    Record(101).OptimizeProfile = HIGH_PRIORITY_CLASS;
    Record(101).CPUAffinity = 1;
    Pass(3);
    EXPECT_EQ(SetClassCalls(100), 0);
    EXPECT_EQ(SetClassCalls(101), 0);
    EXPECT_TRUE(api.Log().filter(QStringLiteral("SetProcessAffinityMask 101")).isEmpty());
}

// ---- Affinity ------------------------------------------------------------------------------------

TEST_F(OptimizerTest, AffinityIsEnforcedOverTheProcessorsThatExist) {
    api.SetProcessorCount(2);
    Add(100, "/usr/bin/pinned");
    Record(100).CPUAffinity = 0xFFFFFFFF80000001ULL; // processors 0 and 31..63, of which only 0 exists
    Add(101, "/usr/bin/none");
    Pass(4);
    EXPECT_EQ(api.Find(100)->affinity, 1U);
    EXPECT_EQ(api.Log().filter(QStringLiteral("SetProcessAffinityMask 100")).size(), 1) << "set once, not every pass";
    EXPECT_TRUE(api.Log().filter(QStringLiteral("SetProcessAffinityMask 101")).isEmpty()) << "0 holds nothing";
}

// ---- Anti-LockUp over several passes ------------------------------------------------------------

TEST_F(OptimizerTest, AntiLockUpThresholdArithmetic) {
    api.SetProcessorCount(4);
    ProcessMonitor m(api, host, strings, settingsPath);
    Optimizer o(m, host, strings);
    o.options.intervalMs = 250;
    o.options.antiLockUpPercent = 75;
    TProcess record;
    record.dCPUTimeOptimizer = 7500000; // 750 ms in one 250 ms cycle on 4 processors
    EXPECT_TRUE(o.OverThreshold(record));
    record.dCPUTimeOptimizer = 7499999;
    EXPECT_FALSE(o.OverThreshold(record));
}

TEST_F(OptimizerTest, AntiLockUpIdlesAHogWhileItLastsAndThenLetsGo) {
    api.SetProcessorCount(2);
    optimizer.options.antiLockUp = true;
    optimizer.options.intervalMs = 250;
    optimizer.options.antiLockUpPercent = 40;
    FakeProcess& hog = Add(100, "/usr/bin/hog");
    hog.userTime = 10 * 10000000LL; // first seen: its whole time is the first delta
    Add(101, "/usr/bin/static");
    api.Find(101)->userTime = 10 * 10000000LL;
    Record(101).Static = true;
    Pass();
    EXPECT_EQ(ClassOf(100), IDLE_PRIORITY_CLASS);
    EXPECT_TRUE(Record(100).Throttled);
    EXPECT_TRUE(Record(100).Boosted);
    EXPECT_EQ(ClassOf(101), NORMAL_PRIORITY_CLASS) << "static processes are exempt";

    hog.userTime += 2500000; // a full core of two: 50% > 40%
    Pass();
    EXPECT_EQ(ClassOf(100), IDLE_PRIORITY_CLASS);
    EXPECT_EQ(SetClassCalls(100), 3) << "restored, then lowered again in the same pass";

    hog.userTime += 100000; // calm
    Pass();
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(Record(100).Throttled);
    EXPECT_FALSE(Record(100).Boosted);
    Pass();
    EXPECT_EQ(SetClassCalls(100), 4);
}

TEST_F(OptimizerTest, AThrottledBoostTargetGetsItsClassBackWhenItCalmsDown) {
    api.SetProcessorCount(2);
    optimizer.options.antiLockUp = true;
    optimizer.options.antiLockUpPercent = 40;
    FakeProcess& hog = Add(100, "/usr/bin/game");
    api.SetForegroundPid(100);
    hog.userTime = 10 * 10000000LL;
    Pass();
    EXPECT_EQ(ClassOf(100), IDLE_PRIORITY_CLASS);
    hog.userTime += 1000;
    Pass();
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS) << "its own class, marked boosted";
    EXPECT_TRUE(Record(100).Boosted);
    EXPECT_FALSE(Record(100).Throttled);
}

TEST_F(OptimizerTest, KelvanePausesItselfWhenItsOwnPassIsHeavy) {
    optimizer.options.intervalMs = 250;
    optimizer.options.antiLockUpPercent = 75;
    monitor.ProcessesScan(true);
    api.Find(kSelf)->userTime = 250 * 75 * 100;
    Pass();
    EXPECT_EQ(api.Log().filter(QStringLiteral("Sleep 100")).size(), 1);
}

// ---- Kill on sense and shutdown times ------------------------------------------------------------

TEST_F(OptimizerTest, KillOnSenseEveryTimeTheProcessIsSeen) {
    ASSERT_TRUE(IniFile(settingsPath).WriteString(QStringLiteral("/usr/bin/unwanted"), QStringLiteral("AutoKill"),
                                                  QStringLiteral("1")));
    Add(100, "/usr/bin/unwanted");
    monitor.GetProcessesOnNT();
    ASSERT_TRUE(Record(100).Kill);
    Pass();
    EXPECT_TRUE(api.Find(100)->exited);
    EXPECT_FALSE(Record(100).Active);
    // Started again with the same PID: a new process, which its own row gives the same profile.
    api.AddProcess(100, QStringLiteral("/usr/bin/unwanted"));
    Pass();
    monitor.GetProcessesOnNT();
    Pass();
    EXPECT_TRUE(api.Find(100)->exited);
}

TEST_F(OptimizerTest, DailyShutdownWithinItsMinute) {
    monitor.flags.windowVisible = true;
    IniBatch profile;
    profile.Write(QStringLiteral("/usr/bin/daily"), QStringLiteral("Shutdown time"),
                  IniDateTimeText(DaysOf(QDate(2020, 1, 1), QTime(14, 30, 20)), QLocale(QStringLiteral("en_US"))));
    profile.Write(QStringLiteral("/usr/bin/daily"), QStringLiteral("Shutdown daily"), QStringLiteral("1"));
    ASSERT_TRUE(IniFile(settingsPath).Apply(profile));
    struct Tick {
        QTime time;
        bool killed;
    };
    for (const Tick& tick : {Tick{QTime(14, 30, 19), false}, Tick{QTime(14, 30, 20), true},
                             Tick{QTime(14, 30, 59), true}, Tick{QTime(14, 31, 0), false},
                             Tick{QTime(13, 30, 30), false}}) {
        Add(100, "/usr/bin/daily"); // each time a new process, which its row gives the profile
        monitor.GetProcessesOnNT();
        clock = DaysOf(QDate(2025, 6, 2), tick.time);
        Pass();
        EXPECT_EQ(api.Find(100)->exited, tick.killed) << tick.time.toString().toStdString();
        EXPECT_EQ(monitor.FindItem(100) < 0, tick.killed) << "the row goes with the process";
        EXPECT_NE(Record(100).ShutDownTime, 0.0) << "a daily time stays";
    }
}

TEST_F(OptimizerTest, OneOffShutdownOnceAndCleared) {
    Add(100, "/usr/bin/once");
    Record(100).ShutDownTime = clock + 1.0 / 24;
    Pass();
    EXPECT_FALSE(api.Find(100)->exited);
    clock += 2.0 / 24;
    Pass();
    EXPECT_TRUE(api.Find(100)->exited);
    EXPECT_EQ(Record(100).ShutDownTime, 0.0);
    api.AddProcess(100, QStringLiteral("/usr/bin/once"));
    Pass();
    EXPECT_FALSE(api.Find(100)->exited);
}

TEST_F(OptimizerTest, AOneOffTimeEndsWhatRanWhenItCameAndNoProcessAfter) {
    const QString once = QStringLiteral("/usr/bin/once");
    auto storedTime = [this, &once] { return IniFile(settingsPath).KeyExists(once, QStringLiteral("Shutdown time")); };
    // The user gives 100 a time an hour ahead; the window saves it (100 is not managed).
    Add(100, "/usr/bin/once");
    Add(200, "/usr/bin/keep");
    monitor.GetProcessesOnNT();
    Record(100).ShutDownTime = clock + 1.0 / 24;
    IniBatch saved;
    saved.Write(once, QStringLiteral("Shutdown time"), IniDateTimeText(Record(100).ShutDownTime, QLocale(QStringLiteral("en_US"))));
    saved.Write(once, QStringLiteral("Shutdown daily"), QStringLiteral("0"));
    ASSERT_TRUE(IniFile(settingsPath).Apply(saved));
    Add(101, "/usr/bin/once"); // started before the time: it reads the time when it is listed
    monitor.GetProcessesOnNT();
    ASSERT_EQ(Record(101).ShutDownTime, Record(100).ShutDownTime);
    Pass();
    EXPECT_FALSE(api.Find(100)->exited);
    clock += 2.0 / 24;
    Pass();
    EXPECT_TRUE(api.Find(100)->exited) << "running when it came";
    EXPECT_TRUE(api.Find(101)->exited) << "running when it came, too";
    EXPECT_FALSE(api.Find(200)->exited);
    EXPECT_FALSE(storedTime()) << "the time is over";
    EXPECT_FALSE(IniFile(settingsPath).KeyExists(once, QStringLiteral("Shutdown daily")));
    EXPECT_FALSE(monitor.table()[100].Managed);

    // Started after the time, in this run and after restarts, with and without the time left in
    // the file (Kelvane was not running when it came, or could not write the file).
    struct Later {
        const char* what;
        bool restart;
        bool timeLeftInFile;
    } const laters[] = {{"this run", false, false}, {"after a restart", true, false},
                        {"after a restart, the time left in the file", true, true}};
    Pid pid = 102;
    for (const Later& later : laters) {
        SCOPED_TRACE(later.what);
        if (later.timeLeftInFile) {
            ASSERT_TRUE(IniFile(settingsPath).WriteString(once, QStringLiteral("Shutdown time"),
                                                          IniDateTimeText(clock - 1.0 / 24, QLocale(QStringLiteral("en_US")))));
        }
        std::unique_ptr<ProcessMonitor> restarted;
        std::unique_ptr<Optimizer> restartedOptimizer;
        ProcessMonitor* m = &monitor;
        Optimizer* o = &optimizer;
        api.AddProcess(pid, once);
        if (later.restart) {
            restarted = std::make_unique<ProcessMonitor>(api, host, strings, settingsPath, 8, QLocale(QStringLiteral("en_US")));
            restarted->now = [this] { return clock; };
            restartedOptimizer = std::make_unique<Optimizer>(*restarted, host, strings);
            m = restarted.get();
            o = restartedOptimizer.get();
            m->StartUp();
        } else {
            m->ProcessesScan(true);
        }
        m->GetProcessesOnNT();
        for (int i = 0; i < 3; ++i) {
            o->ProcessesOptimizeNT();
            clock += 1.0 / 24 / 60;
        }
        EXPECT_FALSE(api.Find(pid)->exited);
        EXPECT_EQ(m->table()[pid].ShutDownTime, 0.0);
        EXPECT_EQ(m->list().at(m->FindItem(pid)).subItems[9], QStringLiteral("Run always."));
        EXPECT_FALSE(storedTime());
        EXPECT_FALSE(m->table()[pid].Managed) << "no section of its own was left behind";
        ++pid;
    }
    EXPECT_TRUE(host.boxes.isEmpty()) << host.boxes.join(u'\n').toStdString();
}

TEST_F(OptimizerTest, AOneOffTimeInAProfileLeavesTheProfile) {
    const QString once = QStringLiteral("/usr/bin/managed once");
    IniBatch profile;
    profile.Write(once, QStringLiteral("Priority"), QStringLiteral("128"));
    profile.Write(once, QStringLiteral("Shutdown time"), IniDateTimeText(clock + 1.0 / 24, QLocale(QStringLiteral("en_US"))));
    profile.Write(once, QStringLiteral("Shutdown daily"), QStringLiteral("0"));
    ASSERT_TRUE(IniFile(settingsPath).Apply(profile));
    Add(100, "/usr/bin/managed once");
    monitor.GetProcessesOnNT();
    ASSERT_TRUE(Record(100).Managed);
    clock += 2.0 / 24;
    Pass();
    EXPECT_TRUE(api.Find(100)->exited);
    EXPECT_EQ(IniFile(settingsPath).Keys(once), QStringList{QStringLiteral("Priority")});
}

// ---- A record belongs to one process -------------------------------------------------------------

TEST_F(OptimizerTest, AReusedPidIsReadAsANewProcess) {
    ASSERT_TRUE(IniFile(settingsPath).WriteString(QStringLiteral("/opt/held"), QStringLiteral("Priority"),
                                                  QStringLiteral("128")));
    Add(100, "/opt/held");
    monitor.GetProcessesOnNT();
    Pass();
    ASSERT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
    const int rowsBefore = monitor.list().count();

    // Another program gets the PID, seen first by the cycle, then by the scan, then by the restore.
    api.AddProcess(100, QStringLiteral("/opt/other"), BELOW_NORMAL_PRIORITY_CLASS);
    Pass(2);
    EXPECT_EQ(ClassOf(100), BELOW_NORMAL_PRIORITY_CLASS) << "held at the old process's profile class";
    EXPECT_FALSE(Record(100).Managed);
    EXPECT_EQ(Record(100).OrginalPriority, BELOW_NORMAL_PRIORITY_CLASS);
    monitor.GetProcessesOnNT();
    ASSERT_EQ(monitor.list().count(), rowsBefore) << "one row, made anew";
    const ProcessRow& row = monitor.list().at(monitor.FindItem(100));
    EXPECT_EQ(row.subItems[0], QStringLiteral("other"));
    EXPECT_EQ(row.subItems[1], QStringLiteral("Below Normal"));
    api.ClearLog();
    monitor.ProcessesRestorePriorities();
    EXPECT_EQ(SetClassCalls(100), 0) << "given the old process's original class";
    EXPECT_EQ(ClassOf(100), BELOW_NORMAL_PRIORITY_CLASS);
}

TEST_F(OptimizerTest, AReusedPidFoundByTheScanGetsItsOwnProfile) {
    IniBatch batch;
    batch.Write(QStringLiteral("/opt/old"), QStringLiteral("Tabu"), QStringLiteral("1"));
    batch.Write(QStringLiteral("/opt/new"), QStringLiteral("Priority"), QStringLiteral("16384"));
    ASSERT_TRUE(IniFile(settingsPath).Apply(batch));
    monitor.flags.windowVisible = true;
    Add(100, "/opt/old");
    monitor.GetProcessesOnNT();
    ASSERT_TRUE(Record(100).Never);
    api.AddProcess(100, QStringLiteral("/opt/new"));
    monitor.GetProcessesOnNT(); // the visible scan looks at every listed process
    EXPECT_FALSE(Record(100).Never);
    EXPECT_TRUE(Record(100).Managed);
    EXPECT_EQ(Record(100).OptimizeProfile, BELOW_NORMAL_PRIORITY_CLASS);
    Pass();
    EXPECT_EQ(ClassOf(100), BELOW_NORMAL_PRIORITY_CLASS);
}

TEST_F(OptimizerTest, AProfileBelongsToTheExecutableOfExactlyItsPath) {
    IniBatch batch;
    batch.Write(QStringLiteral("/opt/x/Tool"), QStringLiteral("AutoKill"), QStringLiteral("1"));
    batch.Write(QStringLiteral("/opt/y/App"), QStringLiteral("Tabu"), QStringLiteral("1"));
    batch.Write(QStringLiteral("/opt/y/app"), QStringLiteral("Priority"), QStringLiteral("128"), SectionCase::Exact);
    ASSERT_TRUE(IniFile(settingsPath).Apply(batch));
    Add(100, "/opt/x/tool");
    Add(101, "/opt/y/app");
    monitor.GetProcessesOnNT();
    EXPECT_FALSE(Record(100).Managed) << "the profile of /opt/x/Tool";
    EXPECT_FALSE(Record(101).Never);
    EXPECT_EQ(Record(101).OptimizeProfile, HIGH_PRIORITY_CLASS);
    Pass();
    EXPECT_FALSE(api.Find(100)->exited);

    // Saving and erasing reach only the exact section.
    Record(100).Managed = true;
    ASSERT_TRUE(SaveSettings(settingsPath, Preferences(), monitor));
    ASSERT_TRUE(EraseProfile(monitor.settings(), QStringLiteral("/opt/y/app")));
    const IniDocument doc = monitor.settings().Load();
    EXPECT_EQ(doc.Read(QStringLiteral("/opt/x/Tool"), QStringLiteral("AutoKill"), SectionCase::Exact), QStringLiteral("1"));
    EXPECT_EQ(doc.Read(QStringLiteral("/opt/x/tool"), QStringLiteral("AutoKill"), SectionCase::Exact), QStringLiteral("0"));
    EXPECT_TRUE(doc.HasSection(QStringLiteral("/opt/y/App"), SectionCase::Exact));
    EXPECT_FALSE(doc.HasSection(QStringLiteral("/opt/y/app"), SectionCase::Exact));
}

TEST_F(OptimizerTest, PathsThatAreNotUtf8KeepProfilesOfTheirOwn) {
    // A UTF-8 settings file, as a hand-edited one is, with the raw bytes of one path.
    {
        QFile file(settingsPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[/opt/p\xFF]\nAutoKill=1\n");
    }
    api.AddProcess(100, DecodeFileName("/opt/p\xFF"));
    api.AddProcess(101, DecodeFileName("/opt/p\xFE"));
    monitor.ProcessesScan(true);
    monitor.GetProcessesOnNT();
    EXPECT_TRUE(Record(100).Kill);
    EXPECT_FALSE(Record(101).Kill) << "the profile of another file";
    Pass();
    EXPECT_TRUE(api.Find(100)->exited);
    EXPECT_FALSE(api.Find(101)->exited);

    // Saving writes the other profile under its own bytes and leaves the first as it was.
    Record(101).Managed = true;
    ASSERT_TRUE(SaveSettings(settingsPath, Preferences(), monitor));
    QFile file(settingsPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("[/opt/p\xFF]\nAutoKill=1\n")) << bytes.left(40).toHex().constData();
    EXPECT_TRUE(bytes.contains("\n[/opt/p\xFE]\n")) << bytes.toHex().constData();
    EXPECT_EQ(bytes.count("[/opt/p"), 2);
}

TEST_F(OptimizerTest, KelvaneNeverEndsItself) {
    struct Case {
        const char* key;
        QString value;
    };
    const Case cases[] = {{"AutoKill", QStringLiteral("1")},
                          {"Shutdown time", IniDateTimeText(clock + 1.0 / 24, QLocale(QStringLiteral("en_US")))}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        QFile::remove(settingsPath);
        monitor.list().Clear();
        monitor.table().Reset(kSelf);
        api.AddProcess(kSelf, kSelfPath);
        ASSERT_TRUE(IniFile(settingsPath).WriteString(kSelfPath, QLatin1String(c.key), c.value));
        Add(101, "/usr/bin/other");
        monitor.GetProcessesOnNT();
        clock += 2.0 / 24; // the time has come
        Pass();
        EXPECT_FALSE(api.Find(kSelf)->exited);
        EXPECT_EQ(api.Log().filter(QStringLiteral("TerminateProcess %1 ").arg(kSelf)).size(), 0);
        EXPECT_FALSE(monitor.KillSelectedProcess(kSelf)) << "not by the command either";
        EXPECT_EQ(api.GetLastError(), PortError::NotPermitted);
    }
}

// ---- Single-process operations, restore, clean-up ------------------------------------------------

TEST_F(OptimizerTest, SetPriorityAndTerminateReportFailures) {
    EXPECT_FALSE(monitor.SetPriority(100, HIGH_PRIORITY_CLASS)) << "not running";
    EXPECT_FALSE(monitor.KillSelectedProcess(100));
    FakeProcess& p = Add(100, "/usr/bin/app");
    p.refuseSetClass = true;
    EXPECT_FALSE(monitor.SetPriority(100, REALTIME_PRIORITY_CLASS));
    EXPECT_EQ(Record(100).Priority, NORMAL_PRIORITY_CLASS) << "the class in force";
    EXPECT_EQ(monitor.PriorityErrorText(), QStringLiteral("Error setting process's priority.\nPermission denied."));
    p.refuseSetClass = false;
    EXPECT_TRUE(monitor.SetPriority(100, HIGH_PRIORITY_CLASS));
    EXPECT_EQ(Record(100).Priority, HIGH_PRIORITY_CLASS);
    EXPECT_EQ(Record(100).OptimizeProfile, 0) << "the profile is not touched";
    p.refuseTerminate = true;
    EXPECT_FALSE(monitor.KillSelectedProcess(100));
    EXPECT_EQ(monitor.TerminateErrorText(), QStringLiteral("Error terminating process.\nPermission denied"));
}

TEST_F(OptimizerTest, AffinityFromTheMarks) {
    api.SetProcessorCount(4);
    monitor.processorCount = 4; // read once at start
    Add(100, "/usr/bin/app");
    EXPECT_EQ(ProcessMonitor::MaskOfMarks({false, true, true, false}), 6U);
    std::vector<bool> all32(32, false);
    all32[0] = all32[31] = true;
    EXPECT_EQ(ProcessMonitor::MaskOfMarks(all32), 0xFFFFFFFF80000001ULL);
    Record(100).CPUAffinity = 0xF;
    EXPECT_EQ(monitor.SetCPUAffinity(100, ProcessMonitor::MaskOfMarks({false, false, false, false})),
              ProcessMonitor::AffinityResult::Refused);
    EXPECT_EQ(Record(100).CPUAffinity, 0xFU) << "a refused mask changes nothing";
    EXPECT_EQ(monitor.SetCPUAffinity(100, 6), ProcessMonitor::AffinityResult::Set);
    EXPECT_EQ(Record(100).CPUAffinity, 6U);
    EXPECT_EQ(monitor.SetCPUAffinity(999, 6), ProcessMonitor::AffinityResult::OpenFailed);

    monitor.LoadAndDisplayCPUAffinity(100);
    EXPECT_EQ(host.marks, (std::vector<bool>{false, true, true, false}));
    EXPECT_TRUE(host.flagDuringCall);
    EXPECT_FALSE(monitor.flags.affinityListUpdate);
}

TEST_F(OptimizerTest, RestoreReturnsChangedClassesButNotNeverOrUnchanged) {
    Add(100, "/usr/bin/raised");
    Add(101, "/usr/bin/tabu");
    Add(102, "/usr/bin/same");
    api.Find(100)->priorityClass = HIGH_PRIORITY_CLASS;
    api.Find(101)->priorityClass = HIGH_PRIORITY_CLASS;
    Record(101).Never = true;
    Record(100).Boosted = Record(100).Throttled = true;
    monitor.ProcessesRestorePriorities();
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(Record(100).Boosted);
    EXPECT_FALSE(Record(100).Throttled);
    EXPECT_EQ(ClassOf(101), HIGH_PRIORITY_CLASS);
    EXPECT_EQ(SetClassCalls(102), 0);
    EXPECT_FALSE(monitor.flags.optimizerBusy);
}

TEST_F(OptimizerTest, CleanUpKeepsTheIdleRowAndRemovesEndedProcesses) {
    Add(100, "/usr/bin/ends");
    Add(101, "/usr/bin/stays");
    monitor.GetProcessesOnNT();
    api.RemoveProcess(100);
    monitor.CleanUp1Click();
    EXPECT_LT(monitor.FindItem(100), 0);
    EXPECT_FALSE(Record(100).InUse());
    EXPECT_GE(monitor.FindItem(101), 0);
    EXPECT_GE(monitor.FindItem(0), 0);
}

TEST_F(OptimizerTest, SwitchKelvaneTurnsCycleAndScanTogether) {
    monitor.SwitchKelvane();
    EXPECT_TRUE(monitor.options.optimizerEnabled);
    EXPECT_TRUE(monitor.options.profilesRefresh);
    monitor.SwitchKelvane();
    EXPECT_FALSE(monitor.options.optimizerEnabled);
    EXPECT_FALSE(monitor.options.profilesRefresh);
}

TEST_F(OptimizerTest, TimerRunsOnlyWhenEnabledAndIdle) {
    Add(100, "/usr/bin/editor");
    api.SetForegroundPid(100);
    optimizer.TimerOptimizerTimer(false);
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
    monitor.flags.optimizerBusy = true;
    optimizer.TimerOptimizerTimer(true);
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
    monitor.flags.optimizerBusy = false;
    optimizer.TimerOptimizerTimer(true);
    EXPECT_EQ(ClassOf(100), ABOVE_NORMAL_PRIORITY_CLASS);
}

// Thousands of passes over processes that come, go and refuse at every step: no crash, no hang.
TEST_F(OptimizerTest, RandomExitsAndRefusalsNeverBreakAPass) {
    std::mt19937 random(4242);
    api.SetProcessorCount(2);
    optimizer.options.antiLockUp = true;
    for (int pass = 0; pass < 3000; ++pass) {
        const Pid pid = 100 + static_cast<Pid>(random() % 40);
        switch (random() % 8) {
        case 0:
            api.AddProcess(pid, QStringLiteral("/usr/bin/p%1").arg(pid % 7), kPriorityClassCodes[random() % 6]);
            break;
        case 1:
            api.ExitProcess(pid);
            break;
        case 2:
            api.RemoveProcess(pid);
            break;
        case 3:
            if (FakeProcess* p = api.Find(pid)) {
                p->refusedRights = static_cast<std::uint32_t>(random() % 2048);
                p->refuseSetClass = random() % 2 == 0;
                p->noModules = random() % 3 == 0;
            }
            break;
        case 4:
            api.SetForegroundPid(pid);
            break;
        default:
            if (FakeProcess* p = api.Find(pid))
                p->userTime += static_cast<CpuTicks>(random() % 10000000);
        }
        TProcess& record = Record(pid);
        record.Kill = random() % 50 == 0;
        record.Managed = random() % 3 == 0;
        record.OptimizeProfile = static_cast<std::uint16_t>(random() % 3 == 0 ? 0 : kPriorityClassCodes[random() % 6]);
        record.CPUAffinity = random() % 4;
        record.ShutDownTime = random() % 20 == 0 ? clock - 1 : 0;
        if (pass % 50 == 0)
            monitor.ProcessesScan(true);
        if (pass % 7 == 0)
            monitor.CleanUp1Click();
        Pass();
        ASSERT_FALSE(monitor.flags.optimizerBusy);
        api.ClearLog();
    }
    EXPECT_TRUE(host.boxes.isEmpty()) << host.boxes.join(u'\n').toStdString();
}

// ---- Preferences ---------------------------------------------------------------------------------

TEST(PreferencesKeys, BoostPriorityOutsideTheListGivesTheDefault) {
    const std::pair<const char*, int> cases[] = {{"-1", 2}, {"0", 0}, {"5", 5}, {"6", 2}, {"99", 2},
                                                 {"0x7FFFFFFF", 2}, {"x", 2}};
    for (const auto& [text, expected] : cases) {
        IniDocument doc;
        doc.Write(kPreferencesSection, QStringLiteral("BoostPriority"), QLatin1String(text));
        EXPECT_EQ(LoadPreferences(doc).BoostPriority, expected) << text;
    }
}

TEST_F(OptimizerTest, AnOutOfRangeBoostPriorityNeverLowersTheForeground) {
    IniDocument doc;
    doc.Write(kPreferencesSection, QStringLiteral("BoostPriority"), QStringLiteral("99"));
    optimizer.options.boostIndex = LoadPreferences(doc).BoostPriority;
    Add(100, "/usr/bin/focused", HIGH_PRIORITY_CLASS);
    api.SetForegroundPid(100);
    Pass(2);
    EXPECT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
}

TEST(PreferencesKeys, DefaultsRangesAndDamagedValues) {
    const Preferences defaults = LoadPreferences(IniDocument());
    EXPECT_EQ(defaults.RefreshInterval, 500);
    EXPECT_EQ(defaults.OptimizerInterval, 250);
    EXPECT_FALSE(defaults.OptimizerEnabled);
    EXPECT_TRUE(defaults.BoostForeground);
    EXPECT_EQ(defaults.BoostPriority, 2);
    EXPECT_FALSE(defaults.ALU);
    EXPECT_EQ(defaults.ALUPerc, 75);
    EXPECT_FALSE(defaults.WindowTop);
    EXPECT_EQ(defaults.WindowWidth, 848);

    IniDocument doc;
    for (const auto& [key, value] : {std::pair{"OptimizerInterval", "5"}, std::pair{"RefreshInterval", "0x3E8"},
                                     std::pair{"ALU", "yes"}, std::pair{"ALUPerc", "1000"},
                                     std::pair{"OptimizerEnabled", "2"}, std::pair{"WindowTop", "-20"}})
        doc.Write(kPreferencesSection, QLatin1String(key), QLatin1String(value));
    const Preferences loaded = LoadPreferences(doc);
    EXPECT_EQ(loaded.OptimizerInterval, 10);
    EXPECT_EQ(loaded.RefreshInterval, 1000);
    EXPECT_FALSE(loaded.ALU);
    EXPECT_EQ(loaded.ALUPerc, 100);
    EXPECT_TRUE(loaded.OptimizerEnabled);
    EXPECT_EQ(loaded.WindowTop, -20);

    IniBatch batch;
    ColumnLayout layout;
    layout.order[3] = 0;
    layout.width[9] = 377;
    layout.SortColumnIndex = 4;
    WriteColumnLayout(layout, batch);
    QTemporaryDir dir;
    IniFile file(dir.filePath(QStringLiteral("k.ini")));
    ASSERT_TRUE(file.Apply(batch));
    const ColumnLayout back = LoadColumnLayout(file.Load());
    EXPECT_EQ(back.order[3], 0);
    EXPECT_FALSE(back.order[4]);
    EXPECT_EQ(back.width[9], 377);
    EXPECT_EQ(back.SortColumnIndex, 4);
    EXPECT_TRUE(back.SortAscending);
}

// ---- Save Settings and the dump ------------------------------------------------------------------

TEST_F(OptimizerTest, SaveSettingsWritesProfilesInRowOrder) {
    api.AddProcess(100, QStringLiteral("/usr/bin/twice"));
    api.AddProcess(101, QStringLiteral("/usr/bin/twice"));
    api.AddProcess(102, QStringLiteral("/usr/bin/only-shutdown"));
    api.AddProcess(103, QStringLiteral("/usr/bin/not managed"));
    monitor.ProcessesScan(true);
    monitor.GetProcessesOnNT();
    Record(100).Managed = Record(101).Managed = true;
    Record(100).OptimizeProfile = ABOVE_NORMAL_PRIORITY_CLASS;
    Record(101).OptimizeProfile = HIGH_PRIORITY_CLASS;
    Record(100).CPUAffinity = 0xFFFFFFFF80000001ULL;
    Record(102).ShutDownTime = DaysOf(QDate(2030, 1, 1), QTime(8, 0));
    monitor.options.sortColumn = 0;
    monitor.options.sortAscending = false; // rows 103, 102, 101, 100: the lowest row writes last
    monitor.SortList();
    Preferences preferences;
    preferences.ALU = true;
    ASSERT_TRUE(SaveSettings(settingsPath, preferences, monitor));
    IniFile file(settingsPath);
    EXPECT_EQ(file.ReadString(QStringLiteral("/usr/bin/twice"), QStringLiteral("Priority")), QStringLiteral("32768"));
    EXPECT_EQ(file.ReadString(QStringLiteral("/usr/bin/twice"), QStringLiteral("Affinity")),
              QStringLiteral("-2147483647"));
    EXPECT_EQ(file.Keys(QStringLiteral("/usr/bin/only-shutdown")),
              (QStringList{QStringLiteral("Shutdown time"), QStringLiteral("Shutdown daily")}));
    EXPECT_TRUE(file.Keys(QStringLiteral("/usr/bin/not managed")).isEmpty());
    EXPECT_EQ(file.ReadString(kPreferencesSection, QStringLiteral("ALU")), QStringLiteral("1"));
    EXPECT_EQ(file.Keys(QStringLiteral("/usr/bin/twice")).size(), 7);
}

TEST_F(OptimizerTest, TheDumpAndItsCopyNeverWriteThroughAPlantedLink) {
    Add(100, "/usr/bin/app");
    const QString victim = dir.filePath(QStringLiteral("root-only"));
    {
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept");
    }
    for (const char* name : {"kelvane_crash.log", "kelvane.tmp"}) {
        SCOPED_TRACE(name);
        const QString planted = dir.filePath(QLatin1String(name));
        QFile::remove(planted);
        ASSERT_TRUE(QFile::link(victim, planted));
        QString error;
        ASSERT_TRUE(CreateDebugFile(0, monitor, Preferences(), settingsPath, &error)) << error.toStdString();
        QFile file(victim);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), QByteArray("kept"));
        EXPECT_FALSE(QFileInfo(dir.filePath(QStringLiteral("kelvane_crash.log"))).isSymLink());
    }
}

TEST_F(OptimizerTest, DumpListsEveryRecordWithAlignedLabels) {
    Add(100, "/usr/bin/static one");
    Record(100).Static = true;
    Record(100).CPUAffinity = 3;
    monitor.BoostPID = 100;
    QString error;
    QString path;
    ASSERT_TRUE(CreateDebugFile(7, monitor, Preferences(), settingsPath, &error, &path)) << error.toStdString();
    ASSERT_TRUE(CreateDebugFile(7, monitor, Preferences(), settingsPath, &error, &path)) << "replaces the first";
    EXPECT_EQ(path, dir.filePath(QStringLiteral("kelvane_crash.log")));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("kelvane.tmp"))));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral("Kelvane Crash Log on ")));
    EXPECT_EQ(lines[2], QStringLiteral(" "));
    EXPECT_EQ(lines[3], QStringLiteral("[Preferences]"));
    EXPECT_TRUE(lines.contains(QStringLiteral("Current PID:       7")));
    EXPECT_TRUE(lines.contains(QStringLiteral("Current Boost PID: 100")));
    const qsizetype block = lines.indexOf(QStringLiteral("100: /usr/bin/static one"));
    ASSERT_GT(block, 0);
    EXPECT_GT(block, lines.indexOf(QStringLiteral("10: /usr/bin/kelvane"))) << "ascending PIDs";
    EXPECT_EQ(lines[block + 3], QStringLiteral("OptimizeProfile: Unknown"));
    EXPECT_EQ(lines[block + 10], QStringLiteral("Dynamic:         False"));
    EXPECT_EQ(lines[block + 13], QStringLiteral("CPUAffinity:     3"));
    EXPECT_EQ(lines[block + 14], QStringLiteral(" "));
    for (int i = 1; i <= 13; ++i) { // 17-character labels: every value starts at the same column
        EXPECT_EQ(lines[block + i].at(16), u' ') << lines[block + i].toStdString();
        EXPECT_NE(lines[block + i].at(17), u' ') << lines[block + i].toStdString();
    }
    EXPECT_EQ(DumpClassName(32768), QStringLiteral("Above Normal"));
}

// ---- Passes that leave processes alone -----------------------------------------------------------

namespace {

int OpensOf(const QStringList& log, Pid pid) {
    int opens = 0;
    for (const QString& entry : log)
        if (entry.startsWith(QStringLiteral("OpenProcess ")) &&
            entry.endsWith(QStringLiteral(" %1").arg(pid)))
            ++opens;
    return opens;
}

} // namespace

namespace {

// A world of its own for one row of a table: Kelvane and one process, PID 100, scanned and read
// by a first pass, with the boost off.
struct FreshWorld {
    struct SelfOnly {
        SelfOnly() {
            api.SetSelfPid(kSelf);
            api.AddProcess(kSelf, kSelfPath);
        }
        FakeProcessApi api;
    };
    FreshWorld(EngineHost& host, MessageStrings& strings, const QString& settings, bool antiLockUp, const char* path)
        : monitor(api, host, strings, settings, 8, QLocale(QStringLiteral("en_US"))), optimizer(monitor, host, strings) {
        monitor.AcquireLibrary();
        optimizer.options.boost = false;
        optimizer.options.antiLockUp = antiLockUp;
        api.AddProcess(100, QString::fromLatin1(path));
        monitor.ProcessesScan(true);
        optimizer.ProcessesOptimizeNT();
    }
    SelfOnly self;
    FakeProcessApi& api = self.api;
    ProcessMonitor monitor;
    Optimizer optimizer;
};

} // namespace

TEST_F(OptimizerTest, APassOpensOnlyTheProcessesItHasWorkWith) {
    // Whether a known process is opened in a pass after its first, by what it has and what reads times.
    struct Case {
        const char* name;
        std::function<void(TProcess&)> make;
        bool antiLockUp;
        bool windowVisible;
        bool opened;
    };
    const std::vector<Case> cases = {
        {"plain, nothing reads times", [](TProcess&) {}, false, false, false},
        {"plain, Anti-LockUp samples it", [](TProcess&) {}, true, false, true},
        {"plain, the window shown (its refresh samples by itself)", [](TProcess&) {}, false, true, false},
        {"managed",
         [](TProcess& r) {
             r.Managed = true;
             r.OptimizeProfile = HIGH_PRIORITY_CLASS;
         },
         false, false, true},
        {"boosted, to be returned", [](TProcess& r) { r.Boosted = true; }, false, false, true},
        {"throttled, to be returned", [](TProcess& r) { r.Throttled = true; }, false, false, true},
        {"kill on sense", [](TProcess& r) { r.Kill = true; }, false, false, true},
        {"held affinity", [](TProcess& r) { r.CPUAffinity = 1; }, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FreshWorld w(host, strings, settingsPath, c.antiLockUp, "/usr/bin/daemon");
        FakeProcessApi& world = w.api;
        ProcessMonitor& m = w.monitor;
        Optimizer& o = w.optimizer;
        c.make(m.table()[100]);
        m.flags.windowVisible = c.windowVisible;
        world.ClearLog();
        o.ProcessesOptimizeNT();
        EXPECT_EQ(OpensOf(world.Log(), 100) > 0, c.opened);
    }
}

TEST_F(OptimizerTest, TheShownWindowsRefreshSamplesForTheOptimizerOnlyWhileAntiLockUpReadsIt) {
    for (const bool antiLockUp : {false, true}) {
        SCOPED_TRACE(antiLockUp ? "Anti-LockUp on" : "Anti-LockUp off");
        FreshWorld w(host, strings, settingsPath, antiLockUp, "/usr/bin/worker");
        ProcessMonitor& m = w.monitor;
        const CpuTicks sampled = m.table()[100].CPUTimeOptimizer;
        w.api.Find(100)->userTime += 10000000;
        m.flags.windowVisible = true;
        m.GetProcessesOnNT();
        EXPECT_EQ(m.table()[100].CPUTimeOptimizer != sampled, antiLockUp);
    }
}

TEST_F(OptimizerTest, AProcessLeftAloneIsStillSeenWhenItsPidIsReused) {
    optimizer.options.boost = false;
    Add(100, "/usr/bin/daemon");
    Pass(2);
    api.ClearLog();
    Pass();
    ASSERT_EQ(OpensOf(api.Log(), 100), 0);
    const std::uint64_t oldIdentity = Record(100).Identity;

    // Another process gets the PID between two passes, with a profile that kills it on sense.
    api.AddProcess(100, QStringLiteral("/usr/bin/intruder"));
    Pass();
    EXPECT_NE(Record(100).Identity, oldIdentity);
    EXPECT_EQ(Record(100).Name, QStringLiteral("/usr/bin/intruder"));
    EXPECT_EQ(Record(100).OrginalPriority, NORMAL_PRIORITY_CLASS) << "read as a new process";
}

TEST_F(OptimizerTest, CpuUseOverSkippedPassesNeverCountsAsOneCycle) {
    // Anti-LockUp switched on after passes that took no sample: the time used meanwhile must not
    // look like the last cycle's, or a process that was busy minutes ago would be idled at once.
    api.SetProcessorCount(2);
    optimizer.options.boost = false;
    optimizer.options.intervalMs = 250;
    optimizer.options.antiLockUpPercent = 40;
    FakeProcess& worker = Add(100, "/usr/bin/worker");
    Pass(2);
    worker.userTime += 60 * 10000000LL; // a minute of CPU over the passes that left it alone
    Pass(10);
    optimizer.options.antiLockUp = true;
    Pass();
    EXPECT_EQ(ClassOf(100), NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(Record(100).Throttled);

    worker.userTime += 2500000; // now really busy in one cycle: 50% of two processors
    Pass();
    EXPECT_EQ(ClassOf(100), IDLE_PRIORITY_CLASS);
    EXPECT_TRUE(Record(100).Throttled);
}

TEST_F(OptimizerTest, AProcessKelvaneMayNotChangeIsTriedAgainOnlyNowAndThen) {
    // Another user's process with a profile: every open for optimizing is refused.
    optimizer.options.boost = false;
    FakeProcess& foreign = Add(100, "/usr/bin/foreign");
    foreign.refusedRights = PROCESS_SET_INFORMATION;
    Record(100).Managed = true;
    Record(100).OptimizeProfile = HIGH_PRIORITY_CLASS;
    Pass();
    api.ClearLog();
    Pass(128);
    const int opens = OpensOf(api.Log(), 100);
    EXPECT_GE(opens, 1);
    EXPECT_LE(opens, 3) << "not once per pass";

    foreign.refusedRights = 0; // its rights changed (a new limit, a capability)
    Pass(64);
    EXPECT_EQ(ClassOf(100), HIGH_PRIORITY_CLASS);
}

TEST_F(OptimizerTest, GroupsAreJudgedWithTheProcessesLeftAlone) {
    optimizer.options.boost = false;
    FakeProcess& busy = Add(100, "/usr/bin/busy");
    Add(101, "/usr/bin/quiet");
    Pass(2);
    busy.userTime += 1000000;
    api.groupsPending = true; // a class was set in this pass: the groups need every member's use
    api.ClearLog();
    Pass();
    const QStringList ends = api.Log().filter(QStringLiteral("EndOfPass"));
    ASSERT_EQ(ends.size(), 1);
    EXPECT_TRUE(ends.front().contains(QStringLiteral("100"))) << ends.front().toStdString();
    EXPECT_FALSE(ends.front().contains(QStringLiteral("101"))) << ends.front().toStdString();
}
