// A termination signal or the session's end while a modal dialog is open: the settings file ends
// up exactly as "Exit" leaves it, with the window's unsaved changes left out.

#include <QApplication>
#include <QSpinBox>
#include <QTimer>

#include "app/DialogWiring.h"
#include "app/SettingsGroup.h"
#include "dialogs/FormSetShutdownDateTime.h"
#include "dialogs/FormSettings.h"
#include "engine/ProcessMonitor.h"
#include "tests/support/WindowFixture.h"

using namespace kelvane;
using namespace kelvane::app;

namespace {

enum class OpenDialog { None, ShutdownTime, Settings };

class SessionEnd : public kelvane::test::WindowFixture, public testing::WithParamInterface<OpenDialog> {
protected:
    // Starts a window over a fixed settings file, changes an option without saving it, opens the
    // dialog and ends the session while it is open, as the signal handler does; the file then.
    QByteArray FileAfterTheEnd(OpenDialog open) {
        Settings("[Preferences]\nRefreshInterval=500\n[/usr/bin/tool]\nPriority=128\n");
        api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
        StartShown();
        { // the dialogs go before the window, which owns them while they show, as in the program
            TFormSetShutdownDateTime shutdown(window->monitor().table());
            TFormSettings settings(settingsPath, {}, {});
            WireDialogs(*window, {&settings, nullptr, &shutdown, settingsPath, QStringLiteral("/opt/kelvane/kelvane"), {},
                                  {}});
            window->settingsGroup().SpinEditRefresh->setValue(700);
            Select(40);
            auto* poll = new QTimer;
            poll->setInterval(5);
            QObject::connect(poll, &QTimer::timeout, poll, [this, poll, open, &shutdown, &settings] {
                if ((open == OpenDialog::ShutdownTime && !shutdown.isVisible()) ||
                    (open == OpenDialog::Settings && !settings.isVisible()))
                    return;
                poll->deleteLater();
                shutdown.SpinEditShutdownTimeHour->setValue(3);
                window->EndSession(); // SIGTERM
            });
            QTimer::singleShot(0, window.get(), [this, open, poll] {
                poll->start();
                if (open == OpenDialog::ShutdownTime)
                    window->SetShutdownTime1Click();
                else if (open == OpenDialog::Settings)
                    window->Settings1Click();
            });
            QApplication::exec(); // the program's loop, which the end leaves
            EXPECT_TRUE(window->SessionEnding());
        }
        window->FormDestroy();
        window.reset();
        return SettingsText();
    }
};

TEST_P(SessionEnd, WritesWhatExitWritesWhateverDialogIsOpen) {
    const QByteArray afterExit = FileAfterTheEnd(OpenDialog::None);
    ASSERT_FALSE(afterExit.isEmpty());
    EXPECT_EQ(FileAfterTheEnd(GetParam()), afterExit);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, SessionEnd, testing::Values(OpenDialog::ShutdownTime, OpenDialog::Settings),
                         [](const testing::TestParamInfo<OpenDialog>& p) {
                             return p.param == OpenDialog::ShutdownTime ? std::string("ShutdownTime")
                                                                        : std::string("Settings");
                         });

} // namespace
