#include <gtest/gtest.h>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "platform/fake/FakeProcessApi.h"
#include "tools/kelvanectl/Commands.h"
#include "tools/kelvanectl/ProcessCommands.h"

using namespace kelvane;

namespace {

class SilentHost final : public EngineHost {
public:
    void MessageBox(const QString&, MessageKind) override {}
};

bool Running(ProcessApi& api, const ProcessHandle& handle) {
    std::uint32_t code = 0;
    return handle && api.GetExitCodeProcess(handle, code) && code == STILL_ACTIVE;
}

} // namespace

TEST(FakePort, RefusesOpensPerRight) {
    FakeProcessApi api;
    api.AddProcess(10, QStringLiteral("/usr/bin/a")).refusedRights = PROCESS_SET_INFORMATION;
    EXPECT_TRUE(api.OpenProcess(AccessMask::Query, 10));
    EXPECT_TRUE(api.OpenProcess(AccessMask::Scan, 10));
    EXPECT_FALSE(api.OpenProcess(AccessMask::Optimize, 10));
    EXPECT_EQ(api.GetLastError(), PortError::AccessDenied);
    EXPECT_FALSE(api.OpenProcess(AccessMask::SetAffinity, 10));
    EXPECT_FALSE(api.OpenProcess(AccessMask::Query, 11));
}

TEST(FakePort, HandleLacksRightsItWasNotOpenedWith) {
    FakeProcessApi api;
    api.AddProcess(10, QStringLiteral("/usr/bin/a"));
    const ProcessHandle handle = api.OpenProcess(AccessMask::Query, 10);
    EXPECT_FALSE(api.SetPriorityClass(handle, HIGH_PRIORITY_CLASS));
    EXPECT_EQ(api.GetLastError(), PortError::AccessDenied);
    EXPECT_FALSE(api.TerminateProcess(handle, STILL_ACTIVE));
    EXPECT_EQ(api.Find(10)->priorityClass, NORMAL_PRIORITY_CLASS);
}

TEST(FakePort, HandleToAnExitedOrReplacedProcessNeverActsOnTheNewOne) {
    FakeProcessApi api;
    api.AddProcess(10, QStringLiteral("/usr/bin/a"));
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize | PROCESS_TERMINATE, 10);
    api.ExitProcess(10, 3);
    std::uint32_t code = 0;
    ASSERT_TRUE(api.GetExitCodeProcess(handle, code));
    EXPECT_EQ(code, 3U);
    EXPECT_FALSE(api.SetPriorityClass(handle, HIGH_PRIORITY_CLASS));
    EXPECT_EQ(api.GetLastError(), PortError::NoSuchProcess);

    api.AddProcess(10, QStringLiteral("/usr/bin/b")); // the PID is given to another process
    EXPECT_FALSE(Running(api, handle));
    EXPECT_FALSE(api.SetPriorityClass(handle, HIGH_PRIORITY_CLASS));
    EXPECT_FALSE(api.TerminateProcess(handle, 0));
    EXPECT_EQ(api.Find(10)->priorityClass, NORMAL_PRIORITY_CLASS);
    EXPECT_FALSE(api.Find(10)->exited);
}

TEST(FakePort, RefusedChangesKeepTheOldValues) {
    FakeProcessApi api;
    FakeProcess& p = api.AddProcess(10, QStringLiteral("/usr/bin/a"));
    p.refuseSetClass = true;
    p.refuseSetAffinity = true;
    const ProcessHandle handle = api.OpenProcess(AccessMask::Optimize, 10);
    EXPECT_FALSE(api.SetPriorityClass(handle, IDLE_PRIORITY_CLASS));
    EXPECT_FALSE(api.SetProcessAffinityMask(handle, 1));
    std::uint64_t mask = 0;
    std::uint64_t system = 0;
    ASSERT_TRUE(api.GetProcessAffinityMask(handle, mask, system));
    EXPECT_EQ(mask, 3U);
    EXPECT_EQ(api.GetPriorityClass(handle), NORMAL_PRIORITY_CLASS);
}

