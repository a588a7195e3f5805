#pragma once
// Dialogs as windows of the window they belong to: transient for it, so that the window manager
// keeps them above it (also above a "Stay on Top" window), and opened centred on it.

#include <QDialog>

namespace kelvane {

// Makes `owner`'s window the parent of `dialog`, and at each showing points the dialog's native
// window at the owner's current one (made anew when the owner's flags change) and centres the
// dialog's frame on the owner's frame, within the screen's available area.
void KeepOver(QWidget& dialog, QWidget* owner);

// KeepOver, then exec().
int ExecOver(QDialog& dialog, QWidget* owner);

// Where a window of `size` (without its frame) goes to have its frame, of `margins`, centred on
// `ownerFrame` and lying within `available` where it fits: its top-left corner, frame excluded.
QPoint CentredClientPosition(const QRect& ownerFrame, const QSize& size, const QMargins& margins,
                             const QRect& available);

} // namespace kelvane
