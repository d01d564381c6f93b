#include <windows.h>
#include <shellapi.h>

#include "ui/pages_win.h"
#include "ui/toolkit_win.h"

namespace kalorix {

float DrawPageHeader(PageContext& context, float y, std::wstring_view title, std::wstring_view subtitle) {
    DrawingToolkit& tk = *context.toolkit;
    const float x0 = context.x0(), w = context.innerWidth();
    tk.DrawLabel(title, Rect{x0, y, w, 36}, text_style::PageTitle, colors::PrimaryText);
    tk.DrawLabel(subtitle, Rect{x0, y + 38, w, 20}, text_style::Body, colors::SecondaryText);
    return y + 74;
}

void OpenAddress(const wchar_t* address) {
    ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace kalorix
