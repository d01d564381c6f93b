// Drawing toolkit and tray icon under Windows (or Wine): drawn into the
// off-screen WIC target and checked by pixel, and the tray's shell calls
// recorded. What the pages and the tray show is decided and tested natively.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "base/scoped_win.h"
#include "test_util_win.h"
#include "ui/toolkit_win.h"
#include "ui/tray_win.h"

namespace kalorix {
namespace {


struct Bgra {
    uint8_t b, g, r, a;
};

bool Near(Bgra p, uint32_t rgb, int tol) {
    return std::abs(p.r - static_cast<int>((rgb >> 16) & 0xFF)) <= tol &&
           std::abs(p.g - static_cast<int>((rgb >> 8) & 0xFF)) <= tol && std::abs(p.b - static_cast<int>(rgb & 0xFF)) <= tol;
}

// Pixels of the toolkit's off-screen bitmap, straight from WIC.
class Pixels {
public:
    explicit Pixels(const DrawingToolkit& tk) { ok_ = tk.CopyOffscreenPixels(data_, w_, h_); }
    bool ok() const { return ok_; }
    UINT width() const { return w_; }
    UINT height() const { return h_; }
    Bgra at(UINT x, UINT y) const {
        const uint8_t* p = &data_[(static_cast<size_t>(y) * w_ + x) * 4];
        return {p[0], p[1], p[2], p[3]};
    }
    // Pixels in [x0,x1) x [y0,y1) that differ from the colour by more than tol per channel.
    int CountDifferent(UINT x0, UINT y0, UINT x1, UINT y1, uint32_t rgb, int tol = 8) const {
        int n = 0;
        for (UINT y = y0; y < std::min(y1, h_); ++y)
            for (UINT x = x0; x < std::min(x1, w_); ++x) n += Near(at(x, y), rgb, tol) ? 0 : 1;
        return n;
    }

private:
    std::vector<uint8_t> data_;
    UINT w_ = 0, h_ = 0;
    bool ok_ = false;
};

class ToolkitTest : public ::testing::Test {
protected:
    ComApartment com_;
    DrawingToolkit tk_;

