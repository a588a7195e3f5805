#include "app/CpuGraphFeed.h"

#include <algorithm>

#include "app/CpuGraphSetup.h"

namespace kelvane {

std::vector<float> SamplesFromRing(const std::vector<float>& ring, std::uint32_t position, int width) {
    const std::size_t w = width > 0 ? static_cast<std::size_t>(width) : 0;
    std::vector<float> samples(w, 0.0f);
    const std::size_t length = ring.size();
    if (w == 0 || length == 0)
        return samples;
    const std::size_t p = std::min<std::size_t>(position, length);
    const std::size_t take = std::min(w, length); // never more than the ring holds
    // The `take` newest slots are p - take ... p - 1, counted cyclically.
    for (std::size_t k = 0; k < take; ++k) {
        const std::size_t slot = (p + length - take + k) % length;
        samples[w - take + k] = ring[slot];
    }
    return samples;
}

void UpdateCPUUsageGraph(graph::TGraphDisplay3D& component, const UsageRing& ring, int graphIndex,
                         const std::function<void(const QString&)>& report) {
    graph::TGraphDisplayItem* item = component.Items[0];
    graph::TGraphDisplayGraphItem* curve = item != nullptr ? item->GraphItems[graphIndex] : nullptr;
    if (curve == nullptr)
        return;
    const std::vector<float> values = SamplesFromRing(ring.values(), ring.position(), component.width() - 4);
    std::vector<graph::TGDGISample>& samples = *curve->Samples;
    samples.assign(values.size(), graph::TGDGISample{});
    for (std::size_t i = 0; i < values.size(); ++i)
        samples[i].Value = values[i];
    try {
        component.CreateVertexesFromSamples(0, graphIndex);
    } catch (...) {
        if (report)
            report(QString::number(ring.position()));
    }
}

void InitializeCPUGraph(graph::TGraphDisplay3D& component) {
    AddCpuGraphItem(component.Items);
    component.SetActiveIndex(component.Items.Count() - 1);
    component.Initialize(0);
}

} // namespace kelvane
