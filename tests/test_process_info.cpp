// The process information window: the /proc parsers on sample text, the executable icon lookup on
// sample desktop entries, the window over the fake port, and the window over the Linux port on real
// children. CTest runs this inside a private PID namespace where it can; either way it only looks
// at processes it started.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <csignal>
#include <fstream>
#include <pwd.h>
#include <sstream>
#include <unistd.h>

#include "dialogs/ExecutableIcon.h"
#include "dialogs/FormProcessInformation.h"
#include "platform/fake/FakeProcessApi.h"
#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/ProcessDetails.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/WaitFor.h"
#include "util/SizeText.h"

using namespace kelvane;
using namespace kelvane::linux_port;
using kelvane::test::ChildProcess;
using kelvane::test::TestChildPath;

using kelvane::test::WaitFor;

namespace {

// Shows `dialog` modally and runs `body` inside its event loop, then closes it.
void RunModal(QDialog& dialog, const std::function<void()>& body) {
    bool ran = false;
    QTimer::singleShot(0, &dialog, [&] {
        body();
        ran = true;
        dialog.close();
    });
    dialog.exec();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(dialog.isVisible());
}

// Waits until the refresh timer has fired `count` more times (its handler runs before the spy's).
bool WaitForRefreshes(QTimer* timer, int count = 1) {
    QSignalSpy spy(timer, &QTimer::timeout);
    return WaitFor([&] { return spy.count() >= count; }, 2500 * count + 2000);
}

std::string Str(const QString& text) { return text.toStdString(); }

// ---- /proc/PID/maps ----------------------------------------------------------------------------

struct MapsCase {
    const char* name;
    const char* maps;
    std::vector<std::tuple<const char*, std::uint64_t, std::uint64_t>> modules; // path, base, size
};

class ParseMapsTest : public testing::TestWithParam<MapsCase> {};

TEST_P(ParseMapsTest, OneEntryPerFile) {
    const std::vector<ModuleEntry> modules = ParseMaps(GetParam().maps);
    ASSERT_EQ(modules.size(), GetParam().modules.size());
    for (std::size_t i = 0; i < modules.size(); ++i) {
        const auto& [path, base, size] = GetParam().modules[i];
        EXPECT_EQ(Str(modules[i].path), path) << i;
        EXPECT_EQ(modules[i].base, base) << i;
        EXPECT_EQ(modules[i].size, size) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Maps, ParseMapsTest,
    testing::Values(
        MapsCase{"empty", "", {}},
        MapsCase{"several_mappings_per_file_anonymous_and_pseudo_files_skipped",
                 "00400000-00401000 r--p 00000000 08:01 1234                               /usr/bin/prog\n"
                 "00401000-00405000 r-xp 00001000 08:01 1234                               /usr/bin/prog\n"
                 "00405000-00406000 r--p 00005000 08:01 1234                               /usr/bin/prog\n"
                 "00406000-00427000 rw-p 00000000 00:00 0                                  [heap]\n"
                 "7f0000000000-7f0000021000 rw-p 00000000 00:00 0 \n"
                 "7f0000100000-7f0000128000 r--p 00000000 08:01 99                         /usr/lib/libc.so.6\n"
                 "7f0000128000-7f00002bd000 r-xp 00028000 08:01 99                         /usr/lib/libc.so.6\n"
                 "7f00002bd000-7f00002be000 ---p 001bd000 08:01 99                         /usr/lib/libc.so.6\n"
                 "7ffd00000000-7ffd00021000 rw-p 00000000 00:00 0                          [stack]\n"
                 "7ffd00100000-7ffd00104000 r--p 00000000 00:00 0                          [vvar]\n"
                 "7ffd00104000-7ffd00106000 r-xp 00000000 00:00 0                          [vdso]\n"
                 "ffffffffff600000-ffffffffff601000 --xp 00000000 00:00 0                  [vsyscall]\n",
                 {{"/usr/bin/prog", 0x400000, 0x6000}, {"/usr/lib/libc.so.6", 0x7f0000100000, 0x1be000}}},
        MapsCase{"span_covers_a_gap_and_another_file_between",
                 "10000000-10001000 r--p 00000000 08:01 7 /lib/a.so\n"
                 "10001000-10002000 r--p 00000000 08:01 8 /lib/b.so\n"
                 "10005000-10008000 r-xp 00001000 08:01 7 /lib/a.so\n",
                 {{"/lib/a.so", 0x10000000, 0x8000}, {"/lib/b.so", 0x10001000, 0x1000}}},
        MapsCase{"deleted_file_keeps_its_path_without_the_mark",
                 "00400000-00402000 r-xp 00000000 08:01 55 /tmp/old prog (deleted)\n"
                 "00402000-00403000 rw-p 00002000 08:01 55 /tmp/old prog (deleted)\n",
                 {{"/tmp/old prog", 0x400000, 0x3000}}},
        MapsCase{"base_above_4_GB",
                 "7ff812340000-7ff812360000 r--p 00000000 08:01 3 /usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2\n",
                 {{"/usr/lib/x86_64-linux-gnu/ld-linux-x86-64.so.2", 0x7ff812340000, 0x20000}}},
        MapsCase{"names_with_blanks_and_an_escaped_newline",
                 "00400000-00401000 r-xp 00000000 08:01 9 /opt/My App/bin/my app\n"
                 "00500000-00501000 r--p 00000000 08:01 10 /tmp/two\\012lines\n",
                 {{"/opt/My App/bin/my app", 0x400000, 0x1000}, {"/tmp/two\nlines", 0x500000, 0x1000}}},
        MapsCase{"malformed_lines_and_other_kernel_names_skipped",
                 "garbage\n"
                 "00400000 r-xp 00000000 08:01 9 /no/range\n"
                 "00402000-00401000 r-xp 00000000 08:01 9 /end/below/start\n"
                 "00600000-00601000 rw-s 00000000 00:01 12 anon_inode:[io_uring]\n"
                 "00700000-00701000 r--p 00000000 08:01 13 /last/line/without/newline",
                 {{"/last/line/without/newline", 0x700000, 0x1000}}}),
    [](const testing::TestParamInfo<MapsCase>& p) { return std::string(p.param.name); });

// ---- /proc/PID/stat and status -----------------------------------------------------------------

constexpr const char* kStatusSample = "Name:\tprog\n"
                                      "State:\tS (sleeping)\n"
                                      "Tgid:\t4242\n"
                                      "Pid:\t4242\n"
                                      "Uid:\t1000\t1001\t1001\t1001\n"
                                      "VmPeak:\t  220000 kB\n"
                                      "VmSize:\t  210000 kB\n"
                                      "VmHWM:\t    9000 kB\n"
                                      "VmRSS:\t    8000 kB\n"
                                      "RssAnon:\t    3000 kB\n"
                                      "RssFile:\t    5000 kB\n"
                                      "VmStk:\t     132 kB\n"
                                      "VmPTE:\t      56 kB\n"
                                      "VmSwap:\t      20 kB\n"
                                      "Threads:\t3\n";

// Fields 1 to 12 of a stat line with minflt 700 (field 10) and majflt 5 (field 12).
constexpr const char* kStatSample = "4242 (a (b) c) S 1 4242 4242 0 -1 4194560 700 0 5 0 10 3 0 0 20 0 3 0 "
                                    "12345 215040000 2000 18446744073709551615\n";

struct FaultsCase {
    const char* name;
    const char* stat;
    std::optional<std::uint64_t> faults;
};

class PageFaultsTest : public testing::TestWithParam<FaultsCase> {};

TEST_P(PageFaultsTest, MinorPlusMajor) { EXPECT_EQ(ParsePageFaults(GetParam().stat), GetParam().faults); }

INSTANTIATE_TEST_SUITE_P(
    Stat, PageFaultsTest,
    testing::Values(FaultsCase{"name_with_parentheses_and_blanks", kStatSample, 705},
                    FaultsCase{"large_counts", "1 (x) S 0 1 1 0 -1 0 4294967296 9 4294967296 0 0 0\n",
                               std::uint64_t{8589934592}},
                    FaultsCase{"too_few_fields", "1 (x) S 0 1 1 0 -1 0 7 0\n", std::nullopt},
                    FaultsCase{"not_a_number", "1 (x) S 0 1 1 0 -1 0 7 0 x 0\n", std::nullopt},
                    FaultsCase{"no_name", "garbage", std::nullopt}),
    [](const testing::TestParamInfo<FaultsCase>& p) { return std::string(p.param.name); });

TEST(MemoryCounters, EachCounterFromItsLine) {
    const std::optional<ProcessMemoryCounters> c = MemoryCountersFrom(kStatSample, kStatusSample);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->PageFaultCount, 705U);
    EXPECT_EQ(c->PeakWorkingSetSize, 9000U * 1024);
    EXPECT_EQ(c->WorkingSetSize, 8000U * 1024);
    EXPECT_EQ(c->QuotaPeakPagedPoolUsage, 132U * 1024);
    EXPECT_EQ(c->QuotaPagedPoolUsage, 132U * 1024);
    EXPECT_EQ(c->QuotaPeakNonPagedPoolUsage, 56U * 1024);
    EXPECT_EQ(c->QuotaNonPagedPoolUsage, 56U * 1024);
    EXPECT_EQ(c->PagefileUsage, (3000U + 20U) * 1024);
    EXPECT_EQ(c->PeakPagefileUsage, 220000U * 1024);
}

TEST(MemoryCounters, WithoutSwapLinePagefileIsTheAnonymousMemory) {
    std::string status = kStatusSample;
    status.erase(status.find("VmSwap:"), std::string("VmSwap:\t      20 kB\n").size());
    const std::optional<ProcessMemoryCounters> c = MemoryCountersFrom(kStatSample, status);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->PagefileUsage, 3000U * 1024);
}

