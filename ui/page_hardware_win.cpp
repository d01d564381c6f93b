// The Hardware page (page 2). Only its header is drawn here so far; the page
// body is built in this file.
#include "ui/pages_win.h"

namespace kalorix {

float DrawHardwarePage(PageContext& context) {
    return DrawPageHeader(context, context.content.y + 4, L"Donanım", L"");
}

}  // namespace kalorix
