// The program a process runs: the command-line rules on their own, then real processes started by
// the test under stand-in interpreters, a Java and a Wine loader (copies of the test child named so,
// started with the command lines those programs get), a sandbox made with a mount namespace, and
// "Kill on sense" on one script through kelvanectl run.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/ProcFs.h"
#include "platform/linux/ProgramIdentity.h"
#include "settings/IniFile.h"
#include "tests/support/ChildProcess.h"

using namespace kelvane;
using namespace kelvane::linux_port;
using kelvane::test::ChildProcess;
using kelvane::test::TestChildPath;

TEST(ProgramIdentity, CommandLineNamesTheProgram) {
    struct Case {
        const char* executable;
        std::vector<std::string> argv;
        const char* named;
    };
    const Case cases[] = {
        {"/usr/bin/python3.11", {"python3", "tool.py", "-c", "x"}, "tool.py"},
        {"/usr/bin/python3.11", {"/usr/bin/python3", "-u", "/home/u/bin/tool"}, "/home/u/bin/tool"}, // "#!" start
        {"/usr/bin/python3.11", {"python3", "-W", "ignore", "-X", "dev", "tool.py"}, "tool.py"},
        {"/usr/bin/python3.11", {"python3", "-Wignore", "-Bu", "tool.py"}, "tool.py"},
        {"/usr/bin/python3.11", {"python3", "-m", "http.server"}, ""},
        {"/usr/bin/python3.11", {"python3", "-mpip"}, ""},
        {"/usr/bin/python3.11", {"python3", "-c", "print(1)"}, ""},
        {"/usr/bin/python3.11", {"python3", "-Ic", "print(1)"}, ""},
        {"/usr/bin/python3.11", {"python3"}, ""},
        {"/usr/bin/python3.11", {"python3", "-"}, ""},
        {"/usr/bin/python3.11", {"python3", "--", "-odd.py"}, "-odd.py"},
        {"/usr/bin/bash", {"bash", "-c", "sleep 1", "script"}, ""},
        {"/usr/bin/bash", {"-bash"}, ""},
        {"/usr/bin/bash", {"bash", "-x", "+O", "extglob", "run.sh"}, "run.sh"},
        {"/usr/bin/bash", {"bash", "--rcfile", "rc", "run.sh"}, "run.sh"},
        {"/usr/bin/dash", {"sh", "-s"}, ""},
        {"/usr/bin/perl", {"perl", "-w", "-e", "1"}, ""},
        {"/usr/bin/perl", {"perl", "-wT", "tool.pl"}, "tool.pl"},
        {"/usr/bin/ruby3.1", {"ruby", "-I", "lib", "tool.rb"}, "tool.rb"},
        {"/usr/bin/node", {"node", "-r", "ts-node/register", "app.js"}, "app.js"},
        {"/usr/bin/node", {"node", "--eval", "1"}, ""},
        {"/usr/bin/node", {"node", "--max-old-space-size=100", "app.js"}, "app.js"},
        {"/usr/bin/php8.2", {"php", "-d", "x=1", "-f", "tool.php"}, "tool.php"},
        {"/usr/bin/php8.2", {"php", "-r", "echo 1;"}, ""},
        {"/usr/bin/lua5.4", {"lua", "-e", "x=1", "tool.lua"}, "tool.lua"},
        {"/usr/bin/tclsh8.6", {"tclsh", "-encoding", "utf-8", "tool.tcl"}, "tool.tcl"},
        {"/usr/bin/java", {"java", "-Xmx1g", "-cp", "lib.jar", "-jar", "app.jar", "arg"}, "app.jar"},
        {"/usr/bin/java", {"java", "-cp", "app.jar", "org.x.Main"}, ""},
        {"/usr/bin/java", {"java", "-m", "mod/org.x.Main"}, ""},
        {"/usr/bin/wine64-preloader", {"Z:\\home\\u\\game.exe", "-windowed"}, "Z:\\home\\u\\game.exe"},
        {"/usr/bin/wine-preloader", {"/usr/bin/wine-preloader", "C:\\x.exe"}, ""},
        {"/usr/bin/wine64", {"wine64", "C:\\Program Files\\x.exe"}, "C:\\Program Files\\x.exe"},
        {"/usr/bin/wine64", {"wine64", "/home/u/game.exe"}, "/home/u/game.exe"},
        {"/usr/bin/wine64", {"wine64", "winecfg"}, ""},
        // Not hosts: the command line is the program's own business.
        {"/usr/bin/sleep", {"sleep", "tool.py"}, ""},
        {"/usr/bin/python3-config", {"python3-config", "tool.py"}, ""},
        {"/usr/bin/javac", {"javac", "-jar", "x.jar"}, ""},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& word : c.argv)
            line += word + " ";
        EXPECT_EQ(NamedProgram(c.executable, c.argv), c.named) << c.executable << ": " << line;
    }
}

