// One optimization pass over 300 and 2000 fake processes, and over 300 real children that this
// benchmark starts itself, next to a bare open + read + close of their /proc/PID/stat (the floor of
// any design that polls); SaveSettings with 300 profiles. The real part runs only as PID 1 of a
// private PID namespace, where nothing but its own children can be reached:
//   unshare --pid --fork --mount-proc build/bench/bench_cycle

#include <benchmark/benchmark.h>

#include <QTemporaryDir>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/Optimizer.h"
#include "engine/ProcessMonitor.h"
#include "engine/SaveSettings.h"
#include "platform/fake/FakeProcessApi.h"
#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/ProcFs.h"

using namespace kelvane;

namespace {

class NoHost final : public EngineHost {
public:
    void MessageBox(const QString&, MessageKind) override {}
};

struct Session {
    explicit Session(ProcessApi& api)
        : monitor(api, host, Strings(), dir.filePath(QStringLiteral("kelvane.ini"))), optimizer(monitor, host, Strings()) {
        monitor.StartUp();
        monitor.GetProcessesOnNT();
        optimizer.options.antiLockUp = true; // every check of a pass, with nothing over the threshold
        optimizer.options.antiLockUpPercent = 100;
    }
    static const MessageStrings& Strings() {
        static const MessageStrings strings = [] {
            NoHost host;
            MessageStrings s;
            s.LoadLanguageStrings(DefaultLanguageTable(), host);
            return s;
        }();
        return strings;
    }
    NoHost host;
    QTemporaryDir dir;
    ProcessMonitor monitor;
    Optimizer optimizer;
};

void PerProcess(benchmark::State& state, double count) {
    state.counters["processes"] = count;
    state.counters["per_process"] =
        benchmark::Counter(count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_CycleFake(benchmark::State& state) {
    FakeProcessApi api;
    api.SetPidLimit(4194304);
    for (int i = 0; i < state.range(0); ++i)
        api.AddProcess(static_cast<Pid>(300 + i * 1733), QStringLiteral("/usr/lib/app%1/bin/program").arg(i));
    Session session(api);
    for (auto _ : state) {
        session.optimizer.ProcessesOptimizeNT();
        api.ClearLog();
    }
    PerProcess(state, static_cast<double>(state.range(0)));
}
BENCHMARK(BM_CycleFake)->Arg(300)->Arg(2000)->Unit(benchmark::kMillisecond);

// 300 sleeping children, started once for the real benchmarks.
const std::vector<pid_t>& Children() {
    static std::vector<pid_t> children = [] {
        std::vector<pid_t> started;
        for (int i = 0; i < 300; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                ::execl("/bin/sleep", "sleep", "600", static_cast<char*>(nullptr));
                ::_exit(127);
            }
            started.push_back(pid);
        }
        ::usleep(300000);
        return started;
    }();
    return children;
}

bool InOwnNamespace(benchmark::State& state) {
    if (::getpid() == 1)
        return true;
    state.SkipWithError("run me as PID 1 of a private PID namespace: unshare --pid --fork --mount-proc");
    return false;
}

void BM_StatReadOfChildren(benchmark::State& state) {
    if (!InOwnNamespace(state))
        return;
    const std::vector<pid_t>& children = Children();
    for (auto _ : state)
        for (const pid_t pid : children)
            benchmark::DoNotOptimize(linux_port::ReadSmallFile("/proc/" + std::to_string(pid) + "/stat"));
    PerProcess(state, static_cast<double>(children.size()));
}
BENCHMARK(BM_StatReadOfChildren)->Unit(benchmark::kMillisecond);

void BM_CycleRealChildren(benchmark::State& state) {
    if (!InOwnNamespace(state))
        return;
    const std::vector<pid_t>& children = Children();
    LinuxProcessApi api;
    Session session(api);
    for (auto _ : state)
        session.optimizer.ProcessesOptimizeNT();
    PerProcess(state, static_cast<double>(children.size()));
}
BENCHMARK(BM_CycleRealChildren)->Unit(benchmark::kMillisecond);

void BM_SaveSettings300(benchmark::State& state) {
    FakeProcessApi api;
    for (int i = 0; i < 300; ++i)
        api.AddProcess(static_cast<Pid>(100 + i), QStringLiteral("/usr/lib/vendor/app-%1/bin/program").arg(i));
    Session session(api);
    for (int i = 0; i < 300; ++i) {
        TProcess& record = session.monitor.table()[static_cast<Pid>(100 + i)];
        record.Managed = true;
        record.OptimizeProfile = HIGH_PRIORITY_CLASS;
    }
    const QString path = session.dir.filePath(QStringLiteral("save.ini"));
    Preferences preferences;
    int round = 0;
    for (auto _ : state) {
        preferences.ALUPerc = 50 + (++round % 2); // a real change every time
        SaveSettings(path, preferences, session.monitor);
    }
}
BENCHMARK(BM_SaveSettings300)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (::getpid() == 1)
        for (const pid_t pid : Children()) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    return 0;
}
