// The dialogs as windows of the main window, on the offscreen platform: each opens owned by it
// (transient for its current native window, also after "Stay on Top" made that anew) and centred
// on it; their spin boxes bring typed values into range when editing ends; the wizard's size and
// its file dialog's filter; the optimizer's figures before the first pass.

#include <QAbstractItemView>
#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QScreen>
#include <QWindow>
#include <algorithm>

#include "app/DetailsGroup.h"
#include "app/MainStatusBar.h"
#include "app/DialogWiring.h"
#include "app/Menus.h"
#include "app/SettingsGroup.h"
#include "app/TrayIcon.h"
#include "dialogs/AboutBox.h"
#include "dialogs/ClampingSpinBox.h"
#include "dialogs/DialogOwner.h"
#include "dialogs/FormProcessInformation.h"
#include "dialogs/FormSetShutdownDateTime.h"
#include "dialogs/FormSettings.h"
#include "dialogs/FormWizzard.h"
#include "engine/ProcessMonitor.h"
#include "tests/support/WindowFixture.h"
#include "util/DateTimeText.h"

using namespace kelvane;
using namespace kelvane::app;
using kelvane::test::WaitFor;

namespace {

// The first visible modal dialog, once one shows.
QDialog* ShownDialog() {
    QDialog* found = nullptr;
    WaitFor([&found] {
        found = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        return found != nullptr && found->isVisible();
    });
    return found;
}

class OwnerTest : public kelvane::test::WindowFixture {
protected:
    OwnerTest() {
        dialogServices.messageBox = [](QWidget*, QMessageBox::Icon, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::Ok;
        };
    }
    ~OwnerTest() override {
        while (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
    }
    // The dialogs as the program makes them: without a parent where it makes them before the
    // window, which the opening must mend.
    void Wire() {
        settingsDialog = std::make_unique<TFormSettings>(settingsPath, TFormSettings::Autostart{}, dialogServices);
        shutdown = std::make_unique<TFormSetShutdownDateTime>(window->monitor().table(), window.get());
        information = std::make_unique<TFormProcessInformation>(api, [](Pid) { return QString(); });
        WireDialogs(*window, {settingsDialog.get(), nullptr, shutdown.get(), settingsPath, QString(), dialogServices,
                              {}, information.get()});
    }

    DialogServices dialogServices;
    std::unique_ptr<TFormSettings> settingsDialog;
    std::unique_ptr<TFormSetShutdownDateTime> shutdown;
    std::unique_ptr<TFormProcessInformation> information;
};

} // namespace

// ---- Owned, above and centred ----

TEST_F(OwnerTest, EveryDialogIsAWindowOfTheMainWindowAndOpensCentredOnIt) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    StartShown();
    window->move(10, 20);
    Wire();
    Select(40);
    struct Case {
        const char* name;
        std::function<void()> open;
    } const cases[] = {
        {"Settings", [this] { window->Settings1Click(); }},
        {"Set Process Shutdown Time", [this] { window->SetShutdownTime1Click(); }},
        {"Process Information", [this] { window->Query1Click(); }},
        {"Configuration Wizard", [this] { window->Wizzard1Click(); }},
    };
    for (const bool onTop : {false, true}) {
        if (onTop) { // the window's native window is made anew, and the selection goes with the hiding
            window->mainMenu().StayonTop->trigger();
            Select(40);
        }
        ASSERT_EQ(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (onTop ? ", on top" : ""));
            bool checked = false;
            QTimer::singleShot(0, window.get(), [&] {
                QDialog* dialog = ShownDialog();
                ASSERT_NE(dialog, nullptr);
                EXPECT_EQ(dialog->parentWidget(), window.get());
                ASSERT_NE(dialog->windowHandle(), nullptr);
                EXPECT_EQ(dialog->windowHandle()->transientParent(), window->windowHandle());
                // Centred on the window, as far as the screen lets it be.
                const QRect screen = dialog->screen()->availableGeometry();
                QRect expected(QPoint(), dialog->frameGeometry().size());
                expected.moveCenter(window->frameGeometry().center());
                expected.moveLeft(std::max(std::min(expected.left(), screen.right() - expected.width() + 1), screen.left()));
                expected.moveTop(std::max(std::min(expected.top(), screen.bottom() - expected.height() + 1), screen.top()));
                const QPoint offset = dialog->frameGeometry().topLeft() - expected.topLeft();
                EXPECT_LE(offset.manhattanLength(), 2) << offset.x() << ", " << offset.y();
                checked = true;
                dialog->reject();
            });
            c.open();
            EXPECT_TRUE(checked);
        }
    }
}

