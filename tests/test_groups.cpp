// Scheduling groups: which group decides a process's CPU share, and the rule by which classes
// reach it, on sample /proc and cgroup trees; and on a real autogroup of a child's own session.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <fstream>
#include <unistd.h>

#include "platform/linux/GroupScheduler.h"
#include "platform/linux/LinuxProcessApi.h"
#include "tests/support/ChildProcess.h"

using namespace kelvane;
using namespace kelvane::linux_port;
using kelvane::test::ChildProcess;

namespace {

class SampleTree {
public:
    SampleTree() {
        roots.proc = Path("proc");
        roots.autogroupSysctl = Path("proc/sys/kernel/sched_autogroup_enabled");
        roots.cgroupV1Cpu = Path("cgv1");
        roots.cgroupV2 = Path("cgv2");
        Write("proc/sys/kernel/sched_autogroup_enabled", "1\n");
    }
    std::string Path(const std::string& rel) const { return dir.filePath(QString::fromStdString(rel)).toStdString(); }
    void Write(const std::string& rel, const std::string& content) const {
        const std::string path = Path(rel);
        QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
        std::ofstream(path) << content;
    }
    std::string Read(const std::string& rel) const {
        QFile file(QString::fromStdString(Path(rel)));
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<missing>");
    }
    // Every file's content, to see what a change wrote.
    QMap<QString, QByteArray> Snapshot() const {
        QMap<QString, QByteArray> files;
        QDirIterator it(dir.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (file.open(QIODevice::ReadOnly))
                files.insert(file.fileName(), file.readAll());
        }
        return files;
    }
    QTemporaryDir dir;
    GroupRoots roots;
};

} // namespace

TEST(GroupDetection, FindsTheGroupThatDecidesTheShare) {
    SampleTree t;
    t.Write("proc/100/cgroup", "2:cpu,cpuacct:/\n1:name=systemd:/user.slice\n0::/\n");
    t.Write("proc/100/autogroup", "/autogroup-7 nice 0\n");
    t.Write("proc/101/cgroup", "1:cpu:/user.slice/session-2.scope\n");
    t.Write("cgv1/user.slice/session-2.scope/cpu.shares", "1024\n");
    t.Write("proc/102/cgroup", "0::/user.slice/app-editor.scope\n");
    t.Write("cgv2/user.slice/app-editor.scope/cpu.weight", "100\n");
    t.Write("proc/103/cgroup", "0::/user.slice/app-term.scope/tab-1\n"); // no cpu controller in the leaf
    t.Write("cgv2/user.slice/app-term.scope/cpu.weight", "100\n");

    GroupRoots v1 = t.roots;
    v1.cgroupV2.clear();
    GroupRoots v2 = t.roots;
    v2.cgroupV1Cpu.clear();
    const GroupDetector withV1(v1);
    const GroupDetector withV2(v2);

    EXPECT_EQ(withV1.GroupOf(100).kind, GroupKind::Autogroup);
    EXPECT_EQ(withV1.GroupOf(100).id, "autogroup-7");
    EXPECT_EQ(withV1.ReadValue(withV1.GroupOf(100)), 0);
    const SchedGroup v1Group = withV1.GroupOf(101);
    EXPECT_EQ(v1Group.kind, GroupKind::CgroupV1);
    EXPECT_EQ(v1Group.control, t.Path("cgv1/user.slice/session-2.scope/cpu.shares"));
    EXPECT_EQ(withV2.GroupOf(102).kind, GroupKind::CgroupV2);
    EXPECT_EQ(withV2.GroupOf(102).id, "/user.slice/app-editor.scope");
    EXPECT_EQ(withV2.GroupOf(103).id, "/user.slice/app-term.scope") << "the nearest group with a weight";
    EXPECT_EQ(withV2.GroupOf(999).kind, GroupKind::None) << "no such process";

    t.Write("proc/sys/kernel/sched_autogroup_enabled", "0\n");
    EXPECT_EQ(withV1.GroupOf(100).kind, GroupKind::None) << "root cgroup, autogroups off";
}

