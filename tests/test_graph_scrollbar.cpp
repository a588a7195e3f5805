// The custom scroll bar (setters, layout, painting, mouse and its repeat timer) and the graph
// component's scroll bar operations, on the offscreen platform with real mouse events.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>

#include "graph/FatScrollBar.h"
#include "graph/GraphDisplay3D.h"

using namespace kelvane::graph;

namespace {

// A bar of the graph's kind: 221 x 10, whole range 600, page 600.
struct Bar {
    TSampleFlatScrollBar bar;
    int changes = 0;
    Bar(int width = 221, int height = 10) {
        bar.resize(width, height);
        bar.OnChange = [this](TFatScrollBar*) { ++changes; };
        bar.show();
    }
    QPoint Centre(TScrollbarArea area) const { return bar.AreaRect(area).center(); }
    QColor Pixel(TScrollbarArea area) { return bar.grab().toImage().pixelColor(Centre(area)); }
};

struct SetterCase {
    const char* name;
    std::function<void(TFatScrollBar&)> set;
    std::function<int(const TFatScrollBar&)> get;
    int expected;
};

} // namespace

TEST(FatScrollBar, SettersAcceptOnlyTheirValues) {
    const std::vector<SetterCase> cases = {
        {"Position above Max", [](TFatScrollBar& b) { b.SetPosition(150); }, [](const TFatScrollBar& b) { return b.Position(); }, 0},
        {"Position below Min", [](TFatScrollBar& b) { b.SetPosition(-1); }, [](const TFatScrollBar& b) { return b.Position(); }, 0},
        {"Position at Max", [](TFatScrollBar& b) { b.SetPosition(100); }, [](const TFatScrollBar& b) { return b.Position(); }, 100},
        {"Max negative", [](TFatScrollBar& b) { b.SetMax(-5); }, [](const TFatScrollBar& b) { return b.Max(); }, 100},
        {"Max below Min", [](TFatScrollBar& b) { b.SetMin(20); b.SetMax(10); }, [](const TFatScrollBar& b) { return b.Max(); }, 100},
        {"Min above Max", [](TFatScrollBar& b) { b.SetMin(101); }, [](const TFatScrollBar& b) { return b.Min(); }, 0},
        {"Min negative", [](TFatScrollBar& b) { b.SetMin(-1); }, [](const TFatScrollBar& b) { return b.Min(); }, 0},
        {"LargeChange 0", [](TFatScrollBar& b) { b.SetLargeChange(0); }, [](const TFatScrollBar& b) { return b.LargeChange(); }, 5},
        {"LargeChange equal to SmallChange", [](TFatScrollBar& b) { b.SetLargeChange(1); }, [](const TFatScrollBar& b) { return b.LargeChange(); }, 1},
        {"SmallChange equal to LargeChange", [](TFatScrollBar& b) { b.SetSmallChange(5); }, [](const TFatScrollBar& b) { return b.SmallChange(); }, 1},
        {"SmallChange below", [](TFatScrollBar& b) { b.SetSmallChange(4); }, [](const TFatScrollBar& b) { return b.SmallChange(); }, 4},
        {"ScrollInterval 0", [](TFatScrollBar& b) { b.SetScrollInterval(0); }, [](const TFatScrollBar& b) { return b.ScrollInterval(); }, 50},
        {"ScrollInterval 10000", [](TFatScrollBar& b) { b.SetScrollInterval(10000); }, [](const TFatScrollBar& b) { return b.ScrollInterval(); }, 50},
        {"ScrollInterval 9999", [](TFatScrollBar& b) { b.SetScrollInterval(9999); }, [](const TFatScrollBar& b) { return b.ScrollInterval(); }, 9999},
        {"ArrowStretch 0", [](TFatScrollBar& b) { b.SetArrowStretch(0); }, [](const TFatScrollBar& b) { return b.ArrowStretch(); }, 1},
        {"ArrowStretch 150", [](TFatScrollBar& b) { b.SetArrowStretch(150); }, [](const TFatScrollBar& b) { return b.ArrowStretch(); }, 100},
        {"ArrowWidth 1", [](TFatScrollBar& b) { b.SetArrowWidth(1); }, [](const TFatScrollBar& b) { return b.ArrowWidth(); }, 2},
        {"ArrowWidth past half", [](TFatScrollBar& b) { b.SetArrowWidth(500); }, [](const TFatScrollBar& b) { return b.ArrowWidth(); }, 110},
    };
    for (const SetterCase& c : cases) {
        Bar bar;
        bar.bar.SetMax(100);
        bar.bar.SetPageSize(10);
        bar.changes = 0;
        c.set(bar.bar);
        EXPECT_EQ(c.get(bar.bar), c.expected) << c.name;
    }
    Bar bar;
    bar.bar.SetMax(100);
    bar.changes = 0;
    bar.bar.SetPosition(150);
    EXPECT_EQ(bar.changes, 0) << "an ignored position fires no OnChange";
    bar.bar.SetPosition(40);
    bar.bar.SetPosition(40);
    EXPECT_EQ(bar.changes, 1) << "an unchanged position fires none either";
}

