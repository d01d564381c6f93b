// Where the window opens: the saved place while its monitor is there, and
// what is remembered of it.
#include "ui/window_place.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

const ScreenRect kPrimary{0, 0, 1920, 1040};
const ScreenRect kLeft{-1280, 0, 0, 984};

Settings Saved(int x, int y, int w, int h) {
    Settings s;
    s.WindowX = x, s.WindowY = y, s.WindowWidth = w, s.WindowHeight = h;
    return s;
}

TEST(WindowPlace, SavedPlaceReturnsOnlyWhileItsMonitorIsThere) {
    // On the monitor left of the primary one: kept while that monitor is present.
    const Settings left = Saved(-1200, 100, 1000, 700);
    EXPECT_EQ(ChooseWindowPlace(left, {kPrimary, kLeft}, kPrimary, 1180, 780), (ScreenRect{-1200, 100, -200, 800}));
    // The monitor is gone: centred on the primary one at the default size.
    EXPECT_EQ(ChooseWindowPlace(left, {kPrimary}, kPrimary, 1180, 780), (ScreenRect{370, 130, 1550, 910}));
    // A small screen: the default is cut to its work area.
    EXPECT_EQ(ChooseWindowPlace(Settings{}, {{0, 0, 1024, 728}}, {0, 0, 1024, 728}, 1180, 780),
              (ScreenRect{0, 0, 1024, 728}));
}

TEST(WindowPlace, ATitleBandThatCannotBeGrabbedIsNotVisible) {
    EXPECT_TRUE(PlaceVisible({1800, 100, 2800, 800}, {kPrimary}));   // 120 px of the band on screen
    EXPECT_FALSE(PlaceVisible({1850, 100, 2850, 800}, {kPrimary}));  // only 70 px
    EXPECT_FALSE(PlaceVisible({100, -30, 1100, 670}, {kPrimary}));   // the band above the screen
    EXPECT_FALSE(PlaceVisible({100, 1030, 1100, 1730}, {kPrimary})); // below the work area
}

TEST(WindowPlace, AMinimisedWindowKeepsTheLastNormalSize) {
    Settings s;
    RememberWindowPlace(s, {-1200, 40, -100, 800}, true, 3);
    EXPECT_TRUE(s.WindowX == -1200 && s.WindowWidth == 1100 && s.WindowMaximized);
    RememberWindowPlace(s, {0, 0, 0, 0}, false, 9);
    EXPECT_EQ(s.WindowWidth, 1100);
    EXPECT_EQ(s.LastPage, 4);
}

}  // namespace
}  // namespace kalorix
