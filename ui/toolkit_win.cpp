#include "ui/toolkit_win.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

#include "base/log.h"
#include "sensors/text.h"
#include "store/file_util.h"
#include "ui/tray.h"
#include "ui/widget_behavior.h"

namespace kalorix {

namespace {

// The kinds of drawing call a display-list item can be, and its colour.
enum class ItemKind : uint64_t { Clear = 1, Clip, Label, Paragraph, Glyph, Rectangle, Rounded, Outline, Circle, Line,
                                 Bitmap, Chart };
ItemHash Kind(ItemKind kind) { return ItemHash().add(static_cast<uint64_t>(kind)); }
ItemHash& AddColor(ItemHash& h, const D2D1_COLOR_F& c) { return h.add(c.r).add(c.g).add(c.b).add(c.a); }

// ---- process-wide factories ----

struct Factories {
    std::mutex lock;
    ComPtr<ID2D1Factory> d2d;
    ComPtr<IDWriteFactory> dwrite;
    // The WIC factory lives in a COM server that may already be unloaded by
    // CoUninitialize when this record is destroyed; it is left to the process teardown.
    IWICImagingFactory* wic = nullptr;
};

Factories& Shared() {
    static Factories f;
    return f;
}

ID2D1Factory* D2DFactory() {
    Factories& f = Shared();
    std::lock_guard<std::mutex> guard(f.lock);
    if (!f.d2d) {
        D2D1_FACTORY_OPTIONS options{};
        const HRESULT hr = D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, IID_ID2D1Factory, &options,
                                             f.d2d.putVoid());
        if (FAILED(hr)) LogHResult("toolkit", "D2D1CreateFactory", hr);
    }
    return f.d2d.get();
}

IDWriteFactory* DWriteFactory() {
    Factories& f = Shared();
    std::lock_guard<std::mutex> guard(f.lock);
    if (!f.dwrite) {
        const HRESULT hr = DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                               reinterpret_cast<IUnknown**>(f.dwrite.put()));
        if (FAILED(hr)) LogHResult("toolkit", "DWriteCreateFactory", hr);
    }
    return f.dwrite.get();
}

// Retried on the next use when COM was not ready yet.
IWICImagingFactory* WicFactory() {
    Factories& f = Shared();
    std::lock_guard<std::mutex> guard(f.lock);
    if (!f.wic) {
        const HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IWICImagingFactory, reinterpret_cast<void**>(&f.wic));
        if (FAILED(hr)) LogHResult("toolkit", "CoCreateInstance WICImagingFactory", hr);
    }
    return f.wic;
}

bool HasFamily(IDWriteFontCollection* fonts, const wchar_t* name) {
    if (!fonts) return false;
    UINT32 index = 0;
    BOOL exists = FALSE;
    return SUCCEEDED(fonts->FindFamilyName(name, &index, &exists)) && exists;
}

// Families tried, in order, when neither the preferred font nor its fallback is
// installed (Wine and stripped-down systems have neither): without a present
// family DirectWrite lays out nothing at all.
constexpr const wchar_t* kSansStandIns[] = {L"Segoe UI", L"Selawik", L"Tahoma", L"Noto Sans", L"Open Sans",
                                            L"Liberation Sans", L"Arial", L"DejaVu Sans", L"Nimbus Sans"};
constexpr const wchar_t* kMonoStandIns[] = {L"Consolas", L"Cascadia Mono", L"Courier New", L"Liberation Mono",
                                            L"DejaVu Sans Mono", L"Noto Sans Mono", L"Noto Mono", L"Nimbus Mono PS"};

std::wstring FirstFamily(IDWriteFontCollection* fonts) {
    std::wstring name;
    ComPtr<IDWriteFontFamily> family;
    ComPtr<IDWriteLocalizedStrings> names;
    if (fonts && fonts->GetFontFamilyCount() > 0 && SUCCEEDED(fonts->GetFontFamily(0, family.put())) &&
        SUCCEEDED(family->GetFamilyNames(names.put()))) {
        UINT32 length = 0;
        if (SUCCEEDED(names->GetStringLength(0, &length))) {
            std::wstring buffer(length + 1, L'\0');
            if (SUCCEEDED(names->GetString(0, buffer.data(), length + 1))) name = buffer.c_str();
        }
    }
    return name;
}

template <size_t N>
std::wstring Pick(IDWriteFontCollection* fonts, const wchar_t* preferred, const wchar_t* fallback,
                  const wchar_t* const (&standIns)[N]) {
    if (HasFamily(fonts, preferred)) return preferred;
    if (HasFamily(fonts, fallback) || !fonts) return fallback;
    for (const wchar_t* name : standIns)
        if (HasFamily(fonts, name)) return name;
    std::wstring any = FirstFamily(fonts);
    return any.empty() ? std::wstring(fallback) : any;
}

FontFamilies ResolveFamilies() {
    ComPtr<IDWriteFontCollection> collection;
    if (IDWriteFactory* dw = DWriteFactory()) dw->GetSystemFontCollection(collection.put(), FALSE);
    IDWriteFontCollection* fonts = collection.get();
    FontFamilies families;
    families.display = Pick(fonts, L"Segoe UI Variable Display", L"Segoe UI", kSansStandIns);
    families.text = Pick(fonts, L"Segoe UI Variable Text", L"Segoe UI", kSansStandIns);
    // The icon group keeps its fallback name when no icon font exists: the
    // toolkit then draws its own vector glyphs (IconFontAvailable).
    families.icons = HasFamily(fonts, L"Segoe Fluent Icons") ? L"Segoe Fluent Icons" : L"Segoe MDL2 Assets";
    families.monospace = Pick(fonts, L"Cascadia Mono", L"Consolas", kMonoStandIns);
    families.trayNumber = Pick(fonts, L"Segoe UI", L"Segoe UI", kSansStandIns);
    Log(LogLevel::Info, "toolkit",
        "fonts: display " + WideToUtf8(families.display) + ", text " + WideToUtf8(families.text) + ", icons " +
            WideToUtf8(families.icons) + ", monospace " + WideToUtf8(families.monospace));
    return families;
}

enum class Family { Display, Text, Icons, Mono };

struct StyleSpec {
    Family family;
    float size;
    int weight;
};

