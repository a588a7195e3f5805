// The graph's view arithmetic: pixels to values, view fractions, zoom steps, the scroll range for a
// zoom, the flat bar's mapping and the start-up rotation.

#include <gtest/gtest.h>

#include <cmath>

#include "graph/ViewMath.h"

using namespace kelvane::graph;

TEST(ViewMath, ValuesUnderTheMouse) {
    struct Case {
        double length, maximum, position, zoom, x, width, value;
    };
    const Case cases[] = {
        {100, 600, 0, 1, 0, 221, 0},
        {100, 600, 0, 1, 110.5, 221, 50},
        {100, 600, 0, 1, 221, 221, 100},
        {100, 2400, 600, 4, 0, 221, 25},     // zoomed to 25 ... 50: the left edge is 25
        {100, 2400, 600, 4, 221, 221, 50},   // and the right edge 50
        {100, 2400, 1800, 4, 221, 221, 100}, // the last page
        {0, 600, 0, 1, 100, 221, 0},         // no length: 0
    };
    for (const Case& c : cases) {
        const XValue v = MouseXValue(c.length, {c.maximum, 600, c.position}, c.zoom, c.x, c.width);
        EXPECT_NEAR(v.value, c.value, 1e-4) << "x " << c.x << " zoom " << c.zoom;
    }
    const XValue reach = MouseXValue(100, {600, 600, 0}, 1, 10, 200);
    EXPECT_NEAR(reach.reach, 1.5, 1e-6) << "three pixels of a 200-pixel view of 100";
    EXPECT_NEAR(MouseXValue(100, {2400, 600, 0}, 4, 10, 200).reach, 1.5 / 4, 1e-6);
}

TEST(ViewMath, ViewPercentAndBands) {
    EXPECT_DOUBLE_EQ(XPercentValue2ViewPercent(100, {2400, 600, 600}, 0.375), 0.5);
    EXPECT_DOUBLE_EQ(XPercentValue2ViewPercent(100, {2400, 600, 600}, 0.25), 0);
    EXPECT_DOUBLE_EQ(XPercentValue2ViewPercent(100, {600, 600, 0}, 0.7), static_cast<double>(70.0f) / 100);
    EXPECT_EQ(XPercentValue2ViewPercent(0, {600, 600, 0}, 0.5), 0);
    struct Band {
        double y, height;
        int count, index;
    };
    for (const Band& b : {Band{0, 100, 3, 0}, Band{33, 100, 3, 0}, Band{34, 100, 3, 1}, Band{50, 100, 3, 1},
                          Band{99, 100, 3, 2}, Band{50, 100, 0, 0}, Band{75, 100, 2, 1}})
        EXPECT_EQ(MousePosition2Index(b.y, b.height, b.count), b.index) << "row " << b.y << " of " << b.count;
}

TEST(ViewMath, AnimationStepsAndEasing) {
    EXPECT_EQ(AnimationSteps(500, 30), 16);
    EXPECT_EQ(AnimationSteps(500, 45), 11);
    EXPECT_EQ(AnimationSteps(29, 30), 0);
    EXPECT_EQ(AnimationSteps(0, 45), 0);
    EXPECT_EQ(AnimationSteps(-30, 30), 0);

    const std::vector<double> eased = EasedZoomSteps(1, 4, 16);
    ASSERT_EQ(eased.size(), 16U);
    EXPECT_NEAR(eased[0], 1 + 3 * (1 - (15.0 / 16) * (15.0 / 16)), 1e-12) << "fast at first";
    EXPECT_DOUBLE_EQ(eased.back(), 4) << "ends on the target";
    for (std::size_t i = 1; i < eased.size(); ++i) {
        EXPECT_GT(eased[i], eased[i - 1]);
        if (i > 1) {
            EXPECT_LT(eased[i] - eased[i - 1], eased[i - 1] - eased[i - 2]) << "and slower and slower";
        }
    }
    const std::vector<double> out = EasedZoomSteps(4, 1, 16);
    EXPECT_DOUBLE_EQ(out.back(), 1);
    const std::vector<double> linear = LinearZoomSteps(1, 1.25, 11);
    ASSERT_EQ(linear.size(), 11U);
    EXPECT_NEAR(linear[0], 1 + 0.25 / 11, 1e-12);
    EXPECT_DOUBLE_EQ(linear.back(), 1.25);
}

