// The foreground on sway: a headless sway (its own runtime directory, software rendering) and two
// small Wayland clients started by the test; swaymsg moves the focus and closes the windows. Skips
// and says why where sway or the Qt Wayland platform is missing.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "platform/linux/foreground/ForegroundTracker.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitSleeping.h"

using namespace kelvane::linux_port;
using kelvane::test::ChildProcess;
using kelvane::test::Shell;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uid_t kNobody = 65534; // sway refuses to run as root

bool OnPath(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::string ChildDir() {
    const std::string testChild = kelvane::test::TestChildPath();
    return testChild.substr(0, testChild.rfind('/'));
}

using kelvane::test::WaitSleeping;

// A file of `dir` whose name starts with `prefix` and ends with `suffix`; empty when none.
std::string FindFile(const std::string& dir, const std::string& prefix, const std::string& suffix) {
    std::string found;
    if (DIR* d = ::opendir(dir.c_str())) {
        while (const dirent* entry = ::readdir(d)) {
            const std::string name = entry->d_name;
            if (name.rfind(prefix, 0) == 0 && name.size() > prefix.size() + suffix.size() &&
                name.ends_with(suffix))
                found = dir + "/" + name;
        }
        ::closedir(d);
    }
    return found;
}

class HeadlessSway {
public:
    HeadlessSway() {
        char dirTemplate[] = "/tmp/kelvane-sway-XXXXXX";
        dir_ = ::mkdtemp(dirTemplate);
        const bool root = ::geteuid() == 0;
        if (root && ::chown(dir_.c_str(), kNobody, kNobody) != 0)
            return;
        const std::string config = dir_ + "/config";
        Shell("printf 'xwayland disable\\n' > " + config + "; chmod 644 " + config);
        log_ = dir_ + "/sway.log";
        const int logFd = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        std::vector<std::string> argv = {"/usr/bin/env",
                                         "-i",
                                         "PATH=/usr/bin:/bin",
                                         "HOME=" + dir_,
                                         "XDG_RUNTIME_DIR=" + dir_,
                                         "WLR_BACKENDS=headless",
                                         "WLR_LIBINPUT_NO_DEVICES=1",
                                         "WLR_RENDERER=pixman"};
        if (root)
            argv.insert(argv.end(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
        argv.insert(argv.end(), {"sway", "-c", config});
        sway_ = std::make_unique<ChildProcess>(argv, [logFd] { ::dup2(logFd, STDERR_FILENO); });
        ::close(logFd);
        // Up once the IPC answers (its socket file is there a moment before sway listens on it).
        const bool up = WaitSleeping([&] {
            socket_ = FindFile(dir_, "sway-ipc.", ".sock");
            return !socket_.empty() && ::access((dir_ + "/wayland-1").c_str(), F_OK) == 0 &&
                   std::system(("swaymsg -s " + socket_ + " -t get_version >/dev/null 2>&1").c_str()) == 0;
        });
        if (!up)
            socket_.clear();
    }
    ~HeadlessSway() {
        sway_.reset();
        Shell("rm -rf " + dir_);
    }

    bool Up() const { return !socket_.empty(); }
    std::string Log() const { return Shell("tail -20 " + log_); }
    const std::string& Socket() const { return socket_; }
    std::string Tree() const { return Shell("swaymsg -s " + socket_ + " -t get_tree"); }
    std::string Msg(const std::string& command) const {
        return Shell("swaymsg -s " + socket_ + " -- '" + command + "'");
    }
    // A Wayland client of this sway, started by the test; "shown" once its window is mapped.
    std::unique_ptr<ChildProcess> Client() const {
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/env", "XDG_RUNTIME_DIR=" + dir_, "WAYLAND_DISPLAY=wayland-1",
                                     "QT_QPA_PLATFORM=wayland", ChildDir() + "/wayland_window_child"});
    }
    void Stop() { sway_->KillAndReap(); }

private:
    std::string dir_;
    std::string log_;
    std::string socket_;
    std::unique_ptr<ChildProcess> sway_;
};

bool HasQtWayland() {
    return Shell("ls /usr/lib/*/qt6/plugins/platforms/ 2>/dev/null").find("libqwayland") != std::string::npos;
}

} // namespace

