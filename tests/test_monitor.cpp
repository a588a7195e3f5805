// The process monitor against the fake port: scans, rows, profiles, sampling, display refresh.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"
#include "engine/RowTexts.h"
#include "platform/fake/FakeProcessApi.h"
#include "settings/IniFile.h"
#include "tools/kelvanectl/Commands.h"
#include "util/DateTimeText.h"

using namespace kelvane;

namespace {

class RecordingHost final : public EngineHost {
public:
    void MessageBox(const QString& text, MessageKind) override { boxes.append(text); }
    QStringList boxes;
};

const QLocale kEnglish(QStringLiteral("en_US"));

class MonitorTest : public testing::Test {
protected:
    MonitorTest() { strings.LoadLanguageStrings(DefaultLanguageTable(), host); }

    ProcessMonitor& Monitor() {
        if (!monitor)
            monitor = std::make_unique<ProcessMonitor>(api, host, strings, settingsPath, 8, kEnglish);
        return *monitor;
    }
    // The start-up: the full scan and two display refreshes with the window shown.
    ProcessMonitor& Started() {
        ProcessMonitor& m = Monitor();
        m.StartUp();
        m.flags.windowVisible = true;
        m.TimerRefreshDisplayOn();
        m.TimerRefreshDisplayOn();
        return m;
    }
    const ProcessRow& Row(Pid pid) {
        const int index = Monitor().list().FindCaption(PidText(pid));
        EXPECT_GE(index, 0) << pid;
        return Monitor().list().at(std::max(index, 0));
    }
    void Profile(const QString& section, std::initializer_list<std::pair<const char*, const char*>> keys) {
        IniFile file(settingsPath);
        for (const auto& [key, value] : keys)
            ASSERT_TRUE(file.WriteString(section, QLatin1String(key), QLatin1String(value)));
    }

    FakeProcessApi api;
    RecordingHost host;
    MessageStrings strings;
    QTemporaryDir dir;
    QString settingsPath = dir.filePath(QStringLiteral("kelvane.ini"));
    std::unique_ptr<ProcessMonitor> monitor;
};

} // namespace

// ---- Texts ---------------------------------------------------------------------------------------

TEST(RowTexts, CpuTimesSharesAndAffinities) {
    const std::vector<std::pair<CpuTicks, const char*>> times = {
        {((3LL * 24 + 4) * 3600 + 5 * 60 + 6) * 10000000LL + 7000000, "76:05:06"},
        {42LL * 10000000, "0:00:42"},
        {0, "0:00:00"},
        {36000000000LL + 18000000000LL, "1:30:00"}};
    for (const auto& [ticks, text] : times)
        EXPECT_EQ(CpuTimeText(ticks), QLatin1String(text)) << ticks;

    struct ShareCase {
        CpuTicks delta;
        int interval, processors;
        const char* text;
    };
    for (const ShareCase& c : {ShareCase{1000000, 500, 4, "5.0%"}, ShareCase{999999999, 500, 2, "100.0%"},
                               ShareCase{0, 500, 2, "0.0%"}, ShareCase{62500, 500, 1, "1.3%"},
                               ShareCase{5000000, 1000, 2, "25.0%"}})
        EXPECT_EQ(CpuShareText(CpuShare(c.delta, c.interval, c.processors), kEnglish), QLatin1String(c.text));
    EXPECT_EQ(CpuShareText(12.5, QLocale(QStringLiteral("de_DE"))), QStringLiteral("12,5%"));
    EXPECT_EQ(ShareOfText(QStringLiteral("12,5%"), QLocale(QStringLiteral("de_DE"))), 12.5f);
    EXPECT_EQ(ShareOfText(QStringLiteral(" - "), kEnglish), 0.0f);
    EXPECT_EQ(ShareOfText(QStringLiteral("abc%"), kEnglish), 0.0f);
    // The texts kept between calls follow the locale and the processor count they were made for.
    EXPECT_EQ(CpuShareText(0, QLocale(QStringLiteral("de_DE"))), QStringLiteral("0,0%"));
    EXPECT_EQ(ShareOfText(QStringLiteral("0.0%"), QLocale(QStringLiteral("de_DE"))), 0.0f);
    EXPECT_EQ(CpuShareText(0, kEnglish), QStringLiteral("0.0%"));
    EXPECT_EQ(ShareOfText(QStringLiteral("3.5%"), kEnglish), 3.5f);
    EXPECT_EQ(AffinityText(3, 1), QStringLiteral("0"));
    EXPECT_EQ(AffinityText(3, 2), QStringLiteral("0-1"));

    EXPECT_EQ(AffinityText(13, 4), QStringLiteral("0-2-3"));
    EXPECT_EQ(AffinityText(4, 4), QStringLiteral("2"));
    EXPECT_EQ(AffinityText(0xFFFFFFFF80000001ULL, 2), QStringLiteral("0"));
    EXPECT_EQ(DeltaMsText(156300, kEnglish), QStringLiteral("15.63 ms"));
}

