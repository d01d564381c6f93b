#include "ui/measure_cache.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

TEST(MeasureCacheTest, MeasuresOncePerTextWidthAndStyle) {
    MeasureCache cache;
    int calls = 0;
    const MeasureCache::Measure measure = [&](std::wstring_view text, float width, int style) {
        ++calls;
        return static_cast<float>(text.size()) * 10.0f + width / 100.0f + static_cast<float>(style);
    };
    EXPECT_FLOAT_EQ(cache.Height(L"abc", 200, 6, measure), 38);
    EXPECT_FLOAT_EQ(cache.Height(L"abc", 200, 6, measure), 38);
    EXPECT_EQ(calls, 1);
    EXPECT_FLOAT_EQ(cache.Height(L"abc", 300, 6, measure), 39);  // another width
    EXPECT_FLOAT_EQ(cache.Height(L"abc", 200, 2, measure), 34);  // another style
    EXPECT_FLOAT_EQ(cache.Height(L"abcd", 200, 6, measure), 48);
    EXPECT_EQ(calls, 4);
    // Texts that only differ after a prefix equal to another key's bytes stay apart.
    EXPECT_FLOAT_EQ(cache.Height(L"", 200, 6, measure), 8);
    EXPECT_EQ(cache.size(), 5u);
}

TEST(MeasureCacheTest, FailedMeasurementsAreNotKeptAndTheSizeIsBounded) {
    MeasureCache cache;
    int calls = 0;
    float answer = 0;
    const MeasureCache::Measure measure = [&](std::wstring_view, float, int) {
        ++calls;
        return answer;
    };
    cache.Height(L"text", 100, 6, measure);  // no text layout yet: 0
    answer = 17;
    EXPECT_FLOAT_EQ(cache.Height(L"text", 100, 6, measure), 17);
    EXPECT_EQ(calls, 2);
    for (size_t i = 0; i < MeasureCache::kCapacity + 10; ++i)
        cache.Height(std::to_wstring(i), 100, 6, measure);
    EXPECT_LE(cache.size(), MeasureCache::kCapacity);
    EXPECT_GT(cache.size(), 0u);
}

}  // namespace
}  // namespace kalorix
