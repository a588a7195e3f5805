#pragma once
// The focus on KDE Plasma (KWin 5.27 and 6): a KWin script, loaded through KWin's scripting D-Bus
// interface, calls this source's bus object on each window activation. The script is unloaded when
// the source goes away; KWin leaving the bus ends the source.

#include <QString>
#include <memory>
#include <string>

#include "platform/linux/foreground/ForegroundSource.h"

class QDBusConnection;
class QDBusServiceWatcher;
class QTemporaryFile;
class QTimer;

namespace kelvane::linux_port {

class KWinScriptSource final : public ForegroundSource {
public:
    // `procRoot` is where an app id is looked up when the script gives no PID.
    explicit KWinScriptSource(std::string procRoot = "/proc");
    ~KWinScriptSource() override;

    const char* Name() const override { return "kwin"; }
    bool Start(ForegroundSink& sink) override;

    // The name the script is loaded under (what KWin's isScriptLoaded takes).
    QString PluginName() const { return plugin_; }

    // One report of the script: the PID as text ("0" for none) and the window's app id.
    void Activated(const QString& sender, const QString& pid, const QString& appId);

private:
    class Receiver;
    void Unload();

    std::string procRoot_;
    QString connectionName_;
    QString plugin_;
    QString kwinOwner_; // the unique name of KWin's connection: only it may report
    bool loaded_ = false;
    bool lost_ = false;
    ForegroundSink* sink_ = nullptr;
    std::unique_ptr<QDBusConnection> bus_;
    std::unique_ptr<Receiver> receiver_;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
    std::unique_ptr<QTemporaryFile> script_;
    std::unique_ptr<QTimer> health_;
};

} // namespace kelvane::linux_port