TEST(RowTexts, TheBoostNameIsTheWholeFileName) {
    // Executables have no extension here: a dot is part of the name.
    const std::pair<const char*, const char*> cases[] = {
        {"/usr/bin/python3.11", "python3.11"},
        {"/usr/bin/org.gnome.Maps", "org.gnome.Maps"},
        {"/usr/lib/firefox/firefox-bin.real", "firefox-bin.real"},
        {"/opt/app/.hidden", ".hidden"},
        {"/opt/app/trailing.", "trailing."},
        {"/usr/bin/plain", "plain"},
        {"/opt/dotted.dir/tool", "tool"},
        {"no-folder", "no-folder"},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(BoostStatusName(QLatin1String(path)).toStdString(), name);
}

// ---- Scans and rows ------------------------------------------------------------------------------

TEST_F(MonitorTest, RowsForNamedProcessesWithTheirTexts) {
    api.SetSystemPid(2);
    api.AddProcess(2, QString()); // the kernel: no executable to read
    api.AddProcess(100, QStringLiteral("/usr/bin/editor"), HIGH_PRIORITY_CLASS).affinity = 0x2;
    FakeProcess& hidden = api.AddProcess(101, QStringLiteral("/usr/bin/hidden"));
    hidden.refusedRights = PROCESS_VM_READ; // never named by the full scan
    ProcessMonitor& m = Started();

    EXPECT_EQ(m.list().FindCaption(QStringLiteral("101")), m.list().FindCaption(QStringLiteral("101")));
    const ProcessRow& idle = Row(0);
    EXPECT_EQ(idle.subItems[0], QStringLiteral("System Idle Process"));
    EXPECT_EQ(idle.subItems[1], QStringLiteral("Low"));
    EXPECT_EQ(idle.subItems[4], QStringLiteral("0-1"));
    EXPECT_EQ(idle.subItems[5], QStringLiteral("System Idle Process"));
    EXPECT_EQ(idle.subItems[7], QStringLiteral("Linux"));
    const ProcessRow& system = Row(2);
    EXPECT_EQ(system.subItems[0], QStringLiteral("SYSTEM"));
    EXPECT_EQ(system.subItems[5], QStringLiteral("Linux kernel"));
    const ProcessRow& editor = Row(100);
    EXPECT_EQ(editor.subItems[0], QStringLiteral("editor"));
    EXPECT_EQ(editor.subItems[1], QStringLiteral("High"));
    EXPECT_EQ(editor.subItems[4], QStringLiteral("1"));
    EXPECT_EQ(editor.subItems[8], QStringLiteral("/usr/bin/editor"));
    EXPECT_EQ(editor.subItems[9], QStringLiteral("Run always."));
    EXPECT_EQ(editor.imageIndex, 2);
    // The full scan names a process it cannot read as "Unknown", and that is its section.
    EXPECT_EQ(m.table()[101].Name, QStringLiteral("Unknown"));
    EXPECT_EQ(Row(101).subItems[0], QStringLiteral("Unknown"));
}

TEST_F(MonitorTest, RecordsWithoutANameAreNeverListed) {
    api.AddProcess(100, QStringLiteral("/usr/bin/a"));
    ProcessMonitor& m = Monitor();
    m.AcquireLibrary();
    m.GetProcessesOnNT(); // no full scan yet: nothing but the idle process is named
    EXPECT_EQ(m.list().count(), 1);
    EXPECT_EQ(m.list().at(0).caption, QStringLiteral("0"));
}

// Processes started after the full scan are listed by the next display refresh, whether or not the
// window shows and whether or not any other pass names them (the optimizer off, or processes that
// are not Kelvane's to change).
TEST_F(MonitorTest, ProcessesStartedLaterAreListedByTheNextRefresh) {
    struct Case {
        const char* what;
        bool windowVisible;
        std::uint32_t refusedRights;
        bool exitsFirst;
        const char* listedName; // nullptr: not listed
    };
    const Case cases[] = {
        {"own process, window shown", true, 0, false, "late"},
        {"own process, window hidden", false, 0, false, "late"},
        {"another user's, path unreadable", true, PROCESS_VM_READ, false, "Unknown"},
        {"not changeable, path readable", false, PROCESS_SET_INFORMATION, false, "late"},
        {"ended before the refresh", true, 0, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakeProcessApi world;
        world.AddProcess(100, QStringLiteral("/usr/bin/early"));
        ProcessMonitor m(world, host, strings, settingsPath, 8, kEnglish);
        m.StartUp();
        m.flags.windowVisible = c.windowVisible;
        m.TimerRefreshDisplayOn();
        world.AddProcess(200, QStringLiteral("/usr/bin/late")).refusedRights = c.refusedRights;
        if (c.exitsFirst)
            world.ExitProcess(200);
        m.TimerRefreshDisplayOn();
        const int index = m.list().FindCaption(QStringLiteral("200"));
        if (c.listedName == nullptr) {
            EXPECT_LT(index, 0);
            continue;
        }
        ASSERT_GE(index, 0);
        EXPECT_EQ(m.list().at(index).subItems[0], QLatin1String(c.listedName));
        // Named once: later refreshes do not open it again for its name.
        world.ClearLog();
        m.flags.windowVisible = false;
        m.TimerRefreshDisplayOn();
        EXPECT_FALSE(world.Log().join(u'\n').contains(QStringLiteral("OpenProcess 1040 200")));
    }
}

TEST_F(MonitorTest, FullScanRefreshDecidesWhetherClassesAreReread) {
    api.AddProcess(100, QStringLiteral("/usr/bin/a"), HIGH_PRIORITY_CLASS);
    ProcessMonitor& m = Monitor();
    m.AcquireLibrary();
    m.ProcessesScan(true);
    EXPECT_EQ(m.table()[100].OrginalPriority, HIGH_PRIORITY_CLASS);
    api.Find(100)->priorityClass = IDLE_PRIORITY_CLASS;
    m.ProcessesScan(false);
    EXPECT_EQ(m.table()[100].Priority, HIGH_PRIORITY_CLASS);
    m.ProcessesScan(true);
    EXPECT_EQ(m.table()[100].OrginalPriority, IDLE_PRIORITY_CLASS);
}

TEST_F(MonitorTest, PidRangeIsThePlatformsLimit) {
    api.SetPidLimit(65536);
    api.AddProcess(65535, QStringLiteral("/usr/bin/last"));
    api.AddProcess(65536, QStringLiteral("/usr/bin/beyond"));
    ProcessMonitor& m = Started();
    EXPECT_GE(m.list().FindCaption(QStringLiteral("65535")), 0);
    EXPECT_LT(m.list().FindCaption(QStringLiteral("65536")), 0);
    EXPECT_EQ(m.table()[0].Name, QStringLiteral("System Idle Process"));
    m.QueryProcessInfo(70000);
    EXPECT_EQ(host.boxes, QStringList{QStringLiteral("PID to high: 70000")});
}

TEST_F(MonitorTest, FindItemTakesTheLastOfEqualCaptions) {
    ProcessList& list = Monitor().list();
    list.Append(QStringLiteral("5")).subItems[0] = QStringLiteral("first");
    list.Append(QStringLiteral("7"));
    list.Append(QStringLiteral("5")).subItems[0] = QStringLiteral("second");
    EXPECT_EQ(list.FindItem(5), 2);
    EXPECT_EQ(list.FindCaption(QStringLiteral("5")), 0);
    EXPECT_EQ(list.FindItem(6), -1);
    list.Append(QStringLiteral("007"));
    EXPECT_EQ(list.FindItem(7), 3) << "read as a number, the last row first";
    list.Delete(3);
    list.Delete(0);
    EXPECT_EQ(list.FindItem(5), 1);
}

TEST_F(MonitorTest, CaptionLookupsMatchTheTextExactly) {
    ProcessList& list = Monitor().list();
    const QStringList captions = {QStringLiteral("12"),  QStringLiteral("012"), QStringLiteral("-3"),
                                  QStringLiteral("+12"), QStringLiteral(" 12"), QStringLiteral("0"),
                                  QStringLiteral("-0"),  QStringLiteral("x"),   QStringLiteral("1234567890123456789")};
    for (const QString& caption : captions)
        list.Append(caption);
    for (int i = 0; i < captions.size(); ++i)
        EXPECT_EQ(list.FindCaption(captions[i]), i) << captions[i].toStdString();
    struct Case { std::int64_t pid; int row; };
    for (const Case c : {Case{12, 0}, Case{-3, 2}, Case{0, 5}, Case{1234567890123456789, 8}, Case{13, -1}})
        EXPECT_EQ(list.FindPid(c.pid), c.row) << c.pid;
    list.Delete(0);
    EXPECT_EQ(list.FindPid(12), -1) << "only the plain text 12 is the PID's";
    EXPECT_EQ(list.FindCaption(QStringLiteral("012")), 0);
    EXPECT_EQ(list.FindPid(0), 4);
}

// ---- Profiles ------------------------------------------------------------------------------------

TEST_F(MonitorTest, ProfilesMakeProcessesManagedWithTheirValues) {
    api.AddProcess(100, QStringLiteral("/usr/bin/full"), NORMAL_PRIORITY_CLASS);
    api.AddProcess(101, QStringLiteral("/usr/bin/one key"), ABOVE_NORMAL_PRIORITY_CLASS).affinity = 0x2;
    api.AddProcess(102, QStringLiteral("/usr/bin/damaged"), HIGH_PRIORITY_CLASS);
    api.AddProcess(103, QStringLiteral("/usr/bin/empty"));
    api.AddProcess(104, QStringLiteral("/usr/bin/closed"), HIGH_PRIORITY_CLASS);
    const double shutdown = DaysOf(QDate(2030, 1, 2), QTime(3, 4, 5));
    Profile(QStringLiteral("/usr/bin/full"),
            {{"Priority", "64"}, {"AutoKill", "0"}, {"Tabu", "1"}, {"Static", "1"}, {"Affinity", "-2147483647"},
             {"Shutdown daily", "1"}});
    IniFile(settingsPath).WriteString(QStringLiteral("/usr/bin/full"), QStringLiteral("Shutdown time"),
                                      FormatDateTime(shutdown, kEnglish));
    Profile(QStringLiteral("/usr/bin/one key"), {{"Unrelated", "x"}});
    Profile(QStringLiteral("/usr/bin/damaged"), {{"Priority", "high"}, {"Tabu", "yes"}, {"Affinity", "0x"}});
    Profile(QStringLiteral("/usr/bin/closed"), {{"Static", "1"}});
    {
        QFile file(settingsPath);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray("[\0/\0u\0s\0r\0/\0b\0i\0n\0/\0e\0m\0p\0t\0y\0]\0\n\0", 34)); // no keys
    }
    ProcessMonitor& m = Monitor();
    m.StartUp();
    api.Find(104)->refusedRights = PROCESS_QUERY_INFORMATION; // closed when its row is made
    m.flags.windowVisible = true;
    m.TimerRefreshDisplayOn();
    m.TimerRefreshDisplayOn(); // the second tick shows what sampling found in the first

    const TProcess& full = m.table()[100];
    EXPECT_TRUE(full.Managed);
    EXPECT_EQ(full.OptimizeProfile, IDLE_PRIORITY_CLASS);
    EXPECT_TRUE(full.Never);
    EXPECT_TRUE(full.Static);
    EXPECT_FALSE(full.Kill);
    EXPECT_EQ(full.CPUAffinity, 0xFFFFFFFF80000001ULL);
    EXPECT_NEAR(full.ShutDownTime, shutdown, 1e-8);
    EXPECT_TRUE(full.DailyShutDown);
    EXPECT_EQ(Row(100).subItems[9], QStringLiteral("Daily at ") + FormatTimeOfDay(shutdown, kEnglish));
    EXPECT_EQ(Row(100).imageIndex, 5);

    const TProcess& oneKey = m.table()[101];
    EXPECT_TRUE(oneKey.Managed);
    EXPECT_EQ(oneKey.OptimizeProfile, ABOVE_NORMAL_PRIORITY_CLASS);
    EXPECT_EQ(oneKey.CPUAffinity, 0x2U);
    EXPECT_EQ(oneKey.ShutDownTime, 0.0);
    EXPECT_EQ(Row(101).imageIndex, 0);

    const TProcess& damaged = m.table()[102];
    EXPECT_TRUE(damaged.Managed);
    EXPECT_EQ(damaged.OptimizeProfile, HIGH_PRIORITY_CLASS) << "falls back to the class at discovery";
    EXPECT_FALSE(damaged.Never);
    EXPECT_EQ(damaged.CPUAffinity, 0x3U);

    EXPECT_FALSE(m.table()[103].Managed) << "a section without keys";
    EXPECT_EQ(Row(103).imageIndex, 2);

    const TProcess& closed = m.table()[104];
    EXPECT_TRUE(closed.Managed);
    EXPECT_EQ(closed.CPUAffinity, 0U) << "no mask was read: no affinity to hold";
    EXPECT_EQ(Row(104).subItems[1], QStringLiteral("N/A"));
    EXPECT_EQ(Row(104).imageIndex, 4) << "inactive while the window is shown";
}

// ---- Images --------------------------------------------------------------------------------------

TEST(RowImages, LaterStatesWin) {
    struct Case {
        bool managed, boosted, never;
        int image;
    };
    for (const Case& c : {Case{false, false, false, 2}, Case{true, false, false, 0}, Case{false, true, false, 0},
                          Case{true, true, true, 3}, Case{false, false, true, 3}}) {
        TProcess record;
        record.Managed = c.managed;
        record.Boosted = c.boosted;
        record.Never = c.never;
        EXPECT_EQ(ProcessMonitor::BaseImage(record), c.image);
    }
}

// ---- Sampling and usage --------------------------------------------------------------------------

TEST_F(MonitorTest, SharesAndTheIdleRemainder) {
    api.SetProcessorCount(2);
    api.AddProcess(100, QStringLiteral("/usr/bin/busy")).userTime = 123 * 10000000LL;
    api.AddProcess(101, QStringLiteral("/usr/bin/calm"));
    ProcessMonitor& m = Started();
    m.options.refreshIntervalMs = 500;
    api.Find(100)->userTime += 5000000; // 500 ms of one processor over a 500 ms interval
    api.Find(101)->kernelTime += 500000;
    m.TimerRefreshDisplayOn();
    EXPECT_EQ(Row(100).subItems[2], QStringLiteral("50.0%"));
    EXPECT_EQ(Row(100).subItems[3], QStringLiteral("0:02:03"));
    EXPECT_EQ(Row(101).subItems[2], QStringLiteral("5.0%"));
    EXPECT_EQ(Row(0).subItems[2], QStringLiteral("45.0%"));
    EXPECT_FLOAT_EQ(m.overallUsage.values()[2], 55.0f);
    EXPECT_EQ(m.overallUsage.position(), 3U);

    m.list().Select(m.list().FindCaption(QStringLiteral("100")));
    m.TimerRefreshDisplayOn();
    EXPECT_FLOAT_EQ(m.processUsage.values()[0], 0.0f) << "no CPU used in this interval";
    EXPECT_EQ(m.processUsage.position(), 1U);

    api.ExitProcess(100);
    api.ExitProcess(101);
    m.TimerRefreshDisplayOn();
    m.TimerRefreshDisplayOn();
    EXPECT_EQ(Row(100).subItems[1], QStringLiteral("N/A"));
    EXPECT_EQ(Row(100).subItems[2], QStringLiteral(" - "));
    EXPECT_EQ(Row(100).subItems[3], QStringLiteral(" - "));
    EXPECT_EQ(Row(100).imageIndex, 2) << "no longer enumerated: the row waits for the clean-up";
    EXPECT_EQ(Row(0).subItems[2], QStringLiteral("100.0%"));
}

namespace {

// Two processes of two processors over 500 ms: 50 % and 5 % of the machine each interval.
struct Load {
    FakeProcessApi& api;
    void Interval() const {
        api.Find(100)->userTime += 5000000;
        api.Find(101)->kernelTime += 500000;
    }
};

float LastWritten(const UsageRing& ring) {
    const auto& values = ring.values();
    return values[(ring.position() + values.size() - 1) % values.size()];
}

} // namespace

TEST_F(MonitorTest, WithProfilesRefreshOffTheIdleRowAndTheTotalStayRight) {
    api.SetProcessorCount(2);
    api.AddProcess(100, QStringLiteral("/usr/bin/busy"));
    api.AddProcess(101, QStringLiteral("/usr/bin/calm"));
    ProcessMonitor& m = Started();
    m.options.refreshIntervalMs = 500;
    const Load load{api};
    load.Interval();
    m.TimerRefreshDisplayOn();
    ASSERT_EQ(Row(0).subItems[2], QStringLiteral("45.0%"));
    m.options.profilesRefresh = false; // as a middle click on the tray (suspending) leaves it
    for (int tick = 0; tick < 4; ++tick) {
        load.Interval();
        m.TimerRefreshDisplayOn();
        EXPECT_FLOAT_EQ(LastWritten(m.overallUsage), 55.0f) << "tick " << tick << ": the rows still show 50 and 5";
        EXPECT_EQ(Row(0).subItems[2].toStdString(), "45.0%") << "tick " << tick;
    }
}

TEST_F(MonitorTest, SortedByCpuTheIdleRowStandsByTheShareItShows) {
    api.SetProcessorCount(2);
    api.AddProcess(100, QStringLiteral("/usr/bin/busy"));
    api.AddProcess(101, QStringLiteral("/usr/bin/calm"));
    api.AddProcess(102, QStringLiteral("/usr/bin/zero"));
    api.AddProcess(103, QStringLiteral("/usr/bin/zip"));
    ProcessMonitor& m = Started();
    m.options.refreshIntervalMs = 500;
    for (const bool ascending : {true, false}) {
        m.options.sortColumn = 3;
        m.options.sortAscending = ascending;
        Load{api}.Interval();
        m.TimerRefreshDisplayOn();
        QStringList shown;
        for (int i = 0; i < m.list().count(); ++i)
            shown.append(m.list().at(i).caption + u' ' + m.list().at(i).subItems[2]);
        ASSERT_EQ(Row(0).subItems[2], QStringLiteral("45.0%"));
        for (int i = 1; i < m.list().count(); ++i)
            EXPECT_LE(m.ListViewProcessesCompare(m.list().at(i - 1), m.list().at(i)), 0)
                << (ascending ? "ascending: " : "descending: ") << shown.join(QStringLiteral(", ")).toStdString();
    }
}

TEST_F(MonitorTest, TheFirstSampleAfterAPauseIsOnlyABaseline) {
    struct Case {
        const char* name;
        void (*pause)(ProcessMonitor&, bool paused);
    } const cases[] = {
        {"the window hidden", [](ProcessMonitor& m, bool paused) { m.flags.windowVisible = !paused; }},
        {"Profiles Refresh off", [](ProcessMonitor& m, bool paused) { m.options.profilesRefresh = !paused; }},
    };
    for (const Case& c : cases) {
        monitor.reset();
        api.SetProcessorCount(2);
        api.AddProcess(100, QStringLiteral("/usr/bin/busy"));
        api.AddProcess(101, QStringLiteral("/usr/bin/calm"));
        ProcessMonitor& m = Started();
        m.options.refreshIntervalMs = 500;
        const Load load{api};
        c.pause(m, true);
        for (int tick = 0; tick < 10; ++tick) { // the CPU time goes on growing meanwhile
            load.Interval();
            m.TimerRefreshDisplayOn();
        }
        c.pause(m, false);
        load.Interval();
        m.TimerRefreshDisplayOn();
        EXPECT_LE(ShareOfText(Row(100).subItems[2], kEnglish), 50.0f) << c.name << ": " << Row(100).subItems[2].toStdString();
        EXPECT_LE(LastWritten(m.overallUsage), 55.0f) << c.name << ": no spike in the total";
        load.Interval();
        m.TimerRefreshDisplayOn();
        EXPECT_EQ(Row(100).subItems[2], QStringLiteral("50.0%")) << c.name << ": the next tick measures again";
        EXPECT_EQ(Row(101).subItems[2], QStringLiteral("5.0%")) << c.name;
        EXPECT_FLOAT_EQ(LastWritten(m.overallUsage), 55.0f) << c.name;
    }
}

TEST_F(MonitorTest, SamplesStartFromZeroAndDetailLabelsFollow) {
    api.AddProcess(100, QStringLiteral("/usr/bin/a")).userTime = 156300;
    ProcessMonitor& m = Monitor();
    m.AcquireLibrary();
    m.ProcessesScan(true);
    EXPECT_EQ(m.table()[100].dCPUTime, 156300) << "the first sample's delta is the whole time";
    m.QueryProcessInfo(100);
    EXPECT_EQ(m.table()[100].dCPUTimeOptimizer, 156300);
    DetailLabels labels = m.DetailLabelsOf(100);
    EXPECT_EQ(labels.cpuTime, QStringLiteral("156300"));
    EXPECT_EQ(labels.cpuDelta, QStringLiteral("15.63 ms"));
    EXPECT_EQ(labels.cpuDeltaRaw, QStringLiteral("156300"));
    m.GetTheProcessTimes(100);
    EXPECT_FALSE(m.DetailLabelsOf(100).cpuDelta) << "no delta, no delta label";
}

// ---- The display refresh -------------------------------------------------------------------------

TEST_F(MonitorTest, StatusPanelsAndTrayTip) {
    api.AddProcess(100, QStringLiteral("/usr/lib/app/Explorer.EXE"));
    ProcessMonitor& m = Started();
    EXPECT_EQ(m.texts.statusPanel1, QStringLiteral("Processes: 2"));
    EXPECT_EQ(m.texts.statusPanel2, QStringLiteral("No process is boosted"));
    EXPECT_EQ(m.texts.trayTip, QStringLiteral("Offline"));
    EXPECT_EQ(m.texts.labelRefreshV, QStringLiteral("0 ms")) << "the fake clock stands still";
    m.BoostPID = 100;
    m.options.optimizerEnabled = true;
    m.texts.labelOptV = QStringLiteral("1 ms");
    m.TimerRefreshDisplayOn();
    EXPECT_EQ(m.texts.statusPanel2, QStringLiteral("Boosting: Explorer.EXE"));
    EXPECT_EQ(m.texts.trayTip, QStringLiteral("Opt: 1 ms\nRef: ") + m.texts.labelRefreshV +
                                   QStringLiteral("\nBoosting: Explorer.EXE"));
    m.table()[100].Never = true;
    m.TimerRefreshDisplayOn();
    EXPECT_EQ(m.texts.statusPanel2, QStringLiteral("No process is boosted"));
    // A foreground that is no process Kelvane knows (another PID namespace's window) was not
    // boosted, so it is not named as boosted with an empty name.
    for (const Pid unknown : {Pid{4242}, Pid{99999999}}) {
        m.BoostPID = unknown;
        m.TimerRefreshDisplayOn();
        EXPECT_EQ(m.texts.statusPanel2, QStringLiteral("No process is boosted")) << unknown;
    }
}

TEST_F(MonitorTest, ProfilesRefreshOffSkipsScanAndSampling) {
    api.AddProcess(100, QStringLiteral("/usr/bin/a"));
    ProcessMonitor& m = Started();
    m.texts.labelRefreshV = QStringLiteral("keep");
    m.options.profilesRefresh = false;
    api.AddProcess(101, QStringLiteral("/usr/bin/b"));
    m.ProcessesScan(false);
    m.TimerRefreshDisplayOn();
    EXPECT_LT(m.list().FindCaption(QStringLiteral("101")), 0);
    EXPECT_EQ(m.texts.labelRefreshV, QStringLiteral("keep"));
    EXPECT_EQ(m.texts.statusPanel1, QStringLiteral("Processes: 2"));
    m.flags.scanBusy = true; // a nested tick during a scan
    m.options.profilesRefresh = true;
    m.TimerRefreshDisplayOn();
    EXPECT_LT(m.list().FindCaption(QStringLiteral("101")), 0);
}

TEST_F(MonitorTest, SortingByColumns) {
    ProcessMonitor& m = Monitor();
    ProcessList& list = m.list();
    for (const auto& [pid, name, cpu] : {std::tuple{"100", "beta", "9.5%"}, std::tuple{"4", "Alpha", "12.0%"},
                                         std::tuple{"20", "alpha", "10.0%"}, std::tuple{"x", "_z", "1.0%"}}) {
        ProcessRow& row = list.Append(QLatin1String(pid));
        row.subItems[0] = QLatin1String(name);
        row.subItems[2] = QLatin1String(cpu);
    }
    auto order = [&list] {
        QStringList captions;
        for (int i = 0; i < list.count(); ++i)
            captions.append(list.at(i).caption);
        return captions.join(u',');
    };
    m.ListViewProcessesColumnClick(3); // "CPU": as text
    EXPECT_EQ(order(), QStringLiteral("x,20,4,100"));
    m.ListViewProcessesColumnClick(1); // "Process Name": a-z folded, "_" above "Z"
    EXPECT_EQ(order(), QStringLiteral("20,4,100,x"));
    m.ListViewProcessesColumnClick(1);
    EXPECT_FALSE(m.options.sortAscending);
    EXPECT_EQ(order(), QStringLiteral("x,100,20,4"));
    m.options.sortColumn = 0;
    m.options.sortAscending = true;
    m.SortList();
    EXPECT_EQ(order().right(8), QStringLiteral("4,20,100")) << "numbers as numbers, a non-number is equal";
}

TEST_F(MonitorTest, KelvanectlListPrintsTheSortedRows) {
    api.AddProcess(300, QStringLiteral("/usr/bin/with\ttab"));
    api.AddProcess(20, QStringLiteral("/usr/bin/b"));
    QString text;
    QString errors;
    QTextStream out(&text);
    QTextStream err(&errors);
    ASSERT_EQ(CommandList(api, host, strings, {QStringLiteral("--interval"), QStringLiteral("250")}, settingsPath,
                          out, err),
              0);
    out.flush();
    const QStringList lines = text.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], ProcessListColumns().join(u'\t'));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("0\tSystem Idle Process\tLow\t")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("20\tb\tNormal\t0.0%\t0:00:00\t0-1\t")));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("300\twith\\ttab\t")));
    EXPECT_EQ(lines[3].count(u'\t'), 10);
    EXPECT_TRUE(api.Log().contains(QStringLiteral("Sleep 250")));
}

TEST_F(MonitorTest, AnInterpretersProfileTellsOnceThatItNoLongerReachesItsScripts) {
    Profile(QStringLiteral("/usr/bin/python3.11"), {{"Priority", "128"}});
    api.notices = {QStringLiteral("a port notice")};
    api.hosted = {{QStringLiteral("/usr/bin/python3.11"), QStringLiteral("/home/u/bin/tool.py")},
                  {QStringLiteral("/usr/bin/perl"), QStringLiteral("/home/u/bin/tool.pl")}};
    const QStringList notices = Monitor().TakeNotices();
    ASSERT_EQ(notices.size(), 2) << notices.join(u'\n').toStdString();
    EXPECT_EQ(notices[0], QStringLiteral("a port notice"));
    EXPECT_TRUE(notices[1].contains(QStringLiteral("/usr/bin/python3.11")) &&
                notices[1].contains(QStringLiteral("/home/u/bin/tool.py")))
        << notices[1].toStdString();
    EXPECT_TRUE(Monitor().TakeNotices().isEmpty()) << "told once; perl has no profile";
}