TEST(FakePort, AffinityKeepsOnlyExistingProcessorsAndRefusesNone) {
    FakeProcessApi api;
    api.AddProcess(10, QStringLiteral("/usr/bin/a"));
    const ProcessHandle handle = api.OpenProcess(AccessMask::SetAffinity, 10);
    const std::uint64_t cpu0And31SignExtended = 0xFFFFFFFF80000001ULL;
    EXPECT_TRUE(api.SetProcessAffinityMask(handle, cpu0And31SignExtended));
    EXPECT_EQ(api.Find(10)->affinity, 1U);
    EXPECT_FALSE(api.SetProcessAffinityMask(handle, 0x80000000ULL));
    EXPECT_EQ(api.GetLastError(), PortError::InvalidArgument);
}

TEST(FakePort, EnumerationNeedsBinding) {
    FakeProcessApi api;
    api.AddProcess(10, QStringLiteral("/usr/bin/a"));
    std::vector<Pid> pids;
    EXPECT_FALSE(api.EnumProcesses(pids));
    api.SetBindFails(true);
    EXPECT_FALSE(api.BindEnumeration());
    EXPECT_FALSE(api.EnumProcesses(pids));
    api.SetBindFails(false);
    ASSERT_TRUE(api.BindEnumeration());
    ASSERT_TRUE(api.EnumProcesses(pids));
    EXPECT_EQ(pids, std::vector<Pid>{10});
}

TEST(FakePort, SleepAdvancesTheCounter) {
    FakeProcessApi api;
    const std::int64_t before = api.QueryPerformanceCounter();
    api.Sleep(100);
    EXPECT_EQ(api.QueryPerformanceCounter() - before, FakeProcessApi::kFrequency / 10);
}

TEST(KelvanectlClasses, PrintsOneLinePerPidAndFailsForUnopenable) {
    FakeProcessApi api;
    FakeProcess& a = api.AddProcess(10, QStringLiteral("/usr/bin/a"), HIGH_PRIORITY_CLASS);
    a.kernelTime = 36000000000LL; // 1 hour
    a.userTime = 18000000000LL;   // 30 minutes
    a.affinity = 2;
    api.AddProcess(12, QStringLiteral("/usr/bin/b")).refusedRights = PROCESS_QUERY_INFORMATION;
    api.AddProcess(13, QStringLiteral("/usr/bin/c"));
    api.ExitProcess(13);
    SilentHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);

    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    const int status = CommandClasses(api, strings, {QStringLiteral("10"), QStringLiteral("12"), QStringLiteral("13"),
                                                     QStringLiteral("14"), QStringLiteral("x")},
                                      out, err);
    out.flush();
    err.flush();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(outText, QStringLiteral("10\tHigh\t0x2\t54000000000\n"
                                      "12\tN/A\t-\t-\n"
                                      "13\tN/A\t-\t-\n"
                                      "14\tN/A\t-\t-\n"));
    EXPECT_EQ(errText, QStringLiteral("kelvanectl: not a PID: x\n"));

    outText.clear();
    EXPECT_EQ(CommandClasses(api, strings, {QStringLiteral("10")}, out, err), 0);
}

TEST(KelvanectlForeground, PrintsThePidOrZero) {
    FakeProcessApi api;
    QString text;
    QTextStream out(&text);
    CommandForeground(api, out);
    api.SetForegroundPid(4321);
    CommandForeground(api, out);
    out.flush();
    EXPECT_EQ(text, QStringLiteral("0\n4321\n"));
}

namespace {
struct CtlResult {
    int status = 0;
    QString out, err;
};
template <typename Command> CtlResult RunCtl(Command command) {
    CtlResult result;
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = command(out, err);
    out.flush();
    err.flush();
    return result;
}
} // namespace

TEST(KelvanectlProcessCommands, ClassArguments) {
    for (const auto& [text, code] : {std::pair{"low", 64U}, std::pair{"Below Normal", 16384U}, std::pair{"NORMAL", 32U},
                                     std::pair{"above normal", 32768U}, std::pair{"High", 128U},
                                     std::pair{"RealTime", 256U}, std::pair{"real time", 256U}, std::pair{"128", 128U}})
        EXPECT_EQ(ParseClassArgument(QLatin1String(text)), code) << text;
    for (const char* bad : {"", "99", "Highest", "0"})
        EXPECT_FALSE(ParseClassArgument(QLatin1String(bad))) << bad;
}

