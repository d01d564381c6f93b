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
    // A cut sequence, an overlong form, an encoded surrogate.
    EXPECT_EQ(Utf8ToWide("a\xC3|\xC0\xAF" "b|\xED\xA0\x80"), L"a\uFFFD|\uFFFD\uFFFDb|\uFFFD\uFFFD\uFFFD");
}
