// The Settings page (page 4). Only its header is drawn here so far; the page
// body is built in this file.
#include "ui/pages_win.h"

namespace kalorix {

float DrawSettingsPage(PageContext& context) {
    return DrawPageHeader(context, context.content.y + 4, L"Ayarlar", L"");
}

}  // namespace kalorix