constexpr StyleSpec kStyles[text_style::kCount] = {
    {Family::Display, 26, 600}, {Family::Text, 13, 400},    {Family::Text, 13, 400},  {Family::Text, 13, 600},
    {Family::Text, 14, 400},    {Family::Text, 14, 600},    {Family::Text, 12, 400},  {Family::Text, 11, 400},
    {Family::Text, 10.5f, 600}, {Family::Display, 34, 600}, {Family::Text, 15, 600},  {Family::Display, 17, 600},
    {Family::Icons, 16, 400},   {Family::Icons, 13, 400},   {Family::Icons, 10, 400}, {Family::Text, 12, 700},
    {Family::Mono, 11.5f, 400},
};
constexpr StyleSpec kDefaultStyle{Family::Text, 13, 400};

const std::wstring& FamilyName(Family family) {
    const FontFamilies& f = ChosenFontFamilies();
    switch (family) {
        case Family::Display: return f.display;
        case Family::Icons: return f.icons;
        case Family::Mono: return f.monospace;
        default: return f.text;
    }
}

ComPtr<IDWriteTextFormat> CreateFormat(const std::wstring& family, float size, int weight) {
    IDWriteFactory* dw = DWriteFactory();
    if (!dw) return {};
    ComPtr<IDWriteTextFormat> format;
    const HRESULT hr = dw->CreateTextFormat(family.c_str(), nullptr, static_cast<DWRITE_FONT_WEIGHT>(weight),
                                            DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL, size, L"tr-tr",
                                            format.put());
    if (FAILED(hr)) {
        LogHResult("toolkit", "CreateTextFormat " + WideToUtf8(family), hr);
        return {};
    }
    return format;
}

bool RunningUnderWine() {
    static const bool wine = [] {
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
    }();
    return wine;
}

D2D1_RECT_F ToD2D(const Rect& r) { return D2D1::RectF(r.x, r.y, r.x + r.w, r.y + r.h); }

UINT32 Len(std::wstring_view text) { return static_cast<UINT32>(std::min<size_t>(text.size(), 0x7FFFFFFF)); }

// Keeps corner radii within half of the shorter side.
float FitRadius(const Rect& r, float radius) {
    return std::max(0.0f, std::min(radius, std::min(r.w, r.h) / 2));
}

}  // namespace

const FontFamilies& ChosenFontFamilies() {
    static const FontFamilies families = ResolveFamilies();
    return families;
}

bool DrawingToolkit::IconFontAvailable() {
    static const bool available = [] {
        ComPtr<IDWriteFontCollection> fonts;
        if (IDWriteFactory* dw = DWriteFactory()) dw->GetSystemFontCollection(fonts.put(), FALSE);
        return HasFamily(fonts.get(), ChosenFontFamilies().icons.c_str());
    }();
    return available;
}

// ---- lifecycle ----

DrawingToolkit::DrawingToolkit(HWND window) : window_(window) {}

DrawingToolkit::~DrawingToolkit() {
    ReleaseDeviceResources();
    ReleaseOffscreen();
}

void DrawingToolkit::AttachWindow(HWND window) { window_ = window; }

void DrawingToolkit::SetDpi(float dpi) {
    if (!(dpi > 0)) return;
    dpi_ = dpi;
    if (target_) target_->SetDpi(dpi, dpi);
}

void DrawingToolkit::Resize(UINT widthPixels, UINT heightPixels) {
    if (hwndTarget_) hwndTarget_->Resize(D2D1::SizeU(widthPixels, heightPixels));
}

void DrawingToolkit::CreateCommonResources() {
    ID2D1Factory* factory = D2DFactory();
    if (!factory) return;
    if (!dashed_) {
        const float dashes[] = {2.0f, 4.0f};
        D2D1_STROKE_STYLE_PROPERTIES props = D2D1::StrokeStyleProperties(
            D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT, D2D1_LINE_JOIN_MITER, 10.0f,
            D2D1_DASH_STYLE_CUSTOM, 0.0f);
        factory->CreateStrokeStyle(props, dashes, 2, dashed_.put());
    }
    if (!round_) {
        D2D1_STROKE_STYLE_PROPERTIES props = D2D1::StrokeStyleProperties(
            D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND, D2D1_LINE_JOIN_ROUND, 10.0f,
            D2D1_DASH_STYLE_SOLID, 0.0f);
        factory->CreateStrokeStyle(props, nullptr, 0, round_.put());
    }
    if (target_ && !brush_) target_->CreateSolidColorBrush(D2D1::ColorF(0, 0, 0, 1), brush_.put());
}

bool DrawingToolkit::CreateDeviceResources() {
    ReleaseDeviceResources();
    ID2D1Factory* factory = D2DFactory();
    if (!factory || !window_) return false;
    RECT client{};
    GetClientRect(window_, &client);
    UINT w = static_cast<UINT>(std::max<LONG>(1, client.right - client.left));
    UINT h = static_cast<UINT>(std::max<LONG>(1, client.bottom - client.top));
    D2D1_RENDER_TARGET_PROPERTIES props =
        D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_SOFTWARE, D2D1::PixelFormat(), dpi_, dpi_);
    D2D1_HWND_RENDER_TARGET_PROPERTIES hwndProps =
        // Kept between frames: a frame may redraw only the parts that changed.
        D2D1::HwndRenderTargetProperties(window_, D2D1::SizeU(w, h), D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS);
    const HRESULT hr = factory->CreateHwndRenderTarget(props, hwndProps, hwndTarget_.put());
    if (FAILED(hr) || !hwndTarget_) {
        LogHResult("toolkit", "CreateHwndRenderTarget", hr);
        hwndTarget_.reset();
        return false;
    }
    target_ = hwndTarget_.as<ID2D1RenderTarget>();
    target_->SetDpi(dpi_, dpi_);
    target_->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE);
    CreateCommonResources();
    if (!brush_) {
        ReleaseDeviceResources();
        return false;
    }
    return true;
}

bool DrawingToolkit::BeginFrame() {
    if (drawing_) return true;
    if (!target_ && window_) CreateDeviceResources();
    if (!target_) return false;
    if (!brush_) CreateCommonResources();
    if (!brush_) return false;
    target_->BeginDraw();
    target_->SetTransform(D2D1::Matrix3x2F::Identity());
    drawing_ = true;
    clipDepth_ = 0;
    layouts_.NextPass();
    elided_.clear();
    items_.clear();
    dx_ = dy_ = 0;
    return true;
}

HRESULT DrawingToolkit::EndFrame() {
    if (!drawing_ || !target_) return S_OK;
    while (clipDepth_ > 0) PopClip();
    HRESULT hr = target_->EndDraw();
    if (FAILED(injectedEndFrame_)) hr = std::exchange(injectedEndFrame_, S_OK);
    drawing_ = false;
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) ReleaseDeviceResources();
    return hr;
}

