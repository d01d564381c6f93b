#include <windows.h>

#include <gtest/gtest.h>

TEST(WinSmoke, RunsUnderWindowsOrWine) {
    EXPECT_NE(GetModuleHandleW(nullptr), nullptr);
}