TEST(SwayForeground, FollowsTheFocusAndNeverKeepsAClosedWindow) {
    if (!OnPath("sway") || !OnPath("swaymsg") || !HasQtWayland())
        GTEST_SKIP() << "sway, swaymsg or qt6-wayland is missing (scripts/deps.sh --test installs them)";
    HeadlessSway sway;
    ASSERT_TRUE(sway.Up()) << "headless sway did not come up: " << sway.Log();

    SessionEnvironment env;
    env.waylandDisplay = "wayland-1";
    env.swaySocket = sway.Socket();
    ForegroundTracker tracker(env, {}, {});
    ASSERT_TRUE(WaitSleeping([&] { return tracker.SourceName() == "sway"; })) << tracker.SourceName();
    EXPECT_EQ(tracker.Pid(), 0) << "an empty desktop has no foreground";

    // A window that is mapped takes the focus; the clients start one after the other so that it
    // is known which one has it.
    std::unique_ptr<ChildProcess> first = sway.Client();
    ASSERT_EQ(first->ReadLine(), "shown") << sway.Log();
    const pid_t a = first->pid();
    ASSERT_TRUE(WaitSleeping([&] { return tracker.Pid() == a; })) << tracker.Pid() << " " << sway.Tree();
    std::unique_ptr<ChildProcess> second = sway.Client();
    ASSERT_EQ(second->ReadLine(), "shown") << sway.Log();
    const pid_t b = second->pid();
    ASSERT_TRUE(WaitSleeping([&] { return tracker.Pid() == b; })) << tracker.Pid() << " " << sway.Tree();

    long long slowestMs = 0;
    for (const pid_t pid : {a, b, a}) {
        const std::string reply = sway.Msg("[pid=" + std::to_string(pid) + "] focus");
        const auto focused = Clock::now();
        ASSERT_TRUE(WaitSleeping([&] { return tracker.Pid() == pid; }, 2000)) << reply;
        const long long ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - focused).count();
        slowestMs = std::max(slowestMs, ms);
        EXPECT_LE(ms, 100) << "the focus of " << pid << " was seen after " << ms << " ms";
    }
    std::printf("slowest focus change seen after %lld ms\n", slowestMs);

    // Closing the focused window: the foreground moves to the other window or to none, and the
    // closed client is never given again.
    sway.Msg("[pid=" + std::to_string(a) + "] kill");
    ASSERT_TRUE(first->WaitExitedNoReap()) << "the client did not end when its window closed";
    ASSERT_TRUE(WaitSleeping([&] { return tracker.Pid() != a; }, 2000));
    for (int i = 0; i < 50; ++i) {
        const pid_t now = tracker.Pid();
        ASSERT_TRUE(now == b || now == 0) << now;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    sway.Msg("[pid=" + std::to_string(b) + "] kill");
    ASSERT_TRUE(second->WaitExitedNoReap());
    EXPECT_TRUE(WaitSleeping([&] { return tracker.Pid() == 0; }, 2000)) << tracker.Pid();

    // sway goes away: no source, and nothing stale.
    std::unique_ptr<ChildProcess> third = sway.Client();
    ASSERT_EQ(third->ReadLine(), "shown");
    ASSERT_TRUE(WaitSleeping([&] { return tracker.Pid() == third->pid(); }));
    sway.Stop();
    EXPECT_TRUE(WaitSleeping([&] { return tracker.Pid() == 0 && tracker.SourceName() == "none"; }, 3000))
        << tracker.Pid() << " " << tracker.SourceName();
    bool noticed = false;
    for (const std::string& notice : tracker.TakeNotices())
        noticed = noticed || notice.find("sway stopped") != std::string::npos;
    EXPECT_TRUE(noticed);
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
