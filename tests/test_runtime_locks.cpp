// The locks that keep one optimizer per set of processes, on folders of the test's own: who
// keeps whom out, and that a lock a killed process held never blocks.

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/linux/RuntimeLocks.h"

using namespace kelvane::linux_port;

namespace {

class Locks : public testing::Test {
protected:
    Locks() {
        for (const char* folder : {"system", "users/1000/kelvane", "users/1001/kelvane"})
            QDir().mkpath(dir.filePath(QLatin1String(folder)));
    }
    // The paths of an optimizer of user `uid`.
    OptimizerLockPaths PathsOf(int uid) const {
        return {dir.filePath(QStringLiteral("users/%1/kelvane").arg(uid)), dir.filePath(QStringLiteral("system")),
                {dir.filePath(QStringLiteral("users/*/kelvane"))}};
    }
    QTemporaryDir dir;
};

// An optimizer: whose processes it acts on.
struct Side {
    int uid;       // the user whose folder it uses
    bool everyone; // root or CAP_SYS_NICE: every user's processes
};

struct PairCase {
    const char* name;
    Side first;
    Side second;
    bool secondRuns;
    const char* says; // in the second one's message when it is refused
};

class OptimizerPairs : public Locks, public testing::WithParamInterface<PairCase> {};

TEST_P(OptimizerPairs, OnlyOneActsOnTheSameProcesses) {
    const PairCase& c = GetParam();
    OptimizerLock first;
    QString why;
    ASSERT_TRUE(first.Acquire(PathsOf(c.first.uid), c.first.everyone, &why)) << why.toStdString();
    OptimizerLock second;
    EXPECT_EQ(second.Acquire(PathsOf(c.second.uid), c.second.everyone, &why), c.secondRuns);
    if (c.secondRuns)
        return;
    EXPECT_TRUE(why.contains(QLatin1String(c.says))) << why.toStdString();
    EXPECT_TRUE(why.contains(QStringLiteral("PID %1").arg(::getpid()))) << "who holds it: " << why.toStdString();
    first.Release();
    EXPECT_TRUE(second.Acquire(PathsOf(c.second.uid), c.second.everyone, &why)) << "once the first has ended";
}

INSTANTIATE_TEST_SUITE_P(
    Locks, OptimizerPairs,
    testing::Values(PairCase{"SameUser", {1000, false}, {1000, false}, false, "this user's processes"},
                    PairCase{"OtherUsers", {1000, false}, {1001, false}, true, ""},
                    PairCase{"EveryoneThenUser", {0, true}, {1000, false}, false, "for every user"},
                    PairCase{"UserThenEveryone", {1000, false}, {0, true}, false, "a user's processes"},
                    PairCase{"EveryoneTwice", {0, true}, {0, true}, false, "these processes"}),
    [](const testing::TestParamInfo<PairCase>& p) { return std::string(p.param.name); });

TEST_F(Locks, AUserOptimizerBesideAnEveryoneOptimizerThatEndedRuns) {
    // The lock of every user's optimizer was taken once and let go: its file is gone or free.
    OptimizerLock everyone;
    QString why;
    ASSERT_TRUE(everyone.Acquire(PathsOf(0), true, &why));
    everyone.Release();
    OptimizerLock user;
    EXPECT_TRUE(user.Acquire(PathsOf(1000), false, &why)) << why.toStdString();
    OptimizerLock later;
    EXPECT_FALSE(later.Acquire(PathsOf(0), true, &why)) << "the user's optimizer still runs";
}

TEST_F(Locks, ALockOfAKilledProcessNeverBlocks) {
    const OptimizerLockPaths paths = PathsOf(1000);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        OptimizerLock held;
        QString why;
        const char byte = held.Acquire(paths, false, &why) ? 1 : 0;
        [[maybe_unused]] const ssize_t written = ::write(ready[1], &byte, 1);
        ::pause();
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);
    OptimizerLock mine;
    QString why;
    EXPECT_FALSE(mine.Acquire(paths, false, &why)) << "the child holds it";
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_TRUE(QDir(paths.userFolder).entryList(QDir::Files).size() == 1) << "the killed one's file stays";
    EXPECT_TRUE(mine.Acquire(paths, false, &why)) << why.toStdString();
    ::close(ready[0]);
    ::close(ready[1]);
}

TEST_F(Locks, FileLockModes) {
    const QString path = dir.filePath(QStringLiteral("a.lock"));
    FileLock missing;
    EXPECT_FALSE(missing.Try(path, FileLock::Mode::Shared, false));
    EXPECT_EQ(errno, ENOENT);
    FileLock one;
    FileLock two;
    ASSERT_TRUE(one.Try(path, FileLock::Mode::Shared, true));
    EXPECT_TRUE(two.Try(path, FileLock::Mode::Shared, false)) << "shared beside shared";
    FileLock exclusive;
    EXPECT_FALSE(exclusive.Try(path, FileLock::Mode::Exclusive, true));
    EXPECT_EQ(errno, EWOULDBLOCK);
    one.Release();
    two.Release();
    ASSERT_TRUE(exclusive.Try(path, FileLock::Mode::Exclusive, true));
    exclusive.Describe("PID 7");
    EXPECT_EQ(LockHolderOf(path), QStringLiteral("PID 7"));
    exclusive.Release();
    EXPECT_FALSE(QFile::exists(path)) << "an exclusive holder takes its file with it";
}

} // namespace