TEST(GroupValues, FollowTheKernelsWeights) {
    EXPECT_EQ(GroupValueOfNice(GroupKind::CgroupV2, 0), 100);
    EXPECT_EQ(GroupValueOfNice(GroupKind::CgroupV2, 19), 1);
    EXPECT_EQ(GroupValueOfNice(GroupKind::CgroupV2, -10), 932);
    EXPECT_EQ(GroupValueOfNice(GroupKind::CgroupV1, 0), 1024);
    EXPECT_EQ(GroupValueOfNice(GroupKind::CgroupV1, 19), 15);
    EXPECT_EQ(GroupValueOfNice(GroupKind::Autogroup, 10), 10);
}

// Processes 100 and 101 share one cgroup (as the desktop's applications share a slice); 102 has
// one of its own; 103 is Kelvane's.
class GroupRule : public testing::Test {
protected:
    GroupRule() {
        t.roots.cgroupV1Cpu.clear();
        t.Write("proc/100/cgroup", "0::/shared\n");
        t.Write("proc/101/cgroup", "0::/shared\n");
        t.Write("cgv2/shared/cpu.weight", "137\n");
        t.Write("proc/102/cgroup", "0::/alone\n");
        t.Write("cgv2/alone/cpu.weight", "100\n");
        t.Write("proc/103/cgroup", "0::/kelvane\n");
        t.Write("cgv2/kelvane/cpu.weight", "100\n");
    }
    SampleTree t;
    GroupScheduler scheduler{GroupDetector(t.roots)};
};

TEST_F(GroupRule, ASharedGroupIsLoweredOnlyWhenEveryBusyMemberIs) {
    const QMap<QString, QByteArray> before = t.Snapshot();
    scheduler.RecordIntent(100, 0, 19); // Anti-LockUp on 100 while 101 is busy too
    scheduler.EndOfPass({100, 101}, {103});
    EXPECT_EQ(t.Snapshot(), before) << "101 would be lowered by surprise";

    scheduler.RecordIntent(100, 0, 19); // 101 idle now
    scheduler.EndOfPass({100}, {103});
    EXPECT_EQ(t.Read("cgv2/shared/cpu.weight"), "1");
    QMap<QString, QByteArray> after = t.Snapshot();
    after.remove(QString::fromStdString(t.Path("cgv2/shared/cpu.weight")));
    QMap<QString, QByteArray> expected = before;
    expected.remove(QString::fromStdString(t.Path("cgv2/shared/cpu.weight")));
    EXPECT_EQ(after, expected) << "no write outside the process's own group";

    scheduler.RecordIntent(100, 2, 0); // back to its own class
    scheduler.EndOfPass({100}, {103});
    EXPECT_EQ(t.Read("cgv2/shared/cpu.weight"), "137") << "exactly the original value";
    EXPECT_EQ(scheduler.ChangedGroups(), 0U);
}

TEST_F(GroupRule, RaisesOnlyASoleBusyMemberAndNeverProtectedGroups) {
    scheduler.RecordIntent(100, 4, -10);
    scheduler.EndOfPass({100, 101}, {103});
    EXPECT_EQ(t.Read("cgv2/shared/cpu.weight"), "137\n");
    scheduler.RecordIntent(102, 4, -10);
    scheduler.EndOfPass({102}, {103});
    EXPECT_EQ(t.Read("cgv2/alone/cpu.weight"), "932");
    scheduler.RecordIntent(103, 0, 19); // Kelvane's own group
    scheduler.EndOfPass({103}, {103});
    EXPECT_EQ(t.Read("cgv2/kelvane/cpu.weight"), "100\n");
    scheduler.RecordIntent(102, 0, 19); // 102 takes the focus: its group goes back
    scheduler.EndOfPass({102}, {103, 102});
    EXPECT_EQ(t.Read("cgv2/alone/cpu.weight"), "100");
}