TEST(MemoryCounters, KernelThreadOrZombieHasNone) {
    // A kernel thread's and a zombie's status have no memory lines.
    EXPECT_FALSE(MemoryCountersFrom(kStatSample, "Name:\tkworker/0:1\nState:\tI (idle)\nTgid:\t9\nThreads:\t1\n"));
    EXPECT_FALSE(MemoryCountersFrom("garbage", kStatusSample));
    // A line whose unit is not kB is not read as kilobytes.
    std::string status = kStatusSample;
    status.replace(status.find("8000 kB"), 7, "8000 MB");
    EXPECT_FALSE(MemoryCountersFrom(kStatSample, status));
}

struct ThreadsCase {
    const char* name;
    const char* status;
    Pid pid;
    std::optional<std::uint32_t> threads;
};

class ThreadCountTest : public testing::TestWithParam<ThreadsCase> {};

TEST_P(ThreadCountTest, FromStatus) {
    EXPECT_EQ(ParseThreadCount(GetParam().status, GetParam().pid), GetParam().threads);
}

INSTANTIATE_TEST_SUITE_P(
    Status, ThreadCountTest,
    testing::Values(ThreadsCase{"leader", kStatusSample, 4242, 3U},
                    ThreadsCase{"a_thread_read_as_a_process", "Tgid:\t4242\nPid:\t4243\nThreads:\t3\n", 4243,
                                std::nullopt},
                    ThreadsCase{"no_threads_line", "Tgid:\t7\nPid:\t7\n", 7, std::nullopt},
                    ThreadsCase{"no_tgid_line", "Pid:\t7\nThreads:\t2\n", 7, std::nullopt},
                    ThreadsCase{"prefix_of_another_key_is_not_the_key", "Tgid:\t7\nThreadsX:\t9\nThreads:\t2\n", 7,
                                2U}),
    [](const testing::TestParamInfo<ThreadsCase>& p) { return std::string(p.param.name); });

