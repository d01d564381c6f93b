// The fixed dark palette and the temperature level rule shared by every page,
// the tray icon and the report image. Portable: colours are 0xRRGGBB numbers.
#pragma once

#include <cstdint>
#include <optional>

namespace kalorix {

namespace palette {
inline constexpr uint32_t kWindowBackground = 0x0E1014;  // clear colour, segmented track, dark tray text
inline constexpr float kOverlayAlpha = 0.78f;            // window background at this alpha: modal overlay
inline constexpr uint32_t kSidebar = 0x12151A;
inline constexpr uint32_t kPanel = 0x171A21;             // cards, secondary buttons, dialogs
inline constexpr uint32_t kSelection = 0x1D2129;         // selected / hovered surfaces
inline constexpr uint32_t kBorder = 0x242935;            // outlines, grid lines, scroll-bar thumb
inline constexpr uint32_t kTrack = 0x262B36;             // toggle off, slider and progress tracks
inline constexpr uint32_t kMuted = 0x5C6372;
inline constexpr uint32_t kSecondaryText = 0x9097A6;
inline constexpr uint32_t kPrimaryText = 0xE7E9EE;
inline constexpr uint32_t kWhite = 0xFFFFFF;
inline constexpr uint32_t kAccent = 0x5B8CFF;
inline constexpr uint32_t kAccentHover = 0x6C98FF;
inline constexpr uint32_t kGreen = 0x3DD68C;             // level 0
inline constexpr uint32_t kAmber = 0xFFB547;             // level 1
inline constexpr uint32_t kRed = 0xFF5D5D;               // level 2
inline constexpr uint32_t kCloseRed = 0xE81123;
inline constexpr uint32_t kGpuSeries = 0xC084FC;
inline constexpr uint32_t kScrollThumb = kBorder;
inline constexpr float kBadgeAlpha = 0.15f;
}  // namespace palette

// 0 normal, 1 within 15 °C of the limit, 2 at or over the limit, 3 no value.
// Both temperatures in °C; limit is the WarningTemp setting.
constexpr int TempLevel(std::optional<double> celsius, double limit) {
    if (!celsius) return 3;
    if (*celsius >= limit) return 2;
    if (*celsius >= limit - 15.0) return 1;
    return 0;
}

// Colour of a level: 0 green, 1 amber, 2 red, anything else muted.
constexpr uint32_t LevelColor(int level) {
    switch (level) {
        case 0: return palette::kGreen;
        case 1: return palette::kAmber;
        case 2: return palette::kRed;
        default: return palette::kMuted;
    }
}

}  // namespace kalorix
