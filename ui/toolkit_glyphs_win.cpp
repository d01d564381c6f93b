// Vector stand-ins for the icon-font glyphs, used when no icon font is installed.
#include "ui/toolkit_win.h"

namespace kalorix {

bool DrawingToolkit::DrawVectorGlyph(wchar_t, const Rect&, TextStyle, const D2D1_COLOR_F&) { return false; }

}  // namespace kalorix
