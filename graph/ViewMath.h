#pragma once
// The arithmetic of the graph's horizontal view, without widgets: the scroll range (600 x Zoom,
// page 600), pixels to data values, where a data fraction shows on screen, the zoom animations'
// steps, the flat scroll bar's position mapping, and the start-up rotation.

#include <vector>

#include "graph/Matrix.h"

namespace kelvane::graph {

// The visible scroll bar as the view sees it: the position runs 0 ... maximum - page.
struct ScrollView {
    double maximum = 600;
    double page = 600;
    double position = 0;
};

// The data value under pixel column x of a panel `width` wide, and the reach of three pixels
// around it in data units (0 and 0 when length is 0).
struct XValue {
    double value = 0;
    double reach = 0;
};
XValue MouseXValue(double length, const ScrollView& view, double zoom, double x, double width);

// Where the data fraction x (0 ... 1 of the length) is shown, as a fraction of the visible width.
double XPercentValue2ViewPercent(double length, const ScrollView& view, double x);

// The band (gdtMulti) under pixel row y of a panel `height` high.
int MousePosition2Index(double y, double height, int multiCount);

// Steps of an animation of `duration` ms at one step per `msPerStep` (0 when shorter than a step).
int AnimationSteps(int duration, int msPerStep);
// 1 - ((n - i) / n)^2: fast at first, settling at the end.
double EaseOut(int i, int n);
// The zoom of each step of a zoom to the selection (eased) or of a wheel zoom (linear).
std::vector<double> EasedZoomSteps(double start, double target, int steps);
std::vector<double> LinearZoomSteps(double start, double target, int steps);
// The wheel's zoom target: out for a negative delta, in otherwise, never below 1.
double WheelZoomTarget(double zoom, int delta, double zoomInMultiplier, double zoomOutMultiplier);
// The data fraction whose place on screen stays the same while zooming from the visible fractions
// v ... u to the selection a ... a + e.
double ZoomFixedPoint(double a, double e, double v, double u);

// The scroll bar range and position for a zoom (SetScrollBar): at zoom 1 or less 600 and 0;
// otherwise the maximum is Trunc(600 x zoom) and a position of 2 or more keeps its relative place;
// a position that would leave the page past the end is pulled back.
struct ScrollRange {
    int maximum = 600;
    int position = 0;
};
ScrollRange ScrollRangeForZoom(double zoom, int maximum, int position, int page);

// The flat bar's position runs 0 ... Max: these map it to the view's 0 ... Max - PageSize and back.
int FlatToViewPosition(int position, int page, int maximum);
int ViewToFlatPosition(double value, int page, int maximum);

// One samples transform of the start-up rotation: turns `rotation` by -pi/100 about x and advances
// the angle by 0.01; false once it passes 0.5 (the 51st step), when the rotation ends.
bool StartupRotationStep(Matrix& rotation, float& angle);

} // namespace kelvane::graph