TEST(UserText, AccountAndHost) {
    EXPECT_EQ(Str(UserText(0, QStringLiteral("box"))), "root (box)");
    // A user ID without an account shows as its number, as ps shows it.
    const unsigned unnamed = 2147000123U;
    ASSERT_EQ(::getpwuid(unnamed), nullptr);
    EXPECT_EQ(Str(UserText(unnamed, QStringLiteral("box"))), "2147000123 (box)");
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(Str(HostName()), host);
}

// The readers over a sample /proc tree.
class SampleProcTree : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("4242")));
        Write("4242/stat", kStatSample);
        Write("4242/status", kStatusSample);
        Write("4242/maps", "00400000-00401000 r-xp 00000000 08:01 1 /bin/prog\n"
                           "00401000-00402000 rw-p 00000000 00:00 0 [heap]\n");
    }
    void Write(const char* name, const char* text) {
        std::ofstream(root() + '/' + name) << text;
    }
    std::string root() const { return dir.path().toStdString(); }
    QTemporaryDir dir;
};

TEST_F(SampleProcTree, ReadersGiveWhatTheFilesHold) {
    std::vector<ModuleEntry> modules;
    EXPECT_EQ(ReadModuleList(root(), 4242, modules), 0);
    ASSERT_EQ(modules.size(), 1U);
    EXPECT_EQ(Str(modules[0].path), "/bin/prog");
    ProcessMemoryCounters counters;
    EXPECT_EQ(ReadMemoryCounters(root(), 4242, counters), 0);
    EXPECT_EQ(counters.WorkingSetSize, 8000U * 1024);
    std::uint32_t threads = 0;
    EXPECT_EQ(ReadThreadCount(root(), 4242, threads), 0);
    EXPECT_EQ(threads, 3U);
    QString user;
    EXPECT_EQ(ReadUserText(root(), 4242, user), 0);
    EXPECT_TRUE(user.startsWith(AccountName(1000) + QStringLiteral(" ("))) << Str(user); // the real user ID
}

TEST_F(SampleProcTree, MissingProcessFailsAndLeavesTheValues) {
    std::vector<ModuleEntry> modules{{QStringLiteral("/x"), 1, 1}};
    EXPECT_NE(ReadModuleList(root(), 77, modules), 0);
    EXPECT_TRUE(modules.empty());
    ProcessMemoryCounters counters;
    counters.WorkingSetSize = 5;
    EXPECT_NE(ReadMemoryCounters(root(), 77, counters), 0);
    EXPECT_EQ(counters.WorkingSetSize, 5U);
    std::uint32_t threads = 9;
    EXPECT_EQ(ReadThreadCount(root(), 77, threads), ESRCH);
    EXPECT_EQ(threads, 9U);
    QString user = QStringLiteral("kept");
    EXPECT_NE(ReadUserText(root(), 77, user), 0);
    EXPECT_EQ(Str(user), "kept");
}

// ---- Base address texts ------------------------------------------------------------------------

TEST(BaseAddressText, AtLeastEightDigitsAndEveryDigitAbove4GB) {
    const std::pair<std::uint64_t, const char*> cases[] = {
        {0x400000, "$00400000"},         {0x0, "$00000000"},
        {0xFFFFFFFF, "$FFFFFFFF"},       {0x100000000, "$100000000"},
        {0x7FF812340000, "$7FF812340000"}, {~std::uint64_t{0}, "$FFFFFFFFFFFFFFFF"},
    };
    for (const auto& [base, text] : cases)
        EXPECT_EQ(Str(TFormProcessInformation::BaseAddressText(base)), text) << base;
}

// ---- The executable's icon ---------------------------------------------------------------------

class DesktopEntries : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        first = dir.filePath(QStringLiteral("home/applications"));
        second = dir.filePath(QStringLiteral("system/applications"));
        ASSERT_TRUE(QDir().mkpath(first + QStringLiteral("/sub")));
        ASSERT_TRUE(QDir().mkpath(second));
        exe = dir.filePath(QStringLiteral("bin/my tool"));
        ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("bin"))));
        QFile file(exe);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    void Entry(const QString& folder, const char* name, const QString& body) {
        QFile file(folder + u'/' + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(body.toUtf8());
    }
    QString Icon(const QString& path) { return DesktopEntryIconName(path, {first, second}); }

    QTemporaryDir dir;
    QString first, second, exe;
};

