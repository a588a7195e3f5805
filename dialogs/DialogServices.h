#pragma once
// The dialogs' doors to the desktop, replaceable by tests: message boxes, the open-file dialog and
// opening pages or mail links with the desktop's default program.

#include <QMessageBox>
#include <QString>
#include <functional>

namespace kelvane {

struct DialogServices {
    std::function<QMessageBox::StandardButton(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        messageBox;
    // An existing file chosen by the user, or empty when the dialog was cancelled.
    std::function<QString(QWidget* parent, const QString& fileName, const QString& filter, const QString& folder)>
        openFile;
    std::function<void(const QString& url)> openUrl;

    // QMessageBox (plain text), QFileDialog and QDesktopServices.
    static DialogServices Desktop();
};

} // namespace kelvane