TEST(KelvanectlProcessCommands, SetPriorityAffinityAndTerminate) {
    FakeProcessApi api;
    SilentHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);
    FakeProcess& p = api.AddProcess(42, QStringLiteral("/usr/bin/app"));
    auto args = [](std::initializer_list<const char*> words) {
        QStringList list;
        for (const char* word : words)
            list.append(QLatin1String(word));
        return list;
    };
    auto setPriority = [&](QStringList a) {
        return RunCtl([&](QTextStream& out, QTextStream& err) { return CommandSetPriority(api, host, strings, a, out, err); });
    };
    auto setAffinity = [&](QStringList a) {
        return RunCtl([&](QTextStream& out, QTextStream& err) { return CommandSetAffinity(api, host, strings, a, out, err); });
    };
    auto terminate = [&](QStringList a) {
        return RunCtl([&](QTextStream&, QTextStream& err) { return CommandTerminate(api, host, strings, a, err); });
    };

    EXPECT_EQ(setPriority(args({"42", "Real Time"})).out, QStringLiteral("42\tRealTime\n"));
    EXPECT_EQ(p.priorityClass, REALTIME_PRIORITY_CLASS);
    p.refuseSetClass = true;
    const CtlResult refused = setPriority(args({"42", "low"}));
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, QStringLiteral("Error setting process's priority.\nPermission denied.\n"));
    EXPECT_EQ(setPriority(args({"42", "lowest"})).status, 2);
    EXPECT_EQ(setPriority(args({"43", "low"})).status, 1);

    EXPECT_EQ(setAffinity(args({"42", "0x1"})).status, 0);
    EXPECT_EQ(p.affinity, 1U);
    api.SetProcessorCount(64);
    const CtlResult high = setAffinity(args({"42", "80000001"}));
    EXPECT_EQ(high.out, QStringLiteral("42\t0xffffffff80000001\n")) << "processor 31 sign-extends";
    api.SetProcessorCount(2);
    const CtlResult none = setAffinity(args({"42", "0x80000000"}));
    EXPECT_EQ(none.status, 1) << "a mask of absent processors is refused";
    EXPECT_TRUE(none.err.startsWith(QStringLiteral("kelvanectl: the affinity mask 0x80000000 was refused")));
    EXPECT_EQ(setAffinity(args({"42", "1ffffffff"})).status, 2) << "processors 0 to 31 only";

    p.refuseTerminate = true;
    const CtlResult kept = terminate(args({"42"}));
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(kept.err, QStringLiteral("Error terminating process.\nPermission denied\n"));
    p.refuseTerminate = false;
    EXPECT_EQ(terminate(args({"42"})).status, 0);
    EXPECT_TRUE(p.exited);
}

TEST(KelvanectlProcessCommands, ErrorTextsSayWhatHappened) {
    FakeProcessApi api;
    SilentHost host;
    MessageStrings strings;
    strings.LoadLanguageStrings(DefaultLanguageTable(), host);
    api.AddProcess(42, QStringLiteral("/usr/bin/app"));
    struct Case {
        QStringList args;
        bool affinity;
        int status;
        QString out, err;
    };
    const Case cases[] = {
        {{QStringLiteral("4294967295"), QStringLiteral("High")}, false, 1, {},
         QStringLiteral("Error setting process's priority.\nNo such process.\n")},
        {{QStringLiteral("4294967295"), QStringLiteral("1")}, true, 1, {}, QStringLiteral("No such process\n")},
        {{QStringLiteral("42"), QStringLiteral("ff")}, true, 0, QStringLiteral("42\t0x3\n"), {}}, // two processors
    };
    for (const Case& c : cases) {
        const CtlResult result = RunCtl([&](QTextStream& out, QTextStream& err) {
            return c.affinity ? CommandSetAffinity(api, host, strings, c.args, out, err)
                              : CommandSetPriority(api, host, strings, c.args, out, err);
        });
        EXPECT_EQ(result.status, c.status) << c.args.join(u' ').toStdString();
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
    }
}
