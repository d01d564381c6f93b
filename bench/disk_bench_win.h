// The disk test on Windows: an unbuffered, write-through, overlapped temporary
// file on the drive, completed through an I/O completion port.
#pragma once

#include <string>

#include "bench/clock.h"
#include "bench/protocol.h"

namespace kalorix::bench {

int RunDisk(Reporter& reporter, wchar_t letter, Clock& clock);

// The device model of a drive letter ("disk.model"); empty when unknown.
std::wstring DriveModel(wchar_t letter);

}  // namespace kalorix::bench