TEST_F(DesktopEntries, ExecOrTryExecNamesTheExecutable) {
    struct Case {
        const char* body;
        const char* icon; // what is found for `exe`, "" for none
    };
    const Case cases[] = {
        {"[Desktop Entry]\nType=Application\nExec=\"@EXE@\" %U\nIcon=quoted\n", "quoted"},
        {"[Desktop Entry]\nType=Application\nExec=launcher\nTryExec=@EXE_ESCAPED@\nIcon=escaped\n", "escaped"},
        {"[Desktop Entry]\nType=Application\nExec=@EXE@\nIcon=unquoted-blank-splits\n", ""},
        {"[Desktop Entry]\nType=Application\nExec=\"my tool\" %F\nIcon=by-name\n", "by-name"},
        {"[Desktop Entry]\nType=Application\nExec=env A=1 B=2 \"@EXE@\"\nIcon=env\n", "env"},
        {"[Desktop Entry]\nType=Application\nExec=launcher\nTryExec=@EXE@\nIcon=try\n", "try"},
        {"[Desktop Entry]\nType=Application\nExec=other \"@EXE@\"\nIcon=argument\n", ""},
        {"[Desktop Entry]\nType=Application\nExec=\"@EXE@\"\nIcon=hidden\nHidden=true\n", ""},
        {"[Desktop Entry]\nType=Link\nURL=file://@EXE@\nExec=\"@EXE@\"\nIcon=link\n", ""},
        {"[Desktop Action x]\nExec=\"@EXE@\"\n[Desktop Entry]\nType=Application\nExec=x\nIcon=action\n", ""},
        {"[Desktop Entry]\nType=Application\nExec=\"@EXE@\"\n", ""},
    };
    QString escaped = exe;
    escaped.replace(u' ', QStringLiteral("\\s"));
    for (const Case& c : cases) {
        QString body = QLatin1String(c.body);
        body.replace(QStringLiteral("@EXE_ESCAPED@"), escaped);
        body.replace(QStringLiteral("@EXE@"), exe);
        Entry(second, "app.desktop", body);
        EXPECT_EQ(Str(Icon(exe)), c.icon) << c.body;
    }
}

TEST_F(DesktopEntries, TheMoreImportantFolderWins) {
    const QString body = QStringLiteral("[Desktop Entry]\nType=Application\nExec=\"%1\"\nIcon=%2\n");
    Entry(second, "app.desktop", body.arg(exe, QStringLiteral("system")));
    EXPECT_EQ(Str(Icon(exe)), "system");
    // The same desktop file ID in the user's folder hides the system's entry, even when it names
    // another program.
    Entry(first, "app.desktop", body.arg(QStringLiteral("/usr/bin/else"), QStringLiteral("user")));
    EXPECT_EQ(Str(Icon(exe)), "");
    // An entry of its own in a subfolder (ID "sub-tool.desktop") of the user's folder comes first.
    Entry(first + QStringLiteral("/sub"), "tool.desktop", body.arg(exe, QStringLiteral("user-sub")));
    EXPECT_EQ(Str(Icon(exe)), "user-sub");
    EXPECT_EQ(Str(Icon(QString())), "");
    EXPECT_EQ(Str(Icon(QStringLiteral("/usr/bin/nothing-names-this"))), "");
}

TEST_F(DesktopEntries, ApplicationFoldersFollowTheEnvironment) {
    const QByteArray home = qgetenv("XDG_DATA_HOME");
    const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", "/h");
    qputenv("XDG_DATA_DIRS", "/a:relative:/b/");
    const QStringList folders = ApplicationFolders();
    qunsetenv("XDG_DATA_DIRS");
    const QStringList defaults = ApplicationFolders();
    qputenv("XDG_DATA_HOME", home);
    qputenv("XDG_DATA_DIRS", dirs);
    if (home.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    if (dirs.isEmpty())
        qunsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(folders, QStringList({QStringLiteral("/h/applications"), QStringLiteral("/a/applications"),
                                    QStringLiteral("/b/applications")}));
    EXPECT_EQ(defaults.mid(1), QStringList({QStringLiteral("/usr/local/share/applications"),
                                            QStringLiteral("/usr/share/applications")}));
}

TEST_F(DesktopEntries, IconFromTheThemeElseTheGenericExecutableIcon) {
    // A theme of our own with the entry's icon and the generic one.
    const QString themes = dir.filePath(QStringLiteral("icons"));
    for (const char* name : {"apps/my-tool-icon.png", "mimetypes/application-x-executable.png"}) {
        const QString file = themes + QStringLiteral("/test/32x32/") + QLatin1String(name);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
        QPixmap pixmap(32, 32);
        pixmap.fill(Qt::red);
        ASSERT_TRUE(pixmap.save(file));
    }
    QFile index(themes + QStringLiteral("/test/index.theme"));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=test\nDirectories=32x32/apps,32x32/mimetypes\n"
                "[32x32/apps]\nSize=32\nType=Fixed\n[32x32/mimetypes]\nSize=32\nType=Fixed\n");
    index.close();
    const QStringList oldPaths = QIcon::themeSearchPaths();
    const QString oldTheme = QIcon::themeName();
    QIcon::setThemeSearchPaths({themes});
    QIcon::setThemeName(QStringLiteral("test"));

    const QByteArray home = qgetenv("XDG_DATA_HOME");
    const QByteArray dirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("home")).toUtf8());
    qputenv("XDG_DATA_DIRS", dir.filePath(QStringLiteral("system")).toUtf8());
    Entry(second, "tool.desktop",
          QStringLiteral("[Desktop Entry]\nType=Application\nExec=\"%1\"\nIcon=my-tool-icon\n").arg(exe));
    const QIcon named = ExecutableIcon(exe);
    const QIcon generic = ExecutableIcon(dir.filePath(QStringLiteral("bin/unnamed")));
    // A theme icon is looked up again when the theme changes: look before it is put back.
    EXPECT_EQ(Str(named.name()), "my-tool-icon");
    EXPECT_FALSE(named.pixmap(32, 32).isNull());
    EXPECT_EQ(Str(generic.name()), "application-x-executable");
    qputenv("XDG_DATA_HOME", home);
    qputenv("XDG_DATA_DIRS", dirs);
    if (home.isEmpty())
        qunsetenv("XDG_DATA_HOME");
    if (dirs.isEmpty())
        qunsetenv("XDG_DATA_DIRS");
    QIcon::setThemeName(oldTheme);
    QIcon::setThemeSearchPaths(oldPaths);
}

