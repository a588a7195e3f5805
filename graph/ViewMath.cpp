#include "graph/ViewMath.h"

#include <algorithm>
#include <cmath>

namespace kelvane::graph {

XValue MouseXValue(double length, const ScrollView& view, double zoom, double x, double width) {
    if (length == 0 || view.maximum == 0 || width <= 0 || zoom == 0)
        return {};
    const double s = static_cast<float>(length * view.position / view.maximum);
    const double w = static_cast<float>(length * view.maximum / 600);
    return {s + w * (x / width) / (zoom * zoom), w * 3 / width / (zoom * zoom)};
}

double XPercentValue2ViewPercent(double length, const ScrollView& view, double x) {
    if (length == 0 || view.maximum == 0 || view.page == 0)
        return 0;
    const double s = static_cast<float>(length * view.position / view.maximum);
    return (static_cast<double>(static_cast<float>(length * x)) - s) / (length * view.page / view.maximum);
}

int MousePosition2Index(double y, double height, int multiCount) {
    if (height <= 0)
        return 0;
    return static_cast<int>(std::trunc(multiCount * (y / height * 100))) / 100;
}

int AnimationSteps(int duration, int msPerStep) { return duration > 0 ? duration / msPerStep : 0; }

double EaseOut(int i, int n) {
    const double rest = static_cast<double>(n - i) / n;
    return 1 - rest * rest;
}

std::vector<double> EasedZoomSteps(double start, double target, int steps) {
    std::vector<double> zooms;
    for (int i = 1; i <= steps; ++i)
        zooms.push_back(start - EaseOut(i, steps) * (start - target));
    return zooms;
}

std::vector<double> LinearZoomSteps(double start, double target, int steps) {
    std::vector<double> zooms;
    for (int i = 1; i <= steps; ++i)
        zooms.push_back(start + static_cast<double>(i) / steps * (target - start));
    return zooms;
}

double WheelZoomTarget(double zoom, int delta, double zoomInMultiplier, double zoomOutMultiplier) {
    const double target = zoom * (delta < 0 ? zoomOutMultiplier : zoomInMultiplier);
    return target < 1 ? 1 : target;
}

double ZoomFixedPoint(double a, double e, double v, double u) {
    const double denominator = u - e - v;
    if (denominator == 0) // the view already has the selection's width: keep its start in place
        return a;
    return a + e * (a - v) / denominator;
}

ScrollRange ScrollRangeForZoom(double zoom, int maximum, int position, int page) {
    ScrollRange range{maximum, position};
    if (zoom <= 1)
        return {600, 0};
    const int newMaximum = static_cast<int>(std::trunc(zoom * 600));
    if (position < 2 || maximum <= 0) {
        range.maximum = newMaximum;
    } else {
        const double r = static_cast<double>(position) / maximum;
        range.maximum = newMaximum;
        range.position = static_cast<int>(std::trunc(newMaximum * r));
    }
    if (range.position + page > range.maximum)
        range.position = range.maximum - page + 1;
    return range;
}

int FlatToViewPosition(int position, int page, int maximum) {
    if (maximum == 0)
        return 0;
    return static_cast<int>(std::trunc(position - static_cast<double>(page) * position / maximum));
}

int ViewToFlatPosition(double v, int page, int maximum) {
    if (maximum == 0 || v > maximum - page)
        return maximum;
    return static_cast<int>(std::trunc(v + page * ((v + page * v / maximum) / maximum) * 1.0115));
}

bool StartupRotationStep(Matrix& rotation, float& angle) {
    rotation = rotation * Matrix::RotationX(-3.14159265f / 100);
    angle += 0.01f;
    return !(angle > 0.5f);
}

} // namespace kelvane::graph
