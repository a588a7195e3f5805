// Where the main window goes: the saved placement kept within the available area of the screen that
// shows it, frame included; "Stay on Top" switched without a new native window.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QMainWindow>
#include <QPushButton>
#include <QWindow>
#include <cctype>
#include <climits>

#include "app/WindowPlacement.h"
#include "tests/support/WindowFixture.h"

using namespace kelvane::app;

namespace {

const QMargins kFrame(1, 20, 1, 5); // openbox's frame
const QSize kMinimum(1000, 360);
// A 1024x768 screen with a 24-pixel panel at the bottom, and a second screen to its right.
const QRect kSmall(0, 0, 1024, 744);
const QRect kRight(1024, 0, 1280, 1024);

struct PlacementCase {
    const char* what;
    SavedPlacement saved;
    QVector<QRect> areas;
    QRect placed; // the frame's corner, the inside's size
};

class Placement : public testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, FrameLiesWithinTheAvailableArea) {
    const PlacementCase& c = GetParam();
    const QRect placed = PlaceWindow(c.saved, kMinimum, c.areas, kFrame);
    EXPECT_EQ(placed, c.placed);
    if (!c.areas.isEmpty()) {
        const QRect outer(placed.topLeft(), placed.size().grownBy(kFrame));
        bool within = false;
        for (const QRect& area : c.areas)
            within = within || area.contains(outer);
        EXPECT_TRUE(within) << "frame " << outer.x() << ',' << outer.y() << ' ' << outer.width() << 'x' << outer.height();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Saved, Placement,
    testing::Values(
        // Centred with the final size, not the size before it, inside the panel-less part.
        PlacementCase{"no corner: centred", {std::nullopt, std::nullopt, 848, 600}, {kSmall}, {11, 59, 1000, 600}},
        // The file's design height taller than the screen: as tall as the area leaves.
        PlacementCase{"taller than the screen", {std::nullopt, std::nullopt, 1087, 770}, {kSmall}, {0, 0, 1022, 719}},
        PlacementCase{"huge size", {10, 10, INT_MAX, INT_MAX}, {kSmall}, {0, 0, 1022, 719}},
        PlacementCase{"negative size", {10, 10, -5, INT_MIN}, {kSmall}, {10, 10, 1000, 360}},
        PlacementCase{"title bar above the screen", {12, -25, 1000, 600}, {kSmall}, {12, 0, 1000, 600}},
        PlacementCase{"reaching past the right and bottom", {500, 600, 1000, 600}, {kSmall}, {22, 119, 1000, 600}},
        PlacementCase{"far off every screen", {-40000, 90000, 1000, 600}, {kSmall, kRight}, {0, 119, 1000, 600}},
        PlacementCase{"off to the right: the nearer screen", {9000, 10, 1000, 600}, {kSmall, kRight}, {1302, 10, 1000, 600}},
        PlacementCase{"mostly on the second screen", {900, 100, 1000, 600}, {kSmall, kRight}, {1024, 100, 1000, 600}},
        PlacementCase{"where it fits, as saved", {10, 40, 1000, 600}, {kSmall, kRight}, {10, 40, 1000, 600}},
        PlacementCase{"no screen known", {std::nullopt, std::nullopt, 848, 600}, {}, {459, 227, 1000, 600}}),
    [](const testing::TestParamInfo<PlacementCase>& param) {
        std::string name;
        for (const char* p = param.param.what; *p != '\0'; ++p)
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(FitMinimumSize, LowersTheMinimumOnlyWhereTheScreenIsNarrower) {
    QWidget window; // no layout: nothing inside needs room
    window.setMinimumSize(1024, 360);
    kelvane::app::FitMinimumSize(window, QRect(0, 0, 1920, 1050), kFrame);
    EXPECT_EQ(window.minimumSize(), QSize(1024, 360));
    kelvane::app::FitMinimumSize(window, kSmall, kFrame);
    EXPECT_EQ(window.minimumSize(), QSize(1022, 360));
    kelvane::app::FitMinimumSize(window, QRect(0, 0, 640, 300), kFrame);
    EXPECT_EQ(window.minimumSize(), QSize(638, 275));
}

TEST(StaysOnTop, ShownWindowKeepsItsNativeWindowAndPlace) {
    QMainWindow window;
    window.setGeometry(40, 60, 500, 300);
    window.show();
    ASSERT_NE(window.windowHandle(), nullptr);
    const QWindow* native = window.windowHandle();
    const WId id = window.winId();
    for (const bool on : {true, false, true}) {
        SetStaysOnTop(window, on);
        EXPECT_EQ(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint), on);
        EXPECT_EQ(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint), on);
        EXPECT_EQ(window.windowHandle(), native);
        EXPECT_EQ(window.winId(), id);
        EXPECT_TRUE(window.isVisible());
        EXPECT_EQ(window.geometry(), QRect(40, 60, 500, 300));
    }
}

TEST(StaysOnTop, WindowNeverShownTakesTheHintWhenItShows) {
    QMainWindow window;
    SetStaysOnTop(window, true);
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    window.show();
    ASSERT_NE(window.windowHandle(), nullptr);
    EXPECT_TRUE(window.windowHandle()->flags().testFlag(Qt::WindowStaysOnTopHint));
}

} // namespace

