#include "graph/FatScrollBar.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <algorithm>
#include <cmath>

namespace kelvane::graph {

namespace {

int Pct(int a, int s) { return static_cast<int>(std::nearbyint(static_cast<double>(a) * s / 100.0)); }

constexpr std::array<TScrollbarArea, 5> kAreas = {saArrowDown, saArrowUp, saTrackDown, saTrackUp, saScroller};

} // namespace

QColor TColorToQColor(TColor color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void TStateStyleProperty::SetAll(const QColor& cold, const QColor& hot, const QColor& down) {
    SetColorCold(cold);
    SetColorHot(hot);
    SetColorDown(down);
}

TStyleProperty::TStyleProperty() {
    Border.FOnChange = [this] {
        if (FOnChange)
            FOnChange();
    };
    Fill.FOnChange = Border.FOnChange;
}

TFatScrollBar::TFatScrollBar(QWidget* parent) : QWidget(parent) {
    resize(150, arrowWidth_);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, this, [this] { TimerTick(); });
    const QPalette pal = QApplication::palette();
    const QColor text = pal.color(QPalette::Text);
    const QColor window = pal.color(QPalette::Base);
    const QColor shadow = pal.color(QPalette::Dark);
    const QColor face = pal.color(QPalette::Button);
    StyleArrow.Border.SetAll(text, window, window);
    StyleArrow.Fill.SetAll(text, window, window);
    StyleArrowButton.Border.SetAll(shadow, shadow, window);
    StyleArrowButton.Fill.SetAll(face, shadow, text);
    StyleTrack.Border.SetAll(shadow, shadow, window);
    StyleTrack.Fill.SetAll(window, shadow, text);
    StyleScroller.Border.SetAll(shadow, shadow, window);
    StyleScroller.Fill.SetAll(face, shadow, text);
    for (TStyleProperty* style : {&StyleArrow, &StyleArrowButton, &StyleScroller, &StyleTrack})
        style->FOnChange = [this] { Repaint({saArrowDown, saArrowUp, saTrackDown, saTrackUp, saScroller}); };
    FullLayout();
}

QRect TFatScrollBar::Oriented(int along, int across, int alongSize, int acrossSize) const {
    return kind_ == Qt::Horizontal ? QRect(along, across, alongSize, acrossSize)
                                   : QRect(across, along, acrossSize, alongSize);
}

void TFatScrollBar::FullLayout() {
    const int w = arrowWidth_;
    const int h = Thickness();
    const int s = arrowStretch_;
    areaRect_[saArrowDown] = Oriented(0, 0, w, h);
    areaRect_[saArrowUp] = Oriented(Length() - w, 0, w, h);
    auto point = [this](int along, int across) {
        return kind_ == Qt::Horizontal ? QPoint(along, across) : QPoint(across, along);
    };
    const int right = Length() - w;
    arrowPoly_[0] = {point(Pct(w, s), Pct(h, 50)), point(Pct(w, 100 - s), Pct(h, s)),
                     point(Pct(w, 100 - s), Pct(h, 100 - s))};
    arrowPoly_[1] = {point(right + Pct(w, 100 - s), Pct(h, 50)), point(right + Pct(w, s), Pct(h, s)),
                     point(right + Pct(w, s), Pct(h, 100 - s))};
    ScrollerLayout();
}

void TFatScrollBar::ScrollerLayout() {
    const int w = arrowWidth_;
    const int h = Thickness();
    const int available = std::max(Length() - 2 * w, 0);
    int length = max_ > 0 ? static_cast<int>(std::trunc(static_cast<double>(available) * pageSize_ / max_))
                          : available;
    length = std::min(std::max(length, 5), std::max(available, 5));
    scrollerWidth_ = length;
    const int rightBox = Length() - w;
    const int free = rightBox - w - length;
    const double fraction = max_ > 0 ? static_cast<double>(position_) / max_ : 0.0;
    const int left = w + static_cast<int>(std::nearbyint(fraction * 100 * free / 100));
    areaRect_[saScroller] = Oriented(left, 0, length, h);
    areaRect_[saTrackDown] = Oriented(w, 0, std::max(left - w, 0), h);
    areaRect_[saTrackUp] = Oriented(left + length, 0, std::max(rightBox - left - length, 0), h);
}

void TFatScrollBar::SetKind(Qt::Orientation kind) {
    if (kind == kind_)
        return;
    kind_ = kind;
    FullLayout();
    Repaint({saArrowDown, saArrowUp, saTrackDown, saTrackUp, saScroller});
}

void TFatScrollBar::SetArrowWidth(int value) {
    value = std::min(std::max(value, 2), std::max(Length() / 2, 2));
    if (value == arrowWidth_)
        return;
    arrowWidth_ = value;
    FullLayout();
    Repaint({saArrowDown, saArrowUp, saTrackDown, saTrackUp, saScroller});
}

void TFatScrollBar::SetArrowStretch(int value) {
    value = std::clamp(value, 1, 100);
    if (value == arrowStretch_)
        return;
    arrowStretch_ = value;
    FullLayout();
    Repaint({saArrowDown, saArrowUp});
}

void TFatScrollBar::SetLargeChange(int value) {
    if (value > 0 && value >= smallChange_)
        largeChange_ = value;
}

void TFatScrollBar::SetSmallChange(int value) {
    if (value > 0 && value < largeChange_)
        smallChange_ = value;
}

void TFatScrollBar::SetMax(int value) {
    if (value == max_ || value < 0 || value < min_)
        return;
    max_ = value;
    if (position_ > max_) { // a position past the new end would put the scroller off the bar
        position_ = max_;
        if (OnChange)
            OnChange(this);
    }
    ScrollerLayout();
    Repaint({saTrackDown, saScroller, saTrackUp});
}

void TFatScrollBar::SetMin(int value) {
    if (value == min_ || value < 0 || value > max_)
        return;
    min_ = value;
    if (position_ < min_) {
        position_ = min_;
        if (OnChange)
            OnChange(this);
    }
    ScrollerLayout();
    Repaint({saTrackDown, saScroller, saTrackUp});
}

void TFatScrollBar::SetPosition(int value) {
    if (value == position_ || value < min_ || value > max_)
        return;
    position_ = value;
    ScrollerLayout();
    Repaint({saTrackDown, saScroller, saTrackUp});
    if (OnChange)
        OnChange(this);
}

void TFatScrollBar::SetPageSize(int value) {
    if (value == pageSize_)
        return;
    pageSize_ = value;
    ScrollerLayout();
    Repaint({saTrackDown, saScroller, saTrackUp});
}

void TFatScrollBar::SetScrollInterval(int value) {
    if (value > 0 && value < 10000)
        timer_.setInterval(value);
}

void TFatScrollBar::SetScrollerWidth(int value) {
    value = std::min(std::max(value, 2), std::max(Length() - 2 * arrowWidth_ - 1, 2));
    if (value == scrollerWidth_)
        return;
    scrollerWidth_ = value;
    ScrollerLayout(); // which sets the length from the page again
    Repaint({saTrackDown, saScroller, saTrackUp});
}

void TFatScrollBar::PaintArea(TScrollbarArea area) {
    if (buffer_.size() != size() || buffer_.isNull())
        return;
    ++paintCount_;
    const int state = AreaState(area);
    const QRect r = AreaRect(area);
    const bool arrow = area == saArrowDown || area == saArrowUp;
    const TStyleProperty& style = arrow                ? StyleArrowButton
                                  : area == saScroller ? StyleScroller
                                                       : StyleTrack;
    auto brush = [state](const TStateStyleProperty& s) {
        return s.Pattern(state).isNull() ? QBrush(s.Color(state), s.Style(state)) : QBrush(s.Pattern(state));
    };
    QPainter painter(&buffer_);
    painter.fillRect(r, brush(style.Fill));
    if (r.width() > 0 && r.height() > 0) {
        painter.setPen(QPen(brush(style.Border), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
    }
    if (arrow) {
        const auto& poly = arrowPoly_[area == saArrowDown ? 0 : 1];
        painter.setBrush(brush(StyleArrow.Fill));
        painter.setPen(StyleArrow.Border.Color(state));
        painter.drawPolygon(poly.data(), 3);
    }
    painter.end();
    update(r);
}

void TFatScrollBar::Repaint(std::initializer_list<TScrollbarArea> areas) {
    for (const TScrollbarArea area : areas)
        PaintArea(area);
}

void TFatScrollBar::paintEvent(QPaintEvent*) {
    if (buffer_.size() != size()) {
        buffer_ = QPixmap(size());
        buffer_.fill(Qt::black);
        Repaint({saArrowDown, saArrowUp, saTrackDown, saTrackUp, saScroller});
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, buffer_);
}

void TFatScrollBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    buffer_ = QPixmap(size());
    buffer_.fill(Qt::black);
    FullLayout();
    Repaint({saArrowDown, saArrowUp, saTrackDown, saTrackUp, saScroller});
}

void TFatScrollBar::UpdateStates(QPoint pos, bool leftDown, bool startActions) {
    for (const TScrollbarArea area : kAreas) {
        TAreaState state = asCold;
        if (AreaRect(area).contains(pos)) {
            state = leftDown ? asDown : asHot;
            if (leftDown && startActions) {
                downAt_ = area;
                if (area == saScroller) {
                    scrolling_ = true;
                    scrollPos_ = pos;
                    scrollOffset_ = pos - AreaRect(saScroller).topLeft();
                } else {
                    scrollArea_ = area;
                    timer_.start();
                }
            }
        }
        if (state != areaState_[area]) {
            areaState_[area] = state;
            PaintArea(area);
        }
    }
}

void TFatScrollBar::mousePressEvent(QMouseEvent* event) {
    mousePos_ = event->position().toPoint();
    leftHeld_ = event->button() == Qt::LeftButton || (event->buttons() & Qt::LeftButton);
    UpdateStates(mousePos_, leftHeld_, event->button() == Qt::LeftButton);
}

void TFatScrollBar::mouseMoveEvent(QMouseEvent* event) {
    mousePos_ = event->position().toPoint();
    leftHeld_ = (event->buttons() & Qt::LeftButton) != 0;
    if (leftHeld_ && scrolling_) {
        const int along = kind_ == Qt::Horizontal ? mousePos_.x() - scrollOffset_.x() : mousePos_.y() - scrollOffset_.y();
        const int free = Length() - 2 * arrowWidth_ - scrollerWidth_;
        if (free > 0) {
            const double value = static_cast<double>(along - arrowWidth_) / free * 100 * max_ / 100;
            // Dragged past an end, the scroller stops at that end.
            SetPosition(std::clamp(static_cast<int>(std::nearbyint(value)), min_, max_));
        }
        return;
    }
    UpdateStates(mousePos_, leftHeld_, leftHeld_);
}

void TFatScrollBar::mouseReleaseEvent(QMouseEvent* event) {
    mousePos_ = event->position().toPoint();
    if (event->button() != Qt::LeftButton)
        return;
    leftHeld_ = false;
    timer_.stop();
    // Scrolling ends wherever the button comes up: a drag that slips off the scroller must not
    // go on without the button.
    scrolling_ = false;
    downAt_ = saNone;
    UpdateStates(mousePos_, false, false);
}

void TFatScrollBar::TimerTick() {
    if (scrollArea_ != saNone && scrollArea_ == downAt_ && AreaRect(scrollArea_).contains(mousePos_)) {
        int step = 0;
        switch (scrollArea_) {
        case saArrowDown: step = -smallChange_; break;
        case saArrowUp: step = smallChange_; break;
        case saTrackDown: step = -largeChange_; break;
        case saTrackUp: step = largeChange_; break;
        default: break;
        }
        SetPosition(std::clamp(position_ + step, min_, max_));
        return;
    }
    timer_.stop();
    UpdateStates(mousePos_, leftHeld_, false);
}

void TFatScrollBar::enterEvent(QEnterEvent* event) {
    QWidget::enterEvent(event);
    if (OnMouseIn)
        OnMouseIn(this);
}

void TFatScrollBar::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    for (const TScrollbarArea area : kAreas)
        if (areaState_[area] != asCold) {
            areaState_[area] = asCold;
            PaintArea(area);
        }
    if (OnMouseOut)
        OnMouseOut(this);
}

TSampleFlatScrollBar::TSampleFlatScrollBar(QWidget* parent) : TFatScrollBar(parent) {
    const QColor green = TColorToQColor(0x00FF00);
    const QColor yellow = TColorToQColor(0x00FFFF);
    const QColor black = TColorToQColor(0);
    StyleArrow.Border.SetAll(green, black, yellow);
    StyleArrow.Fill.SetAll(green, black, black);
    StyleArrowButton.Border.SetAll(black, black, black);
    StyleArrowButton.Fill.SetAll(black, yellow, yellow);
    StyleScroller.Border.SetAll(black, black, black);
    StyleScroller.Fill.SetAll(green, yellow, yellow);
    StyleTrack.Border.SetAll(black, black, black);
    StyleTrack.Fill.SetAll(black, black, black);
}

} // namespace kelvane::graph
