// The window's application messages and timers, in one place. Every message is
// posted and carries no data; the window copies what it needs under the
// sender's lock. Portable (plain numbers) so the core can name them too.
#pragma once

#include <cstdint>

namespace kalorix {

enum AppMessage : uint32_t {
    kMsgSnapshotReady = 0x8001,  // WM_APP + 1, sampling thread: a new snapshot
    kMsgTray = 0x8002,           // WM_APP + 2, shell: tray icon callback
    kMsgInventory = 0x8003,      // WM_APP + 3, hardware report stored
    kMsgBench = 0x8004,          // WM_APP + 4, benchmark state changed
    kMsgTelemetry = 0x8005,      // WM_APP + 5, upload or deletion finished
    kMsgAutostart = 0x8006,      // WM_APP + 6, autostart worker finished a job
};

enum AppTimer : uintptr_t {
    kTimerSharing = 1,   // 120 s first, then every 600 s
    kTimerNextTest = 2,  // 2.5 s pause between the tests of a series
};

}  // namespace kalorix
