#include "dialogs/DialogOwner.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <algorithm>

namespace kelvane {

namespace {

// Places its dialog when the dialog is shown, after the dialog's own show handling has settled its
// size (QMessageBox sizes itself there) and before the native window is mapped.
class OwnerPlacement : public QObject {
public:
    OwnerPlacement(QWidget& dialog, QWidget* owner) : QObject(&dialog), owner_(owner) {
        setObjectName(QStringLiteral("OwnerPlacement"));
        dialog.installEventFilter(this);
    }
    void SetOwner(QWidget* owner) { owner_ = owner; }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QWidget*>(watched);
        if (event->type() != QEvent::Show || dialog == nullptr || owner_.isNull() || event->spontaneous())
            return false;
        dialog->removeEventFilter(this); // the dialog's own handling first, once
        QCoreApplication::sendEvent(dialog, event);
        dialog->installEventFilter(this);
        Place(*dialog);
        return true;
    }

private:
    void Place(QWidget& dialog) {
        QWidget* top = owner_->window();
        if (QWindow* own = dialog.windowHandle(); own != nullptr && top->windowHandle() != nullptr)
            own->setTransientParent(top->windowHandle());
        // The dialog's frame is not known before the window manager has framed it: the owner's
        // is the estimate (the same decorations). QWidget::move() would put the client where the
        // frame belongs until then, so the client's place is set.
        const QRect ownerFrame = top->frameGeometry();
        const QRect ownerClient = top->geometry();
        const QMargins margins(ownerClient.left() - ownerFrame.left(), ownerClient.top() - ownerFrame.top(),
                               ownerFrame.right() - ownerClient.right(), ownerFrame.bottom() - ownerClient.bottom());
        const QScreen* screen = top->screen();
        const QRect available = screen != nullptr ? screen->availableGeometry() : QRect();
        const bool resized = dialog.testAttribute(Qt::WA_Resized);
        dialog.setGeometry(QRect(CentredClientPosition(ownerFrame, dialog.size(), margins, available), dialog.size()));
        dialog.setAttribute(Qt::WA_Resized, resized);
        dialog.setAttribute(Qt::WA_Moved, false); // placed anew at each showing
    }

    QPointer<QWidget> owner_;
};

} // namespace

QPoint CentredClientPosition(const QRect& ownerFrame, const QSize& size, const QMargins& margins,
                             const QRect& available) {
    QRect frame(QPoint(), size.grownBy(margins));
    frame.moveCenter(ownerFrame.center());
    if (available.isValid()) {
        frame.moveLeft(std::max(std::min(frame.left(), available.right() + 1 - frame.width()), available.left()));
        frame.moveTop(std::max(std::min(frame.top(), available.bottom() + 1 - frame.height()), available.top()));
    }
    return frame.topLeft() + QPoint(margins.left(), margins.top());
}

void KeepOver(QWidget& dialog, QWidget* owner) {
    QWidget* top = owner != nullptr ? owner->window() : nullptr;
    if (top == nullptr || top == &dialog)
        return;
    if (dialog.parentWidget() != top)
        dialog.setParent(top, dialog.windowFlags()); // stays a window of its own
    if (auto* placement = dialog.findChild<OwnerPlacement*>(QStringLiteral("OwnerPlacement"), Qt::FindDirectChildrenOnly))
        placement->SetOwner(top);
    else
        new OwnerPlacement(dialog, top);
}

int ExecOver(QDialog& dialog, QWidget* owner) {
    KeepOver(dialog, owner);
    return dialog.exec();
}

} // namespace kelvane
