// Where the main window goes: the saved placement kept within the available area of the screen that
// shows it, frame included; "Stay on Top" switched without a new native window.

#include <gtest/gtest.h>

#include <QMainWindow>
#include <QWindow>
#include <cctype>
#include <climits>

#include "app/WindowPlacement.h"

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
