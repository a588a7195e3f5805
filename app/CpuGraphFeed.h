#pragma once
// Feeding the CPU graph from the usage rings: each refresh turns a ring into the newest W samples
// of a curve, newest at the right end.

#include <vector>

#include "engine/ProcessMonitor.h"
#include "graph/GraphDisplay3D.h"

namespace kelvane {

// The W newest values of a ring whose write position is `position`, oldest first. When the ring
// holds fewer than W values (a window widened past the screen width read at start), the ring's
// values fill the right end and the rest stay 0: nothing is read past the ring.
std::vector<float> SamplesFromRing(const std::vector<float>& ring, std::uint32_t position, int width);

// Fills graph item `graphIndex` of the active display item from the ring and rebuilds its
// vertices (UpdateCPUUsageGraph for item 0, UpdateCPUUsageGraphForProcess for item 1). A failure
// while rebuilding shows the ring's write position through `report`.
void UpdateCPUUsageGraph(graph::TGraphDisplay3D& component, const UsageRing& ring, int graphIndex,
                         const std::function<void(const QString&)>& report);

// A fresh display item with its settings and the green curve, then Initialize(0).
void InitializeCPUGraph(graph::TGraphDisplay3D& component);

} // namespace kelvane
