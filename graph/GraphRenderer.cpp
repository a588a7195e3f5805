#include "graph/GraphRenderer.h"
#include "graph/ViewMath.h"

#include "graph/TextLayout.h"

#include <QFont>
#include <QFontMetrics>
#include <QOpenGLPaintDevice>
#include <QPainter>
#include <cmath>

namespace kelvane::graph {

namespace {

constexpr unsigned kMultisample = 0x809D; // GL_MULTISAMPLE
constexpr unsigned kLineSmooth = 0x0B20;  // GL_LINE_SMOOTH

const char* const kVertexShader = R"(
attribute highp vec3 position;
attribute lowp vec4 bgra;
uniform highp mat4 worldViewProjection;
varying lowp vec4 color;
void main() {
    gl_Position = worldViewProjection * vec4(position, 1.0);
    color = bgra.zyxw; // the vertex colour is 0xAARRGGBB: bytes B, G, R, A in memory
}
)";

const char* const kFragmentShader = R"(
varying lowp vec4 color;
void main() { gl_FragColor = color; }
)";

// Direct3D's blend operation codes (D3DBLENDOP) as OpenGL equations.
GLenum BlendOperationOf(int operation) {
    switch (operation) {
    case 2:
        return GL_FUNC_SUBTRACT;
    case 3:
        return GL_FUNC_REVERSE_SUBTRACT;
    default:
        return GL_FUNC_ADD;
    }
}

