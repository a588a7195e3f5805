// The foreground tracker over scripted sources: the order it tries them in, the cached answer, what
// happens when a source stops, taking up a better source that comes back, and its notices.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/linux/foreground/ForegroundTracker.h"
#include "tests/support/WaitSleeping.h"

using namespace kelvane::linux_port;

namespace {

// What each scripted source does; shared with the test thread.
struct Script {
    std::mutex mutex;
    std::map<SourceKind, bool> available; // Start succeeds
    std::map<SourceKind, pid_t> answer;   // reported on Start
    std::map<SourceKind, int> starts;
    std::map<SourceKind, ForegroundSink*> running;

    bool Available(SourceKind kind) {
        const std::lock_guard lock(mutex);
        return available[kind];
    }
};

class ScriptedSource final : public ForegroundSource {
public:
    ScriptedSource(SourceKind kind, std::shared_ptr<Script> script)
        : kind_(kind), script_(std::move(script)) {}
    ~ScriptedSource() override {
        const std::lock_guard lock(script_->mutex);
        script_->running.erase(kind_);
    }
    const char* Name() const override { return SourceKindName(kind_); }
    bool Start(ForegroundSink& sink) override {
        pid_t answer = 0;
        {
            const std::lock_guard lock(script_->mutex);
            ++script_->starts[kind_];
            if (!script_->available[kind_])
                return false;
            script_->running[kind_] = &sink;
            answer = script_->answer[kind_];
        }
        sink.Foreground(answer);
        return true;
    }

private:
    SourceKind kind_;
    std::shared_ptr<Script> script_;
};

using kelvane::test::WaitSleeping;

class TrackerTest : public ::testing::Test {
protected:
    // A Wayland session with every source the environment can name.
    SessionEnvironment Wayland() { return {":1", "wayland-0", "wayland", "/run/sway.sock", true}; }

    std::unique_ptr<ForegroundTracker> Make(SessionEnvironment env,
                                            ForegroundTracker::Timing timing = {1500, 20, 50}) {
        return std::make_unique<ForegroundTracker>(
            env,
            [script = script_](SourceKind kind) { return std::make_unique<ScriptedSource>(kind, script); },
            timing);
    }

    // Runs `report` on the worker thread, as a source's own event would.
    void FromSource(SourceKind kind, const std::function<void(ForegroundSink&)>& report) {
        ForegroundSink* sink = nullptr;
        {
            const std::lock_guard lock(script_->mutex);
            sink = script_->running.at(kind);
        }
        QObject* worker = dynamic_cast<QObject*>(sink);
        ASSERT_NE(worker, nullptr);
        QMetaObject::invokeMethod(
            worker, [sink, report] { report(*sink); }, Qt::BlockingQueuedConnection);
    }

    void Set(SourceKind kind, bool available, pid_t answer = 0) {
        const std::lock_guard lock(script_->mutex);
        script_->available[kind] = available;
        script_->answer[kind] = answer;
    }

