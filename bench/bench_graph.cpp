// Rebuilding a curve of 2000 samples and drawing one frame of the CPU graph, at the main window's
// 221 x 129 and at 1920 x 400, with whatever OpenGL the display offers (Mesa's software renderer
// under Xvfb: xvfb-run -a build/bench/bench_graph).

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>
#include <QOpenGLFunctions>
#include <cmath>

#include "app/CpuGraphSetup.h"

using namespace kelvane;
using namespace kelvane::graph;

namespace {

void BM_RebuildAndDraw(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext context;
    if (!context.create() || !context.makeCurrent(&surface)) {
        state.SkipWithError("no OpenGL context (run under xvfb-run)");
        return;
    }
    {
        QOpenGLFramebufferObjectFormat format;
        format.setSamples(4); // the CPU graph is antialiased
        QOpenGLFramebufferObject target(width, height, format);
        target.bind();
        GraphRenderer renderer;
        renderer.Initialize();
        TGraphDisplayItems items{GraphComponentHooks{}};
        TGraphDisplayItem* item = AddCpuGraphItem(items);
        TGraphDisplayGraphItem* curve = item->GraphItems[0];
        const RenderOptions options = CpuGraphRenderOptions();
        int round = 0;
        for (auto _ : state) {
            curve->Samples->resize(2000);
            for (int i = 0; i < 2000; ++i)
                (*curve->Samples)[static_cast<std::size_t>(i)].Value =
                    static_cast<float>(50 + 40 * std::sin((i + round) * 0.05));
            ++round;
            BuildCurveVertices(*item, *curve, options.maximumVertexCount);
            renderer.RenderFrame(*item, options, width, height);
            context.functions()->glFinish(); // the frame is done, not just queued
        }
        target.release();
    }
    context.doneCurrent();
}
BENCHMARK(BM_RebuildAndDraw)->Args({221, 129})->Args({1920, 400})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
