#include "app/elevation_win.h"

namespace kalorix {

bool IsProcessElevated() { return false; }
bool IsPackagedApp() { return false; }
bool RelaunchElevated(const std::wstring&) { return false; }
bool AcquireSingleInstance() { return true; }
void ReleaseSingleInstance() {}
void RegisterShowSignal(HWND, UINT) {}
UINT ShowMessageId() { return 0; }

}  // namespace kalorix
