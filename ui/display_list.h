// What a paint pass drew where, as a list of (rectangle, fingerprint) items in
// drawing order. The window records it for the frame on screen; when a new
// snapshot arrives it records the next frame without drawing, compares the two
// lists and redraws only the areas whose items changed. Portable.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "ui/interaction.h"

namespace kalorix {

struct DrawnItem {
    Rect rect;           // window DIPs, after the scroll offset
    uint64_t hash = 0;   // kind, geometry, colour, text, …
    bool operator==(const DrawnItem&) const = default;
};

// FNV-1a over the parts of one drawing call.
class ItemHash {
public:
    ItemHash& add(uint64_t value);
    ItemHash& add(float value);
    ItemHash& add(double value);
    ItemHash& add(std::wstring_view text);
    ItemHash& add(const Rect& rect);
    uint64_t value() const { return hash_; }

private:
    void mix(uint8_t byte) { hash_ = (hash_ ^ byte) * 1099511628211ull; }
    uint64_t hash_ = 14695981039346656037ull;
};

bool Intersects(const Rect& a, const Rect& b);
Rect Union(const Rect& a, const Rect& b);

// The areas to redraw when the frame on screen showed before and the next one
// shows after: for every item that differs, its old and its new rectangle,
// merged where they touch and into at most maxAreas rectangles. Nothing when
// the lists differ in length (something appeared or went: draw everything).
std::optional<std::vector<Rect>> ChangedAreas(const std::vector<DrawnItem>& before,
                                              const std::vector<DrawnItem>& after, size_t maxAreas = 6);

}  // namespace kalorix
