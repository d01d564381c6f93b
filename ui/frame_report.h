// The test build's report of one painted frame, for the end-to-end checks:
// a few named values of the window's state and the live hit regions, as text.
//   frame 42
//   page 1
//   region 14 116 204 40 nav/sensors
// Regions are in client DIPs, rounded to whole numbers; names come from
// ActionName. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ui/interaction.h"

namespace kalorix {

struct FrameReport {
    uint64_t frame = 0;
    std::vector<std::pair<std::string, std::string>> values;  // in the order added
    std::vector<HitRegion> regions;

    void add(std::string key, std::string value) { values.emplace_back(std::move(key), std::move(value)); }
    void add(std::string key, long long value) { add(std::move(key), std::to_string(value)); }
};

// One line per value and region; line ends and blanks inside a value become blanks.
std::string FormatFrameReport(const FrameReport& report);

}  // namespace kalorix