TEST(ProgramIdentity, SandboxesAndWindowsDrives) {
    EXPECT_EQ(SandboxOfFlatpakInfo("[Application]\nname=org.mozilla.firefox\nruntime=x\n"), "flatpak:org.mozilla.firefox");
    EXPECT_EQ(SandboxOfFlatpakInfo("[Instance]\nname=other\n[Application]\r\nname=org.a.B\r\n"), "flatpak:org.a.B");
    EXPECT_EQ(SandboxOfFlatpakInfo("[Application]\nname=../../etc\n"), "");
    EXPECT_EQ(SandboxOfFlatpakInfo("[Application]\nname=a:b\n"), "");
    EXPECT_EQ(SandboxOfCgroup("0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                              "app-flatpak-org.gnome.Maps-4242.scope\n"),
              "flatpak:org.gnome.Maps");
    EXPECT_EQ(SandboxOfCgroup("0::/user.slice/user-1000.slice/user@1000.service/app.slice/snap.firefox.firefox-1a2b.scope\n"),
              "snap:firefox");
    EXPECT_EQ(SandboxOfCgroup("0::/user.slice/user-1000.slice/session-2.scope\n"), "");

    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    std::filesystem::create_directories(root + "/pfx/dosdevices");
    std::filesystem::create_symlink("../drive_c", root + "/pfx/dosdevices/c:");
    std::filesystem::create_symlink("/media/cd", root + "/pfx/dosdevices/d:");
    EXPECT_EQ(UnixPathOfWindowsPath(root, "/pfx", "C:\\Program Files\\Game\\game.exe"), "/pfx/drive_c/Program Files/Game/game.exe");
    EXPECT_EQ(UnixPathOfWindowsPath(root, "/pfx/", "c:/windows\\..\\x.exe"), "/pfx/drive_c/x.exe");
    EXPECT_EQ(UnixPathOfWindowsPath(root, "/pfx", "D:\\setup.exe"), "/media/cd/setup.exe");
    EXPECT_EQ(UnixPathOfWindowsPath(root, "/pfx", "Z:\\home\\u\\game.exe"), "/home/u/game.exe") << "Z: is / by default";
    EXPECT_EQ(UnixPathOfWindowsPath(root, "/pfx", "E:\\x.exe"), "") << "a drive the prefix does not have";
    EXPECT_EQ(UnixPathOfWindowsPath(root, "relative", "C:\\x.exe"), "");
}

namespace {

// A folder with stand-ins named as the hosts are, the files their command lines name, and a Wine
// prefix; each process is started through bash, which can give it the first word Wine gives.
class Programs : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.path().toStdString();
        std::filesystem::create_directories(folder_ + "/bin");
        for (const char* name : {"python3.11", "java", "wine64-preloader", "sh", "tool"})
            std::filesystem::copy_file(TestChildPath(), folder_ + "/bin/" + name);
        std::filesystem::create_directories(folder_ + "/pfx/dosdevices");
        std::filesystem::create_directories(folder_ + "/pfx/drive_c/Games");
        std::filesystem::create_symlink("../drive_c", folder_ + "/pfx/dosdevices/c:");
        for (const char* file : {"tool.py", "other.py", "app.jar", "pfx/drive_c/Games/game.exe", "z.exe"})
            std::ofstream(folder_ + "/" + file) << "#!" << folder_ << "/bin/python3.11\n";
        std::filesystem::permissions(folder_ + "/tool.py", std::filesystem::perms::owner_all);
    }

    // Starts `command` (bash, in the folder, with the stand-ins idle) and waits until it runs.
    std::unique_ptr<ChildProcess> Start(const std::string& command) {
        auto child = std::make_unique<ChildProcess>(std::vector<std::string>{
            "/bin/bash", "-c", "cd '" + folder_ + "' && KELVANE_TEST_CHILD_IDLE=1 exec " + command});
        EXPECT_EQ(child->ReadLine(), "ready") << command;
        return child;
    }

    std::string ProgramOf(pid_t pid) {
        LinuxProcessApi api;
        api.BindEnumeration();
        const ProcessHandle handle = api.OpenProcess(AccessMask::Scan, static_cast<Pid>(pid));
        return handle ? api.GetModuleFileNameExW(handle, 0).toStdString() : "(not opened)";
    }

    QTemporaryDir dir_;
    std::string folder_;
};

} // namespace

