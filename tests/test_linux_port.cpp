// The Linux port on real child processes, checked against ps and taskset. CTest runs this inside a
// private PID namespace where it can; either way it only acts on processes it started.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <array>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <linux/capability.h>
#include <sched.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/Privileges.h"
#include "platform/linux/LinuxProcessApi.h"
#include "tests/support/ChildProcess.h"
#include "util/FileName.h"

using namespace kelvane;
using kelvane::test::ChildProcess;
using kelvane::test::Shell;
using kelvane::test::TestChildPath;

namespace {

struct PsThread {
    int tid = 0;
    std::string nice; // "-" for real-time threads
    std::string cls;  // TS, FF, RR, IDL, B
};

// Every thread of `pid` as ps reports it.
std::vector<PsThread> PsThreads(pid_t pid) {
    std::istringstream lines(Shell("ps -L -o tid=,ni=,cls= -p " + std::to_string(pid)));
    std::vector<PsThread> threads;
    PsThread row;
    while (lines >> row.tid >> row.nice >> row.cls)
        threads.push_back(row);
    return threads;
}

// Starts the test child with `threads` extra threads and waits for it; returns the FIFO thread's ID
// (0 without "fifo", -1 when the child could not make one).
long StartThreads(ChildProcess& child) {
    const std::string line = child.ReadLine();
    EXPECT_EQ(line.rfind("ready", 0), 0U) << line;
    return line.size() > 6 ? std::stol(line.substr(6)) : 0;
}

// Runs `body` in a forked child (for changes to Kelvane's own process: privileges, user, class)
// and returns what it returned.
std::string InForkedChild(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const std::string result = body();
        (void)!::write(fds[1], result.data(), result.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string result;
    char chunk[256];
    ssize_t n = 0;
    while ((n = ::read(fds[0], chunk, sizeof chunk)) > 0)
        result.append(chunk, static_cast<std::size_t>(n));
    ::close(fds[0]);
    ::waitpid(pid, nullptr, 0);
    return result;
}

bool IsRoot() { return ::geteuid() == 0; }

} // namespace

TEST(LinuxPort, ClassReachesEveryThreadAndReadsBack) {
    ChildProcess child({TestChildPath(), "threads", "3"});
    StartThreads(child);
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle) << api.LastErrorText().toStdString();

    const std::vector<std::pair<std::uint32_t, std::string>> classes = {
        {IDLE_PRIORITY_CLASS, "19"},         {BELOW_NORMAL_PRIORITY_CLASS, "10"}, {ABOVE_NORMAL_PRIORITY_CLASS, "-5"},
        {HIGH_PRIORITY_CLASS, "-10"},        {NORMAL_PRIORITY_CLASS, "0"}};
    for (const auto& [code, nice] : classes) {
        if (code != IDLE_PRIORITY_CLASS && code != BELOW_NORMAL_PRIORITY_CLASS && !IsRoot())
            continue; // raising needs CAP_SYS_NICE
        ASSERT_TRUE(api.SetPriorityClass(handle, code)) << code << ": " << api.LastErrorText().toStdString();
        EXPECT_EQ(api.GetPriorityClass(handle), code);
        const std::vector<PsThread> threads = PsThreads(child.pid());
        ASSERT_EQ(threads.size(), 4U);
        for (const PsThread& thread : threads) {
            EXPECT_EQ(thread.nice, nice) << "class " << code << " thread " << thread.tid;
            EXPECT_EQ(thread.cls, "TS");
        }
    }
}

