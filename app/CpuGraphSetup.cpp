#include "app/CpuGraphSetup.h"

namespace kelvane {

void SetUpCpuGraphComponent(graph::TGraphDisplay3D& c) {
    c.SetCaption(kCpuGraphCaption);
    c.MaximumVertexCount = 100000;
    c.Animate = false;
    c.ScrollBarHeight = 0;
    c.ShowMarkers = false;
    c.ShowSelection = false;
    c.AllowSelect = false; // the window's graph only shows the whole data at zoom 1
    c.AllowQuickPlay = false;
    c.AllowWheelZoom = false;
    c.AllowAmplitudeChangeWithKey = false;
    c.SuppressErrors = true;
    c.Antialiasing = true;
}

graph::RenderOptions CpuGraphRenderOptions() {
    graph::RenderOptions options;
    options.showMarkers = false;
    options.showSelection = false;
    options.antialiasing = true;
    options.animate = false;
    options.maximumVertexCount = 100000;
    return options;
}

graph::TGraphDisplayItem* AddCpuGraphItem(graph::TGraphDisplayItems& items) {
    graph::TGraphDisplayItem* item = items.Add();
    item->DisplayType = graph::gdtPositive;
    item->Axis.AxisY.RangeType = graph::gdiartCustom;
    item->Axis.AxisY.CustomRangeMaximum = 100.0;
    item->Axis.AxisY.GridCount = 4;
    item->Axis.AxisX.GridCount = 4;
    item->Axis.AxisY.GridColor = 0xFF666666;
    item->Axis.AxisX.GridColor = 0xFF666666;
    item->Axis.AxisY.Visible = false;
    item->Axis.AxisX.Visible = false;
    item->GraphItems.Add()->Color = 0x00FF00;
    return item;
}

} // namespace kelvane
