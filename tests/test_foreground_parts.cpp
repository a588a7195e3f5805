// The pieces of the foreground tracking that need no desktop: which sources a session offers, the
// sway IPC framing and focus rules, app ids through the application units of the cgroup tree, the
// KWin script's bus name, and the kelvanectl command.

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "platform/linux/foreground/AppScope.h"
#include "platform/linux/foreground/KWinScript.h"
#include "platform/linux/foreground/SessionSources.h"
#include "platform/linux/foreground/SwayIpc.h"
#include "tools/kelvanectl/Commands.h"

using namespace kelvane;
using namespace kelvane::linux_port;

namespace {

struct SessionCase {
    const char* what;
    SessionEnvironment env;
    std::vector<SourceKind> expected;
};

class SessionSourcesTest : public ::testing::TestWithParam<SessionCase> {};

TEST_P(SessionSourcesTest, AreTriedInOrder) {
    EXPECT_EQ(CandidateSources(GetParam().env), GetParam().expected) << GetParam().what;
}

using K = SourceKind;
INSTANTIATE_TEST_SUITE_P(
    Sessions, SessionSourcesTest,
    ::testing::Values(
        SessionCase{"nothing to ask", {}, {}},
        SessionCase{"X11 desktop", {":0", "", "x11", "", true}, {K::X11}},
        SessionCase{"X11 with a bus but no Wayland", {":0", "", "", "", true}, {K::X11}},
        SessionCase{"Plasma or GNOME on Wayland",
                    {":1", "wayland-0", "wayland", "", true},
                    {K::KWin, K::GnomeShell, K::XWayland}},
        SessionCase{"sway without a session bus", {"", "wayland-1", "", "/run/sway.sock", false}, {K::Sway}},
        SessionCase{"sway with XWayland and a bus",
                    {":0", "wayland-1", "", "/run/s.sock", true},
                    {K::KWin, K::GnomeShell, K::Sway, K::XWayland}},
        SessionCase{"Wayland by session type only", {":0", "", "wayland", "", false}, {K::XWayland}},
        SessionCase{"Wayland without X or bus", {"", "wayland-0", "", "", false}, {}}));

struct UnitCase {
    const char* cgroup;
    std::vector<std::string> parts;
};

class AppUnitTest : public ::testing::TestWithParam<UnitCase> {};

TEST_P(AppUnitTest, PartsOfTheInnermostApplicationUnit) {
    EXPECT_EQ(AppUnitParts(GetParam().cgroup), GetParam().parts) << GetParam().cgroup;
}

INSTANTIATE_TEST_SUITE_P(
    Cgroups, AppUnitTest,
    ::testing::Values(
        UnitCase{"0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                 "app-gnome-org.gnome.Terminal-4242.scope\n",
                 {"gnome", "org.gnome.Terminal", "4242"}},
        UnitCase{"0::/user.slice/user-1000.slice/user@1000.service/app.slice/app-foot-12.scope",
                 {"foot", "12"}},
        // A dash inside the ID is escaped; the part after '@' is the random instance.
        UnitCase{"0::/user.slice/user@1000.service/app.slice/app-flatpak-org.my\\x2dapp.Viewer@7e1.service",
                 {"flatpak", "org.my-app.Viewer"}},
        // The innermost application unit counts, not a slice around it.
        UnitCase{"0::/user.slice/user@1000.service/app.slice/app-org.kde.konsole-9.scope/tab-1.scope",
                 {"org.kde.konsole", "9"}},
        UnitCase{
            "12:cpu:/\n1:name=systemd:/user.slice/user@1000.service/app.slice/app-kde-org.kde.kate-3.scope\n",
            {"kde", "org.kde.kate", "3"}},
        UnitCase{"0::/user.slice/user-1000.slice/session-2.scope", {}}, UnitCase{"0::/init.scope", {}},
        UnitCase{"0::/system.slice/app-x.service.d", {}}, UnitCase{"", {}}, UnitCase{"0::/app-.scope", {}}));

struct NameCase {
    std::vector<std::string> parts;
    const char* appId;
    bool names;
};

class UnitNamesAppTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(UnitNamesAppTest, MatchesTheIdAsDesktopsSpellIt) {
    EXPECT_EQ(UnitNamesApp(GetParam().parts, GetParam().appId), GetParam().names) << GetParam().appId;
}

INSTANTIATE_TEST_SUITE_P(
    Names, UnitNamesAppTest,
    ::testing::Values(NameCase{{"gnome", "org.gnome.Terminal", "1"}, "org.gnome.Terminal", true},
                      NameCase{{"gnome", "org.gnome.Terminal", "1"}, "org.gnome.Terminal.desktop", true},
                      NameCase{{"org.kde.konsole", "2"}, "ORG.KDE.Konsole", true},
                      NameCase{{"org.gnome.Terminal", "1"}, "org.gnome", false},
                      NameCase{{"foot", "1"}, "", false}, NameCase{{"foot", "1"}, ".desktop", false},
                      NameCase{{}, "foot", false}));

// A /proc tree with a cgroup and a stat file per process.
class SampleProc {
public:
    void Add(int pid, const std::string& unit, unsigned long long start) {
        const std::string dir = root_.path().toStdString() + "/" + std::to_string(pid);
        std::filesystem::create_directories(dir);
        std::ofstream(dir + "/cgroup") << "0::/user.slice/user@1000.service/app.slice/" << unit << "\n";
        std::ofstream(dir + "/stat") << pid << " (a (b) c) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 " << start
                                     << " 0 0\n";
    }
    std::string Root() const { return root_.path().toStdString(); }

private:
    QTemporaryDir root_;
};

TEST(AppScope, GivesTheFirstProcessOfTheNewestUnitOfTheApp) {
    SampleProc proc;
    proc.Add(300, "app-gnome-org.gnome.Terminal-11.scope", 500); // an older window of the terminal
    proc.Add(310, "app-gnome-org.gnome.Terminal-11.scope", 510);
    proc.Add(420, "app-gnome-org.gnome.Terminal-22.scope", 900); // the newest instance ...
    proc.Add(400, "app-gnome-org.gnome.Terminal-22.scope", 800); // ... and its first process
    proc.Add(401, "app-gnome-org.gnome.Calculator-23.scope", 950);
    EXPECT_EQ(PidOfApp("org.gnome.Terminal.desktop", proc.Root()), 400);
    EXPECT_EQ(PidOfApp("org.gnome.Calculator", proc.Root()), 401);
    EXPECT_EQ(PidOfApp("org.gnome.Maps", proc.Root()), 0);
    EXPECT_EQ(PidOfApp("", proc.Root()), 0);
    EXPECT_EQ(PidOfApp("foot", "/nonexistent"), 0);
}

TEST(AppScope, FindsThisTestInItsOwnUnitOrNowhere) {
    // On a desktop session the test itself may run in an application unit; then its own process is
    // among those the unit names. Elsewhere the live /proc must simply give nothing wrong.
    QFile file(QStringLiteral("/proc/self/cgroup"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string cgroup = file.readAll().toStdString();
    const std::vector<std::string> parts = AppUnitParts(cgroup);
    if (parts.empty())
        EXPECT_EQ(PidOfApp("kelvane-no-such-app"), 0);
    else
        EXPECT_GT(PidOfApp(parts.size() > 1 ? parts[parts.size() - 2] : parts[0]), 0);
}

TEST(SwayStream, SplitsMessagesWhereverTheBytesBreak) {
    const std::string bytes = sway::Frame(sway::kEventWindow, R"({"change":"focus"})") +
                              sway::Frame(sway::kGetTree, "{}") + sway::Frame(sway::kSubscribe, "");
    for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
        sway::Stream stream;
        std::vector<std::pair<std::uint32_t, std::string>> got;
        std::uint32_t type = 0;
        std::string payload;
        stream.Feed(bytes.data(), cut);
        while (stream.Next(type, payload))
            got.emplace_back(type, payload);
        stream.Feed(bytes.data() + cut, bytes.size() - cut);
        while (stream.Next(type, payload))
            got.emplace_back(type, payload);
        ASSERT_EQ(got.size(), 3U) << "cut at " << cut;
        EXPECT_EQ(got[0],
                  (std::pair<std::uint32_t, std::string>{sway::kEventWindow, R"({"change":"focus"})"}));
        EXPECT_EQ(got[1], (std::pair<std::uint32_t, std::string>{sway::kGetTree, "{}"}));
        EXPECT_EQ(got[2], (std::pair<std::uint32_t, std::string>{sway::kSubscribe, ""}));
        EXPECT_FALSE(stream.Broken());
    }
}

TEST(SwayStream, RefusesWhatIsNotSwayIpc) {
    for (const std::string& bytes : {std::string("HTTP/1.1 200 OK\r\n\r\n"),
                                     std::string("i3-ipc\xff\xff\xff\x7f\x00\x00\x00\x00", 14)}) {
        sway::Stream stream;
        stream.Feed(bytes.data(), bytes.size());
        std::uint32_t type = 0;
        std::string payload;
        EXPECT_FALSE(stream.Next(type, payload));
        EXPECT_TRUE(stream.Broken());
    }
}

struct FocusCase {
    const char* what;
    std::uint32_t type;
    const char* payload;
    bool changes;
    long long container;
    pid_t pid;
    const char* appId;
};

class SwayFocusTest : public ::testing::TestWithParam<FocusCase> {};

// Each case starts from window 7 (PID 700, "foot") focused.
TEST_P(SwayFocusTest, FollowsTheMessages) {
    const FocusCase& c = GetParam();
    sway::Focus focus{7, 700, "foot"};
    EXPECT_EQ(sway::Apply(c.type, c.payload, focus), c.changes) << c.what;
    EXPECT_EQ(focus.container, c.container) << c.what;
    EXPECT_EQ(focus.pid, c.pid) << c.what;
    EXPECT_EQ(focus.appId, c.appId) << c.what;
}

constexpr const char* kTree = R"({"id":1,"type":"root","focused":false,"nodes":[
  {"id":3,"type":"output","nodes":[{"id":4,"type":"workspace","focused":false,"nodes":[
    {"id":8,"type":"con","pid":800,"app_id":"a","focused":false,"nodes":[]},
    {"id":9,"type":"con","pid":900,"app_id":null,"window_properties":{"class":"XTerm"},"focused":true,"nodes":[]}],
   "floating_nodes":[]}]}]})";
