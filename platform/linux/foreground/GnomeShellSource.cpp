#include "platform/linux/foreground/GnomeShellSource.h"

#include "platform/linux/foreground/AppScope.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <atomic>

namespace kelvane::linux_port {

namespace {

constexpr int kCallTimeoutMs = 3000;
std::atomic<int> instances{0};

} // namespace

GnomeShellSource::GnomeShellSource(std::string procRoot)
    : procRoot_(std::move(procRoot)),
      connectionName_(QStringLiteral("kelvane-gnome-shell-%1").arg(instances.fetch_add(1))) {}

GnomeShellSource::~GnomeShellSource() {
    health_.reset();
    watcher_.reset();
    if (bus_) {
        bus_.reset();
        QDBusConnection::disconnectFromBus(connectionName_);
    }
}

bool GnomeShellSource::Start(ForegroundSink& sink) {
    bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_));
    if (!bus_->isConnected() || bus_->interface() == nullptr)
        return false;
    const QString service = QLatin1String(kService);
    const QDBusReply<QString> owner = bus_->interface()->serviceOwner(service);
    if (!owner.isValid() || owner.value().isEmpty()) {
        if (bus_->interface()->isServiceRegistered(QStringLiteral("org.gnome.Shell")).value())
            sink.Notice(
                std::string("GNOME Shell does not tell Kelvane the focused window: enable the extension "
                            "with \"gnome-extensions enable ") +
                kUuid + "\" (install it first if it is missing, then log out and in)");
        return false;
    }
    owner_ = owner.value();
    sink_ = &sink;
    // Subscribe before asking, so no change falls between the answer and the first signal.
    if (!bus_->connect(owner_, QLatin1String(kPath), QLatin1String(kInterface),
                       QStringLiteral("ForegroundChanged"), this, SLOT(Changed(uint, QString))))
        return false;
    watcher_ =
        std::make_unique<QDBusServiceWatcher>(service, *bus_, QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
                     [this](const QString&, const QString&, const QString&) {
                         if (lost_)
                             return;
                         lost_ = true;
                         sink_->Lost("the GNOME Shell extension left the session bus (disabled, or the shell "
                                     "restarted)");
                     });
    const QDBusMessage reply =
        bus_->call(QDBusMessage::createMethodCall(owner_, QLatin1String(kPath), QLatin1String(kInterface),
                                                  QStringLiteral("GetForeground")),
                   QDBus::Block, kCallTimeoutMs);
    const QVariantList args = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage || args.size() < 2)
        return false;
    Report(args.at(0).toUInt(), args.at(1).toString());
    health_ = std::make_unique<QTimer>();
    QObject::connect(health_.get(), &QTimer::timeout, this, [this] {
        if (!lost_ && !bus_->isConnected()) {
            lost_ = true;
            sink_->Lost("the session bus closed");
        }
    });
    health_->start(2000);
    return true;
}

void GnomeShellSource::Changed(uint pid, const QString& appId) {
    if (!lost_)
        Report(pid, appId);
}

void GnomeShellSource::Report(uint pid, const QString& appId) {
    pid_t found = pid > 0 && pid <= 0x3fffffff ? static_cast<pid_t>(pid) : 0;
    if (found == 0 && !appId.isEmpty())
        found = PidOfApp(appId.toStdString(), procRoot_);
    sink_->Foreground(found);
}

} // namespace kelvane::linux_port
