// kelvane: the desktop program. Creates the forms in their order, runs the event loop until
// "Exit", a termination signal or the end of the desktop session, then runs the shut-down that
// gives every process the class it had.

#include <QApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

#include "app/DialogWiring.h"
#include "app/FormMain.h"
#include "app/SingleInstance.h"
#include "app/TrayIcon.h"
#include "dialogs/AboutBox.h"
#include "dialogs/FormProcessInformation.h"
#include "dialogs/FormSetShutdownDateTime.h"
#include "dialogs/FormSettings.h"
#include "engine/ProcessMonitor.h"
#include "platform/linux/LinuxProcessApi.h"
#include "platform/linux/RuntimeLocks.h"
#include "platform/linux/XdgAutostart.h"
#include "settings/SettingsLocation.h"
#include "update/HttpFetch.h"
#include "update/PublisherUrls.h"

namespace {

int signalPipe[2] = {-1, -1};
kelvane::app::TFormMain* mainWindow = nullptr;

void OnSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

// SIGTERM, SIGINT and SIGHUP end Kelvane as "Exit" does: the handler only wakes the event loop.
void CatchTerminationSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[0], &byte, 1);
        // Not quit(): that asks the windows, and closing only hides.
        if (mainWindow != nullptr)
            mainWindow->EndSession();
        else
            QApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

// Where the event loop is left without returning (the X connection breaks and the platform ends
// the program), the shut-down still restores the classes.
void ShutDownAtExit() {
    if (mainWindow != nullptr)
        mainWindow->FormDestroy();
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvane"));
    // No display name: Qt would append it to every caption ("Kelvane Settings — Kelvane").
    QApplication::setDesktopFileName(QStringLiteral("kelvane"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/mainicon.svg")));
    app.setProperty("helpFile", kelvane::HelpPageUrl());
    QApplication::setQuitOnLastWindowClosed(false); // closing the window hides it to the tray
    CatchTerminationSignals(app);

    // One window per session: a second start shows the first one's window and ends.
    const QString runtimeFolder = kelvane::linux_port::UserRuntimeFolder();
    const QString sessionKey = kelvane::app::SingleInstance::SessionKey();
    kelvane::app::SingleInstance instance;
    const auto claimed = instance.Claim(runtimeFolder, sessionKey, [] {
        if (mainWindow != nullptr)
            mainWindow->ShowSettings1Click();
    });
    if (claimed == kelvane::app::SingleInstance::Claimed::Others) {
        QString error;
        if (kelvane::app::SingleInstance::AskToShow(runtimeFolder, sessionKey, 10000, &error))
            return 0;
        std::fprintf(stderr, "kelvane: Kelvane already runs in this session, but its window could not be shown: %s\n",
                     qPrintable(error));
        return 1;
    }
    // One optimizer for a set of processes: beside another one the window starts with its
    // optimizer off. Held until the end, after the restore of the classes at exit.
    kelvane::linux_port::OptimizerLock optimizerLock;
    QString optimizerRefusal;
    if (!optimizerLock.Acquire(kelvane::linux_port::OptimizerLockPaths::Default(),
                               kelvane::linux_port::OptimizesEveryone(), &optimizerRefusal))
        optimizerRefusal += QStringLiteral(": the optimizer stays off.");
    kelvane::InitNetwork();

    kelvane::LinuxProcessApi api;
    const QString settingsPath = kelvane::SettingsFilePath();
    kelvane::app::TFormMain formMain(api, {settingsPath, 0, QCoreApplication::applicationFilePath()},
                                     kelvane::app::UiServices::Desktop());
    if (!optimizerRefusal.isEmpty()) {
        std::fprintf(stderr, "kelvane: %s\n", qPrintable(optimizerRefusal));
        formMain.RefuseOptimizer(optimizerRefusal);
    }
    mainWindow = &formMain;
    std::atexit(ShutDownAtExit);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &formMain, [&formMain] { formMain.FormDestroy(); });
    // The desktop session ends: end as "Exit" does. (Closing the window only hides it, which would
    // otherwise hold the logout up.)
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &formMain, [&formMain](QSessionManager&) {
        formMain.FormDestroy();
        QTimer::singleShot(0, &formMain, [&formMain] { formMain.EndSession(); });
    });

    const QString executable = QCoreApplication::applicationFilePath();
    const kelvane::DialogServices services = kelvane::DialogServices::Desktop();
    auto autostart = [executable](bool on, QString* error) { return kelvane::SetAutostart(on, executable, error); };
    kelvane::TFormSettings formSettings(settingsPath, autostart, services, &formMain);
    formSettings.autostartExists = [] { return kelvane::AutostartEnabled(); };
    kelvane::TAboutBox aboutBox(formSettings, settingsPath, formMain.OwnVersionText(), services);
    kelvane::TFormSetShutdownDateTime formSetShutdownDateTime(formMain.monitor().table(), &formMain);
    kelvane::TFormProcessInformation formProcessInformation(api, [&formMain](kelvane::Pid pid) {
        const kelvane::TProcess* record = formMain.monitor().table().Find(pid);
        return record != nullptr ? record->Name : QString();
    }, &formMain);
    formProcessInformation.identityOf = [&formMain](kelvane::Pid pid) -> std::uint64_t {
        const kelvane::TProcess* record = formMain.monitor().table().Find(pid);
        return record != nullptr ? record->Identity : 0;
    };
    kelvane::app::WireDialogs(formMain, {&formSettings, &aboutBox, &formSetShutdownDateTime, settingsPath, executable,
                                         services, autostart, &formProcessInformation});

    if (!formMain.StartMinimized())
        formMain.show();
    else if (!formMain.trayIcon().IsDocked())
        formMain.showMinimized(); // no notification area to come back from: in the task bar
    if (aboutBox.SplashShown())
        aboutBox.raise();
    formMain.StartVersionCheck(); // start-up steps 19 and 21, without holding the window back

    const int status = QApplication::exec();
    formMain.FormDestroy();
    mainWindow = nullptr;
    return status;
}