TEST(CentredClientPosition, TheFrameIsCentredOnTheOwnersFrameWithinTheAvailableArea) {
    const QRect screen(0, 0, 1024, 744);     // a 1024x768 screen less a panel
    const QMargins openbox(1, 20, 1, 5);     // the frame's left, title bar, right, bottom
    struct Case {
        const char* name;
        QRect owner;
        QSize size;
        QMargins margins;
        QPoint expected;
    } const cases[] = {
        // The frame of 202 x 125 centred on (399, 299); the client 1 right and 20 down of it.
        {"fits", {100, 100, 600, 400}, {200, 100}, openbox, {300, 257}},
        {"no frame", {100, 100, 600, 400}, {200, 100}, {}, {300, 250}},
        {"owner past the left edge", {-300, 0, 400, 300}, {200, 100}, openbox, {1, 107}},
        {"owner past the bottom", {0, 600, 400, 300}, {200, 100}, openbox, {100, 744 - 125 + 20}},
        {"wider than the screen", {0, 0, 1136, 600}, {1100, 300}, openbox, {1, 157}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QPoint at = CentredClientPosition(c.owner, c.size, c.margins, screen);
        EXPECT_EQ(at, c.expected) << at.x() << ", " << at.y();
    }
}

// ---- Spin boxes ----

TEST(ClampingSpinBox, ATypedValueOutsideTheRangeGoesToTheNearerBoundWhenEditingEnds) {
    struct Case {
        int minimum, maximum, before;
        const char* typed;
        bool byReturn;
        int after;
    } const cases[] = {
        {0, 23, 5, "30", false, 23},    {0, 23, 5, "30", true, 23},    {0, 23, 5, "99999", false, 23},
        {0, 23, 5, "23", false, 23},    {0, 23, 5, "0", false, 0},     {0, 23, 5, "7", false, 7},
        {10, 100, 75, "5", false, 10},  {10, 100, 75, "250", true, 100}, {10, 100, 75, "10", false, 10},
        {10, 100, 75, "-3", false, 10}, {10, 100, 75, "x", false, 75}, // refused: the value stays
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + (c.byReturn ? " and Return" : " and focus out"));
        TClampingSpinBox box;
        box.setRange(c.minimum, c.maximum);
        box.setValue(c.before);
        box.selectAll();
        QTest::keyClicks(&box, QLatin1String(c.typed));
        if (c.byReturn) {
            QTest::keyClick(&box, Qt::Key_Return);
        } else {
            QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
            QApplication::sendEvent(&box, &out);
        }
        EXPECT_EQ(box.value(), c.after);
        EXPECT_EQ(box.text(), QString::number(c.after));
    }
}

TEST_F(OwnerTest, TheShutdownTimeStoresTheClampedHour) {
    api.AddProcess(40, QStringLiteral("/usr/bin/tool"));
    StartShown();
    Wire();
    Select(40);
    shutdown->now = [] { return QDateTime(QDate(2030, 5, 6), QTime(1, 2, 3)); };
    QTimer::singleShot(0, window.get(), [this] {
        ASSERT_NE(ShownDialog(), nullptr);
        QSpinBox* hour = shutdown->SpinEditShutdownTimeHour;
        hour->selectAll();
        QTest::keyClicks(hour, QStringLiteral("30"));
        shutdown->findChild<QPushButton*>(QStringLiteral("ButtonOK"))->click();
    });
    window->SetShutdownTime1Click();
    EXPECT_EQ(window->monitor().table()[40].ShutDownTime, DaysOf(QDate(2030, 5, 6), QTime(23, 2, 3)));
}

