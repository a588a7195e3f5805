// The settings file with 300 profile sections of 7 keys each: one read, one write, and one batch
// that writes all 2100 keys (what "Save Settings" does). Writes alternate the values, so each one
// really replaces the file; and one section of 200k keys. Run: build/bench/bench_settings

#include <benchmark/benchmark.h>

#include <QFile>
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

// One section of 200k keys: `kelvanectl ini keys` (load, parse, list) and the profile read that
// each new row makes (list the keys, then read the seven profile keys) from the parsed file.
struct BigSection {
    QTemporaryDir dir;
    IniFile file{dir.filePath(QStringLiteral("kelvane.ini"))};
    const QString section = QStringLiteral("/usr/bin/big");
    BigSection() {
        QByteArray text = "[/usr/bin/big]\n";
        for (int i = 0; i < 200000; ++i)
            text += "Key" + QByteArray::number(i) + '=' + QByteArray::number(i) + '\n';
        QFile out(file.path());
        if (out.open(QIODevice::WriteOnly))
            out.write(text);
    }
};

void BM_ListKeysOf200k(benchmark::State& state) {
    BigSection f;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.file.Keys(f.section));
}
BENCHMARK(BM_ListKeysOf200k)->Unit(benchmark::kMillisecond);

void BM_ProfileReadOf200k(benchmark::State& state) {
    BigSection f;
    const IniDocument doc = f.file.Load();
    for (auto _ : state) {
        benchmark::DoNotOptimize(doc.Keys(f.section, SectionCase::Exact));
        for (const char* key : kKeys)
            benchmark::DoNotOptimize(doc.Read(f.section, QLatin1String(key), SectionCase::Exact));
    }
}
BENCHMARK(BM_ProfileReadOf200k)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
