// The foreground process through X11. CTest runs this under a virtual display with a window manager
// (run-under-x.sh); without one, the display tests skip and say so. The port follows the active
// window through events on a thread with an event loop, so the tests run inside a QCoreApplication.

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/foreground/ForegroundTracker.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitSleeping.h"

using namespace kelvane;
using kelvane::test::ChildProcess;
using kelvane::test::Shell;

namespace {

std::string ChildPath() {
    const std::string testChild = kelvane::test::TestChildPath();
    return testChild.substr(0, testChild.rfind('/')) + "/x_window_child";
}

// Polls `condition` for up to ten seconds.
using kelvane::test::WaitSleeping;

bool HasDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

bool WindowManagerRunning() {
    return std::system("xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'") == 0;
}

} // namespace

TEST(Foreground, IsZeroWithoutADisplay) {
    const std::string saved = HasDisplay() ? std::getenv("DISPLAY") : "";
    ::unsetenv("DISPLAY");
    LinuxProcessApi api;
    EXPECT_EQ(api.GetForegroundProcessId(), 0U);
    if (!saved.empty())
        ::setenv("DISPLAY", saved.c_str(), 1);
}

TEST(Foreground, IsTheOwnerOfTheWindowActivatedLast) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb and openbox)";
    ASSERT_TRUE(WaitSleeping(WindowManagerRunning)) << "no EWMH window manager came up";
    // The second window claims a false _NET_WM_PID: the X server's own record of its client wins.
    ChildProcess first({ChildPath()});
    ChildProcess second({ChildPath(), "999999"});
    const std::string firstWindow = first.ReadLine();
    const std::string secondWindow = second.ReadLine();
    ASSERT_FALSE(firstWindow.empty());
    ASSERT_FALSE(secondWindow.empty());

    LinuxProcessApi api;
    for (const auto& [window, pid] : {std::pair{firstWindow, first.pid()}, std::pair{secondWindow, second.pid()},
                                      std::pair{firstWindow, first.pid()}}) {
        // The window manager may drop a focus request it gets too soon after the last one: ask again
        // until the window is active.
        const std::string activate = "xdotool windowactivate " + window + " 2>/dev/null";
        EXPECT_TRUE(WaitSleeping([&] {
            return std::system(activate.c_str()) == 0 && api.GetForegroundProcessId() == static_cast<Pid>(pid);
        }))
            << "window " << window << " foreground " << api.GetForegroundProcessId() << " expected " << pid
            << "; the desktop says: " << Shell("xprop -root _NET_ACTIVE_WINDOW; xdotool getactivewindow");
    }
}

TEST(Foreground, TheX11SourceFollowsActivationsAndForgetsAnEndedClient) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb and openbox)";
    ASSERT_TRUE(WaitSleeping(WindowManagerRunning)) << "no EWMH window manager came up";
    ChildProcess first({ChildPath()});
    ChildProcess second({ChildPath()});
    const std::string firstWindow = first.ReadLine();
    const std::string secondWindow = second.ReadLine();
    ASSERT_FALSE(secondWindow.empty());

    linux_port::SessionEnvironment env;
    env.display = std::getenv("DISPLAY");
    linux_port::ForegroundTracker tracker(env, {}, {});
    ASSERT_EQ(tracker.SourceName(), "x11");
    for (const auto& [window, pid] : {std::pair{secondWindow, second.pid()}, std::pair{firstWindow, first.pid()}}) {
        const std::string activate = "xdotool windowactivate " + window + " 2>/dev/null";
        EXPECT_TRUE(WaitSleeping([&] { return std::system(activate.c_str()) == 0 && tracker.Pid() == pid; }))
            << "window " << window << " foreground " << tracker.Pid() << " expected " << pid;
    }
    // The active window's client ends: the window manager moves the activation, and the tracker
    // follows it without being asked again.
    const pid_t ended = first.pid();
    first.KillAndReap();
    EXPECT_TRUE(WaitSleeping([&] { return tracker.Pid() != ended; })) << tracker.Pid();
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
