// The graph component's mouse, wheel and keys: selection by the left (start) and right (end)
// buttons, marker hover, drag and delete, quick play, amplitude keys and the wheel zoom.

#include "graph/GraphDisplay3D.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace kelvane::graph {

namespace {

// The key as the virtual key code the hosts' key handlers speak.
int VirtualKeyCode(const QKeyEvent& event) {
    const bool keypad = (event.modifiers() & Qt::KeypadModifier) != 0;
    switch (event.key()) {
    case Qt::Key_Minus: return keypad ? 0x6D : 0xBD;
    case Qt::Key_Plus: return keypad ? 0x6B : 0xBB;
    case Qt::Key_Space: return 0x20;
    case Qt::Key_Left: return 0x25;
    case Qt::Key_Up: return 0x26;
    case Qt::Key_Right: return 0x27;
    case Qt::Key_Down: return 0x28;
    default: break;
    }
    return event.key(); // digits and letters have the same codes
}

} // namespace

void TGraphDisplay3D::WatchInnerPanel(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
}

bool TGraphDisplay3D::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scrollBar_ || watched == flatScrollBar_) {
        if (event->type() == QEvent::KeyPress)
            return ScrollBarKeyEvent(watched, static_cast<QKeyEvent*>(event));
        if (event->type() == QEvent::Wheel) { // the bars pass their wheel to the component
            WheelEvent(static_cast<QWheelEvent*>(event));
            return true;
        }
        return false;
    }
    if (watched == panel_ || watched == captionLabel_ || watched == logo_ || watched == DeviceWidget()) {
        if (event->type() == QEvent::Wheel) {
            WheelEvent(static_cast<QWheelEvent*>(event));
            return true;
        }
        if (event->type() == QEvent::Leave) {
            // Only leaving the topmost surface leaves the panel (entering a child leaves its parent).
            QWidget* top = DeviceWidget() != nullptr ? DeviceWidget() : panel_;
            if (watched == top) {
                movingMarker_ = movingSelection_ = false;
                mouseButtonLeft_ = mouseButtonRight_ = mouseButtonMiddle_ = false;
                activeMarker_ = -1;
                panel_->unsetCursor();
                top->unsetCursor();
                if (QWindow* surface = DeviceWindow())
                    surface->unsetCursor();
            }
            return false;
        }
        // Handled once here: a surface's ignored mouse event would reach its parent again.
        return PanelMouseEvent(event);
    }
    return QWidget::eventFilter(watched, event);
}

void TGraphDisplay3D::SelectionStartAt(TGraphDisplayItem& item, double value, double y) {
    // The start never passes the end: a click right of the end makes the selection empty there.
    if (item.SelectionMode == gdismGlobal) {
        item.SelectionStart = value <= item.SelectionEnd ? value : item.SelectionEnd;
        Render();
        if (OnSelection)
            OnSelection(this, &item, nullptr);
        return;
    }
    TGraphDisplayGraphItem* g = item.GraphItems[MousePosition2Index(y)];
    if (g == nullptr)
        return;
    g->SelectionStart = value <= g->SelectionEnd ? value : g->SelectionEnd;
    Render();
    if (OnSelection)
        OnSelection(this, &item, g);
}

void TGraphDisplay3D::SelectionEndAt(TGraphDisplayItem& item, double value, double y) {
    if (item.SelectionMode == gdismGlobal) {
        item.SelectionEnd = value >= item.SelectionStart ? value : item.SelectionStart;
        Render();
        if (OnSelection)
            OnSelection(this, &item, nullptr);
        return;
    }
    TGraphDisplayGraphItem* g = item.GraphItems[MousePosition2Index(y)];
    if (g == nullptr)
        return;
    g->SelectionEnd = value >= g->SelectionStart ? value : g->SelectionStart;
    Render();
    if (OnSelection)
        OnSelection(this, &item, g);
}

