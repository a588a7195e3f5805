// The session bus sources against fake desktops on a private bus: a fake KWin that loads and
// unloads scripts the way KWin's scripting interface does and answers for the script it loaded,
// and a fake GNOME Shell extension object. Each fake runs on a thread of its own, so that the
// tracker's blocking calls are answered while the test waits.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QFile>
#include <QRegularExpression>
#include <QThread>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/linux/foreground/ForegroundTracker.h"
#include "tests/support/PrivateSessionBus.h"
#include "tests/support/WaitSleeping.h"

using namespace kelvane::linux_port;

namespace {

kelvane::test::PrivateSessionBus* bus = nullptr;

using kelvane::test::WaitSleeping;

SessionEnvironment WaylandWithBus() {
    SessionEnvironment env;
    env.waylandDisplay = "wayland-0";
    env.sessionBus = true;
    return env;
}

// A bus peer on a thread of its own; `Run` executes on that thread.
class Peer {
public:
    explicit Peer(const QString& name) : name_(name) {
        thread_.start();
        context_.moveToThread(&thread_);
        Run([this] {
            connection_ = std::make_unique<QDBusConnection>(
                QDBusConnection::connectToBus(QDBusConnection::SessionBus, name_));
        });
    }
    virtual ~Peer() {
        Run([this] {
            connection_.reset();
            QDBusConnection::disconnectFromBus(name_);
        });
        thread_.quit();
        thread_.wait();
    }
    void Run(const std::function<void()>& work) {
        QMetaObject::invokeMethod(&context_, work, Qt::BlockingQueuedConnection);
    }
    QDBusConnection& Bus() { return *connection_; }
    // Makes `object` (a bus object of this peer) handle its calls on the peer's thread.
    void Adopt(QObject* object) { object->moveToThread(&thread_); }
    // Gives it back to the test's thread before it is destroyed there.
    void Release(QObject* object) {
        QThread* main = QCoreApplication::instance()->thread();
        Run([object, main] { object->moveToThread(main); });
    }

private:
    QString name_;
    QThread thread_;
    QObject context_;
    std::unique_ptr<QDBusConnection> connection_;
};

// KWin's /Scripting: loadScript(path, plugin) -> id, start(), unloadScript(plugin) -> bool,
// isScriptLoaded(plugin) -> bool. "Running" a script calls back the bus name written into it.
class FakeKWin final : public Peer, public QDBusVirtualObject {
public:
    FakeKWin() : Peer(QStringLiteral("fake-kwin")) {
        Adopt(this);
        Run([this] {
            Bus().registerVirtualObject(QStringLiteral("/Scripting"), this);
            Bus().registerService(QStringLiteral("org.kde.KWin"));
        });
    }
    ~FakeKWin() override {
        Run([this] { Bus().unregisterObject(QStringLiteral("/Scripting")); });
        Release(this);
    }

    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        const std::lock_guard lock(mutex_);
        const QVariantList args = message.arguments();
        QDBusMessage reply = message.createReply();
        if (message.member() == QLatin1String("loadScript") && args.size() == 2) {
            QFile file(args[0].toString());
            scriptText = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
            scriptPath = args[0].toString();
            plugin = args[1].toString();
            loaded = true;
            reply << 7;
        } else if (message.member() == QLatin1String("start")) {
            started = loaded;
            connection.send(reply);
            // As the script does when it starts: report the active window (none here).
            if (started)
                connection.send(ActivatedCall(ServiceInScript(), QStringLiteral("0"), {}));
            return true;
        } else if (message.member() == QLatin1String("unloadScript") && args.size() == 1) {
            const bool was = loaded && args[0].toString() == plugin;
            loaded = loaded && !was;
            started = started && !was;
            ++unloads;
            reply << was;
        } else if (message.member() == QLatin1String("isScriptLoaded") && args.size() == 1) {
            reply << (loaded && args[0].toString() == plugin);
        } else {
            return false;
        }
        connection.send(reply);
        return true;
    }