// ---- The window over the fake port -------------------------------------------------------------

QStringList RowTexts(const QTreeWidgetItem* row) {
    QStringList texts;
    for (int column = 0; column < 6; ++column)
        texts.append(row->text(column));
    return texts;
}

QList<QLineEdit*> Counters(const TFormProcessInformation& w) {
    return {w.EditPageFaultCount,          w.EditPeakWorkingSetSize,         w.EditWorkingSetSize,
            w.EditQuotaPeakPagedPoolUsage, w.EditQuotaPagedPoolUsage,        w.EditQuotaPeakNonPagedPoolUsage,
            w.EditQuotaNonPagedPoolUsage,  w.EditPagefileUsage,              w.EditPeakPagefileUsage};
}

// Every text the refresh may change: the counters, threads and user.
QStringList RefreshedTexts(const TFormProcessInformation& w) {
    QStringList texts;
    for (const QLineEdit* edit : Counters(w))
        texts.append(edit->text());
    texts << w.EditThreads->text() << w.EditUserName->text();
    return texts;
}

class FakeWindow : public testing::Test {
protected:
    FakeWindow() {
        exe = dir.filePath(QStringLiteral("prog"));
        QFile file(exe);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(1536, 'x')); // 1.50 KB
        file.close();
        FakeProcess& process = api.AddProcess(42, exe);
        process.threads = 4;
        process.user = QStringLiteral("alice (box)");
        process.modules = {{exe, 0x400000, 0x6000},
                           {QStringLiteral("/nonexistent/zero.so"), 0, 0x1000},
                           {QStringLiteral("/nonexistent/lib/libc.so.6"), 0x7FF812340000, 0x1BE000}};
        process.memory = {705, 9000 * 1024, 8000 * 1024, 132 * 1024, 131 * 1024, 56 * 1024, 55 * 1024,
                          3020 * 1024, 220000 * 1024};
    }
    QTemporaryDir dir;
    QString exe;
    FakeProcessApi api;
    TFormProcessInformation window{api, [this](Pid pid) { return api.Find(pid) ? api.Find(pid)->path : QString(); }};
};

TEST_F(FakeWindow, CaptionsColumnsAndSize) {
    EXPECT_EQ(Str(window.windowTitle()), "Process Information");
    EXPECT_EQ(window.minimumSize(), QSize(770, 400));
    const auto* group = window.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(Str(group->title()), " Information: ");
    EXPECT_EQ(window.ImageIcon->size(), QSize(32, 32));
    const std::tuple<const char*, int, bool> columns[] = {{"Module name", 200, false}, {"Size", 75, true},
                                                          {"Base address", 84, true},  {"Description", 150, false},
                                                          {"Company", 150, false},     {"Path", 325, false}};
    ASSERT_EQ(window.ListViewModules->columnCount(), 6);
    for (int i = 0; i < 6; ++i) {
        const auto& [caption, width, right] = columns[i];
        EXPECT_EQ(Str(window.ListViewModules->headerItem()->text(i)), caption);
        EXPECT_EQ(window.ListViewModules->columnWidth(i), width) << caption;
        EXPECT_EQ((window.ListViewModules->headerItem()->textAlignment(i) & Qt::AlignRight) != 0, right) << caption;
    }
    EXPECT_EQ(Str(window.ButtonClose->text()), "Close");
    EXPECT_EQ(window.TimerRefresh->interval(), 2000);
    EXPECT_FALSE(window.TimerRefresh->isActive());
    // Each counter says in its tooltip what Linux gives for it.
    const char* sources[] = {"minflt + majflt", "VmHWM", "VmRSS", "VmStk", "VmStk",
                             "VmPTE",           "VmPTE", "RssAnon + VmSwap", "VmPeak"};
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(Counters(window)[i]->toolTip().contains(QLatin1String(sources[i])))
            << Str(Counters(window)[i]->objectName());
    for (QLineEdit* edit : window.findChildren<QLineEdit*>())
        EXPECT_TRUE(edit->isReadOnly()) << Str(edit->objectName());
}