    // Off-screen target cleared to the window background, frame begun.
    void Start(float w, float h, float scale = 1.0f) {
        ASSERT_TRUE(tk_.CreateOffscreen(w, h, scale));
        ASSERT_TRUE(tk_.BeginFrame());
        tk_.Clear(colors::WindowBackground);
    }
    void Finish() { ASSERT_EQ(tk_.EndFrame(), S_OK); }
    int Ink(UINT x0, UINT y0, UINT x1, UINT y1, int tol = 24) {
        return Pixels(tk_).CountDifferent(x0, y0, x1, y1, palette::kWindowBackground, tol);
    }
};

TEST_F(ToolkitTest, OffscreenTargetUsesScaleForPixelsAndDips) {
    Start(100, 50, 2.0f);
    EXPECT_FLOAT_EQ(tk_.size().width, 100);
    tk_.FillRect(Rect{0, 0, 50, 25}, colors::Red);
    Finish();
    Pixels px(tk_);
    ASSERT_TRUE(px.ok());
    EXPECT_EQ(px.width(), 200u);
    EXPECT_EQ(px.height(), 100u);
    EXPECT_TRUE(Near(px.at(99, 49), palette::kRed, 2));
    EXPECT_TRUE(Near(px.at(100, 50), palette::kWindowBackground, 2));
    EXPECT_EQ(px.at(150, 80).a, 255);
    std::string png;
    ASSERT_TRUE(tk_.EncodeOffscreenPng(png));
    EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(tk_.CreateOffscreen(0, 10, 1.0f));
}

TEST_F(ToolkitTest, EveryTextStyleDrawsInk) {
    Start(420, 30 * text_style::kCount);
    for (int i = 0; i < text_style::kCount; ++i) {
        const TextStyle style = static_cast<TextStyle>(i);
        if (i >= text_style::Index(text_style::IconNav) && i <= text_style::Index(text_style::IconCaption))
            tk_.DrawGlyph(L'\uE713', Rect{10, 30.0f * i, 30, 30}, style, colors::PrimaryText);
        else
            tk_.DrawLabel(L"Sıcaklık 56 °C", Rect{10, 30.0f * i, 400, 30}, style, colors::PrimaryText, kAlignLeading);
    }
    Finish();
    for (int i = 0; i < text_style::kCount; ++i) EXPECT_GT(Ink(0, 30 * i, 420, 30 * i + 30), 8) << "style " << i;
}

TEST_F(ToolkitTest, LabelIsOneLineClippedToItsBox) {
    Start(300, 100);
    const std::wstring longText = L"Bu metin kutusuna sığmayacak kadar uzun bir etiket metni";
    tk_.DrawLabel(longText, Rect{20, 30, 120, 20}, text_style::Body, colors::PrimaryText, kAlignLeading);
    tk_.DrawLabel(L"x", Rect{0, 0, 0, 20}, text_style::Body, colors::Red, kAlignLeading);  // nothing
    Finish();
    EXPECT_GT(Ink(20, 30, 140, 50), 20);
    // Nothing outside the box: no overflow to the right, no second line.
    EXPECT_EQ(Ink(141, 0, 300, 100, 4), 0);
    EXPECT_EQ(Ink(0, 51, 300, 100, 4), 0);
    EXPECT_EQ(Ink(0, 0, 300, 29, 4), 0);
    EXPECT_EQ(tk_.MeasureParagraph(L"x", 0, text_style::Body), 0);
}

TEST_F(ToolkitTest, ControlsRegisterRegionsAndAnswerClicksAndDrags) {
    InteractionState state;
    tk_.SetInteraction(&state);
    tk_.SetRegionOffset(-50);
    tk_.SetRegionClip(36, 400);
    const ActionId run = MakeActionId(L"tests/run/0"), toggle = MakeActionId(L"set/tray");
    const ActionId segments = MakeActionId(L"set/interval"), slider = MakeActionId(L"set/warning");
    bool on = false;
    int selected = 0, warning = 85;
    state.clicked = run;
    state.pressed = slider;
    state.pointerX = 10 + 200 * 0.75f;  // 60 + 40 * 0.75 = 90
    Start(500, 300);
    EXPECT_TRUE(tk_.Button(run, Rect{10, 100, 150, 36}, L"Evet, test et", L'\uE768', true));
    tk_.Button(MakeActionId(L"hidden"), Rect{10, 10, 100, 30}, L"Gizli", 0, false);  // above the clip
    EXPECT_TRUE(tk_.Slider(slider, Rect{10, 240, 200, 24}, warning));
    Finish();
    ASSERT_EQ(state.building.size(), 2u);
    EXPECT_EQ(state.building[0].id, run);
    EXPECT_FLOAT_EQ(state.building[0].top, 50);
    EXPECT_EQ(warning, 90);
    EXPECT_TRUE(state.dragging);
    EXPECT_TRUE(Near(Pixels(tk_).at(14, 118), palette::kAccent, 3));  // the primary button

    // Next pass: a segment click and a toggle click.
    state.building.clear();
    state.clicked = SegmentActionId(segments, 2);
    Start(500, 300);
    EXPECT_TRUE(tk_.Segmented(segments, 490, 150, {L"0,5 sn", L"1 sn", L"2 sn", L"5 sn"}, selected, true));
    Finish();
    EXPECT_EQ(selected, 2);
    EXPECT_EQ(Ink(491, 150, 500, 190, 2), 0);  // right-aligned: nothing right of x = 490
    state.clicked = toggle;
    Start(500, 300);
    EXPECT_TRUE(tk_.Toggle(toggle, Rect{10, 10, 44, 24}, on));
    Finish();
    EXPECT_TRUE(on);
    EXPECT_TRUE(Near(Pixels(tk_).at(20, 22), palette::kAccent, 3));  // the toggle's track is on
}

TEST_F(ToolkitTest, HistoryChartDrawsSeriesAndNothingInATinyBox) {
    std::vector<HistoryPoint> samples;
    for (int i = 0; i <= 300; i += 2) {
        HistoryPoint p;
        p.time = 1000 + i;
        p.cpuTemp = 55 + 10 * std::sin(i / 25.0);
        p.gpuTemp = 45 + 5 * std::cos(i / 40.0);
        samples.push_back(p);
    }
    Start(500, 222);
    tk_.HistoryChart(Rect{0, 0, 500, 222}, samples, 1300, 300, false);
    Finish();
    EXPECT_GT(Ink(40, 0, 500, 200), 200);
    Start(60, 40);
    tk_.HistoryChart(Rect{0, 0, 60, 40}, samples, 1300, 300, false);
    Finish();
    EXPECT_EQ(Ink(0, 0, 60, 40, 2), 0);
}

TEST_F(ToolkitTest, ImageResourcesDecodeAndAreDroppedWithTheDevice) {
    Start(500, 300);
    ID2D1Bitmap* banner = tk_.Bitmap(kBannerResource);
    ASSERT_NE(banner, nullptr);
    EXPECT_EQ(banner->GetPixelSize().width, 436u);
    EXPECT_EQ(tk_.Bitmap(kBannerResource), banner);  // cached
    EXPECT_EQ(tk_.Bitmap(999), nullptr);
    tk_.DrawBitmap(kAppIconPng, Rect{10, 10, 128, 128});
    tk_.DrawBitmap(999, Rect{0, 200, 100, 100});  // skipped
    Finish();
    EXPECT_GT(Ink(10, 10, 138, 138, 12), 5000);
    EXPECT_EQ(Ink(0, 200, 100, 300, 2), 0);
    tk_.ReleaseDeviceResources();
    EXPECT_EQ(tk_.Bitmap(kBannerResource), nullptr);
}

// Width and the alpha of the top-left pixel of an icon's colour bitmap.
std::pair<int, int> IconSizeAndCornerAlpha(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof bm, &bm);
    BITMAPINFO bi{};
    bi.bmiHeader = {static_cast<DWORD>(sizeof(BITMAPINFOHEADER)), bm.bmWidth, -bm.bmHeight, 1, 32, BI_RGB};
    std::vector<uint8_t> bits(static_cast<size_t>(bm.bmWidth) * bm.bmHeight * 4);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, bm.bmHeight, bits.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {bm.bmWidth, bits[3]};
}

TEST(TrayIconRendering, SystemSizeRoundedCornersAndNoIconForNoSize) {
    ComApartment com;
    HICON icon = DrawingToolkit::RenderTrayIcon(L"100", 2);
    ASSERT_NE(icon, nullptr);
    const auto [size, cornerAlpha] = IconSizeAndCornerAlpha(icon);
    EXPECT_EQ(size, GetSystemMetricsForDpi(SM_CXSMICON, GetDpiForSystem()));
    EXPECT_LT(cornerAlpha, 64);
    DestroyIcon(icon);
    EXPECT_EQ(DrawingToolkit::RenderTrayIconAt(L"56", 0, 0), nullptr);
}

// ---- TrayIcon with a recording shell ----

struct ShellCall {
    DWORD message;
    NOTIFYICONDATAW data;
};

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override {
        tray_.SetShellNotifyForTest([this](DWORD m, NOTIFYICONDATAW* d) {
            calls_.push_back({m, *d});
            return (m == NIM_ADD && failAdd_) ? FALSE : TRUE;
        });
        settings_.WarningTemp = 85;
    }
    int Count(DWORD message, UINT flag = 0) const {
        int n = 0;
        for (const auto& c : calls_) n += (c.message == message && (flag == 0 || (c.data.uFlags & flag))) ? 1 : 0;
        return n;
    }
    SensorSnapshot Snap(std::optional<double> cpu) {
        SensorSnapshot s;
        s.cpuTempShown = cpu;
        return s;
    }

