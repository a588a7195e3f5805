// The settings file with 300 profile sections of 7 keys each: one read, one write, and one batch
// that writes all 2100 keys (what "Save Settings" does). Writes alternate the values, so each one
// really replaces the file; and one section of 200k keys. A 48 MiB file (what years of profiles
// make): loading it, what start-up reads of it, "Save Settings" into it, and the peak RSS of each
// (run one at a time with --benchmark_filter for its own peak). Run: build/bench/bench_settings

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <sys/resource.h>

#include "settings/IniFile.h"
#include "settings/Preferences.h"

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

// ---- A 48 MiB file ------------------------------------------------------------------------------

double PeakRssMiB() {
    rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// UTF-16LE profile sections of seven keys, as "Save Settings" writes them, up to 48 MiB.
struct HugeFile {
    QTemporaryDir dir;
    IniFile file{dir.filePath(QStringLiteral("kelvane.ini"))};
    qsizetype size = 0;
    int sections = 0;
    HugeFile() {
        // Written in pieces, so that making the file adds little to the peak RSS measured.
        QFile out(file.path());
        if (!out.open(QIODevice::WriteOnly))
            return;
        auto put = [&out, this](const QString& text) {
            size += out.write(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
        };
        size += out.write("\xFF\xFE", 2);
        put(QStringLiteral("[Preferences]\r\nRefreshInterval=500\r\nOptimizerInterval=250\r\n"));
        while (size < 48 * 1024 * 1024) {
            put(QStringLiteral("[/usr/lib/vendor/application-%1/bin/program]\r\n").arg(sections++) +
                QStringLiteral("Priority=32\r\nAutoKill=0\r\nTabu=0\r\nStatic=0\r\nAffinity=3\r\n"
                               "Shutdown time=30 Dec 1899\r\nShutdown daily=0\r\n"));
        }
    }
    void Report(benchmark::State& state) const {
        state.counters["file_MiB"] = static_cast<double>(size) / (1024.0 * 1024.0);
        state.counters["peak_rss_MiB"] = PeakRssMiB();
        state.counters["sections"] = sections;
    }
};

void BM_Load48MiB(benchmark::State& state) {
    HugeFile f;
    for (auto _ : state)
        benchmark::DoNotOptimize(f.file.Load().HasSection(QStringLiteral("Preferences")));
    f.Report(state);
}
BENCHMARK(BM_Load48MiB)->Unit(benchmark::kMillisecond);

// What start-up reads: the window's, the list's and the dialog's keys (each a load, as the window
// does them), then one load for the profiles of the first scan's 300 rows.
void BM_StartUpReads48MiB(benchmark::State& state) {
    HugeFile f;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LoadPreferences(f.file.Load()));
        benchmark::DoNotOptimize(LoadColumnLayout(f.file.Load()));
        benchmark::DoNotOptimize(LoadDialogOptions(f.file.Load(), DialogOptions()));
        const IniDocument doc = f.file.Load();
        for (int p = 0; p < kProfiles; ++p) {
            const QString section = QStringLiteral("/usr/lib/vendor/application-%1/bin/program").arg(p * 97);
            benchmark::DoNotOptimize(doc.Keys(section, SectionCase::Exact));
            for (const char* key : kKeys)
                benchmark::DoNotOptimize(doc.Read(section, QLatin1String(key), SectionCase::Exact));
        }
    }
    f.Report(state);
}
BENCHMARK(BM_StartUpReads48MiB)->Unit(benchmark::kMillisecond);

// "Save Settings" of 300 running profiles into the 48 MiB file: read, change, replace.
void BM_Save48MiB(benchmark::State& state) {
    HugeFile f;
    int round = 0;
    for (auto _ : state) {
        IniBatch batch;
        for (int p = 0; p < kProfiles; ++p)
            for (const char* key : kKeys)
                batch.Write(QStringLiteral("/usr/lib/vendor/application-%1/bin/program").arg(p * 97), QLatin1String(key),
                            QString::number(++round % 2 == 0 ? 32 : 128), SectionCase::Exact);
        f.file.Apply(batch);
    }
    f.Report(state);
}
BENCHMARK(BM_Save48MiB)->Unit(benchmark::kMillisecond);

// N new keys written into one section as one batch: linear in N, not quadratic.
void BM_BatchIntoOneSection(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    for (auto _ : state) {
        IniDocument doc;
        IniBatch batch;
        for (int k = 0; k < keys; ++k)
            batch.Write(QStringLiteral("/usr/bin/one"), QStringLiteral("Key%1").arg(k), QStringLiteral("1"));
        batch.ApplyTo(doc);
        benchmark::DoNotOptimize(doc.Serialize().size());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_BatchIntoOneSection)->RangeMultiplier(4)->Range(5000, 320000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

BENCHMARK_MAIN();
