#pragma once
// TFatScrollBar: a self-drawn scroll bar of five areas (two arrow buttons, two track halves and
// the scroller), each coloured by a style for its state (cold, hot, down). Position runs from Min
// to Max; PageSize sets the scroller's length. Arrow and track presses repeat on a 50 ms timer,
// the first step coming with the first tick.

#include <QColor>
#include <QPixmap>
#include <QScrollBar>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <array>
#include <functional>

#include "graph/GraphTypes.h"

namespace kelvane::graph {

// Colour, brush style and pattern of one thing (border or fill) for each of the three states.
class TStateStyleProperty {
public:
    std::function<void()> FOnChange;

    QColor ColorCold() const { return colors_[0]; }
    QColor ColorHot() const { return colors_[1]; }
    QColor ColorDown() const { return colors_[2]; }
    void SetColorCold(const QColor& c) { Set(colors_[0], c); }
    void SetColorHot(const QColor& c) { Set(colors_[1], c); }
    void SetColorDown(const QColor& c) { Set(colors_[2], c); }
    Qt::BrushStyle StyleCold() const { return styles_[0]; }
    Qt::BrushStyle StyleHot() const { return styles_[1]; }
    Qt::BrushStyle StyleDown() const { return styles_[2]; }
    void SetStyleCold(Qt::BrushStyle s) { Set(styles_[0], s); }
    void SetStyleHot(Qt::BrushStyle s) { Set(styles_[1], s); }
    void SetStyleDown(Qt::BrushStyle s) { Set(styles_[2], s); }
    // Patterns always notify: a picture's content cannot be compared cheaply.
    void SetPatternCold(const QPixmap& p) { SetPattern(0, p); }
    void SetPatternHot(const QPixmap& p) { SetPattern(1, p); }
    void SetPatternDown(const QPixmap& p) { SetPattern(2, p); }

    // By state index (0 cold, 1 hot, 2 down).
    QColor Color(int state) const { return colors_[static_cast<std::size_t>(state)]; }
    Qt::BrushStyle Style(int state) const { return styles_[static_cast<std::size_t>(state)]; }
    const QPixmap& Pattern(int state) const { return patterns_[static_cast<std::size_t>(state)]; }
    void SetAll(const QColor& cold, const QColor& hot, const QColor& down);

private:
    template <typename T> void Set(T& field, const T& value) {
        if (field == value)
            return;
        field = value;
        Changed();
    }
    void SetPattern(int state, const QPixmap& p) {
        patterns_[static_cast<std::size_t>(state)] = p;
        Changed();
    }
    void Changed() {
        if (FOnChange)
            FOnChange();
    }
    std::array<QColor, 3> colors_{};
    std::array<Qt::BrushStyle, 3> styles_{Qt::SolidPattern, Qt::SolidPattern, Qt::SolidPattern};
    std::array<QPixmap, 3> patterns_{};
};

// The border and fill of one kind of area; a change of either is passed on.
class TStyleProperty {
public:
    TStyleProperty();
    TStyleProperty(const TStyleProperty&) = delete;
    TStyleProperty& operator=(const TStyleProperty&) = delete;
    std::function<void()> FOnChange;
    TStateStyleProperty Border;
    TStateStyleProperty Fill;
};

enum TScrollbarArea { saArrowDown, saArrowUp, saTrackDown, saTrackUp, saScroller, saNone };
enum TAreaState { asCold, asHot, asDown };

class TFatScrollBar : public QWidget {
public:
    explicit TFatScrollBar(QWidget* parent = nullptr);

