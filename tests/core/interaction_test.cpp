// Pointer and keyboard rules: action ids, regions, clicks, hover, drags, focus, frame borders, scrolling.
#include "ui/interaction.h"
#include "ui/widget_behavior.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

// One paint pass that registers the given regions, as the window does.
void Pass(InteractionState& ui, const std::vector<HitRegion>& regions) {
    ui.building = regions;
    FinishPass(ui);
}

InteractionState Focused(ActionId id, NavKey key) {
    InteractionState s;
    return s.focused = id, s.key = key, s;
}

TEST(InteractionTest, ClickNeedsPressAndReleaseOnTheSameRegion) {
    InteractionState ui;
    const ActionId a = MakeActionId(L"a");
    const std::vector<HitRegion> regions = {{a, 10, 50, 100, 40, true}, {MakeActionId(L"b"), 10, 100, 100, 40, true}};
    Pass(ui, regions);
    EXPECT_TRUE(PointerDown(ui, 20, 60) && PointerUp(ui, 20, 60) && ui.clicked == a);
    Pass(ui, regions);  // the next pass consumes the click
    PointerDown(ui, 20, 60), PointerMove(ui, 20, 110), PointerUp(ui, 20, 110);  // press on a, release on b
    PointerDown(ui, 20, 60), PointerUp(ui, 500, 500);                           // ... on empty space
    EXPECT_FALSE(PointerDown(ui, 500, 500) || PointerUp(ui, 20, 60));  // from empty space: no click, no repaint
    EXPECT_EQ(ui.clicked, 0u);
}

TEST(InteractionTest, LastRegisteredRegionIsOnTopAndEdges) {
    InteractionState ui;
    const ActionId under = MakeActionId(L"nav/Ayarlar"), block = MakeActionId(L"prompt/block"), yes = MakeActionId(L"prompt/yes");

    // The prompt covers the whole window; only its buttons react.
    Pass(ui, {{under, 14, 116, 204, 40, true}, {block, 0, 0, 1180, 780, false}, {yes, 600, 400, 150, 36, true}});
    EXPECT_TRUE(UpdateHover(ui, 20, 120) == block && !HoveredWantsHand(ui));
    EXPECT_TRUE(UpdateHover(ui, 610, 410) == yes && HoveredWantsHand(ui));

    Pass(ui, {{under, 10, 50, 100, 40, false}});
    EXPECT_EQ(UpdateHover(ui, 10, 50), under);  // left and top are inside
    EXPECT_EQ(UpdateHover(ui, 110, 60), 0u);    // left + width is outside
    EXPECT_EQ(UpdateHover(ui, 20, 90), 0u);     // top + height is outside
    EXPECT_FALSE(PointerMove(ui, 500, 500));    // hovered unchanged: no repaint
}

TEST(FrameTest, BordersCornersCaptionAndButtons) {
    const float w = 1180, h = 780;
    // Maximised (the last two): no resize borders; the buttons stay 46 wide at the right end.
    const struct { float x, y; bool maximised; FrameHit hit; } cases[] = {
        {2, 2, false, FrameHit::TopLeft}, {w - 1, h - 1, false, FrameHit::BottomRight}, {300, 20, false, FrameHit::Caption},
        {300, 36, false, FrameHit::Client}, {w - 93, 20, false, FrameHit::MinButton}, {w - 92, 20, false, FrameHit::MaxButton},
        {2, 2, true, FrameHit::Caption}, {w - 1, 2, true, FrameHit::CloseButton}};
    for (const auto& c : cases) EXPECT_EQ(FrameHitTest(c.x, c.y, w, h, c.maximised), c.hit) << c.x << "," << c.y;
}

TEST(ScrollTest, WheelClampsAndThumbFollows) {
    EXPECT_FALSE(ScrollAfterWheel(0, -120, 500, 744) != 0 || ScrollBarThumb(0, 500, 744).visible);  // content that fits
    EXPECT_FLOAT_EQ(ScrollAfterWheel(700, -360, 1500, 744), 756);  // clamped to 1500 - 744
    EXPECT_FLOAT_EQ(ScrollAfterWheel(100, -60, 1500, 744), 128);   // half a 56-DIP notch
    const ScrollThumb bottom = ScrollBarThumb(756, 1500, 744);
    EXPECT_FLOAT_EQ(bottom.top + bottom.length, 40 + 736);
    EXPECT_FLOAT_EQ(ScrollBarThumb(0, 100000, 744).length, 40);  // minimum length
}

TEST(WindowRules, ShortcutsIntervalAndMinimumSize) {
    EXPECT_TRUE(PageForShortcut('3', false) == std::nullopt && PageForShortcut('6', true) == std::nullopt);
    // Shown, hidden (at least 2 s), a benchmark runs.
    EXPECT_EQ((std::vector<int>{SamplerIntervalFor(500, true, false), SamplerIntervalFor(500, false, false),
                                SamplerIntervalFor(5000, true, true)}), (std::vector<int>{500, 2000, 1000}));
    // 175 % on a 1920 x 1080 screen (work area 1920 x 1032): 1715 x 1120 would not fit.
    const PixelSize big = MinimumTrackSize(1.75f, 1920, 1032);
    EXPECT_TRUE(big.width == 1715 && big.height == 1032);
}

