#include "app/UiServices.h"

#include <QDesktopServices>

#include "app/DesktopNotices.h"
#include "dialogs/DialogOwner.h"

namespace kelvane::app {

UiServices UiServices::Desktop() {
    UiServices services;
    services.messageBox = [](QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text,
                             QMessageBox::StandardButtons buttons) {
        QMessageBox box(icon, title, text, buttons, parent);
        box.setTextFormat(Qt::PlainText); // texts may hold what a server sent or a file name
        return static_cast<QMessageBox::StandardButton>(ExecOver(box, parent));
    };
    services.openUrl = [](const QUrl& url) { QDesktopServices::openUrl(url); };
    services.notify = [](const QString& text) {
        DesktopNotices(QDBusConnection::sessionBus()).Notify(QStringLiteral("Kelvane"), text);
    };
    return services;
}

} // namespace kelvane::app