void DrawingToolkit::ReleaseDeviceResources() {
    if (drawing_ && target_) {
        while (clipDepth_ > 0) PopClip();
        target_->EndDraw();
    }
    drawing_ = false;
    clipDepth_ = 0;
    for (auto& b : bitmaps_) {
        b.bitmap.reset();
        b.id = 0;
    }
    brush_.reset();
    hwndTarget_.reset();
    target_.reset();
}

D2D1_SIZE_F DrawingToolkit::size() const {
    if (!target_) return D2D1::SizeF(0, 0);
    return target_->GetSize();
}

// ---- off-screen ----

bool DrawingToolkit::CreateOffscreen(float widthDips, float heightDips, float scale) {
    if (window_) return false;  // the window toolkit keeps its window target
    ReleaseOffscreen();
    ReleaseDeviceResources();
    if (!(scale > 0) || !(widthDips > 0) || !(heightDips > 0)) return false;
    ID2D1Factory* factory = D2DFactory();
    IWICImagingFactory* wic = WicFactory();
    if (!factory || !wic) return false;
    long pw = std::lround(widthDips * scale), ph = std::lround(heightDips * scale);
    if (pw <= 0 || ph <= 0 || pw > 16384 || ph > 16384) return false;
    dpi_ = scale * 96.0f;
    HRESULT hr = wic->CreateBitmap(static_cast<UINT>(pw), static_cast<UINT>(ph), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapCacheOnLoad, offscreen_.put());
    if (FAILED(hr) || !offscreen_) {
        LogHResult("toolkit", "IWICImagingFactory::CreateBitmap", hr);
        offscreen_.reset();
        return false;
    }
    D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_SOFTWARE, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
        dpi_, dpi_);
    hr = factory->CreateWicBitmapRenderTarget(offscreen_.get(), props, target_.put());
    if (FAILED(hr) || !target_) {
        LogHResult("toolkit", "CreateWicBitmapRenderTarget", hr);
        target_.reset();
        ReleaseOffscreen();
        return false;
    }
    target_->SetDpi(dpi_, dpi_);
    target_->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    CreateCommonResources();
    if (!brush_ || !dashed_) {
        ReleaseOffscreen();
        return false;
    }
    return true;
}

bool DrawingToolkit::CopyOffscreenPixels(std::vector<uint8_t>& pixels, UINT& width, UINT& height) const {
    width = height = 0;
    if (!offscreen_) return false;
    UINT w = 0, h = 0;
    if (FAILED(offscreen_->GetSize(&w, &h)) || w == 0 || h == 0) return false;
    std::vector<uint8_t> buffer(static_cast<size_t>(w) * h * 4);
    if (FAILED(offscreen_->CopyPixels(nullptr, w * 4, static_cast<UINT>(buffer.size()), buffer.data()))) return false;
    pixels.swap(buffer);
    width = w;
    height = h;
    return true;
}

bool DrawingToolkit::EncodeOffscreenPng(std::string& bytes) const {
    bytes.clear();
    IWICImagingFactory* wic = WicFactory();
    if (!offscreen_ || !wic) return false;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    bool ok = false;
    UINT w = 0, h = 0;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppPBGRA;
    if (SUCCEEDED(CreateStreamOnHGlobal(nullptr, TRUE, stream.put())) &&
        SUCCEEDED(wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put())) &&
        SUCCEEDED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(frame.put(), options.put())) && SUCCEEDED(frame->Initialize(options.get())) &&
        SUCCEEDED(offscreen_->GetSize(&w, &h)) && SUCCEEDED(frame->SetSize(w, h)) &&
        SUCCEEDED(frame->SetPixelFormat(&format)) && SUCCEEDED(frame->WriteSource(offscreen_.get(), nullptr)) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit())) {
        STATSTG stat{};
        HGLOBAL memory = nullptr;
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) && SUCCEEDED(GetHGlobalFromStream(stream.get(), &memory))) {
            size_t size = static_cast<size_t>(stat.cbSize.QuadPart);
            if (const void* data = GlobalLock(memory)) {
                bytes.assign(static_cast<const char*>(data), size);
                GlobalUnlock(memory);
                ok = size > 0;
            }
        }
    }
    if (!ok) {
        Log(LogLevel::Error, "toolkit", "PNG encoding of the off-screen image failed");
        bytes.clear();
    }
    return ok;
}

bool DrawingToolkit::SaveOffscreenPng(const std::filesystem::path& file) const {
    std::string bytes;
    return EncodeOffscreenPng(bytes) && AtomicWriteFile(file, bytes, true);
}

void DrawingToolkit::ReleaseOffscreen() {
    if (offscreen_) {
        ReleaseDeviceResources();
        offscreen_.reset();
    }
}

// ---- text formats and bitmaps ----

IDWriteTextFormat* DrawingToolkit::TextFormat(TextStyle style) {
    const int index = text_style::Index(style);
    if (index < 0 || index >= text_style::kCount) {
        if (!fallbackFormat_)
            fallbackFormat_ = CreateFormat(FamilyName(kDefaultStyle.family), kDefaultStyle.size, kDefaultStyle.weight);
        return fallbackFormat_.get();
    }
    ComPtr<IDWriteTextFormat>& slot = formats_[index];
    if (!slot) {
        const StyleSpec& def = kStyles[index];
        slot = CreateFormat(FamilyName(def.family), def.size, def.weight);
    }
    return slot.get();
}

IDWriteInlineObject* DrawingToolkit::Ellipsis(TextStyle style) {
    const int index = text_style::Index(style);
    const int slot = (index >= 0 && index < text_style::kCount) ? index : text_style::kCount;
    if (!ellipsis_[slot]) {
        IDWriteFactory* dw = DWriteFactory();
        IDWriteTextFormat* format = TextFormat(style);
        if (dw && format) dw->CreateEllipsisTrimmingSign(format, ellipsis_[slot].put());
    }
    return ellipsis_[slot].get();
}

