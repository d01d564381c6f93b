#include "bench/drives_win.h"

#include <windows.h>

namespace kalorix::bench {

std::vector<wchar_t> ListTestDrives() {
    std::vector<wchar_t> drives;
    const DWORD present = GetLogicalDrives();
    for (wchar_t letter = L'C'; letter <= L'Z'; ++letter) {
        if (!(present & (1u << (letter - L'A')))) continue;
        const wchar_t root[] = {letter, L':', L'\\', L'\0'};
        if (GetDriveTypeW(root) == DRIVE_FIXED) drives.push_back(letter);
    }
    return drives;
}

}  // namespace kalorix::bench
