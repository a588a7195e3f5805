#include "dialogs/DialogServices.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QUrl>

#include "dialogs/DialogOwner.h"

namespace kelvane {

DialogServices DialogServices::Desktop() {
    DialogServices services;
    services.messageBox = [](QWidget* parent, QMessageBox::Icon icon, const QString& text,
                             QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, QStringLiteral("Kelvane"), text, buttons, parent);
        box.setTextFormat(Qt::PlainText);
        return static_cast<QMessageBox::StandardButton>(ExecOver(box, parent));
    };
    services.openFile = [](QWidget* parent, const QString& fileName, const QString& filter, const QString& folder) {
        QFileDialog dialog(parent, QString(), folder, filter);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.selectFile(fileName);
        return ExecOver(dialog, parent) == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().front()
                                                                                       : QString();
    };
    services.openUrl = [](const QString& url) { QDesktopServices::openUrl(QUrl(url)); };
    return services;
}

} // namespace kelvane
