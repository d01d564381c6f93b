#include "bench/child_win.h"

#include <windows.h>

namespace kalorix {

int RunBenchChild(const std::wstring&) {
    const char line[] = "E Bilinmeyen test türü\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, sizeof(line) - 1, &written, nullptr);
    return 2;
}

}  // namespace kalorix
