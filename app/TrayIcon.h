#pragma once
// The notification-area icon: the application icon while the optimizer is on, the offline icon
// while it is off, the tip with the cycle timings and the boost status ("Offline" when off), the
// tray menu, and the clicks: left shows the window, middle switches the optimizer. Linux desktops
// may have no notification area (GNOME without its AppIndicator extension, a bare X server), or
// get one after Kelvane starts: while none is there the icon is asked for again every few seconds.

#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>

class QMenu;

namespace kelvane::app {

class TTrayIcon : public QObject {
public:
    enum Action { NIM_ADD = 0, NIM_MODIFY = 1, NIM_DELETE = 2 };

    TTrayIcon(QMenu* menu, QObject* parent = nullptr);

    // The icons: the application's and the offline one (LoadOfflineIcon loads the latter again).
    void SetApplicationIcon(const QIcon& icon) { applicationIcon_ = icon; }
    void LoadOfflineIcon();

    // Refills the icon and the tip and applies `action`: add shows the icon, modify renews it,
    // delete removes it.
    void AdjustTrayIcon(Action action, bool optimizerOn, const QString& tip);

    // A tip that fits the notification area: at most 127 characters, the last line shortened.
    static QString FitTip(const QString& tip);

    bool IsShown() const { return added_; }
    // A notification area is there and shows the icon.
    bool IsDocked() const;
    QString Tip() const { return tray_.toolTip(); }
    bool ShowsOfflineIcon() const { return offline_; }
    QSystemTrayIcon& tray() { return tray_; }
    int addCount() const { return adds_; }

    std::function<void()> onLeftClick;
    std::function<void()> onMiddleClick;

private:
    void Activated(QSystemTrayIcon::ActivationReason reason);
    void RetryDock();

    QSystemTrayIcon tray_;
    QIcon applicationIcon_;
    QIcon offlineIcon_;
    QTimer retry_;
    bool added_ = false;
    bool offline_ = true;
    int adds_ = 0;
};

} // namespace kelvane::app
