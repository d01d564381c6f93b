#include <gtest/gtest.h>

#include "sensors/text.h"

using namespace kalorix;

TEST(Text, Utf8RoundTripOfTurkishAndAstralText) {
    const std::wstring w = L"Sıcaklık ve donanım izleyici — ğüşöç İ \U0001F525";
    const std::string u = WideToUtf8(w);
    EXPECT_EQ(u, "Sıcaklık ve donanım izleyici — ğüşöç İ \xF0\x9F\x94\xA5");
    EXPECT_EQ(Utf8ToWide(u), w);
}

TEST(Text, MalformedUtf8BecomesReplacementCharacters) {
    EXPECT_EQ(Utf8ToWide("a\xC3"), L"a\uFFFD");
    EXPECT_EQ(Utf8ToWide("\xC0\xAF" "b"), L"\uFFFD\uFFFDb");  // overlong form
    EXPECT_EQ(Utf8ToWide("\xED\xA0\x80"), L"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
}
