#include "ui/toolkit_win.h"

namespace kalorix {

const FontFamilies& ChosenFontFamilies() {
    static const FontFamilies families{L"Segoe UI", L"Segoe UI", L"Segoe MDL2 Assets", L"Consolas"};
    return families;
}

DrawingToolkit::DrawingToolkit(HWND window) : window_(window) {}
DrawingToolkit::~DrawingToolkit() {}
void DrawingToolkit::AttachWindow(HWND window) { window_ = window; }
void DrawingToolkit::SetDpi(float dpi) { dpi_ = dpi; }
void DrawingToolkit::Resize(UINT, UINT) {}
bool DrawingToolkit::CreateDeviceResources() { return false; }
bool DrawingToolkit::BeginFrame() { return false; }
HRESULT DrawingToolkit::EndFrame() { return S_OK; }
void DrawingToolkit::ReleaseDeviceResources() {}
D2D1_SIZE_F DrawingToolkit::size() const { return {0, 0}; }
bool DrawingToolkit::CreateOffscreen(float, float, float) { return false; }
bool DrawingToolkit::CopyOffscreenPixels(std::vector<uint8_t>&, UINT&, UINT&) const { return false; }
bool DrawingToolkit::SaveOffscreenPng(const std::filesystem::path&) const { return false; }
void DrawingToolkit::ReleaseOffscreen() {}
IDWriteTextFormat* DrawingToolkit::TextFormat(TextStyle) { return nullptr; }
ID2D1Bitmap* DrawingToolkit::Bitmap(int) { return nullptr; }
void DrawingToolkit::DrawBitmap(int, const Rect&, float) {}
float DrawingToolkit::BitmapWidthForHeight(int, float) { return 0; }
void DrawingToolkit::AddRegion(ActionId, const Rect&, bool) {}
bool DrawingToolkit::IsHovered(ActionId) const { return false; }
bool DrawingToolkit::IsPressed(ActionId) const { return false; }
bool DrawingToolkit::IsClicked(ActionId) const { return false; }
void DrawingToolkit::Clear(const D2D1_COLOR_F&) {}
void DrawingToolkit::PushClip(const Rect&) {}
void DrawingToolkit::PopClip() {}
void DrawingToolkit::SetTranslation(float, float) {}
void DrawingToolkit::ResetTransform() {}
void DrawingToolkit::DrawLabel(std::wstring_view, const Rect&, TextStyle, const D2D1_COLOR_F&, int) {}
float DrawingToolkit::DrawParagraph(std::wstring_view, float, float, float, TextStyle, const D2D1_COLOR_F&) { return 0; }
float DrawingToolkit::MeasureParagraph(std::wstring_view, float, TextStyle) { return 0; }
float DrawingToolkit::MeasureWidth(std::wstring_view, TextStyle) { return 0; }
void DrawingToolkit::DrawGlyph(wchar_t, const Rect&, TextStyle, const D2D1_COLOR_F&) {}
void DrawingToolkit::FillRect(const Rect&, const D2D1_COLOR_F&) {}
void DrawingToolkit::FillRounded(const Rect&, float, const D2D1_COLOR_F&) {}
void DrawingToolkit::Outline(const Rect&, float, const D2D1_COLOR_F&, float) {}
void DrawingToolkit::FillPill(const Rect&, const D2D1_COLOR_F&) {}
void DrawingToolkit::FillCircle(float, float, float, const D2D1_COLOR_F&) {}
void DrawingToolkit::Line(float, float, float, float, const D2D1_COLOR_F&, float, bool) {}
void DrawingToolkit::Card(const Rect&) {}
void DrawingToolkit::Badge(const Rect&, wchar_t, const D2D1_COLOR_F&, float, TextStyle) {}
bool DrawingToolkit::Button(ActionId, const Rect&, std::wstring_view, wchar_t, bool) { return false; }
bool DrawingToolkit::Toggle(ActionId, const Rect&, bool&) { return false; }
bool DrawingToolkit::Segmented(ActionId, float, float, const std::vector<std::wstring>&, int&, bool) { return false; }
float DrawingToolkit::SegmentedWidth(const std::vector<std::wstring>&) { return 0; }
bool DrawingToolkit::Slider(ActionId, const Rect&, int&) { return false; }
void DrawingToolkit::ProgressBar(const Rect&, double, const D2D1_COLOR_F&) {}
void DrawingToolkit::HistoryChart(const Rect&, const std::vector<HistoryPoint>&, double, double, bool) {}
HICON DrawingToolkit::RenderTrayIcon(std::wstring_view, int) { return nullptr; }
HICON DrawingToolkit::RenderTrayIconAt(std::wstring_view, int, int) { return nullptr; }
bool DrawingToolkit::Ready() { return false; }
ID2D1SolidColorBrush* DrawingToolkit::BrushOf(const D2D1_COLOR_F&) { return nullptr; }
void DrawingToolkit::FillPathArea(const std::vector<ChartPoint>&, float, const D2D1_COLOR_F&, const Rect&) {}
void DrawingToolkit::StrokePolyline(const std::vector<ChartPoint>&, const D2D1_COLOR_F&, float) {}
void DrawingToolkit::CreateCommonResources() {}

}  // namespace kalorix