TEST(LinuxPort, RealTimeThreadKeepsItsPolicyAndComesBackExactly) {
    if (!IsRoot())
        GTEST_SKIP() << "a SCHED_FIFO thread needs CAP_SYS_NICE";
    ChildProcess child({TestChildPath(), "threads", "2", "fifo"});
    const long fifoTid = StartThreads(child);
    if (fifoTid <= 0)
        GTEST_SKIP() << "this machine refuses SCHED_FIFO threads";
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);

    auto check = [&](const std::string& otherCls, const std::string& otherNice, const std::string& fifoCls) {
        for (const PsThread& thread : PsThreads(child.pid())) {
            if (thread.tid == fifoTid) {
                EXPECT_EQ(thread.cls, fifoCls);
                continue;
            }
            EXPECT_EQ(thread.cls, otherCls) << thread.tid;
            if (otherNice != "-") {
                EXPECT_EQ(thread.nice, otherNice) << thread.tid;
            }
        }
    };
    ASSERT_TRUE(api.SetPriorityClass(handle, HIGH_PRIORITY_CLASS));
    check("TS", "-10", "FF");
    ASSERT_TRUE(api.SetPriorityClass(handle, NORMAL_PRIORITY_CLASS));
    check("TS", "0", "FF");
    ASSERT_TRUE(api.SetPriorityClass(handle, REALTIME_PRIORITY_CLASS));
    EXPECT_EQ(api.GetPriorityClass(handle), REALTIME_PRIORITY_CLASS);
    check("RR", "-", "FF");
    ASSERT_TRUE(api.SetPriorityClass(handle, NORMAL_PRIORITY_CLASS)); // left to the first-seen class
    EXPECT_EQ(api.GetPriorityClass(handle), NORMAL_PRIORITY_CLASS);
    check("TS", "0", "FF");
    EXPECT_NE(Shell("chrt -p " + std::to_string(fifoTid)).find("SCHED_FIFO"), std::string::npos);
    EXPECT_NE(Shell("chrt -p " + std::to_string(fifoTid)).find("priority: 10"), std::string::npos);
}

TEST(LinuxPort, RestoringTheFirstSeenClassRestoresTheExactNice) {
    if (!IsRoot())
        GTEST_SKIP() << "raising to High needs CAP_SYS_NICE";
    ChildProcess child({TestChildPath(), "threads", "2"}, [] { ::setpriority(PRIO_PROCESS, 0, 3); });
    StartThreads(child);
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    ASSERT_TRUE(api.SetPriorityClass(handle, HIGH_PRIORITY_CLASS));
    for (const PsThread& thread : PsThreads(child.pid()))
        EXPECT_EQ(thread.nice, "-10");
    ASSERT_TRUE(api.SetPriorityClass(handle, IDLE_PRIORITY_CLASS));
    ASSERT_TRUE(api.SetPriorityClass(handle, NORMAL_PRIORITY_CLASS));
    const std::vector<PsThread> threads = PsThreads(child.pid());
    ASSERT_EQ(threads.size(), 3U);
    for (const PsThread& thread : threads)
        EXPECT_EQ(thread.nice, "3") << thread.tid;
}

TEST(LinuxPort, ARestoreGivesTheFirstSeenValueOfAProcessNeverChanged) {
    // First seen at 5; the process renices itself to 15; the restore to its first class gives 5.
    ChildProcess child({TestChildPath(), "threads", "1"}, [] { ::setpriority(PRIO_PROCESS, 0, 5); });
    StartThreads(child);
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    ASSERT_EQ(api.GetPriorityClass(handle), BELOW_NORMAL_PRIORITY_CLASS);
    for (const PsThread& thread : PsThreads(child.pid()))
        ASSERT_EQ(::setpriority(PRIO_PROCESS, static_cast<id_t>(thread.tid), 15), 0);
    ASSERT_EQ(api.GetPriorityClass(handle), IDLE_PRIORITY_CLASS);
    ASSERT_TRUE(api.SetPriorityClass(handle, BELOW_NORMAL_PRIORITY_CLASS));
    for (const PsThread& thread : PsThreads(child.pid()))
        EXPECT_EQ(thread.nice, "5") << thread.tid;
}

