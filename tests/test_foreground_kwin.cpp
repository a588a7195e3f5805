// The foreground on a real KWin: kwin_wayland --virtual on a private session bus, the tracker's
// script loaded into it, Wayland clients started by the test. Skips and says why where KWin is not
// installed or does not start here.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

#include "platform/linux/foreground/ForegroundTracker.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/WaitSleeping.h"

using namespace kelvane::linux_port;
using kelvane::test::ChildProcess;
using kelvane::test::Shell;

namespace {

kelvane::test::PrivateSessionBus* bus = nullptr;

using kelvane::test::WaitSleeping;

std::string ChildDir() {
    const std::string testChild = kelvane::test::TestChildPath();
    return testChild.substr(0, testChild.rfind('/'));
}

QDBusConnection TestBus() {
    return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("kwin-test"));
}

QDBusMessage AskScriptLoaded(const QString& plugin) {
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
        QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("isScriptLoaded"));
    call << plugin;
    return TestBus().call(call, QDBus::Block, 3000);
}

bool ScriptLoaded(const QString& plugin) {
    const QDBusMessage reply = AskScriptLoaded(plugin);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().first().toBool();
}

class VirtualKWin {
public:
    VirtualKWin() {
        char dirTemplate[] = "/tmp/kelvane-kwin-XXXXXX";
        dir_ = ::mkdtemp(dirTemplate);
        // The packaged binary carries a file capability (cap_sys_resource) that a container may not
        // grant, which makes exec fail; a copy has none and runs the same.
        const std::string copy = dir_ + "/kwin_wayland";
        Shell("cp \"$(command -v kwin_wayland)\" " + copy);
        log_ = dir_ + "/kwin.log";
        const int logFd = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        kwin_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/env", "XDG_RUNTIME_DIR=" + dir_, "KWIN_COMPOSE=Q",
                                     "QT_QPA_PLATFORM=offscreen", copy, "--virtual", "--no-lockscreen",
                                     "--socket", "wayland-kelvane"},
            [logFd] {
                ::dup2(logFd, STDERR_FILENO);
                ::dup2(logFd, STDOUT_FILENO);
            });
        ::close(logFd);
        // KWin takes its name before its scripting object is there: wait for the object.
        up_ = WaitSleeping(
            [] { return AskScriptLoaded(QStringLiteral("none")).type() == QDBusMessage::ReplyMessage; },
            20000);
    }
    ~VirtualKWin() {
        kwin_.reset();
        Shell("rm -rf " + dir_);
    }
    bool Up() const { return up_; }
    std::string Log() const { return Shell("tail -20 " + log_); }
    std::unique_ptr<ChildProcess> Client() const {
        return std::make_unique<ChildProcess>(std::vector<std::string>{
            "/usr/bin/env", "XDG_RUNTIME_DIR=" + dir_, "WAYLAND_DISPLAY=wayland-kelvane",
            "QT_QPA_PLATFORM=wayland", ChildDir() + "/wayland_window_child"});
    }

private:
    std::string dir_;
    std::string log_;
    bool up_ = false;
    std::unique_ptr<ChildProcess> kwin_;
};

} // namespace

TEST(KWinForeground, TheScriptReportsActivationsAndIsGoneAfterwards) {
    if (bus == nullptr || !bus->Up())
        GTEST_SKIP() << "dbus-daemon did not start (scripts/deps.sh --test installs dbus-daemon)";
    if (std::system("command -v kwin_wayland >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "kwin_wayland is not installed (package kwin-wayland)";
    VirtualKWin kwin;
    if (!kwin.Up())
        GTEST_SKIP() << "kwin_wayland --virtual did not start here: " << kwin.Log();

    SessionEnvironment env;
    env.waylandDisplay = "wayland-kelvane";
    env.sessionBus = true;
    auto tracker = std::make_unique<ForegroundTracker>(env, ForegroundTracker::Factory{},
                                                       ForegroundTracker::Timing{5000, 200, 1000});
    ASSERT_TRUE(WaitSleeping([&] { return tracker->SourceName() == "kwin"; }))
        << tracker->SourceName() << kwin.Log();
    const QString plugin = QStringLiteral("kelvane-foreground-%1-0").arg(::getpid());
    EXPECT_TRUE(ScriptLoaded(plugin));
    EXPECT_EQ(tracker->Pid(), 0) << "no window yet";

    std::unique_ptr<ChildProcess> first = kwin.Client();
    ASSERT_EQ(first->ReadLine(), "shown") << kwin.Log();
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() == first->pid(); })) << tracker->Pid() << kwin.Log();
    std::unique_ptr<ChildProcess> second = kwin.Client();
    ASSERT_EQ(second->ReadLine(), "shown") << kwin.Log();
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() == second->pid(); })) << tracker->Pid();

    // The active window's client ends: KWin activates the other one or none, never the closed one.
    const pid_t closed = second->pid();
    second->KillAndReap();
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() != closed; })) << tracker->Pid();
    const pid_t now = tracker->Pid();
    EXPECT_TRUE(now == first->pid() || now == 0) << now;

    tracker.reset();
    EXPECT_FALSE(ScriptLoaded(plugin)) << "the script is unloaded when Kelvane ends";
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    kelvane::test::PrivateSessionBus privateBus;
    bus = &privateBus;
    return RUN_ALL_TESTS();
}