ID2D1Bitmap* DrawingToolkit::Bitmap(int resourceId) {
    if (!target_) return nullptr;
    for (const auto& b : bitmaps_)
        if (b.id == resourceId && b.bitmap) return b.bitmap.get();
    IWICImagingFactory* wic = WicFactory();
    if (!wic) return nullptr;
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) return nullptr;
    HGLOBAL handle = LoadResource(module, info);
    DWORD size = SizeofResource(module, info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data || size == 0) return nullptr;

    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    ComPtr<ID2D1Bitmap> bitmap;
    if (SUCCEEDED(wic->CreateStream(stream.put())) &&
        SUCCEEDED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), size)) &&
        SUCCEEDED(wic->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnLoad, decoder.put())) &&
        SUCCEEDED(decoder->GetFrame(0, frame.put())) && SUCCEEDED(wic->CreateFormatConverter(converter.put())) &&
        SUCCEEDED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                        0.0, WICBitmapPaletteTypeMedianCut))) {
        if (FAILED(target_->CreateBitmapFromWicBitmap(converter.get(), nullptr, bitmap.put()))) bitmap.reset();
    }
    if (!bitmap) {
        Log(LogLevel::Error, "toolkit", "image resource " + std::to_string(resourceId) + " could not be decoded");
        return nullptr;
    }

    // A free slot, else the first one is replaced.
    CachedBitmap* slot = &bitmaps_[0];
    for (auto& b : bitmaps_) {
        if (!b.bitmap) {
            slot = &b;
            break;
        }
    }
    slot->id = resourceId;
    slot->bitmap = bitmap;
    return bitmap.get();
}

void DrawingToolkit::DrawBitmap(int resourceId, const Rect& rect, float opacity) {
    if (!Emit(rect, Kind(ItemKind::Bitmap).add(static_cast<uint64_t>(resourceId)).add(rect).add(opacity))) return;
    ID2D1Bitmap* bitmap = Bitmap(resourceId);
    if (!bitmap || rect.w <= 0 || rect.h <= 0) return;
    target_->DrawBitmap(bitmap, ToD2D(rect), opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
}

float DrawingToolkit::BitmapWidthForHeight(int resourceId, float height) {
    ID2D1Bitmap* bitmap = Bitmap(resourceId);
    if (!bitmap) return 0;
    D2D1_SIZE_U px = bitmap->GetPixelSize();
    if (px.height == 0) return 0;
    return height * static_cast<float>(px.width) / static_cast<float>(px.height);
}

// ---- interaction ----

void DrawingToolkit::AddRegion(ActionId id, const Rect& rect, bool hand) {
    if (!Interactive() || id == 0) return;
    if (auto region = PlaceRegion(id, rect, hand, regionOffset_, clipTop_, clipBottom_))
        RegisterRegion(*interaction_, *region);
}

bool DrawingToolkit::IsHovered(ActionId id) const { return interaction_ && id != 0 && interaction_->hovered == id; }
bool DrawingToolkit::IsPressed(ActionId id) const { return interaction_ && id != 0 && interaction_->pressed == id; }
bool DrawingToolkit::IsClicked(ActionId id) const { return Interactive() && id != 0 && interaction_->clicked == id; }

// ---- brush, transforms, clips ----

bool DrawingToolkit::Ready() { return drawing_ && target_ && brush_; }

void DrawingToolkit::BeginRecord() {
    recording_ = true;
    layouts_.NextPass();
    elided_.clear();
    items_.clear();
    dx_ = dy_ = 0;
}

bool DrawingToolkit::Emit(const Rect& rect, const ItemHash& what) {
    const Rect placed{rect.x + dx_, rect.y + dy_, rect.w, rect.h};
    if (quiet_ == 0 && (recording_ || collectItems_)) items_.push_back(DrawnItem{placed, what.value()});
    if (recording_) return false;
    if (cull_ && !Intersects(placed, *cull_)) return false;
    return Ready();
}

ID2D1SolidColorBrush* DrawingToolkit::BrushOf(const D2D1_COLOR_F& color) {
    if (!brush_) return nullptr;
    brush_->SetColor(color);
    brush_->SetOpacity(1.0f);
    return brush_.get();
}

void DrawingToolkit::Clear(const D2D1_COLOR_F& color) {
    ItemHash what = Kind(ItemKind::Clear);
    AddColor(what, color);
    const D2D1_SIZE_F whole = size();
    if (Emit(Rect{-dx_, -dy_, whole.width, whole.height}, what)) target_->Clear(color);
}

void DrawingToolkit::PushClip(const Rect& rect) {
    if (quiet_ == 0 && (recording_ || collectItems_))
        items_.push_back(DrawnItem{Rect{rect.x + dx_, rect.y + dy_, rect.w, rect.h}, Kind(ItemKind::Clip).add(rect).value()});
    if (!drawing_) return;
    target_->PushAxisAlignedClip(ToD2D(rect), D2D1_ANTIALIAS_MODE_ALIASED);
    ++clipDepth_;
}

void DrawingToolkit::PopClip() {
    if (!drawing_ || clipDepth_ <= 0) return;
    target_->PopAxisAlignedClip();
    --clipDepth_;
}

void DrawingToolkit::SetTranslation(float dx, float dy) {
    dx_ = dx;
    dy_ = dy;
    if (target_) target_->SetTransform(D2D1::Matrix3x2F::Translation(dx, dy));
}

void DrawingToolkit::ResetTransform() {
    dx_ = dy_ = 0;
    if (target_) target_->SetTransform(D2D1::Matrix3x2F::Identity());
}

// ---- text ----

ComPtr<IDWriteTextLayout> DrawingToolkit::Layout(std::wstring_view text, TextStyle style, float width, float height) {
    IDWriteFactory* dw = DWriteFactory();
    IDWriteTextFormat* format = TextFormat(style);
    if (!dw || !format) return {};
    ComPtr<IDWriteTextLayout> layout;
    if (FAILED(dw->CreateTextLayout(text.data(), Len(text), format, std::max(0.0f, width), std::max(0.0f, height),
                                    layout.put())))
        return {};
    ++layoutsCreated_;
    return layout;
}

IDWriteTextLayout* DrawingToolkit::CachedLayout(std::wstring_view text, TextStyle style, float width, float height,
                                                LayoutKind kind, int align) {
    TextKey key{std::wstring(text), text_style::Index(style), width, height, static_cast<int>(kind) * 16 + align};
    if (ComPtr<IDWriteTextLayout>* found = layouts_.Find(key)) return found->get();
    ComPtr<IDWriteTextLayout> layout = Layout(text, style, width, height);
    if (!layout) return nullptr;
    switch (kind) {
        case LayoutKind::Label: {
            layout->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
            layout->SetTextAlignment(align == kAlignCenter     ? DWRITE_TEXT_ALIGNMENT_CENTER
                                     : align == kAlignTrailing ? DWRITE_TEXT_ALIGNMENT_TRAILING
                                                               : DWRITE_TEXT_ALIGNMENT_LEADING);
            layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
            DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
            layout->SetTrimming(&trimming, Ellipsis(style));
            break;
        }
        case LayoutKind::Paragraph:
            layout->SetWordWrapping(DWRITE_WORD_WRAPPING_WRAP);
            layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_LEADING);
            layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_NEAR);
            break;
        case LayoutKind::Measure: layout->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP); break;
    }
    return layouts_.Insert(std::move(key), std::move(layout)).get();
}

