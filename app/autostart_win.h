// Start with Windows: the package's startup task, or (unpackaged) the Run value or a
// scheduled task with the highest available rights. Exactly one is used.
#pragma once

#include <string>

namespace kalorix {

// Where the unpackaged mechanisms are found: the real system's, or a test's
// stand-ins (a fake schtasks.exe, a private folder for the task definition).
struct AutostartPlatform {
    std::wstring schtasks;    // full path of schtasks.exe
    std::wstring taskFolder;  // folder for the temporary task definition, with its final backslash
};
// schtasks.exe in the system folder; the temporary-files folder.
AutostartPlatform SystemAutostartPlatform();

// On when the Run value exists and the Startup apps page has not switched it
// off, or when the scheduled task exists (unpackaged); the startup task's state
// (packaged).
bool IsAutostartEnabled(const AutostartPlatform& platform = SystemAutostartPlatform());
// True when the requested state was reached: every step is checked, so a task
// that cannot be deleted (registered by an elevated process) makes "off" fail.
// useTask: register the elevated scheduled task instead of the Run value.
bool SetAutostart(bool enable, bool useTask, const AutostartPlatform& platform = SystemAutostartPlatform());
// Runs a program (its full path) with a command line, without a window, waits
// at most 15 s; its exit code, 1 when it is still running then, -1 when it
// cannot be started.
int RunHidden(const std::wstring& program, const std::wstring& commandLine);

// The current user's security identifier as text, empty on failure.
std::wstring CurrentUserSid();

}  // namespace kalorix
