// DrawingToolkit: the immediate-mode widget layer every page draws with.
//
// It owns the Direct2D / DirectWrite / WIC objects, the dark palette, the
// seventeen text styles and the primitives (text, cards, buttons, toggles,
// segmented choices, slider, progress bar, badges, the history chart). All
// coordinates are DIPs; the render target carries the window's DPI, so nothing
// here scales by hand.
//
// Use on the main thread only. A window toolkit draws into a software HWND
// render target created lazily by BeginFrame(); an off-screen toolkit (the
// report image) draws into a WIC bitmap made by CreateOffscreen().
//
// Interactive primitives register a HitRegion in the InteractionState given to
// SetInteraction() (its `building` list) with the current region offset and
// clip applied, and report a click when InteractionState::clicked equals their
// id. Without an interaction state they draw but never click.
//
// Typical paint pass of the window:
//     if (!tk.BeginFrame()) return;              // creates the target on first use
//     tk.Clear(colors::WindowBackground);
//     tk.SetInteraction(&interaction_);
//     tk.SetRegionOffset(0); tk.SetRegionClip(36, clientHeightDips);
//     ... pages draw ...
//     HRESULT hr = tk.EndFrame();                 // D2DERR_RECREATE_TARGET handled inside
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/scoped_win.h"
#include "sensors/sensor_model.h"
#include "ui/chart_math.h"
#include "ui/display_list.h"
#include "ui/frame_cache.h"
#include "ui/interaction.h"
#include "ui/sensor_plot.h"
#include "ui/theme.h"