void DrawingToolkit::DrawLabel(std::wstring_view text, const Rect& rect, TextStyle style, const D2D1_COLOR_F& color,
                               int align) {
    if (text.empty() || !(rect.w > 0)) return;
    ItemHash what = Kind(ItemKind::Label).add(rect).add(static_cast<uint64_t>(text_style::Index(style)))
                        .add(static_cast<uint64_t>(align)).add(text);
    if (!Emit(rect, AddColor(what, color))) return;
    IDWriteTextLayout* layout = CachedLayout(text, style, rect.w, std::max(rect.h, 0.0f), LayoutKind::Label, align);
    if (!layout) return;
    // Half a DIP of slack: a text measured to exactly its box is not cut.
    if (MeasureWidth(text, style) > rect.w + 0.5f) elided_.push_back(ElidedText{style, std::wstring(text)});
    target_->DrawTextLayout(D2D1::Point2F(rect.x, rect.y), layout, BrushOf(color), D2D1_DRAW_TEXT_OPTIONS_CLIP);
}

float DrawingToolkit::DrawParagraph(std::wstring_view text, float x, float y, float width, TextStyle style,
                                    const D2D1_COLOR_F& color) {
    if (text.empty() || !(width > 0)) return 0;
    IDWriteTextLayout* layout = CachedLayout(text, style, width, 10000.0f, LayoutKind::Paragraph);
    if (!layout) return 0;
    DWRITE_TEXT_METRICS metrics{};
    const float height = SUCCEEDED(layout->GetMetrics(&metrics)) ? metrics.height : 0.0f;
    ItemHash what = Kind(ItemKind::Paragraph).add(x).add(y).add(width)
                        .add(static_cast<uint64_t>(text_style::Index(style))).add(text);
    if (Emit(Rect{x, y, width, height}, AddColor(what, color)))
        target_->DrawTextLayout(D2D1::Point2F(x, y), layout, BrushOf(color), D2D1_DRAW_TEXT_OPTIONS_NONE);
    return height;
}

float DrawingToolkit::MeasureParagraph(std::wstring_view text, float width, TextStyle style) {
    if (text.empty() || !(width > 0)) return 0;
    IDWriteTextLayout* layout = CachedLayout(text, style, width, 10000.0f, LayoutKind::Paragraph);
    DWRITE_TEXT_METRICS metrics{};
    return layout && SUCCEEDED(layout->GetMetrics(&metrics)) ? metrics.height : 0.0f;
}

float DrawingToolkit::MeasureWidth(std::wstring_view text, TextStyle style) {
    if (text.empty()) return 0;
    IDWriteTextLayout* layout = CachedLayout(text, style, 10000.0f, 1000.0f, LayoutKind::Measure);
    DWRITE_TEXT_METRICS metrics{};
    return layout && SUCCEEDED(layout->GetMetrics(&metrics)) ? metrics.widthIncludingTrailingWhitespace : 0.0f;
}

void DrawingToolkit::DrawGlyph(wchar_t glyph, const Rect& rect, TextStyle style, const D2D1_COLOR_F& color) {
    if (!glyph) return;
    ItemHash what = Kind(ItemKind::Glyph).add(rect).add(static_cast<uint64_t>(glyph))
                        .add(static_cast<uint64_t>(text_style::Index(style)));
    if (!Emit(rect, AddColor(what, color))) return;
    const QuietScope quiet(*this);
    if (!IconFontAvailable() && DrawVectorGlyph(glyph, rect, style, color)) return;
    wchar_t text[2] = {glyph, 0};
    DrawLabel(std::wstring_view(text, 1), rect, style, color, kAlignCenter);
}

// ---- shapes ----

void DrawingToolkit::FillRect(const Rect& rect, const D2D1_COLOR_F& color) {
    if (rect.w <= 0 || rect.h <= 0) return;
    ItemHash what = Kind(ItemKind::Rectangle).add(rect);
    if (Emit(rect, AddColor(what, color))) target_->FillRectangle(ToD2D(rect), BrushOf(color));
}

void DrawingToolkit::FillRounded(const Rect& rect, float radius, const D2D1_COLOR_F& color) {
    if (rect.w <= 0 || rect.h <= 0) return;
    ItemHash what = Kind(ItemKind::Rounded).add(rect).add(radius);
    if (!Emit(rect, AddColor(what, color))) return;
    float r = FitRadius(rect, radius);
    target_->FillRoundedRectangle(D2D1::RoundedRect(ToD2D(rect), r, r), BrushOf(color));
}

void DrawingToolkit::Outline(const Rect& rect, float radius, const D2D1_COLOR_F& color, float width) {
    if (!(width > 0)) return;
    float half = width / 2;
    Rect inner{rect.x + half, rect.y + half, rect.w - width, rect.h - width};
    if (inner.w <= 0 || inner.h <= 0) return;
    ItemHash what = Kind(ItemKind::Outline).add(rect).add(radius).add(width);
    if (!Emit(rect, AddColor(what, color))) return;
    float r = FitRadius(inner, radius - half);
    target_->DrawRoundedRectangle(D2D1::RoundedRect(ToD2D(inner), r, r), BrushOf(color), width);
}

void DrawingToolkit::FillPill(const Rect& rect, const D2D1_COLOR_F& color) { FillRounded(rect, rect.h / 2, color); }

void DrawingToolkit::FillCircle(float cx, float cy, float radius, const D2D1_COLOR_F& color) {
    if (!(radius > 0)) return;
    ItemHash what = Kind(ItemKind::Circle).add(cx).add(cy).add(radius);
    if (!Emit(Rect{cx - radius, cy - radius, 2 * radius, 2 * radius}, AddColor(what, color))) return;
    target_->FillEllipse(D2D1::Ellipse(D2D1::Point2F(cx, cy), radius, radius), BrushOf(color));
}

void DrawingToolkit::Line(float x1, float y1, float x2, float y2, const D2D1_COLOR_F& color, float width,
                          bool dashed) {
    ItemHash what = Kind(ItemKind::Line).add(x1).add(y1).add(x2).add(y2).add(width).add(static_cast<uint64_t>(dashed));
    const Rect box{std::min(x1, x2) - width, std::min(y1, y2) - width, std::fabs(x2 - x1) + 2 * width,
                   std::fabs(y2 - y1) + 2 * width};
    if (!Emit(box, AddColor(what, color))) return;
    target_->DrawLine(D2D1::Point2F(x1, y1), D2D1::Point2F(x2, y2), BrushOf(color), width,
                      dashed ? dashed_.get() : nullptr);
}

