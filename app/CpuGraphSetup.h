#pragma once
// The main window's CPU usage graph: the component's settings and its display item.

#include "graph/GraphDisplay3D.h"

namespace kelvane {

inline const QString kCpuGraphCaption = QStringLiteral("CPU usage graph requires an OpenGL compatible 3D GFX card");

// The component as laid out on the main window.
void SetUpCpuGraphComponent(graph::TGraphDisplay3D& component);
// What a frame of the CPU graph draws with (the component's settings as render options).
graph::RenderOptions CpuGraphRenderOptions();
// The display item: values 0 ... 100 from the bottom edge up, a 4 x 4 grey grid, no axis labels,
// and graph item 0 in green.
graph::TGraphDisplayItem* AddCpuGraphItem(graph::TGraphDisplayItems& items);

} // namespace kelvane
