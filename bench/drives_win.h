// Drives offered for the disk test: C to Z, present and of type DRIVE_FIXED.
#pragma once

#include <vector>

namespace kalorix::bench {

std::vector<wchar_t> ListTestDrives();

}  // namespace kalorix::bench
