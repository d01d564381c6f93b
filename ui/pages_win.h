// The page drawing functions. Each draws its page top to bottom into the
// context's toolkit, performs the actions of the controls clicked since the
// last pass and returns the y of its bottom edge (page coordinates).
#pragma once

#include <string_view>

#include "ui/interaction.h"
#include "ui/page_models.h"

namespace kalorix {

float DrawOverviewPage(PageContext& context);   // page 0
float DrawSensorsPage(PageContext& context);    // page 1
float DrawHardwarePage(PageContext& context);   // page 2
float DrawTestsPage(PageContext& context);      // page 3
float DrawSettingsPage(PageContext& context);   // page 4

// The header every page starts with: the title (style 0) at (x0, y, W, 36) and
// the subtitle (style 1, secondary) at y + 38, 20 high. Returns y + 74.
float DrawPageHeader(PageContext& context, float y, std::wstring_view title, std::wstring_view subtitle);

// Opens a web address in the user's browser; failures are ignored.
void OpenAddress(const wchar_t* address);


}  // namespace kalorix
