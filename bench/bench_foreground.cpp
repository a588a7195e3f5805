// The cost of asking for the foreground process: the X11 round trip of each call (what the port did
// before it followed events) against the tracker's cached read, on the X11 source and on a source
// that never answers again after its first report. Run under a display for the X11 figures:
//   xvfb-run -a sh -c 'openbox & exec build/bench/bench_foreground'

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <cstdlib>

#include "platform/linux/X11Foreground.h"
#include "platform/linux/foreground/ForegroundTracker.h"

using namespace kelvane::linux_port;

namespace {

bool HasDisplay() {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0';
}

void BM_X11RoundTrip(benchmark::State& state) {
    if (!HasDisplay()) {
        state.SkipWithError("no X display");
        return;
    }
    X11Foreground x11;
    for (auto _ : state)
        benchmark::DoNotOptimize(x11.ForegroundPid());
}
BENCHMARK(BM_X11RoundTrip);

void BM_TrackerOnX11(benchmark::State& state) {
    if (!HasDisplay()) {
        state.SkipWithError("no X display");
        return;
    }
    SessionEnvironment env;
    env.display = std::getenv("DISPLAY");
    ForegroundTracker tracker(env, {}, {});
    tracker.Pid(); // picks the source
    for (auto _ : state)
        benchmark::DoNotOptimize(tracker.Pid());
    state.SetLabel(tracker.SourceName());
}
BENCHMARK(BM_TrackerOnX11);

class OneAnswer final : public ForegroundSource {
public:
    const char* Name() const override { return "one-answer"; }
    bool Start(ForegroundSink& sink) override {
        sink.Foreground(4242);
        return true;
    }
};

void BM_TrackerCachedRead(benchmark::State& state) {
    SessionEnvironment env;
    env.display = ":none";
    ForegroundTracker tracker(env, [](SourceKind) { return std::make_unique<OneAnswer>(); }, {});
    tracker.Pid();
    for (auto _ : state)
        benchmark::DoNotOptimize(tracker.Pid());
}
BENCHMARK(BM_TrackerCachedRead);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv); // the tracker's thread runs a Qt event loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
