// The graph component's scroll bars and view: the scroll range follows the active item's Zoom;
// zoom to the selection, show all and the wheel zoom animate it.

#include "graph/GraphDisplay3D.h"

#include <QDateTime>
#include <QThread>
#include <algorithm>
#include <cmath>

#include "graph/ViewMath.h"

namespace kelvane::graph {

void TGraphDisplay3D::SetScrollBarType(TGraphDisplayScrollBarType type) {
    ScrollBarType = type;
    ApplyScrollBarType();
}

void TGraphDisplay3D::SetScrollBarHeight(int height) {
    ScrollBarHeight = height;
    ApplyScrollBarType();
}

void TGraphDisplay3D::ApplyScrollBarType() {
    // The chosen bar shows, the other hides; not while the logo covers the panel.
    scrollBar_->setFixedHeight(std::max(ScrollBarHeight, 0));
    flatScrollBar_->setFixedHeight(std::max(ScrollBarHeight, 0));
    if (LogoVisible())
        return;
    scrollBar_->setVisible(ScrollBarType == gdsbtWindows && ScrollBarHeight > 0);
    flatScrollBar_->setVisible(ScrollBarType == gdsbtFlat && ScrollBarHeight > 0);
}

int TGraphDisplay3D::GetScrollBarMax() const {
    return ScrollBarType == gdsbtFlat ? flatScrollBar_->Max() : scrollBar_->Max();
}

void TGraphDisplay3D::SetScrollBarMax(int value) {
    if (ScrollBarType == gdsbtFlat)
        flatScrollBar_->SetMax(value);
    else
        scrollBar_->SetMax(value);
}

int TGraphDisplay3D::GetScrollBarPageSize() const {
    return ScrollBarType == gdsbtFlat ? flatScrollBar_->PageSize() : scrollBar_->PageSize();
}

int TGraphDisplay3D::GetScrollBarTag() const { return ScrollBarType == gdsbtFlat ? flatScrollBar_->Tag : scrollBar_->Tag; }

void TGraphDisplay3D::SetBarTag(int tag) {
    if (ScrollBarType == gdsbtFlat)
        flatScrollBar_->Tag = tag;
    else
        scrollBar_->Tag = tag;
}

int TGraphDisplay3D::GetScrollBarPosition() const {
    if (ScrollBarType == gdsbtFlat)
        return FlatToViewPosition(flatScrollBar_->Position(), flatScrollBar_->PageSize(), flatScrollBar_->Max());
    return scrollBar_->Position();
}

void TGraphDisplay3D::SetScrollBarPosition(double value) {
    value = std::max(value, 0.0); // a view computed just left of the start begins at the start
    if (ScrollBarType == gdsbtFlat) {
        flatScrollBar_->SetPosition(ViewToFlatPosition(value, flatScrollBar_->PageSize(), flatScrollBar_->Max()));
        return;
    }
    // The standard bar stops at maximum - page by itself.
    scrollBar_->SetPosition(static_cast<int>(value));
}

void TGraphDisplay3D::SetScrollBar() {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr)
        return;
    const std::lock_guard<std::recursive_mutex> lock(item->RenderCriticalSection);
    const bool flat = ScrollBarType == gdsbtFlat;
    const int maximum = flat ? flatScrollBar_->Max() : scrollBar_->Max();
    const int position = flat ? flatScrollBar_->Position() : scrollBar_->Position();
    const int page = flat ? flatScrollBar_->PageSize() : scrollBar_->PageSize();
    const ScrollRange range = ScrollRangeForZoom(item->Zoom, maximum, position, page);
    // While the range changes the bar's moves are not the user's: the tag keeps the change
    // handler from moving the item; the final position is handed on.
    SetBarTag(1);
    if (flat) {
        flatScrollBar_->SetMax(range.maximum);
        SetBarTag(0);
        flatScrollBar_->SetPosition(std::clamp(range.position, 0, range.maximum));
    } else {
        scrollBar_->SetMax(range.maximum);
        SetBarTag(0);
        scrollBar_->SetPosition(range.position);
    }
    SetBarTag(0);
    // A bar that clamped its position while the tag was up reported nothing: the item takes the
    // final place in any case.
    SetItemPosition(*item, GetScrollBarPosition());
}

