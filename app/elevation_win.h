// Process queries and the elevated restart shared by several parts.
#pragma once

#include <windows.h>

#include <string>

namespace kalorix {

bool IsProcessElevated();
bool IsPackagedApp();
bool RelaunchElevated(const std::wstring& extraArguments);
// This program's full path (not cut at MAX_PATH); empty on failure.
std::wstring OwnProgramPath();

bool AcquireSingleInstance();
void ReleaseSingleInstance();
void RegisterShowSignal(HWND window, UINT messageId);
UINT ShowMessageId();  // RegisterWindowMessageW("Kalorix.Native.Show"), cached

}  // namespace kalorix
