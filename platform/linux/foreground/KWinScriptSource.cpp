#include "platform/linux/foreground/KWinScriptSource.h"

#include "platform/linux/foreground/AppScope.h"
#include "platform/linux/foreground/KWinScript.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QDir>
#include <QTemporaryFile>
#include <QTimer>
#include <atomic>
#include <unistd.h>

namespace kelvane::linux_port {

namespace {

const QString kKWinService = QStringLiteral("org.kde.KWin");
const QString kScriptingPath = QStringLiteral("/Scripting");
const QString kScriptingInterface = QStringLiteral("org.kde.kwin.Scripting");
const QString kReportPath = QStringLiteral("/org/kelvane/KWinReport");
const QString kReportInterface = QStringLiteral("org.kelvane.KWinReport");
constexpr int kCallTimeoutMs = 3000;

std::atomic<int> instances{0};

QString ArgumentText(const QVariant& value) {
    if (value.metaType().id() == QMetaType::Double)
        return QString::number(static_cast<qlonglong>(value.toDouble()));
    return value.toString();
}

} // namespace

// The bus object the script calls; answers every call so that KWin's pending calls end.
class KWinScriptSource::Receiver final : public QDBusVirtualObject {
public:
    explicit Receiver(KWinScriptSource& source) : source_(source) {}

    QString introspect(const QString&) const override {
        return QStringLiteral("<interface name=\"org.kelvane.KWinReport\"><method name=\"Activated\">"
                              "<arg name=\"pid\" type=\"s\" direction=\"in\"/>"
                              "<arg name=\"appId\" type=\"s\" direction=\"in\"/></method></interface>");
    }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.type() != QDBusMessage::MethodCallMessage ||
            message.member() != QLatin1String("Activated"))
            return false;
        const QVariantList args = message.arguments();
        source_.Activated(message.service(), args.isEmpty() ? QString() : ArgumentText(args.at(0)),
                          args.size() < 2 ? QString() : args.at(1).toString());
        if (!message.isReplyRequired())
            return true;
        connection.send(message.createReply());
        return true;
    }

private:
    KWinScriptSource& source_;
};

KWinScriptSource::KWinScriptSource(std::string procRoot) : procRoot_(std::move(procRoot)) {
    const int instance = instances.fetch_add(1);
    connectionName_ = QStringLiteral("kelvane-kwin-%1").arg(instance);
    plugin_ = QStringLiteral("kelvane-foreground-%1-%2").arg(::getpid()).arg(instance);
}

KWinScriptSource::~KWinScriptSource() {
    health_.reset();
    watcher_.reset();
    Unload();
    if (bus_) {
        bus_->unregisterObject(kReportPath);
        bus_.reset();
        QDBusConnection::disconnectFromBus(connectionName_);
    }
}

void KWinScriptSource::Unload() {
    if (!loaded_ || !bus_)
        return;
    loaded_ = false;
    QDBusMessage unload = QDBusMessage::createMethodCall(kKWinService, kScriptingPath, kScriptingInterface,
                                                         QStringLiteral("unloadScript"));
    unload << plugin_;
    bus_->call(unload, QDBus::Block, 1000);
}

bool KWinScriptSource::Start(ForegroundSink& sink) {
    bus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, connectionName_));
    if (!bus_->isConnected() || bus_->interface() == nullptr)
        return false;
    const QDBusReply<QString> owner = bus_->interface()->serviceOwner(kKWinService);
    if (!owner.isValid() || owner.value().isEmpty())
        return false;
    kwinOwner_ = owner.value();

    receiver_ = std::make_unique<Receiver>(*this);
    if (!bus_->registerVirtualObject(kReportPath, receiver_.get()))
        return false;
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::tempPath();
    script_ = std::make_unique<QTemporaryFile>(dir + QStringLiteral("/kelvane-kwin-XXXXXX.js"));
    if (!script_->open())
        return false;
    const std::string text = KWinScriptFor(bus_->baseService().toStdString());
    if (script_->write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !script_->flush())
        return false;

    sink_ = &sink;
    watcher_ =
        std::make_unique<QDBusServiceWatcher>(kKWinService, *bus_, QDBusServiceWatcher::WatchForOwnerChange);
    QObject::connect(watcher_.get(), &QDBusServiceWatcher::serviceOwnerChanged, watcher_.get(),
                     [this](const QString&, const QString&, const QString&) {
                         if (lost_)
                             return;
                         lost_ = true;
                         loaded_ = false; // a new KWin has none of the old one's scripts
                         sink_->Lost("KWin left the session bus");
                     });

    QDBusMessage load = QDBusMessage::createMethodCall(kKWinService, kScriptingPath, kScriptingInterface,
                                                       QStringLiteral("loadScript"));
    load << script_->fileName() << plugin_;
    const QDBusReply<int> id = bus_->call(load, QDBus::Block, kCallTimeoutMs);
    if (!id.isValid() || id.value() < 0)
        return false;
    loaded_ = true;
    // start() runs the scripts loaded and not yet running, in KWin 5 and 6 alike.
    const QDBusMessage started =
        bus_->call(QDBusMessage::createMethodCall(kKWinService, kScriptingPath, kScriptingInterface,
                                                  QStringLiteral("start")),
                   QDBus::Block, kCallTimeoutMs);
    if (started.type() == QDBusMessage::ErrorMessage) {
        Unload();
        return false;
    }
    // A bus that goes away takes the service watcher's signal with it.
    health_ = std::make_unique<QTimer>();
    QObject::connect(health_.get(), &QTimer::timeout, health_.get(), [this] {
        if (!lost_ && !bus_->isConnected()) {
            lost_ = true;
            sink_->Lost("the session bus closed");
        }
    });
    health_->start(2000);
    return true;
}

void KWinScriptSource::Activated(const QString& sender, const QString& pid, const QString& appId) {
    if (sink_ == nullptr || lost_ || sender != kwinOwner_)
        return; // only KWin's own connection speaks for the script
    bool ok = false;
    const qlonglong value = pid.toLongLong(&ok);
    pid_t found = ok && value > 0 && value <= 0x3fffffff ? static_cast<pid_t>(value) : 0;
    if (found == 0 && !appId.isEmpty() && pid != QLatin1String("0"))
        found = PidOfApp(appId.toStdString(), procRoot_);
    sink_->Foreground(found);
}

} // namespace kelvane::linux_port