TEST(FatScrollBar, LayoutOfArrowsAndScroller) {
    Bar bar; // 221 wide
    bar.bar.SetMax(600);
    bar.bar.SetPageSize(600);
    EXPECT_EQ(bar.bar.AreaRect(saScroller).width(), 185) << "221 - 2 x 18";
    EXPECT_EQ(bar.bar.AreaRect(saArrowDown), QRect(0, 0, 18, 10));
    EXPECT_EQ(bar.bar.AreaRect(saArrowUp), QRect(203, 0, 18, 10));

    bar.bar.SetMax(1200);
    EXPECT_EQ(bar.bar.AreaRect(saScroller).width(), 92) << "Trunc(185 x 600 / 1200)";
    bar.bar.SetPosition(600);
    // left = 18 + Round(0.5 x (203 - 18 - 92)) = 18 + Round(46.5) = 18 + 46 (half to even)
    EXPECT_EQ(bar.bar.AreaRect(saScroller).left(), 64);
    EXPECT_EQ(bar.bar.AreaRect(saTrackDown), QRect(18, 0, 46, 10));
    EXPECT_EQ(bar.bar.AreaRect(saTrackUp), QRect(156, 0, 47, 10));
    bar.bar.SetMax(100000);
    EXPECT_EQ(bar.bar.AreaRect(saScroller).width(), 5) << "never shorter than 5";

    // Triangles at the default stretch of 35 in an 18 x 10 box.
    const std::array<QPoint, 3> left = bar.bar.ArrowPoly(0);
    EXPECT_EQ(left[0], QPoint(6, 5));
    EXPECT_EQ(left[1], QPoint(12, 4)); // Round(3.5) = 4
    EXPECT_EQ(left[2], QPoint(12, 6)); // Round(6.5) = 6
    const std::array<QPoint, 3> right = bar.bar.ArrowPoly(1);
    EXPECT_EQ(right[0], QPoint(203 + 12, 5));
    EXPECT_EQ(right[1], QPoint(203 + 6, 4));

    bar.bar.SetKind(Qt::Vertical);
    bar.bar.resize(10, 221);
    EXPECT_EQ(bar.bar.AreaRect(saArrowUp), QRect(0, 203, 10, 18)) << "vertical swaps the axes";
}

