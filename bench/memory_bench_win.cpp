#include "bench/memory_bench_win.h"

#include <windows.h>

namespace kalorix::bench {

uint64_t WinMemoryPlatform::availablePhysical() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return 0;
    return status.ullAvailPhys;
}

void* WinMemoryPlatform::allocate(size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void WinMemoryPlatform::release(void* p, size_t) {
    if (p) VirtualFree(p, 0, MEM_RELEASE);
}

std::optional<uint64_t> WinMemoryPlatform::installedKilobytes() {
    ULONGLONG kb = 0;
    if (!GetPhysicallyInstalledSystemMemory(&kb)) return std::nullopt;
    return kb;
}

}  // namespace kalorix::bench
