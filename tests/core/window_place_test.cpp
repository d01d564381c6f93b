// Where the window opens: the saved place while its monitor is there, and what is remembered of it.
#include "ui/window_place.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

const ScreenRect kPrimary{0, 0, 1920, 1040};
const ScreenRect kLeft{-1280, 0, 0, 984};

Settings Saved(int x, int y, int w, int h) {
    Settings s;
    return s.WindowX = x, s.WindowY = y, s.WindowWidth = w, s.WindowHeight = h, s;
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
    EXPECT_TRUE(PlaceVisible({1800, 100, 2800, 800}, {kPrimary}));  // 120 px of the band on screen
    // Only 70 px; the band above the screen; below the work area.
    for (const ScreenRect& r : {ScreenRect{1850, 100, 2850, 800}, ScreenRect{100, -30, 1100, 670}, ScreenRect{100, 1030, 1100, 1730}})
        EXPECT_FALSE(PlaceVisible(r, {kPrimary})) << r.left << "," << r.top;
}

TEST(WindowPlace, AMinimisedWindowKeepsTheLastNormalSize) {
    Settings s;
    RememberWindowPlace(s, {-1200, 40, -100, 800}, true, 3);
    EXPECT_TRUE(s.WindowX == -1200 && s.WindowWidth == 1100 && s.WindowMaximized);
    RememberWindowPlace(s, {0, 0, 0, 0}, false, 9);
    EXPECT_TRUE(s.WindowWidth == 1100 && s.LastPage == 4) << s.WindowWidth << " " << s.LastPage;

}

}  // namespace
}  // namespace kalorix
