#pragma once
// Notices through the desktop's notification service (org.freedesktop.Notifications on the
// session bus). Qt's own tray balloon cannot be placed on an XEmbed tray and is drawn at the
// screen's top-left, over the menu bar; where no service is there, the notices are left to the
// status bar and its tip.

#include <QDBusConnection>
#include <QString>

namespace kelvane::app {

class DesktopNotices {
public:
    explicit DesktopNotices(const QDBusConnection& bus) : bus_(bus) {}

    // Whether a notification service runs on the bus, or the bus can start one.
    bool Available() const;
    // Shows `body` (plain text) under `summary` for about `timeoutMs`; false where there is no
    // service. Does not wait for the service's answer.
    bool Notify(const QString& summary, const QString& body, int timeoutMs = 10000) const;

private:
    QDBusConnection bus_;
};

} // namespace kelvane::app
