#include "app/WindowPlacement.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <limits>

namespace kelvane::app {

namespace {

std::int64_t Overlap(const QRect& a, const QRect& b) {
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : std::int64_t{both.width()} * both.height();
}

// The squared distance from the point to the nearest point of the rectangle.
std::int64_t DistanceSquared(const QRect& area, QPoint p) {
    const std::int64_t dx = p.x() < area.left() ? area.left() - p.x() : (p.x() > area.right() ? p.x() - area.right() : 0);
    const std::int64_t dy = p.y() < area.top() ? area.top() - p.y() : (p.y() > area.bottom() ? p.y() - area.bottom() : 0);
    return dx * dx + dy * dy;
}

// The start of a span of `length` placed at `wanted` within [low, low + room): moved in where it
// reaches out, at `low` where it does not fit at all.
int ClampSpan(std::int64_t wanted, int length, int low, int room) {
    const std::int64_t high = std::int64_t{low} + room - length;
    return static_cast<int>(std::max<std::int64_t>(low, std::min<std::int64_t>(wanted, high)));
}

const QRect& AreaShowing(const QRect& frame, const QVector<QRect>& areas) {
    const QRect* best = &areas.front();
    std::int64_t bestOverlap = 0;
    for (const QRect& area : areas) {
        if (const std::int64_t overlap = Overlap(frame, area); overlap > bestOverlap) {
            best = &area;
            bestOverlap = overlap;
        }
    }
    if (bestOverlap > 0)
        return *best;
    // Off every screen: the screen nearest to where its corner was meant to be.
    std::int64_t nearest = std::numeric_limits<std::int64_t>::max();
    for (const QRect& area : areas) {
        if (const std::int64_t d = DistanceSquared(area, frame.topLeft()); d < nearest) {
            best = &area;
            nearest = d;
        }
    }
    return *best;
}

} // namespace

QRect AreaFor(const SavedPlacement& saved, const QVector<QRect>& areas, QMargins frame) {
    if (areas.isEmpty())
        return QRect(0, 0, 1920, 1080);
    if (!saved.left || !saved.top)
        return areas.front();
    const QRect wanted(*saved.left, *saved.top, std::clamp(saved.width, 1, 1 << 20) + frame.left() + frame.right(),
                       std::clamp(saved.height, 1, 1 << 20) + frame.top() + frame.bottom());
    return AreaShowing(wanted, areas);
}

QRect PlaceWindow(const SavedPlacement& saved, QSize minimum, const QVector<QRect>& areas, QMargins frame) {
    const QRect area = AreaFor(saved, areas, frame);
    const int frameWidth = frame.left() + frame.right();
    const int frameHeight = frame.top() + frame.bottom();
    // A size of the file the screen cannot show is not asked of the window system at all.
    auto span = [](int wanted, int least, int room) { return std::max(1, std::min(std::max(wanted, least), room)); };
    const int width = span(saved.width, minimum.width(), area.width() - frameWidth);
    const int height = span(saved.height, minimum.height(), area.height() - frameHeight);
    const int outerWidth = width + frameWidth;
    const int outerHeight = height + frameHeight;
    const std::int64_t left = saved.left ? *saved.left : std::int64_t{area.x()} + (area.width() - outerWidth) / 2;
    const std::int64_t top = saved.top ? *saved.top : std::int64_t{area.y()} + (area.height() - outerHeight) / 2;
    return {ClampSpan(left, outerWidth, area.x(), area.width()), ClampSpan(top, outerHeight, area.y(), area.height()),
            width, height};
}

void FitMinimumSize(QWidget& window, const QRect& area, QMargins frame) {
    const QSize room(area.width() - frame.left() - frame.right(), area.height() - frame.top() - frame.bottom());
    const QSize needed = window.minimumSizeHint();
    if (window.minimumWidth() > room.width())
        window.setMinimumWidth(std::max(room.width(), needed.width()));
    if (window.minimumHeight() > room.height())
        window.setMinimumHeight(std::max(room.height(), needed.height()));
}

QVector<QRect> AvailableScreenAreas() {
    QVector<QRect> areas;
    if (const QScreen* primary = QGuiApplication::primaryScreen())
        areas.append(primary->availableGeometry());
    for (const QScreen* screen : QGuiApplication::screens())
        if (screen != QGuiApplication::primaryScreen())
            areas.append(screen->availableGeometry());
    return areas;
}

QMargins FrameMarginsOf(const QWidget& window) {
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    const QMargins drawn(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                         outer.bottom() - inner.bottom());
    if (window.isVisible() && !drawn.isNull())
        return drawn;
    // Not drawn yet: a title bar of a large font and borders of a few pixels.
    const int title = std::max(24, window.fontMetrics().height() + 12);
    return {4, title, 4, 4};
}

void KeepOnScreen(QWidget& window) {
    const QMargins frame = FrameMarginsOf(window);
    const QRect outer = window.frameGeometry();
    const SavedPlacement now{outer.left(), outer.top(), window.width(), window.height()};
    const QVector<QRect> areas = AvailableScreenAreas();
    FitMinimumSize(window, AreaFor(now, areas, frame), frame);
    const QRect placed = PlaceWindow(now, window.minimumSize(), areas, frame);
    if (placed.size() != window.size())
        window.resize(placed.size());
    if (placed.topLeft() != outer.topLeft())
        window.move(placed.topLeft());
}

namespace {

class FramedWatcher final : public QObject {
public:
    explicit FramedWatcher(QWidget& window) : QObject(&window), window_(window) { window.installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched != &window_ || (type != QEvent::Move && type != QEvent::Resize && type != QEvent::Show))
            return false;
        if (!window_.isVisible())
            return false;
        if (!shown_.isValid())
            shown_.start();
        const QRect outer = window_.frameGeometry();
        const bool framed = outer != window_.geometry();
        // A window manager that draws no frame never reports one: the guess stands after a while.
        if (!framed && shown_.elapsed() < 2000)
            return false;
        window_.removeEventFilter(this);
        KeepOnScreen(window_);
        deleteLater();
        return false;
    }

private:
    QWidget& window_;
    QElapsedTimer shown_;
};

} // namespace

void KeepOnScreenOnceFramed(QWidget& window) { new FramedWatcher(window); }

void SetStaysOnTop(QWidget& window, bool on) {
    if (window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) == on)
        return;
    const Qt::WindowFlags flags = on ? window.windowFlags() | Qt::WindowStaysOnTopHint
                                     : window.windowFlags() & ~Qt::WindowFlags(Qt::WindowStaysOnTopHint);
    QWindow* native = window.windowHandle();
    if (native == nullptr) {
        window.setWindowFlags(flags); // no native window yet: the hint applies when it is made
        return;
    }
    // QWidget::setWindowFlags would make the native window anew: the window manager would place a
    // new frame, and the widget's idea of where its frame is would be off by the frame's margins.
    window.overrideWindowFlags(flags);
    native->setFlags(flags);
}

} // namespace kelvane::app
