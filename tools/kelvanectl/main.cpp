// kelvanectl: Kelvane's command-line companion, over the same core as the window.

#include <QCoreApplication>
#include <QTextStream>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "engine/EngineHost.h"
#include "engine/MessageStrings.h"
#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/RuntimeLocks.h"
#include "platform/linux/foreground/ForegroundTracker.h"
#include "settings/SettingsLocation.h"
#include "tools/kelvanectl/Commands.h"
#include "tools/kelvanectl/IniCommands.h"
#include "tools/kelvanectl/ProcessCommands.h"
#include "tools/kelvanectl/VersionCommand.h"

namespace {

std::atomic<bool> stopRequested{false};

void RequestStop(int) { stopRequested = true; }

class ConsoleHost final : public kelvane::EngineHost {
public:
    explicit ConsoleHost(QTextStream& err) : err_(err) {}
    void MessageBox(const QString& text, kelvane::MessageKind) override { err_ << text << '\n'; }

private:
    QTextStream& err_;
};

void Usage(QTextStream& err) {
    err << "usage: kelvanectl list [--settings FILE] [--interval MS]\n"
           "       kelvanectl classes PID...\n"
           "       kelvanectl foreground [--verbose]\n"
           "       kelvanectl set-priority PID CLASS\n"
           "       kelvanectl set-affinity PID HEXMASK\n"
           "       kelvanectl terminate PID\n"
           "       kelvanectl dump [--settings FILE]\n"
           "       kelvanectl run [--settings FILE] [--cycles N]\n"
           "       kelvanectl ini get FILE SECTION KEY [DEFAULT]\n"
           "       kelvanectl ini set FILE SECTION KEY VALUE\n"
           "       kelvanectl ini keys FILE SECTION\n"
           "       kelvanectl ini erase FILE SECTION\n"
           "       kelvanectl ini delete FILE SECTION KEY\n"
           "       kelvanectl version [--url URL]\n";
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty()) {
        Usage(err);
        return 2;
    }
    const QString command = args.takeFirst();
    if (command == QLatin1String("ini"))
        return kelvane::CommandIni(args, out, err);

    ConsoleHost host(err);
    kelvane::MessageStrings strings;
    strings.LoadLanguageStrings(kelvane::DefaultLanguageTable(), host);
    kelvane::LinuxProcessApi api;

    if (command == QLatin1String("classes") && !args.isEmpty())
        return kelvane::CommandClasses(api, strings, args, out, err);
    if (command == QLatin1String("list"))
        return kelvane::CommandList(api, host, strings, args, kelvane::SettingsFilePath(), out, err);
    if (command == QLatin1String("set-priority"))
        return kelvane::CommandSetPriority(api, host, strings, args, out, err);
    if (command == QLatin1String("set-affinity"))
        return kelvane::CommandSetAffinity(api, host, strings, args, out, err);
    if (command == QLatin1String("terminate"))
        return kelvane::CommandTerminate(api, host, strings, args, err);
    if (command == QLatin1String("dump"))
        return kelvane::CommandDump(api, host, strings, args, kelvane::SettingsFilePath(), out, err);
    if (command == QLatin1String("run")) {
        // Two optimizers on the same processes would take each other's changes for the classes
        // to return to.
        kelvane::linux_port::OptimizerLock lock;
        QString why;
        if (!lock.Acquire(kelvane::linux_port::OptimizerLockPaths::Default(), kelvane::linux_port::OptimizesEveryone(),
                          &why)) {
            err << "kelvanectl: " << why << ": kelvanectl run does not start.\n";
            return 3;
        }
        struct sigaction action {};
        action.sa_handler = RequestStop;
        // Every ending a user or the session asks for restores the classes first.
        for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaction(signal, &action, nullptr);
        return kelvane::CommandRun(api, host, strings, args, kelvane::SettingsFilePath(), err, stopRequested);
    }
    if (command == QLatin1String("version"))
        return kelvane::CommandVersion(args, strings[kelvane::Msg::Unknown], out, err);
    if (command == QLatin1String("foreground")) {
        // The same sources as the port's, asked once.
        return kelvane::CommandForeground(args, [] {
            kelvane::linux_port::ForegroundTracker tracker;
            kelvane::ForegroundAnswer answer;
            answer.pid = static_cast<std::uint32_t>(tracker.Pid());
            answer.source = QString::fromStdString(tracker.SourceName());
            for (const std::string& notice : tracker.TakeNotices())
                answer.notices.append(QString::fromStdString(notice));
            return answer;
        }, out, err);
    }
    Usage(err);
    return 2;
}
