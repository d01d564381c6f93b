// What a repaint must redraw, the text layout cache (keys, ageing, bound) and the LRU cache of drawn texts.
#include "ui/display_list.h"
#include "ui/frame_cache.h"
#include "ui/recent_cache.h"

#include <gtest/gtest.h>

#include <memory>

namespace kalorix {
namespace {

TEST(FrameCache, KeysDifferByEveryPartAndUnusedEntriesAge) {
    FrameCache<int> cache;
    const TextKey a{L"85 °C", 9, 170.0f, 44.0f, 0};
    cache.Insert(a, 1);
    for (const TextKey& other : {TextKey{L"86 °C", 9, 170.0f, 44.0f, 0}, TextKey{L"85 °C", 10, 170.0f, 44.0f, 0},
                                 TextKey{L"85 °C", 9, 171.0f, 44.0f, 0}, TextKey{L"85 °C", 9, 170.0f, 44.0f, 1}})
        EXPECT_EQ(cache.Find(other), nullptr);
    ASSERT_NE(cache.Find(a), nullptr);

    // Used in every pass: kept. Left unused for more than two passes: dropped.
    cache.Insert(TextKey{L"once", 1, 10, 10, 0}, 2);
    for (int pass = 0; pass < 3; ++pass) EXPECT_NE((cache.NextPass(), cache.Find(a)), nullptr);
    EXPECT_TRUE(cache.Find(TextKey{L"once", 1, 10, 10, 0}) == nullptr && cache.size() == 1u);
    for (size_t i = 0; i < FrameCache<int>::kCapacity * 2 + 5; ++i)  // changing texts cannot grow it without end
        cache.Insert(TextKey{std::to_wstring(i), 0, 0, 0, 0}, static_cast<int>(i));
    EXPECT_LE(cache.size(), FrameCache<int>::kCapacity);
}

TEST(RecentCache, DropsTheLeastRecentlyUsedAndNeverTheOneJustUsed) {
    RecentCache<std::unique_ptr<int>> cache(2);
    cache.insert(L"62", std::make_unique<int>(62)), cache.insert(L"63", std::make_unique<int>(63));
    ASSERT_NE(cache.find(L"62"), nullptr);  // 63 is now the older one
    cache.insert(L"64", std::make_unique<int>(64));
    EXPECT_TRUE(cache.find(L"63") == nullptr && cache.find(L"62") != nullptr);
    cache.insert(L"64", std::make_unique<int>(640));  // the same key replaces its value, takes no second place
    EXPECT_TRUE(cache.size() == 2u && **cache.find(L"64") == 640 && cache.find(L"62") != nullptr);
}

DrawnItem Item(float x, float y, float w, float h, std::wstring_view text) {
    return DrawnItem{Rect{x, y, w, h}, ItemHash().add(Rect{x, y, w, h}).add(text).value()};
}

TEST(DisplayList, OnlyChangedItemsAreRedrawnWithTheirOldAndNewPlace) {
    const std::vector<DrawnItem> before = {Item(0, 0, 1180, 780, L"background"), Item(288, 176, 100, 44, L"85 °C"),
                                           Item(288, 500, 100, 20, L"Disk")};
    std::vector<DrawnItem> after = before;
    EXPECT_EQ(ChangedAreas(before, after)->size(), 0u);  // nothing to redraw at all

    after[1] = Item(288, 176, 120, 44, L"100 °C");       // a wider reading
    const auto areas = ChangedAreas(before, after);
    ASSERT_TRUE(areas && areas->size() == 1u && (*areas)[0].w == 120);  // covers the old text and the new one
    after.push_back(Item(0, 20, 10, 10, L"banner"));
    EXPECT_FALSE(ChangedAreas(before, after).has_value());  // something appearing means everything
}

TEST(DisplayList, ManyAreasAreCappedWithoutLosingAny) {
    std::vector<DrawnItem> before, after;
    for (int i = 0; i < 12; ++i) {
        before.push_back(Item(100.0f * i, (i % 2) * 300.0f, 40, 40, L"x"));
        after.push_back(Item(100.0f * i, (i % 2) * 300.0f, 40, 40, L"y"));
    }
    const auto areas = ChangedAreas(before, after, 4);
    ASSERT_TRUE(areas && areas->size() <= 4u);
    for (const DrawnItem& item : after) {  // every changed item lies inside some area
        bool covered = false;
        for (const Rect& a : *areas)
            covered |= item.rect.x >= a.x && item.rect.right() <= a.right() && item.rect.y >= a.y && item.rect.bottom() <= a.bottom();

        EXPECT_TRUE(covered) << item.rect.x << "," << item.rect.y;
    }
}

}  // namespace
}  // namespace kalorix
