#pragma once
// Where the main window goes on the screens, and switching "Stay on Top" without making the native
// window anew.

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QVector>
#include <optional>

class QWidget;

namespace kelvane::app {

// A placement from the settings file: the frame's top-left corner (absent: centred) and the size
// of the window's inside.
struct SavedPlacement {
    std::optional<int> left;
    std::optional<int> top;
    int width = 0;
    int height = 0;
};

// The inside's rectangle for a window with the frame `frame` around it: its size the saved one,
// at least `minimum` and at most what the available area leaves inside the frame; the frame whole
// within the available area of the screen that shows the window (the one holding the most of it,
// the nearest for a place off every screen), centred there when no place is saved. `areas` are the
// screens' available areas, the first the primary one; none: 1920 by 1080.
QRect PlaceWindow(const SavedPlacement& saved, QSize minimum, const QVector<QRect>& areas, QMargins frame);

// The available area of the screen that would show the window placed as saved (the frame around
// its inside): the one holding the most of it, the nearest for a place off every screen, the
// first for a window to be centred.
QRect AreaFor(const SavedPlacement& saved, const QVector<QRect>& areas, QMargins frame);

// Lowers the window's minimum size where it and its frame would not fit the area, down to what its
// panes need (they give way first: elided captions, a narrower graph).
void FitMinimumSize(QWidget& window, const QRect& area, QMargins frame);

// The available areas of the screens, the primary one first.
QVector<QRect> AvailableScreenAreas();

// The frame's margins of a shown window as the window manager drew them; until it has, an estimate
// (a title bar and thin borders) so that a first placement leaves room for them.
QMargins FrameMarginsOf(const QWidget& window);

// Keeps the window's frame within the available area of its screen, the size as it is where it
// fits: moves (and if need be shrinks) a shown window whose frame reaches off it.
void KeepOnScreen(QWidget& window);

// Once the window manager has framed the shown window (its first move or resize with the frame
// known), keeps the frame within the available area once: the first placement could only guess
// the frame's size.
void KeepOnScreenOnceFramed(QWidget& window);

// Switches the window's stays-on-top hint. A shown window keeps its native window (the window
// manager is told), so that its place, its size and what draws inside stay as they are.
void SetStaysOnTop(QWidget& window, bool on);

} // namespace kelvane::app
