#include "ui/display_list.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace kalorix {

ItemHash& ItemHash::add(uint64_t value) {
    for (int i = 0; i < 8; ++i) mix(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
}

ItemHash& ItemHash::add(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return add(static_cast<uint64_t>(bits));
}

ItemHash& ItemHash::add(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return add(bits);
}

ItemHash& ItemHash::add(std::wstring_view text) {
    add(static_cast<uint64_t>(text.size()));
    for (wchar_t c : text) add(static_cast<uint64_t>(c));
    return *this;
}

ItemHash& ItemHash::add(const Rect& rect) { return add(rect.x).add(rect.y).add(rect.w).add(rect.h); }

bool Intersects(const Rect& a, const Rect& b) {
    return a.x < b.right() && b.x < a.right() && a.y < b.bottom() && b.y < a.bottom();
}

Rect Union(const Rect& a, const Rect& b) {
    if (a.w <= 0 || a.h <= 0) return b;
    if (b.w <= 0 || b.h <= 0) return a;
    const float x = std::min(a.x, b.x), y = std::min(a.y, b.y);
    return Rect{x, y, std::max(a.right(), b.right()) - x, std::max(a.bottom(), b.bottom()) - y};
}

namespace {

Rect Inflated(const Rect& r, float by) { return Rect{r.x - by, r.y - by, r.w + 2 * by, r.h + 2 * by}; }

float Area(const Rect& r) { return std::max(0.0f, r.w) * std::max(0.0f, r.h); }

// Merges areas that touch (within a few DIPs) until none do.
void MergeTouching(std::vector<Rect>& areas) {
    for (bool merged = true; merged;) {
        merged = false;
        for (size_t i = 0; i < areas.size() && !merged; ++i)
            for (size_t j = i + 1; j < areas.size() && !merged; ++j)
                if (Intersects(Inflated(areas[i], 4), areas[j])) {
                    areas[i] = Union(areas[i], areas[j]);
                    areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(j));
                    merged = true;
                }
    }
}

// Merges the pair whose union adds the least area, until at most max remain.
void MergeDownTo(std::vector<Rect>& areas, size_t max) {
    while (areas.size() > std::max<size_t>(max, 1)) {
        size_t bi = 0, bj = 1;
        float best = std::numeric_limits<float>::max();
        for (size_t i = 0; i < areas.size(); ++i)
            for (size_t j = i + 1; j < areas.size(); ++j) {
                const float extra = Area(Union(areas[i], areas[j])) - Area(areas[i]) - Area(areas[j]);
                if (extra < best) best = extra, bi = i, bj = j;
            }
        areas[bi] = Union(areas[bi], areas[bj]);
        areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(bj));
        MergeTouching(areas);
    }
}

}  // namespace

std::optional<std::vector<Rect>> ChangedAreas(const std::vector<DrawnItem>& before,
                                              const std::vector<DrawnItem>& after, size_t maxAreas) {
    if (before.size() != after.size()) return std::nullopt;
    std::vector<Rect> areas;
    for (size_t i = 0; i < after.size(); ++i) {
        if (before[i] == after[i]) continue;
        const Rect changed = Union(before[i].rect, after[i].rect);
        if (changed.w > 0 && changed.h > 0) areas.push_back(changed);
    }
    MergeTouching(areas);
    MergeDownTo(areas, maxAreas);
    return areas;
}

}  // namespace kalorix
