// The dialogs on the offscreen platform: the shutdown time through the window's command, the
// settings dialog with its autostart entry, the configuration wizard page by page and its finish,
// and the about box's splash, first-run wizard and links. Modal dialogs are driven from a timer.

#include <QDateEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QDir>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>

#include "app/DialogWiring.h"
#include "app/ProcessListView.h"
#include "app/SettingsGroup.h"
#include "dialogs/AboutBox.h"
#include "dialogs/ExecutableIcon.h"
#include "dialogs/FormSetShutdownDateTime.h"
#include "dialogs/FormSettings.h"
#include "dialogs/FormWizzard.h"
#include "engine/ProcessMonitor.h"
#include "platform/linux/DesktopShell.h"
#include "platform/linux/XdgAutostart.h"
#include "settings/IniFile.h"
#include "tests/support/WindowFixture.h"
#include "util/DateTimeText.h"

using namespace kelvane;
using namespace kelvane::app;
using kelvane::test::WaitFor;

namespace {

// Runs `action` on the modal dialog of type T as soon as it is shown.
template <typename T> void WhenShown(std::function<void(T&)> action) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = dynamic_cast<T*>(widget);
            if (dialog != nullptr && dialog->isVisible()) {
                poll->stop();
                poll->deleteLater();
                action(*dialog);
                return;
            }
        }
    });
    poll->start();
}

class DialogTest : public kelvane::test::WindowFixture {
protected:
    DialogTest() : config(dir.filePath(QStringLiteral("config"))) {
        qputenv("XDG_CONFIG_HOME", config.toUtf8());
        dialogServices.messageBox = [this](QWidget*, QMessageBox::Icon, const QString& text,
                                           QMessageBox::StandardButtons) {
            boxes.append(text);
            const QMessageBox::StandardButton a = answers.isEmpty() ? QMessageBox::Ok : answers.takeFirst();
            return a;
        };
        dialogServices.openFile = [this](QWidget*, const QString&, const QString&, const QString&) {
            ++fileDialogs;
            return chosenFile;
        };
        dialogServices.openUrl = [this](const QString& url) { opened.append(QUrl(url)); };
        autostart = [](bool on, QString* error) { return SetAutostart(on, QStringLiteral("/opt/kelvane/kelvane"), error); };
    }
    ~DialogTest() override {
        while (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        qunsetenv("XDG_CONFIG_HOME");
    }
    void Wire() {
        settingsDialog = std::make_unique<TFormSettings>(settingsPath, autostart, dialogServices);
        shutdown = std::make_unique<TFormSetShutdownDateTime>(window->monitor().table());
        WireDialogs(*window, {settingsDialog.get(), nullptr, shutdown.get(), settingsPath,
                              QStringLiteral("/opt/kelvane/kelvane"), dialogServices, autostart});
    }

    QString config;
    DialogServices dialogServices;
    QList<QMessageBox::StandardButton> answers;
    QString chosenFile;
    int fileDialogs = 0;
    TFormSettings::Autostart autostart;
    std::unique_ptr<TFormSettings> settingsDialog;
    std::unique_ptr<TFormSetShutdownDateTime> shutdown;
};

} // namespace

// ---- Shutdown time ----

