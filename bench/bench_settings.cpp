// The settings file with 300 profile sections of 7 keys each: one read, one write, and one batch
// that writes all 2100 keys (what "Save Settings" does). Writes alternate the values, so each one
// really replaces the file. Run: build/bench/bench_settings

#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include "settings/IniFile.h"

using namespace kelvane;

namespace {

constexpr int kProfiles = 300;
const char* const kKeys[] = {"Priority", "AutoKill", "Tabu", "Static", "Affinity", "Shutdown time", "Shutdown daily"};

IniBatch AllProfiles(int round) {
    IniBatch batch;
    for (int p = 0; p < kProfiles; ++p)
        for (const char* key : kKeys)
            batch.Write(QStringLiteral("/usr/lib/vendor/application-%1/bin/program").arg(p), QLatin1String(key),
                        QString::number(round % 2 == 0 ? 32 : 128));
    return batch;
}

struct Fixture {
    QTemporaryDir dir;
    IniFile file{dir.filePath(QStringLiteral("kelvane.ini"))};
    Fixture() { file.Apply(AllProfiles(0)); }
};

void BM_ReadOneKey(benchmark::State& state) {
    Fixture f;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.file.ReadString(QStringLiteral("/usr/lib/vendor/application-150/bin/program"),
                                                   QStringLiteral("Affinity")));
}
BENCHMARK(BM_ReadOneKey)->Unit(benchmark::kMillisecond);

void BM_WriteOneKey(benchmark::State& state) {
    Fixture f;
    int round = 0;
    for (auto _ : state)
        f.file.WriteString(QStringLiteral("/usr/lib/vendor/application-150/bin/program"), QStringLiteral("Affinity"),
                           QString::number(++round % 2));
}
BENCHMARK(BM_WriteOneKey)->Unit(benchmark::kMillisecond);

void BM_SaveAllProfiles(benchmark::State& state) {
    Fixture f;
    int round = 0;
    for (auto _ : state) {
        const IniBatch batch = AllProfiles(++round);
        f.file.Apply(batch);
    }
}
BENCHMARK(BM_SaveAllProfiles)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
