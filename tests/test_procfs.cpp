#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <fstream>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/ProcFs.h"
#include "platform/linux/SchedClass.h"

using namespace kelvane;
using namespace kelvane::linux_port;

namespace {

// A /proc/PID/stat line as the kernel writes it (52 fields).
std::string StatLine(int pid, const std::string& comm, std::uint32_t flags = 4194560, unsigned long utime = 0,
                     unsigned long stime = 0, int nice = 0, unsigned long long start = 1000, int exitCode = 0) {
    return std::to_string(pid) + " (" + comm + ") S 1 " + std::to_string(pid) + " " + std::to_string(pid) +
           " 0 -1 " + std::to_string(flags) + " 100 0 0 0 " + std::to_string(utime) + " " + std::to_string(stime) +
           " 0 0 20 " + std::to_string(nice) + " 1 0 " + std::to_string(start) +
           " 1000 100 18446744073709551615 1 1 0 0 0 0 0 0 0 0 0 0 17 1 0 0 0 0 0 1 1 1 1 1 1 1 " +
           std::to_string(exitCode) + "\n";
}

} // namespace

struct StatCase {
    const char* name;
    std::string comm;
};

class ProcStatNames : public testing::TestWithParam<StatCase> {};

TEST_P(ProcStatNames, NameIsTakenUpToTheLastParenthesis) {
    const std::string comm = GetParam().comm;
    const std::optional<ProcStat> stat = ParseProcStat(StatLine(4242, comm, 0x00200040, 123, 45, -5, 98765, 9));
    ASSERT_TRUE(stat);
    EXPECT_EQ(stat->pid, 4242);
    EXPECT_EQ(stat->comm, comm);
    EXPECT_EQ(stat->state, 'S');
    EXPECT_EQ(stat->utime, 123U);
    EXPECT_EQ(stat->stime, 45U);
    EXPECT_EQ(stat->nice, -5);
    EXPECT_EQ(stat->startTime, 98765U);
    EXPECT_TRUE(stat->isKernelThread());
    EXPECT_EQ(stat->exitCode, 9);
}

