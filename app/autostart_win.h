// Start with Windows: the package's startup task, or (unpackaged) the Run value or a
// scheduled task with the highest available rights. Exactly one is used.
#pragma once

#include <string>

namespace kalorix {

bool IsAutostartEnabled();
// True when the requested state was reached. useTask: register the elevated
// scheduled task instead of the Run value (unpackaged only).
bool SetAutostart(bool enable, bool useTask);
// Runs a command line without a window, waits at most 15 s; its exit code, 1 when it
// is still running then, -1 when it cannot be started.
int RunHidden(const std::wstring& commandLine);

// The current user's security identifier as text, empty on failure.
std::wstring CurrentUserSid();

}  // namespace kalorix
