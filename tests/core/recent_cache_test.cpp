// The least-recently-used cache of drawn texts.
#include "ui/recent_cache.h"

#include <gtest/gtest.h>

#include <memory>

namespace kalorix {
namespace {

TEST(RecentCache, DropsTheLeastRecentlyUsedAndNeverTheOneJustUsed) {
    RecentCache<std::unique_ptr<int>> cache(2);
    cache.insert(L"62", std::make_unique<int>(62));
    cache.insert(L"63", std::make_unique<int>(63));
    ASSERT_NE(cache.find(L"62"), nullptr);  // 63 is now the older one
    cache.insert(L"64", std::make_unique<int>(64));
    EXPECT_EQ(cache.find(L"63"), nullptr);
    ASSERT_NE(cache.find(L"62"), nullptr);
    // The same key again replaces its value instead of taking a second place.
    cache.insert(L"64", std::make_unique<int>(640));
    EXPECT_EQ(cache.size(), 2u);
    EXPECT_EQ(**cache.find(L"64"), 640);
    EXPECT_NE(cache.find(L"62"), nullptr);
}

}  // namespace
}  // namespace kalorix
