// Process start: the benchmark child, the monitor, the single-instance guard.
#pragma once

#include <windows.h>

#include <string>

namespace kalorix {

// The whole start-up sequence; returns the process exit code.
int RunProcess(HINSTANCE instance, const std::wstring& commandLine);

}  // namespace kalorix