TEST(LinuxPort, AThreadStartedWhileHeldTakesItsProcesssFirstSeenValue) {
    if (!IsRoot())
        GTEST_SKIP() << "raising to High needs CAP_SYS_NICE";
    ChildProcess child({TestChildPath(), "spawn"}, [] { ::setpriority(PRIO_PROCESS, 0, 3); });
    ASSERT_EQ(child.ReadLine(), "ready");
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    ASSERT_EQ(api.GetPriorityClass(handle), NORMAL_PRIORITY_CLASS);
    ASSERT_TRUE(api.SetPriorityClass(handle, HIGH_PRIORITY_CLASS));
    ::kill(child.pid(), SIGUSR1); // a new thread, inheriting the held nice -10
    const std::string line = child.ReadLine();
    ASSERT_EQ(line.rfind("thread ", 0), 0U) << line;
    const int tid = std::stoi(line.substr(7));
    ASSERT_TRUE(api.SetPriorityClass(handle, NORMAL_PRIORITY_CLASS));
    const std::vector<PsThread> threads = PsThreads(child.pid());
    ASSERT_EQ(threads.size(), 2U);
    for (const PsThread& thread : threads)
        EXPECT_EQ(thread.nice, "3") << (thread.tid == tid ? "the new thread" : "the leader");
}

TEST(LinuxPort, AffinityReachesEveryThread) {
    LinuxProcessApi api;
    if (api.GetNumberOfProcessors() < 2)
        GTEST_SKIP() << "needs two processors";
    ChildProcess child({TestChildPath(), "threads", "2"});
    StartThreads(child);
    const ProcessHandle handle = api.OpenProcess(AccessMask::SetAffinity, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    ASSERT_TRUE(api.SetProcessAffinityMask(handle, 0x2));
    std::uint64_t mask = 0;
    std::uint64_t system = 0;
    ASSERT_TRUE(api.GetProcessAffinityMask(handle, mask, system));
    EXPECT_EQ(mask, 0x2U);
    EXPECT_EQ(system & 0x3U, 0x3U);
    EXPECT_NE(Shell("taskset -p " + std::to_string(child.pid())).find("affinity mask: 2"), std::string::npos);
    for (const PsThread& thread : PsThreads(child.pid())) {
        cpu_set_t set;
        ASSERT_EQ(::sched_getaffinity(thread.tid, sizeof set, &set), 0);
        EXPECT_EQ(CPU_COUNT(&set), 1);
        EXPECT_TRUE(CPU_ISSET(1, &set));
    }
    // Bits of absent processors are ignored; a mask of absent processors only is refused.
    EXPECT_TRUE(api.SetProcessAffinityMask(handle, 0xFFFFFFFF80000001ULL));
    ASSERT_TRUE(api.GetProcessAffinityMask(handle, mask, system));
    EXPECT_EQ(mask, 0x1U);
    EXPECT_FALSE(api.SetProcessAffinityMask(handle, 1ULL << 63));
    EXPECT_EQ(api.GetLastError(), EINVAL);
}

TEST(LinuxPort, TimesHaveFinerResolutionThanClockTicks) {
    ChildProcess child({TestChildPath(), "busy"});
    ASSERT_EQ(child.ReadLine(), "ready");
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Query, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    int offTick = 0;
    CpuTicks last = -1;
    for (int i = 0; i < 5; ++i) {
        ::usleep(3000);
        ProcessTimes times;
        ASSERT_TRUE(api.GetProcessTimes(handle, times));
        EXPECT_GE(times.Total(), last);
        last = times.Total();
        if (times.Total() % 100000 != 0) // not a whole 10 ms tick
            ++offTick;
    }
    EXPECT_GT(offTick, 0);
    EXPECT_GT(last, 0);
}

TEST(LinuxPort, HandleToAReapedChildNeverActsOnAnotherProcess) {
    LinuxProcessApi api;
    auto child = std::make_unique<ChildProcess>(std::vector<std::string>{TestChildPath(), "threads", "0"});
    StartThreads(*child);
    const pid_t oldPid = child->pid();
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize | PROCESS_TERMINATE, static_cast<Pid>(oldPid));
    ASSERT_TRUE(handle);
    child.reset(); // killed and reaped

    // Where this test owns the PID namespace, hand the same PID to a new child.
    std::unique_ptr<ChildProcess> successor;
    if (::getpid() == 1 && IsRoot()) {
        std::ofstream(std::string("/proc/sys/kernel/ns_last_pid")) << oldPid - 1;
        successor = std::make_unique<ChildProcess>(std::vector<std::string>{TestChildPath(), "threads", "0"});
        StartThreads(*successor);
    }
    std::uint32_t code = 0;
    ASSERT_TRUE(api.GetExitCodeProcess(handle, code));
    EXPECT_NE(code, STILL_ACTIVE);
    EXPECT_FALSE(api.SetPriorityClass(handle, IDLE_PRIORITY_CLASS));
    EXPECT_EQ(api.GetLastError(), ESRCH);
    EXPECT_EQ(api.GetPriorityClass(handle), 0U);
    ProcessTimes times;
    EXPECT_FALSE(api.GetProcessTimes(handle, times));
    EXPECT_FALSE(api.SetProcessAffinityMask(handle, 1));
    EXPECT_FALSE(api.TerminateProcess(handle, 0));
    EXPECT_FALSE(api.LastErrorText().isEmpty());
    if (successor) {
        EXPECT_EQ(successor->pid(), oldPid) << "PID was not reused; the check above still holds";
        for (const PsThread& thread : PsThreads(successor->pid()))
            EXPECT_EQ(thread.nice, "0");
        EXPECT_FALSE(successor->WaitExitedNoReap(50)) << "the new process must still run";
    }
}

