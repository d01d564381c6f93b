#include "ui/interaction.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdio>
#include <unordered_map>

#include "sensors/text.h"

namespace kalorix {

namespace {
constexpr uint32_t kFnvBasis = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

uint32_t Mix(uint32_t hash, uint32_t unit) { return (hash ^ unit) * kFnvPrime; }

struct ActionNames {
    bool recording = false;
    std::unordered_map<ActionId, std::string> names;
};
ActionNames& Names() {
    static ActionNames names;
    return names;
}

void Remember(ActionId id, std::string name) {
    ActionNames& n = Names();
    if (n.recording) n.names.try_emplace(id, std::move(name));
}
}  // namespace

ActionId MakeActionId(std::u16string_view action) {
    uint32_t hash = kFnvBasis;
    for (char16_t unit : action) hash = Mix(hash, static_cast<uint16_t>(unit));
    return hash | 1u;
}

ActionId SegmentActionId(ActionId base, int index) {
    const ActionId id = base * 31u + 1u + static_cast<uint32_t>(index);
    if (Names().recording) Remember(id, ActionName(base) + "/" + std::to_string(index));
    return id;
}

void RecordActionNames(bool on) { Names().recording = on; }

std::string ActionName(ActionId id) {
    const ActionNames& n = Names();
    if (auto it = n.names.find(id); it != n.names.end()) return it->second;
    char hex[16];
    std::snprintf(hex, sizeof hex, "#%08x", id);
    return hex;
}

ActionId MakeActionId(std::wstring_view action) {
    uint32_t hash = kFnvBasis;
    for (wchar_t ch : action) {
        uint32_t cp = static_cast<uint32_t>(ch);
        if constexpr (sizeof(wchar_t) > 2) {
            if (cp > 0xFFFF) {
                cp -= 0x10000;
                hash = Mix(hash, 0xD800 + (cp >> 10));
                hash = Mix(hash, 0xDC00 + (cp & 0x3FF));
                continue;
            }
        }
        hash = Mix(hash, cp & 0xFFFF);
    }
    const ActionId id = hash | 1u;
    if (Names().recording) Remember(id, WideToUtf8(action));
    return id;
}

std::optional<HitRegion> PlaceRegion(ActionId id, const Rect& rect, bool hand, float offsetY,
                                     float clipTop, float clipBottom) {
    float top = rect.y + offsetY;
    float bottom = top + rect.h;
    if (rect.w <= 0 || rect.h <= 0) return std::nullopt;
    if (bottom <= clipTop || top >= clipBottom) return std::nullopt;
    top = std::max(top, clipTop);
    bottom = std::min(bottom, clipBottom);
    if (bottom <= top) return std::nullopt;
    return HitRegion{id, rect.x, top, rect.w, bottom - top, hand};
}

void RegisterRegion(InteractionState& state, const HitRegion& region) {
    for (const HitRegion& r : state.building) {
        if (r.id == region.id) {
            state.duplicates.push_back(region.id);
            assert(!"an action id was registered twice in one pass");
            break;
        }
    }
    state.building.push_back(region);
}

ActionId HitTest(const std::vector<HitRegion>& regions, float x, float y) {
    for (auto it = regions.rbegin(); it != regions.rend(); ++it) {
        if (x >= it->left && x < it->left + it->width && y >= it->top && y < it->top + it->height)
            return it->id;
    }
    return 0;
}

// ---- Pointer rules ----

ActionId UpdateHover(InteractionState& state, float x, float y) {
    state.pointerX = x;
    state.pointerY = y;
    state.hovered = HitTest(state.active, x, y);
    return state.hovered;
}

bool PointerMove(InteractionState& state, float x, float y) {
    ActionId before = state.hovered;
    UpdateHover(state, x, y);
    return state.hovered != before || state.dragging;
}

bool PointerDown(InteractionState& state, float x, float y) {
    UpdateHover(state, x, y);
    state.pressed = state.hovered;
    state.dragging = false;
    return state.pressed != 0;
}

bool PointerUp(InteractionState& state, float x, float y) {
    UpdateHover(state, x, y);
    bool wasPressed = state.pressed != 0;
    if (wasPressed && state.pressed == state.hovered && !state.dragging) state.clicked = state.pressed;
    state.pressed = 0;
    state.dragging = false;
    return wasPressed;
}

bool PointerLeave(InteractionState& state) {
    state.hovered = 0;
    state.pointerX = -1.0f;
    state.pointerY = -1.0f;
    return true;
}

bool PointerCancel(InteractionState& state) {
    const bool wasActive = state.pressed != 0 || state.dragging;
    state.pressed = 0;
    state.dragging = false;
    return wasActive;
}

bool HoveredWantsHand(const InteractionState& state) {
    if (state.hovered == 0) return false;
    for (auto it = state.active.rbegin(); it != state.active.rend(); ++it) {
        if (it->id == state.hovered && it->left <= state.pointerX && state.pointerX < it->left + it->width &&
            it->top <= state.pointerY && state.pointerY < it->top + it->height)
            return it->hand;
    }
    return false;
}

void FinishPass(InteractionState& state) {
    state.active.swap(state.building);
    state.building.clear();
    state.clicked = 0;
    state.key = NavKey::None;
}

// ---- Frame ---------------------------------------------------------------

FrameHit FrameHitTest(float x, float y, float width, float height, bool maximized) {
    if (!maximized) {
        const float b = kResizeBorder;
        bool left = x < b, right = x >= width - b, top = y < b, bottom = y >= height - b;
        if (top && left) return FrameHit::TopLeft;
        if (top && right) return FrameHit::TopRight;
        if (bottom && left) return FrameHit::BottomLeft;
        if (bottom && right) return FrameHit::BottomRight;
        if (left) return FrameHit::Left;
        if (right) return FrameHit::Right;
        if (top) return FrameHit::Top;
        if (bottom) return FrameHit::Bottom;
    }
    if (y >= kTitleBarHeight) return FrameHit::Client;
    const float buttonsLeft = width - 3.0f * kCaptionButtonWidth;
    if (x < buttonsLeft) return FrameHit::Caption;
    int index = static_cast<int>((x - buttonsLeft) / kCaptionButtonWidth);
    if (index == 0) return FrameHit::MinButton;
    if (index == 1) return FrameHit::MaxButton;
    return FrameHit::CloseButton;
}

int CaptionButtonOf(FrameHit hit) {
    switch (hit) {
        case FrameHit::MinButton: return 1;
        case FrameHit::MaxButton: return 2;
        case FrameHit::CloseButton: return 3;
        default: return 0;
    }
}

// ---- Scrolling -----------------------------------------------------------

float MaxScroll(float contentHeight, float visibleHeight) {
    return std::max(0.0f, contentHeight - visibleHeight);
}

float ScrollAfterWheel(float offset, int wheelDelta, float contentHeight, float visibleHeight) {
    float next = offset + (-static_cast<float>(wheelDelta) / 120.0f) * 56.0f;
    return std::clamp(next, 0.0f, MaxScroll(contentHeight, visibleHeight));
}

ScrollThumb ScrollBarThumb(float offset, float contentHeight, float visibleHeight) {
    ScrollThumb thumb;
    float maximum = MaxScroll(contentHeight, visibleHeight);
    if (maximum <= 0.0f || contentHeight <= 0.0f) return thumb;
    float track = visibleHeight - 8.0f;
    if (track <= 0.0f) return thumb;
    thumb.visible = true;
    thumb.length = std::max(40.0f, track * visibleHeight / contentHeight);
    float position = std::clamp(offset, 0.0f, maximum) / maximum;
    thumb.top = 40.0f + (track - thumb.length) * position;
    return thumb;
}

std::optional<int> PageForShortcut(unsigned virtualKey, bool ctrlDown) {
    if (!ctrlDown) return std::nullopt;
    if (virtualKey >= '1' && virtualKey <= '5') return static_cast<int>(virtualKey - '1');
    return std::nullopt;
}

PixelSize MinimumTrackSize(float scale, int workWidth, int workHeight) {
    if (!(scale > 0)) scale = 1.0f;
    PixelSize size{static_cast<int>(std::lround(980.0f * scale)), static_cast<int>(std::lround(640.0f * scale))};
    if (workWidth > 0) size.width = std::min(size.width, workWidth);
    if (workHeight > 0) size.height = std::min(size.height, workHeight);
    return size;
}

int SamplerIntervalFor(int updateIntervalMs, bool shownAndNotMinimized, bool benchmarkRunning) {
    if (benchmarkRunning) return 1000;
    if (shownAndNotMinimized) return updateIntervalMs;
    return std::max(updateIntervalMs, 2000);
}

}  // namespace kalorix