// ---- controls ----

void DrawingToolkit::Card(const Rect& rect) {
    FillRounded(rect, 12, colors::Panel);
    Outline(rect, 12, colors::Border, 1);
}

void DrawingToolkit::Badge(const Rect& rect, wchar_t glyph, const D2D1_COLOR_F& color, float alpha,
                           TextStyle iconStyle) {
    FillRounded(rect, 8, WithAlpha(color, alpha));
    DrawGlyph(glyph, rect, iconStyle, WithAlpha(color, 1.0f));
}

bool DrawingToolkit::Button(ActionId id, const Rect& rect, std::wstring_view label, wchar_t glyph, bool primary) {
    AddRegion(id, rect, true);
    const bool hovered = IsHovered(id);
    if (primary) {
        FillRounded(rect, 8, hovered ? colors::AccentHover : colors::Accent);
    } else {
        FillRounded(rect, 8, hovered ? colors::Selection : colors::Panel);
        Outline(rect, 8, colors::Border, 1);
    }
    const TextStyle style = primary ? text_style::LabelStrong : text_style::Label;
    const D2D1_COLOR_F& textColor = primary ? colors::White : colors::PrimaryText;
    const float labelWidth = std::ceil(MeasureWidth(label, style));
    const float glyphRoom = glyph ? 21.0f : 0.0f;
    float x = rect.x + std::max(0.0f, (rect.w - labelWidth - glyphRoom) / 2);
    if (glyph) DrawGlyph(glyph, Rect{x, rect.y + (rect.h - 14) / 2, 14, 14}, text_style::IconSmall, textColor);
    x += glyphRoom;
    DrawLabel(label, Rect{x, rect.y, std::min(labelWidth + 1, rect.right() - x), rect.h}, style, textColor,
              kAlignLeading);
    FocusRing(id, rect, 8);
    return Interactive() && ButtonBehavior(*interaction_, id);
}

bool DrawingToolkit::Toggle(ActionId id, const Rect& rect, bool& value, bool enabled) {
    AddRegion(id, rect, enabled);
    const bool changed = Interactive() && ToggleBehavior(*interaction_, id, value, enabled);
    const bool hovered = enabled && IsHovered(id);
    const float alpha = enabled ? 1.0f : 0.45f;  // a pending change shows the switch dimmed
    FillPill(rect, WithAlpha(value ? (hovered ? colors::AccentHover : colors::Accent) : colors::Track, alpha));
    const float cy = rect.y + rect.h / 2;
    const float knob = 7;
    if (value)
        FillCircle(rect.right() - 4 - knob, cy, knob, WithAlpha(colors::White, alpha));
    else
        FillCircle(rect.x + 4 + knob, cy, knob, WithAlpha(colors::SecondaryText, alpha));
    FocusRing(id, rect, rect.h / 2);
    return changed;
}

void DrawingToolkit::FocusRing(ActionId id, const Rect& rect, float radius) {
    if (!interaction_ || !interaction_->focusVisible || interaction_->focused != id) return;
    Outline(Rect{rect.x - 3, rect.y - 3, rect.w + 6, rect.h + 6}, radius + 3, colors::Accent, 2.0f);
}

float DrawingToolkit::SegmentedWidth(const std::vector<std::wstring>& options) {
    float total = 6;
    for (const auto& o : options) total += std::ceil(MeasureWidth(o, text_style::LabelStrong)) + 24 + 2;
    return total;
}

bool DrawingToolkit::Segmented(ActionId baseId, float x, float y, const std::vector<std::wstring>& options,
                               int& selected, bool alignRight) {
    std::vector<float> widths;
    float total = 6;
    for (const auto& o : options) {
        widths.push_back(std::ceil(MeasureWidth(o, text_style::LabelStrong)));
        total += widths.back() + 24 + 2;
    }
    const float left = alignRight ? x - total : x;
    const Rect back{left, y, total, 36};
    FillRounded(back, 8, colors::WindowBackground);
    Outline(back, 8, colors::Border, 1);
    float sx = left + 3;
    for (size_t i = 0; i < options.size(); ++i) {
        AddRegion(SegmentActionId(baseId, static_cast<int>(i)), Rect{sx, y + 3, widths[i] + 24, 30}, true);
        sx += widths[i] + 24 + 2;
    }
    const bool changed =
        Interactive() && SegmentedBehavior(*interaction_, baseId, static_cast<int>(options.size()), selected);
    sx = left + 3;
    for (size_t i = 0; i < options.size(); ++i) {
        const ActionId id = SegmentActionId(baseId, static_cast<int>(i));
        const Rect seg{sx, y + 3, widths[i] + 24, 30};
        const bool isSelected = selected == static_cast<int>(i);
        if (isSelected) FillRounded(seg, 6, colors::Selection);
        DrawLabel(options[i], seg, isSelected ? text_style::LabelStrong : text_style::Label,
                  isSelected || IsHovered(id) ? colors::PrimaryText : colors::SecondaryText, kAlignCenter);
        FocusRing(id, seg, 6);
        sx += widths[i] + 24 + 2;
    }
    return changed;
}

bool DrawingToolkit::Slider(ActionId id, const Rect& rect, int& value) {
    constexpr int kMin = 60, kMax = 100;
    AddRegion(id, rect, true);
    const bool changed = Interactive() && SliderBehavior(*interaction_, id, rect, kMin, kMax, value);
    const int shown = std::clamp(value, kMin, kMax);
    const float cy = rect.y + rect.h / 2;
    const float knobX = rect.x + rect.w * static_cast<float>(shown - kMin) / static_cast<float>(kMax - kMin);
    const Rect track{rect.x, cy - 2, rect.w, 4};
    FillRounded(track, 2, colors::Track);
    FillRounded(Rect{rect.x, cy - 2, knobX - rect.x, 4}, 2, colors::Accent);
    FillCircle(knobX, cy, 8, colors::Accent);
    FillCircle(knobX, cy, 5, colors::White);
    FocusRing(id, Rect{knobX - 8, cy - 8, 16, 16}, 8);
    return changed;
}

void DrawingToolkit::ProgressBar(const Rect& rect, double fraction, const D2D1_COLOR_F& color) {
    FillPill(rect, colors::Track);
    if (!std::isfinite(fraction)) fraction = 0;
    const float filled = static_cast<float>(std::clamp(fraction, 0.0, 1.0)) * rect.w;
    if (filled > 0.5f) FillPill(Rect{rect.x, rect.y, std::max(rect.h, filled), rect.h}, color);
}

