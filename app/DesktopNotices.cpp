#include "app/DesktopNotices.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace kelvane::app {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");

} // namespace

bool DesktopNotices::Available() const {
    if (!bus_.isConnected() || bus_.interface() == nullptr)
        return false;
    const QDBusConnectionInterface* bus = bus_.interface();
    return bus->isServiceRegistered(kService).value() || bus->activatableServiceNames().value().contains(kService);
}

bool DesktopNotices::Notify(const QString& summary, const QString& body, int timeoutMs) const {
    if (!Available())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                                       kService, QStringLiteral("Notify"));
    // app name, replaced notice, icon, summary, body (markup where the service reads it),
    // actions, hints, time-out
    call << QStringLiteral("Kelvane") << 0u << QStringLiteral("kelvane") << summary << body.toHtmlEscaped()
         << QStringList() << QVariantMap() << timeoutMs;
    return bus_.send(call);
}

} // namespace kelvane::app
