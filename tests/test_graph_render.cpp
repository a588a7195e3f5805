// The graph component on a real OpenGL context (Mesa under Xvfb; CTest runs this with
// run-under-x.sh): pixels where the transforms put them, the blend equations, the widget's device.
// Without a display the tests that need OpenGL skip and say so.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QOffscreenSurface>
#include <QOpenGLContext>

#include "app/CpuGraphSetup.h"
#include "graph/OffscreenFrame.h"
#include "graph/GraphDisplay3D.h"
#include <QScrollBar>

using namespace kelvane;
using namespace kelvane::graph;

namespace {

bool HasDisplay() { return !qEnvironmentVariableIsEmpty("DISPLAY"); }

// The main window's CPU graph with a ramp 0 ... 100 over `count` samples.
struct CpuGraph {
    TGraphDisplayItems items{GraphComponentHooks{}};
    TGraphDisplayItem* item = AddCpuGraphItem(items);
    RenderOptions options = CpuGraphRenderOptions();

    explicit CpuGraph(int count) {
        options.antialiasing = false; // exact pixels
        SetRamp(0, count, false);
    }
    void SetRamp(int graphIndex, int count, bool down) {
        TGraphDisplayGraphItem* g = item->GraphItems[graphIndex];
        ASSERT_TRUE(g != nullptr && g->Samples);
        g->Samples->clear();
        for (int i = 0; i < count; ++i) {
            const float v = 100.0f * static_cast<float>(i) / static_cast<float>(count - 1);
            g->Samples->push_back({down ? 100.0f - v : v, 0, 0});
        }
        BuildCurveVertices(*item, *g, options.maximumVertexCount);
    }
    // Where a curve's sample lands on a width x height picture.
    Vec3 SamplePixel(int graphIndex, int k, int width, int height) {
        TGraphDisplayGraphItem* g = item->GraphItems[graphIndex];
        SamplesTransformInput in;
        in.maximumVertexCount = item->MaximumVertexCount();
        in.graphSampleAmplitude = g->SampleAmplitude;
        in.displayType = gdtPositive;
        const TCustomVertex& v = g->VertexBufferSamples[static_cast<std::size_t>(k)];
        return WorldToPixel(SetupCamera(), SamplesTransform(in).TransformCoord({v.x, v.y, v.z}), width, height);
    }
    Vec3 GridPixel(float gridX, float gridY, int width, int height) {
        return WorldToPixel(SetupCamera(), CoordinatesTransform(gdtPositive, 0, 1).TransformCoord({gridX, gridY, 0}),
                            width, height);
    }
};

// Whether some pixel within `radius` of (x, y) satisfies `test`.
template <typename Test> bool Near(const QImage& image, float x, float y, int radius, Test test) {
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const int px = static_cast<int>(std::lround(x)) + dx;
            const int py = static_cast<int>(std::lround(y)) + dy;
            if (px >= 0 && py >= 0 && px < image.width() && py < image.height() && test(image.pixelColor(px, py)))
                return true;
        }
    return false;
}

bool IsGrey(const QColor& c) { return c.red() == c.green() && c.green() == c.blue() && c.red() >= 0x50 && c.red() < 0xF0; }
bool IsGreen(const QColor& c) { return c.green() > 0xC0 && c.red() < 0x40; }
bool IsWhite(const QColor& c) { return c.red() > 0xF0 && c.green() > 0xF0 && c.blue() > 0xF0; }
bool IsYellow(const QColor& c) { return c.red() > 0xC0 && c.green() > 0xC0 && c.blue() < 0x40; }

} // namespace