TEST_F(DialogTest, AProcessWithoutAShutdownTimeOpensAtNowAndOkStoresIt) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    StartShown();
    Wire();
    shutdown->now = [] { return QDateTime(QDate(2026, 12, 9), QTime(13, 14, 15)); };
    Select(40);
    WhenShown<TFormSetShutdownDateTime>([](TFormSetShutdownDateTime& d) {
        EXPECT_EQ(d.DateTimePickerShutdownDate->date(), QDate(2026, 12, 9));
        EXPECT_EQ(d.SpinEditShutdownTimeHour->value(), 13);
        EXPECT_EQ(d.SpinEditShutDownTimeMinutes->value(), 14);
        EXPECT_EQ(d.SpinEditShutDownTimeSeconds->value(), 15);
        EXPECT_EQ(d.LabelProcessName->text(), QStringLiteral("tool"));
        d.findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
    });
    window->SetShutdownTime1Click();
    const TProcess& r = window->monitor().table()[40];
    EXPECT_DOUBLE_EQ(r.ShutDownTime, DaysOf(QDate(2026, 12, 9), QTime(13, 14, 15)));
    EXPECT_FALSE(r.DailyShutDown);
    // The row and the settings file follow: the process is not managed, yet its time is stored.
    const ProcessList& list = window->monitor().list();
    EXPECT_EQ(list.at(list.FindItem(40)).subItems[9], FormatDateTime(r.ShutDownTime));
    EXPECT_TRUE(IniFile(settingsPath).KeyExists(QStringLiteral("/usr/bin/tool"), QStringLiteral("Shutdown time")));
}

TEST_F(DialogTest, CancelLeavesTheRecordAloneAndStillSavesTheFile) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    StartShown();
    Wire();
    Select(40);
    window->settingsGroup().SpinEditRefresh->setValue(700);
    WhenShown<TFormSetShutdownDateTime>([](TFormSetShutdownDateTime& d) {
        d.SpinEditShutdownTimeHour->setValue(3);
        d.findChild<QPushButton*>(QStringLiteral("ButtonCancel"))->click();
    });
    window->SetShutdownTime1Click();
    EXPECT_EQ(window->monitor().table()[40].ShutDownTime, 0.0);
    EXPECT_EQ(IniFile(settingsPath).ReadString(QStringLiteral("Preferences"), QStringLiteral("RefreshInterval")),
              QStringLiteral("700"));
}

TEST_F(DialogTest, RemoveKeepsDailyAndTheRowRunsAlways) {
    Settings("[/usr/bin/tool]\nShutdown daily=1\nShutdown time=" +
             FormatDateTime(DaysOf(QDate(2026, 1, 2), QTime(10, 30))).toUtf8() + "\n");
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    StartShown();
    Wire();
    Select(40);
    ASSERT_NE(window->monitor().table()[40].ShutDownTime, 0.0);
    WhenShown<TFormSetShutdownDateTime>([](TFormSetShutdownDateTime& d) {
        EXPECT_TRUE(d.CheckBoxDaily->isChecked());
        EXPECT_FALSE(d.DateTimePickerShutdownDate->isEnabled()); // daily: the date is not asked for
        EXPECT_EQ(d.SpinEditShutdownTimeHour->value(), 10);
        d.findChild<QPushButton*>(QStringLiteral("ButtonRemoveSettings"))->click();
    });
    window->SetShutdownTime1Click();
    const TProcess& r = window->monitor().table()[40];
    EXPECT_EQ(r.ShutDownTime, 0.0);
    EXPECT_TRUE(r.DailyShutDown);
    const ProcessList& list = window->monitor().list();
    EXPECT_EQ(list.at(list.FindItem(40)).subItems[9], QStringLiteral("Run always."));
}