// ---- history chart ----

void DrawingToolkit::FillPathArea(const std::vector<ChartPoint>& points, float bottom, const D2D1_COLOR_F& color,
                                  const Rect& plot) {
    ID2D1Factory* factory = D2DFactory();
    if (!factory || points.size() < 2) return;
    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    ComPtr<ID2D1GradientStopCollection> stops;
    ComPtr<ID2D1LinearGradientBrush> gradient;
    if (SUCCEEDED(factory->CreatePathGeometry(path.put())) && SUCCEEDED(path->Open(sink.put()))) {
        sink->BeginFigure(D2D1::Point2F(points.front().x, bottom), D2D1_FIGURE_BEGIN_FILLED);
        for (const ChartPoint& p : points) sink->AddLine(D2D1::Point2F(p.x, p.y));
        sink->AddLine(D2D1::Point2F(points.back().x, bottom));
        sink->EndFigure(D2D1_FIGURE_END_CLOSED);
        HRESULT closed = sink->Close();
        D2D1_GRADIENT_STOP stop[2] = {{0.0f, WithAlpha(color, 0.22f)}, {1.0f, WithAlpha(color, 0.0f)}};
        if (SUCCEEDED(closed) && RunningUnderWine()) {
            // Wine's Direct2D paints gradient brushes opaque; the same fade is
            // built from horizontal bands of the solid brush instead.
            constexpr int kBands = 12;  // each band fills the whole shape: few are enough
            const float band = plot.h / kBands;
            for (int i = 0; i < kBands; ++i) {
                float alpha = 0.22f * (1.0f - (i + 0.5f) / kBands);
                PushClip(Rect{plot.x - 1, plot.y + band * i, plot.w + 6, band + 0.01f});
                target_->FillGeometry(path.get(), BrushOf(WithAlpha(color, alpha)));
                PopClip();
            }
        } else if (SUCCEEDED(closed) && SUCCEEDED(target_->CreateGradientStopCollection(stop, 2, stops.put())) &&
                   SUCCEEDED(target_->CreateLinearGradientBrush(
                       D2D1::LinearGradientBrushProperties(D2D1::Point2F(0, plot.y), D2D1::Point2F(0, plot.bottom())),
                       stops.get(), gradient.put()))) {
            target_->FillGeometry(path.get(), gradient.get());
        }
    }
}

void DrawingToolkit::StrokePolyline(const std::vector<ChartPoint>& points, const D2D1_COLOR_F& color, float width) {
    ID2D1Factory* factory = D2DFactory();
    if (!factory || points.size() < 2) return;
    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    if (SUCCEEDED(factory->CreatePathGeometry(path.put())) && SUCCEEDED(path->Open(sink.put()))) {
        sink->BeginFigure(D2D1::Point2F(points.front().x, points.front().y), D2D1_FIGURE_BEGIN_HOLLOW);
        for (size_t i = 1; i < points.size(); ++i) sink->AddLine(D2D1::Point2F(points[i].x, points[i].y));
        sink->EndFigure(D2D1_FIGURE_END_OPEN);
        if (SUCCEEDED(sink->Close())) target_->DrawGeometry(path.get(), BrushOf(color), width, round_.get());
    }
}

void DrawingToolkit::HistoryChart(const Rect& rect, const std::vector<HistoryPoint>& samples, double now, double span,
                                  bool fahrenheit) {
    ItemHash what = Kind(ItemKind::Chart).add(rect).add(now).add(span).add(static_cast<uint64_t>(fahrenheit));
    for (const HistoryPoint& p : samples)
        what.add(p.time).add(p.cpuTemp.value_or(-1e300)).add(p.gpuTemp.value_or(-1e300));
    if (!Emit(rect, what)) return;
    const QuietScope quiet(*this);
    const std::optional<Rect> area = ChartPlotArea(rect);
    if (!area) return;
    const Rect plot = *area;
    const ChartRange range = ComputeChartRange(samples, now, span, fahrenheit);

    for (double v : range.gridValues()) {
        const float y = ChartGridY(plot, range, v);
        Line(plot.x, y, plot.right(), y, colors::Border, 1.0f, true);
        DrawLabel(FormatChartValue(v, fahrenheit), Rect{rect.x, y - 8, 32, 16}, text_style::Caption, colors::Muted,
                  kAlignTrailing);
    }

    const float labelY = plot.bottom() + 6;
    if (span > 0) {
        DrawLabel(FormatChartSpan(span), Rect{plot.x, labelY, 80, 16}, text_style::Caption, colors::Muted,
                  kAlignLeading);
        DrawLabel(FormatChartSpan(span / 2), Rect{plot.x + plot.w / 2 - 40, labelY, 80, 16}, text_style::Caption,
                  colors::Muted, kAlignCenter);
    }
    DrawLabel(L"\u015fimdi", Rect{plot.right() - 80, labelY, 80, 16}, text_style::Caption, colors::Muted,
              kAlignTrailing);

    const ChartSeries series = ComputeChartSeries(samples, now, span, fahrenheit, plot, range);
    PushClip(Rect{plot.x, plot.y - 4, plot.w + 4, plot.h + 4 + 8});
    const std::vector<ChartPoint>* lines[2] = {&series.gpu, &series.cpu};
    const D2D1_COLOR_F lineColors[2] = {colors::GpuSeries, colors::Accent};
    for (int i = 0; i < 2; ++i) {
        const auto& points = *lines[i];
        if (points.size() >= 2) {
            FillPathArea(points, plot.bottom(), lineColors[i], plot);
            StrokePolyline(points, lineColors[i], 2.0f);
        }
        if (!points.empty()) FillCircle(points.back().x, points.back().y, 3.5f, lineColors[i]);
    }
    PopClip();
}