TEST_F(FakeWindow, LoadFillsEverything) {
    window.LoadProcessInformation(42);
    EXPECT_EQ(window.ProcessPID, 42U);
    EXPECT_EQ(Str(window.EditProcessName->text()), "prog");
    EXPECT_EQ(Str(window.EditVersion->text()), "Unknown version");
    EXPECT_EQ(Str(window.EditFileSize->text()), Str(FormatSize(1536)));
    EXPECT_EQ(Str(window.EditThreads->text()), "4");
    EXPECT_EQ(Str(window.EditUserName->text()), "alice (box)");
    EXPECT_FALSE(window.ImageIcon->pixmap().isNull());
    const std::uint64_t bytes[] = {9000 * 1024, 8000 * 1024, 132 * 1024,  131 * 1024,
                                   56 * 1024,   55 * 1024,   3020 * 1024, 220000 * 1024};
    EXPECT_EQ(Str(window.EditPageFaultCount->text()), "705");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(Str(Counters(window)[i + 1]->text()), Str(FormatSizeFloat(static_cast<double>(bytes[i])))) << i;
    // The module at base 0 is left out; the rest keep their order.
    ASSERT_EQ(window.ListViewModules->topLevelItemCount(), 2);
    EXPECT_EQ(RowTexts(window.ListViewModules->topLevelItem(0)),
              QStringList({QStringLiteral("prog"), FormatSize(0x6000), QStringLiteral("$00400000"), QString(),
                           QString(), exe}));
    EXPECT_EQ(RowTexts(window.ListViewModules->topLevelItem(1)),
              QStringList({QStringLiteral("libc.so.6"), FormatSize(0x1BE000), QStringLiteral("$7FF812340000"),
                           QString(), QString(), QStringLiteral("/nonexistent/lib/libc.so.6")}));
    EXPECT_TRUE(window.ListViewModules->topLevelItem(1)->textAlignment(2) & Qt::AlignRight);
}

TEST_F(FakeWindow, ANewOpeningReplacesTheModules) {
    window.LoadProcessInformation(42);
    api.AddProcess(43, QStringLiteral("/usr/bin/other")).modules = {{QStringLiteral("/usr/bin/other"), 0x1000, 1}};
    window.LoadProcessInformation(43);
    EXPECT_EQ(window.ProcessPID, 43U);
    ASSERT_EQ(window.ListViewModules->topLevelItemCount(), 1);
    EXPECT_EQ(Str(window.ListViewModules->topLevelItem(0)->text(0)), "other");
    EXPECT_EQ(Str(window.ListViewModules->topLevelItem(0)->text(2)), "$00001000");
}

TEST_F(FakeWindow, FieldsAreFilledOnlyOnSuccess) {
    struct Case {
        const char* name;
        std::function<void(FakeProcess&)> change;
        bool modules, counters, threads, user;
    };
    const Case cases[] = {
        {"refused_memory_reading", [](FakeProcess& p) { p.refusedRights = PROCESS_VM_READ; }, false, false, true,
         true},
        {"refused_everything", [](FakeProcess& p) { p.refusedRights = PROCESS_QUERY_INFORMATION; }, false, false,
         true, false},
        {"no_modules", [](FakeProcess& p) { p.noModules = true; }, false, true, true, true},
        {"exited", [](FakeProcess& p) { p.exited = true; }, false, false, false, false},
    };
    for (const Case& c : cases) {
        FakeProcess& process = api.AddProcess(42, exe);
        process.modules = {{exe, 0x400000, 0x1000}};
        process.memory.WorkingSetSize = 2048;
        process.threads = 6;
        c.change(process);
        for (QLineEdit* edit : Counters(window) + QList<QLineEdit*>{window.EditThreads, window.EditUserName})
            edit->setText(QStringLiteral("before"));
        window.LoadProcessInformation(42);
        EXPECT_EQ(window.ListViewModules->topLevelItemCount(), c.modules ? 1 : 0) << c.name;
        EXPECT_EQ(Str(window.EditWorkingSetSize->text()), c.counters ? "2.00 KB" : "before") << c.name;
        EXPECT_EQ(Str(window.EditThreads->text()), c.threads ? "6" : "before") << c.name;
        EXPECT_EQ(Str(window.EditUserName->text()), c.user ? "user (fakehost)" : "before") << c.name;
    }
}

TEST_F(FakeWindow, IdleProcessHasThreadsAndNoModules) {
    api.SetProcessorCount(3);
    window.LoadProcessInformation(0);
    EXPECT_EQ(Str(window.EditThreads->text()), "3");
    EXPECT_EQ(window.ListViewModules->topLevelItemCount(), 0);
    EXPECT_EQ(Str(window.EditUserName->text()), "");
}

TEST_F(FakeWindow, TimerRefreshesCountersThreadsAndUserWhileShownOnly) {
    window.LoadProcessInformation(42);
    RunModal(window, [&] {
        EXPECT_TRUE(window.TimerRefresh->isActive());
        FakeProcess& process = *api.Find(42);
        process.memory.WorkingSetSize = 4096;
        process.threads = 9;
        process.user = QStringLiteral("bob (box)");
        process.modules.clear();
        ASSERT_TRUE(WaitForRefreshes(window.TimerRefresh));
        EXPECT_EQ(Str(window.EditWorkingSetSize->text()), "4.00 KB");
        EXPECT_EQ(Str(window.EditThreads->text()), "9");
        EXPECT_EQ(Str(window.EditUserName->text()), "bob (box)");
        EXPECT_EQ(window.ListViewModules->topLevelItemCount(), 2); // read at opening only
    });
    EXPECT_FALSE(window.TimerRefresh->isActive());
    window.show();
    EXPECT_TRUE(window.TimerRefresh->isActive());
    window.hide();
    EXPECT_FALSE(window.TimerRefresh->isActive());
}