TEST(FatScrollBar, PaintsItsStylesAndRepaintsOnAChange) {
    Bar bar;
    bar.bar.SetMax(1200);
    bar.bar.SetPageSize(600);
    QTRY_VERIFY(bar.bar.PaintCount() > 0);
    EXPECT_EQ(bar.Pixel(saScroller), QColor(0, 255, 0)) << "the flat bar's scroller is green";
    EXPECT_EQ(bar.Pixel(saTrackUp), QColor(0, 0, 0));
    const int before = bar.bar.PaintCount();
    bar.bar.StyleTrack.Fill.SetColorCold(QColor(0, 0, 0)); // unchanged: no repaint
    EXPECT_EQ(bar.bar.PaintCount(), before);
    bar.bar.StyleTrack.Fill.SetColorCold(QColor(0, 0, 255));
    EXPECT_GT(bar.bar.PaintCount(), before) << "a style change repaints";
    EXPECT_EQ(bar.Pixel(saTrackUp), QColor(0, 0, 255));

    QTest::mouseMove(&bar.bar, bar.Centre(saScroller));
    EXPECT_EQ(bar.bar.AreaState(saScroller), asHot);
    EXPECT_EQ(bar.Pixel(saScroller), QColor(255, 255, 0)) << "hot is yellow";
    QTest::mousePress(&bar.bar, Qt::LeftButton, {}, bar.Centre(saScroller));
    EXPECT_EQ(bar.bar.AreaState(saScroller), asDown);
    EXPECT_EQ(bar.bar.AreaState(saTrackUp), asCold);
    QTest::mouseRelease(&bar.bar, Qt::LeftButton, {}, bar.Centre(saScroller));
    EXPECT_EQ(bar.bar.AreaState(saScroller), asHot);
}

TEST(FatScrollBar, ArrowsAndTracksRepeatOnTheTimer) {
    struct Case {
        TScrollbarArea area;
        int start;
        int step;
    };
    for (const Case& c : {Case{saArrowUp, 0, 1}, Case{saArrowDown, 100, -1}, Case{saTrackUp, 0, 5},
                          Case{saTrackDown, 100, -5}}) {
        Bar bar;
        bar.bar.SetMax(100);
        bar.bar.SetPageSize(10);
        bar.bar.SetPosition(c.start);
        const QPoint at = bar.Centre(c.area);
        QTest::mousePress(&bar.bar, Qt::LeftButton, {}, at);
        QTest::mouseRelease(&bar.bar, Qt::LeftButton, {}, at);
        EXPECT_EQ(bar.bar.Position(), c.start) << "a click within 50 ms does not move, area " << c.area;
        QTest::mousePress(&bar.bar, Qt::LeftButton, {}, at);
        QTRY_VERIFY(std::abs(bar.bar.Position() - c.start) >= 2 * std::abs(c.step));
        QTest::mouseRelease(&bar.bar, Qt::LeftButton, {}, at);
        const int stopped = bar.bar.Position();
        EXPECT_EQ((stopped - c.start) % c.step, 0) << "whole steps";
        QTest::qWait(120);
        EXPECT_EQ(bar.bar.Position(), stopped) << "the release stops the repeat";
    }
    Bar bar;
    bar.bar.SetMax(100);
    bar.bar.SetPosition(99);
    QTest::mousePress(&bar.bar, Qt::LeftButton, {}, bar.Centre(saArrowUp));
    QTRY_COMPARE(bar.bar.Position(), 100);
    QTest::qWait(120);
    EXPECT_EQ(bar.bar.Position(), 100) << "limited to Max";
    QTest::mouseRelease(&bar.bar, Qt::LeftButton, {}, bar.Centre(saArrowUp));
}

