#include "graph/Geometry.h"

#include <algorithm>
#include <cmath>

namespace kelvane::graph {

namespace {

// Rounds to the nearest whole number, halves to even (the default rounding mode).
double RoundEven(double value) { return std::nearbyint(value); }

TCustomVertex V(float x, float y, float z, std::uint32_t color) { return {x, y, z, color}; }

// Display-type factor of sy and the vertical offset ty of the samples transform.
std::pair<double, double> DisplayScale(const SamplesTransformInput& in, double multiFactor) {
    const double m = std::max(in.multiCount, 1);
    switch (in.displayType) {
    case gdtPositive:
        return {0.0027, -572.5};
    case gdtStereo:
        return {0.0006615, in.stereoId == gdgisidLeft ? -144.75 : -434.25};
    case gdtMulti:
        return {0.00135 / m * multiFactor, -580.0 / m * (in.group + 1) + 580.0 / (2 * m)};
    case gdtMono:
    case gdtAsParent:
    default:
        return {0.00135, -289.5};
    }
}

Matrix Transform(const SamplesTransformInput& in, double syBase, double multiFactor, bool withRotation) {
    const double sx = in.zoom / in.maximumVertexCount * 1200.00003270771;
    const auto [factor, offset] = DisplayScale(in, multiFactor);
    const double sy = syBase * static_cast<double>(in.itemSampleAmplitude) /
                      static_cast<double>(in.graphSampleAmplitude) * factor;
    const double ty = offset - 1.2;
    Matrix world = Matrix::Scaling(static_cast<float>(sx), static_cast<float>(sy), 1) *
                   Matrix::Translation(static_cast<float>(-(in.itemPosition + in.graphPosition + 1.2) -
                                                          in.graphPosition * in.zoom),
                                       1, 1);
    if (withRotation && in.rotation)
        world = world * *in.rotation;
    return world * Matrix::Translation(1, static_cast<float>(ty), 1);
}

} // namespace

std::uint32_t ColorToD3DColor(TColor color) {
    const std::uint32_t r = color & 0xFF;
    const std::uint32_t g = (color >> 8) & 0xFF;
    const std::uint32_t b = (color >> 16) & 0xFF;
    return 0xFF000000U + r * 65536U + g * 256U + b;
}

DataRange CurveDataRange(const std::vector<TGDGISample>& samples, TGraphDisplayItemAxisRangeType rangeType,
                         double customMaximum, double customMinimum) {
    DataRange range;
    if (rangeType == gdiartCustom) {
        range.max = customMaximum;
        range.min = customMinimum;
    } else {
        double max = 0;
        double min = 3.402823e38;
        for (const TGDGISample& s : samples) {
            const double value = std::fabs(static_cast<double>(s.Value));
            max = std::max(max, value);
            min = std::min(min, value);
        }
        range.max = max;
        range.min = min;
    }
    if (rangeType != gdiartAutomaticMaximumMinimum && rangeType != gdiartCustom)
        range.min = 0;
    if (rangeType == gdiartCustom)
        range.sampleAmplitude = static_cast<float>(customMaximum - customMinimum);
    else if (rangeType == gdiartAutomaticMaximumMinimum)
        range.sampleAmplitude = static_cast<float>(range.max - range.min);
    else
        range.sampleAmplitude = static_cast<float>(range.max);
    return range;
}

float ThinningStep(std::size_t sampleCount, int maximumVertexCount) {
    const float step = static_cast<float>(sampleCount) / static_cast<float>(std::max(maximumVertexCount, 1));
    return step < 1.0f ? 1.0f : step;
}

// Calls `visit(k, sample)` for the k-th picked sample, Trunc(k x samplesPerPick x step), while that
// index stays within the samples (at least once): thinning picks, it does not average.
template <typename Visit>
void ForEachPicked(const std::vector<TGDGISample>& samples, int maximumVertexCount, double samplesPerPick,
                   Visit visit) {
    const std::size_t n = samples.size();
    const double step = static_cast<double>(ThinningStep(n, maximumVertexCount)) * samplesPerPick;
    for (std::size_t k = 0; k == 0 || static_cast<double>(k) * step <= static_cast<double>(n - 1); ++k)
        visit(k, samples[static_cast<std::size_t>(static_cast<double>(k) * step)]);
}

std::vector<TCustomVertex> CreateLineStripVertices(const std::vector<TGDGISample>& samples, int maximumVertexCount,
                                                   double min, const CurveStyle& style) {
    std::vector<TCustomVertex> vertices;
    if (samples.empty())
        return vertices;
    const double n = static_cast<double>(samples.size());
    vertices.reserve(static_cast<std::size_t>(RoundEven(n / static_cast<double>(ThinningStep(samples.size(), maximumVertexCount)))) + 1);
    const std::uint32_t global = ColorToD3DColor(style.color);
    ForEachPicked(samples, maximumVertexCount, 1, [&](std::size_t k, const TGDGISample& s) {
        vertices.push_back(V(static_cast<float>(k) / 2, static_cast<float>(static_cast<double>(s.Value) - min), 0,
                             style.colorFrom == gdgicfGlobal ? global : ColorToD3DColor(s.TopColor)));
    });
    return vertices;
}

std::vector<TCustomVertex> CreateBarVertices(const std::vector<TGDGISample>& samples, int maximumVertexCount,
                                             double min, const CurveStyle& style) {
    std::vector<TCustomVertex> vertices;
    if (samples.empty())
        return vertices;
    // One bar for two samples.
    ForEachPicked(samples, maximumVertexCount, 2, [&](std::size_t k, const TGDGISample& s) {
        const bool perSample = style.colorFrom == gdgicfPerSample;
        const std::uint32_t top = ColorToD3DColor(perSample ? s.TopColor : style.color);
        const std::uint32_t bottom = ColorToD3DColor(perSample ? s.BottomColor : style.bottomColor);
        const float x0 = static_cast<float>(k);
        const float x1 = x0 + 1;
        const float v = static_cast<float>(static_cast<double>(s.Value) - min);
        vertices.insert(vertices.end(), {V(x0, v, 0, top), V(x0, 0, 0, bottom), V(x1, 0, 0, bottom),
                                         V(x0, v, 0, top), V(x1, v, 0, top), V(x1, 0, 0, bottom)});
    });
    return vertices;
}

std::vector<TCustomVertex> CreateCoordinateVertices(int gridCountY, TColor gridColor) {
    const std::uint32_t c = ColorToD3DColor(gridColor);
    constexpr float x = 5e7f;
    std::vector<TCustomVertex> v = {V(0, 0, -1, 0x88FFFFFF), V(x, 0, -1, 0x88FFFFFF), V(0, 0, -1, c), V(x, 0, -1, c)};
    const float g = static_cast<float>(gridCountY);
    for (int k = 1; k <= gridCountY; ++k)
        v.insert(v.end(), {V(0, static_cast<float>(k) / g, -1, c), V(x, static_cast<float>(k) / g, -1, c)});
    for (int k = 1; k <= gridCountY; ++k)
        v.insert(v.end(), {V(0, -static_cast<float>(k) / g, -1, c), V(x, -static_cast<float>(k) / g, -1, c)});
    return v;
}

std::vector<TCustomVertex> CreateVerticalGridVertices(int gridCountX, TColor gridColor) {
    const std::uint32_t c = ColorToD3DColor(gridColor);
    std::vector<TCustomVertex> v;
    for (int j = 1; j < gridCountX; ++j) {
        const float x = 600.0f * static_cast<float>(j) / static_cast<float>(gridCountX) + 299;
        v.insert(v.end(), {V(x, 1, 0, c), V(x, -1, 0, c)});
    }
    return v;
}

SelectionVertices CreateSelectionVertices(double selectionStart, double selectionEnd, double length,
                                          int maximumVertexCount, float height, TColor selectionColor,
                                          TColor lineColor) {
    const double m = maximumVertexCount;
    const float a = length == 0 ? 0 : static_cast<float>(selectionStart / length * m / 2);
    const float b = length == 0 ? 0 : static_cast<float>(selectionEnd / length * m / 2);
    const float h = height;
    const std::uint32_t f = ColorToD3DColor(selectionColor) - 0x01000000U;
    const std::uint32_t e = ColorToD3DColor(lineColor);
    constexpr float z = -0.5f;
    SelectionVertices s;
    s.band = {V(a, h, z, f), V(a, -h, z, f), V(b, -h, z, f), V(b, -h, z, f), V(b, h, z, f),
              V(a, h, z, f), V(a, h, z, e),  V(a, -h, z, e), V(b, h, z, e),  V(b, -h, z, e)};
    for (std::size_t i = 0; i < 6; ++i)
        s.back[i] = {s.band[i].x, s.band[i].y, s.band[i].z, 0x770A0A22};
    return s;
}

std::vector<TCustomVertex> CreateMarkerVertices(const std::vector<MarkerPlace>& markers, int activeMarker,
                                                int maximumVertexCount, double length) {
    std::vector<TCustomVertex> v;
    const int m = maximumVertexCount / 2;
    for (std::size_t i = 0; i < markers.size() && v.size() + 2 <= 256; ++i) {
        const double x = length != 0 ? m * markers[i].position / length : -1.0;
        std::uint32_t color = ColorToD3DColor(markers[i].color & 0xFFFFFF);
        if (static_cast<int>(i) == activeMarker) // lightness 1 is white, whatever the hue
            color = (markers[i].color & 0xFF000000U) | 0x00FFFFFFU;
        v.insert(v.end(), {V(static_cast<float>(x), 4000, 1, color), V(static_cast<float>(x), -4000, 1, color)});
    }
    return v;
}

std::vector<TCustomVertex> CreateCursorVertices(float x, bool solid) {
    if (solid)
        return {V(x, 4000, -1, 0xFFFFFFFF), V(x, -4000, -1, 0xFFFFFFFF)};
    return {V(x - 500, 4000, -1, 0xFF000000), V(x - 500, -4000, -1, 0xFF000000), V(x, -4000, -1, 0xFFFFFFFF),
            V(x, -4000, -1, 0xFFFFFFFF),      V(x, 4000, -1, 0xFFFFFFFF),        V(x - 500, 4000, -1, 0xFF000000)};
}

Matrix SamplesTransform(const SamplesTransformInput& input) { return Transform(input, 210000, 0.95, true); }

Matrix GraphItemSelectionTransform(const SamplesTransformInput& input) {
    return Transform(input, 205000, 0.98, false);
}

Matrix CoordinatesTransform(TGraphDisplayType displayType, int channelOrBand, int multiCount) {
    const double m = std::max(multiCount, 1);
    double sy = 283;
    double ty = -289.5;
    switch (displayType) {
    case gdtPositive:
        sy = 566;
        ty = -572.5;
        break;
    case gdtStereo:
        sy = 139;
        ty = channelOrBand == 0 ? -144.75 : -434.25;
        break;
    case gdtMulti:
        sy = 269 / m;
        ty = -580 / m * channelOrBand + 580 / (2 * m);
        break;
    default:
        break;
    }
    return Matrix::Scaling(0.9999f, static_cast<float>(sy), 1) *
           Matrix::Translation(-299.4f, static_cast<float>(ty), 1);
}

Camera SetupCamera() {
    const float pi = 3.14159265358979f;
    return {Matrix::LookAtLH({300, -290, -723}, {300, -290, 0}, {0, 1, 0}),
            Matrix::PerspectiveFovLH(pi / 4, 1.0f, 1.0f, 50000.0f)};
}

Vec3 WorldToPixel(const Camera& camera, Vec3 world, int width, int height) {
    const Vec3 ndc = (camera.view * camera.projection).TransformCoord(world);
    return {(ndc.x + 1) / 2 * static_cast<float>(width), (1 - ndc.y) / 2 * static_cast<float>(height), ndc.z};
}

} // namespace kelvane::graph