    // The bus name written into the script loaded (with the mutex held).
    QString ServiceInScript() const {
        return QRegularExpression(QStringLiteral("var kelvaneService = \"([^\"]+)\";"))
            .match(scriptText)
            .captured(1);
    }
    static QDBusMessage ActivatedCall(const QString& service, const QString& pid, const QString& appId) {
        QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/kelvane/KWinReport"),
                                                           QStringLiteral("org.kelvane.KWinReport"),
                                                           QStringLiteral("Activated"));
        call << pid << appId;
        return call;
    }
    // What the script does on an activation: call the bus name written into it.
    void Activate(const QString& pid, const QString& appId) {
        QString service;
        {
            const std::lock_guard lock(mutex_);
            service = ServiceInScript();
        }
        Run([&] { Bus().call(ActivatedCall(service, pid, appId), QDBus::Block, 2000); });
    }
    void Leave() {
        Run([this] { Bus().unregisterService(QStringLiteral("org.kde.KWin")); });
    }
    template <typename F> auto Locked(F read) {
        const std::lock_guard lock(mutex_);
        return read();
    }

    QString scriptText;
    QString scriptPath;
    QString plugin;
    bool loaded = false;
    bool started = false;
    int unloads = 0;

private:
    std::mutex mutex_;
};

// Kelvane's GNOME Shell extension as the shell runs it: org.kelvane.Foreground with
// GetForeground() -> (u, s) and the ForegroundChanged(u, s) signal.
class FakeExtension final : public Peer, public QDBusVirtualObject {
public:
    explicit FakeExtension(const QString& name = QStringLiteral("fake-shell")) : Peer(name) {
        Adopt(this);
        Run([this] {
            Bus().registerVirtualObject(QStringLiteral("/org/kelvane/Foreground"), this);
            Bus().registerService(QStringLiteral("org.kelvane.Foreground"));
        });
    }
    ~FakeExtension() override {
        Run([this] { Bus().unregisterObject(QStringLiteral("/org/kelvane/Foreground")); });
        Release(this);
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.member() != QLatin1String("GetForeground"))
            return false;
        connection.send(message.createReply() << pid_.load() << appId_);
        return true;
    }
    void Focus(uint pid, const QString& appId = {}) {
        pid_ = pid;
        Run([&] {
            appId_ = appId;
            QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/kelvane/Foreground"),
                                                             QStringLiteral("org.kelvane.Foreground1"),
                                                             QStringLiteral("ForegroundChanged"));
            signal << pid << appId;
            Bus().send(signal);
        });
    }
    void Disable() {
        Run([this] { Bus().unregisterService(QStringLiteral("org.kelvane.Foreground")); });
    }

private:
    std::atomic<uint> pid_{0};
    QString appId_;
};

class DBusSources : public ::testing::Test {
protected:
    void SetUp() override {
        if (bus == nullptr || !bus->Up())
            GTEST_SKIP() << "dbus-daemon did not start (scripts/deps.sh --test installs dbus-daemon)";
    }
    static std::unique_ptr<ForegroundTracker> Tracker() {
        return std::make_unique<ForegroundTracker>(WaylandWithBus(), ForegroundTracker::Factory{},
                                                   ForegroundTracker::Timing{3000, 50, 200});
    }
};

TEST_F(DBusSources, KWinScriptIsLoadedForThisInstanceAndReportsReachTheTracker) {
    FakeKWin kwin;
    auto tracker = Tracker();
    ASSERT_EQ(tracker->SourceName(), "kwin");
    ASSERT_TRUE(kwin.Locked([&] { return kwin.started; })) << "the script was loaded and started";
    const QString script = kwin.Locked([&] { return kwin.scriptText; });
    EXPECT_TRUE(script.contains(QLatin1String("workspace.windowActivated")));
    EXPECT_FALSE(script.contains(QLatin1String("\"KELVANE_BUS_NAME\""))) << "the bus name is filled in";

    for (const auto& [text, pid] : {std::pair{"4242", 4242}, std::pair{"0", 0}, std::pair{"17", 17},
                                    std::pair{"-3", 0}, std::pair{"junk", 0}}) {
        kwin.Activate(QLatin1String(text), QStringLiteral("org.example.App"));
        EXPECT_EQ(tracker->Pid(), pid) << text;
    }
}

TEST_F(DBusSources, OnlyKWinItselfSpeaksForTheScript) {
    FakeKWin kwin;
    auto tracker = Tracker();
    ASSERT_EQ(tracker->SourceName(), "kwin");
    kwin.Activate(QStringLiteral("100"), {});
    ASSERT_EQ(tracker->Pid(), 100);
    // Another client of the session calls the same object with the bus name from the script.
    Peer other(QStringLiteral("intruder"));
    const QString service = kwin.Locked([&] { return kwin.ServiceInScript(); });
    other.Run([&] {
        other.Bus().call(FakeKWin::ActivatedCall(service, QStringLiteral("1"), {}), QDBus::Block, 2000);
    });
    EXPECT_EQ(tracker->Pid(), 100);
}