// ---- The wizard ----

TEST_F(OwnerTest, TheWizardIsAFixedWindowOf400By296) {
    StartShown();
    Wire();
    QTimer::singleShot(0, window.get(), [] {
        QDialog* wizard = ShownDialog();
        ASSERT_NE(wizard, nullptr);
        EXPECT_EQ(wizard->size(), QSize(400, 296));
        EXPECT_EQ(wizard->minimumSize(), QSize(400, 296));
        EXPECT_EQ(wizard->maximumSize(), QSize(400, 296));
        wizard->reject();
    });
    window->Wizzard1Click();
}

// What Qt's own file dialog lists of a folder with `filter` and one of its choices selected.
QStringList Listed(const QString& folder, const QString& filter, int choice) {
    QFileDialog dialog(nullptr, QString(), folder, filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.selectNameFilter(dialog.nameFilters().value(choice));
    dialog.show();
    auto* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("listView"));
    QStringList names;
    auto read = [&] {
        names.clear();
        QAbstractItemModel* model = view->model();
        const QModelIndex root = view->rootIndex();
        for (int row = 0; row < model->rowCount(root); ++row)
            names.append(model->index(row, 0, root).data().toString());
        names.sort();
        return !names.isEmpty();
    };
    WaitFor(read, 3000);
    return names;
}

