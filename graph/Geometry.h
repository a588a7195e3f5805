#pragma once
// Every vertex the graph makes and every transform it uses, as plain arithmetic: a camera looking
// at the window x 0 ... 600, y -590 ... 10 of the plane z = 0, curves of 0.5 vertex-x per sample,
// values scaled to about 566 units of height.

#include <array>
#include <optional>
#include <vector>

#include "graph/GraphTypes.h"
#include "graph/Matrix.h"

namespace kelvane::graph {

// Opaque 0xFFRRGGBB from a TColor (red in its low byte).
std::uint32_t ColorToD3DColor(TColor color);

// The value range a curve's vertical scale divides by.
struct DataRange {
    double min = 0;           // subtracted from every sample (MinimumAmplitudeValue)
    double max = 0;
    float sampleAmplitude = 1; // SampleAmplitude
};
DataRange CurveDataRange(const std::vector<TGDGISample>& samples, TGraphDisplayItemAxisRangeType rangeType,
                         double customMaximum, double customMinimum);

// Samples per vertex: n / maximum as a float, at least 1.
float ThinningStep(std::size_t sampleCount, int maximumVertexCount);

struct CurveStyle {
    TGraphDisplayGraphItemColorFrom colorFrom = gdgicfGlobal;
    TColor color = 0x00BB00;
    TColor bottomColor = 0;
};

// One vertex per picked sample (x = k / 2, y = value - min); drawn as vertices - 1 lines.
std::vector<TCustomVertex> CreateLineStripVertices(const std::vector<TGDGISample>& samples, int maximumVertexCount,
                                                   double min, const CurveStyle& style);
// Six vertices (two triangles) per bar, one bar per two samples.
std::vector<TCustomVertex> CreateBarVertices(const std::vector<TGDGISample>& samples, int maximumVertexCount,
                                             double min, const CurveStyle& style);

// The centre line and the horizontal grid at heights 0, +-1/G ... +-1.
std::vector<TCustomVertex> CreateCoordinateVertices(int gridCountY, TColor gridColor);
// The vertical grid: G - 1 lines.
std::vector<TCustomVertex> CreateVerticalGridVertices(int gridCountX, TColor gridColor);

// The selection band with its two edge lines, and its backdrop.
struct SelectionVertices {
    std::array<TCustomVertex, 10> band;
    std::array<TCustomVertex, 6> back;
};
SelectionVertices CreateSelectionVertices(double selectionStart, double selectionEnd, double length,
                                          int maximumVertexCount, float height, TColor selectionColor,
                                          TColor lineColor);

struct MarkerPlace {
    double position = 0; // length units
    std::uint32_t color = 0xFFAAAAAA;
};
// Two vertices per marker (at most 128); the active one is drawn white.
std::vector<TCustomVertex> CreateMarkerVertices(const std::vector<MarkerPlace>& markers, int activeMarker,
                                                int maximumVertexCount, double length);

// A solid cursor line (2 vertices) or a band trailing 500 units to the left (6 vertices).
std::vector<TCustomVertex> CreateCursorVertices(float x, bool solid);

// What the samples transform depends on.
struct SamplesTransformInput {
    double zoom = 1;
    int maximumVertexCount = 100000;
    float itemSampleAmplitude = 1; // the user's vertical magnification
    float graphSampleAmplitude = 1; // the curve's data range
    TGraphDisplayType displayType = gdtMono; // gdtAsParent already resolved
    TGraphDisplayGraphItemStereoID stereoId = gdgisidLeft;
    int multiCount = 1;
    int group = 0;
    double itemPosition = 0;  // scroll offset in length units
    double graphPosition = 0; // the curve's FPosition
    std::optional<Matrix> rotation; // the start-up rotation while it runs
};
Matrix SamplesTransform(const SamplesTransformInput& input);
// The same without rotation, sy 205000 and 0.98 for multi bands.
Matrix GraphItemSelectionTransform(const SamplesTransformInput& input);
// The grid and centre line; `channelOrBand` is the stereo channel (0, 1) or the 1-based band.
Matrix CoordinatesTransform(TGraphDisplayType displayType, int channelOrBand, int multiCount);

// The fixed camera.
struct Camera {
    Matrix view;
    Matrix projection;
};
Camera SetupCamera();
// A world point as pixel coordinates of an inner panel of width x height.
Vec3 WorldToPixel(const Camera& camera, Vec3 world, int width, int height);

} // namespace kelvane::graph
