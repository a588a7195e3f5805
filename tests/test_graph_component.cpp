// The graph component's model and its behaviour without OpenGL (the offscreen platform).

#include <gtest/gtest.h>

#include <QApplication>
#include <stdexcept>

#include "app/CpuGraphSetup.h"
#include "graph/GraphDisplay3D.h"
#include "graph/TextLayout.h"

using namespace kelvane;
using namespace kelvane::graph;

TEST(GraphModel, ListsKeepIndexesAndTheActiveItem) {
    TGraphDisplay3D component;
    EXPECT_EQ(component.ActiveIndex(), -1);
    TGraphDisplayItem* item = component.Items.Add();
    EXPECT_EQ(component.ActiveIndex(), 0) << "the first item becomes active";
    item->Name = QStringLiteral("cpu");
    component.Items.Add();
    EXPECT_EQ(component.FindItem(QStringLiteral("cpu")), 0);
    EXPECT_EQ(component.FindItem(QString()), -1) << "even though item 1 has an empty name";

    TGraphDisplayGraphItem* first = item->GraphItems.Add();
    TGraphDisplayGraphItem* second = item->GraphItems.Add();
    EXPECT_EQ(second->Index, 1);
    first->Delete();
    EXPECT_EQ(item->GraphItems.Count(), 1);
    EXPECT_EQ(item->GraphItems[0]->Index, 0) << "renumbered";

    EXPECT_EQ(item->MaximumVertexCount(), 1) << "never 0";
    item->SetLength(10);
    EXPECT_EQ(item->SelectionEnd, 10.0);
    EXPECT_EQ(item->GraphItems[0]->SelectionEnd, 10.0);
    item->GraphItems[0]->SetPosition(1);
    EXPECT_EQ(item->GraphItems[0]->FPosition, -600.0);
    EXPECT_EQ(item->GraphItems[0]->Position(), 1.0);
    EXPECT_EQ(item->MinimumAmplitude(), 1.0f);
    EXPECT_EQ(item->MaximumAmplitudeGraph(), 0);

    component.OnMarkerChange = [](TGraphDisplay3D*, TGraphDisplayItem*, TGraphDisplayMarker* marker,
                                  TGraphDisplayMarkerChangeType change) {
        return !(change == gdmctAdd && marker->Index == 1); // veto the second
    };
    EXPECT_NE(AddMarker(*item), nullptr);
    EXPECT_EQ(AddMarker(*item), nullptr);
    EXPECT_EQ(item->Markers.Count(), 1);

    component.Items.Clear();
    EXPECT_EQ(component.ActiveIndex(), -1);
    component.Render(); // nothing to draw, nothing happens
}

TEST(GraphComponent, WithoutOpenGLItStaysAPanelShowingItsCaption) {
    TGraphDisplay3D component;
    EXPECT_EQ(component.Caption(), QStringLiteral("TGraphDisplay3D by Norvik"));
    SetUpCpuGraphComponent(component);
    component.resize(221, 129);
    component.show();
    TGraphDisplayItem* item = AddCpuGraphItem(component.Items);
    ASSERT_TRUE(item->GraphItems[0]->Samples);
    item->GraphItems[0]->Samples->assign(50, TGDGISample{10, 0, 0});
    EXPECT_TRUE(component.Initialize(0));
    EXPECT_FALSE(component.HasDevice());
    EXPECT_EQ(component.panelText(), kCpuGraphCaption);
    EXPECT_EQ(item->GraphItems[0]->VertexCountSamples, 0) << "nothing is built without a device";
    component.Render();

    component.SuppressErrors = false;
    try {
        component.InitD3D(0);
        ADD_FAILURE() << "no error raised";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Error while creating D3D Device!");
    }
}

