// The graph component's view under a real X display (Xvfb + Mesa; CTest runs this with
// run-under-x.sh): zoom, show all and their animations, mouse selection, markers, keys and the
// wheel driven by real events, and a zoomed frame at the predicted pixels.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDateTime>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QWindow>
#include <QTest>
#include <QWheelEvent>

#include "graph/GraphDisplay3D.h"
#include "graph/OffscreenFrame.h"

using namespace kelvane::graph;

namespace {

bool HasDisplay() { return !qEnvironmentVariableIsEmpty("DISPLAY"); }

#define NEED_DISPLAY()                                                                                             \
    if (!HasDisplay())                                                                                             \
    GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)"

// A component with one item of Length 100 and a ramp of 401 samples, its device made.
struct Graph {
    TGraphDisplay3D component;
    TGraphDisplayItem* item = nullptr;
    std::vector<QString> events;

    explicit Graph(bool device = true) {
        component.SuppressErrors = true;
        component.Animate = false;
        component.resize(401, 210);
        component.show();
        component.activateWindow();
        (void)QTest::qWaitForWindowActive(&component);
        item = component.Items.Add();
        item->DisplayType = gdtPositive;
        item->Axis.AxisY.RangeType = gdiartCustom;
        item->Axis.AxisY.CustomRangeMaximum = 100;
        TGraphDisplayGraphItem* g = item->GraphItems.Add();
        for (int i = 0; i <= 400; ++i)
            g->Samples->push_back({static_cast<float>(i) / 4, 0, 0});
        item->SetLength(100);
        if (device) {
            component.Initialize(0);
            QTRY_VERIFY(Surface() != nullptr && Surface()->isVisible());
            QTRY_VERIFY(SurfaceWindow() != nullptr && SurfaceWindow()->isExposed());
        }
    }
    // The holder of the OpenGL window (events sent to it are the window's own, forwarded).
    QWidget* Surface() const {
        for (QWidget* child : component.innerPanel()->findChildren<QWidget*>())
            if (child->inherits("QWindowContainer"))
                return child;
        return nullptr;
    }
    static QWindow* SurfaceWindow() {
        for (QWindow* window : QGuiApplication::allWindows())
            if (window->objectName() == QLatin1String("GraphSurface"))
                return window;
        return nullptr;
    }
    int Width() const { return component.innerPanel()->width(); }
    // The pixel column of a data value at zoom 1.
    int At(double value) const { return static_cast<int>(std::lround(value / 100 * Width())); }
    void Wheel(int delta) {
        const QPointF at(Width() / 2.0, 50);
        QWheelEvent wheel(at, Surface()->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(Surface(), &wheel);
    }
};

} // namespace

TEST(GraphView, ZoomToTheSelectionAndBack) {
    struct Case {
        double start, end;
        double zoom;
        int maximum, position;
    };
    const Case cases[] = {
        {25, 50, 4, 2400, 600},
        {0, 100, 1, 600, 0},  // the whole data: nothing happens
        {30, 30, 1, 600, 0},  // an empty selection: nothing
        {50, 100, 2, 1200, 600},
        {50, 25, 4, 2400, 600}, // a reversed selection zooms to the same stretch
    };
    for (const Case& c : cases) {
        Graph graph(false);
        graph.item->SelectionStart = c.start;
        graph.item->SelectionEnd = c.end;
        int scrolled = 0;
        graph.component.OnScroll = [&scrolled](TGraphDisplay3D*) { ++scrolled; };
        graph.component.Zoom();
        EXPECT_DOUBLE_EQ(graph.item->Zoom, c.zoom) << c.start << " ... " << c.end;
        EXPECT_EQ(graph.component.GetScrollBarMax(), c.maximum) << c.start << " ... " << c.end;
        EXPECT_EQ(graph.component.GetScrollBarPosition(), c.position) << c.start << " ... " << c.end;
        if (c.zoom != 1) {
            EXPECT_NEAR(graph.item->FPosition, std::min(c.start, c.end), 1e-9) << "the item follows";
            EXPECT_GT(scrolled, 0);
        }
        graph.component.ShowAll();
        EXPECT_EQ(graph.item->Zoom, 1);
        EXPECT_EQ(graph.component.GetScrollBarMax(), 600);
        EXPECT_EQ(graph.component.GetScrollBarPosition(), 0);
        EXPECT_EQ(graph.item->FPosition, 0);
    }
    Graph graph(false);
    graph.item->SelectionStart = 10;
    graph.component.SelectAll();
    EXPECT_EQ(graph.item->SelectionStart, 0);
    EXPECT_EQ(graph.item->SelectionEnd, 100);
}

