// The window on a real X display with a window manager: the tray icon docked in a notification area
// (trayer) and driven by real clicks (xdotool), and, without a notification area, closing that
// minimizes instead of hiding. CTest runs this file twice: under Xvfb + openbox + trayer for the
// TrayX tests and under Xvfb + openbox alone for NoTrayX.

#include <QGuiApplication>
#include <QMap>
#include <QApplication>
#include <QProcess>
#include <QWidget>
#include <QTest>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include "app/ProcessListView.h"
#include "app/SettingsGroup.h"
#include "app/TrayIcon.h"
#include "engine/ProcessMonitor.h"
#include "tests/support/WindowFixture.h"

using namespace kelvane;
using namespace kelvane::app;
using kelvane::test::WaitFor;

namespace {

bool OnX() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

class TrayX : public kelvane::test::WindowFixture {
protected:
    void SetUp() override {
        if (!OnX())
            GTEST_SKIP() << "no X display (platform " << QGuiApplication::platformName().toStdString() << ")";
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
            GTEST_SKIP() << "xdotool is not installed";
        if (!WaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 5000))
            GTEST_SKIP() << "no notification area on this display (trayer not running)";
        Settings("[Preferences]\nStartMinimzed=1\n");
        Start();
        ASSERT_TRUE(WaitFor([this] { return window->trayIcon().tray().geometry().isValid() && PointAtIcon(); }, 15000))
            << "the icon was not docked";
    }
    // A click of `button` (1 left, 2 middle, 3 right) on the docked icon, once the pointer is over the
    // icon's own window: the panel may still hold the icon of an earlier test on its way out, or this
    // one not yet embedded.
    void ClickIcon(int button) {
        ASSERT_TRUE(WaitFor([this] { return PointAtIcon(); }, 10000)) << "the pointer never reached the icon";
        ASSERT_EQ(QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("click"), QString::number(button)}), 0);
    }
    static QString Run(const QStringList& args) {
        QProcess process;
        process.start(QStringLiteral("xdotool"), args);
        process.waitForFinished(5000);
        return QString::fromLocal8Bit(process.readAllStandardOutput());
    }
    static QMap<QString, qulonglong> Shell(const QStringList& args) {
        QMap<QString, qulonglong> values;
        for (const QString& line : Run(args).split(u'\n', Qt::SkipEmptyParts))
            values[line.section(u'=', 0, 0)] = line.section(u'=', 1).toULongLong();
        return values;
    }
    // The widget Qt docks into the notification area. Qt's own geometry of an embedded icon is not
    // global on every notification area; the X server's is.
    static QWidget* IconWidget() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->inherits("QSystemTrayIconSys") && widget->isVisible())
                return widget;
        return nullptr;
    }
    // Moves the pointer to the middle of the icon and tells whether the icon has seen it enter.
    static bool PointAtIcon() {
        QWidget* icon = IconWidget();
        if (icon == nullptr)
            return false;
        if (icon->underMouse())
            return true;
        const auto g = Shell({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                              QString::number(icon->winId())});
        if (g.value(QStringLiteral("WIDTH")) == 0)
            return false;
        Run({QStringLiteral("mousemove"), QString::number(g[QStringLiteral("X")] + g[QStringLiteral("WIDTH")] / 2),
             QString::number(g[QStringLiteral("Y")] + g[QStringLiteral("HEIGHT")] / 2)});
        return false;
    }
};

class NoTrayX : public kelvane::test::WindowFixture {
protected:
    void SetUp() override {
        if (!OnX())
            GTEST_SKIP() << "no X display";
        if (QSystemTrayIcon::isSystemTrayAvailable())
            GTEST_SKIP() << "a notification area is running on this display";
    }
};

} // namespace

TEST_F(TrayX, TheIconIsDockedWithTheOfflineTip) {
    EXPECT_TRUE(window->trayIcon().IsDocked());
    EXPECT_EQ(window->trayIcon().Tip(), QStringLiteral("Offline"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(TrayX, LeftClickShowsTheWindow) {
    ClickIcon(1);
    EXPECT_TRUE(WaitFor([this] { return window->isVisible(); }, 10000));
    EXPECT_TRUE(window->monitor().flags.windowVisible);
}

TEST_F(TrayX, MiddleClickSwitchesTheOptimizer) {
    ClickIcon(2);
    ASSERT_TRUE(WaitFor([this] { return window->settingsGroup().CheckBoxOptimize->isChecked(); }, 10000));
    EXPECT_TRUE(window->settingsGroup().CheckBoxRefreshProfiles->isChecked());
    window->TimerRefreshDisplayOn();
    EXPECT_TRUE(window->trayIcon().Tip().startsWith(QStringLiteral("Opt: "))) << window->trayIcon().Tip().toStdString();
    EXPECT_TRUE(window->trayIcon().Tip().contains(QStringLiteral("\nRef: ")));
    // A second press within the double-click time is a double click, which the icon does not take
    // as a middle click: click again as a person would, a moment later.
    QTest::qWait(QApplication::doubleClickInterval() + 150);
    ClickIcon(2);
    EXPECT_TRUE(WaitFor([this] { return !window->settingsGroup().CheckBoxOptimize->isChecked(); }));
    EXPECT_EQ(window->trayIcon().Tip(), QStringLiteral("Offline"));
}

TEST_F(TrayX, RightClickOpensTheTrayMenu) {
    ClickIcon(3);
    ASSERT_TRUE(WaitFor([this] { return window->trayMenu().menu.isVisible(); }, 10000));
    window->trayMenu().menu.close();
    EXPECT_TRUE(window->trayIcon().IsDocked());
}

TEST_F(TrayX, ClosingHidesToTheTray) {
    ClickIcon(1);
    ASSERT_TRUE(WaitFor([this] { return window->isVisible(); }, 10000));
    window->close();
    EXPECT_TRUE(WaitFor([this] { return !window->isVisible(); }));
    EXPECT_FALSE(window->monitor().flags.windowVisible);
    EXPECT_TRUE(window->trayIcon().IsDocked());
}

TEST_F(NoTrayX, ClosingMinimizesSoTheWindowStaysReachable) {
    Start();
    window->show();
    ASSERT_TRUE(WaitFor([this] { return window->isVisible(); }, 10000));
    window->close();
    EXPECT_TRUE(WaitFor([this] { return window->isMinimized(); }));
    EXPECT_TRUE(window->isVisible());
}

// Runs last: the notification area it starts stays on the display for a moment after it ends.
TEST_F(NoTrayX, ANotificationAreaThatComesLaterGetsTheIcon) {
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty())
        GTEST_SKIP() << "trayer is not installed";
    Start();
    window->show();
    ASSERT_FALSE(window->trayIcon().IsDocked());
    QProcess trayer;
    trayer.start(QStringLiteral("trayer"), {QStringLiteral("--edge"), QStringLiteral("bottom"),
                                           QStringLiteral("--widthtype"), QStringLiteral("request")});
    ASSERT_TRUE(trayer.waitForStarted());
    EXPECT_TRUE(WaitFor([this] { return window->trayIcon().IsDocked(); }, 15000));
    window->close(); // now closing hides to the tray
    EXPECT_TRUE(WaitFor([this] { return !window->isVisible(); }));
    window->FormDestroy();
    trayer.kill();
    trayer.waitForFinished();
}