constexpr const char* kTreeEmptyWorkspace =
    R"({"id":1,"type":"root","nodes":[{"id":3,"type":"output","nodes":[
  {"id":4,"type":"workspace","focused":true,"nodes":[],"floating_nodes":[]}]}]})";

INSTANTIATE_TEST_SUITE_P(
    Messages, SwayFocusTest,
    ::testing::Values(
        FocusCase{"tree", sway::kGetTree, kTree, true, 9, 900, "XTerm"},
        FocusCase{"tree with only an empty workspace", sway::kGetTree, kTreeEmptyWorkspace, true, 0, 0, ""},
        FocusCase{"focus", sway::kEventWindow,
                  R"({"change":"focus","container":{"id":12,"type":"con","pid":1200,"app_id":"b"}})", true,
                  12, 1200, "b"},
        FocusCase{"focus without a PID", sway::kEventWindow,
                  R"({"change":"focus","container":{"id":13,"type":"con","app_id":"org.x.Y"}})", true, 13, 0,
                  "org.x.Y"},
        FocusCase{"focused window closes", sway::kEventWindow,
                  R"({"change":"close","container":{"id":7,"type":"con","pid":700}})", true, 0, 0, ""},
        FocusCase{"another window closes", sway::kEventWindow,
                  R"({"change":"close","container":{"id":8,"type":"con","pid":800}})", false, 7, 700, "foot"},
        FocusCase{"title change", sway::kEventWindow,
                  R"({"change":"title","container":{"id":8,"type":"con","pid":800}})", false, 7, 700, "foot"},
        FocusCase{
            "empty workspace", sway::kEventWorkspace,
            R"({"change":"focus","current":{"id":5,"type":"workspace","nodes":[],"floating_nodes":[]}})",
            true, 0, 0, ""},
        FocusCase{"workspace with windows: its focus stack", sway::kEventWorkspace,
                  R"({"change":"focus","current":{"id":5,"type":"workspace","focus":[21,20],"nodes":[
                     {"id":20,"type":"con","pid":2000,"nodes":[]},{"id":21,"type":"con","pid":2100,"nodes":[]}],
                     "floating_nodes":[]}})",
                  true, 21, 2100, ""},
        FocusCase{"workspace rename", sway::kEventWorkspace, R"({"change":"rename","current":{"id":5}})",
                  false, 7, 700, "foot"},
        FocusCase{"not JSON", sway::kEventWindow, "{oops", false, 7, 700, "foot"}));

