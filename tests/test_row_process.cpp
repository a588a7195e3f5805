// The commands on a list row act on the process the row was made for: once it has ended, whether
// its PID is free, a zombie's, or another program's now, they fail with the "ended" error and
// change nothing.

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "engine/ProcessMonitor.h"
#include "platform/fake/FakeProcessApi.h"

using namespace kelvane;

namespace {

class MarksHost final : public EngineHost {
public:
    void MessageBox(const QString& text, MessageKind) override { boxes.append(text); }
    void SetAffinityMarks(const std::vector<bool>& m) override { marks = m; }
    QStringList boxes;
    std::vector<bool> marks;
};

// How the row's process went.
enum class Ending { Running, Zombie, Reaped, Reused };

// One command on PID 100, and whether it reported success.
struct RowCommand {
    const char* name;
    std::function<bool(ProcessMonitor&)> run;
};

const RowCommand kCommands[] = {
    {"Low", [](ProcessMonitor& m) { return m.SetPriority(100, IDLE_PRIORITY_CLASS); }},
    {"RealTime", [](ProcessMonitor& m) { return m.SetPriority(100, REALTIME_PRIORITY_CLASS); }},
    {"Terminate", [](ProcessMonitor& m) { return m.KillSelectedProcess(100); }},
    {"Affinity",
     [](ProcessMonitor& m) { return m.SetCPUAffinity(100, 1) == ProcessMonitor::AffinityResult::Set; }},
};

struct Case {
    Ending ending;
    const char* command;
};

class RowProcess : public testing::TestWithParam<Case> {
protected:
    RowProcess() {
        strings.LoadLanguageStrings(DefaultLanguageTable(), host);
        api.SetSelfPid(10);
        api.AddProcess(10, QStringLiteral("/usr/bin/kelvane"));
        api.SetProcessorCount(4);
        monitor.processorCount = 4;
        monitor.AcquireLibrary();
    }

    // Names the processes and makes their rows, as the window's start does.
    void List() {
        monitor.ProcessesScan(true);
        monitor.flags.windowVisible = true;
        monitor.TimerRefreshDisplayOn();
    }

    FakeProcessApi api;
    MarksHost host;
    MessageStrings strings;
    QTemporaryDir dir;
    ProcessMonitor monitor{api, host, strings, dir.filePath(QStringLiteral("kelvane.ini")), 8,
                           QLocale(QStringLiteral("en_US"))};
};

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (const Ending ending : {Ending::Running, Ending::Zombie, Ending::Reaped, Ending::Reused})
        for (const RowCommand& command : kCommands)
            cases.push_back({ending, command.name});
    return cases;
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
    static const char* const kEndings[] = {"Running", "Zombie", "Reaped", "Reused"};
    return std::string(kEndings[static_cast<int>(info.param.ending)]) + info.param.command;
}

} // namespace

TEST_P(RowProcess, ActsOnTheRowsProcessOrOnNothing) {
    const Case c = GetParam();
    const RowCommand* command = nullptr;
    for (const RowCommand& candidate : kCommands)
        if (QLatin1String(candidate.name) == QLatin1String(c.command))
            command = &candidate;
    ASSERT_NE(command, nullptr);

    api.AddProcess(100, QStringLiteral("/usr/bin/listed"));
    List();
    ASSERT_GE(monitor.FindItem(100), 0);
    const std::uint64_t identity = monitor.table()[100].Identity;
    ASSERT_NE(identity, 0U);

    switch (c.ending) {
    case Ending::Running:
        break;
    case Ending::Zombie:
        api.ExitProcess(100);
        break;
    case Ending::Reaped:
        api.RemoveProcess(100);
        break;
    case Ending::Reused: // another program gets the PID before any scan has seen it
        api.AddProcess(100, QStringLiteral("/usr/bin/other"), NORMAL_PRIORITY_CLASS);
        break;
    }
    const bool done = command->run(monitor);
    if (c.ending == Ending::Running) {
        EXPECT_TRUE(done) << api.LastErrorText().toStdString();
        return;
    }
    EXPECT_FALSE(done);
    if (c.ending != Ending::Reaped) { // a free PID fails the open with the port's own error
        EXPECT_EQ(api.GetLastError(), PortError::NoSuchProcess);
        EXPECT_EQ(monitor.PriorityErrorText(), QStringLiteral("Error setting process's priority.\nNo such process."));
    }
    EXPECT_GE(monitor.FindItem(100), 0) << "the row stays until the clean-up";
    EXPECT_EQ(monitor.table()[100].Identity, identity) << "the record is still the ended process's";
    EXPECT_EQ(monitor.table()[100].CPUAffinity, 0U);
    if (const FakeProcess* now = api.Find(100)) {
        EXPECT_EQ(now->priorityClass, NORMAL_PRIORITY_CLASS);
        EXPECT_EQ(now->affinity, 0U);
        EXPECT_EQ(now->exited, c.ending == Ending::Zombie) << "ended by a command for another process";
    }
}

INSTANTIATE_TEST_SUITE_P(Commands, RowProcess, testing::ValuesIn(AllCases()), CaseName);

TEST_F(RowProcess, TheMarksShowOnlyTheRowsProcess) {
    api.AddProcess(100, QStringLiteral("/usr/bin/listed")).affinity = 0x3;
    List();
    monitor.LoadAndDisplayCPUAffinity(100);
    EXPECT_EQ(host.marks, (std::vector<bool>{true, true, false, false}));
    api.AddProcess(100, QStringLiteral("/usr/bin/other")).affinity = 0xC;
    monitor.LoadAndDisplayCPUAffinity(100);
    EXPECT_EQ(host.marks, (std::vector<bool>{true, true, false, false})) << "the marks stay as they were";
}
