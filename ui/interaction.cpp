#include "ui/interaction.h"

#include <algorithm>

namespace kalorix {

namespace {
constexpr uint32_t kFnvBasis = 2166136261u;
constexpr uint32_t kFnvPrime = 16777619u;

uint32_t Mix(uint32_t hash, uint32_t unit) { return (hash ^ unit) * kFnvPrime; }
}  // namespace

ActionId MakeActionId(std::u16string_view action) {
    uint32_t hash = kFnvBasis;
    for (char16_t unit : action) hash = Mix(hash, static_cast<uint16_t>(unit));
    return hash | 1u;
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
    return hash | 1u;
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

ActionId HitTest(const std::vector<HitRegion>& regions, float x, float y) {
    for (auto it = regions.rbegin(); it != regions.rend(); ++it) {
        if (x >= it->left && x < it->left + it->width && y >= it->top && y < it->top + it->height)
            return it->id;
    }
    return 0;
}

}  // namespace kalorix
