// The Tests page (page 3). Only its header is drawn here so far; the page
// body is built in this file.
#include "ui/pages_win.h"

namespace kalorix {

float DrawTestsPage(PageContext& context) {
    return DrawPageHeader(context, context.content.y + 4, L"Testler", L"");
}

}  // namespace kalorix