TEST(ViewMath, WheelTargets) {
    struct Case {
        double zoom;
        int delta;
        double target;
    };
    for (const Case& c : {Case{1.1, -120, 1}, Case{1, -120, 1}, Case{1, 120, 1.25}, Case{2, -120, 1.5},
                          Case{2, 0, 2.5}, Case{4, 120, 5}})
        EXPECT_DOUBLE_EQ(WheelZoomTarget(c.zoom, c.delta, 1.25, 0.75), c.target) << c.zoom << " " << c.delta;
}

TEST(ViewMath, TheFixedPointKeepsItsPlace) {
    // From the whole view to 25 ... 50: the point that stays put, and the view then starts at 25.
    const double c = ZoomFixedPoint(0.25, 0.25, 0, 1);
    EXPECT_NEAR(c, 1.0 / 3, 1e-12);
    const double f = (c - 0) / (1 - 0); // where it shows before
    const double start = (c * 2400 - 600 * f) / 2400;
    EXPECT_NEAR(start, 0.25, 1e-12);
    EXPECT_EQ(ZoomFixedPoint(0.25, 0.25, 0.25, 0.5), 0.25) << "a view of the selection's width keeps its start";
}

TEST(ViewMath, ScrollRangeForAZoom) {
    struct Case {
        double zoom;
        int maximum, position, newMaximum, newPosition;
    };
    const Case cases[] = {
        {2, 600, 300, 1200, 600},  // the relative place is kept
        {2, 600, 1, 1200, 1},      // below 2 it stays
        {4, 600, 0, 2400, 0},
        {1, 2400, 900, 600, 0},    // zoom 1: back to the whole
        {0.5, 1200, 300, 600, 0},
        {1.5, 1200, 1190, 900, 301}, // Trunc(900 x 1190 / 1200) = 892; past the last page: 900 - 600 + 1
    };
    for (const Case& c : cases) {
        const ScrollRange r = ScrollRangeForZoom(c.zoom, c.maximum, c.position, 600);
        EXPECT_EQ(r.maximum, c.newMaximum) << "zoom " << c.zoom;
        EXPECT_EQ(r.position, c.newPosition) << "zoom " << c.zoom;
    }
}

TEST(ViewMath, FlatBarPositions) {
    struct Case {
        double view;
        int flat;
    };
    for (const Case& c : {Case{0, 0}, Case{600, 789}, Case{1800, 2368}, Case{1801, 2400}, Case{300, 394}}) {
        EXPECT_EQ(ViewToFlatPosition(c.view, 600, 2400), c.flat) << c.view;
    }
    EXPECT_EQ(FlatToViewPosition(789, 600, 2400), 591);
    EXPECT_EQ(FlatToViewPosition(2400, 600, 2400), 1800);
    EXPECT_EQ(FlatToViewPosition(300, 600, 0), 0);
}

TEST(ViewMath, TheStartupRotationEndsFlatAfter51Transforms) {
    Matrix rotation = Matrix::RotationX(3.14159265f / 2);
    float angle = 0;
    int transforms = 0;
    Matrix at50;
    while (StartupRotationStep(rotation, angle)) {
        ++transforms;
        if (transforms == 50)
            at50 = rotation;
        ASSERT_LT(transforms, 100);
    }
    ++transforms;
    EXPECT_EQ(transforms, 51);
    EXPECT_NEAR(at50.m[1][1], 1, 1e-5) << "turned flat after 50 steps of pi/100";
    EXPECT_NEAR(at50.m[1][2], 0, 1e-5);
}