    Qt::Orientation Kind() const { return kind_; }
    void SetKind(Qt::Orientation kind);
    int ArrowWidth() const { return arrowWidth_; }
    void SetArrowWidth(int value);
    int ArrowStretch() const { return arrowStretch_; }
    void SetArrowStretch(int value);
    int LargeChange() const { return largeChange_; }
    void SetLargeChange(int value);
    int SmallChange() const { return smallChange_; }
    void SetSmallChange(int value);
    int Max() const { return max_; }
    void SetMax(int value);
    int Min() const { return min_; }
    void SetMin(int value);
    int Position() const { return position_; }
    void SetPosition(int value);
    int PageSize() const { return pageSize_; }
    void SetPageSize(int value);
    int ScrollInterval() const { return timer_.interval(); }
    void SetScrollInterval(int value);
    int ScrollerWidth() const { return scrollerWidth_; }
    void SetScrollerWidth(int value);

    TStyleProperty StyleArrow, StyleArrowButton, StyleScroller, StyleTrack;
    std::function<void(TFatScrollBar*)> OnChange, OnMouseIn, OnMouseOut;
    int Tag = 0;

    QRect AreaRect(TScrollbarArea area) const { return areaRect_[static_cast<std::size_t>(area)]; }
    TAreaState AreaState(TScrollbarArea area) const { return areaState_[static_cast<std::size_t>(area)]; }
    // The arrow triangle of saArrowDown (0) or saArrowUp (1).
    std::array<QPoint, 3> ArrowPoly(int arrow) const { return arrowPoly_[static_cast<std::size_t>(arrow)]; }
    // How many times an area was drawn (painting goes through the buffer one area at a time).
    int PaintCount() const { return paintCount_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void FullLayout();     // arrow boxes and triangles, then the scroller and tracks
    void ScrollerLayout(); // the scroller and the two track halves
    void PaintArea(TScrollbarArea area);
    void Repaint(std::initializer_list<TScrollbarArea> areas);
    void UpdateStates(QPoint pos, bool leftDown, bool startActions);
    void TimerTick();
    int Length() const { return kind_ == Qt::Horizontal ? width() : height(); }
    int Thickness() const { return kind_ == Qt::Horizontal ? height() : width(); }
    QRect Oriented(int along, int across, int alongSize, int acrossSize) const;

    Qt::Orientation kind_ = Qt::Horizontal;
    int arrowWidth_ = 18;
    int scrollerWidth_ = 5;
    int max_ = 100;
    int min_ = 0;
    int arrowStretch_ = 35;
    int largeChange_ = 5;
    int smallChange_ = 1;
    int position_ = 0;
    int pageSize_ = 10;
    std::array<std::array<QPoint, 3>, 2> arrowPoly_{};
    std::array<QRect, 5> areaRect_{};
    std::array<TAreaState, 5> areaState_{asCold, asCold, asCold, asCold, asCold};
    TScrollbarArea downAt_ = saNone;
    bool scrolling_ = false;
    QPoint scrollPos_, scrollOffset_;
    QTimer timer_;
    TScrollbarArea scrollArea_ = saNone;
    QPoint mousePos_;
    bool leftHeld_ = false;
    QPixmap buffer_;
    int paintCount_ = 0;
};

// The graph component's flat scroll bar: green on black, yellow where pressed.
class TSampleFlatScrollBar : public TFatScrollBar {
public:
    explicit TSampleFlatScrollBar(QWidget* parent = nullptr);
};

// The toolkit's standard scroll bar, counted as the flat one is: Max is the whole range and the
// position runs 0 ... Max - PageSize (Qt's maximum is that last position).
class TSampleScrollBar : public QScrollBar {
public:
    explicit TSampleScrollBar(QWidget* parent = nullptr) : QScrollBar(Qt::Horizontal, parent) {}
    int Max() const { return maximum() + pageStep(); }
    void SetMax(int value) { setMaximum(std::max(value - pageStep(), 0)); }
    int PageSize() const { return pageStep(); }
    void SetPageSize(int value) {
        const int whole = Max();
        setPageStep(value);
        SetMax(whole);
    }
    int Position() const { return value(); }
    void SetPosition(int value) { setValue(value); }
    int Tag = 0;
};

// A TColor (red in the low byte) as a QColor.
QColor TColorToQColor(TColor color);

} // namespace kelvane::graph
