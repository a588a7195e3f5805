#pragma once
// Draws one frame of a display item with OpenGL in the current context: the layers in their fixed
// order (grid, vertical grid, curves, centre line, selection, markers, cursor, texts), each with
// its own blend equation, under the fixed camera.

#include <QImage>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <functional>
#include <memory>

#include "graph/Geometry.h"
#include "graph/GraphModel.h"

namespace kelvane::graph {

struct RenderOptions {
    bool showSelection = true;
    bool showMarkers = true;
    bool showCursor = false;
    bool solidCursor = false;
    bool antialiasing = false;
    bool animate = true;
    // The start-up rotation runs (Animate with gdaStartupRotation): curves turn, and the
    // selection, markers and cursor wait until they are flat.
    bool startupRotation = true;
    int maximumVertexCount = 500000;
    float cursorX = 0;
    int activeMarker = -1;
    double scrollMaximum = 600;  // the scroll bar's maximum (X axis labels)
    double scrollPosition = 0;   // and its position
    QImage background;           // stretched behind everything, when not null
    // The component's events that a frame fires, and its label text handlers.
    std::function<void(TGraphDisplayItem*)> beforeRender, afterRender, beforeSamplesRender, afterSamplesRender;
    std::function<QString(TGraphDisplayItem*, double)> axisXText, axisYText;
};

class GraphRenderer : protected QOpenGLFunctions {
public:
    // Compiles the shader; needs a current context. False when OpenGL cannot do it.
    bool Initialize();
    // One frame of `item` into the current framebuffer of width x height pixels.
    void RenderFrame(TGraphDisplayItem& item, const RenderOptions& options, int width, int height);

private:
    enum class Blend { Off, Grid, Curves, SelectionBack, SelectionBand1, SelectionBand2, Cursor };
    void SetBlend(Blend blend, int blendOperation = 1);
    void Draw(const std::vector<TCustomVertex>& vertices, unsigned mode, int first, int count, const Matrix& world);
    void DrawTexts(TGraphDisplayItem& item, const RenderOptions& options, int width, int height);

    std::unique_ptr<QOpenGLShaderProgram> program_;
    Camera camera_ = SetupCamera();
    int positionLocation_ = -1;
    int colorLocation_ = -1;
    int matrixLocation_ = -1;
};

} // namespace kelvane::graph