TEST(ActionIds, FnvOneAOverUtf16UnitsWithLowBitSet) {
    EXPECT_EQ(MakeActionId(std::u16string_view()), 0x811C9DC5u);
    EXPECT_EQ(MakeActionId(u"a"), 0xE40C292Du);  // FNV-1a("a") = 0xE40C292C, then | 1
    // Wide strings hash as UTF-16; outside the BMP: the surrogate pair is hashed on every platform.
    EXPECT_EQ(MakeActionId(L"x\U0001F525"), MakeActionId(u"x\U0001F525"));
}

TEST(Regions, OffsetClipAndDuplicates) {
    // Scrolled content: moved up by 100, visible band [36, 500).
    EXPECT_FLOAT_EQ(PlaceRegion(7, Rect{10, 200, 50, 40}, true, -100, 36, 500)->top, 100);
    auto cut = PlaceRegion(7, Rect{10, 120, 50, 40}, false, -100, 36, 500);  // partly under the title band
    EXPECT_TRUE(cut && cut->top == 36 && cut->height == 24);
    EXPECT_FALSE(PlaceRegion(7, Rect{10, 96, 50, 40}, false, -100, 36, 500));  // bottom exactly at the clip top
    EXPECT_FALSE(PlaceRegion(7, Rect{10, 200, 0, 40}, false, 0, 36, 500));

    InteractionState s;
    Pass(s, {{5, 0, 0, 10, 10, true}});  // a new pass: no duplicate yet
    RegisterRegion(s, {5, 0, 0, 10, 10, true});
    EXPECT_TRUE(s.duplicates.empty());
#ifdef NDEBUG
    RegisterRegion(s, {5, 0, 40, 10, 10, true});
    EXPECT_EQ(s.duplicates, std::vector<ActionId>{5u});
#endif
}

TEST(Widgets, SegmentedByClickKeyAndArrowsStopsAtTheEnds) {
    const ActionId base = MakeActionId(L"set/interval");
    int selected = 1;
    InteractionState click{.clicked = SegmentActionId(base, 3)}, right = Focused(SegmentActionId(base, 3), NavKey::Right);
    EXPECT_TRUE(SegmentedBehavior(click, base, 4, selected) && selected == 3);
    EXPECT_FALSE(SegmentedBehavior(right, base, 4, selected));  // already the last
    InteractionState left = Focused(SegmentActionId(base, 3), NavKey::Left);
    EXPECT_TRUE(SegmentedBehavior(left, base, 4, selected) && selected == 2);
    EXPECT_TRUE(left.focused == SegmentActionId(base, 2) && left.key == NavKey::None);  // focus follows, one step per key
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
        ui.building = {HitRegion{MakeActionId(L"set/tray"), 0, 0, 50, 50, true},
                       HitRegion{slider, track.x, track.y, track.w, track.h, true}};
        SliderBehavior(ui, slider, track, 60, 100, value);
        seen.push_back(value);
        FinishPass(ui);
    };
    pass();
    PointerMove(ui, 300, 410), PointerDown(ui, 300, 410);
    pass();
    for (float x : {400.0f, 500.0f, 650.0f, 900.0f}) {
        EXPECT_TRUE(PointerMove(ui, x, 470));  // dragging repaints on every move
        pass();
    }
    EXPECT_EQ(seen, (std::vector<int>{60, 60, 70, 80, 95, 100}));
    PointerUp(ui, 699, 410);
    EXPECT_EQ(ui.clicked, 0u);
    ui.pressed = slider, ui.pointerX = -1;  // pressed but the pointer left the window: value kept
    EXPECT_FALSE(SliderBehavior(ui, slider, track, 60, 100, value));
    InteractionState up = Focused(slider, NavKey::Up), down = Focused(slider, NavKey::Left);
    EXPECT_FALSE(SliderBehavior(up, slider, track, 60, 100, value));  // clamped at the top
    EXPECT_TRUE(SliderBehavior(down, slider, track, 60, 100, value) && value == 99);
}

TEST(Widgets, CaptureLossEndsADragWithoutAClick) {
    const ActionId id = MakeActionId(L"set/warn");
    InteractionState s;
    s.active = {{id, 0, 0, 200, 20, true}};
    PointerMove(s, 50, 10), PointerDown(s, 50, 10);
    int value = 80;
    SliderBehavior(s, id, Rect{0, 0, 200, 20}, 60, 100, value);
    EXPECT_TRUE(PointerCancel(s));
    PointerMove(s, 190, 10);  // moving on without a button: the value stays
    EXPECT_FALSE(SliderBehavior(s, id, Rect{0, 0, 200, 20}, 60, 100, value) || PointerUp(s, 190, 10));
    EXPECT_EQ(s.clicked, 0u);
}

TEST(Widgets, DisabledToggleIgnoresClicks) {
    const ActionId id = MakeActionId(L"set/autostart");
    bool on = false;
    InteractionState click{.clicked = id};

    EXPECT_FALSE(ToggleBehavior(click, id, on, false));
    EXPECT_TRUE(ToggleBehavior(click, id, on, true) && on);
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

}  // namespace
}  // namespace kalorix
