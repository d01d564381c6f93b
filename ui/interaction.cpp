#include "ui/interaction.h"

#include <algorithm>
#include <cmath>

#include "sensors/format.h"

namespace kalorix {

ActionId ActionIdOf(std::wstring_view action) {
    uint32_t hash = 2166136261u;
    auto mix = [&hash](uint32_t unit) {
        hash ^= unit;
        hash *= 16777619u;
    };
    for (wchar_t ch : action) {
        uint32_t cp = static_cast<uint32_t>(ch);
        if (cp > 0xFFFF && cp <= 0x10FFFF) {  // UTF-32 wchar_t: split like UTF-16 does
            cp -= 0x10000;
            mix(0xD800 + (cp >> 10));
            mix(0xDC00 + (cp & 0x3FF));
        } else {
            mix(cp & 0xFFFF);
        }
    }
    return hash | 1u;
}

// ---- InteractionState ----------------------------------------------------

void InteractionState::addRegion(ActionId id, float left, float top, float width, float height, bool hand) {
    if (id == 0) return;
    if (!std::isfinite(left) || !std::isfinite(top) || !std::isfinite(width) || !std::isfinite(height)) return;
    if (width <= 0.0f || height <= 0.0f) return;
    top += regionOffset;
    float bottom = top + height;
    if (bottom <= clipTop || top >= clipBottom) return;
    top = std::max(top, clipTop);
    bottom = std::min(bottom, clipBottom);
    if (bottom <= top) return;
    building.push_back({id, left, top, width, bottom - top, hand});
}

ActionId InteractionState::hitTest(float x, float y) {
    pointerX = x;
    pointerY = y;
    hovered = 0;
    for (auto it = active.rbegin(); it != active.rend(); ++it) {
        if (it->contains(x, y)) {
            hovered = it->id;
            break;
        }
    }
    return hovered;
}

bool InteractionState::pointerMove(float x, float y) {
    ActionId before = hovered;
    hitTest(x, y);
    return hovered != before || dragging;
}

bool InteractionState::pointerDown(float x, float y) {
    hitTest(x, y);
    pressed = hovered;
    dragging = false;
    return pressed != 0;
}

bool InteractionState::pointerUp(float x, float y) {
    hitTest(x, y);
    bool wasPressed = pressed != 0;
    if (wasPressed && pressed == hovered && !dragging) clicked = pressed;
    pressed = 0;
    dragging = false;
    return wasPressed;
}

bool InteractionState::pointerLeave() {
    hovered = 0;
    pointerX = -1.0f;
    pointerY = -1.0f;
    return true;
}

bool InteractionState::hoveredWantsHand() const {
    if (hovered == 0) return false;
    for (auto it = active.rbegin(); it != active.rend(); ++it) {
        if (it->id == hovered && it->contains(pointerX, pointerY)) return it->hand;
    }
    return false;
}

void InteractionState::beginPass(float clientHeight) {
    building.clear();
    regionOffset = 0.0f;
    clipTop = kTitleBarHeight;
    clipBottom = clientHeight;
}

void InteractionState::finishPass() {
    active.swap(building);
    building.clear();
    clicked = 0;
    regionOffset = 0.0f;
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

int SamplerIntervalFor(int updateIntervalMs, bool shownAndNotMinimized, bool benchmarkRunning) {
    if (benchmarkRunning) return 1000;
    if (shownAndNotMinimized) return updateIntervalMs;
    return std::max(updateIntervalMs, 2000);
}

// ---- Warnings ------------------------------------------------------------

std::wstring OverheatParts(const SensorSnapshot& snapshot, int warningTemp, bool fahrenheit) {
    std::wstring text;
    const double limit = warningTemp;
    if (snapshot.cpuTempShown && *snapshot.cpuTempShown >= limit) {
        text = L"İşlemci " + FormatTemperature(snapshot.cpuTempShown, fahrenheit);
    }
    if (snapshot.gpu && snapshot.gpu->temperature && *snapshot.gpu->temperature >= limit) {
        if (!text.empty()) text += L" · ";
        text += L"Ekran kartı " + FormatTemperature(snapshot.gpu->temperature, fahrenheit);
    }
    return text;
}

std::optional<std::wstring> OverheatNotifier::check(const SensorSnapshot& snapshot, const Settings& settings,
                                                    uint64_t nowTick) {
    std::wstring parts = OverheatParts(snapshot, settings.WarningTemp, settings.UseFahrenheit);
    if (parts.empty() || !settings.TrayNotifications) return std::nullopt;
    // The very first warning is not held back by a tick count that is still
    // below the interval shortly after the system started.
    if (notified_ && nowTick - lastTick_ <= kIntervalMs) return std::nullopt;
    notified_ = true;
    lastTick_ = nowTick;
    return parts + L" — belirlediğin sınır (" +
           FormatTemperature(static_cast<double>(settings.WarningTemp), settings.UseFahrenheit) + L") aşıldı";
}

std::optional<std::wstring> ThermalGuard::check(uint32_t kind, const SensorSnapshot& snapshot,
                                                const Settings& settings) {
    double limit = std::min(settings.WarningTemp, 95);
    std::optional<double> watched;
    const wchar_t* part = L"İşlemci";
    switch (kind) {
        case 0:  // CPU
        case 3:  // memory
            watched = snapshot.cpuTemp;
            break;
        case 1:
            part = L"Ekran kartı";
            if (snapshot.gpu) watched = snapshot.gpu->temperature;
            break;
        case 2:
            part = L"Disk";
            limit = 75.0;
            watched = snapshot.hottestDiskTemp;
            break;
        default:
            count_ = 0;
            return std::nullopt;
    }
    if (!watched || !(*watched >= limit)) {
        count_ = 0;
        return std::nullopt;
    }
    ++count_;
    if (count_ != 3) return std::nullopt;
    double shown = settings.UseFahrenheit ? ToFahrenheit(*watched) : *watched;
    return std::wstring(part) + L" " + FormatNumber(shown, 0) + (settings.UseFahrenheit ? L" °F" : L" °C") +
           L"'ye ulaştı; güvenlik için test durduruldu";
}

}  // namespace kalorix
