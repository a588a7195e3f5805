#include "app/TrayIcon.h"

#include <QMenu>

namespace kelvane::app {

TTrayIcon::TTrayIcon(QMenu* menu, QObject* parent) : QObject(parent) {
    tray_.setContextMenu(menu);
    connect(&tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        Activated(reason);
    });
    retry_.setInterval(3000);
    connect(&retry_, &QTimer::timeout, this, [this] { RetryDock(); });
}

void TTrayIcon::LoadOfflineIcon() { offlineIcon_ = QIcon(QStringLiteral(":/icons/tray.svg")); }

QString TTrayIcon::FitTip(const QString& tip) {
    constexpr qsizetype kLimit = 127;
    if (tip.size() <= kLimit)
        return tip;
    return tip.left(kLimit - 1) + QChar(0x2026);
}

void TTrayIcon::AdjustTrayIcon(Action action, bool optimizerOn, const QString& tip) {
    offline_ = !optimizerOn;
    const QIcon& icon = optimizerOn || offlineIcon_.isNull() ? applicationIcon_ : offlineIcon_;
    if (tray_.icon().cacheKey() != icon.cacheKey())
        tray_.setIcon(icon);
    const QString fitted = FitTip(optimizerOn ? tip : QStringLiteral("Offline"));
    if (tray_.toolTip() != fitted)
        tray_.setToolTip(fitted);
    switch (action) {
    case NIM_ADD:
        added_ = true;
        ++adds_;
        tray_.show();
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            retry_.start();
        break;
    case NIM_MODIFY:
        break;
    case NIM_DELETE:
        added_ = false;
        retry_.stop();
        tray_.hide();
        break;
    }
}

bool TTrayIcon::IsDocked() const { return added_ && tray_.isVisible() && QSystemTrayIcon::isSystemTrayAvailable(); }

void TTrayIcon::RetryDock() {
    if (!added_) {
        retry_.stop();
        return;
    }
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    // A notification area came up after the icon was asked for: ask again so that it shows.
    retry_.stop();
    tray_.hide();
    tray_.show();
}

void TTrayIcon::Activated(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        if (onLeftClick)
            onLeftClick();
        break;
    case QSystemTrayIcon::MiddleClick:
        if (onMiddleClick)
            onMiddleClick();
        break;
    default: // the context menu opens by itself
        break;
    }
}

} // namespace kelvane::app
