// Where the window opens and what of its place is kept: the rectangle saved in
// the settings when enough of it lies on a monitor that is present now,
// otherwise the default size centred on the primary monitor's work area.
// Pixels in virtual-screen coordinates. Portable.
#pragma once

#include <vector>

#include "store/settings.h"

namespace kalorix {

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const ScreenRect&) const = default;
};

// Visible: at least 100 x 36 pixels of its top band (where it is grabbed and
// moved) lie on one of the work areas.
bool PlaceVisible(const ScreenRect& rect, const std::vector<ScreenRect>& workAreas);

// The saved place when it is visible, else defaultWidth x defaultHeight (never
// more than the primary work area) centred on it.
ScreenRect ChooseWindowPlace(const Settings& saved, const std::vector<ScreenRect>& workAreas,
                             const ScreenRect& primaryWork, int defaultWidth, int defaultHeight);

// Records the window's normal (not maximised) rectangle and state in the settings.
void RememberWindowPlace(Settings& settings, const ScreenRect& normal, bool maximized, int page);

}  // namespace kalorix
