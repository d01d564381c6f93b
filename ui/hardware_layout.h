// What the Hardware page shows and where, without drawing: the battery section
// built from the live snapshot, its place among the report's sections, and the
// two-column card layout. Portable, so the native tests check every rule.
#pragma once

#include <optional>
#include <vector>

#include "inventory/inventory.h"
#include "sensors/sensor_model.h"

namespace kalorix {

inline constexpr uint16_t kGlyphBattery = 0xE83F;
inline constexpr const wchar_t* kOperatingSystemTitle = L"İşletim sistemi";

// The "Pil" section from the snapshot's battery fields; nothing without a battery.
std::optional<InventorySection> MakeBatterySection(const FrameHeadline& snapshot);

// The report's sections with the battery section (when there is one) right
// after "İşletim sistemi", or at the end when the report has no such section.
std::vector<InventorySection> HardwareSections(const HardwareInventory& report, const FrameHeadline& snapshot);

// Card geometry. A card is 64 DIPs of heading, one line per row and 10 DIPs of
// foot; a row is its value's wrapped height (at least 18) plus 10.
inline constexpr float kHardwareColumnGap = 12.0f;
inline constexpr float kHardwareCardGap = 12.0f;
inline constexpr float kHardwareLabelWidth = 150.0f;
inline constexpr float kHardwareRowsTop = 64.0f;
float HardwareColumnWidth(float innerWidth);       // (W - 12) / 2
float HardwareValueWidth(float cardWidth);         // card width - 40 - 150 - 12
float HardwareRowHeight(float valueHeight);        // max(18, value height) + 10
float HardwareCardHeight(const std::vector<float>& valueHeights);

struct CardPlacement {
    int column = 0;  // 0 left, 1 right
    float x = 0, y = 0, w = 0, h = 0;
};

struct MasonryLayout {
    std::vector<CardPlacement> cards;  // one per height, in input order
    float bottom = 0;                  // bottom of the taller column (top when empty)
};

// Places cards of the given heights in two columns from top: each goes into
// the column whose bottom is higher up (the left one on a tie); a column
// advances by the card height plus the card gap. bottom is the lower column's
// end without the trailing gap.
MasonryLayout LayoutHardwareCards(const std::vector<float>& heights, float left, float top, float innerWidth);

}  // namespace kalorix