TEST(KWinScript, CallsBackTheBusNameItIsWrittenFor) {
    const std::string script = KWinScriptFor(":1.234");
    EXPECT_NE(script.find("var kelvaneService = \":1.234\";"), std::string::npos) << script;
    EXPECT_EQ(script.find("\"KELVANE_BUS_NAME\""), std::string::npos);
    // Both generations of KWin's activation signal are followed.
    EXPECT_NE(script.find("workspace.windowActivated.connect"), std::string::npos);
    EXPECT_NE(script.find("workspace.clientActivated.connect"), std::string::npos);
}

struct CommandCase {
    QStringList args;
    int status;
    const char* out;
    const char* err;
};

class ForegroundCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(ForegroundCommandTest, PrintsThePidAndOnRequestTheSource) {
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    bool asked = false;
    const int status = CommandForeground(
        GetParam().args,
        [&] {
            asked = true;
            return ForegroundAnswer{4321, QStringLiteral("sway"), {QStringLiteral("a limitation")}};
        },
        out, err);
    out.flush();
    err.flush();
    EXPECT_EQ(status, GetParam().status);
    EXPECT_EQ(outText, QLatin1String(GetParam().out));
    EXPECT_EQ(errText, QLatin1String(GetParam().err));
    EXPECT_EQ(asked, GetParam().status == 0) << "a wrong argument asks nothing";
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ForegroundCommandTest,
    ::testing::Values(CommandCase{{}, 0, "4321\n", "kelvanectl: a limitation\n"},
                      CommandCase{{QStringLiteral("--verbose")},
                                  0,
                                  "4321\n",
                                  "kelvanectl: a limitation\nforeground source: sway\n"},
                      CommandCase{{QStringLiteral("--quiet")},
                                  2,
                                  "",
                                  "kelvanectl: foreground takes only --verbose, not --quiet\n"}));

} // namespace