TEST(ShellFileFilter, TheDialogListsTheShellsFileAndOnRequestAllFiles) {
    QTemporaryDir dir;
    for (const char* name : {"xfce4-panel", "xfce4-panel.old", "other"}) {
        QFile file(dir.filePath(QLatin1String(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString filter = ShellFileFilter(QStringLiteral("xfce4-panel"));
    EXPECT_EQ(Listed(dir.path(), filter, 0), QStringList{QStringLiteral("xfce4-panel")});
    EXPECT_EQ(Listed(dir.path(), filter, 1),
              (QStringList{QStringLiteral("other"), QStringLiteral("xfce4-panel"), QStringLiteral("xfce4-panel.old")}));
}

// ---- The optimizer's figures ----

TEST_F(OwnerTest, TheOptimizeFigureReadsZeroUntilTheFirstPass) {
    TFormMain& w = StartShown();
    w.settingsGroup().CheckBoxOptimize->setChecked(true);
    w.TimerRefreshDisplayOn(); // a refresh before any pass
    EXPECT_EQ(w.details().LabelOptV->text(), QStringLiteral("0"));
    EXPECT_TRUE(w.trayIcon().Tip().startsWith(QStringLiteral("Opt: 0\n"))) << w.trayIcon().Tip().toStdString();
    w.TimerOptimizerTimer();
    w.TimerRefreshDisplayOn();
    EXPECT_TRUE(w.details().LabelOptV->text().endsWith(QStringLiteral(" ms"))) << w.details().LabelOptV->text().toStdString();
}

// ---- The splash ----

QStringList* capturedWarnings = nullptr;

TEST_F(OwnerTest, TheSplashFadesOnlyWhereThePlatformSetsOpacity) {
    ASSERT_NE(QGuiApplication::platformName(), QStringLiteral("xcb")) << "offscreen: no window opacity";
    TFormSettings settings(settingsPath, TFormSettings::Autostart{}, dialogServices);
    ASSERT_TRUE(settings.CheckBoxShowSplashScreen->isChecked());
    QStringList warnings;
    capturedWarnings = &warnings;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        capturedWarnings->append(text);
    });
    {
        TAboutBox about(settings, settingsPath, QStringLiteral("0.1.0"), dialogServices);
        EXPECT_TRUE(about.isVisible()) << "the splash";
        about.close();
        about.AboutMode();
        about.show();
        about.close();
        EXPECT_FALSE(about.isVisible());
    }
    qInstallMessageHandler(previous);
    capturedWarnings = nullptr;
    EXPECT_FALSE(warnings.join(u'\n').contains(QStringLiteral("opacity"))) << warnings.join(u'\n').toStdString();
}

// ---- Notices ----

TEST_F(OwnerTest, NoticesGoToTheDesktopsServiceAndTheStatusBarOnceEach) {
    QStringList told;
    services.notify = [&told](const QString& text) { told.append(text); };
    TFormMain& w = StartShown();
    const QString notice = QStringLiteral("Processes of other users are listed but not changed");
    api.notices = {notice};
    w.TimerRefreshDisplayOn();
    w.TimerRefreshDisplayOn();
    EXPECT_EQ(told, QStringList{notice});
    EXPECT_EQ(w.statusBarPanels().Panel(0), notice);
    EXPECT_TRUE(w.statusBarPanels().toolTip().contains(notice));
}

// ---- The version question after the start-up's dialogs ----

TEST_F(OwnerTest, TheStartUpDialogsHoldTheSplashAndTheFirstRunWizard) {
    struct Case {
        const char* name;
        QByteArray settings;
        bool splash;
        bool held; // whether anything is to come at all
    } const cases[] = {
        {"first run with the splash", QByteArray("\xFF\xFE", 2), true, true},
        {"first run without the splash", QByteArray("\xFF\xFE", 2), false, true},
        {"the splash only", QByteArray("[Preferences]\nShow splash screen=1\n"), true, true},
        {"neither", QByteArray("[Preferences]\nShow splash screen=0\n"), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Settings(c.settings);
        TFormSettings settings(settingsPath, TFormSettings::Autostart{}, dialogServices);
        settings.CheckBoxShowSplashScreen->setChecked(c.splash);
        TAboutBox about(settings, settingsPath, QStringLiteral("0.1.0"), dialogServices);
        std::vector<bool> showingInWizard;
        int overs = 0;
        about.openWizard = [&] { showingInWizard.push_back(about.StartupShowing()); };
        about.startupOver = [&] {
            ++overs;
            EXPECT_FALSE(about.StartupShowing());
        };
        EXPECT_EQ(about.StartupShowing(), c.held);
        for (int tick = 0; tick < 100 && about.splashCounter() > 0; ++tick)
            about.TimerFaderTimer();
        EXPECT_EQ(showingInWizard, std::vector<bool>(c.settings.size() < 3 ? 1 : 0, true)) << "held while the wizard shows";
        EXPECT_EQ(overs, 1);
        EXPECT_FALSE(about.StartupShowing());
    }
}

TEST_F(OwnerTest, ANewerVersionIsOfferedOnlyOnceTheStartUpDialogsHaveClosed) {
    answer = QMessageBox::No;
    bool showing = true;
    TFormMain& w = Start();
    w.dialogs.startupShowing = [&showing] { return showing; };
    w.StartVersionCheck([] { return VersionFetch{true, QStringLiteral("99.0.0.0"), {}}; });
    ASSERT_TRUE(WaitFor([&] { return w.VersionCheckDone(); }));
    EXPECT_TRUE(w.mainMenu().MenuVersionOnline->text().contains(QStringLiteral("99.0.0.0"))) << "the caption at once";
    EXPECT_TRUE(boxes.isEmpty()) << "no question under the splash or the wizard";
    showing = false;
    w.StartupDialogsClosed();
    EXPECT_EQ(boxes.size(), 1);
    w.StartupDialogsClosed();
    EXPECT_EQ(boxes.size(), 1) << "asked once";
}