TEST(GraphRender, CpuGraphPixelsWhereTheTransformsPutThem) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)";
    constexpr int kWidth = 221;
    constexpr int kHeight = 129;
    CpuGraph graph(217);
    const QImage frame = RenderOffscreen(*graph.item, graph.options, kWidth, kHeight);
    ASSERT_FALSE(frame.isNull()) << "no OpenGL context under this display";
    ASSERT_EQ(frame.size(), QSize(kWidth, kHeight));

    for (const float height : {0.25f, 0.5f, 0.75f}) { // horizontal grid, away from the curve
        const Vec3 p = graph.GridPixel(20, height, kWidth, kHeight);
        EXPECT_TRUE(Near(frame, 8, p.y, 1, IsGrey)) << "grid at " << height << " row " << p.y;
        EXPECT_FALSE(Near(frame, 8, p.y + 5, 0, IsGrey)) << "nothing between grid lines";
    }
    for (const int j : {1, 2, 3}) { // vertical grid at a quarter, half and three quarters of the width
        const Vec3 p = graph.GridPixel(600.0f * static_cast<float>(j) / 4 + 299, 0.9f, kWidth, kHeight);
        EXPECT_NEAR(p.x, static_cast<float>(kWidth * j) / 4.0f, 1.0f);
        EXPECT_TRUE(Near(frame, p.x, 10, 1, IsGrey)) << "vertical line " << j;
    }
    const Vec3 baseline = graph.GridPixel(20, 0, kWidth, kHeight);
    EXPECT_TRUE(Near(frame, 200, baseline.y, 1, IsWhite)) << "the centre line is white, row " << baseline.y;
    for (const int k : {30, 108, 180}) {
        const Vec3 p = graph.SamplePixel(0, k, kWidth, kHeight);
        EXPECT_TRUE(Near(frame, p.x, p.y, 1, IsGreen)) << "sample " << k << " at " << p.x << "," << p.y;
    }
    EXPECT_TRUE(IsGreen(frame.pixelColor(0, 0)) || frame.pixelColor(0, 0) == QColor(Qt::black));
    EXPECT_EQ(frame.pixelColor(kWidth / 4 + 10, 15), QColor(Qt::black)) << "the background is black";
}

TEST(GraphRender, ARedCurveOverAGreenOneAddsUpToYellow) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)";
    CpuGraph graph(101);
    graph.item->GraphItems.Add()->Color = 0x0000FF; // red, drawn after the green one
    graph.SetRamp(1, 101, true);
    graph.item->Axis.AxisX.GridVisible = false;
    graph.item->Axis.AxisY.GridVisible = false;
    const QImage frame = RenderOffscreen(*graph.item, graph.options, 400, 300);
    ASSERT_FALSE(frame.isNull());
    const Vec3 crossing = graph.SamplePixel(0, 50, 400, 300);
    EXPECT_TRUE(Near(frame, crossing.x, crossing.y, 1, IsYellow)) << "src x src + dst x dst";
    const Vec3 greenOnly = graph.SamplePixel(0, 20, 400, 300);
    EXPECT_TRUE(Near(frame, greenOnly.x, greenOnly.y, 1, IsGreen));
}

TEST(GraphRender, WidgetMakesADeviceAndSurvivesResizesAndClears) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)";
    TGraphDisplay3D component;
    SetUpCpuGraphComponent(component);
    component.resize(221, 129);
    component.show();
    TGraphDisplayItem* item = AddCpuGraphItem(component.Items);
    EXPECT_EQ(component.ActiveIndex(), 0);
    ASSERT_TRUE(item->GraphItems[0]->Samples);
    item->GraphItems[0]->Samples->assign(100, TGDGISample{50, 0, 0});
    ASSERT_TRUE(component.Initialize(0));
    EXPECT_TRUE(component.HasDevice());
    EXPECT_EQ(item->GraphItems[0]->VertexCountSamples, 99);
    for (int i = 0; i < 200; ++i) { // each resize makes a new device and rebuilds the curves
        component.resize(221 + i % 50, 129 + i % 30);
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(component.HasDevice());
    EXPECT_EQ(item->GraphItems[0]->VertexCountSamples, 99);
    for (int i = 0; i < 1000; ++i) {
        TGraphDisplayItem* added = AddCpuGraphItem(component.Items);
        added->GraphItems.Add();
        component.Items.Clear();
    }
    EXPECT_EQ(component.ActiveIndex(), -1);
    component.Render(); // no active item: nothing
    int destroyed = 0;
    component.OnD3DDestroy = [&destroyed](TGraphDisplay3D*) { ++destroyed; };
    component.D3DFree(false);
    EXPECT_EQ(destroyed, 1) << "no item uses the device any more";
    EXPECT_FALSE(component.HasDevice());
    component.OnD3DDestroy = nullptr;
}

