#pragma once
// The focus on GNOME Shell: Kelvane's shell extension (gnome-shell/) owns org.kelvane.Foreground
// on the session bus, answers GetForeground and signals ForegroundChanged. Without the extension
// on a GNOME session the source tells once how to enable it.

#include <QObject>
#include <memory>
#include <string>

#include "platform/linux/foreground/ForegroundSource.h"

class QDBusConnection;
class QDBusServiceWatcher;
class QTimer;

namespace kelvane::linux_port {

class GnomeShellSource final : public QObject, public ForegroundSource {
    Q_OBJECT
public:
    static constexpr const char* kService = "org.kelvane.Foreground";
    static constexpr const char* kPath = "/org/kelvane/Foreground";
    static constexpr const char* kInterface = "org.kelvane.Foreground1";
    static constexpr const char* kUuid = "kelvane-foreground@kelvane.org";

    explicit GnomeShellSource(std::string procRoot = "/proc");
    ~GnomeShellSource() override;

    const char* Name() const override { return "gnome-shell"; }
    bool Start(ForegroundSink& sink) override;

private Q_SLOTS:
    void Changed(uint pid, const QString& appId);

private:
    void Report(uint pid, const QString& appId);

    std::string procRoot_;
    QString connectionName_;
    QString owner_; // the extension's connection: only its signals count
    bool lost_ = false;
    ForegroundSink* sink_ = nullptr;
    std::unique_ptr<QDBusConnection> bus_;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
    std::unique_ptr<QTimer> health_;
};

} // namespace kelvane::linux_port