    ComApartment com_;
    TrayIcon tray_;
    std::vector<ShellCall> calls_;
    bool failAdd_ = false;
    Settings settings_;
    HWND window_ = reinterpret_cast<HWND>(0x1234);
};

TEST_F(TrayTest, AddFillsTheNotifyDataAndSetsVersion) {
    ASSERT_TRUE(tray_.Add(window_));
    ASSERT_EQ(calls_.size(), 2u);
    const NOTIFYICONDATAW& add = calls_[0].data;
    EXPECT_EQ(calls_[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(add.cbSize, 976u);
    EXPECT_EQ(add.uFlags, 0x87u);
    EXPECT_EQ(add.uCallbackMessage, 0x8002u);
    EXPECT_EQ(add.hWnd, window_);
    EXPECT_NE(add.hIcon, nullptr);  // icon resource 101
    EXPECT_EQ(calls_[1].message, static_cast<DWORD>(NIM_SETVERSION));
    EXPECT_EQ(calls_[1].data.uVersion, static_cast<UINT>(NOTIFYICON_VERSION_4));
    tray_.Remove();
    EXPECT_EQ(Count(NIM_DELETE), 1);
    EXPECT_FALSE(tray_.added());
}

TEST_F(TrayTest, IconIsRebuiltOnlyWhenNumberOrLevelChanges) {
    tray_.Add(window_);
    tray_.Refresh(Snap(56.2), settings_);
    EXPECT_EQ(tray_.iconKey(), L"56|0");
    HICON first = tray_.icon();
    ASSERT_NE(first, nullptr);
    ASSERT_FALSE(calls_.empty());
    EXPECT_EQ(calls_.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(calls_.back().data.uFlags, 0x86u);
    tray_.Refresh(Snap(55.8), settings_);  // still "56", level 0
    EXPECT_EQ(tray_.icon(), first);
    tray_.Refresh(Snap(79.6), settings_);  // "80" on amber
    EXPECT_EQ(tray_.iconKey(), L"80|1");
    EXPECT_NE(tray_.icon(), first);
    tray_.Update(L"", 0, std::wstring(300, L'a'));  // cut to fit szTip
    EXPECT_EQ(wcslen(calls_.back().data.szTip), 127u);
}

// Balloons go out with NIF_INFO: the hint once, the overheat warning as its limiter allows.
TEST_F(TrayTest, BalloonsHintOnceAndOverheatAsAllowed) {
    tray_.Add(window_);
    tray_.HideToTray(nullptr, nullptr);
    tray_.HideToTray(nullptr, nullptr);
    EXPECT_EQ(Count(NIM_MODIFY, NIF_INFO), 1);
    EXPECT_STREQ(calls_.back().data.szInfoTitle, L"Kalorix arka planda çalışıyor");
    EXPECT_TRUE(tray_.MaybeNotifyOverheat(Snap(91), settings_, 10000));
    EXPECT_FALSE(tray_.MaybeNotifyOverheat(Snap(91), settings_, 11000));
    EXPECT_EQ(Count(NIM_MODIFY, NIF_INFO), 2);
    EXPECT_EQ(calls_.back().data.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
    // Below the limit or with notifications off: nothing, and no tick is used up.
    EXPECT_FALSE(tray_.MaybeNotifyOverheat(Snap(60), settings_, 900000));
    settings_.TrayNotifications = false;
    EXPECT_FALSE(tray_.MaybeNotifyOverheat(Snap(91), settings_, 900000));
    EXPECT_EQ(tray_.overheatLimiter().lastTick(), 10000u);
}

TEST_F(TrayTest, FailedAddSkipsEveryLaterShellCall) {
    failAdd_ = true;
    EXPECT_FALSE(tray_.Add(window_));
    size_t afterAdd = calls_.size();
    tray_.Refresh(Snap(50), settings_);
    EXPECT_FALSE(tray_.ShowBalloon(L"t", L"x", 0));
    tray_.Remove();
    EXPECT_EQ(calls_.size(), afterAdd);
}

TEST_F(TrayTest, TaskbarRestartAddsAgainAndRefreshes) {
    tray_.Add(window_, 0x8002);
    tray_.Refresh(Snap(61), settings_);
    calls_.clear();
    tray_.OnTaskbarCreated(window_, Snap(62), settings_);
    ASSERT_GE(calls_.size(), 3u);
    EXPECT_EQ(calls_[0].message, static_cast<DWORD>(NIM_ADD));
    EXPECT_NE(calls_[0].data.hIcon, nullptr);  // the current (rendered) icon
    EXPECT_EQ(calls_.back().message, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(tray_.iconKey(), L"62|0");
    EXPECT_NE(TrayIcon::TaskbarCreatedMessage(), 0u);
}

TEST(TrayMenu, ItemsIdsAndChecks) {
    HMENU menu = TrayIcon::BuildMenu(L"CPU 56 °C", true, false);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    EXPECT_TRUE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_EQ(GetMenuItemID(menu, 6), 4u);
    EXPECT_TRUE(GetMenuState(menu, 2, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(GetMenuState(menu, 3, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 1u);
    wchar_t text[64] = {};
    GetMenuStringW(menu, 1, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Kalorix'i aç");
    DestroyMenu(menu);
}

TEST(TrayShell, RealShellDoesNotBreakWithoutATaskbar) {
    ComApartment com;
    const test::MessageWindow window;
    const HWND hwnd = window.get();
    ASSERT_NE(hwnd, nullptr);
    {
        TrayIcon tray;
        tray.Add(hwnd);  // succeeds or not depending on the desktop; both are fine
        SensorSnapshot s;
        s.cpuTempShown = 48;
        tray.Refresh(s, Settings{});
        tray.ShowBalloon(L"Kalorix", L"deneme", 0);
    }  // removed by the destructor
}

}  // namespace
}  // namespace kalorix
