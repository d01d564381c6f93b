// Reading the process command line: the flags of the three process modes and
// the start-up relaunch rule. Portable, so the rules are tested natively.
#pragma once

#include <string>
#include <string_view>

namespace kalorix {

inline constexpr std::wstring_view kBenchFlag = L"--bench";
inline constexpr std::wstring_view kTrayFlag = L"--tray";
inline constexpr std::wstring_view kRelaunchFlag = L"--relaunch";

// Plain, case-sensitive substring search anywhere in the whole command line:
// "x--benchy" contains "--bench". No tokenising, no quoting rules.
bool HasFlag(std::wstring_view commandLine, std::wstring_view flag);

// What start-up decides from the command line before anything else runs.
struct StartupFlags {
    bool bench = false;     // benchmark child; nothing of the monitor runs
    bool tray = false;      // start hidden in the notification area
    bool relaunch = false;  // this is already the elevated restart
};

StartupFlags ReadStartupFlags(std::wstring_view commandLine, bool launchedByStartupTask);

// The monitor restarts itself elevated at start only when the user wants the
// advanced sensors, it is not elevated yet, it is not itself such a restart
// (no loop when elevation did not take) and the startup task did not start it.
bool ShouldRelaunchAtStart(bool advancedSensors, bool elevated, bool relaunchFlag,
                           bool launchedByStartupTask);

// Parameters of the elevated restart: "--relaunch " followed by the extra arguments.
std::wstring RelaunchParameters(std::wstring_view extraArguments);

}  // namespace kalorix
