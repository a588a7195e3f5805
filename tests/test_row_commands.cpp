// The window's commands on a row whose process has ended, on the offscreen platform over the fake
// port: the shutdown time goes to no other process, and the ended one gets none.

#include <QApplication>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "app/DialogWiring.h"
#include "app/PropertiesPanel.h"
#include "dialogs/FormSetShutdownDateTime.h"
#include "engine/ProcessMonitor.h"
#include "settings/IniFile.h"
#include "tests/support/WindowFixture.h"

using namespace kelvane;
using namespace kelvane::app;

namespace {

const QString kTool = QStringLiteral("/usr/bin/tool");
const QString kOther = QStringLiteral("/usr/bin/other");
const QString kNoSuchProcess = QStringLiteral("No such process");

class RowCommands : public kelvane::test::WindowFixture {
protected:
    void SetUp() override {
        api.AddProcess(40, kTool);
        StartShown();
        shutdown = std::make_unique<TFormSetShutdownDateTime>(window->monitor().table());
        WireDialogs(*window, {nullptr, nullptr, shutdown.get(), settingsPath, QStringLiteral("/opt/kelvane/kelvane"),
                              {}, {}});
        Select(40);
    }
    void TearDown() override {
        while (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    }
    // Sets 03:00 and presses OK as soon as the dialog shows, after `meanwhile` ran.
    void OkWhenShown(const std::function<void()>& meanwhile) {
        auto* poll = new QTimer;
        poll->setInterval(5);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, meanwhile] {
            if (!shutdown->isVisible())
                return;
            poll->stop();
            poll->deleteLater();
            meanwhile();
            shutdown->SpinEditShutdownTimeHour->setValue(3);
            shutdown->findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
        });
        poll->start();
    }
    bool Stored(const QString& path) const {
        return IniFile(settingsPath).KeyExists(path, QStringLiteral("Shutdown time"));
    }

    // Clicks "Managed" and keys "Max." after `meanwhile`: they act only while the row's process runs.
    void ExpectPanelClicks(const std::function<void()>& meanwhile, bool acts) {
        TPropertiesPanel& panel = window->properties();
        ASSERT_FALSE(panel.CheckBoxManaged->isChecked());
        const QByteArray file = SettingsText();
        meanwhile();
        QTest::mouseClick(panel.CheckBoxManaged, Qt::LeftButton);
        QTest::keyClick(panel.presetButtons[2], Qt::Key_Space); // Max.
        EXPECT_EQ(panel.CheckBoxManaged->isChecked(), acts);
        EXPECT_EQ(window->monitor().table()[40].Managed, acts);
        EXPECT_EQ(boxes, acts ? QStringList() : (QStringList{kNoSuchProcess, kNoSuchProcess}));
        EXPECT_EQ(SettingsText(), file) << "a click saves nothing";
    }

    std::unique_ptr<TFormSetShutdownDateTime> shutdown;
};

} // namespace

TEST_F(RowCommands, APidReusedWhileTheDialogIsOpenGetsNoTime) {
    OkWhenShown([this] {
        api.AddProcess(40, kOther);
        window->monitor().ProcessesScan(true); // a timer's scan: the record is the new process's now
    });
    window->SetShutdownTime1Click();
    EXPECT_EQ(window->monitor().table()[40].ShutDownTime, 0.0) << "the new process would be ended at 03:00";
    EXPECT_EQ(boxes, QStringList{kNoSuchProcess});
    EXPECT_FALSE(Stored(kOther));
    EXPECT_FALSE(Stored(kTool));
}

TEST_F(RowCommands, AProcessEndingWhileTheDialogIsOpenKeepsItsRecord) {
    OkWhenShown([this] { api.ExitProcess(40); });
    window->SetShutdownTime1Click();
    EXPECT_EQ(window->monitor().table()[40].ShutDownTime, 0.0);
    EXPECT_EQ(boxes, QStringList{kNoSuchProcess});
    EXPECT_FALSE(Stored(kTool));
}

TEST_F(RowCommands, AnEndedRowsProcessGetsNoDialog) {
    int shown = 0;
    window->dialogs.setShutdownTime = [&shown](Pid) { ++shown; };
    api.AddProcess(40, kOther);
    window->SetShutdownTime1Click();
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(boxes, QStringList{kNoSuchProcess});
    EXPECT_FALSE(Stored(kOther));
}

TEST_F(RowCommands, ThePanelActsOnTheRowsRunningProcess) { ExpectPanelClicks([] {}, true); }
TEST_F(RowCommands, ThePanelRefusesAnEndedRowsProcess) {
    ExpectPanelClicks([this] { api.ExitProcess(40); }, false);
}
TEST_F(RowCommands, ThePanelRefusesAPidNowAnotherPrograms) {
    ExpectPanelClicks([this] { api.AddProcess(40, kOther); }, false);
}
