#include "ui/interaction.h"
#include "ui/widget_behavior.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

TEST(ActionIds, FnvOneAOverUtf16UnitsWithLowBitSet) {
    EXPECT_EQ(MakeActionId(std::u16string_view()), 0x811C9DC5u);
    EXPECT_EQ(MakeActionId(u"a"), 0xE40C292Du);  // FNV-1a("a") = 0xE40C292C, then | 1
    // Wide strings hash as UTF-16; outside the BMP: the surrogate pair is hashed on every platform.
    EXPECT_EQ(MakeActionId(L"x\U0001F525"), MakeActionId(u"x\U0001F525"));
}

TEST(Regions, OffsetAndClip) {
    // Scrolled content: moved up by 100, visible band [36, 500).
    auto r = PlaceRegion(7, Rect{10, 200, 50, 40}, true, -100, 36, 500);
    ASSERT_TRUE(r);
    EXPECT_FLOAT_EQ(r->top, 100);
    // Partly under the title band: cut to the clip top.
    auto cut = PlaceRegion(7, Rect{10, 120, 50, 40}, false, -100, 36, 500);
    ASSERT_TRUE(cut);
    EXPECT_FLOAT_EQ(cut->top, 36);
    EXPECT_FLOAT_EQ(cut->height, 24);
    // Entirely outside (bottom edge exactly at the clip top counts as outside).
    EXPECT_FALSE(PlaceRegion(7, Rect{10, 96, 50, 40}, false, -100, 36, 500));
    EXPECT_FALSE(PlaceRegion(7, Rect{10, 600, 50, 40}, false, -100, 36, 500));
    EXPECT_FALSE(PlaceRegion(7, Rect{10, 200, 0, 40}, false, 0, 36, 500));
}

}  // namespace
}  // namespace kalorix