    std::shared_ptr<Script> script_ = std::make_shared<Script>();
};

TEST_F(TrackerTest, TakesTheFirstSourceThatStartsAndAnswersFromTheFirstCall) {
    Set(SourceKind::KWin, false);
    Set(SourceKind::GnomeShell, false);
    Set(SourceKind::Sway, true, 4242);
    Set(SourceKind::XWayland, true, 99);
    auto tracker = Make(Wayland());
    EXPECT_EQ(tracker->Pid(), 4242) << "the first call waits for the first answer";
    EXPECT_EQ(tracker->SourceName(), "sway");
    EXPECT_EQ(script_->starts[SourceKind::XWayland], 0) << "the sources after the one in use are not started";
    EXPECT_TRUE(tracker->TakeNotices().empty());
}

TEST_F(TrackerTest, FollowsTheReportsOfItsSource) {
    Set(SourceKind::X11, true, 10);
    auto tracker = Make({":0", "", "x11", "", false});
    ASSERT_EQ(tracker->Pid(), 10);
    for (const pid_t pid : {11, 0, 12, -5}) {
        FromSource(SourceKind::X11, [pid](ForegroundSink& sink) { sink.Foreground(pid); });
        EXPECT_EQ(tracker->Pid(), pid > 0 ? pid : 0);
    }
}

TEST_F(TrackerTest, ALostSourceGivesZeroAtOnceThenTheNextSource) {
    Set(SourceKind::KWin, true, 500);
    Set(SourceKind::XWayland, true, 77);
    auto tracker = Make(Wayland());
    ASSERT_EQ(tracker->Pid(), 500);
    Set(SourceKind::KWin, false);
    FromSource(SourceKind::KWin, [](ForegroundSink& sink) { sink.Lost("KWin left"); });
    // Lost returned on the worker thread: the stale PID is gone, whether or not the next source
    // has answered yet.
    const pid_t rightAfter = tracker->Pid();
    EXPECT_TRUE(rightAfter == 0 || rightAfter == 77) << rightAfter;
    EXPECT_TRUE(WaitSleeping([&] { return tracker->SourceName() == "xwayland"; })) << tracker->SourceName();
    EXPECT_EQ(tracker->Pid(), 77);
    const std::vector<std::string> notices = tracker->TakeNotices();
    ASSERT_EQ(notices.size(), 2U);
    EXPECT_NE(notices[0].find("kwin stopped (KWin left)"), std::string::npos) << notices[0];
    EXPECT_NE(notices[1].find("XWayland"), std::string::npos) << notices[1];
}

TEST_F(TrackerTest, IsZeroWhileNoSourceAnswersAfterALoss) {
    Set(SourceKind::Sway, true, 500);
    auto tracker = Make(Wayland());
    ASSERT_EQ(tracker->Pid(), 500);
    Set(SourceKind::Sway, false); // sway restarts
    FromSource(SourceKind::Sway, [](ForegroundSink& sink) { sink.Lost("the socket closed"); });
    EXPECT_TRUE(WaitSleeping([&] { return tracker->SourceName() == "none"; }));
    const int startsBefore = [&] {
        const std::lock_guard lock(script_->mutex);
        return script_->starts[SourceKind::Sway];
    }();
    ASSERT_TRUE(WaitSleeping([&] {
        const std::lock_guard lock(script_->mutex);
        return script_->starts[SourceKind::Sway] > startsBefore + 1;
    })) << "the sources are tried again";
    EXPECT_EQ(tracker->Pid(), 0) << "never the PID of the source that went away";
    Set(SourceKind::Sway, true, 600); // sway is back
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() == 600; }));
}

TEST_F(TrackerTest, TakesUpABetterSourceThatComesBack) {
    Set(SourceKind::GnomeShell, false);
    Set(SourceKind::XWayland, true, 77);
    auto tracker = Make(Wayland());
    ASSERT_EQ(tracker->SourceName(), "xwayland");
    Set(SourceKind::GnomeShell, true, 321); // the extension is enabled
    EXPECT_TRUE(WaitSleeping([&] { return tracker->SourceName() == "gnome-shell"; }));
    EXPECT_EQ(tracker->Pid(), 321);
    EXPECT_TRUE(WaitSleeping([&] {
        const std::lock_guard lock(script_->mutex);
        return script_->running.count(SourceKind::XWayland) == 0;
    })) << "the fallback is stopped once the better source runs";
}

TEST_F(TrackerTest, WithoutAnySourceIsZeroAndKeepsTrying) {
    auto tracker = Make(Wayland());
    EXPECT_EQ(tracker->Pid(), 0);
    EXPECT_EQ(tracker->SourceName(), "none");
    Set(SourceKind::Sway, true, 55); // sway starts later
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() == 55; }));
    EXPECT_EQ(tracker->SourceName(), "sway");
}

TEST_F(TrackerTest, GivesEachNoticeOnce) {
    Set(SourceKind::XWayland, true, 1);
    auto tracker = Make(Wayland());
    ASSERT_EQ(tracker->Pid(), 1);
    for (int i = 0; i < 3; ++i)
        FromSource(SourceKind::XWayland, [](ForegroundSink& sink) { sink.Notice("enable the extension"); });
    const std::vector<std::string> notices = tracker->TakeNotices();
    ASSERT_EQ(notices.size(), 2U);
    EXPECT_EQ(notices[1], "enable the extension");
    EXPECT_TRUE(tracker->TakeNotices().empty());
}

TEST_F(TrackerTest, AnX11DesktopWithoutADisplayHasNoSourceAndNoNotice) {
    auto tracker = Make({"", "", "tty", "", true});
    EXPECT_EQ(tracker->Pid(), 0);
    EXPECT_TRUE(tracker->TakeNotices().empty());
    EXPECT_TRUE(script_->starts.empty());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
