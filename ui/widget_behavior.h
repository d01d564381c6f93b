// How the controls answer the pointer and the keyboard, kept apart from their
// drawing: the toolkit draws a control and asks one of these what happened.
// Each works on the interaction state of the pass under way. Portable.
#pragma once

#include <vector>

#include "ui/interaction.h"

namespace kalorix {

// A click on the control, or Enter/Space while it has the focus.
bool ButtonBehavior(const InteractionState& state, ActionId id);
// The same, flipping value. Disabled controls never change.
bool ToggleBehavior(const InteractionState& state, ActionId id, bool& value, bool enabled = true);
// Segment index of a choice of count segments: a click on a segment, Enter or
// Space on the focused one, or Left/Right (while one of its segments has the
// focus) moving the choice by one, the focus following it. True when selected changed.
bool SegmentedBehavior(InteractionState& state, ActionId base, int count, int& selected);
// A slider over [minimum, maximum] in rect: pressed, it follows the pointer
// (dragging); focused, Left/Down and Right/Up step it by one. True when value changed.
bool SliderBehavior(InteractionState& state, ActionId id, const Rect& rect, int minimum, int maximum, int& value);

// Tab order: the focusable regions (those with the hand cursor) in reading
// order, top to bottom, then left to right. The next one after current
// (forward) or before it, wrapping; the first (or last) when current is not
// among them; 0 when there is none.
ActionId NextFocus(const std::vector<HitRegion>& regions, ActionId current, bool forward);

}  // namespace kalorix
