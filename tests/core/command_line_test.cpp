#include <gtest/gtest.h>

#include "app/command_line.h"

using namespace kalorix;

TEST(CommandLine, FlagsAreCaseSensitiveSubstringsNotTokens) {
    EXPECT_TRUE(HasFlag(L"x--benchy", kBenchFlag));
    EXPECT_TRUE(HasFlag(L"a\"--tray\"b", kTrayFlag));
    EXPECT_FALSE(HasFlag(L"--BENCH cpu", kBenchFlag));
    EXPECT_FALSE(HasFlag(L"-bench --benc", kBenchFlag));
    EXPECT_FALSE(HasFlag(L"anything", L""));
}

// The startup task means tray; "--relaunch" does not contain "--tray" and the reverse.
TEST(CommandLine, StartupFlagsAndRelaunchParameters) {
    EXPECT_TRUE(ReadStartupFlags(L"kalorix.exe", true).tray);
    const StartupFlags f = ReadStartupFlags(L"--relaunch ", false);
    EXPECT_FALSE(f.tray || f.bench);
    EXPECT_EQ(RelaunchParameters(L""), L"--relaunch ");  // the trailing blank stays
    const StartupFlags again = ReadStartupFlags(RelaunchParameters(L"--tray"), false);
    EXPECT_TRUE(again.relaunch && again.tray);  // the restarted process does not relaunch again
}

TEST(CommandLine, RelaunchAtStartOnlyOnceAndNeverForTheStartupTask) {
    EXPECT_TRUE(ShouldRelaunchAtStart(true, false, false, false));
    EXPECT_FALSE(ShouldRelaunchAtStart(false, false, false, false));  // advanced sensors off
    EXPECT_FALSE(ShouldRelaunchAtStart(true, true, false, false));    // already elevated
    EXPECT_FALSE(ShouldRelaunchAtStart(true, false, true, false));    // elevation did not take: no loop
    EXPECT_FALSE(ShouldRelaunchAtStart(true, false, false, true));    // started by the startup task
}
