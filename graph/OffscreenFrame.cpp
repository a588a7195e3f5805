#include "graph/OffscreenFrame.h"

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

namespace kelvane::graph {

QImage RenderOffscreen(TGraphDisplayItem& item, const RenderOptions& options, int width, int height) {
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface))
        return {};
    QImage picture;
    {
        QOpenGLFramebufferObjectFormat format;
        format.setSamples(options.antialiasing ? 4 : 0);
        QOpenGLFramebufferObject target(width, height, format);
        if (!target.bind()) {
            context.doneCurrent();
            return {};
        }
        GraphRenderer renderer;
        if (renderer.Initialize())
            renderer.RenderFrame(item, options, width, height);
        target.release();
        picture = target.toImage().convertToFormat(QImage::Format_RGB888);
    }
    context.doneCurrent();
    return picture;
}

} // namespace kelvane::graph
