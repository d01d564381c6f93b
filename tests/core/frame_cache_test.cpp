// The text layout cache: keys, ageing and its bound.
#include "ui/frame_cache.h"

#include <gtest/gtest.h>

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
    for (int pass = 0; pass < 3; ++pass) {
        cache.NextPass();
        EXPECT_NE(cache.Find(a), nullptr);
    }
    EXPECT_EQ(cache.Find(TextKey{L"once", 1, 10, 10, 0}), nullptr);
    EXPECT_EQ(cache.size(), 1u);
    for (size_t i = 0; i < FrameCache<int>::kCapacity * 2 + 5; ++i)  // changing texts cannot grow it without end
        cache.Insert(TextKey{std::to_wstring(i), 0, 0, 0, 0}, static_cast<int>(i));
    EXPECT_LE(cache.size(), FrameCache<int>::kCapacity);
}

}  // namespace
}  // namespace kalorix