TEST(GraphView, AnimationsTakeTheirStepsAndEndOnTheTarget) {
    NEED_DISPLAY();
    struct Case {
        int duration;
        int frames; // frames drawn by the zoom
    };
    for (const Case& c : {Case{500, 16}, Case{29, 0}}) {
        Graph graph;
        graph.component.Animate = true;
        graph.item->StartupAnim = false;
        graph.component.AnimationDuration = c.duration;
        int frames = 0;
        graph.component.BeforeD3DRender = [&frames](TGraphDisplay3D*, TGraphDisplayItem*) { ++frames; };
        graph.item->SelectionStart = 25;
        graph.item->SelectionEnd = 50;
        const qint64 started = QDateTime::currentMSecsSinceEpoch();
        graph.component.Zoom();
        const qint64 took = QDateTime::currentMSecsSinceEpoch() - started;
        EXPECT_EQ(frames, c.frames) << "duration " << c.duration;
        EXPECT_DOUBLE_EQ(graph.item->Zoom, 4) << "ends on the target, also without steps";
        EXPECT_EQ(graph.component.GetScrollBarMax(), 2400);
        EXPECT_NEAR(graph.component.GetScrollBarPosition(), 600, 2) << "showing 25 ... 50";
        if (c.duration == 500) {
            EXPECT_GE(took, 450) << "the steps fill the duration";
        }
        frames = 0;
        graph.component.ShowAll();
        EXPECT_EQ(frames, c.frames);
        EXPECT_EQ(graph.item->Zoom, 1);
        EXPECT_EQ(graph.component.GetScrollBarPosition(), 0);
    }
}

TEST(GraphView, OneWheelNotchIsOneZoomStep) {
    NEED_DISPLAY();
    Graph graph;
    int asked = 0;
    graph.component.OnMouseWheel = [&asked](QObject*, int& delta) {
        ++asked;
        EXPECT_EQ(std::abs(delta), 120);
    };
    QTest::mouseMove(graph.Surface(), QPoint(graph.Width() / 2, 50));
    struct Notch {
        int delta;
        double zoom;
        int maximum;
    } const notches[] = {
        {120, 1.25, 750},      // the first notch zooms
        {120, 1.5625, 937},    // and the next one again
        {-120, 1.171875, 703}, // the first notch of the other direction is not lost
        {-120, 1, 600},        // out from 1.17 stops at 1, not 0.88
        {-120, 1, 600},
        {120, 1.25, 750},
    };
    for (const Notch& n : notches) {
        graph.Wheel(n.delta);
        EXPECT_DOUBLE_EQ(graph.item->Zoom, n.zoom) << "after a notch of " << n.delta;
        EXPECT_EQ(graph.component.GetScrollBarMax(), n.maximum) << "after a notch of " << n.delta;
    }
    EXPECT_EQ(asked, 6);
    graph.component.AllowWheelZoom = false;
    graph.Wheel(120);
    EXPECT_DOUBLE_EQ(graph.item->Zoom, 1.25);
    EXPECT_EQ(asked, 7) << "the event comes all the same";
}