namespace kalorix {
namespace {

InteractionState Focused(ActionId id, NavKey key) {
    InteractionState s;
    s.focused = id;
    s.key = key;
    return s;
}

TEST(Widgets, SegmentedByClickKeyAndArrowsStopsAtTheEnds) {
    const ActionId base = MakeActionId(L"set/interval");
    int selected = 1;
    InteractionState click;
    click.clicked = SegmentActionId(base, 3);
    EXPECT_TRUE(SegmentedBehavior(click, base, 4, selected));
    EXPECT_EQ(selected, 3);

    InteractionState right = Focused(SegmentActionId(base, 3), NavKey::Right);
    EXPECT_FALSE(SegmentedBehavior(right, base, 4, selected));  // already the last
    InteractionState left = Focused(SegmentActionId(base, 3), NavKey::Left);
    EXPECT_TRUE(SegmentedBehavior(left, base, 4, selected));
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(left.focused, SegmentActionId(base, 2));  // the focus moves with the choice
    EXPECT_EQ(left.key, NavKey::None);                  // one step per key
    // Keys while another control has the focus change nothing.
    InteractionState elsewhere = Focused(MakeActionId(L"set/warn"), NavKey::Right);
    EXPECT_FALSE(SegmentedBehavior(elsewhere, base, 4, selected));
}

// A whole drag through the pointer rules: the value follows every move, ends
// at the maximum past the end and off the region, and the release is no click.
TEST(Widgets, SliderDragEndsAtTheRightEndWithoutAClick) {
    const ActionId slider = MakeActionId(L"set/warn");
    const Rect track{300, 400, 400, 24};
    InteractionState ui;
    int value = 60;
    std::vector<int> seen;
    auto pass = [&] {
        ui.building.push_back(HitRegion{MakeActionId(L"set/tray"), 0, 0, 50, 50, true});
        ui.building.push_back(HitRegion{slider, track.x, track.y, track.w, track.h, true});
        SliderBehavior(ui, slider, track, 60, 100, value);
        seen.push_back(value);
        FinishPass(ui);
    };
    pass();
    PointerMove(ui, 300, 410);
    PointerDown(ui, 300, 410);
    pass();
    EXPECT_TRUE(ui.dragging);
    for (float x : {400.0f, 500.0f, 650.0f, 900.0f}) {
        EXPECT_TRUE(PointerMove(ui, x, 470));  // dragging repaints on every move
        pass();
    }
    EXPECT_EQ(seen, (std::vector<int>{60, 60, 70, 80, 95, 100}));
    PointerMove(ui, 699, 410);
    pass();
    PointerUp(ui, 699, 410);
    EXPECT_EQ(ui.clicked, 0u);
    pass();
    EXPECT_EQ(value, 100);
    ui.pressed = slider;  // pressed but the pointer left the window: value kept
    ui.pointerX = -1;
    EXPECT_FALSE(SliderBehavior(ui, slider, track, 60, 100, value));

    InteractionState up = Focused(slider, NavKey::Up);
    EXPECT_FALSE(SliderBehavior(up, slider, track, 60, 100, value));  // clamped at the top
    InteractionState down = Focused(slider, NavKey::Left);
    EXPECT_TRUE(SliderBehavior(down, slider, track, 60, 100, value));
    EXPECT_EQ(value, 99);
}

TEST(Widgets, CaptureLossEndsADragWithoutAClick) {
    const ActionId id = MakeActionId(L"set/warn");
    InteractionState s;
    s.active = {{id, 0, 0, 200, 20, true}};
    PointerMove(s, 50, 10);
    PointerDown(s, 50, 10);
    int value = 80;
    SliderBehavior(s, id, Rect{0, 0, 200, 20}, 60, 100, value);
    EXPECT_TRUE(PointerCancel(s));
    // The pointer keeps moving without a button: the value stays.
    PointerMove(s, 190, 10);
    EXPECT_FALSE(SliderBehavior(s, id, Rect{0, 0, 200, 20}, 60, 100, value));
    EXPECT_FALSE(PointerUp(s, 190, 10));
    EXPECT_EQ(s.clicked, 0u);
}

TEST(Widgets, DisabledToggleIgnoresClicksAndKeys) {
    const ActionId id = MakeActionId(L"set/autostart");
    bool on = false;
    InteractionState click;
    click.clicked = id;
    EXPECT_FALSE(ToggleBehavior(click, id, on, false));
    EXPECT_TRUE(ToggleBehavior(click, id, on, true));
    EXPECT_TRUE(on);
    InteractionState space = Focused(id, NavKey::Activate);
    EXPECT_TRUE(ToggleBehavior(space, id, on));
    EXPECT_FALSE(on);
}

TEST(Widgets, TabOrderIsReadingOrderOfClickableRegionsAndWraps) {
    // Registered out of reading order; the overlay block and a repeat are not stops.
    const std::vector<HitRegion> regions = {{3, 300, 200, 50, 30, true}, {1, 10, 100, 50, 30, true},
                                            {2, 300, 102, 50, 30, true}, {9, 0, 0, 999, 999, false},
                                            {1, 10, 100, 50, 30, true}};
    EXPECT_EQ(NextFocus(regions, 0, true), 1u);
    EXPECT_EQ(NextFocus(regions, 1, true), 2u);  // same line (tops 2 DIPs apart): left to right
    EXPECT_EQ(NextFocus(regions, 3, true), 1u);
    EXPECT_EQ(NextFocus(regions, 1, false), 3u);
    EXPECT_EQ(NextFocus({}, 0, true), 0u);
}

TEST(WindowRules, MinimumSizeNeverExceedsTheWorkArea) {
    // 175 % on a 1920 x 1080 screen (work area 1920 x 1032): 1715 x 1120 would not fit.
    const PixelSize big = MinimumTrackSize(1.75f, 1920, 1032);
    EXPECT_EQ(big.width, 1715);
    EXPECT_EQ(big.height, 1032);
}

TEST(Regions, ADuplicateIdInOnePassIsRecorded) {
    InteractionState s;
    RegisterRegion(s, {5, 0, 0, 10, 10, true});
    FinishPass(s);
    RegisterRegion(s, {5, 0, 0, 10, 10, true});  // a new pass: no duplicate yet
    EXPECT_TRUE(s.duplicates.empty());
#ifdef NDEBUG
    RegisterRegion(s, {5, 0, 40, 10, 10, true});
    ASSERT_EQ(s.duplicates.size(), 1u);
    EXPECT_EQ(s.duplicates[0], 5u);
#endif
}

}  // namespace
}  // namespace kalorix