TEST(GraphRender, AFrameFiresItsEventsAndDrawsItsLabels) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)";
    TGraphDisplay3D component;
    TGraphDisplayItem* item = AddCpuGraphItem(component.Items);
    item->Axis.AxisY.Visible = true;
    item->Axis.AxisY.Position = gdiapyLeft;
    item->Axis.AxisY.Font.family = QStringLiteral("DejaVu Sans");
    item->GraphItems[0]->Samples->assign(50, TGDGISample{40, 0, 0});
    BuildCurveVertices(*item, *item->GraphItems[0], 100000);
    QStringList order;
    std::vector<double> asked;
    component.BeforeD3DRender = [&](TGraphDisplay3D*, TGraphDisplayItem*) { order.append(QStringLiteral("before")); };
    component.BeforeD3DSamplesRender = [&](TGraphDisplay3D*, TGraphDisplayItem*) { order.append(QStringLiteral("samples")); };
    component.AfterD3DSamplesRender = [&](TGraphDisplay3D*, TGraphDisplayItem*) { order.append(QStringLiteral("samples done")); };
    component.AfterD3DRender = [&](TGraphDisplay3D*, TGraphDisplayItem*) { order.append(QStringLiteral("after")); };
    const QImage plain = RenderOffscreen(*item, component.renderOptions(), 221, 129);
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(order, (QStringList{QStringLiteral("before"), QStringLiteral("samples"), QStringLiteral("samples done"),
                                  QStringLiteral("after")}));
    // The built-in "+25" ... "+100" are drawn at the left edge beside the grid lines.
    bool white = false;
    const int top = static_cast<int>(129 - 0.0275 * 129 - 0.945 * 129 / 4 * 2 - 6);
    for (int y = top; y < top + 12; ++y)
        for (int x = 3; x < 25; ++x)
            white = white || plain.pixelColor(x, y).red() > 0xC0;
    EXPECT_TRUE(white) << "the +50 label";
    component.OnNeedAxisYText = [&](TGraphDisplay3D*, TGraphDisplayItem*, double v) {
        asked.push_back(v);
        return QStringLiteral("%1 %").arg(v);
    };
    RenderOffscreen(*item, component.renderOptions(), 221, 129);
    EXPECT_EQ(asked, (std::vector<double>{25, 50, 75, 100}));

    item->Axis.AxisX.Visible = true;
    item->SetLength(8);
    std::vector<double> askedX;
    component.OnNeedAxisXText = [&](TGraphDisplay3D*, TGraphDisplayItem*, double v) {
        askedX.push_back(v);
        return QString::number(v);
    };
    RenderOffscreen(*item, component.renderOptions(), 221, 129);
    EXPECT_EQ(askedX, (std::vector<double>{2, 4, 6})) << "three labels across a length of 8";
}

TEST(GraphRender, SelectionsCoverTheirStretchOnly) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)";
    for (const TGraphDisplayItemSelectionMode mode : {gdismGlobal, gdismSingle}) {
        CpuGraph graph(217);
        graph.item->SelectionMode = mode;
        if (mode == gdismSingle) { // a curve's own band spans its data range of 1
            graph.item->Axis.AxisY.CustomRangeMaximum = 1;
            graph.SetRamp(0, 217, false);
        }
        graph.item->SetLength(1);
        graph.item->SelectionStart = 0.25;
        graph.item->GraphItems[0]->SelectionStart = 0.25;
        graph.item->GraphItems[0]->SelectionEnd = 0.75;
        graph.item->SelectionEnd = 0.75;
        const QImage plain = RenderOffscreen(*graph.item, graph.options, 221, 129);
        graph.options.showSelection = true;
        const QImage selected = RenderOffscreen(*graph.item, graph.options, 221, 129);
        ASSERT_FALSE(plain.isNull());
        EXPECT_NE(selected.pixelColor(88, 20), plain.pixelColor(88, 20)) << "inside, mode " << mode;
        EXPECT_EQ(selected.pixelColor(20, 20), plain.pixelColor(20, 20)) << "outside, mode " << mode;
        EXPECT_EQ(selected.pixelColor(200, 20), plain.pixelColor(200, 20)) << "outside, mode " << mode;
    }
}

