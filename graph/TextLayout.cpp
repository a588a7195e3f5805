#include "graph/TextLayout.h"

#include <algorithm>
#include <cmath>

namespace kelvane::graph {

std::vector<YLabel> YLabels(const TGraphDisplayItem& item, double h) {
    const TGraphDisplayItemAxisY& axis = item.Axis.AxisY;
    const int g = std::max(axis.GridCount, 1);
    const double amplitude = static_cast<double>(item.SampleAmplitude);
    double range = static_cast<double>(item.MaximumAmplitude()) / amplitude;
    if (axis.RangeType == gdiartAutomaticMinimum)
        range = static_cast<double>(item.MinimumAmplitude()) / amplitude;
    else if (axis.RangeType == gdiartCustom)
        range = (axis.CustomRangeMaximum - axis.CustomRangeMinimum) / amplitude;
    std::vector<YLabel> labels;
    auto pair = [&labels](double value, double centre, double offset) {
        labels.push_back({value, centre - offset, true});
        labels.push_back({value, centre + offset, false});
    };
    const int m = std::max(item.MultiCount, 1);
    for (int i = 1; i <= g; ++i) {
        const double v = range / g * i;
        switch (item.DisplayType) {
        case gdtPositive: {
            const double base = axis.RangeType == gdiartAutomaticMaximumMinimum ? item.MinimumAmplitudeValue()
                                                                                : axis.CustomRangeMinimum;
            labels.push_back({v + base, h - 0.0275 * h - 0.945 * h / g * i, true});
            break;
        }
        case gdtMono:
            pair(v, h / 2, h / 2 * 0.945 / g * i);
            break;
        case gdtStereo: {
            const double q = h / 4;
            pair(v, 1.035 * q, 0.93 * q / g * i);
            pair(v, 2.97 * q, 0.93 * q / g * i);
            break;
        }
        case gdtMulti:
            for (int b = 1; b <= m; ++b) {
                const double o = (h - h / m * -0.62) / m / 2 * 0.78 + h / m * -0.05;
                const double base = (h / m * b - o) * (m == 1 ? 1.195 : 0.965);
                pair(v, base, h / (2.0 * m) / g * i * 0.9);
            }
            break;
        default:
            break;
        }
    }
    return labels;
}

std::vector<LegendLine> LegendLines(const TGraphDisplayItem& item, double h) {
    std::vector<LegendLine> lines;
    const bool bottom = item.Legend.Position == gdilpBottomLeft || item.Legend.Position == gdilpBottomRight;
    const double f = item.Legend.Font.size;
    const int m = std::max(item.MultiCount, 1);
    int left = 0;
    int right = 0;
    std::vector<int> perBand(static_cast<std::size_t>(m) + 1, 0);
    for (int i = 0; i < item.GraphItems.Count(); ++i) {
        const TGraphDisplayGraphItem* g = item.GraphItems[i];
        double base = bottom ? h / 1.25 : h / 15;
        double c = i;
        if (item.DisplayType == gdtStereo) {
            const bool isLeft = g->StereoID == gdgisidLeft;
            base = isLeft ? (bottom ? h / 2 - h / 7.25 : h / 15) : (bottom ? h - h / 7.25 : h / 2 + h / 15);
            c = isLeft ? left++ : right++;
        } else if (item.DisplayType == gdtMulti) {
            const int band = std::clamp(g->Group + 1, 1, m);
            const double q = h / (4.0 * m);
            const double b = (h / m * band - q) * 0.97;
            base = bottom ? b + 0.05 * q : b - 1.9 * q;
            c = ++perBand[static_cast<std::size_t>(band)];
        }
        lines.push_back({i, static_cast<int>(std::trunc(base + f * 1.5 * c))});
    }
    return lines;
}

} // namespace kelvane::graph