TEST_F(FakeWindow, ProcessThatEndsLeavesTheFieldsAsTheyWere) {
    window.LoadProcessInformation(42);
    RunModal(window, [&] {
        const QStringList before = RefreshedTexts(window);
        FakeProcess& process = *api.Find(42);
        process.memory.WorkingSetSize = 4096;
        process.threads = 9;
        process.user = QStringLiteral("bob (box)");
        api.ExitProcess(42);
        ASSERT_TRUE(WaitForRefreshes(window.TimerRefresh));
        EXPECT_EQ(RefreshedTexts(window), before);
        api.RemoveProcess(42);
        ASSERT_TRUE(WaitForRefreshes(window.TimerRefresh));
        EXPECT_EQ(RefreshedTexts(window), before);
    });
}

TEST_F(FakeWindow, AnotherProcessBehindThePidIsNeverShown) {
    const std::uint64_t listed = api.Find(42)->generation;
    window.identityOf = [listed](Pid) { return listed; };
    auto successor = [this] {
        FakeProcess& other = api.AddProcess(42, QStringLiteral("/usr/bin/other"));
        other.threads = 9;
        other.user = QStringLiteral("bob (box)");
        other.memory.WorkingSetSize = 4096;
        other.modules = {{QStringLiteral("/usr/bin/other"), 0x400000, 0x1000}};
    };
    // The PID went to another program while the window is open ...
    window.LoadProcessInformation(42);
    RunModal(window, [&] {
        const QStringList before = RefreshedTexts(window);
        successor();
        ASSERT_TRUE(WaitForRefreshes(window.TimerRefresh));
        EXPECT_EQ(RefreshedTexts(window), before);
    });
    // ... or before it opened for the row of the ended one.
    for (QLineEdit* edit : Counters(window) + QList<QLineEdit*>{window.EditThreads, window.EditUserName})
        edit->setText(QStringLiteral("before"));
    window.LoadProcessInformation(42);
    EXPECT_EQ(window.ListViewModules->topLevelItemCount(), 0);
    EXPECT_EQ(RefreshedTexts(window), QStringList(11, QStringLiteral("before")));
}

TEST_F(FakeWindow, CloseButtonClosesTheModalWindow) {
    window.LoadProcessInformation(42);
    bool clicked = false;
    QTimer::singleShot(0, &window, [&] {
        window.ButtonClose->click();
        clicked = true;
    });
    window.exec();
    EXPECT_TRUE(clicked);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.TimerRefresh->isActive());
}

// ---- The window over the Linux port on real children -------------------------------------------

// A "Key:" line of a /proc file, as the test reads it.
std::string ProcLine(pid_t pid, const char* file, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) {
            std::string value = line.substr(key.size() + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            return value;
        }
    return {};
}

QString KbText(pid_t pid, const char* key) {
    return FormatSizeFloat(static_cast<double>(std::stoull(ProcLine(pid, "status", key)) * 1024));
}

// The start of the first mapping of `path` in the child's maps.
std::string FirstMappingStart(pid_t pid, const std::string& path) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/maps");
    std::string line;
    while (std::getline(in, line))
        if (line.size() > path.size() && line.compare(line.size() - path.size(), path.size(), path) == 0 &&
            line[line.size() - path.size() - 1] == ' ')
            return line.substr(0, line.find('-'));
    return {};
}

QString Upper(const std::string& hex) { return QString::fromStdString(hex).toUpper(); }

class LiveWindow : public testing::Test {
protected:
    void StartChild() {
        child = std::make_unique<ChildProcess>(std::vector<std::string>{TestChildPath(), "threads", "2"});
        ASSERT_EQ(child->ReadLine().rfind("ready", 0), 0U);
        pid = child->pid();
    }
    LinuxProcessApi api;
    std::unique_ptr<ChildProcess> child;
    pid_t pid = 0;
    TFormProcessInformation window{api, [](Pid) { return QString::fromStdString(TestChildPath()); }};
};

TEST_F(LiveWindow, CountersAgreeWithProcStatus) {
    StartChild();
    window.LoadProcessInformation(static_cast<Pid>(pid));
    EXPECT_EQ(Str(window.EditThreads->text()), ProcLine(pid, "status", "Threads"));
    EXPECT_EQ(Str(window.EditThreads->text()), "3");
    EXPECT_EQ(window.EditWorkingSetSize->text(), KbText(pid, "VmRSS"));
    EXPECT_EQ(window.EditPeakWorkingSetSize->text(), KbText(pid, "VmHWM"));
    EXPECT_EQ(window.EditPeakPagefileUsage->text(), KbText(pid, "VmPeak"));
    EXPECT_EQ(window.EditQuotaPagedPoolUsage->text(), KbText(pid, "VmStk"));
    EXPECT_EQ(window.EditQuotaNonPagedPoolUsage->text(), KbText(pid, "VmPTE"));
    const std::uint64_t swap = ProcLine(pid, "status", "VmSwap").empty()
                                   ? 0
                                   : std::stoull(ProcLine(pid, "status", "VmSwap"));
    EXPECT_EQ(window.EditPagefileUsage->text(),
              FormatSizeFloat(static_cast<double>((std::stoull(ProcLine(pid, "status", "RssAnon")) + swap) * 1024)));
    // minflt (10) + majflt (12) of the stat line; the child's name holds no blank.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::vector<std::string> fields;
    for (std::string field; stat >> field;)
        fields.push_back(field);
    ASSERT_GT(fields.size(), 12U);
    EXPECT_EQ(Str(window.EditPageFaultCount->text()), std::to_string(std::stoull(fields[9]) + std::stoull(fields[11])));
    const passwd* account = ::getpwuid(::getuid());
    ASSERT_NE(account, nullptr);
    char host[256] = {};
    ::gethostname(host, sizeof host - 1);
    EXPECT_EQ(Str(window.EditUserName->text()), std::string(account->pw_name) + " (" + host + ")");
    EXPECT_EQ(Str(window.EditProcessName->text()), "kelvane_test_child");
}