TEST(LinuxPort, ZombieReportsItsExitCode) {
    ChildProcess child({TestChildPath(), "exit", "7"});
    ASSERT_TRUE(child.WaitExitedNoReap());
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Query, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    std::uint32_t code = 0;
    ASSERT_TRUE(api.GetExitCodeProcess(handle, code));
    EXPECT_EQ(code, 7U);
}

TEST(LinuxPort, AZombieIsNoSuchProcessForEveryChange) {
    ChildProcess child({TestChildPath(), "exit", "0"});
    ASSERT_TRUE(child.WaitExitedNoReap());
    LinuxProcessApi api;
    ASSERT_TRUE(api.BindEnumeration());
    for (const std::uint32_t mask : {AccessMask::Scan, AccessMask::Optimize, AccessMask::SetAffinity,
                                     AccessMask::Terminate}) {
        EXPECT_FALSE(api.OpenProcess(mask, static_cast<Pid>(child.pid()))) << mask;
        EXPECT_EQ(api.GetLastError(), ESRCH) << mask << ": " << api.LastErrorText().toStdString();
    }
}

TEST(LinuxPort, TerminateKillsTheChild) {
    ChildProcess child({TestChildPath(), "threads", "0"});
    StartThreads(child);
    LinuxProcessApi api;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Terminate, static_cast<Pid>(child.pid()));
    ASSERT_TRUE(handle);
    ASSERT_TRUE(api.TerminateProcess(handle, STILL_ACTIVE));
    ASSERT_TRUE(child.WaitExitedNoReap());
    const int status = child.KillAndReap();
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

TEST(LinuxPort, PathsWithBlanksParenthesesAndNewlines) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.path().toStdString() + "/my child) (x\ny";
    std::filesystem::copy_file(TestChildPath(), path);
    auto child = std::make_unique<ChildProcess>(std::vector<std::string>{path, "threads", "0"});
    StartThreads(*child);
    const Pid pid = static_cast<Pid>(child->pid());

    LinuxProcessApi api;
    ASSERT_TRUE(api.BindEnumeration());
    std::vector<Pid> pids;
    ASSERT_TRUE(api.EnumProcesses(pids));
    EXPECT_NE(std::find(pids.begin(), pids.end(), pid), pids.end());
    EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));

    const ProcessHandle handle = api.OpenProcess(AccessMask::Scan, pid);
    ASSERT_TRUE(handle);
    ModuleHandle module = 0;
    ASSERT_TRUE(api.EnumProcessModules(handle, module));
    EXPECT_EQ(api.GetModuleFileNameExW(handle, module).toStdString(), path);
    std::filesystem::remove(path); // the kernel now says "... (deleted)"
    EXPECT_EQ(api.GetModuleFileNameExW(handle, 0).toStdString(), path);
}

