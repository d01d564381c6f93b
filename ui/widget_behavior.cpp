#include "ui/widget_behavior.h"

#include <algorithm>
#include <cmath>

namespace kalorix {

namespace {

bool Activated(const InteractionState& state, ActionId id) {
    return id != 0 && (state.clicked == id || (state.focused == id && state.key == NavKey::Activate));
}

int StepOf(NavKey key) {
    switch (key) {
        case NavKey::Left:
        case NavKey::Down: return -1;
        case NavKey::Right:
        case NavKey::Up: return 1;
        default: return 0;
    }
}

}  // namespace

bool ButtonBehavior(const InteractionState& state, ActionId id) { return Activated(state, id); }

bool ToggleBehavior(const InteractionState& state, ActionId id, bool& value, bool enabled) {
    if (!enabled || !Activated(state, id)) return false;
    value = !value;
    return true;
}

bool SegmentedBehavior(InteractionState& state, ActionId base, int count, int& selected) {
    const int before = selected;
    for (int i = 0; i < count; ++i) {
        const ActionId segment = SegmentActionId(base, i);
        if (Activated(state, segment)) selected = i;
        if (state.focused == segment && (state.key == NavKey::Left || state.key == NavKey::Right)) {
            selected = std::clamp(std::clamp(selected, 0, count - 1) + StepOf(state.key), 0, count - 1);
            state.focused = SegmentActionId(base, selected);
            state.key = NavKey::None;  // consumed: the next segment must not move again
            break;
        }
    }
    return selected != before;
}

bool SliderBehavior(InteractionState& state, ActionId id, const Rect& rect, int minimum, int maximum, int& value) {
    const int before = value;
    if (state.pressed == id) {
        state.dragging = true;
        if (state.pointerX >= 0 && rect.w > 0) {
            const float f = std::clamp((state.pointerX - rect.x) / rect.w, 0.0f, 1.0f);
            value = minimum + static_cast<int>(std::lround(static_cast<float>(maximum - minimum) * f));
        }
    } else if (state.focused == id && StepOf(state.key) != 0) {
        value = std::clamp(value + StepOf(state.key), minimum, maximum);
    }
    return value != before;
}

ActionId NextFocus(const std::vector<HitRegion>& regions, ActionId current, bool forward) {
    std::vector<const HitRegion*> order;
    for (const HitRegion& r : regions)
        if (r.hand && std::none_of(order.begin(), order.end(), [&](const HitRegion* o) { return o->id == r.id; }))
            order.push_back(&r);
    if (order.empty()) return 0;
    std::stable_sort(order.begin(), order.end(), [](const HitRegion* a, const HitRegion* b) {
        // Regions whose tops are within a few DIPs share a line.
        if (std::fabs(a->top - b->top) > 4.0f) return a->top < b->top;
        return a->left < b->left;
    });
    const auto at = std::find_if(order.begin(), order.end(), [&](const HitRegion* r) { return r->id == current; });
    if (at == order.end()) return forward ? order.front()->id : order.back()->id;
    const size_t i = static_cast<size_t>(at - order.begin());
    const size_t n = order.size();
    return order[forward ? (i + 1) % n : (i + n - 1) % n]->id;
}

}  // namespace kalorix