TEST(FatScrollBar, DraggingTheScrollerMovesThePosition) {
    Bar bar;
    bar.bar.SetMax(1200);
    bar.bar.SetPageSize(600);
    const QPoint grip = bar.Centre(saScroller);
    QTest::mousePress(&bar.bar, Qt::LeftButton, {}, grip);
    // Half the free length (185 - 92 = 93) to the right: half the range.
    QMouseEvent move(QEvent::MouseMove, QPointF(grip + QPoint(47, 0)), bar.bar.mapToGlobal(QPointF(grip + QPoint(47, 0))),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar.bar, &move);
    EXPECT_NEAR(bar.bar.Position(), 600, 13);
    QMouseEvent far(QEvent::MouseMove, QPointF(grip + QPoint(400, 0)), bar.bar.mapToGlobal(QPointF(grip + QPoint(400, 0))),
                    Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&bar.bar, &far);
    EXPECT_EQ(bar.bar.Position(), 1200) << "dragged past the end, it stops at the end";
    QTest::mouseRelease(&bar.bar, Qt::LeftButton, {}, grip + QPoint(400, 0));
    QMouseEvent after(QEvent::MouseMove, QPointF(20, 5), bar.bar.mapToGlobal(QPointF(20, 5)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&bar.bar, &after);
    EXPECT_EQ(bar.bar.Position(), 1200) << "released off the scroller, the drag has ended";
}

// The component's operations over either bar.
TEST(GraphScrollBar, FollowsTheZoomOfTheActiveItem) {
    struct Case {
        TGraphDisplayScrollBarType type;
        double zoom;
        int position; // the bar's own position before
        int maximum;  // after SetScrollBar
        int positionAfter;
    };
    const std::vector<Case> cases = {
        {gdsbtFlat, 2, 300, 1200, 600},    // the relative position is kept
        {gdsbtFlat, 2, 1, 1200, 1},        // below 2: kept as it is
        {gdsbtFlat, 1, 300, 600, 0},       // zoom 1: back to the start
        {gdsbtFlat, 0.5, 300, 600, 0},
        {gdsbtWindows, 4, 0, 2400, 0},
    };
    for (const Case& c : cases) {
        TGraphDisplay3D component;
        component.SetScrollBarType(c.type);
        TGraphDisplayItem* item = component.Items.Add();
        item->SetLength(100);
        if (c.type == gdsbtFlat)
            component.FlatScrollBar()->SetPosition(c.position);
        item->Zoom = c.zoom;
        component.SetScrollBar();
        EXPECT_EQ(component.GetScrollBarMax(), c.maximum) << "zoom " << c.zoom;
        if (c.type == gdsbtFlat) {
            EXPECT_EQ(component.FlatScrollBar()->Position(), c.positionAfter) << "zoom " << c.zoom;
        }
        EXPECT_EQ(component.GetScrollBarPageSize(), 600);
    }
}

TEST(GraphScrollBar, FlatPositionsMapToTheViewAndBack) {
    TGraphDisplay3D component;
    component.SetScrollBarType(gdsbtFlat);
    TGraphDisplayItem* item = component.Items.Add();
    item->SetLength(100);
    component.SetScrollBarMax(2400);
    int scrolled = 0;
    component.OnScroll = [&scrolled](TGraphDisplay3D*) { ++scrolled; };
    // Trunc(v + 600 x ((v + 600 v / 2400) / 2400) x 1.0115) for v = 600: 600 + 600 x 0.3125 x 1.0115
    component.SetScrollBarPosition(600);
    EXPECT_EQ(component.FlatScrollBar()->Position(), 789);
    EXPECT_EQ(component.GetScrollBarPosition(), 591) << "Trunc(789 - 600 x 789 / 2400)";
    EXPECT_EQ(scrolled, 1);
    EXPECT_NEAR(item->FPosition, 591.0 / 2400 * 100, 1e-9) << "the item follows the bar";
    component.SetScrollBarPosition(1801);
    EXPECT_EQ(component.FlatScrollBar()->Position(), 2400) << "past Max - PageSize: Max";
    EXPECT_EQ(component.GetScrollBarPosition(), 1800);

    component.FlatScrollBar()->Tag = 1; // a change under the tag moves nothing but still reports
    component.SetScrollBarPosition(0);
    EXPECT_NEAR(item->FPosition, 1800.0 / 2400 * 100, 1e-9);
    EXPECT_EQ(scrolled, 3);
}

TEST(GraphScrollBar, TheStandardBarStopsAtTheLastPage) {
    TGraphDisplay3D component;
    TGraphDisplayItem* item = component.Items.Add();
    item->SetLength(10);
    item->Zoom = 3;
    component.SetScrollBar();
    EXPECT_EQ(component.GetScrollBarMax(), 1800);
    component.SetScrollBarPosition(5000);
    EXPECT_EQ(component.GetScrollBarPosition(), 1200);
    EXPECT_NEAR(item->FPosition, 1200.0 / 1800 * 10, 1e-9);
    component.SetScrollBarHeight(0);
    EXPECT_EQ(component.scrollBar()->height(), 0);
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
