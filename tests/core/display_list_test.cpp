// Which parts of the window a repaint must cover, from two display lists.
#include "ui/display_list.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

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
    ASSERT_TRUE(areas && areas->size() == 1u);
    EXPECT_FLOAT_EQ((*areas)[0].w, 120);  // covers the old text and the new one
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
            covered |= item.rect.x >= a.x && item.rect.right() <= a.right() && item.rect.y >= a.y &&
                       item.rect.bottom() <= a.bottom();
        EXPECT_TRUE(covered) << item.rect.x << "," << item.rect.y;
    }
}

}  // namespace
}  // namespace kalorix
