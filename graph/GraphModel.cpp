#include "graph/GraphModel.h"

#include "graph/Geometry.h"

#include <limits>

namespace kelvane::graph {

namespace {
constexpr float kFloatMax = 3.402823e38f;
}

void TGraphDisplayGraphItem::Delete() { Owner->GraphItems.Delete(Index); }

TGraphDisplayItem::TGraphDisplayItem(TGraphDisplayItems* owner) : Owner(owner) {}

TGraphDisplayItem::~TGraphDisplayItem() {
    // Destroyed under its render lock, so no frame is drawn from a half-freed item.
    const std::lock_guard<std::recursive_mutex> lock(RenderCriticalSection);
    Markers.Clear();
    GraphItems.Clear();
}

void TGraphDisplayItem::SetLength(double value) {
    FLength = value;
    SelectionEnd = value;
    for (int i = 0; i < GraphItems.Count(); ++i)
        GraphItems[i]->SelectionEnd = value;
}

int TGraphDisplayItem::MaximumVertexCount() const {
    int maximum = 0;
    for (int i = 0; i < GraphItems.Count(); ++i)
        maximum = std::max(maximum, GraphItems[i]->VertexCountSamples);
    return maximum > 0 ? maximum : 1;
}

float TGraphDisplayItem::MaximumAmplitude() const {
    float maximum = 0;
    for (int i = 0; i < GraphItems.Count(); ++i)
        maximum = std::max(maximum, GraphItems[i]->SampleAmplitude);
    return maximum;
}

float TGraphDisplayItem::MinimumAmplitude() const {
    float minimum = kFloatMax;
    for (int i = 0; i < GraphItems.Count(); ++i)
        minimum = std::min(minimum, GraphItems[i]->SampleAmplitude);
    return minimum;
}

double TGraphDisplayItem::MinimumAmplitudeValue() const {
    double minimum = static_cast<double>(kFloatMax);
    for (int i = 0; i < GraphItems.Count(); ++i)
        minimum = std::min(minimum, GraphItems[i]->MinimumAmplitudeValue);
    return minimum;
}

int TGraphDisplayItem::MaximumAmplitudeGraph() const {
    int index = -1;
    float maximum = 0;
    for (int i = 0; i < GraphItems.Count(); ++i)
        if (GraphItems[i]->SampleAmplitude > maximum) {
            maximum = GraphItems[i]->SampleAmplitude;
            index = i;
        }
    return index;
}

int TGraphDisplayItem::MinimumAmplitudeGraph() const {
    int index = -1;
    float minimum = kFloatMax;
    for (int i = 0; i < GraphItems.Count(); ++i)
        if (GraphItems[i]->SampleAmplitude < minimum) {
            minimum = GraphItems[i]->SampleAmplitude;
            index = i;
        }
    return index;
}

void TGraphDisplayItem::Delete() { Owner->Delete(Index); }

TGraphDisplayItem* TGraphDisplayItems::Add() {
    TGraphDisplayItem* item = list_.Add();
    if (hooks_.activeIndex && hooks_.activeIndex() == -1 && hooks_.setActiveIndex)
        hooks_.setActiveIndex(0);
    return item;
}

void TGraphDisplayItems::Delete(int index) {
    list_.Delete(index);
    if (hooks_.repaint)
        hooks_.repaint();
}

void TGraphDisplayItems::Clear() {
    if (hooks_.setActiveIndex)
        hooks_.setActiveIndex(-1);
    list_.Clear();
}

TGraphDisplayMarker* AddMarker(TGraphDisplayItem& item) {
    TGraphDisplayMarker* marker = item.Markers.Add();
    const GraphComponentHooks& hooks = item.Owner->hooks();
    if (hooks.markerChange && !hooks.markerChange(&item, marker, gdmctAdd)) {
        item.Markers.Delete(marker->Index);
        return nullptr;
    }
    return marker;
}

void BuildCurveVertices(TGraphDisplayItem& item, TGraphDisplayGraphItem& g, int maximumVertexCount) {
    const std::vector<TGDGISample>& samples = *g.Samples;
    if (samples.empty() || (g.D3DVertexType != 3 && g.D3DVertexType != 4))
        return;
    const TGraphDisplayItemAxisY& axis = item.Axis.AxisY;
    const DataRange range = CurveDataRange(samples, axis.RangeType, axis.CustomRangeMaximum, axis.CustomRangeMinimum);
    const CurveStyle style{g.ColorFrom, g.Color, g.BottomColor};
    std::vector<TCustomVertex> vertices = g.D3DVertexType == 3
                                              ? CreateLineStripVertices(samples, maximumVertexCount, range.min, style)
                                              : CreateBarVertices(samples, maximumVertexCount, range.min, style);
    const int count = g.D3DVertexType == 3 ? static_cast<int>(vertices.size()) - 1
                                           : static_cast<int>(vertices.size() / 6) * 2;
    const std::lock_guard<std::recursive_mutex> lock(item.RenderCriticalSection);
    g.VertexBufferSamples = std::move(vertices);
    g.VertexCountSamples = count;
    g.MinimumAmplitudeValue = range.min;
    g.SampleAmplitude = range.sampleAmplitude;
    ++g.VertexBufferRevision;
}

} // namespace kelvane::graph