TEST_F(GroupRule, RestoreAllAndWritesOnlyOnChange) {
    scheduler.RecordIntent(102, 0, 19);
    scheduler.EndOfPass({102}, {103});
    t.Write("cgv2/alone/cpu.weight", "marker");
    scheduler.RecordIntent(102, 2, 0); // restore-then-lower within one pass: the last intent counts
    scheduler.RecordIntent(102, 0, 19);
    scheduler.EndOfPass({102}, {103});
    EXPECT_EQ(t.Read("cgv2/alone/cpu.weight"), "marker") << "the same value is not written again";
    scheduler.RestoreAll();
    EXPECT_EQ(t.Read("cgv2/alone/cpu.weight"), "100");
}

TEST_F(GroupRule, AGroupThatCannotBeChangedIsNoticedOnce) {
    // A control that can be neither read nor written (even by root): here a folder in its place.
    QFile::remove(QString::fromStdString(t.Path("cgv2/alone/cpu.weight")));
    QDir().mkpath(QString::fromStdString(t.Path("cgv2/alone/cpu.weight")));
    for (int i = 0; i < 3; ++i) {
        scheduler.RecordIntent(102, 0, 19);
        scheduler.EndOfPass({102}, {103});
    }
    const std::vector<std::string> notices = scheduler.TakeNotices();
    ASSERT_EQ(notices.size(), 1U);
    EXPECT_NE(notices[0].find("/alone"), std::string::npos);
    EXPECT_EQ(scheduler.ChangedGroups(), 0U);
    EXPECT_TRUE(scheduler.TakeNotices().empty());
}

// A child in a session of its own: lowering its class lowers its autogroup; returning restores the
// autogroup's own value exactly. CTest runs this in a private PID namespace.
TEST(GroupLive, AutogroupFollowsTheClassAndComesBackExactly) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs CAP_SYS_NICE to give the autogroup its value back";
    const GroupDetector detector;
    ChildProcess child({kelvane::test::TestChildPath(), "busy"}, [] { ::setsid(); });
    ASSERT_EQ(child.ReadLine(), "ready");
    const SchedGroup group = detector.GroupOf(child.pid());
    if (group.kind != GroupKind::Autogroup)
        GTEST_SKIP() << "this machine's groups are not autogroups";
    ASSERT_TRUE(detector.WriteValue(group, 3)); // the session's own value
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    ASSERT_TRUE(api.SetPriorityClass(handle, IDLE_PRIORITY_CLASS));
    api.EndOfPass({static_cast<Pid>(child.pid())}, [] { return Pid{0}; });
    EXPECT_EQ(detector.ReadValue(group), 19);
    ASSERT_TRUE(api.SetPriorityClass(handle, NORMAL_PRIORITY_CLASS));
    api.EndOfPass({static_cast<Pid>(child.pid())}, [] { return Pid{0}; });
    EXPECT_EQ(detector.ReadValue(group), 3);

    ASSERT_TRUE(api.SetPriorityClass(handle, IDLE_PRIORITY_CLASS));
    api.EndOfPass({static_cast<Pid>(child.pid())}, [&child] { return static_cast<Pid>(child.pid()); });
    EXPECT_EQ(detector.ReadValue(group), 3) << "the foreground's group is never changed";
    api.EndOfPass({}, [] { return Pid{0}; });
    ASSERT_TRUE(api.SetPriorityClass(handle, IDLE_PRIORITY_CLASS));
    api.EndOfPass({static_cast<Pid>(child.pid())}, [] { return Pid{0}; });
    EXPECT_EQ(detector.ReadValue(group), 19);
    api.RestoreGroups();
    EXPECT_EQ(detector.ReadValue(group), 3);
    EXPECT_TRUE(api.TakeNotices().isEmpty());
}

TEST(GroupLive, APassWithoutClassChangesDoesNotAskForTheForeground) {
    LinuxProcessApi api;
    int asked = 0;
    api.EndOfPass({1}, [&asked] {
        ++asked;
        return Pid{0};
    });
    EXPECT_EQ(asked, 0) << "asking may cost a round trip to the display on every pass";
}