namespace {

// The name a fresh handle reads (an open with read rights reads the link anew).
std::string ModuleNameNow(LinuxProcessApi& api, pid_t pid) {
    const ProcessHandle handle = api.OpenProcess(AccessMask::Scan, static_cast<Pid>(pid));
    if (!handle)
        return "<no handle>";
    return EncodeFileName(api.GetModuleFileNameExW(handle, 1)).toStdString();
}

} // namespace

TEST(LinuxPort, DeletedIsRemovedOnlyFromTheNamesOfDeletedFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    LinuxProcessApi api;
    ASSERT_TRUE(api.BindEnumeration());
    for (const char* name : {"x (deleted)", "x (deleted) (deleted)", "x", "x (deleted) y", "x(deleted)"}) {
        const std::string path = dir.path().toStdString() + "/" + name;
        std::filesystem::copy_file(TestChildPath(), path);
        auto child = std::make_unique<ChildProcess>(std::vector<std::string>{path, "threads", "0"});
        StartThreads(*child);
        EXPECT_EQ(ModuleNameNow(api, child->pid()), path) << "a file of this very name";
        std::filesystem::remove(path); // the kernel appends " (deleted)" now
        EXPECT_EQ(ModuleNameNow(api, child->pid()), path) << "the file was deleted";
    }
}

TEST(LinuxPort, NamesThatAreNotUtf8StayApartAndEncodeBackToTheirBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string folder = dir.path().toStdString();
    std::vector<std::string> paths;
    std::vector<std::unique_ptr<ChildProcess>> children;
    for (const char* name : {"p\xFF", "p\xFE", "p\xEF\xBF\xBD", "d\xC3/p\xE9"}) {
        const std::string path = folder + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::filesystem::copy_file(TestChildPath(), path);
        paths.push_back(path);
        children.push_back(std::make_unique<ChildProcess>(std::vector<std::string>{path, "threads", "0"}));
        StartThreads(*children.back());
    }
    LinuxProcessApi api;
    ASSERT_TRUE(api.BindEnumeration());
    QStringList names;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const ProcessHandle handle = api.OpenProcess(AccessMask::Scan, static_cast<Pid>(children[i]->pid()));
        ASSERT_TRUE(handle);
        const QString name = api.GetModuleFileNameExW(handle, 1);
        EXPECT_EQ(EncodeFileName(name).toStdString(), paths[i]);
        EXPECT_FALSE(names.contains(name)) << paths[i];
        names.append(name);
        // Handed back to the system, the name reaches the file.
        EXPECT_TRUE(FileNameExists(name)) << paths[i];
        // The folder part is text up to the last "/", as the window's "open folder" takes it.
        const QString folderText = name.left(name.lastIndexOf(u'/') + 1);
        EXPECT_TRUE(FileNameExists(folderText));
        const QByteArray url = LocalFileUrl(folderText).toEncoded();
        EXPECT_EQ(QByteArray::fromPercentEncoding(url.mid(7)).toStdString(),
                  paths[i].substr(0, paths[i].rfind('/') + 1));
    }
    EXPECT_EQ(names[0].right(1), QString(QChar(0xDCFF)));
    EXPECT_EQ(names[1].right(1), QString(QChar(0xDCFE)));
    EXPECT_EQ(names[2].right(1), QStringLiteral("\uFFFD")) << "valid UTF-8 reads as it always did";
}

TEST(LinuxPort, PrivilegesAreTheEffectiveCapabilities) {
    if (!IsRoot())
        GTEST_SKIP() << "needs root: the capabilities must be permitted";
    const std::string result = InForkedChild([] {
        auto effective = [] {
            std::ifstream status("/proc/self/status");
            std::string line;
            while (std::getline(status, line))
                if (line.rfind("CapEff:", 0) == 0)
                    return std::stoull(line.substr(7), nullptr, 16);
            return 0ULL;
        };
        const unsigned long long wanted = (1ULL << CAP_SYS_NICE) | (1ULL << CAP_SYS_PTRACE) | (1ULL << CAP_KILL);
        LinuxProcessApi api;
        std::string out;
        SetPrivileges(api, false);
        out += (effective() & wanted) == 0 ? "off " : "still-on ";
        SetPrivileges(api, true);
        out += (effective() & wanted) == wanted ? "on" : "not-on";
        return out;
    });
    EXPECT_EQ(result, "off on");
}

