// The Linux port keeps a pidfd for every listed process: handles borrow it, one wait per listing
// tells which processes ended, and the listing is taken again only when a process was made. Real
// children, inside the private PID namespace CTest gives this test.

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <csignal>
#include <fstream>
#include <memory>
#include <unistd.h>

#include "platform/linux/LinuxProcessApi.h"
#include "tests/support/ChildProcess.h"

using namespace kelvane;
using kelvane::test::ChildProcess;
using kelvane::test::TestChildPath;

namespace {

bool Listed(LinuxProcessApi& api, pid_t pid) {
    std::vector<Pid> pids;
    EXPECT_TRUE(api.EnumProcesses(pids));
    return std::find(pids.begin(), pids.end(), static_cast<Pid>(pid)) != pids.end();
}

bool IsOpenFd(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

std::unique_ptr<ChildProcess> Sleeper() {
    return std::make_unique<ChildProcess>(std::vector<std::string>{TestChildPath(), "threads", "0"});
}

} // namespace

TEST(KeptPidfds, HandlesOfAListedProcessBorrowItsKeptPidfd) {
    auto child = Sleeper();
    LinuxProcessApi api;
    ASSERT_TRUE(api.BindEnumeration());
    ASSERT_TRUE(Listed(api, child->pid()));
    const auto pid = static_cast<Pid>(child->pid());

    ProcessHandle query = api.OpenProcess(AccessMask::Query, pid);
    const ProcessHandle optimize = api.OpenProcess(AccessMask::Optimize, pid);
    ASSERT_TRUE(query);
    ASSERT_TRUE(optimize);
    EXPECT_EQ(query.fd(), optimize.fd()) << "no second pidfd for a known process";
    EXPECT_EQ(api.ListedIdentity(pid), optimize.identity());
    EXPECT_FALSE(api.GetModuleFileNameExW(optimize, 0).isEmpty());
    const int fd = query.fd();
    query.reset();
    EXPECT_TRUE(IsOpenFd(fd)) << "closing a handle leaves the kept pidfd open";
    EXPECT_NE(api.GetPriorityClass(optimize), 0U);
}

TEST(KeptPidfds, AProcessThatEndsLeavesTheNextListing) {
    struct Case {
        const char* name;
        bool reap;
    };
    for (const Case& c : {Case{"a zombie", false}, Case{"reaped", true}}) {
        SCOPED_TRACE(c.name);
        auto child = Sleeper();
        const pid_t pid = child->pid();
        LinuxProcessApi api;
        ASSERT_TRUE(api.BindEnumeration());
        ASSERT_TRUE(Listed(api, pid));
        ProcessHandle handle = api.OpenProcess(AccessMask::Query, static_cast<Pid>(pid));
        ASSERT_TRUE(handle);
        const int fd = handle.fd();
        ::kill(pid, SIGKILL);
        if (c.reap)
            child.reset();
        else
            ASSERT_TRUE(child->WaitExitedNoReap());
        EXPECT_FALSE(Listed(api, pid));
        EXPECT_EQ(api.ListedIdentity(static_cast<Pid>(pid)), 0U);
        std::uint32_t code = 0;
        ASSERT_TRUE(api.GetExitCodeProcess(handle, code)) << "the borrowed pidfd outlives the entry";
        EXPECT_NE(code, STILL_ACTIVE);
        handle.reset();
        EXPECT_FALSE(IsOpenFd(fd)) << "closed by its last borrower";
    }
}

TEST(KeptPidfds, EndsAreSeenBeforeTheNextListingHoweverManyEnded) {
    // The kept set answers "has it ended" from one wait; past one wait's worth of ended processes
    // the port asks the fd itself.
    for (const int ended : {0, 1, 70}) {
        SCOPED_TRACE(ended);
        std::vector<std::unique_ptr<ChildProcess>> children;
        for (int i = 0; i < ended + 2; ++i)
            children.push_back(Sleeper());
        LinuxProcessApi api;
        ASSERT_TRUE(api.BindEnumeration());
        ASSERT_TRUE(Listed(api, children.back()->pid()));
        std::vector<ProcessHandle> handles;
        for (const auto& child : children)
            handles.push_back(api.OpenProcess(AccessMask::Query, static_cast<Pid>(child->pid())));
        for (int i = 0; i <= ended; ++i) { // the last one stays
            ::kill(children[static_cast<std::size_t>(i)]->pid(), SIGKILL);
            ASSERT_TRUE(children[static_cast<std::size_t>(i)]->WaitExitedNoReap());
        }
        for (std::size_t i = 0; i < handles.size(); ++i) {
            std::uint32_t code = 0;
            ASSERT_TRUE(api.GetExitCodeProcess(handles[i], code));
            EXPECT_EQ(code == STILL_ACTIVE, i == handles.size() - 1) << "child " << i;
        }
        std::uint32_t priorityClass = api.GetPriorityClass(handles.back());
        EXPECT_NE(priorityClass, 0U) << "the running one is still read";
        EXPECT_EQ(api.GetPriorityClass(handles.front()), 0U) << "an ended one is not";
    }
}

TEST(KeptPidfds, ANewProcessIsListedAtTheNextListing) {
    LinuxProcessApi api;
    ASSERT_TRUE(api.BindEnumeration());
    std::vector<Pid> before;
    ASSERT_TRUE(api.EnumProcesses(before));
    ASSERT_TRUE(api.EnumProcesses(before)); // a listing that nothing changed since
    auto child = Sleeper();
    EXPECT_TRUE(Listed(api, child->pid()));
    EXPECT_NE(api.ListedIdentity(static_cast<Pid>(child->pid())), 0U);
}

TEST(KeptPidfds, APidReusedBetweenListingsIsAnotherProcess) {
    if (::getpid() != 1 || ::geteuid() != 0)
        GTEST_SKIP() << "needs its own PID namespace and root, to hand a PID out again (ns_last_pid)";
    auto child = Sleeper();
    const pid_t pid = child->pid();
    LinuxProcessApi api;
    ASSERT_TRUE(api.BindEnumeration());
    ASSERT_TRUE(Listed(api, pid));
    const std::uint64_t oldIdentity = api.ListedIdentity(static_cast<Pid>(pid));
    const ProcessHandle old = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(pid));
    ASSERT_TRUE(old);
    child.reset();
    std::ofstream("/proc/sys/kernel/ns_last_pid") << pid - 1;
    // Start times count in clock ticks: the successor must start in a later tick to differ.
    ::usleep(20000);
    auto successor = Sleeper();
    ASSERT_EQ(successor->pid(), pid) << "the PID was not handed out again";
    // PIDs come back only after the namespace has handed out the others: the last PID given moves
    // on. (Only a hand-set ns_last_pid can bring it back to where it was: checkpoint tools.)
    Sleeper().reset();

    // Opened to query before the listing has seen the change: the ended process, never its successor.
    const ProcessHandle early = api.OpenProcess(AccessMask::Query, static_cast<Pid>(pid));
    if (early) {
        EXPECT_EQ(early.identity(), old.identity());
        std::uint32_t exitCode = STILL_ACTIVE;
        EXPECT_TRUE(api.GetExitCodeProcess(early, exitCode));
        EXPECT_NE(exitCode, STILL_ACTIVE);
        ProcessTimes times;
        EXPECT_FALSE(api.GetProcessTimes(early, times)) << "the successor's clock was read";
        EXPECT_EQ(api.GetPriorityClass(early), 0U) << "the successor's class was read";
    }

    ASSERT_TRUE(Listed(api, pid));
    EXPECT_NE(api.ListedIdentity(static_cast<Pid>(pid)), oldIdentity);
    const ProcessHandle fresh = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(pid));
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh.fd(), old.fd());
    EXPECT_NE(fresh.identity(), old.identity());
    EXPECT_FALSE(api.SetPriorityClass(old, IDLE_PRIORITY_CLASS))
        << "the old handle never reaches the new process";
}
