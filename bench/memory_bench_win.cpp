#include "bench/memory_bench_win.h"

#include <windows.h>

#include "base/log.h"

namespace kalorix::bench {

uint64_t WinMemoryPlatform::availablePhysical() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) {
        LogWin32Error("memory test", "GlobalMemoryStatusEx", GetLastError());
        return 0;
    }
    return status.ullAvailPhys;
}

void* WinMemoryPlatform::allocate(size_t bytes) {
    void* p = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!p) LogWin32Error("memory test", "VirtualAlloc", GetLastError());
    return p;
}

void WinMemoryPlatform::release(void* p, size_t) {
    if (p) VirtualFree(p, 0, MEM_RELEASE);
}

std::optional<uint64_t> WinMemoryPlatform::installedKilobytes() {
    ULONGLONG kb = 0;
    if (!GetPhysicallyInstalledSystemMemory(&kb)) {
        LogWin32Error("memory test", "GetPhysicallyInstalledSystemMemory", GetLastError());
        return std::nullopt;
    }
    return kb;
}

}  // namespace kalorix::bench