double TGraphDisplay3D::ItemPosition(const TGraphDisplayItem& item) const {
    return item.Length() != 0 ? item.FPosition / item.Length() * GetScrollBarMax() : 0;
}

void TGraphDisplay3D::SetItemPosition(TGraphDisplayItem& item, double position) const {
    const int maximum = GetScrollBarMax();
    item.FPosition = maximum != 0 ? position / maximum * item.Length() : 0;
}

void TGraphDisplay3D::ScrollBarChange() {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr)
        return;
    if (GetScrollBarTag() == 0)
        SetItemPosition(*item, GetScrollBarPosition());
    if (OnScroll)
        OnScroll(this);
}

// The view: conversions, zoom to the selection, show all, the wheel zoom and their animations.

ScrollView TGraphDisplay3D::View() const {
    return {static_cast<double>(GetScrollBarMax()), static_cast<double>(GetScrollBarPageSize()),
            static_cast<double>(GetScrollBarPosition())};
}

double TGraphDisplay3D::MousePosition2XValue(double x) {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr)
        return 0;
    const XValue v = MouseXValue(item->Length(), View(), item->Zoom, x, panel_->width());
    if (!movingMarker_ && !movingSelection_ && ShowMarkers && item->Markers.Count() > 0)
        MarkerHover(*item, v.value, v.reach);
    return v.value;
}

void TGraphDisplay3D::MarkerHover(TGraphDisplayItem& item, double value, double reach) {
    auto allowed = [this, &item](TGraphDisplayMarker* marker, TGraphDisplayMarkerChangeType change) {
        return !OnMarkerChange || OnMarkerChange(this, &item, marker, change);
    };
    auto setCursor = [this](Qt::CursorShape shape) {
        panel_->setCursor(shape);
        if (QWidget* device = DeviceWidget())
            device->setCursor(shape);
        if (QWindow* surface = DeviceWindow())
            surface->setCursor(shape);
    };
    auto leave = [&] { // only the marker that was actually left is reported
        TGraphDisplayMarker* old = item.Markers[static_cast<int>(activeMarker_)];
        activeMarker_ = -1;
        setCursor(Qt::ArrowCursor);
        if (old != nullptr)
            allowed(old, gdmctLeave);
    };
    for (int i = 0; i < item.Markers.Count(); ++i) {
        TGraphDisplayMarker* marker = item.Markers[i];
        if (std::fabs(static_cast<double>(static_cast<float>(marker->Position)) - value) < reach) {
            if (activeMarker_ != -1 && activeMarker_ != i)
                leave();
            activeMarker_ = i;
            if (allowed(marker, gdmctHover))
                setCursor(Qt::SplitHCursor);
            return;
        }
    }
    if (activeMarker_ != -1)
        leave();
}

double TGraphDisplay3D::XPercentValue2ViewPercent(double x) const {
    TGraphDisplayItem* item = Items[activeIndex_];
    return item != nullptr ? graph::XPercentValue2ViewPercent(item->Length(), View(), x) : 0;
}

int TGraphDisplay3D::MousePosition2Index(double y) const {
    TGraphDisplayItem* item = Items[activeIndex_];
    return graph::MousePosition2Index(y, panel_->height(), item != nullptr ? item->MultiCount : 0);
}

void TGraphDisplay3D::SelectAll() {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr)
        return;
    item->SelectionStart = 0;
    item->SelectionEnd = item->Length();
    Render();
}

void TGraphDisplay3D::ScrollViewTo(double position) {
    if (!SampleScroll) // while following playback, the playback owns the scroll position
        SetScrollBarPosition(position);
}

void TGraphDisplay3D::RenderNow() {
    Render();
    PaintDeviceNow();
}

void TGraphDisplay3D::AnimationStep(TGraphDisplayItem& item, double zoom, const std::function<double()>& position,
                                    int step, int msPerStep, std::int64_t startMs) {
    {
        const std::lock_guard<std::recursive_mutex> lock(item.RenderCriticalSection);
        item.Zoom = zoom;
        SetScrollBar();
        ScrollViewTo(position());
    }
    if (MultiThread) {
        QThread::msleep(10);
        return;
    }
    RenderNow();
    // Each step takes its share of AnimationDuration, however fast the frame was drawn.
    const std::int64_t due = startMs + static_cast<std::int64_t>(step) * msPerStep;
    const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
    if (due > now)
        QThread::msleep(static_cast<unsigned long>(due - now));
}

