#pragma once
// Where the graph's texts go: the Y axis labels (value and the y of their centre) for every
// display type, and the legend's lines. Pixel coordinates of the inner panel; no GL or fonts.

#include <vector>

#include "graph/GraphModel.h"

namespace kelvane::graph {

struct YLabel {
    double value = 0; // without its sign; labels below a centre line show it negative
    double y = 0;     // the label's vertical centre; its top is Trunc(y - font size / 2)
    bool above = true;
};
std::vector<YLabel> YLabels(const TGraphDisplayItem& item, double height);

struct LegendLine {
    int graphIndex = 0;
    int top = 0;
};
std::vector<LegendLine> LegendLines(const TGraphDisplayItem& item, double height);

} // namespace kelvane::graph