TEST(GraphView, ASecondZoomOnTheSameSelectionLeavesTheView) {
    NEED_DISPLAY();
    struct Case {
        bool animate;
        double start, end;
    } const cases[] = {
        {false, 25, 50}, {true, 25, 50}, {true, 50, 100}, {true, 10, 35}, {true, 33.3, 41.7}, {true, 0, 12.5},
        {true, 17, 29}, {true, 61, 67}, {true, 3, 97}, {true, 45.5, 46.5}, {true, 70, 90}, {true, 12.34, 56.78},
    };
    for (const Case& c : cases) {
        Graph graph;
        graph.component.Animate = c.animate;
        graph.component.AnimationDuration = 90; // three steps
        graph.item->StartupAnim = false;
        graph.item->SelectionStart = c.start;
        graph.item->SelectionEnd = c.end;
        graph.component.Zoom();
        const double zoom = graph.item->Zoom;
        const int maximum = graph.component.GetScrollBarMax();
        const int position = graph.component.GetScrollBarPosition();
        const double first = graph.item->FPosition;
        EXPECT_NEAR(position, std::trunc(maximum * c.start / 100), 1) << c.start << " ... " << c.end;
        graph.component.Zoom();
        EXPECT_EQ(graph.item->Zoom, zoom) << c.animate << " " << c.start << " ... " << c.end;
        EXPECT_EQ(graph.component.GetScrollBarMax(), maximum) << c.animate << " " << c.start << " ... " << c.end;
        EXPECT_EQ(graph.component.GetScrollBarPosition(), position) << c.animate << " " << c.start << " ... " << c.end;
        EXPECT_EQ(graph.item->FPosition, first) << c.animate << " " << c.start << " ... " << c.end;
    }
}

TEST(GraphView, MouseSelectionGlobalAndPerCurve) {
    NEED_DISPLAY();
    Graph graph;
    std::vector<TGraphDisplayGraphItem*> selected;
    graph.component.OnSelection = [&](TGraphDisplay3D* sender, TGraphDisplayItem* item, TGraphDisplayGraphItem* g) {
        EXPECT_EQ(sender, &graph.component);
        EXPECT_EQ(item, graph.item);
        selected.push_back(g);
    };
    QWidget* surface = graph.Surface();
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(graph.At(20), 50));
    EXPECT_NEAR(graph.item->SelectionStart, 20, 0.3);
    QTest::mouseMove(surface, QPoint(graph.At(30), 60));
    EXPECT_NEAR(graph.item->SelectionStart, 30, 0.3) << "the drag moves the start";
    EXPECT_TRUE(graph.component.MovingSelection());
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(graph.At(30), 60));
    EXPECT_FALSE(graph.component.MovingSelection());
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(graph.At(70), 50));
    EXPECT_NEAR(graph.item->SelectionEnd, 70, 0.3);
    ASSERT_FALSE(selected.empty());
    EXPECT_EQ(selected.back(), nullptr) << "the item-wide selection names no curve";

    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(graph.At(90), 50));
    EXPECT_EQ(graph.item->SelectionStart, graph.item->SelectionEnd) << "a start right of the end: empty, at the end";
    graph.item->SelectionStart = 40;
    graph.item->SelectionEnd = 60;
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(graph.At(10), 50));
    EXPECT_EQ(graph.item->SelectionEnd, 40) << "an end left of the start: empty, at the start";

    // Per curve: the band under the mouse picks the curve.
    graph.item->SelectionMode = gdismSingle;
    graph.item->DisplayType = gdtMulti;
    graph.item->MultiCount = 2;
    TGraphDisplayGraphItem* lower = graph.item->GraphItems.Add();
    lower->Group = 1;
    lower->SelectionEnd = 100;
    const int height = graph.component.innerPanel()->height();
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(graph.At(50), height * 3 / 4));
    EXPECT_NEAR(lower->SelectionStart, 50, 0.3);
    EXPECT_EQ(selected.back(), lower);
    EXPECT_EQ(graph.item->SelectionStart, 40) << "the item's own selection is left alone";

    graph.component.AllowSelect = false;
    QTest::mouseClick(surface, Qt::LeftButton, {}, QPoint(graph.At(10), height * 3 / 4));
    EXPECT_NEAR(lower->SelectionStart, 50, 0.3) << "AllowSelect off";
}

