// What one look at a process costs through the port, against just reading /proc/PID/stat.
// Reading only: nothing on the machine is changed. Run: build/bench/bench_port

#include <benchmark/benchmark.h>

#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/ProcFs.h"

using namespace kelvane;

namespace {

std::vector<Pid> AllPids() {
    LinuxProcessApi api;
    std::vector<Pid> pids;
    if (api.BindEnumeration())
        api.EnumProcesses(pids);
    return pids;
}

void PerProcess(benchmark::State& state, std::size_t count) {
    state.counters["processes"] = static_cast<double>(count);
    state.counters["per_process"] = benchmark::Counter(static_cast<double>(count),
                                                       benchmark::Counter::kIsIterationInvariantRate |
                                                           benchmark::Counter::kInvert);
}

// The baseline: open, read and close /proc/PID/stat of every process.
void BM_RawStatRead(benchmark::State& state) {
    const std::vector<Pid> pids = AllPids();
    for (auto _ : state)
        for (const Pid pid : pids)
            benchmark::DoNotOptimize(linux_port::ReadSmallFile("/proc/" + std::to_string(pid) + "/stat"));
    PerProcess(state, pids.size());
}
BENCHMARK(BM_RawStatRead);

// Open, running test, times (and the class, for the cycle), close, for every process.
void LookAtEveryProcess(benchmark::State& state, std::uint32_t access, bool readClass) {
    const std::vector<Pid> pids = AllPids();
    LinuxProcessApi api;
    for (auto _ : state) {
        for (const Pid pid : pids) {
            const ProcessHandle handle = api.OpenProcess(access, pid);
            std::uint32_t code = 0;
            ProcessTimes times;
            if (handle && api.GetExitCodeProcess(handle, code) && code == STILL_ACTIVE) {
                api.GetProcessTimes(handle, times);
                if (readClass)
                    benchmark::DoNotOptimize(api.GetPriorityClass(handle));
            }
            benchmark::DoNotOptimize(times);
        }
    }
    PerProcess(state, pids.size());
}

// The display refresh's look at a process: open for querying, running test, times, close.
void BM_OpenRunningTimesClose(benchmark::State& state) { LookAtEveryProcess(state, AccessMask::Query, false); }
BENCHMARK(BM_OpenRunningTimesClose);

// The cycle's look: open with the optimizer's rights, running test, times and class read.
void BM_OptimizerLook(benchmark::State& state) { LookAtEveryProcess(state, AccessMask::Optimize, true); }
BENCHMARK(BM_OptimizerLook);

// One enumeration of the running processes (kernel threads left out).
void BM_EnumProcesses(benchmark::State& state) {
    LinuxProcessApi api;
    api.BindEnumeration();
    std::vector<Pid> pids;
    for (auto _ : state)
        api.EnumProcesses(pids);
    PerProcess(state, pids.size());
}
BENCHMARK(BM_EnumProcesses);

} // namespace

BENCHMARK_MAIN();