TEST_F(DBusSources, TheScriptIsUnloadedAndItsFileRemovedWhenTheTrackerEnds) {
    FakeKWin kwin;
    auto tracker = Tracker();
    ASSERT_EQ(tracker->SourceName(), "kwin");
    const QString path = kwin.Locked([&] { return kwin.scriptPath; });
    ASSERT_TRUE(QFile::exists(path));
    tracker.reset();
    EXPECT_FALSE(kwin.Locked([&] { return kwin.loaded; })) << "unloadScript was called with its plugin name";
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(DBusSources, KWinLeavingGivesZeroAndTheNextSource) {
    auto kwin = std::make_unique<FakeKWin>();
    FakeExtension extension;
    extension.Focus(0);
    auto tracker = Tracker();
    ASSERT_EQ(tracker->SourceName(), "kwin");
    kwin->Activate(QStringLiteral("555"), {});
    ASSERT_EQ(tracker->Pid(), 555);
    extension.Focus(666);
    kwin->Leave();
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() != 555; })) << "never the stale PID";
    EXPECT_TRUE(WaitSleeping([&] { return tracker->SourceName() == "gnome-shell" && tracker->Pid() == 666; }))
        << tracker->SourceName() << " " << tracker->Pid();
    const std::vector<std::string> notices = tracker->TakeNotices();
    ASSERT_FALSE(notices.empty());
    EXPECT_NE(notices[0].find("KWin left the session bus"), std::string::npos) << notices[0];
}

TEST_F(DBusSources, GnomeExtensionAnswersAndSignalsChanges) {
    FakeExtension extension;
    extension.Focus(321);
    auto tracker = Tracker();
    ASSERT_EQ(tracker->SourceName(), "gnome-shell");
    EXPECT_EQ(tracker->Pid(), 321) << "the first answer is GetForeground's";
    for (const uint pid : {400U, 0U, 401U}) {
        extension.Focus(pid);
        EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() == static_cast<pid_t>(pid); })) << pid;
    }
}

TEST_F(DBusSources, GnomeSignalsOfOtherClientsAreIgnored) {
    FakeExtension extension;
    extension.Focus(321);
    auto tracker = Tracker();
    ASSERT_EQ(tracker->Pid(), 321);
    Peer other(QStringLiteral("intruder-signal"));
    other.Run([&] {
        QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/kelvane/Foreground"),
                                                         QStringLiteral("org.kelvane.Foreground1"),
                                                         QStringLiteral("ForegroundChanged"));
        signal << 1U << QString();
        other.Bus().send(signal);
    });
    extension.Focus(322); // ordered after the intruder's signal on the bus
    ASSERT_TRUE(WaitSleeping([&] { return tracker->Pid() == 322; }));
}

TEST_F(DBusSources, DisablingTheExtensionGivesZeroAndANotice) {
    FakeExtension extension;
    extension.Focus(321);
    auto tracker = Tracker();
    ASSERT_EQ(tracker->Pid(), 321);
    extension.Disable();
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() == 0 && tracker->SourceName() == "none"; }));
    bool noticed = false;
    for (const std::string& notice : tracker->TakeNotices())
        noticed = noticed || notice.find("extension left the session bus") != std::string::npos;
    EXPECT_TRUE(noticed);
}

TEST_F(DBusSources, GnomeWithoutTheExtensionSaysOnceHowToEnableIt) {
    Peer shell(QStringLiteral("fake-gnome-shell"));
    shell.Run([&] { shell.Bus().registerService(QStringLiteral("org.gnome.Shell")); });
    auto tracker = Tracker();
    EXPECT_EQ(tracker->Pid(), 0);
    EXPECT_EQ(tracker->SourceName(), "none");
    // The tracker keeps trying; the advice still comes once.
    WaitSleeping([] { return false; }, 300);
    std::vector<std::string> notices = tracker->TakeNotices();
    const auto count = std::count_if(notices.begin(), notices.end(), [](const std::string& notice) {
        return notice.find("gnome-extensions enable kelvane-foreground@kelvane.org") != std::string::npos;
    });
    EXPECT_EQ(count, 1);
    // Once the extension is there, it is taken up.
    FakeExtension extension(QStringLiteral("fake-shell-late"));
    extension.Focus(808);
    EXPECT_TRUE(WaitSleeping([&] { return tracker->Pid() == 808; }));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    kelvane::test::PrivateSessionBus privateBus;
    bus = &privateBus;
    return RUN_ALL_TESTS();
}