TEST(GraphView, ThePointerOnTheOpenGLWindowActsAsOnItsHolder) {
    NEED_DISPLAY();
    Graph graph;
    QWindow* window = graph.SurfaceWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->flags().testFlag(Qt::WindowDoesNotAcceptFocus)) << "the keys stay with the widgets";
    QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(graph.At(20), 50));
    EXPECT_NEAR(graph.item->SelectionStart, 20, 0.3);
    QTest::mouseClick(window, Qt::RightButton, {}, QPoint(graph.At(60), 50));
    EXPECT_NEAR(graph.item->SelectionEnd, 60, 0.3);
    AddMarker(*graph.item)->Position = 80;
    QTest::mouseMove(window, QPoint(graph.At(80), 50));
    EXPECT_EQ(graph.component.ActiveMarker(), 0);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(window, &leave);
    EXPECT_EQ(graph.component.ActiveMarker(), -1) << "leaving the window leaves the panel";
    EXPECT_EQ(window->cursor().shape(), Qt::ArrowCursor);
}

TEST(GraphView, MarkersHoverDragVetoAndDelete) {
    NEED_DISPLAY();
    Graph graph;
    TGraphDisplayMarker* marker = AddMarker(*graph.item);
    marker->Position = 50;
    std::vector<TGraphDisplayMarkerChangeType> changes;
    bool allowMove = true;
    bool allowDelete = false;
    graph.component.OnMarkerChange = [&](TGraphDisplay3D*, TGraphDisplayItem*, TGraphDisplayMarker*,
                                         TGraphDisplayMarkerChangeType change) {
        changes.push_back(change);
        if (change == gdmctMove)
            return allowMove;
        if (change == gdmctDelete)
            return allowDelete;
        return true;
    };
    // The real pointer reaches the OpenGL window, not its holder.
    QWindow* surface = graph.SurfaceWindow();
    ASSERT_NE(surface, nullptr);
    QTest::mouseMove(surface, QPoint(graph.At(50), 50));
    EXPECT_EQ(graph.component.ActiveMarker(), 0);
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back(), gdmctHover);
    EXPECT_EQ(surface->cursor().shape(), Qt::SplitHCursor);
    QTest::mouseMove(surface, QPoint(graph.At(20), 50));
    EXPECT_EQ(graph.component.ActiveMarker(), -1);
    EXPECT_EQ(changes.back(), gdmctLeave);
    EXPECT_EQ(surface->cursor().shape(), Qt::ArrowCursor);

    // Drag: the selection stays, the marker follows.
    const double selectionStart = graph.item->SelectionStart;
    QTest::mouseMove(surface, QPoint(graph.At(50), 50));
    QTest::mousePress(surface, Qt::LeftButton, {}, QPoint(graph.At(50), 50));
    QTest::mouseMove(surface, QPoint(graph.At(60), 50));
    EXPECT_NEAR(marker->Position, 60, 0.3);
    EXPECT_TRUE(graph.component.MovingMarker());
    EXPECT_EQ(graph.item->SelectionStart, selectionStart);
    allowMove = false;
    QTest::mouseMove(surface, QPoint(graph.At(70), 50));
    EXPECT_NEAR(marker->Position, 60, 0.3) << "a vetoed move stays";
    QTest::mouseRelease(surface, Qt::LeftButton, {}, QPoint(graph.At(70), 50));

    // Delete by the right button: vetoed, then allowed.
    QTest::mouseMove(surface, QPoint(graph.At(60), 50));
    ASSERT_EQ(graph.component.ActiveMarker(), 0);
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(graph.At(60), 50));
    EXPECT_EQ(graph.item->Markers.Count(), 1);
    allowDelete = true;
    QTest::mouseMove(surface, QPoint(graph.At(60), 51));
    const double selectionEnd = graph.item->SelectionEnd;
    QTest::mouseClick(surface, Qt::RightButton, {}, QPoint(graph.At(60), 51));
    EXPECT_EQ(graph.item->Markers.Count(), 0);
    EXPECT_EQ(graph.component.ActiveMarker(), -1);
    EXPECT_EQ(graph.item->SelectionEnd, selectionEnd) << "deleting a marker selects nothing";
}

