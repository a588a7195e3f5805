// One display refresh scan plus CPU-time update (window shown) over 300 and 2000 fake processes and
// over this machine's processes, per process; and the memory of the table with 2000 processes.
// Reading only on the real machine. Run: build/bench/bench_monitor

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"
#include "platform/fake/FakeProcessApi.h"
#include "platform/linux/LinuxProcessApi.h"

using namespace kelvane;

namespace {

class NoHost final : public EngineHost {
public:
    void MessageBox(const QString&, MessageKind) override {}
};

void Refresh(benchmark::State& state, ProcessApi& api) {
    NoHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);
    QTemporaryDir dir;
    ProcessMonitor monitor(api, host, strings, dir.filePath(QStringLiteral("kelvane.ini")));
    monitor.StartUp();
    monitor.flags.windowVisible = true;
    monitor.GetProcessesOnNT(); // rows made once, as at start-up
    for (auto _ : state) {
        monitor.GetProcessesOnNT();
        monitor.UpdateProcessTimes();
    }
    const auto rows = static_cast<double>(monitor.list().count());
    state.counters["rows"] = rows;
    state.counters["per_process"] =
        benchmark::Counter(rows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["table_bytes"] = static_cast<double>(monitor.table().AllocatedBytes());
}

void BM_RefreshFake(benchmark::State& state) {
    FakeProcessApi api;
    api.SetPidLimit(4194304);
    for (int i = 0; i < state.range(0); ++i) // PIDs spread as on a long-running machine
        api.AddProcess(static_cast<Pid>(300 + i * 1733), QStringLiteral("/usr/lib/app%1/bin/program").arg(i));
    Refresh(state, api);
}
BENCHMARK(BM_RefreshFake)->Arg(300)->Arg(2000)->Unit(benchmark::kMillisecond);

void BM_RefreshThisMachine(benchmark::State& state) {
    LinuxProcessApi api;
    Refresh(state, api);
}
BENCHMARK(BM_RefreshThisMachine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
