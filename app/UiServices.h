#pragma once
// The window's doors to the desktop: message boxes and opening pages and folders. Tests replace
// them to answer a box or to see which page was asked for, without a window appearing.

#include <QMessageBox>
#include <QString>
#include <QUrl>
#include <functional>

class QWidget;

namespace kelvane::app {

struct UiServices {
    // A modal box; returns the button pressed.
    std::function<QMessageBox::StandardButton(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                              const QString& text, QMessageBox::StandardButtons buttons)>
        messageBox;
    // Opens a web page, a mail link or a folder with the desktop's default program.
    std::function<void(const QUrl& url)> openUrl;
    // Tells a notice outside the window, where the desktop has a way to (the status bar shows it
    // in any case).
    std::function<void(const QString& text)> notify;

    // The real ones: QMessageBox::exec, QDesktopServices and the desktop's notification service.
    static UiServices Desktop();
};

} // namespace kelvane::app