TEST_F(DialogTest, RemoveSettingTakesTheStoredTimeOutOfTheFile) {
    Settings("[/usr/bin/kept]\nPriority=128\n");
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    api.AddProcess(41, QStringLiteral("/usr/bin/kept"));
    StartShown();
    Wire();
    shutdown->now = [] { return QDateTime::currentDateTime().addDays(1); };
    struct Case {
        const char* name;
        Pid pid;
        const char* section;
        QStringList keysLeft;
    } const cases[] = {
        {"not managed", 40, "/usr/bin/tool", {}},
        {"managed", 41, "/usr/bin/kept", {QStringLiteral("Priority"), QStringLiteral("AutoKill"), QStringLiteral("Tabu"),
                                          QStringLiteral("Static"), QStringLiteral("Affinity")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString section = QLatin1String(c.section);
        ASSERT_EQ(window->monitor().table()[c.pid].Managed, c.pid == 41);
        Select(c.pid);
        WhenShown<TFormSetShutdownDateTime>(
            [](TFormSetShutdownDateTime& d) { d.findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click(); });
        window->SetShutdownTime1Click();
        ASSERT_TRUE(IniFile(settingsPath).KeyExists(section, QStringLiteral("Shutdown time")));
        WhenShown<TFormSetShutdownDateTime>([](TFormSetShutdownDateTime& d) {
            d.findChild<QPushButton*>(QStringLiteral("ButtonRemoveSettings"))->click();
        });
        window->SetShutdownTime1Click();
        const ProcessList& list = window->monitor().list();
        EXPECT_EQ(list.at(list.FindItem(c.pid)).subItems[9], QStringLiteral("Run always."));
        EXPECT_EQ(IniFile(settingsPath).Keys(section), c.keysLeft) << "only the two shutdown keys go";
    }
    // The next process of the executable that was not managed is neither ended nor managed.
    api.AddProcess(42, QStringLiteral("/usr/bin/tool"));
    window->Refresh1Click();
    window->TimerRefreshDisplayOn();
    EXPECT_EQ(window->monitor().table()[42].ShutDownTime, 0.0);
    EXPECT_FALSE(window->monitor().table()[42].Managed);
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join(u'\n').toStdString();
}

// ---- Settings dialog ----

TEST_F(DialogTest, AutostartThenCancelLeavesNoEntry) {
    Settings("[Preferences]\nStart with Windows=0\n");
    TFormSettings dialog(settingsPath, autostart, dialogServices);
    dialog.CheckBoxAutoStart->setChecked(true);
    EXPECT_TRUE(QFile::exists(AutostartEntryPath())); // written at once
    if (!QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")).isEmpty()) {
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {AutostartEntryPath()});
        validate.waitForFinished();
        EXPECT_EQ(validate.exitCode(), 0) << validate.readAllStandardOutput().toStdString();
    }
    dialog.ButtonCancelClick();
    EXPECT_FALSE(QFile::exists(AutostartEntryPath()));
    EXPECT_FALSE(dialog.CheckBoxAutoStart->isChecked());
}

TEST_F(DialogTest, TheAutostartBoxShowsTheEntryAndCancelPutsItBack) {
    struct Case {
        const char* name;
        QByteArray settings;
        bool entry; // the entry is there when the dialog opens
    } const cases[] = {
        {"a fresh file, no entry", QByteArray("\xFF\xFE", 2), false},
        {"the option off, no entry", "[Preferences]\nStart with Windows=0\n", false},
        {"the option off, an entry (made by the wizard)", "[Preferences]\nStart with Windows=0\n", true},
        {"a fresh file, an entry", QByteArray("\xFF\xFE", 2), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings(c.settings);
        SetAutostart(c.entry, QStringLiteral("/opt/kelvane/kelvane"), nullptr);
        TFormSettings dialog(settingsPath, autostart, dialogServices);
        dialog.autostartExists = [] { return AutostartEnabled(); };
        dialog.show();
        EXPECT_EQ(dialog.CheckBoxAutoStart->isChecked(), c.entry) << "the box shows the entry";
        EXPECT_EQ(AutostartEnabled(), c.entry) << "showing it switches nothing";
        dialog.CheckBoxAutoStart->setChecked(!c.entry);
        EXPECT_EQ(AutostartEnabled(), !c.entry) << "a click switches it at once";
        dialog.ButtonCancelClick();
        EXPECT_EQ(AutostartEnabled(), c.entry) << "Cancel puts it back";
        EXPECT_EQ(dialog.CheckBoxAutoStart->isChecked(), c.entry);
        dialog.show(); // again, and Cancel without a change
        dialog.ButtonCancelClick();
        EXPECT_EQ(AutostartEnabled(), c.entry);
        EXPECT_TRUE(boxes.isEmpty()) << boxes.join(u'\n').toStdString();
    }
    SetAutostart(false, QString(), nullptr);
}

TEST_F(DialogTest, SaveWritesTheFourOptions) {
    TFormSettings dialog(settingsPath, autostart, dialogServices);
    dialog.CheckBoxStartMinimized->setChecked(true);
    dialog.CheckBoxShowSplashScreen->setChecked(false);
    dialog.ButtonSaveClick();
    IniFile file(settingsPath);
    EXPECT_EQ(file.ReadString(QStringLiteral("Preferences"), QStringLiteral("StartMinimzed")), QStringLiteral("1"));
    EXPECT_EQ(file.ReadString(QStringLiteral("Preferences"), QStringLiteral("Show splash screen")), QStringLiteral("0"));
    EXPECT_EQ(file.ReadString(QStringLiteral("Preferences"), QStringLiteral("CheckForNewVersion")), QStringLiteral("1"));
    EXPECT_EQ(file.ReadString(QStringLiteral("Preferences"), QStringLiteral("Start with Windows")), QStringLiteral("0"));
    TFormSettings again(settingsPath, autostart, dialogServices);
    EXPECT_TRUE(again.CheckBoxStartMinimized->isChecked());
    EXPECT_FALSE(again.CheckBoxShowSplashScreen->isChecked());
}

// ---- Configuration wizard ----

namespace {

WizardHost RecordingHost(std::vector<std::string>& log, bool optimizerOn) {
    WizardHost host;
    host.setOptimizerChoices = [&log](bool on, int percent, bool boost, int index) {
        log.push_back("choices " + std::to_string(on) + ' ' + std::to_string(percent) + ' ' + std::to_string(boost) +
                      ' ' + std::to_string(index));
    };
    host.findLocation = [](const QString&) -> std::int64_t { return -1; };
    host.setStartMinimized = [&log](bool m) { log.push_back("minimized " + std::to_string(m)); };
    host.autostart = [&log](bool on, QString*) {
        log.push_back("autostart " + std::to_string(on));
        return true;
    };
    host.optimizerOn = [optimizerOn] { return optimizerOn; };
    host.turnOn = [&log] { log.push_back("turn on"); };
    host.saveAll = [&log] { log.push_back("save"); };
    return host;
}

} // namespace

namespace {

class NoHost final : public EngineHost {
public:
    void MessageBox(const QString&, MessageKind) override {}
};

struct WizardParts {
    NoHost host;
    MessageStrings strings;
    WizardParts() { strings.LoadLanguageStrings(DefaultLanguageTable(), host); }
};

} // namespace

TEST_F(DialogTest, WizardNavigation) {
    Settings("");
    WizardParts parts;
    std::vector<std::string> log;
    auto* wizard = new TFormWizzard(parts.strings, settingsPath, QStringLiteral("openbox"), QStringLiteral("/usr/bin/openbox"),
                                    RecordingHost(log, true), dialogServices);
    QPointer<TFormWizzard> alive(wizard);
    WhenShown<TFormWizzard>([&](TFormWizzard& w) {
        EXPECT_EQ(w.page(), 2); // the settings file exists
        EXPECT_FALSE(w.ButtonPrev->isEnabled());
        w.ButtonPrev->click();
        EXPECT_EQ(w.page(), 2);
        w.ButtonNext->click();
        EXPECT_EQ(w.page(), 3);
        EXPECT_TRUE(w.ButtonPrev->isEnabled());
        w.ButtonPrev->click();
        EXPECT_EQ(w.page(), 2);
        for (int i = 0; i < 4; ++i)
            w.ButtonNext->click();
        EXPECT_EQ(w.page(), 6);
        EXPECT_EQ(w.ButtonNext->text(), QStringLiteral("OK"));
        w.ButtonCancel->click(); // nothing is applied
    });
    wizard->exec();
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(WaitFor([&] { return alive.isNull(); })); // destroyed on closing
}

TEST_F(DialogTest, WizardFirstPageWithoutASettingsFile) {
    WizardParts parts;
    std::vector<std::string> log;
    TFormWizzard wizard(parts.strings, dir.filePath(QStringLiteral("none.ini")), QStringLiteral("openbox"),
                        QStringLiteral("/usr/bin/openbox"), RecordingHost(log, true), dialogServices);
    wizard.setAttribute(Qt::WA_DeleteOnClose, false);
    wizard.show();
    EXPECT_EQ(wizard.page(), 1);
    EXPECT_EQ(wizard.ButtonNext->text(), QStringLiteral("Yes"));
    EXPECT_EQ(wizard.ButtonCancel->text(), QStringLiteral("No"));
    wizard.ButtonNext->click();
    EXPECT_EQ(wizard.page(), 2);
    EXPECT_EQ(wizard.ButtonCancel->text(), QStringLiteral("Cancel"));
    wizard.hide();
}

namespace {

struct FinishCase {
    const char* name;
    bool optimizerOn;
    QList<QMessageBox::StandardButton> answers;
    std::vector<std::string> expected;
    QStringList boxes;
};

} // namespace

TEST_F(DialogTest, WizardFinish) {
    Settings("");
    const QString turnOn = QStringLiteral("Turn Kelvane On?");
    const QString save = QStringLiteral("Now the settings will be saved, including all the changes you have made\n"
                                        "to the managing profiles since the last time you started the application.");
    const QString missing = QStringLiteral("openbox not found on default location (/nonexistent/openbox).\n"
                                           "Please use the following dialog and select it manually!");
    const FinishCase cases[] = {
        {"OkToBoth", false, {QMessageBox::Ok, QMessageBox::Yes, QMessageBox::Ok},
         {"choices 0 75 1 3", "minimized 1", "autostart 1", "turn on", "save"}, {missing, turnOn, save}},
        {"CancelAtTheLastConfirmation", false, {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Cancel},
         {"choices 0 75 1 3", "minimized 1", "autostart 1"}, {missing, turnOn, save}},
        {"OptimizerAlreadyOn", true, {QMessageBox::Ok, QMessageBox::Ok},
         {"choices 0 75 1 3", "minimized 1", "autostart 1", "save"}, {missing, save}},
    };
    for (const FinishCase& c : cases) {
        WizardParts parts;
        std::vector<std::string> log;
        boxes.clear();
        answers = c.answers;
        fileDialogs = 0;
        TFormWizzard wizard(parts.strings, settingsPath, QStringLiteral("openbox"), QStringLiteral("/nonexistent/openbox"),
                            RecordingHost(log, c.optimizerOn), dialogServices);
        wizard.Finish();
        EXPECT_EQ(log, c.expected) << c.name;
        EXPECT_EQ(boxes, c.boxes) << c.name;
        EXPECT_EQ(fileDialogs, 1) << c.name; // the shell was not at its default place
    }
}

TEST_F(DialogTest, WizardFinishMarksTheShellTheSystemAndKelvane) {
    api.AddProcess(50, QStringLiteral("/usr/bin/openbox")); // Kelvane itself is PID 1
    api.SetSystemPid(2);
    api.AddProcess(2, QStringLiteral("/kthreadd"));
    StartShown();
    Wire();
    answers = {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Cancel}; // shell warning, turn on, save
    chosenFile = QStringLiteral("/usr/bin/openbox");
    WizardParts parts;
    Dialogs d{settingsDialog.get(), nullptr, shutdown.get(), settingsPath, QStringLiteral("/opt/kelvane/kelvane"),
              dialogServices, autostart};
    TFormWizzard wizard(parts.strings, settingsPath, QStringLiteral("openbox"), QStringLiteral("/nonexistent/openbox"),
                        MakeWizardHost(*window, d), dialogServices);
    wizard.CheckBoxALU->setChecked(true);
    wizard.RadioButtonHighb->setChecked(true);
    wizard.Finish();
    ProcessTable& table = window->monitor().table();
    EXPECT_TRUE(table[50].Managed && table[50].Never && table[50].Static && !table[50].Kill);
    EXPECT_TRUE(table[2].Never);
    EXPECT_TRUE(table[1].Managed && !table[1].Never && table[1].Static);
    EXPECT_EQ(table[1].OptimizeProfile, HIGH_PRIORITY_CLASS);
    EXPECT_TRUE(window->settingsGroup().CheckBoxALU->isChecked());
    EXPECT_EQ(window->settingsGroup().ComboBoxBoost->currentIndex(), 4);
    EXPECT_TRUE(settingsDialog->CheckBoxStartMinimized->isChecked());
    EXPECT_FALSE(window->settingsGroup().CheckBoxOptimize->isChecked()); // "Turn Kelvane On?" cancelled
    EXPECT_EQ(SettingsText().size(), 2); // the last confirmation cancelled: nothing written
    EXPECT_TRUE(QFile::exists(AutostartEntryPath()));
    SetAutostart(false, QString(), nullptr);
}

TEST_F(DialogTest, AfterTheWizardTheAutostartBoxShowsItsEntry) {
    Settings(QByteArray("\xFF\xFE", 2)); // the first run
    StartShown();
    Wire();
    settingsDialog->autostartExists = [] { return AutostartEnabled(); };
    answers = {QMessageBox::Ok, QMessageBox::Cancel, QMessageBox::Ok}; // shell warning, turn on, save
    WizardParts parts;
    Dialogs d{settingsDialog.get(), nullptr, shutdown.get(), settingsPath, QStringLiteral("/opt/kelvane/kelvane"),
              dialogServices, autostart};
    TFormWizzard wizard(parts.strings, settingsPath, QStringLiteral("openbox"), QStringLiteral("/nonexistent/openbox"),
                        MakeWizardHost(*window, d), dialogServices);
    ASSERT_TRUE(wizard.CheckBoxAutoStart->isChecked());
    wizard.Finish();
    ASSERT_TRUE(AutostartEnabled());
    EXPECT_EQ(IniFile(settingsPath).ReadString(QStringLiteral("Preferences"), QStringLiteral("Start with Windows")),
              QStringLiteral("1"));
    settingsDialog->show();
    EXPECT_TRUE(settingsDialog->CheckBoxAutoStart->isChecked());
    settingsDialog->CheckBoxAutoStart->setChecked(false); // one click removes it
    EXPECT_FALSE(AutostartEnabled());
    settingsDialog->ButtonCancelClick();
    EXPECT_TRUE(AutostartEnabled());
    EXPECT_TRUE(settingsDialog->CheckBoxAutoStart->isChecked());
    SetAutostart(false, QString(), nullptr);
}

// ---- About box ----

TEST_F(DialogTest, TheSplashClosesAndTheFirstRunWizardOpensAfterAboutFourSeconds) {
    struct {
        const char* name;
        QByteArray settings;
        bool splash;
        bool wizard;
    } const cases[] = {
        {"FirstRunWithSplash", QByteArray("\xFF\xFE", 2), true, true},
        {"FirstRunWithoutSplash", QByteArray("\xFF\xFE", 2), false, true},
        {"SettingsWithContent", QByteArray("[Preferences]\nShow splash screen=1\n"), true, false},
    };
    for (const auto& c : cases) {
        Settings(c.settings);
        TFormSettings settings(settingsPath, autostart, dialogServices);
        settings.CheckBoxShowSplashScreen->setChecked(c.splash);
        TAboutBox about(settings, settingsPath, QStringLiteral("1.2.3.4"), dialogServices);
        int wizards = 0;
        about.openWizard = [&] { ++wizards; };
        EXPECT_EQ(about.isVisible(), c.splash) << c.name;
        EXPECT_FALSE(about.Button1->isVisible()) << c.name;
        ASSERT_TRUE(WaitFor([&] { return about.splashCounter() < 0; }, 8000)) << c.name;
        EXPECT_FALSE(about.isVisible()) << c.name;
        EXPECT_EQ(wizards, c.wizard ? 1 : 0) << c.name;
        EXPECT_FALSE(about.TimerFader.isActive()) << c.name;
    }
}

TEST_F(DialogTest, AboutModeAndItsLinks) {
    Settings("[Preferences]\nShow splash screen=0\n");
    TFormSettings settings(settingsPath, autostart, dialogServices);
    TAboutBox about(settings, settingsPath, QStringLiteral("1.2.3.4"), dialogServices);
    about.AboutMode();
    about.show();
    EXPECT_TRUE(about.Button1->isVisible());
    EXPECT_TRUE(about.ButtonNo->isVisible());
    EXPECT_TRUE(about.LabelURL->isVisible());
    EXPECT_EQ(about.LabelVersion->text(), QStringLiteral("Version 1.2.3.4"));
    about.CommentsClick();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened[0].scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(opened[0].toString(QUrl::FullyEncoded).contains(QStringLiteral("subject=Kelvane%201.2.3.4")))
        << opened[0].toString(QUrl::FullyEncoded).toStdString();
    EXPECT_FALSE(about.isVisible());
    about.show();
    about.LabelURLClick();
    EXPECT_TRUE(opened[1].toString().endsWith(QStringLiteral("/Kelvane/index.html")));
    EXPECT_FALSE(about.isVisible());
    bool exited = false;
    about.exitApplication = [&] { exited = true; };
    about.show();
    about.ButtonNo->click();
    EXPECT_TRUE(exited);
}

TEST(DesktopShell, TheFirstKnownShellAmongTheProcesses) {
    QTemporaryDir proc;
    auto process = [&](const char* pid, const char* comm) {
        QDir().mkpath(proc.filePath(QLatin1String(pid)));
        QFile file(proc.filePath(QLatin1String(pid) + QStringLiteral("/comm")));
        file.open(QIODevice::WriteOnly);
        file.write(comm);
    };
    process("10", "bash\n");
    process("20", "openbox\n");
    process("30", "gnome-shell\n");
    const DesktopShell shell = FindKnownShell(proc.path());
    EXPECT_EQ(shell.fileName, QStringLiteral("gnome-shell")); // listed before openbox
    EXPECT_EQ(shell.DefaultPath(), QStringLiteral("/usr/bin/gnome-shell"));
    QTemporaryDir empty;
    EXPECT_TRUE(FindKnownShell(empty.path()).fileName.isEmpty());
}

// Pictures of the dialogs for the README, when KELVANE_DIALOG_SHOTS names a folder.
TEST_F(DialogTest, PicturesOfTheDialogs) {
    const QString folder = qEnvironmentVariable("KELVANE_DIALOG_SHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set KELVANE_DIALOG_SHOTS to a folder to take the pictures";
    api.AddProcess(40, QStringLiteral("/usr/bin/sleep"));
    StartShown();
    Wire();
    Select(40);
    auto save = [&](QWidget& widget, const char* name) {
        widget.adjustSize();
        EXPECT_TRUE(widget.grab().save(folder + u'/' + QLatin1String(name) + QStringLiteral(".png")));
    };
    shutdown->PID = 40;
    shutdown->show();
    save(*shutdown, "shutdown-time");
    shutdown->hide();
    settingsDialog->show();
    save(*settingsDialog, "settings");
    settingsDialog->hide();
    WizardParts parts;
    std::vector<std::string> log;
    TFormWizzard wizard(parts.strings, settingsPath, QStringLiteral("openbox"), QStringLiteral("/usr/bin/openbox"),
                        RecordingHost(log, true), dialogServices);
    wizard.setAttribute(Qt::WA_DeleteOnClose, false);
    wizard.show();
    for (int page = 2; page <= 6; ++page) {
        save(wizard, ("wizard-" + std::to_string(page)).c_str());
        if (page < 6)
            wizard.ButtonNext->click();
    }
    wizard.hide();
    TAboutBox about(*settingsDialog, settingsPath, QStringLiteral("0.1.0"), dialogServices);
    about.AboutMode();
    about.show();
    for (int i = 0; i < 12; ++i)
        about.TimerFaderTimer();
    save(about, "about");
    about.hide();
}
