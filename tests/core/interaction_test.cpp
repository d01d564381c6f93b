#include "ui/interaction.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

TEST(ActionIds, FnvOneAOverUtf16UnitsWithLowBitSet) {
    EXPECT_EQ(MakeActionId(std::u16string_view()), 0x811C9DC5u);
    EXPECT_EQ(MakeActionId(u"a"), 0xE40C292Du);  // FNV-1a("a") = 0xE40C292C, then | 1
    EXPECT_NE(MakeActionId(u"nav/Sensörler"), MakeActionId(u"nav/Donanım"));
    for (const char16_t* s : {u"", u"a", u"nav/Genel Bakış", u"set/interval"}) EXPECT_EQ(MakeActionId(s) & 1u, 1u);
}

TEST(ActionIds, WideAndUtf16Agree) {
    EXPECT_EQ(MakeActionId(L"nav/Genel Bakış"), MakeActionId(u"nav/Genel Bakış"));
    EXPECT_EQ(MakeActionId(L"tests/run/0"), MakeActionId(u"tests/run/0"));
    // Outside the BMP: the surrogate pair is hashed on every platform.
    EXPECT_EQ(MakeActionId(L"x\U0001F525"), MakeActionId(u"x\U0001F525"));
}

TEST(Regions, OffsetAndClip) {
    // Scrolled content: moved up by 100, visible band [36, 500).
    auto r = PlaceRegion(7, Rect{10, 200, 50, 40}, true, -100, 36, 500);
    ASSERT_TRUE(r);
    EXPECT_FLOAT_EQ(r->top, 100);
    EXPECT_FLOAT_EQ(r->height, 40);
    EXPECT_TRUE(r->hand);
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

TEST(Regions, LastRegisteredWinsAndEdgesAreHalfOpen) {
    std::vector<HitRegion> regions = {{1, 0, 0, 100, 100, false}, {2, 50, 50, 20, 20, true}};
    EXPECT_EQ(HitTest(regions, 55, 55), 2u);
    EXPECT_EQ(HitTest(regions, 10, 10), 1u);
    EXPECT_EQ(HitTest(regions, 70, 60), 1u);  // right edge of region 2 is outside it
    EXPECT_EQ(HitTest(regions, 100, 10), 0u);
    EXPECT_EQ(HitTest(regions, -1, -1), 0u);
}

}  // namespace
}  // namespace kalorix