INSTANTIATE_TEST_SUITE_P(Names, ProcStatNames,
                         testing::Values(StatCase{"plain", "sleep"}, StatCase{"blanks", "my prog"},
                                         StatCase{"parenthesis", "a) S 1 2 (b"}, StatCase{"newline", "two\nlines"},
                                         StatCase{"empty", ""}, StatCase{"onlyParen", ")"}),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(ProcStat, RejectsDamagedLines) {
    for (const std::string& text : {std::string(), std::string("12 (x"), std::string("x (y) S 1 2 3"),
                                   std::string("12 (y) S 1 2 3 4 5"), StatLine(1, "a").substr(0, 40)})
        EXPECT_FALSE(ParseProcStat(text)) << text;
}

TEST(ProcStat, OlderKernelsWithoutExitCodeStillParse) {
    std::string line = StatLine(7, "old");
    line.erase(line.rfind(' ')); // drop field 52
    const auto stat = ParseProcStat(line);
    ASSERT_TRUE(stat);
    EXPECT_FALSE(stat->exitCode);
}

TEST(ProcFs, StatusUidsCpuListsAndDeletedPaths) {
    const auto uids = ParseStatusUids("Name:\tx\nUmask:\t0022\nUid:\t1000\t0\t1000\t1000\nGid:\t1\t1\t1\t1\n");
    ASSERT_TRUE(uids);
    EXPECT_EQ(uids->real, 1000U);
    EXPECT_EQ(uids->effective, 0U);
    EXPECT_FALSE(ParseStatusUids("Name:\tx\n"));

    EXPECT_EQ(ParseCpuList("0-1\n"), 3U);
    EXPECT_EQ(ParseCpuList("0-3,8,10-11"), 0xD0FU);
    EXPECT_EQ(ParseCpuList("63,64-70"), 1ULL << 63);
    EXPECT_EQ(ParseCpuList(""), 0U);

    EXPECT_EQ(StripDeletedSuffix("/usr/bin/a (deleted)"), "/usr/bin/a");
    EXPECT_EQ(StripDeletedSuffix("/usr/bin/a (deleted) b"), "/usr/bin/a (deleted) b");
}

struct SchedCase {
    int policy;
    int nice;
    std::uint32_t code;
};

class SchedClassTest : public testing::TestWithParam<SchedCase> {};

TEST_P(SchedClassTest, ReadsBackAsTheClass) {
    EXPECT_EQ(ClassOfSched(GetParam().policy, GetParam().nice), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, SchedClassTest,
    testing::Values(SchedCase{SCHED_OTHER, 19, 64}, SchedCase{SCHED_OTHER, 15, 64}, SchedCase{SCHED_OTHER, 14, 16384},
                    SchedCase{SCHED_OTHER, 5, 16384}, SchedCase{SCHED_OTHER, 4, 32}, SchedCase{SCHED_OTHER, -2, 32},
                    SchedCase{SCHED_OTHER, -3, 32768}, SchedCase{SCHED_OTHER, -7, 32768},
                    SchedCase{SCHED_OTHER, -8, 128}, SchedCase{SCHED_OTHER, -20, 128}, SchedCase{SCHED_IDLE, 0, 64},
                    SchedCase{SCHED_BATCH, 0, 32}, SchedCase{SCHED_FIFO, 0, 256}, SchedCase{SCHED_RR, 19, 256}));

TEST(SchedClass, EveryClassSetsAValueThatReadsBackAsItself) {
    for (const std::uint32_t code : {64U, 16384U, 32U, 32768U, 128U})
        EXPECT_EQ(ClassOfSched(SCHED_OTHER, NiceOfClass(code)), code);
}

// The enumeration over a tree of sample files.
TEST(ProcFs, EnumerationLeavesOutKernelThreadsButKthreadd) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = dir.path().toStdString();
    auto write = [&root](const std::string& rel, const std::string& content) {
        const std::string path = root + "/" + rel;
        ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
        std::ofstream(path) << content;
    };
    write("1/stat", StatLine(1, "systemd"));
    write("2/stat", StatLine(2, "kthreadd", 0x00208040));
    write("3/stat", StatLine(3, "kworker/0:0H", 0x04208060));
    write("100/stat", StatLine(100, "my prog) (x\ny"));
    write("42/stat", "damaged");
    ::mkdir((root + "/101").c_str(), 0755); // ended: no stat left
    ::mkdir((root + "/sys").c_str(), 0755);
    write("0123/stat", StatLine(123, "leading zero"));
    // User processes have an exe link; kernel threads have none.
    ASSERT_EQ(::symlink("/usr/lib/systemd/systemd", (root + "/1/exe").c_str()), 0);
    ASSERT_EQ(::symlink("/opt/my prog) (x\ny (deleted)", (root + "/100/exe").c_str()), 0);

    LinuxProcessApi api(root);
    std::vector<Pid> pids;
    EXPECT_FALSE(api.EnumProcesses(pids)) << "not bound yet";
    ASSERT_TRUE(api.BindEnumeration());
    ASSERT_TRUE(api.EnumProcesses(pids));
    EXPECT_EQ(pids, (std::vector<Pid>{1, 2, 100}));
    // A plain link to a file of that name that is not there: nothing says the file was deleted, so
    // the name stays whole (a live deleted executable is tested on a real child).
    EXPECT_EQ(ReadExeLink(root + "/100/exe"), std::optional<std::string>("/opt/my prog) (x\ny (deleted)"));

    LinuxProcessApi missing(root + "/nothing");
    EXPECT_FALSE(missing.BindEnumeration());
    EXPECT_EQ(missing.GetLastError(), ENOENT);
}