void TGraphDisplay3D::Zoom() {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr || item->Length() == 0)
        return;
    const double length = item->Length();
    const double start = std::min(item->SelectionStart, item->SelectionEnd);
    const double end = std::max(item->SelectionStart, item->SelectionEnd);
    if ((start == 0 && end == length) || end == start)
        return;
    const double a = start / length;
    const double e = (end - start) / length;
    const double target = length / (end - start);
    const int steps = AnimationSteps(AnimationDuration, 30);
    // A view of the selection's width already has nothing to zoom (and no fixed point): it goes
    // straight to the selection, as without animation.
    if (!Animate || (Animations & gdaZoomSelection) == 0 || steps == 0 || item->Zoom == target) {
        item->Zoom = target;
        SetScrollBar();
        SetScrollBarPosition(std::trunc(GetScrollBarMax() * a));
        ScrollBarChange();
        Render();
        return;
    }
    const ScrollView now = View();
    const double c = ZoomFixedPoint(a, e, now.position / now.maximum, (now.position + now.page) / now.maximum);
    const double f = XPercentValue2ViewPercent(c);
    const std::int64_t startMs = QDateTime::currentMSecsSinceEpoch();
    const std::vector<double> zooms = EasedZoomSteps(item->Zoom, target, steps);
    for (int i = 0; i < steps; ++i) {
        // The last step lands exactly where the zoom without animation does, so that a second
        // "Zoom" on the same selection leaves the view as it is.
        const bool last = i + 1 == steps;
        AnimationStep(*item, last ? target : zooms[static_cast<std::size_t>(i)], [&] {
            return std::trunc(last ? GetScrollBarMax() * a : GetScrollBarMax() * c - GetScrollBarPageSize() * f);
        }, i + 1, 30, startMs);
    }
}

void TGraphDisplay3D::ShowAll() {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr || (item->Zoom == 1 && GetScrollBarPosition() == 0))
        return;
    const int steps = AnimationSteps(AnimationDuration, 30);
    if (Animate && (Animations & gdaShowAll) != 0 && steps > 0 && item->Length() != 0) {
        const double a = item->SelectionStart / item->Length();
        const double c = (item->SelectionEnd - item->SelectionStart) / item->Length();
        const double f = a + c * (a + c / 2);
        const double g = XPercentValue2ViewPercent(f);
        const double start = item->Zoom;
        const std::int64_t startMs = QDateTime::currentMSecsSinceEpoch();
        for (int i = 1; i <= steps; ++i) {
            const double m = g - i * (g - f) / steps;
            AnimationStep(*item, start + (1 - start) * EaseOut(i, steps),
                          [&] { return std::trunc(GetScrollBarMax() * f - GetScrollBarPageSize() * m); }, i, 30, startMs);
        }
    }
    item->Zoom = 1;
    SetScrollBar();
    SetScrollBarPosition(0);
    Render();
}

void TGraphDisplay3D::MouseWheelZoom(int delta) {
    TGraphDisplayItem* item = Items[activeIndex_];
    if (item == nullptr || item->Length() == 0)
        return;
    const double d = MousePosition2XValue(mouseX_) / item->Length();
    const double target = WheelZoomTarget(item->Zoom, delta, item->ZoomInMultiplier, item->ZoomOutMultiplier);
    if (target == item->Zoom)
        return;
    const double width = std::max(panel_->width(), 1);
    auto position = [&] { return std::trunc(GetScrollBarMax() * d - GetScrollBarPageSize() * mouseX_ / width); };
    const int steps = AnimationSteps(AnimationDuration, 45);
    const std::int64_t startMs = QDateTime::currentMSecsSinceEpoch();
    if (!Animate || (Animations & gdaMouseWheelZoom) == 0 || steps == 0) {
        AnimationStep(*item, target, position, 0, 45, startMs);
        return;
    }
    const std::vector<double> zooms = LinearZoomSteps(item->Zoom, target, steps);
    for (int i = 0; i < steps; ++i)
        AnimationStep(*item, zooms[static_cast<std::size_t>(i)], position, i + 1, 45, startMs);
}

} // namespace kelvane::graph
