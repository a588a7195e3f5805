// The window's display refresh over 300 and 2000 fake processes with the window shown (offscreen):
// the time of one tick including its repaint, the list's repaints per tick and the model's signals
// per tick; and the start-up to the window shown with 300 processes.
// Run: QT_QPA_PLATFORM=offscreen build/bench/bench_window

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>

#include "app/FormMain.h"
#include "app/ProcessListModel.h"
#include "app/ProcessListView.h"
#include "engine/ProcessMonitor.h"
#include "platform/fake/FakeProcessApi.h"

using namespace kelvane;
using namespace kelvane::app;

namespace {

UiServices Silent() {
    UiServices services;
    services.messageBox = [](QWidget*, QMessageBox::Icon, const QString&, const QString&,
                             QMessageBox::StandardButtons) { return QMessageBox::Ok; };
    services.openUrl = [](const QUrl&) {};
    return services;
}

void World(FakeProcessApi& api, int processes) {
    api.SetSelfPid(1);
    for (int i = 0; i < processes; ++i)
        api.AddProcess(static_cast<Pid>(100 + i), QStringLiteral("/usr/bin/process%1").arg(i % 40));
}

// Each tick a tenth of the processes used some CPU, as on a quiet desktop.
void Work(FakeProcessApi& api, int processes, int tick) {
    for (int i = tick % 10; i < processes; i += 10)
        api.Find(static_cast<Pid>(100 + i))->userTime += 10000 * (1 + i % 7);
    api.AdvanceCounter(FakeProcessApi::kFrequency / 2);
}

void BM_DisplayRefresh(benchmark::State& state) {
    const int processes = static_cast<int>(state.range(0));
    FakeProcessApi api;
    World(api, processes);
    QTemporaryDir dir;
    TFormMain window(api, {dir.filePath(QStringLiteral("kelvane.ini")), 1920, {}}, Silent());
    window.timerRefreshDisplay().stop(); // the benchmark drives the ticks
    window.timerOptimizer().stop();
    window.resize(1280, 900);
    window.show();
    window.TimerRefreshDisplayOn();
    QApplication::processEvents();
    const int paintsBefore = window.listView().paintCount();
    const ProcessListModel::Signals before = window.listModel().counts();
    int tick = 0;
    for (auto _ : state) {
        Work(api, processes, tick++);
        window.TimerRefreshDisplayOn();
        QApplication::processEvents(); // the repaint the tick asked for
    }
    const ProcessListModel::Signals after = window.listModel().counts();
    const double ticks = static_cast<double>(tick);
    state.counters["rows"] = window.listModel().rowCount();
    state.counters["repaints_per_tick"] = (window.listView().paintCount() - paintsBefore) / ticks;
    state.counters["signals_per_tick"] = (after.inserts + after.removes + after.moves + after.changes -
                                          before.inserts - before.removes - before.moves - before.changes) / ticks;
    state.counters["resets"] = after.resets;
    window.FormDestroy();
}
BENCHMARK(BM_DisplayRefresh)->Arg(300)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_StartUpToShown(benchmark::State& state) {
    FakeProcessApi api;
    World(api, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        QTemporaryDir dir;
        TFormMain window(api, {dir.filePath(QStringLiteral("kelvane.ini")), 1920, {}}, Silent());
        window.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(window.listModel().rowCount());
        state.PauseTiming();
        window.FormDestroy();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StartUpToShown)->Arg(300)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