TEST(GraphView, QuickPlayByTheMiddleButtonAndTheSpaceKey) {
    NEED_DISPLAY();
    Graph graph;
    graph.component.AllowQuickPlay = true;
    graph.component.AllowAmplitudeChangeWithKey = true;
    graph.component.SetScrollBarHeight(12);
    std::vector<double> played;
    int paused = 0;
    TGraphDisplayPlayStatus status = gdpsStoped;
    graph.component.OnPlay = [&](TGraphDisplay3D*, TGraphDisplayItem*, double position) { played.push_back(position); };
    graph.component.OnPause = [&](TGraphDisplay3D*, TGraphDisplayItem*) { ++paused; };
    graph.component.OnNeedPlayStatus = [&](TGraphDisplay3D*, TGraphDisplayItem*) { return status; };
    QWidget* surface = graph.Surface();
    QTest::mouseClick(surface, Qt::MiddleButton, {}, QPoint(graph.At(30), 50));
    ASSERT_EQ(played.size(), 1U);
    EXPECT_NEAR(played[0], 30, 0.3);
    AddMarker(*graph.item)->Position = 80;
    QTest::mouseMove(surface, QPoint(graph.At(80) + 1, 50));
    QTest::mouseClick(surface, Qt::MiddleButton, {}, QPoint(graph.At(80) + 1, 50));
    ASSERT_EQ(played.size(), 2U);
    EXPECT_EQ(played[1], 80) << "from the hovered marker";

    // Hovering gives the scroll bar the keys.
    QTRY_VERIFY(graph.component.scrollBar()->hasFocus());
    QWidget* bar = graph.component.scrollBar();
    graph.item->SelectionStart = 12;
    struct Step {
        TGraphDisplayPlayStatus status;
        std::size_t plays;
        int pauses;
    };
    for (const Step& s : {Step{gdpsStoped, 3, 0}, Step{gdpsPlaying, 3, 1}, Step{gdpsPaused, 3, 2},
                          Step{gdpsRecording, 3, 2}}) {
        status = s.status;
        QTest::keyClick(bar, Qt::Key_Space);
        EXPECT_EQ(played.size(), s.plays) << "status " << s.status;
        EXPECT_EQ(paused, s.pauses) << "status " << s.status;
    }
    EXPECT_EQ(played.back(), 12) << "a stopped host plays from the selection's start";
    QTest::keyClick(bar, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_FLOAT_EQ(graph.item->SampleAmplitude, 1.2f);
    QTest::keyClick(bar, Qt::Key_Minus, Qt::KeypadModifier);
    QTest::keyClick(bar, Qt::Key_Minus, Qt::KeypadModifier);
    EXPECT_FLOAT_EQ(graph.item->SampleAmplitude, 0.8f);
    QTest::keyClick(bar, Qt::Key_Minus); // not the keypad's
    EXPECT_FLOAT_EQ(graph.item->SampleAmplitude, 0.8f);
    graph.component.OnKeyDown = [](QObject*, int& code) { code = code == 0x6B ? 0x6D : code; };
    QTest::keyClick(bar, Qt::Key_Plus, Qt::KeypadModifier);
    EXPECT_FLOAT_EQ(graph.item->SampleAmplitude, 0.6f) << "the host's key handler changed the key";
}

TEST(GraphView, AZoomedFrameShowsExactlyTheSelection) {
    NEED_DISPLAY();
    Graph graph(false);
    TGraphDisplayGraphItem* g = graph.item->GraphItems[0];
    graph.item->Axis.AxisX.GridVisible = false;
    graph.item->Axis.AxisY.GridVisible = false;
    graph.item->Axis.AxisX.Visible = false;
    graph.item->Axis.AxisY.Visible = false;
    graph.item->Axis.CenterLine = false;
    BuildCurveVertices(*graph.item, *g, 100000);
    graph.item->SelectionStart = 25;
    graph.item->SelectionEnd = 50;
    graph.component.Zoom();
    RenderOptions options = graph.component.renderOptions();
    options.showSelection = false;
    constexpr int kWidth = 400;
    constexpr int kHeight = 300;
    const QImage frame = RenderOffscreen(*graph.item, options, kWidth, kHeight);
    ASSERT_FALSE(frame.isNull());
    // The ramp's value v (sample 4v) lies at x = (v - 25) / 25 of the width, y by its value.
    auto green = [&frame](int x, int y) {
        for (int dy = -2; dy <= 2; ++dy) {
            const int py = std::clamp(y + dy, 0, kHeight - 1);
            if (frame.pixelColor(std::clamp(x, 0, kWidth - 1), py).green() > 0x80)
                return true;
        }
        return false;
    };
    for (const double v : {27.0, 30.0, 37.5, 45.0, 48.0}) {
        SamplesTransformInput in;
        in.zoom = 4;
        in.maximumVertexCount = graph.item->MaximumVertexCount();
        in.graphSampleAmplitude = g->SampleAmplitude;
        in.displayType = gdtPositive;
        in.itemPosition = 600;
        const TCustomVertex& vertex = g->VertexBufferSamples[static_cast<std::size_t>(v * 4)];
        const Vec3 p = WorldToPixel(SetupCamera(), SamplesTransform(in).TransformCoord({vertex.x, vertex.y, 0}), kWidth,
                                    kHeight);
        EXPECT_NEAR(p.x, (v - 25) / 25 * kWidth, 1.5) << "value " << v;
        EXPECT_TRUE(green(static_cast<int>(std::lround(p.x)), static_cast<int>(std::lround(p.y)))) << "value " << v;
    }
    // Nothing of the ramp outside 25 ... 50: the columns past the view's right edge would hold
    // values above 50, which lie higher than any pixel drawn at the right edge.
    int topGreen = kHeight;
    for (int y = 0; y < kHeight; ++y)
        if (frame.pixelColor(kWidth - 1, y).green() > 0x80) {
            topGreen = y;
            break;
        }
    SamplesTransformInput in;
    in.zoom = 4;
    in.maximumVertexCount = graph.item->MaximumVertexCount();
    in.graphSampleAmplitude = g->SampleAmplitude;
    in.displayType = gdtPositive;
    in.itemPosition = 600;
    const Vec3 fifty = WorldToPixel(SetupCamera(), SamplesTransform(in).TransformCoord({100, 50, 0}), kWidth, kHeight);
    EXPECT_NEAR(topGreen, fifty.y, 2) << "the right edge shows 50";
}

TEST(GraphView, TheStartupRotationTurnsTheCurvesFlatAndHidesTheSelectionMeanwhile) {
    NEED_DISPLAY();
    Graph graph(false);
    BuildCurveVertices(*graph.item, *graph.item->GraphItems[0], 100000);
    graph.item->SelectionStart = 25;
    graph.item->SelectionEnd = 50;
    RenderOptions options = graph.component.renderOptions();
    options.startupRotation = true;
    const QImage flat = RenderOffscreen(*graph.item, options, 200, 150);
    ASSERT_FALSE(flat.isNull());
    graph.component.SetupStartupAnim(0);
    const QImage first = RenderOffscreen(*graph.item, options, 200, 150);
    EXPECT_NE(first, flat) << "turned on edge at first, without its selection";
    EXPECT_EQ(first.pixelColor(75, 20), RenderOffscreen(*graph.item, [&] {
                  RenderOptions plain = options;
                  plain.showSelection = false;
                  return plain;
              }(), 200, 150).pixelColor(75, 20)) << "the selection waits";
    int frames = 2;
    while (graph.item->StartupAnim && frames < 100) {
        RenderOffscreen(*graph.item, options, 200, 150);
        ++frames;
    }
    EXPECT_EQ(frames, 51) << "one step per curve and frame";
    EXPECT_EQ(RenderOffscreen(*graph.item, options, 200, 150), flat) << "flat again, selection back";
}

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    else
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static auto* app = new QApplication(argc, argv);
    Q_UNUSED(app);
    static auto* keepSurface = new QOffscreenSurface;
    keepSurface->create();
    static auto* keepContext = new QOpenGLContext;
    keepContext->create();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
