#pragma once

#include <QImage>

#include "graph/GraphModel.h"
#include "graph/GraphRenderer.h"

namespace kelvane::graph {

// One frame of `item` rendered offscreen into a width x height RGB picture (4 samples when
// antialiasing); a null image when no OpenGL context can be made.
QImage RenderOffscreen(TGraphDisplayItem& item, const RenderOptions& options, int width, int height);

} // namespace kelvane::graph
