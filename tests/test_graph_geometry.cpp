// The graph's geometry: vertices, thinning, data ranges, transforms and the camera, as numbers.

#include <gtest/gtest.h>

#include "graph/Geometry.h"

using namespace kelvane::graph;

namespace {

std::vector<TGDGISample> Ramp(std::size_t n) {
    std::vector<TGDGISample> samples(n);
    for (std::size_t i = 0; i < n; ++i)
        samples[i].Value = static_cast<float>(i);
    return samples;
}

Vec3 Apply(const Matrix& m, const TCustomVertex& v) { return m.TransformCoord({v.x, v.y, v.z}); }

} // namespace

TEST(GraphGeometry, Colours) {
    EXPECT_EQ(ColorToD3DColor(0x00BB00), 0xFF00BB00U);
    EXPECT_EQ(ColorToD3DColor(0x0000FF), 0xFFFF0000U) << "red is the low byte of a TColor";
    EXPECT_EQ(ColorToD3DColor(0x12FF0000), 0xFF0000FFU) << "bits above the low 24 are ignored";
}

TEST(GraphGeometry, ThinningPicksSamplesAtAFixedStep) {
    const CurveStyle style;
    const std::vector<TCustomVertex> one = CreateLineStripVertices(Ramp(1), 100000, 0, style);
    EXPECT_EQ(one.size(), 1U) << "one vertex, no line to draw";

    EXPECT_EQ(ThinningStep(200000, 100000), 2.0f);
    const std::vector<TCustomVertex> thinned = CreateLineStripVertices(Ramp(200000), 100000, 0, style);
    ASSERT_EQ(thinned.size(), 100000U);
    for (const std::size_t k : {0UL, 1UL, 500UL, 99999UL})
        EXPECT_EQ(thinned[k].y, static_cast<float>(2 * k)) << k;
    EXPECT_EQ(thinned[99999].x, 99999.0f / 2);
    EXPECT_EQ(thinned[0].Color, 0xFF00BB00U);

    const std::vector<TCustomVertex> bars = CreateBarVertices(Ramp(10), 100000, 0, style);
    ASSERT_EQ(bars.size(), 5U * 6) << "one bar per two samples";
    EXPECT_EQ(bars[6].y, 2.0f);
    EXPECT_EQ(bars[7].y, 0.0f);
    EXPECT_EQ(bars[7].Color, 0xFF000000U) << "bottom colour";
    EXPECT_EQ(bars[8].x, 2.0f);
}

TEST(GraphGeometry, DataRanges) {
    const std::vector<TGDGISample> percent = Ramp(101);
    const DataRange custom = CurveDataRange(percent, gdiartCustom, 100, 0);
    EXPECT_EQ(custom.sampleAmplitude, 100.0f);
    EXPECT_EQ(custom.min, 0.0);
    EXPECT_EQ(CreateLineStripVertices(percent, 1000, custom.min, {})[37].y, 37.0f) << "y is the value";

    std::vector<TGDGISample> signedValues(2);
    signedValues[0].Value = -3;
    signedValues[1].Value = 2;
    const DataRange automatic = CurveDataRange(signedValues, gdiartAutomaticMaximum, 1, 0);
    EXPECT_EQ(automatic.max, 3.0) << "the largest absolute value";
    EXPECT_EQ(automatic.min, 0.0);
    const std::vector<TCustomVertex> v = CreateLineStripVertices(signedValues, 1000, automatic.min, {});
    EXPECT_EQ(v[0].y, -3.0f);
    EXPECT_EQ(v[1].y, 2.0f);

    const DataRange both = CurveDataRange(signedValues, gdiartAutomaticMaximumMinimum, 1, 0);
    EXPECT_EQ(both.min, 2.0);
    EXPECT_EQ(both.sampleAmplitude, 1.0f);
}