TEST(LinuxPort, OwnProcessIsRaisedToHighOrLeftSilently) {
    const std::string result = InForkedChild([] {
        LinuxProcessApi api;
        RaiseOwnPriority(api);
        const ProcessHandle self = api.GetCurrentProcess();
        return std::to_string(api.GetPriorityClass(self));
    });
    EXPECT_EQ(result, IsRoot() ? "128" : "32");
}

// Kelvane without privileges: it may only change what it could also undo.
TEST(LinuxPort, UnprivilegedOpensOnlyWhatItCouldUndo) {
    if (!IsRoot())
        GTEST_SKIP() << "needs root to start the unprivileged user";
    // The unprivileged user runs a copy of the test child: it may not enter the build folder.
    const kelvane::test::SharedCopy testChild(TestChildPath());
    ASSERT_FALSE(testChild.path().empty()) << testChild.error();
    ChildProcess rootsChild({TestChildPath(), "threads", "0"});
    StartThreads(rootsChild);
    const pid_t other = rootsChild.pid();
    // A child at nice 0 can come back there when its RLIMIT_NICE is 20. Where the hard limit cannot
    // be raised (no CAP_SYS_RESOURCE), a child first seen at nice 19 stands in: a return to 19
    // never needs the limit.
    const rlimit twenty{20, 20};
    const bool limitRaised = ::setrlimit(RLIMIT_NICE, &twenty) == 0;
    const int returnableNice = limitRaised ? 0 : 19;
    const std::string childPath = testChild.path();
    const std::string result = InForkedChild([other, returnableNice, &childPath] {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            return std::string("could not drop privileges");
        if (::access(childPath.c_str(), X_OK) != 0)
            return std::string("unreachable: ") + std::strerror(errno);
        ChildProcess stuck({"/bin/sleep", "60"}, [] {
            const rlimit zero{0, 0};
            ::setrlimit(RLIMIT_NICE, &zero);
        });
        ChildProcess returnable({"/bin/sleep", "60"}, [returnableNice] {
            ::setpriority(PRIO_PROCESS, 0, returnableNice);
        });
        ChildProcess noDump({childPath, "nodump"}, [] { ::setpriority(PRIO_PROCESS, 0, 19); });
        noDump.ReadLine();
        ::usleep(100000); // let the sleeps exec
        LinuxProcessApi api;
        std::string out;
        // A non-dumpable process of the user's own: its memory is closed, but it can be adjusted
        // and ended.
        for (const std::uint32_t mask : {AccessMask::Query, AccessMask::Scan, AccessMask::SetAffinity,
                                         AccessMask::Terminate})
            out += api.OpenProcess(mask, static_cast<Pid>(noDump.pid())) ? '1' : '0';
        out += ' ';
        for (const pid_t pid : {stuck.pid(), returnable.pid(), other})
            for (const std::uint32_t mask : {AccessMask::Query, AccessMask::Scan, AccessMask::Optimize,
                                             AccessMask::Terminate}) {
                out += api.OpenProcess(mask, static_cast<Pid>(pid)) ? '1' : '0';
                if (mask == AccessMask::Terminate)
                    out += ' ';
            }
        const ProcessHandle lowerable = api.OpenProcess(AccessMask::Optimize, static_cast<Pid>(returnable.pid()));
        const std::uint32_t first = api.GetPriorityClass(lowerable);
        out += api.SetPriorityClass(lowerable, IDLE_PRIORITY_CLASS) && api.SetPriorityClass(lowerable, first)
                   ? "undone"
                   : "not-undone";
        return out;
    });
    if (result.rfind("unreachable", 0) == 0)
        GTEST_SKIP() << "uid 65534 cannot run " << childPath << " (" << result
                     << "): /tmp is closed to other users or mounted noexec";
    // stuck: query, scan, terminate but no 1552; returnable: everything; root's: query only.
    EXPECT_EQ(result, "1011 1101 1111 1000 undone") << (limitRaised ? "RLIMIT_NICE 20" : "nice 19 stand-in");
}
