// PawnIOLib.dll, the driver's user library, found and loaded safely: the path
// comes only from PawnIO's uninstall entry or the Program Files known folder
// (never from the environment), its Authenticode signature is checked before
// an elevated process loads it, and the load searches no other folder.
#pragma once

#include <windows.h>

#include <string>

namespace kalorix {

// FindPawnIoLibrary (providers/factories_win.h) gives the full path.

// True when the path names an existing file.
bool PawnIoLibraryPresent(const std::wstring& path);

// WinVerifyTrust's answer for the file (0 when its signature is valid and
// trusted, e.g. TRUST_E_NOSIGNATURE otherwise). No user interface, no network.
long VerifyAuthenticode(const std::wstring& path);

// Loads the library from its full path, resolving its own imports only from
// its folder and System32. Null on failure, with the Win32 error in *error.
HMODULE LoadPawnIoLibrary(const std::wstring& path, unsigned long* error);

}  // namespace kalorix