TEST(GraphGeometry, GridLinesAfterTheCoordinatesTransform) {
    const Matrix coordinates = CoordinatesTransform(gdtPositive, 0, 1);
    const std::vector<TCustomVertex> vertical = CreateVerticalGridVertices(4, 0x444444);
    ASSERT_EQ(vertical.size(), 6U);
    for (std::size_t j = 0; j < 3; ++j)
        EXPECT_NEAR(Apply(coordinates, vertical[2 * j]).x, 150.0f * static_cast<float>(j + 1), 0.5f);
    const std::vector<TCustomVertex> horizontal = CreateCoordinateVertices(4, 0x444444);
    ASSERT_EQ(horizontal.size(), 4U * 4 + 4);
    EXPECT_EQ(horizontal[0].Color, 0x88FFFFFFU) << "the centre line";
    const float baseline = Apply(coordinates, horizontal[2]).y;
    for (int k = 1; k <= 4; ++k) // 25, 50, 75 and 100 % of the value height
        EXPECT_NEAR(Apply(coordinates, horizontal[static_cast<std::size_t>(2 + 2 * k)]).y - baseline,
                    566.0f * static_cast<float>(k) / 4, 0.01f);
}

TEST(GraphGeometry, SamplesTransformSpansTheWindow) {
    SamplesTransformInput in;
    in.maximumVertexCount = 1000;
    in.displayType = gdtPositive;
    in.graphSampleAmplitude = 50;
    const Matrix world = SamplesTransform(in);
    EXPECT_NEAR(world.TransformCoord({0, 0, 0}).x, -0.2f, 0.01f);
    EXPECT_NEAR(world.TransformCoord({999.0f / 2, 0, 0}).x, 599.2f, 0.01f);
    EXPECT_NEAR(world.TransformCoord({0, 50, 0}).y, -5.7f, 0.01f) << "the curve's amplitude";
    EXPECT_NEAR(world.TransformCoord({0, 0, 0}).y, -572.7f, 0.01f) << "its minimum";

    // A marker at the end of the data lies at the right end of the curves.
    const std::vector<TCustomVertex> markers = CreateMarkerVertices({{1.0, 0xFF123456}, {0.5, 0xFF00FF00}}, 0, 1000, 1.0);
    ASSERT_EQ(markers.size(), 4U);
    EXPECT_NEAR(world.TransformCoord({markers[0].x, 0, 0}).x, 599.8f, 0.01f);
    EXPECT_EQ(markers[0].Color, 0xFFFFFFFFU) << "the active marker is white";
    EXPECT_EQ(markers[2].Color, 0xFF00FF00U);
}

TEST(GraphGeometry, SelectionAndCursor) {
    const SelectionVertices s = CreateSelectionVertices(0.25, 0.75, 1.0, 1000, 3, 0xEEEEEE, 0x991111);
    EXPECT_EQ(s.band[0].x, 125.0f);
    EXPECT_EQ(s.band[2].x, 375.0f);
    EXPECT_EQ(s.band[0].Color, 0xFEEEEEEEU) << "alpha 0xFE";
    EXPECT_EQ(s.band[6].Color, 0xFF111199U);
    EXPECT_EQ(s.back[3].Color, 0x770A0A22U);
    EXPECT_EQ(CreateSelectionVertices(0.25, 0.75, 0.0, 1000, 3, 0, 0).band[2].x, 0.0f);
    EXPECT_EQ(CreateCursorVertices(10, true).size(), 2U);
    const std::vector<TCustomVertex> band = CreateCursorVertices(10, false);
    ASSERT_EQ(band.size(), 6U);
    EXPECT_EQ(band[0].x, -490.0f);
}

TEST(GraphGeometry, TheCameraSeesTheLaidOutWindow) {
    const Camera camera = SetupCamera();
    const Vec3 topLeft = WorldToPixel(camera, {0.5f, 9.5f, 0}, 221, 129);
    const Vec3 bottomRight = WorldToPixel(camera, {599.5f, -589.5f, 0}, 221, 129);
    const Vec3 centre = WorldToPixel(camera, {300, -290, 0}, 221, 129);
    EXPECT_NEAR(topLeft.x, 0.0f, 0.2f);
    EXPECT_NEAR(topLeft.y, 0.0f, 0.2f);
    EXPECT_NEAR(bottomRight.x, 221.0f, 0.2f);
    EXPECT_NEAR(bottomRight.y, 129.0f, 0.2f);
    EXPECT_NEAR(centre.x, 110.5f, 0.01f);
    EXPECT_NEAR(centre.y, 64.5f, 0.01f);
}