// ---- The window on a 1024x768 screen ----

namespace {

struct FontCase {
    const char* family;
    int points; // the desktops' default sizes
};

class SmallScreen : public kelvane::test::WindowFixture, public testing::WithParamInterface<FontCase> {};

// The whole window, frame included (openbox's: 2 px wide, 25 px high), fits a 1024x768 screen with
// a panel of 24 px: every pane gives way before the screen does.
TEST_P(SmallScreen, MinimumSizeFitsWithTheDesktopFont) {
    const FontCase& c = GetParam();
    if (!QFontDatabase::hasFamily(QLatin1String(c.family)))
        GTEST_SKIP() << c.family << " is not installed (fonts-dejavu-core, fonts-noto-core, fonts-cantarell)";
    const QFont before = QApplication::font();
    QFont font(QLatin1String(c.family));
    font.setPointSize(c.points);
    QApplication::setFont(font);
    kelvane::app::TFormMain& w = StartShown();
    QApplication::setFont(before);
    // What the panes need, and the minimum the window takes on such a screen.
    EXPECT_LE(w.minimumSizeHint().width(), 1024 - 2) << c.family;
    EXPECT_LE(w.minimumSizeHint().height(), 768 - 24 - 25) << c.family;
    w.setMinimumSize(1024, 360);
    kelvane::app::FitMinimumSize(w, kSmall, kFrame);
    EXPECT_EQ(w.minimumWidth(), 1024 - 2);
    EXPECT_LE(w.minimumHeight(), 768 - 24 - 25);
    // At that width every pane of the top row lies inside the window, none over another, and a
    // caption cut short has its whole text as the tip.
    w.resize(w.minimumSize());
    QCoreApplication::processEvents();
    int right = 0;
    for (QWidget* pane : w.findChildren<QGroupBox*>(Qt::FindChildrenRecursively)) {
        if (pane->objectName() == QLatin1String("GroupBoxControlPanel") || pane->parentWidget()->objectName() != QLatin1String("GroupBoxControlPanel"))
            continue;
        const QRect at(pane->mapTo(&w, QPoint(0, 0)), pane->size());
        EXPECT_GE(at.left(), right) << pane->objectName().toStdString();
        EXPECT_LE(at.right(), w.width()) << pane->objectName().toStdString();
        right = at.right();
    }
    int elided = 0;
    for (const QAbstractButton* button : w.findChildren<QAbstractButton*>()) {
        if (qobject_cast<const QPushButton*>(button) != nullptr || !button->isVisibleTo(&w))
            continue;
        const bool tip = !button->toolTip().isEmpty();
        elided += tip ? 1 : 0;
        if (tip) {
            EXPECT_EQ(button->toolTip(), button->text());
            EXPECT_LT(button->width(), button->sizeHint().width()) << button->objectName().toStdString();
        }
    }
    if (std::string(c.family) == "Cantarell") {
        EXPECT_GT(elided, 0) << "the widest font has some captions cut short";
    }
}

INSTANTIATE_TEST_SUITE_P(DesktopFonts, SmallScreen,
                         testing::Values(FontCase{"DejaVu Sans", 9}, FontCase{"DejaVu Sans", 10},
                                         FontCase{"Noto Sans", 10}, FontCase{"Cantarell", 11}),
                         [](const testing::TestParamInfo<FontCase>& param) {
                             std::string name = param.param.family;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name + '_' + std::to_string(param.param.points);
                         });

} // namespace
