// Benchmark child only: what kalorix.exe does with "--bench" on its command line.
#include <windows.h>

#include <string>

#include "bench/child_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring line = commandLine ? commandLine : L"";
    if (line.find(L"--bench") == std::wstring::npos) return 3;
    return kalorix::RunBenchChild(line);
}