TEST(GraphRender, TheCursorAndTheViewFollowThePlayback) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)";
    TGraphDisplay3D component;
    component.ScrollBarHeight = 10;
    component.resize(300, 150);
    component.show();
    TGraphDisplayItem* item = AddCpuGraphItem(component.Items);
    item->GraphItems[0]->Samples->assign(201, TGDGISample{10, 0, 0});
    item->SetLength(100);
    ASSERT_TRUE(component.Initialize(0));
    component.ShowCursor = true;
    component.SampleScroll = true;
    component.SetScrollBarMax(10000);
    component.OnNeedPlayStatus = [](TGraphDisplay3D*, TGraphDisplayItem*) { return gdpsPlaying; };
    component.OnNeedPlaybackPosition = [](TGraphDisplay3D*, TGraphDisplayItem*) { return 50.0; };
    component.Render();
    EXPECT_FLOAT_EQ(component.CursorX(), 50.0f / 100 * 200 / 2) << "position / Length x vertices / 2";
    EXPECT_EQ(component.scrollBar()->value(), 5000 - 300);
}

// Labels drawn after others have grown the glyph cache still show every character: a caption of
// digits drawn after axis labels of the same font (the digits first, then enough letters to need a
// bigger cache) has the ink it has when drawn alone.
TEST(GraphRender, LabelsKeepTheirGlyphsWhenTheGlyphCacheGrows) {
    if (!HasDisplay())
        GTEST_SKIP() << "no X display (CTest runs this under xvfb-run; install xvfb)";
    constexpr int kWidth = 400;
    constexpr int kHeight = 300;
    const FontSpec font{QStringLiteral("DejaVu Sans"), 14, 0xFFFFFF, false, false};
    CpuGraph graph(50);
    graph.item->Caption.Text = QStringLiteral("0123456789");
    graph.item->Caption.Visible = true;
    graph.item->Caption.Font = font;
    graph.item->Axis.AxisY.Font = font;
    graph.item->Axis.AxisY.Position = gdiapyLeft;
    graph.item->Legend.Visible = false;
    // The labels from the bottom: 25 (the caption's digits), 50 and 75 (letters), 100 (none).
    graph.options.axisYText = [](TGraphDisplayItem*, double v) {
        return v < 30   ? QStringLiteral("0123456789")
               : v < 60 ? QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ")
               : v < 90 ? QStringLiteral("abcdefghijklmnopqrstuvwxyz")
                        : QString();
    };
    // White pixels where the caption goes (its top is 25 px down, centred).
    auto captionInk = [&](const QImage& frame) {
        int ink = 0;
        for (int y = 22; y < 50; ++y)
            for (int x = 100; x < 300; ++x)
                ink += frame.pixelColor(x, y).red() > 0xA0 && frame.pixelColor(x, y).blue() > 0xA0 ? 1 : 0;
        return ink;
    };
    graph.item->Axis.AxisY.Visible = false;
    const int alone = captionInk(RenderOffscreen(*graph.item, graph.options, kWidth, kHeight));
    ASSERT_GT(alone, 100) << "the caption is drawn";
    graph.item->Axis.AxisY.Visible = true;
    const int afterLabels = captionInk(RenderOffscreen(*graph.item, graph.options, kWidth, kHeight));
    EXPECT_GE(afterLabels, alone * 95 / 100) << "the caption's digits lost ink: " << afterLabels << " of " << alone;
}

int main(int argc, char** argv) {
    // OpenGL needs a real platform: the X display when there is one.
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    // The application and one context live to the very end, so the platform plugins and the
    // OpenGL driver are still loaded when the leak checker of sanitizer builds looks: their own
    // allocations are then named, and suppressed (tests/lsan.supp).
    static auto* app = new QApplication(argc, argv);
    Q_UNUSED(app);
    static auto* keepSurface = new QOffscreenSurface;
    keepSurface->create();
    static auto* keepContext = new QOpenGLContext;
    keepContext->create();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