namespace kalorix {

// 0xRRGGBB plus alpha as a Direct2D colour.
constexpr D2D1_COLOR_F Color(uint32_t rgb, float alpha = 1.0f) {
    return D2D1_COLOR_F{static_cast<float>((rgb >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((rgb >> 8) & 0xFF) / 255.0f,
                        static_cast<float>(rgb & 0xFF) / 255.0f, alpha};
}
constexpr D2D1_COLOR_F WithAlpha(D2D1_COLOR_F c, float alpha) { return {c.r, c.g, c.b, alpha}; }

// The palette as Direct2D colours (see ui/theme.h for the 0xRRGGBB values).
namespace colors {
inline constexpr D2D1_COLOR_F WindowBackground = Color(palette::kWindowBackground);
inline constexpr D2D1_COLOR_F Overlay = Color(palette::kWindowBackground, palette::kOverlayAlpha);
inline constexpr D2D1_COLOR_F Sidebar = Color(palette::kSidebar);
inline constexpr D2D1_COLOR_F Panel = Color(palette::kPanel);
inline constexpr D2D1_COLOR_F Selection = Color(palette::kSelection);
inline constexpr D2D1_COLOR_F Border = Color(palette::kBorder);
inline constexpr D2D1_COLOR_F ScrollThumb = Color(palette::kScrollThumb);
inline constexpr D2D1_COLOR_F Track = Color(palette::kTrack);
inline constexpr D2D1_COLOR_F Muted = Color(palette::kMuted);
inline constexpr D2D1_COLOR_F SecondaryText = Color(palette::kSecondaryText);
inline constexpr D2D1_COLOR_F PrimaryText = Color(palette::kPrimaryText);
inline constexpr D2D1_COLOR_F White = Color(palette::kWhite);
inline constexpr D2D1_COLOR_F Accent = Color(palette::kAccent);
inline constexpr D2D1_COLOR_F AccentHover = Color(palette::kAccentHover);
inline constexpr D2D1_COLOR_F Green = Color(palette::kGreen);
inline constexpr D2D1_COLOR_F Amber = Color(palette::kAmber);
inline constexpr D2D1_COLOR_F Red = Color(palette::kRed);
inline constexpr D2D1_COLOR_F CloseRed = Color(palette::kCloseRed);
inline constexpr D2D1_COLOR_F GpuSeries = Color(palette::kGpuSeries);
}  // namespace colors

// Level colour (0 green, 1 amber, 2 red, other muted) as a Direct2D colour.
constexpr D2D1_COLOR_F LevelColorF(int level, float alpha = 1.0f) { return Color(LevelColor(level), alpha); }

// The seventeen text styles.
enum class TextStyle : int {
    PageTitle = 0,   // display 26 semibold
    Body,            // text 13
    Label,           // text 13 (unselected labels)
    LabelStrong,     // text 13 semibold
    BodyLarge,       // text 14
    CardTitle,       // text 14 semibold
    Secondary,       // text 12
    Caption,         // text 11
    SectionHeading,  // text 10.5 semibold ("MENÜ")
    BigNumber,       // display 34 semibold
    RowValue,        // text 15 semibold
    Headline,        // display 17 semibold
    IconNav,         // icons 16
    IconSmall,       // icons 13
    IconCaption,     // icons 10
    BoldSmall,       // text 12 bold
    Mono,            // monospace 11.5
};
namespace text_style {
inline constexpr TextStyle PageTitle = TextStyle::PageTitle;
inline constexpr TextStyle Body = TextStyle::Body;
inline constexpr TextStyle Label = TextStyle::Label;
inline constexpr TextStyle LabelStrong = TextStyle::LabelStrong;
inline constexpr TextStyle BodyLarge = TextStyle::BodyLarge;
inline constexpr TextStyle CardTitle = TextStyle::CardTitle;
inline constexpr TextStyle Secondary = TextStyle::Secondary;
inline constexpr TextStyle Caption = TextStyle::Caption;
inline constexpr TextStyle SectionHeading = TextStyle::SectionHeading;
inline constexpr TextStyle BigNumber = TextStyle::BigNumber;
inline constexpr TextStyle RowValue = TextStyle::RowValue;
inline constexpr TextStyle Headline = TextStyle::Headline;
inline constexpr TextStyle IconNav = TextStyle::IconNav;
inline constexpr TextStyle IconSmall = TextStyle::IconSmall;
inline constexpr TextStyle IconCaption = TextStyle::IconCaption;
inline constexpr TextStyle BoldSmall = TextStyle::BoldSmall;
inline constexpr TextStyle Mono = TextStyle::Mono;
inline constexpr int kCount = 17;
constexpr int Index(TextStyle style) { return static_cast<int>(style); }
}  // namespace text_style

// A text the toolkit had to cut with an ellipsis in the last pass.
struct ElidedText {
    TextStyle style;
    std::wstring text;
};

// Horizontal alignment of DrawLabel.
enum TextAlign : int { kAlignLeading = 0, kAlignCenter = 1, kAlignTrailing = 2 };

// Image resources (RCDATA PNG) and the icon resource.
inline constexpr int kBannerResource = 201;   // wordmark banner, 436 x 120
inline constexpr int kAppIconPng = 202;       // application icon, 256 x 256
inline constexpr int kAppIconResource = 101;  // .ico with several sizes

// Font family names chosen for this process: the preferred name, else its
// fallback; when neither is installed, a sans (or monospace) family that is.
struct FontFamilies {
    std::wstring display, text, icons, monospace;
    std::wstring trayNumber;  // "Segoe UI" or its stand-in
};
const FontFamilies& ChosenFontFamilies();

class DrawingToolkit {
public:
    // window = nullptr makes an off-screen toolkit (call CreateOffscreen).
    explicit DrawingToolkit(HWND window = nullptr);
    ~DrawingToolkit();
    DrawingToolkit(const DrawingToolkit&) = delete;
    DrawingToolkit& operator=(const DrawingToolkit&) = delete;

    // ---- resources ----
    void AttachWindow(HWND window);  // for a toolkit constructed before its window
    HWND window() const { return window_; }
    float dpi() const { return dpi_; }
    // Remembers the DPI and applies it to an existing render target (WM_DPICHANGED).
    void SetDpi(float dpi);
    // Resizes the window render target to the client size (WM_SIZE); no-op without one.
    void Resize(UINT widthPixels, UINT heightPixels);
    // Window render target (software, toolkit dpi, client size), ClearType, the brush.
    bool CreateDeviceResources();
    // Creates device resources when needed; false when there is still no target;
    // else BeginDraw and identity transform.
    bool BeginFrame();
    // EndDraw. On D2DERR_RECREATE_TARGET releases the target (and brush, bitmaps)
    // so the next BeginFrame recreates it. Returns the EndDraw result (S_OK
    // when there was nothing to end).
    HRESULT EndFrame();
    // The next EndFrame behaves as if EndDraw had returned hr (a lost device
    // cannot be provoked on demand; the window's reaction to one is tested so).
    void InjectNextEndFrameResult(HRESULT hr) { injectedEndFrame_ = hr; }
    // Drops bitmaps, brush and render target; text formats and factories stay.
    void ReleaseDeviceResources();
    bool hasTarget() const { return static_cast<bool>(target_); }
    ID2D1RenderTarget* target() const { return target_.get(); }
    // Render target size in DIPs (0 x 0 without a target).
    D2D1_SIZE_F size() const;

    // Off-screen drawing at any scale: a WIC bitmap of round(w*scale) x
    // round(h*scale) pixels, 32-bit premultiplied BGRA, dpi = 96 * scale,
    // grayscale text. Replaces a previous off-screen target. Only for a
    // toolkit made without a window (the report image uses its own
    // DrawingToolkit); false for the window's toolkit. Then draw between
    // BeginFrame() and EndFrame() as usual.
    bool CreateOffscreen(float widthDips, float heightDips, float scale);
    IWICBitmap* offscreenBitmap() const { return offscreen_.get(); }
    // Pixels of the off-screen bitmap, top-down rows of width*4 bytes (premultiplied BGRA).
    bool CopyOffscreenPixels(std::vector<uint8_t>& pixels, UINT& width, UINT& height) const;
    // Encodes the off-screen bitmap with the WIC PNG encoder (written to a
    // temporary file first, then renamed over the target).
    bool SaveOffscreenPng(const std::filesystem::path& file) const;
    // The same PNG as bytes in memory.
    bool EncodeOffscreenPng(std::string& bytes) const;
    void ReleaseOffscreen();

    IDWriteTextFormat* TextFormat(TextStyle style);
    // Bitmap decoded from an RCDATA PNG resource of this module, cached (8 slots);
    // nullptr when any step fails or there is no target.
    ID2D1Bitmap* Bitmap(int resourceId);
    // Draws a bitmap resource scaled into rect; skipped when missing.
    void DrawBitmap(int resourceId, const Rect& rect, float opacity = 1.0f);
    // Width that keeps the bitmap's aspect ratio at the given height (0 when missing).
    float BitmapWidthForHeight(int resourceId, float height);

    // ---- display list and partial passes ----
    // Every drawing call is also noted as a DrawnItem (where, and a fingerprint
    // of what); the list restarts with each BeginFrame or BeginRecord.
    // BeginRecord starts a pass that only notes, drawing nothing.
    void BeginRecord();
    void EndRecord() { recording_ = false; }
    const std::vector<DrawnItem>& items() const { return items_; }
    void SetCollectItems(bool on) { collectItems_ = on; }
    // Only calls touching area are drawn (a pass redrawing part of the window;
    // the caller clips to it as well). Nothing: draw everything.
    void SetCull(const std::optional<Rect>& area) { cull_ = area; }

    // ---- interaction ----
    // interactive false: controls draw with their hover state but neither
    // register regions nor react (a pass that only redraws).
    void SetInteraction(InteractionState* state, bool interactive = true) {
        interaction_ = state;
        interactive_ = interactive;
    }
    InteractionState* interaction() const { return interaction_; }
    void SetRegionOffset(float offsetY) { regionOffset_ = offsetY; }
    float regionOffset() const { return regionOffset_; }
    void SetRegionClip(float top, float bottom) { clipTop_ = top; clipBottom_ = bottom; }
    // Registers a region (offset and clip applied) in interaction()->building.
    void AddRegion(ActionId id, const Rect& rect, bool hand);
    bool IsHovered(ActionId id) const;
    bool IsPressed(ActionId id) const;
    bool IsClicked(ActionId id) const;

    // ---- transforms and clips (thin wrappers over the target) ----
    void Clear(const D2D1_COLOR_F& color);
    void PushClip(const Rect& rect);
    void PopClip();
    void SetTranslation(float dx, float dy);  // replaces the transform
    void ResetTransform();

    // ---- text ----
    // One line, vertically centred, trimmed with an ellipsis, clipped. align: TextAlign.
    void DrawLabel(std::wstring_view text, const Rect& rect, TextStyle style, const D2D1_COLOR_F& color,
                   int align = kAlignLeading);
    // Texts cut with an ellipsis since the pass began (BeginFrame), in drawing order.
    const std::vector<ElidedText>& elidedTexts() const { return elided_; }
    // Text layouts created since this toolkit was made (the cache's misses).
    uint64_t layoutsCreated() const { return layoutsCreated_; }
    // Wrapped, top-aligned text; returns its height (0 for empty text or width <= 0).
    float DrawParagraph(std::wstring_view text, float x, float y, float width, TextStyle style,
                        const D2D1_COLOR_F& color);
    float MeasureParagraph(std::wstring_view text, float width, TextStyle style);
    // Width of one unwrapped line including trailing blanks; 0 for empty text.
    float MeasureWidth(std::wstring_view text, TextStyle style);
    // A single glyph (icon font) centred in rect.
    void DrawGlyph(wchar_t glyph, const Rect& rect, TextStyle style, const D2D1_COLOR_F& color);

    // ---- shapes ----
    void FillRect(const Rect& rect, const D2D1_COLOR_F& color);
    void FillRounded(const Rect& rect, float radius, const D2D1_COLOR_F& color);
    // Outline inset by half the width so it stays inside rect.
    void Outline(const Rect& rect, float radius, const D2D1_COLOR_F& color, float width = 1.0f);
    void FillPill(const Rect& rect, const D2D1_COLOR_F& color);
    void FillCircle(float cx, float cy, float radius, const D2D1_COLOR_F& color);
    void Line(float x1, float y1, float x2, float y2, const D2D1_COLOR_F& color, float width = 1.0f,
              bool dashed = false);

    // ---- controls ----
    // Radius 12, panel colour, 1-DIP border.
    void Card(const Rect& rect);
    // Rounded square (radius 8) in colour at alpha, glyph centred at full opacity.
    void Badge(const Rect& rect, wchar_t glyph, const D2D1_COLOR_F& color, float alpha = palette::kBadgeAlpha,
               TextStyle iconStyle = text_style::IconSmall);
    // glyph 0 = none. True when clicked.
    bool Button(ActionId id, const Rect& rect, std::wstring_view label, wchar_t glyph, bool primary);
    // A click (or Enter/Space with the focus) flips value; true when it did.
    // A disabled switch is drawn dimmed and ignores input.
    bool Toggle(ActionId id, const Rect& rect, bool& value, bool enabled = true);
    // Segment i has id SegmentActionId(baseId, i). With alignRight x is the right edge.
    // True when a click selected a segment.
    bool Segmented(ActionId baseId, float x, float y, const std::vector<std::wstring>& options, int& selected,
                   bool alignRight = false);
    float SegmentedWidth(const std::vector<std::wstring>& options);
    // Warning-temperature slider, 60 ... 100; true when the value changed.
    bool Slider(ActionId id, const Rect& rect, int& value);
    void ProgressBar(const Rect& rect, double fraction, const D2D1_COLOR_F& color);

    // Temperature history (both series), span = HistorySeconds, now = snapshot time.
    void HistoryChart(const Rect& rect, const std::vector<HistoryPoint>& samples, double now, double span,
                      bool fahrenheit);

    // One sensor's plot as LayoutSensorPlot placed it in chart: the same grid,
    // labels, area and line as the history chart, in colour, with its lowest
    // and highest value marked by dashed lines and their values.
    void SensorPlot(const Rect& chart, const SensorPlotGeometry& plot, const D2D1_COLOR_F& color);

    // Small tray icon with a number on a level-coloured rounded square at the
    // system's small-icon size. nullptr on any failure. Caller destroys it.
    static HICON RenderTrayIcon(std::wstring_view text, int level);
    // Same at an explicit size in pixels (tests and previews).
    static HICON RenderTrayIconAt(std::wstring_view text, int level, int sizePixels);

    // True when the chosen icon font exists on this system. Without it the
    // glyphs this program uses are drawn as simple vector shapes instead.
    static bool IconFontAvailable();

private:
    bool Ready();
    // A layout from the cache, made (and set up) on a miss; kind tells apart the
    // uses of one text: a label line, a wrapped paragraph, a measurement.
    enum class LayoutKind { Label, Paragraph, Measure };
    IDWriteTextLayout* CachedLayout(std::wstring_view text, TextStyle style, float width, float height,
                                    LayoutKind kind, int align = 0);
    ComPtr<IDWriteTextLayout> Layout(std::wstring_view text, TextStyle style, float width, float height);
    IDWriteInlineObject* Ellipsis(TextStyle style);
    // Notes a drawing call; true when it is to be drawn in this pass.
    bool Emit(const Rect& rect, const ItemHash& what);
    // Calls inside a composite (the chart) are not noted on their own.
    struct QuietScope {
        explicit QuietScope(DrawingToolkit& tk) : tk_(tk) { ++tk_.quiet_; }
        ~QuietScope() { --tk_.quiet_; }
        DrawingToolkit& tk_;
    };
    InteractionState* Interactive() const { return interactive_ ? interaction_ : nullptr; }
    // The keyboard focus ring around a focused control, after keyboard use only.
    void FocusRing(ActionId id, const Rect& rect, float radius);
    bool DrawVectorGlyph(wchar_t glyph, const Rect& rect, TextStyle style, const D2D1_COLOR_F& color);                                   // target and brush exist
    ID2D1SolidColorBrush* BrushOf(const D2D1_COLOR_F& color);
    void FillPathArea(const std::vector<ChartPoint>& points, float bottom, const D2D1_COLOR_F& color,
                      const Rect& plot);
    void StrokePolyline(const std::vector<ChartPoint>& points, const D2D1_COLOR_F& color, float width);
    void CreateCommonResources();                  // brush, dashed and round strokes

    HWND window_ = nullptr;
    float dpi_ = 96.0f;
    ComPtr<ID2D1RenderTarget> target_;         // HWND or WIC bitmap render target
    ComPtr<ID2D1HwndRenderTarget> hwndTarget_;  // same object when it is a window target
    ComPtr<IWICBitmap> offscreen_;
    ComPtr<ID2D1SolidColorBrush> brush_;
    ComPtr<ID2D1StrokeStyle> dashed_;
    ComPtr<ID2D1StrokeStyle> round_;
    ComPtr<IDWriteTextFormat> formats_[text_style::kCount];
    ComPtr<IDWriteTextFormat> fallbackFormat_;
    ComPtr<IDWriteInlineObject> ellipsis_[text_style::kCount + 1];
    struct CachedBitmap {
        int id = 0;
        ComPtr<ID2D1Bitmap> bitmap;
    };
    CachedBitmap bitmaps_[8] = {};
    int clipDepth_ = 0;
    bool drawing_ = false;
    HRESULT injectedEndFrame_ = S_OK;
    FrameCache<ComPtr<IDWriteTextLayout>> layouts_;
    std::vector<ElidedText> elided_;
    uint64_t layoutsCreated_ = 0;

    InteractionState* interaction_ = nullptr;
    bool interactive_ = true;
    std::vector<DrawnItem> items_;
    bool recording_ = false;
    bool collectItems_ = true;
    int quiet_ = 0;
    std::optional<Rect> cull_;
    float dx_ = 0, dy_ = 0;  // the current translation
    float regionOffset_ = 0;
    float clipTop_ = -1e9f;
    float clipBottom_ = 1e9f;
};

}  // namespace kalorix
