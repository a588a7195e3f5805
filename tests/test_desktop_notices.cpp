// Notices through the desktop's notification service, against a fake service on a private
// session bus: nothing is sent where no service is there, and a notice reaches the service whole,
// its text escaped for services that read markup.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>

#include "app/DesktopNotices.h"
#include "tests/support/PrivateSessionBus.h"

using kelvane::app::DesktopNotices;

namespace {

kelvane::test::PrivateSessionBus* bus = nullptr;

const QString kService = QStringLiteral("org.freedesktop.Notifications");

// org.freedesktop.Notifications on a connection of its own: records every call and answers
// Notify with a notice ID.
class FakeNotifications : public QDBusVirtualObject {
public:
    FakeNotifications() : connection_(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"))) {
        connection_.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), this);
        registered = connection_.registerService(kService);
    }
    ~FakeNotifications() override {
        connection_.unregisterService(kService);
        connection_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    }
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        calls.append(message);
        connection.send(message.createReply(QVariant::fromValue(1u)));
        return true;
    }

    bool registered = false;
    QList<QDBusMessage> calls;

private:
    QDBusConnection connection_;
};

bool WaitFor(const std::function<bool()>& condition) {
    QDeadlineTimer deadline(5000);
    while (!condition() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}

} // namespace

TEST(DesktopNotices, WithoutAServiceNothingIsSent) {
    if (!bus->Up())
        GTEST_SKIP() << "no dbus-daemon for a private session bus";
    const DesktopNotices notices(QDBusConnection::sessionBus());
    EXPECT_FALSE(notices.Available());
    EXPECT_FALSE(notices.Notify(QStringLiteral("Kelvane"), QStringLiteral("a notice")));
}

TEST(DesktopNotices, ANoticeReachesTheServiceWhole) {
    if (!bus->Up())
        GTEST_SKIP() << "no dbus-daemon for a private session bus";
    FakeNotifications service;
    ASSERT_TRUE(service.registered);
    const DesktopNotices notices(QDBusConnection::sessionBus());
    ASSERT_TRUE(WaitFor([&] { return notices.Available(); }));
    struct Case {
        const char* body;
        const char* sent;
    } const cases[] = {
        {"Processes of other users are listed but not changed", "Processes of other users are listed but not changed"},
        {"/opt/a&b/<tool> \"x\"", "/opt/a&amp;b/&lt;tool&gt; &quot;x&quot;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        service.calls.clear();
        ASSERT_TRUE(notices.Notify(QStringLiteral("Kelvane"), QString::fromUtf8(c.body)));
        ASSERT_TRUE(WaitFor([&] { return !service.calls.isEmpty(); }));
        const QDBusMessage& call = service.calls.front();
        EXPECT_EQ(call.interface(), kService);
        EXPECT_EQ(call.member(), QStringLiteral("Notify"));
        EXPECT_EQ(call.signature(), QStringLiteral("susssasa{sv}i"));
        const QList<QVariant> args = call.arguments();
        ASSERT_EQ(args.size(), 8);
        EXPECT_EQ(args[0].toString(), QStringLiteral("Kelvane"));
        EXPECT_EQ(args[1].toUInt(), 0u) << "a new notice, replacing none";
        EXPECT_EQ(args[3].toString(), QStringLiteral("Kelvane"));
        EXPECT_EQ(args[4].toString(), QString::fromUtf8(c.sent));
        EXPECT_EQ(args[7].toInt(), 10000);
    }
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    kelvane::test::PrivateSessionBus privateBus; // before the first connection
    bus = &privateBus;
    return RUN_ALL_TESTS();
}
