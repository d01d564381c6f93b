#include "app/probe_win.h"

#include <windows.h>

#include <cstdio>

#include "sensors/engine_host_win.h"
#include "sensors/snapshot_text.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

void WriteOut(const std::string& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!out || out == INVALID_HANDLE_VALUE) {
        // A GUI program started from a console has no standard output of its own.
        if (AttachConsole(ATTACH_PARENT_PROCESS)) out = GetStdHandle(STD_OUTPUT_HANDLE);
    }
    if (!out || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

}  // namespace

int RunProbe(const std::wstring&) {
    auto host = MakeWindowsEngineHost();
    SamplingEngine engine(*host);
    engine.start(nullptr, 1000, true);
    // Three published cycles, or give up after 15 s.
    const ULONGLONG deadline = GetTickCount64() + 15000;
    SensorSnapshot s;
    double first = -1.0;
    int cycles = 0;
    while (GetTickCount64() < deadline) {
        engine.copySnapshot(s);
        if (s.valid && s.updatedAt != first) {
            first = s.updatedAt;
            if (++cycles >= 3) break;
        }
        Sleep(50);
    }
    engine.stop();
    engine.copySnapshot(s);
    WriteOut(WideToUtf8(L"Kalorix sensör yoklaması (" + std::to_wstring(cycles) + L" döngü)\n" + DescribeSnapshot(s)));
    return s.valid ? 0 : 1;
}

}  // namespace kalorix
