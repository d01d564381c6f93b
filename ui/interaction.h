// Immediate-mode interaction records: action ids, clickable regions and the
// pointer state the window keeps between paint passes. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace kalorix {

// A rectangle in DIPs: left, top, width, height.
struct Rect {
    float x = 0, y = 0, w = 0, h = 0;
    constexpr float right() const { return x + w; }
    constexpr float bottom() const { return y + h; }
    constexpr bool contains(float px, float py) const {
        return px >= x && px < x + w && py >= y && py < y + h;
    }
};

// 32-bit id of an action string; never 0 (0 means "none").
using ActionId = uint32_t;

// FNV-1a over the UTF-16 code units (each unit XORed in whole), then OR 1.
ActionId MakeActionId(std::u16string_view action);
// Same for a wide string: on Windows wchar_t is already UTF-16; elsewhere code
// points above U+FFFF are split into their surrogate pair first.
ActionId MakeActionId(std::wstring_view action);

struct HitRegion {
    ActionId id = 0;
    float left = 0, top = 0, width = 0, height = 0;  // window DIPs, offset and clip applied
    bool hand = false;
};

struct InteractionState {
    std::vector<HitRegion> active;    // regions of the last finished pass (hit-testing)
    std::vector<HitRegion> building;  // regions of the pass under way
    ActionId hovered = 0;
    ActionId pressed = 0;
    ActionId clicked = 0;             // consumed by the next paint pass
    bool dragging = false;            // a slider is being dragged
    float pointerX = -1, pointerY = -1;
};

// A region as drawn (rect in drawing coordinates) moved by the vertical offset
// and cut to [clipTop, clipBottom); nothing when it lies entirely outside.
std::optional<HitRegion> PlaceRegion(ActionId id, const Rect& rect, bool hand, float offsetY,
                                     float clipTop, float clipBottom);

// The topmost region containing the point (the last registered wins); 0 for none.
ActionId HitTest(const std::vector<HitRegion>& regions, float x, float y);

}  // namespace kalorix