TEST(GraphComponent, ThousandsOfResizesAndItemCyclesDoNotBreakIt) {
    TGraphDisplay3D component;
    component.SuppressErrors = true;
    component.show();
    for (int i = 0; i < 1000; ++i) {
        TGraphDisplayItem* item = AddCpuGraphItem(component.Items);
        item->GraphItems.Add();
        AddMarker(*item);
        component.Initialize(0);
        component.resize(100 + i % 300, 80 + i % 200);
        component.Items.Clear();
    }
    EXPECT_EQ(component.Items.Count(), 0);
    EXPECT_EQ(component.ActiveIndex(), -1);
}

TEST(GraphComponent, StreamOperationsAndTheLogo) {
    TGraphDisplay3D component;
    component.SuppressErrors = true;
    component.Items.Add();
    component.Items.Add()->Name = QStringLiteral("second");
    EXPECT_FALSE(component.PauseStream(0)) << "no handler";
    TGraphDisplayItem* paused = nullptr;
    component.OnPause = [&paused](TGraphDisplay3D*, TGraphDisplayItem* item) { paused = item; };
    EXPECT_TRUE(component.PauseStream(1));
    EXPECT_EQ(paused, component.Items[1]);
    component.StreamClose(0);
    EXPECT_EQ(component.Items.Count(), 1);
    EXPECT_EQ(component.Items[0]->Index, 0);
    EXPECT_EQ(component.FindItem(QStringLiteral("second")), 0);
    component.SetupStartupAnim(0);
    EXPECT_TRUE(component.Items[0]->StartupAnim);
    EXPECT_EQ(component.Items[0]->StartupAnimAngle, 0.0f);
    component.show();
    component.ShowLogo();
    EXPECT_TRUE(component.LogoVisible());
}

TEST(GraphComponent, FramesPerSecondOverTheLastSecond) {
    TGraphDisplay3D component;
    std::int64_t now = 5000;
    component.clock = [&now] { return now; };
    for (int i = 1; i <= 31; ++i) {
        now += 33;
        component.FrameDrawn();
    }
    EXPECT_EQ(component.FPS(), 0U) << "nothing during the first second";
    now += 33;
    component.FrameDrawn();
    EXPECT_EQ(component.FPS(), 30U) << "31 frames over 1023 ms";
}

TEST(GraphComponent, SamplesAreAskedForBeforeEachBuild) {
    TGraphDisplay3D component;
    component.SuppressErrors = true;
    TGraphDisplayItem* item = AddCpuGraphItem(component.Items);
    int asked = 0;
    component.OnNeedSamples = [&](TGraphDisplay3D* sender, TGraphDisplayItem* forItem, TGraphDisplayGraphItem* g) {
        EXPECT_EQ(sender, &component);
        EXPECT_EQ(forItem, item);
        EXPECT_EQ(g, item->GraphItems[0]);
        ++asked;
    };
    component.InitializeGeometries(0);
    EXPECT_EQ(asked, 1);
}

TEST(TextLayout, YLabelsAndLegendLines) {
    TGraphDisplayItems items{GraphComponentHooks{}};
    TGraphDisplayItem* item = AddCpuGraphItem(items);
    item->Axis.AxisY.Visible = true;
    const std::vector<YLabel> labels = YLabels(*item, 129);
    ASSERT_EQ(labels.size(), 4U) << "none at the baseline";
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(labels[i].value, 25.0 * static_cast<double>(i + 1));
        EXPECT_NEAR(labels[i].y, 129 - 0.0275 * 129 - 0.945 * 129 / 4 * static_cast<double>(i + 1), 1e-9);
        EXPECT_TRUE(labels[i].above);
    }
    item->DisplayType = gdtMono;
    const std::vector<YLabel> mono = YLabels(*item, 100);
    ASSERT_EQ(mono.size(), 8U);
    EXPECT_NEAR(mono[0].y, 50 - 50 * 0.945 / 4, 1e-9);
    EXPECT_FALSE(mono[1].above);

    item->GraphItems.Add();
    item->Legend.Position = gdilpBottomLeft;
    const std::vector<LegendLine> lines = LegendLines(*item, 129);
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0].top, static_cast<int>(129 / 1.25));
    EXPECT_EQ(lines[1].top, static_cast<int>(129 / 1.25 + 12 * 1.5));
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