QColor TextColor(const FontSpec& font) {
    const std::uint32_t c = ColorToD3DColor(font.color);
    return QColor::fromRgb((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

QFont MakeFont(const FontSpec& wanted) {
    QFont font(wanted.family);
    font.setPixelSize(std::max(wanted.size, 1)); // the point size taken as a pixel height
    font.setBold(wanted.bold);
    font.setItalic(wanted.italic);
    return font;
}

} // namespace

bool GraphRenderer::Initialize() {
    initializeOpenGLFunctions();
    program_ = std::make_unique<QOpenGLShaderProgram>();
    if (!program_->addShaderFromSourceCode(QOpenGLShader::Vertex, kVertexShader) ||
        !program_->addShaderFromSourceCode(QOpenGLShader::Fragment, kFragmentShader) || !program_->link()) {
        program_.reset();
        return false;
    }
    positionLocation_ = program_->attributeLocation("position");
    colorLocation_ = program_->attributeLocation("bgra");
    matrixLocation_ = program_->uniformLocation("worldViewProjection");
    return true;
}

void GraphRenderer::SetBlend(Blend blend, int blendOperation) {
    if (blend == Blend::Off) {
        glDisable(GL_BLEND);
        return;
    }
    glEnable(GL_BLEND);
    glBlendEquation(blend == Blend::Grid || blend == Blend::Curves ? GL_FUNC_ADD : BlendOperationOf(blendOperation));
    switch (blend) {
    case Blend::Grid: // src x src-alpha + dst x src
        glBlendFunc(GL_SRC_ALPHA, GL_SRC_COLOR);
        break;
    case Blend::Curves: // src x src + dst x dst
        glBlendFunc(GL_SRC_COLOR, GL_DST_COLOR);
        break;
    case Blend::SelectionBack: // src x src-alpha op dst
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        break;
    case Blend::SelectionBand1: // src x dst op dst x dst
        glBlendFunc(GL_DST_COLOR, GL_DST_COLOR);
        break;
    case Blend::SelectionBand2: // src x dst op dst x src-alpha
        glBlendFunc(GL_DST_COLOR, GL_SRC_ALPHA);
        break;
    case Blend::Cursor: // src x dst + dst x src-alpha
        glBlendEquation(GL_FUNC_ADD);
        glBlendFunc(GL_DST_COLOR, GL_SRC_ALPHA);
        break;
    case Blend::Off:
        break;
    }
}

void GraphRenderer::Draw(const std::vector<TCustomVertex>& vertices, unsigned mode, int first, int count,
                         const Matrix& world) {
    if (count <= 0 || vertices.empty())
        return;
    // Row vectors times world x view x projection, as a column-vector matrix: the transpose.
    const Matrix m = world * camera_.view * camera_.projection;
    const QMatrix4x4 transposed(m.m[0][0], m.m[1][0], m.m[2][0], m.m[3][0], m.m[0][1], m.m[1][1], m.m[2][1],
                                m.m[3][1], m.m[0][2], m.m[1][2], m.m[2][2], m.m[3][2], m.m[0][3], m.m[1][3],
                                m.m[2][3], m.m[3][3]);
    program_->setUniformValue(matrixLocation_, transposed);
    const char* base = reinterpret_cast<const char*>(vertices.data());
    glVertexAttribPointer(static_cast<GLuint>(positionLocation_), 3, GL_FLOAT, GL_FALSE, sizeof(TCustomVertex), base);
    glVertexAttribPointer(static_cast<GLuint>(colorLocation_), 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(TCustomVertex),
                          base + 12);
    const int available = static_cast<int>(vertices.size()) - first;
    glDrawArrays(mode, first, std::min(count, available));
}

void GraphRenderer::RenderFrame(TGraphDisplayItem& item, const RenderOptions& options, int width, int height) {
    const std::lock_guard<std::recursive_mutex> lock(item.RenderCriticalSection);
    glViewport(0, 0, width, height);
    const std::uint32_t back = ColorToD3DColor(item.BackColor);
    glClearColor(static_cast<float>((back >> 16) & 0xFF) / 255.0f, static_cast<float>((back >> 8) & 0xFF) / 255.0f,
                 static_cast<float>(back & 0xFF) / 255.0f, 1.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT);
    if (!options.background.isNull()) { // stretched over the whole panel, behind everything
        QOpenGLPaintDevice device(width, height);
        QPainter painter(&device);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRect(0, 0, width, height), options.background);
    }
    // The target has no alpha of its own (as an X8R8G8B8 back buffer): the blends act on colour
    // only, and the picture stays opaque.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    glBindBuffer(GL_ARRAY_BUFFER, 0); // vertices come from memory
    if (options.beforeRender)
        options.beforeRender(&item);
    if (!program_)
        return;
    glDisable(GL_CULL_FACE);
    glDisable(GL_DEPTH_TEST);
    if (options.antialiasing) {
        glEnable(kMultisample);
        glEnable(kLineSmooth);
    } else {
        glDisable(kMultisample);
        glDisable(kLineSmooth);
    }
    program_->bind();
    program_->enableAttributeArray(positionLocation_);
    program_->enableAttributeArray(colorLocation_);

    // The channels or bands the grid is drawn for.
    std::vector<int> channels = {0};
    if (item.DisplayType == gdtStereo) {
        channels = {0, 1};
    } else if (item.DisplayType == gdtMulti) {
        channels.clear();
        for (int band = 1; band <= std::max(item.MultiCount, 1); ++band)
            channels.push_back(band);
    }

    const int gy = item.Axis.AxisY.GridCount;
    const std::vector<TCustomVertex> coordinates = CreateCoordinateVertices(gy, item.Axis.AxisY.GridColor);
    const std::vector<TCustomVertex> vertical = CreateVerticalGridVertices(item.Axis.AxisX.GridCount, item.Axis.AxisX.GridColor);
    item.VertexCountCoords = 2 * gy + 2;
    item.VertexCountGridVertical = std::max(item.Axis.AxisX.GridCount - 1, 0);
    auto drawCentreLine = [&] {
        for (const int channel : channels)
            Draw(coordinates, GL_LINES, 0, 2, CoordinatesTransform(item.DisplayType, channel, item.MultiCount));
    };

    // Grid and centre line.
    SetBlend(Blend::Grid);
    for (const int channel : channels) {
        const Matrix world = CoordinatesTransform(item.DisplayType, channel, item.MultiCount);
        if (item.Axis.AxisY.GridVisible)
            Draw(coordinates, GL_LINES, 2, 2 * (2 * gy + 1), world);
    }
    if (item.Axis.CenterLine)
        drawCentreLine();
    if (item.Axis.AxisX.GridVisible)
        for (const int channel : channels)
            Draw(vertical, GL_LINES, 0, 2 * item.VertexCountGridVertical,
                 CoordinatesTransform(item.DisplayType, channel, item.MultiCount));

    // Curves, then the centre line once more over them.
    // What the transforms of a curve (or of none) depend on.
    auto inputFor = [&item, &options](const TGraphDisplayGraphItem* g) {
        SamplesTransformInput in;
        in.zoom = item.Zoom;
        in.maximumVertexCount = item.MaximumVertexCount();
        in.itemSampleAmplitude = item.SampleAmplitude;
        in.graphSampleAmplitude = g != nullptr ? g->SampleAmplitude : 1.0f;
        in.displayType = g == nullptr || g->DisplayType == gdtAsParent ? item.DisplayType : g->DisplayType;
        in.stereoId = g != nullptr ? g->StereoID : gdgisidLeft;
        in.multiCount = std::max(item.MultiCount, 1);
        in.group = g != nullptr ? g->Group : 0;
        // The item's Position: its offset in scroll units, which are world units of the curves.
        in.itemPosition = item.Length() != 0 ? item.FPosition / item.Length() * options.scrollMaximum : 0;
        in.graphPosition = g != nullptr ? g->FPosition : 0;
        return in;
    };
    auto samplesTransform = [&item, &inputFor](const TGraphDisplayGraphItem* g) {
        item.WorldMatrix = SamplesTransform(inputFor(g));
        return item.WorldMatrix;
    };
    // The start-up rotation turns a step with every curve drawn, until it has turned flat.
    auto curveTransform = [&item, &options, &inputFor](const TGraphDisplayGraphItem* g) {
        SamplesTransformInput in = inputFor(g);
        if (options.startupRotation && item.StartupAnim) {
            item.StartupAnim = StartupRotationStep(item.SamplesRotationMatrix, item.StartupAnimAngle);
            in.rotation = item.SamplesRotationMatrix;
        }
        item.WorldMatrix = SamplesTransform(in);
        return item.WorldMatrix;
    };
    if (options.beforeSamplesRender)
        options.beforeSamplesRender(&item);
    SetBlend(Blend::Curves);
    for (int i = 0; i < item.GraphItems.Count(); ++i) {
        TGraphDisplayGraphItem* g = item.GraphItems[i];
        if (!g->Visible || g->VertexCountSamples <= 0)
            continue;
        const bool bars = g->D3DVertexType == 4;
        Draw(g->VertexBufferSamples, bars ? GL_TRIANGLES : GL_LINE_STRIP, 0,
             bars ? 3 * g->VertexCountSamples : g->VertexCountSamples + 1, curveTransform(g));
    }
    if (options.afterSamplesRender)
        options.afterSamplesRender(&item);
    if (item.Axis.CenterLine)
        drawCentreLine();

    const bool rotating = options.startupRotation && item.StartupAnim;
    const TGraphDisplayGraphItem* first = item.GraphItems[0];
    // The selection: its backdrop, the band twice, and its two edge lines.
    auto drawSelection = [&](const SelectionVertices& s, const Matrix& world) {
        const std::vector<TCustomVertex> backdrop(s.back.begin(), s.back.end());
        const std::vector<TCustomVertex> band(s.band.begin(), s.band.end());
        SetBlend(Blend::SelectionBack, item.SelectionBlendMode);
        Draw(backdrop, GL_TRIANGLES, 0, 6, world);
        SetBlend(Blend::SelectionBand1, item.SelectionBlendMode);
        Draw(band, GL_TRIANGLES, 0, 6, world);
        SetBlend(Blend::SelectionBand2, item.SelectionBlendMode);
        Draw(band, GL_TRIANGLES, 0, 6, world);
        SetBlend(Blend::Off);
        Draw(band, GL_LINES, 6, 4, world);
    };
    if (options.showSelection && !rotating) {
        const std::lock_guard<std::recursive_mutex> selectionLock(item.SelectionCriticalSection);
        if (item.SelectionMode == gdismGlobal) {
            // The band's height (amplitude x 8.4e8) reaches far past the camera's window; an
            // OpenGL rasterizer drops triangles that large, so it stops at 2000 world units.
            const Matrix world = samplesTransform(first);
            const float sy = std::fabs(world.m[1][1]);
            const float bandHeight = std::min(item.MaximumAmplitude() * 8.4e8f, sy > 0 ? 2000.0f / sy : 2000.0f);
            drawSelection(CreateSelectionVertices(item.SelectionStart, item.SelectionEnd, item.Length(),
                                                  item.MaximumVertexCount(), bandHeight, item.SelectionColor,
                                                  item.SelectionLineColor),
                          world);
        } else { // one selection per curve, under the curve's selection transform
            for (int i = 0; i < item.GraphItems.Count(); ++i) {
                const TGraphDisplayGraphItem* g = item.GraphItems[i];
                drawSelection(CreateSelectionVertices(g->SelectionStart, g->SelectionEnd, item.Length(),
                                                      item.MaximumVertexCount(), 1, item.SelectionColor,
                                                      item.SelectionLineColor),
                              GraphItemSelectionTransform(inputFor(g)));
            }
        }
    }
    if (options.showMarkers && item.MarkersVisible && !rotating) {
        std::vector<MarkerPlace> places;
        for (int i = 0; i < item.Markers.Count(); ++i)
            places.push_back({item.Markers[i]->Position, item.Markers[i]->Color});
        const std::vector<TCustomVertex> markers =
            CreateMarkerVertices(places, options.activeMarker, item.MaximumVertexCount(), item.Length());
        item.VertexCountMarkers = static_cast<int>(markers.size() / 2);
        Draw(markers, GL_LINES, 0, static_cast<int>(markers.size()), samplesTransform(first));
    }
    if (options.showCursor && !rotating) {
        const std::vector<TCustomVertex> cursor = CreateCursorVertices(options.cursorX, options.solidCursor);
        SetBlend(options.solidCursor ? Blend::Off : Blend::Cursor);
        if (options.solidCursor) {
            Draw(cursor, GL_LINES, 0, 2, samplesTransform(first));
        } else {
            Draw(cursor, GL_TRIANGLES, 0, 6, samplesTransform(first));
        }
    }
    program_->disableAttributeArray(positionLocation_);
    program_->disableAttributeArray(colorLocation_);
    program_->release();
    glDisable(GL_BLEND);
    // QPainter's OpenGL engine keeps the glyphs in a texture that it copies by drawing when it
    // grows: with alpha writes still masked the copy loses every glyph drawn before.
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glBlendEquation(GL_FUNC_ADD);
    DrawTexts(item, options, width, height);
    if (options.afterRender)
        options.afterRender(&item);
}

void GraphRenderer::DrawTexts(TGraphDisplayItem& item, const RenderOptions& options, int width, int height) {
    const bool anyText = item.Axis.AxisY.Visible || item.Axis.AxisX.Visible ||
                         (item.Legend.Visible && item.GraphItems.Count() > 0) ||
                         (item.Caption.Visible && !item.Caption.Text.isEmpty());
    if (!anyText)
        return;
    QOpenGLPaintDevice device(width, height);
    QPainter painter(&device);
    const double h = height;
    // Text whose top-left corner is (x, top).
    auto text = [&painter](int x, int top, const QString& value) {
        painter.drawText(x, top + QFontMetrics(painter.font()).ascent(), value);
    };
    auto textWidth = [&painter](const QString& value) { return QFontMetrics(painter.font()).horizontalAdvance(value); };

    if (item.Axis.AxisY.Visible) {
        const TGraphDisplayItemAxisY& axis = item.Axis.AxisY;
        painter.setFont(MakeFont(axis.Font));
        painter.setPen(TextColor(axis.Font));
        for (const YLabel& label : YLabels(item, h)) {
            QString value;
            if (options.axisYText)
                value = options.axisYText(&item, label.above ? label.value : -label.value);
            else
                value = (label.above ? u'+' : u'-') + QString::number(label.value, 'g', axis.Precision);
            const int top = static_cast<int>(std::trunc(label.y - axis.Font.size / 2.0));
            if (axis.Position != gdiapyRight)
                text(3, top, value);
            if (axis.Position != gdiapyLeft)
                text(width - 3 - textWidth(value), top, value);
        }
    }
    if (item.Axis.AxisX.Visible) {
        const TGraphDisplayItemAxisX& axis = item.Axis.AxisX;
        painter.setFont(MakeFont(axis.Font));
        painter.setPen(TextColor(axis.Font));
        const int g = std::max(axis.GridCount, 1);
        const double first = options.scrollPosition / options.scrollMaximum * item.Length();
        const double step = item.Length() / (options.scrollMaximum / 600) / g;
        for (int i = 1; i < g; ++i) {
            const double v = first + step * i;
            const QString value = options.axisXText ? options.axisXText(&item, v) : QString::number(v, 'g', axis.Precision);
            const int centre = static_cast<int>(std::trunc(static_cast<double>(width) / g * i));
            const int left = centre - textWidth(value) / 2;
            if (axis.Position != gdiapxTop)
                text(left, static_cast<int>(std::trunc(h - axis.Font.size - 1)), value);
            if (axis.Position != gdiapxBottom)
                text(left, 1, value);
        }
    }
    if (item.Legend.Visible && item.DisplayType != gdtAsParent) {
        painter.setFont(MakeFont(item.Legend.Font));
        const bool right = item.Legend.Position == gdilpTopRight || item.Legend.Position == gdilpBottomRight;
        for (const LegendLine& line : LegendLines(item, h)) {
            const TGraphDisplayGraphItem* g = item.GraphItems[line.graphIndex];
            const std::uint32_t c = ColorToD3DColor(g->Color);
            painter.setPen(QColor::fromRgb((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF));
            text(right ? width - 125 : 75, line.top, g->Name);
        }
    }
    if (item.Caption.Visible && !item.Caption.Text.isEmpty()) {
        painter.setFont(MakeFont(item.Caption.Font));
        painter.setPen(TextColor(item.Caption.Font));
        text(width / 2 - textWidth(item.Caption.Text) / 2, 25, item.Caption.Text);
    }
}

} // namespace kelvane::graph
