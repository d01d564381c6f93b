#include "ui/window_place.h"

#include <algorithm>

namespace kalorix {

bool PlaceVisible(const ScreenRect& rect, const std::vector<ScreenRect>& workAreas) {
    if (rect.width() <= 0 || rect.height() <= 0) return false;
    const ScreenRect band{rect.left, rect.top, rect.right, rect.top + std::min(rect.height(), 36)};
    for (const ScreenRect& work : workAreas) {
        const int w = std::min(band.right, work.right) - std::max(band.left, work.left);
        const int h = std::min(band.bottom, work.bottom) - std::max(band.top, work.top);
        if (w >= std::min(100, band.width()) && h >= band.height()) return true;
    }
    return false;
}

ScreenRect ChooseWindowPlace(const Settings& saved, const std::vector<ScreenRect>& workAreas,
                             const ScreenRect& primaryWork, int defaultWidth, int defaultHeight) {
    const ScreenRect kept{saved.WindowX, saved.WindowY, saved.WindowX + saved.WindowWidth,
                          saved.WindowY + saved.WindowHeight};
    if (saved.WindowWidth > 0 && saved.WindowHeight > 0 && PlaceVisible(kept, workAreas)) return kept;
    const int w = std::min(defaultWidth, primaryWork.width()), h = std::min(defaultHeight, primaryWork.height());
    const int x = primaryWork.left + (primaryWork.width() - w) / 2;
    const int y = primaryWork.top + (primaryWork.height() - h) / 2;
    return ScreenRect{x, y, x + w, y + h};
}

void RememberWindowPlace(Settings& settings, const ScreenRect& normal, bool maximized, int page) {
    if (normal.width() > 0 && normal.height() > 0) {
        settings.WindowX = normal.left;
        settings.WindowY = normal.top;
        settings.WindowWidth = normal.width();
        settings.WindowHeight = normal.height();
    }
    settings.WindowMaximized = maximized;
    settings.LastPage = std::clamp(page, 0, 4);
}

}  // namespace kalorix
