// Process start: the benchmark child, the monitor, the single-instance guard.
#pragma once

#include <windows.h>

#include <string>

namespace kalorix {

// The whole start-up sequence; returns the process exit code.
int RunProcess(HINSTANCE instance, const std::wstring& commandLine);

// True when the package's startup task activated this process. Asks the
// Windows Runtime on a short-lived thread of its own (multithreaded
// apartment); any failure gives false. Only meaningful for a packaged process.
bool QueryLaunchedByStartupTask();

}  // namespace kalorix
