#include "app/command_line.h"

namespace kalorix {

bool HasFlag(std::wstring_view commandLine, std::wstring_view flag) {
    if (flag.empty()) return false;
    return commandLine.find(flag) != std::wstring_view::npos;
}

StartupFlags ReadStartupFlags(std::wstring_view commandLine, bool launchedByStartupTask) {
    StartupFlags flags;
    flags.bench = HasFlag(commandLine, kBenchFlag);
    flags.tray = HasFlag(commandLine, kTrayFlag) || launchedByStartupTask;
    flags.relaunch = HasFlag(commandLine, kRelaunchFlag);
    return flags;
}

bool ShouldRelaunchAtStart(bool advancedSensors, bool elevated, bool relaunchFlag,
                           bool launchedByStartupTask) {
    return advancedSensors && !elevated && !relaunchFlag && !launchedByStartupTask;
}

std::wstring RelaunchParameters(std::wstring_view extraArguments) {
    std::wstring parameters(kRelaunchFlag);
    parameters += L' ';
    parameters += extraArguments;
    return parameters;
}

}  // namespace kalorix
