#include <gtest/gtest.h>

#include "app/command_line.h"

using namespace kalorix;

TEST(CommandLine, FlagsAreCaseSensitiveSubstringsNotTokens) {
    EXPECT_TRUE(HasFlag(L"x--benchy", kBenchFlag) && HasFlag(L"a\"--tray\"b", kTrayFlag));
    EXPECT_FALSE(HasFlag(L"--BENCH cpu", kBenchFlag) || HasFlag(L"-bench --benc", kBenchFlag) || HasFlag(L"x", L""));
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

// Not with advanced sensors off, when already elevated, after an elevation that did not take
// (no loop), nor when started by the startup task.
TEST(CommandLine, RelaunchAtStartOnlyOnceAndNeverForTheStartupTask) {
    EXPECT_TRUE(ShouldRelaunchAtStart(true, false, false, false));
    EXPECT_FALSE(ShouldRelaunchAtStart(false, false, false, false) || ShouldRelaunchAtStart(true, true, false, false) ||
                 ShouldRelaunchAtStart(true, false, true, false) || ShouldRelaunchAtStart(true, false, false, true));
}
