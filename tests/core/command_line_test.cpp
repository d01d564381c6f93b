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

TEST(CommandLine, StartupFlagsAndTheStartupTaskMeanTray) {
    StartupFlags f = ReadStartupFlags(L"kalorix.exe", true);
    EXPECT_TRUE(f.tray);
    EXPECT_FALSE(f.relaunch);
    // "--relaunch" does not contain "--tray" and the reverse.
    f = ReadStartupFlags(L"--relaunch ", false);
    EXPECT_FALSE(f.tray || f.bench);
}

TEST(CommandLine, RelaunchAtStartOnlyOnceAndNeverForTheStartupTask) {
    EXPECT_TRUE(ShouldRelaunchAtStart(true, false, false, false));
    EXPECT_FALSE(ShouldRelaunchAtStart(false, false, false, false));  // advanced sensors off
    EXPECT_FALSE(ShouldRelaunchAtStart(true, true, false, false));    // already elevated
    EXPECT_FALSE(ShouldRelaunchAtStart(true, false, true, false));    // elevation did not take: no loop
    EXPECT_FALSE(ShouldRelaunchAtStart(true, false, false, true));    // started by the startup task
}

TEST(CommandLine, RelaunchParametersKeepTheTrailingBlank) {
    EXPECT_EQ(RelaunchParameters(L""), L"--relaunch ");
    // The restarted process sees the flag and does not relaunch again.
    EXPECT_TRUE(ReadStartupFlags(RelaunchParameters(L"--tray"), false).relaunch);
    EXPECT_TRUE(ReadStartupFlags(RelaunchParameters(L"--tray"), false).tray);
}