TEST_F(LiveWindow, ModulesHoldTheExecutableAndLibcAtTheirBases) {
    StartChild();
    window.LoadProcessInformation(static_cast<Pid>(pid));
    const std::string exe = std::filesystem::canonical(TestChildPath()).string();
    const QTreeWidgetItem* exeRow = nullptr;
    const QTreeWidgetItem* libcRow = nullptr;
    for (int i = 0; i < window.ListViewModules->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = window.ListViewModules->topLevelItem(i);
        if (Str(row->text(5)) == exe)
            exeRow = row;
        if (row->text(0).startsWith(QLatin1String("libc.so")) || row->text(0).startsWith(QLatin1String("libc-")))
            libcRow = row;
        EXPECT_TRUE(row->text(2).startsWith(u'$')) << Str(row->text(2));
        EXPECT_GE(row->text(2).size(), 9) << Str(row->text(2));
    }
    ASSERT_NE(exeRow, nullptr);
    ASSERT_NE(libcRow, nullptr);
    EXPECT_EQ(Str(exeRow->text(0)), "kelvane_test_child");
    const auto baseText = [](const std::string& start) {
        return QStringLiteral("$%1").arg(Upper(start).rightJustified(8, u'0'));
    };
    EXPECT_EQ(exeRow->text(2), baseText(FirstMappingStart(pid, exe)));
    EXPECT_EQ(libcRow->text(2), baseText(FirstMappingStart(pid, Str(libcRow->text(5)))));
    // A 64-bit process's libc lies above 4 GB and shows every digit.
    EXPECT_GT(libcRow->text(2).size(), 9);
}

TEST_F(LiveWindow, IdleProcessHasAThreadPerProcessorAndNoModules) {
    window.EditUserName->setText(QStringLiteral("design"));
    window.LoadProcessInformation(0);
    EXPECT_EQ(window.ListViewModules->topLevelItemCount(), 0);
    EXPECT_EQ(Str(window.EditThreads->text()), std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)));
    EXPECT_EQ(Str(window.EditUserName->text()), "design");
    EXPECT_EQ(Str(window.EditWorkingSetSize->text()), "");
}

// The child ends while the window is open, reaped or left a zombie: later refreshes change nothing.
class LiveWindowEnd : public LiveWindow, public testing::WithParamInterface<bool> {};

TEST_P(LiveWindowEnd, ChildThatEndsLeavesTheFieldsAsTheyWere) {
    const bool reap = GetParam();
    StartChild();
    window.LoadProcessInformation(static_cast<Pid>(pid));
    const int modules = window.ListViewModules->topLevelItemCount();
    ASSERT_GT(modules, 0);
    RunModal(window, [&] {
        // While it runs, the refresh writes what it reads (a field set by hand is overwritten).
        window.EditThreads->setText(QStringLiteral("hand"));
        ASSERT_TRUE(WaitForRefreshes(window.TimerRefresh));
        EXPECT_EQ(Str(window.EditThreads->text()), "3");
        const QStringList before = RefreshedTexts(window);
        if (reap) {
            child->KillAndReap();
        } else {
            ASSERT_EQ(::kill(pid, SIGKILL), 0);
            ASSERT_TRUE(child->WaitExitedNoReap());
            ASSERT_EQ(ProcLine(pid, "status", "State").substr(0, 1), "Z");
        }
        ASSERT_TRUE(WaitForRefreshes(window.TimerRefresh, 2));
        EXPECT_EQ(RefreshedTexts(window), before);
    });
    EXPECT_EQ(window.ListViewModules->topLevelItemCount(), modules);
}

INSTANTIATE_TEST_SUITE_P(Live, LiveWindowEnd, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& p) {
                             return std::string(p.param ? "reaped" : "zombie");
                         });

TEST_F(LiveWindow, AChildWhosePidGoesToAnotherShowsNothingOfIt) {
    if (::getpid() != 1 || ::geteuid() != 0)
        GTEST_SKIP() << "needs its own PID namespace and root, to hand a PID out again (ns_last_pid)";
    StartChild();
    window.LoadProcessInformation(static_cast<Pid>(pid));
    RunModal(window, [&] {
        const QStringList before = RefreshedTexts(window);
        ASSERT_EQ(Str(window.EditThreads->text()), "3");
        child->KillAndReap();
        std::ofstream("/proc/sys/kernel/ns_last_pid") << pid - 1;
        ::usleep(20000); // a later start time: start times count in clock ticks
        // One thread, and another user: what the window must not take for the ended child's.
        ChildProcess other({TestChildPath(), "threads", "0"}, [] { [[maybe_unused]] int r = ::setuid(65534); });
        ASSERT_EQ(other.ReadLine().rfind("ready", 0), 0U);
        ASSERT_EQ(other.pid(), pid) << "the PID was not handed out again";
        ASSERT_TRUE(WaitForRefreshes(window.TimerRefresh, 2));
        EXPECT_EQ(RefreshedTexts(window), before);
    });
}

} // namespace