void DrawingToolkit::SensorPlot(const Rect& chart, const SensorPlotGeometry& g, const D2D1_COLOR_F& color) {
    if (!Ready() || !(g.plot.w > 0)) return;
    const Rect& plot = g.plot;
    for (size_t i = 0; i < g.gridY.size(); ++i) {
        Line(plot.x, g.gridY[i], plot.right(), g.gridY[i], colors::Border, 1.0f, true);
        DrawLabel(g.gridLabels[i], Rect{chart.x, g.gridY[i] - 8, 48, 16}, text_style::Caption, colors::Muted,
                  kAlignTrailing);
    }
    const float labelY = plot.bottom() + 6;
    DrawLabel(g.spanLabel, Rect{plot.x, labelY, 80, 16}, text_style::Caption, colors::Muted, kAlignLeading);
    DrawLabel(g.halfSpanLabel, Rect{plot.x + plot.w / 2 - 40, labelY, 80, 16}, text_style::Caption, colors::Muted,
              kAlignCenter);
    DrawLabel(L"\u015fimdi", Rect{plot.right() - 80, labelY, 80, 16}, text_style::Caption, colors::Muted,
              kAlignTrailing);

    PushClip(Rect{plot.x, plot.y - 4, plot.w + 4, plot.h + 4 + 8});
    if (g.points.size() >= 2) {
        FillPathArea(g.points, plot.bottom(), color, plot);
        StrokePolyline(g.points, color, 2.0f);
    }
    if (!g.points.empty()) FillCircle(g.points.back().x, g.points.back().y, 3.5f, color);
    PopClip();

    // The extremes: a dashed line each, the value at its right end (above the
    // highest, under the lowest, so the two never cover each other).
    const std::optional<PlotMarker>* markers[2] = {&g.high, &g.low};
    for (int i = 0; i < 2; ++i) {
        if (!*markers[i]) continue;
        const PlotMarker& m = **markers[i];
        Line(plot.x, m.y, plot.right(), m.y, colors::SecondaryText, 1.0f, true);
        const float width = MeasureWidth(m.label, text_style::Caption) + 12;
        const float top = i == 0 ? m.y - 17 : m.y + 2;
        const Rect box{plot.right() - width, std::clamp(top, plot.y - 6, plot.bottom() - 10), width, 15};
        FillRounded(box, 4, WithAlpha(colors::Panel, 0.9f));
        DrawLabel(m.label, box, text_style::Caption, colors::PrimaryText, kAlignCenter);
    }
}

// ---- tray icon ----

HICON DrawingToolkit::RenderTrayIcon(std::wstring_view text, int level) {
    const int size = GetSystemMetricsForDpi(SM_CXSMICON, GetDpiForSystem());
    return RenderTrayIconAt(text, level, size);
}

HICON DrawingToolkit::RenderTrayIconAt(std::wstring_view text, int level, int sizePixels) {
    if (sizePixels <= 0 || sizePixels > 256) return nullptr;
    ID2D1Factory* factory = D2DFactory();
    IWICImagingFactory* wic = WicFactory();
    IDWriteFactory* dw = DWriteFactory();
    if (!factory || !wic || !dw) return nullptr;
    const UINT S = static_cast<UINT>(sizePixels);
    const float s = static_cast<float>(sizePixels);

    D2D1_COLOR_F back = colors::Muted, ink = colors::WindowBackground;
    switch (level) {
        case 0: back = colors::Green; break;
        case 1: back = colors::Amber; break;
        case 2: back = colors::Red; ink = colors::White; break;
        default: break;
    }

    ComPtr<IWICBitmap> bitmap;
    ComPtr<ID2D1RenderTarget> rt;
    ComPtr<ID2D1SolidColorBrush> brush;
    ComPtr<IDWriteTextFormat> format;
    HICON icon = nullptr;
    bool drawn = false;
    if (SUCCEEDED(wic->CreateBitmap(S, S, GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad, bitmap.put())) &&
        SUCCEEDED(factory->CreateWicBitmapRenderTarget(
            bitmap.get(),
            D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_SOFTWARE,
                                         D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
                                         96.0f, 96.0f),
            rt.put())) &&
        SUCCEEDED(rt->CreateSolidColorBrush(back, brush.put()))) {
        rt->BeginDraw();
        rt->Clear(D2D1::ColorF(0, 0, 0, 0));
        rt->FillRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(0, 0, s, s), s * 0.22f, s * 0.22f), brush.get());

        auto widthAt = [&](float fontSize) -> float {
            const ComPtr<IDWriteTextFormat> f =
                CreateFormat(ChosenFontFamilies().trayNumber, fontSize, DWRITE_FONT_WEIGHT_BOLD);
            if (!f) return 1e9f;
            ComPtr<IDWriteTextLayout> layout;
            float width = 1e9f;
            if (SUCCEEDED(dw->CreateTextLayout(text.data(), Len(text), f.get(), 1000.0f, 1000.0f, layout.put()))) {
                layout->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
                DWRITE_TEXT_METRICS m{};
                if (SUCCEEDED(layout->GetMetrics(&m))) width = m.width;
            }
            return width;
        };
        const float fontSize = text.empty() ? 0.0f : FitTrayFontSize(s, widthAt);
        if (fontSize > 0) format = CreateFormat(ChosenFontFamilies().trayNumber, fontSize, DWRITE_FONT_WEIGHT_BOLD);
        if (format) {
            format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
            format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
            format->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
            rt->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
            brush->SetColor(ink);
            rt->DrawText(text.data(), Len(text), format.get(), D2D1::RectF(0, 0, s, s), brush.get(),
                         D2D1_DRAW_TEXT_OPTIONS_NONE);
        }
        drawn = SUCCEEDED(rt->EndDraw());
    }

    if (drawn) {
        std::vector<uint8_t> pixels(static_cast<size_t>(S) * S * 4);
        if (SUCCEEDED(bitmap->CopyPixels(nullptr, S * 4, static_cast<UINT>(pixels.size()), pixels.data()))) {
            BITMAPV5HEADER header{};
            header.bV5Size = sizeof(header);
            header.bV5Width = sizePixels;
            header.bV5Height = -sizePixels;  // top-down
            header.bV5Planes = 1;
            header.bV5BitCount = 32;
            header.bV5Compression = BI_BITFIELDS;
            header.bV5RedMask = 0x00FF0000;
            header.bV5GreenMask = 0x0000FF00;
            header.bV5BlueMask = 0x000000FF;
            header.bV5AlphaMask = 0xFF000000;
            void* bits = nullptr;
            HDC screen = GetDC(nullptr);
            HBITMAP color = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits,
                                             nullptr, 0);
            if (screen) ReleaseDC(nullptr, screen);
            // Monochrome mask: rows padded to 16 bits, all zero (the alpha channel decides).
            std::vector<uint8_t> maskBits(static_cast<size_t>((S + 15) / 16 * 2) * S, 0);
            HBITMAP mask = CreateBitmap(sizePixels, sizePixels, 1, 1, maskBits.data());
            if (color && bits && mask) {
                std::memcpy(bits, pixels.data(), pixels.size());
                GdiFlush();
                ICONINFO info{};
                info.fIcon = TRUE;
                info.hbmMask = mask;
                info.hbmColor = color;
                icon = CreateIconIndirect(&info);
            }
            if (color) DeleteObject(color);
            if (mask) DeleteObject(mask);
        }
    }
    return icon;
}

}  // namespace kalorix
