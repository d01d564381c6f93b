#include "ui/interaction.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

// One paint pass that registers the given regions, as the window does.
void Pass(InteractionState& ui, const std::vector<HitRegion>& regions) {
    ui.building = regions;
    FinishPass(ui);
}

TEST(InteractionTest, ClickNeedsPressAndReleaseOnTheSameRegion) {
    InteractionState ui;
    const ActionId a = MakeActionId(L"a"), b = MakeActionId(L"b");
    Pass(ui, {{a, 10, 50, 100, 40, true}, {b, 10, 100, 100, 40, true}});

    EXPECT_TRUE(PointerDown(ui, 20, 60));
    EXPECT_TRUE(PointerUp(ui, 20, 60));
    EXPECT_EQ(ui.clicked, a);

    // The next pass consumes the click.
    Pass(ui, {{a, 10, 50, 100, 40, true}, {b, 10, 100, 100, 40, true}});
    EXPECT_EQ(ui.clicked, 0u);

    // Press on a, release on b: no click.
    PointerDown(ui, 20, 60);
    PointerMove(ui, 20, 110);
    PointerUp(ui, 20, 110);
    EXPECT_EQ(ui.clicked, 0u);

    // Press on a, move off and release on empty space: cancelled.
    PointerDown(ui, 20, 60);
    PointerUp(ui, 500, 500);
    EXPECT_EQ(ui.clicked, 0u);

    // Press on empty space and release on a: no click, and no repaint asked.
    EXPECT_FALSE(PointerDown(ui, 500, 500));
    EXPECT_FALSE(PointerUp(ui, 20, 60));
    EXPECT_EQ(ui.clicked, 0u);
}

TEST(InteractionTest, LastRegisteredRegionIsOnTop) {
    InteractionState ui;
    const ActionId under = MakeActionId(L"nav/Ayarlar"), block = MakeActionId(L"prompt/block"),
                   yes = MakeActionId(L"prompt/yes");
    // The prompt covers the whole window; only its buttons react.
    Pass(ui, {{under, 14, 116, 204, 40, true}, {block, 0, 0, 1180, 780, false}, {yes, 600, 400, 150, 36, true}});
    EXPECT_EQ(UpdateHover(ui, 20, 120), block);
    EXPECT_FALSE(HoveredWantsHand(ui));
    EXPECT_EQ(UpdateHover(ui, 610, 410), yes);
    EXPECT_TRUE(HoveredWantsHand(ui));
    PointerDown(ui, 20, 120);
    PointerUp(ui, 20, 120);
    EXPECT_EQ(ui.clicked, block);
}

TEST(InteractionTest, HitTestEdgesAndLeave) {
    InteractionState ui;
    const ActionId a = MakeActionId(L"a");
    Pass(ui, {{a, 10, 50, 100, 40, false}});
    EXPECT_EQ(UpdateHover(ui, 10, 50), a);    // left and top are inside
    EXPECT_EQ(UpdateHover(ui, 110, 60), 0u);  // left + width is outside
    EXPECT_EQ(UpdateHover(ui, 20, 90), 0u);   // top + height is outside
    EXPECT_FALSE(PointerMove(ui, 500, 500));  // hovered unchanged (0 -> 0): no repaint
    EXPECT_TRUE(PointerMove(ui, 20, 60));
    PointerLeave(ui);
    EXPECT_EQ(ui.hovered, 0u);
    EXPECT_EQ(ui.pointerX, -1.0f);
}

TEST(FrameTest, BordersCornersCaptionAndButtons) {
    const float w = 1180, h = 780;
    const struct { float x, y; bool maximised; FrameHit hit; } cases[] = {
        {2, 2, false, FrameHit::TopLeft},         {w - 1, h - 1, false, FrameHit::BottomRight},
        {w - 3, 300, false, FrameHit::Right},     {300, h - 6, false, FrameHit::Bottom},
        {300, 20, false, FrameHit::Caption},      {300, 36, false, FrameHit::Client},
        {w - 138, 20, false, FrameHit::MinButton}, {w - 93, 20, false, FrameHit::MinButton},
        {w - 92, 20, false, FrameHit::MaxButton}, {w - 7, 20, false, FrameHit::CloseButton},
        // Maximised: no resize borders; the buttons stay 46 wide at the right end.
        {2, 2, true, FrameHit::Caption},          {w - 1, 2, true, FrameHit::CloseButton},
        {2, h - 1, true, FrameHit::Client},       {w - 138, 2, true, FrameHit::MinButton},
    };
    for (const auto& c : cases) EXPECT_EQ(FrameHitTest(c.x, c.y, w, h, c.maximised), c.hit) << c.x << "," << c.y;
}

TEST(ScrollTest, WheelClampsAndThumbFollows) {
    // Content that fits: the offset stays 0 and there is no thumb.
    EXPECT_EQ(ScrollAfterWheel(0, -120, 500, 744), 0.0f);
    EXPECT_FALSE(ScrollBarThumb(0, 500, 744).visible);
    // One notch down moves 56 DIPs; up from 0 stays at 0.
    EXPECT_FLOAT_EQ(ScrollAfterWheel(0, 120, 1500, 744), 0);
    EXPECT_FLOAT_EQ(ScrollAfterWheel(700, -360, 1500, 744), 756);  // clamped to 1500 - 744
    EXPECT_FLOAT_EQ(ScrollAfterWheel(100, -60, 1500, 744), 128);   // half a notch
    // The window grew: the old offset is beyond the new maximum.
    EXPECT_FLOAT_EQ(MaxScroll(1500, 1400), 100);

    ScrollThumb top = ScrollBarThumb(0, 1500, 744);
    ASSERT_TRUE(top.visible);
    EXPECT_FLOAT_EQ(top.top, 40);
    EXPECT_FLOAT_EQ(top.length, 736.0f * 744.0f / 1500.0f);
    ScrollThumb bottom = ScrollBarThumb(756, 1500, 744);
    EXPECT_FLOAT_EQ(bottom.top + bottom.length, 40 + 736);
    // Very long content: the thumb keeps a minimum length of 40.
    EXPECT_FLOAT_EQ(ScrollBarThumb(0, 100000, 744).length, 40);
}

TEST(ShortcutTest, CtrlDigitsSelectPages) {
    EXPECT_EQ(PageForShortcut('1', true), 0);
    EXPECT_EQ(PageForShortcut('5', true), 4);
    EXPECT_EQ(PageForShortcut('3', false), std::nullopt);
    EXPECT_EQ(PageForShortcut('6', true), std::nullopt);
    EXPECT_EQ(PageForShortcut('0', true), std::nullopt);
}

TEST(SamplerPolicyTest, IntervalByWindowState) {
    EXPECT_EQ(SamplerIntervalFor(500, true, false), 500);
    EXPECT_EQ(SamplerIntervalFor(500, false, false), 2000);  // hidden: at least 2 s
    EXPECT_EQ(SamplerIntervalFor(5000, false, false), 5000);
    EXPECT_EQ(SamplerIntervalFor(5000, true, true), 1000);   // benchmark runs
}

}  // namespace
}  // namespace kalorix