TEST_F(Programs, RealProcessesAreTheirPrograms) {
    const std::string f = folder_;
    struct Case {
        std::string command;
        std::string program;
    };
    const Case cases[] = {
        {"./tool.py", f + "/tool.py"},                                 // "#!" start
        {"bin/python3.11 tool.py arg", f + "/tool.py"},                // relative to the working folder
        {"bin/python3.11 -u ./bin/../other.py", f + "/other.py"},
        {"bin/python3.11 -m http.server", f + "/bin/python3.11"},
        {"bin/python3.11 -c pass", f + "/bin/python3.11"},
        {"bin/python3.11 missing.py", f + "/bin/python3.11"},         // no such file: never a guess
        {"bin/python3.11 bin", f + "/bin/python3.11"},                // a folder is no script
        {"bin/sh -c 'sleep 1'", f + "/bin/sh"},
        {"bin/java -Xmx8m -jar app.jar", f + "/app.jar"},
        {"bin/java -cp app.jar org.x.Main", f + "/bin/java"},
        {"bin/tool tool.py", f + "/bin/tool"},                        // not a host
    };
    for (const Case& c : cases) {
        const auto child = Start(c.command);
        EXPECT_EQ(ProgramOf(child->pid()), c.program) << c.command;
    }
    // Wine gives the Windows program's path as the first word; the prefix comes from WINEPREFIX.
    const struct {
        std::string first;
        std::string program;
    } wine[] = {
        {"C:\\Games\\game.exe", f + "/pfx/drive_c/Games/game.exe"},
        {"c:/GAMES/game.exe", f + "/bin/wine64-preloader"}, // no such file in that case: no guess
        {"Z:" + f + "/z.exe", f + "/z.exe"},
        {"E:\\game.exe", f + "/bin/wine64-preloader"},
    };
    for (const auto& w : wine) {
        const auto child = Start("env WINEPREFIX=" + f + "/pfx bash -c 'exec -a \"$0\" bin/wine64-preloader' '" +
                                 w.first + "'");
        EXPECT_EQ(ProgramOf(child->pid()), w.program) << w.first;
    }
}

TEST_F(Programs, ASandboxedProgramNamesItsSandbox) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a mount namespace with its own root needs root";
    // A root of its own, as Flatpak makes one: a file system that only the sandbox's mount
    // namespace has (so that its paths mean nothing on the host), holding the system's folders, the
    // application's under /app, and /.flatpak-info.
    const std::string sandbox = folder_ + "/sandbox";
    std::filesystem::create_directories(sandbox);
    std::string script = "mount -t tmpfs sandbox '" + sandbox + "' && cd '" + sandbox + "' && mkdir -p app/bin && cp '" +
                         TestChildPath() + "' app/bin/tool && printf '[Application]\\nname=org.example.Tool\\n' > .flatpak-info && ";
    for (const char* system : {"usr", "lib", "lib64", "bin"}) {
        const std::string path = std::string("/") + system;
        if (std::filesystem::is_symlink(path))
            script += "ln -s '" + std::filesystem::read_symlink(path).string() + "' " + system + " && ";
        else if (std::filesystem::is_directory(path))
            script += "mkdir " + std::string(system) + " && mount --bind " + path + " " + system + " && ";
    }
    auto child = std::make_unique<ChildProcess>(std::vector<std::string>{
        "/usr/bin/unshare", "--mount", "--propagation", "private", "/bin/bash", "-c",
        script + "mkdir old && pivot_root . old && cd / && KELVANE_TEST_CHILD_IDLE=1 exec /app/bin/tool"});
    const std::string ready = child->ReadLine();
    if (ready != "ready")
        GTEST_SKIP() << "no mount namespace can be made here";
    EXPECT_EQ(ProgramOf(child->pid()), "flatpak:org.example.Tool:/app/bin/tool");
}

TEST_F(Programs, KillOnSenseOnAScriptEndsThatScriptOnly) {
    if (::getpid() != 1)
        GTEST_SKIP() << "runs only inside its own PID namespace (CTest's in-pid-namespace.sh), where "
                        "kelvanectl run can reach nothing but this test's children";
    const QString settings = dir_.filePath(QStringLiteral("kelvane.ini"));
    const QString python = QString::fromStdString(folder_ + "/bin/python3.11");
    IniBatch batch;
    batch.Write(QStringLiteral("Preferences"), QStringLiteral("OptimizerInterval"), QStringLiteral("100"));
    batch.Write(QStringLiteral("Preferences"), QStringLiteral("RefreshInterval"), QStringLiteral("100"));
    batch.Write(QStringLiteral("Preferences"), QStringLiteral("BoostForeground"), QStringLiteral("0"));
    batch.Write(QString::fromStdString(folder_ + "/tool.py"), QStringLiteral("AutoKill"), QStringLiteral("1"));
    batch.Write(python, QStringLiteral("Priority"), QStringLiteral("16384")); // below normal: nice 10
    ASSERT_TRUE(IniFile(settings).Apply(batch));

    const auto other = Start("bin/python3.11 other.py");
    const auto bare = Start("bin/python3.11");
    ChildProcess run({KELVANECTL_PATH, "run", "--settings", settings.toStdString()});
    const auto tool = Start("./tool.py");
    bool ended = false;
    for (int i = 0; i < 300 && !ended; ++i) {
        ended = tool->WaitExitedNoReap(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(ended) << "the script marked \"Kill on sense\"";
    const auto niceOf = [](pid_t pid) {
        const auto text = ReadSmallFile("/proc/" + std::to_string(pid) + "/stat");
        const auto stat = text ? ParseProcStat(*text) : std::nullopt;
        return stat && stat->state != 'Z' ? stat->nice : 99L;
    };
    for (int i = 0; i < 300 && niceOf(bare->pid()) != 10; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(niceOf(bare->pid()), 10) << "the interpreter's own profile holds the interpreter";
    EXPECT_EQ(niceOf(other->pid()), 0) << "another script of it: alive, and not the interpreter's profile";
    ::kill(run.pid(), SIGTERM);
    EXPECT_TRUE(run.WaitExitedNoReap(5000));
}