bool TGraphDisplay3D::PanelMouseEvent(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::MouseMove && type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    event->accept();
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint at = mouse->position().toPoint();
    // Every watched surface fills the inner panel, so their coordinates are the panel's.
    const int x = at.x();
    const int y = at.y();
    TGraphDisplayItem* item = Items[activeIndex_];
    try {
        if (LogoVisible()) { // the logo only reports
            if (type == QEvent::MouseMove && OnMouseMove)
                OnMouseMove(Container(), x, y);
            else if (type == QEvent::MouseButtonPress && OnMouseDown)
                OnMouseDown(Container(), mouse->button(), x, y);
            else if (type == QEvent::MouseButtonRelease && OnMouseUp)
                OnMouseUp(this, mouse->button(), x, y);
            else if (type == QEvent::MouseButtonDblClick && OnDblClick)
                OnDblClick(this, x, y, nullptr, nullptr);
            return true;
        }
        switch (type) {
        case QEvent::MouseMove: {
            if (!HasDevice())
                return true;
            mouseX_ = x;
            mouseY_ = y;
            if (item != nullptr) {
                const double v = MousePosition2XValue(x);
                if (mouseButtonLeft_ && activeMarker_ == -1 && AllowSelect) {
                    movingSelection_ = true;
                    SelectionStartAt(*item, v, y);
                } else if (mouseButtonLeft_ && activeMarker_ != -1) {
                    movingMarker_ = true;
                    if (TGraphDisplayMarker* marker = item->Markers[static_cast<int>(activeMarker_)]) {
                        const double old = marker->Position;
                        marker->Position = v;
                        if (OnMarkerChange && !OnMarkerChange(this, item, marker, gdmctMove))
                            marker->Position = old; // vetoed: it stays
                        Render();
                    }
                } else if (mouseButtonRight_ && AllowSelect) {
                    movingSelection_ = true;
                    SelectionEndAt(*item, v, y);
                }
            }
            if (OnMouseMove)
                OnMouseMove(Container(), x, y);
            if (CaptureMouseOnHover) {
                QWidget* bar = ScrollBarType == gdsbtFlat ? static_cast<QWidget*>(flatScrollBar_) : scrollBar_;
                if (bar->isVisible())
                    bar->setFocus(Qt::MouseFocusReason);
            }
            break;
        }
        case QEvent::MouseButtonPress: {
            if (OnMouseDown)
                OnMouseDown(Container(), mouse->button(), x, y);
            if (item == nullptr)
                break;
            mouseX_ = x;
            mouseY_ = y;
            const double v = MousePosition2XValue(x);
            // A press decides what the drag moves, so that a fast move cannot lose the marker
            // (or find one) on its way.
            if (mouse->button() == Qt::LeftButton) {
                mouseButtonLeft_ = true;
                if (activeMarker_ != -1) {
                    movingMarker_ = true;
                } else if (AllowSelect) {
                    movingSelection_ = true;
                    SelectionStartAt(*item, v, y);
                }
            } else if (mouse->button() == Qt::RightButton) {
                mouseButtonRight_ = true;
                if (activeMarker_ != -1) {
                    TGraphDisplayMarker* marker = item->Markers[static_cast<int>(activeMarker_)];
                    if (marker != nullptr && (!OnMarkerChange || OnMarkerChange(this, item, marker, gdmctDelete))) {
                        item->Markers.Delete(marker->Index);
                        activeMarker_ = -1;
                        Render();
                    }
                    mouseButtonRight_ = false;
                } else if (AllowSelect) {
                    movingSelection_ = true;
                    SelectionEndAt(*item, v, y);
                }
            } else if (mouse->button() == Qt::MiddleButton) {
                mouseButtonMiddle_ = true;
                if (AllowQuickPlay && OnPlay) {
                    TGraphDisplayMarker* marker = item->Markers[static_cast<int>(activeMarker_)];
                    OnPlay(this, item, marker != nullptr ? marker->Position : v);
                }
            }
            break;
        }
        case QEvent::MouseButtonRelease:
            movingMarker_ = movingSelection_ = false;
            if (mouse->button() == Qt::LeftButton)
                mouseButtonLeft_ = false;
            else if (mouse->button() == Qt::RightButton)
                mouseButtonRight_ = false;
            else if (mouse->button() == Qt::MiddleButton)
                mouseButtonMiddle_ = false;
            if (OnMouseUp)
                OnMouseUp(this, mouse->button(), x, y);
            break;
        case QEvent::MouseButtonDblClick:
            if (OnDblClick)
                OnDblClick(this, x, y, item, item != nullptr ? item->Markers[static_cast<int>(activeMarker_)] : nullptr);
            break;
        default:
            break;
        }
    } catch (...) {
        // a mouse handler's failure is swallowed
    }
    return true;
}

void TGraphDisplay3D::WheelEvent(QWheelEvent* event) {
    try {
        int delta = event->angleDelta().y();
        if (OnMouseWheel)
            OnMouseWheel(this, delta);
        if (LogoVisible() || !AllowWheelZoom)
            return;
        MouseWheelZoom(delta); // a notch arrives once (the filter takes it): one notch, one step
    } catch (...) {
    }
}

bool TGraphDisplay3D::ScrollBarKeyEvent(QObject*, QKeyEvent* event) {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr)
        return false;
    try {
        int code = VirtualKeyCode(*event);
        if (OnKeyDown)
            OnKeyDown(Container(), code);
        if (code == 0) // the host took the key
            return true;
        if (code == 0x6D && AllowAmplitudeChangeWithKey) {
            item->SampleAmplitude -= 0.2f;
            Render();
        } else if (code == 0x6B && AllowAmplitudeChangeWithKey) {
            item->SampleAmplitude += 0.2f;
            Render();
        } else if (code == 0x20 && AllowQuickPlay) {
            const TGraphDisplayPlayStatus status = OnNeedPlayStatus ? OnNeedPlayStatus(this, item) : gdpsStoped;
            if (status == gdpsStoped && OnPlay)
                OnPlay(this, item, item->SelectionStart);
            else if ((status == gdpsPlaying || status == gdpsPaused) && OnPause)
                OnPause(this, item);
        }
    } catch (...) {
    }
    return false; // the scroll bar then handles the key as usual
}

} // namespace kelvane::graph
