// Drawing toolkit and tray icon under Windows (or Wine): drawn into the
// off-screen WIC target and checked by pixel, and the tray's shell calls
// recorded. What the pages and the tray show is decided and tested natively.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>
#include <vector>

#include "base/scoped_win.h"
#include "test_util_win.h"
#include "ui/toolkit_win.h"
#include "ui/tray_win.h"

namespace kalorix {
namespace {

bool Near(const uint8_t* bgra, uint32_t rgb, int tol) {
    return std::abs(bgra[2] - int((rgb >> 16) & 0xFF)) <= tol && std::abs(bgra[1] - int((rgb >> 8) & 0xFF)) <= tol &&
           std::abs(bgra[0] - int(rgb & 0xFF)) <= tol;
}

class ToolkitTest : public ::testing::Test {
protected:
    ComApartment com_;
    DrawingToolkit tk_;
    std::vector<uint8_t> px_;
    UINT w_ = 0, h_ = 0;

    void Start(float w, float h) {
        ASSERT_TRUE(tk_.CreateOffscreen(w, h, 1.0f));
        ASSERT_TRUE(tk_.BeginFrame());
        tk_.Clear(colors::WindowBackground);
    }
    void Finish() { ASSERT_TRUE(tk_.EndFrame() == S_OK && tk_.CopyOffscreenPixels(px_, w_, h_)); }
    bool At(UINT x, UINT y, uint32_t rgb, int tol = 3) const { return Near(&px_[(size_t(y) * w_ + x) * 4], rgb, tol); }
    // Pixels in [x0,x1) x [y0,y1) that differ from the background.
    int Ink(UINT x0, UINT y0, UINT x1, UINT y1, int tol = 24) const {
        int n = 0;
        for (UINT y = y0; y < std::min(y1, h_); ++y)
            for (UINT x = x0; x < std::min(x1, w_); ++x) n += At(x, y, palette::kWindowBackground, tol) ? 0 : 1;
        return n;
    }
};

TEST_F(ToolkitTest, LabelIsOneLineClippedToItsBox) {
    Start(300, 100);
    tk_.DrawLabel(L"Bu metin kutusuna sığmayacak kadar uzun bir etiket metni", Rect{20, 30, 120, 20}, text_style::Body,
                  colors::PrimaryText, kAlignLeading);
    tk_.DrawLabel(L"x", Rect{0, 0, 0, 20}, text_style::Body, colors::Red, kAlignLeading);  // nothing
    Finish();
    EXPECT_GT(Ink(20, 30, 140, 50), 20);
    EXPECT_EQ(Ink(141, 0, 300, 100, 4) + Ink(0, 0, 300, 29, 4), 0);  // nothing right of or above the box
    EXPECT_EQ(Ink(0, 51, 300, 100, 4), 0);                            // no second line
    EXPECT_FALSE(tk_.CreateOffscreen(0, 10, 1.0f));
}

TEST_F(ToolkitTest, ControlsRegisterRegionsAndAnswerClicksAndDrags) {
    InteractionState state;
    tk_.SetInteraction(&state);
    tk_.SetRegionOffset(-50);
    tk_.SetRegionClip(36, 400);
    const ActionId run = MakeActionId(L"tests/run/0");
    const ActionId segments = MakeActionId(L"set/interval"), slider = MakeActionId(L"set/warning");
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
    EXPECT_FLOAT_EQ(state.building[0].top, 50);
    EXPECT_TRUE(warning == 90 && state.dragging);

    state.building.clear();
    state.clicked = SegmentActionId(segments, 2);
    Start(500, 300);
    EXPECT_TRUE(tk_.Segmented(segments, 490, 150, {L"0,5 sn", L"1 sn", L"2 sn", L"5 sn"}, selected, true));
    Finish();
    EXPECT_TRUE(selected == 2 && Ink(491, 150, 500, 190, 2) == 0);  // right-aligned: nothing right of x = 490
}

TEST_F(ToolkitTest, ImageResourcesDecodeAndAreDroppedWithTheDevice) {
    Start(500, 300);
    ID2D1Bitmap* banner = tk_.Bitmap(kBannerResource);
    ASSERT_NE(banner, nullptr);
    EXPECT_TRUE(tk_.Bitmap(kBannerResource) == banner && tk_.Bitmap(999) == nullptr);  // cached; no such resource
    tk_.DrawBitmap(kAppIconPng, Rect{10, 10, 128, 128});
    tk_.DrawBitmap(999, Rect{0, 200, 100, 100});  // skipped
    Finish();
    EXPECT_GT(Ink(10, 10, 138, 138, 12), 5000);
    tk_.ReleaseDeviceResources();
    EXPECT_EQ(tk_.Bitmap(kBannerResource), nullptr);
}

// ---- TrayIcon with a recording shell ----

SensorSnapshot Snap(double cpu) {
    SensorSnapshot s;
    return s.cpuTempShown = cpu, s;
}

struct ShellCall { DWORD message; NOTIFYICONDATAW data; };

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

    ComApartment com_;
    TrayIcon tray_;
    std::vector<ShellCall> calls_;
    bool failAdd_ = false;
    Settings settings_;
    HWND window_ = reinterpret_cast<HWND>(0x1234);
};

// Add fills the notify data and sets the version; the icon is rebuilt only when
// the number or the level changes.
TEST_F(TrayTest, AddThenIconRebuiltOnlyWhenNumberOrLevelChanges) {
    ASSERT_TRUE(tray_.Add(window_));
    ASSERT_EQ(calls_.size(), 2u);
    const NOTIFYICONDATAW& add = calls_[0].data;
    EXPECT_EQ(std::make_tuple(calls_[0].message, add.cbSize, add.uFlags, add.uCallbackMessage, calls_[1].data.uVersion),
              std::make_tuple(DWORD(NIM_ADD), DWORD(976), UINT(0x87), UINT(0x8002), UINT(NOTIFYICON_VERSION_4)));
    EXPECT_NE(add.hIcon, nullptr);
    tray_.Refresh(Snap(56.2), settings_);
    EXPECT_EQ(tray_.iconKey(), L"56|0");
    HICON first = tray_.icon();
    ASSERT_NE(first, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(first, &info));
    BITMAP bm{};
    GetObjectW(info.hbmColor, sizeof bm, &bm);
    DeleteObject(info.hbmColor), DeleteObject(info.hbmMask);
    EXPECT_EQ(bm.bmWidth, GetSystemMetricsForDpi(SM_CXSMICON, GetDpiForSystem()));  // the system's tray size
    EXPECT_EQ(calls_.back().data.uFlags, 0x86u);
    tray_.Refresh(Snap(55.8), settings_);  // still "56", level 0
    EXPECT_EQ(tray_.icon(), first);
    tray_.Refresh(Snap(79.6), settings_);  // "80" on amber
    EXPECT_EQ(tray_.iconKey(), L"80|1");
    EXPECT_NE(tray_.icon(), first);
    tray_.Update(L"", 0, std::wstring(300, L'a'));  // cut to fit szTip
    EXPECT_EQ(wcslen(calls_.back().data.szTip), 127u);
    EXPECT_EQ(DrawingToolkit::RenderTrayIconAt(L"56", 0, 0), nullptr);
    tray_.Remove();
    EXPECT_EQ(Count(NIM_DELETE), 1);
}

TEST_F(TrayTest, BalloonsHintOnceAndOverheatAsAllowed) {
    tray_.Add(window_);
    tray_.HideToTray(nullptr, nullptr);
    tray_.HideToTray(nullptr, nullptr);
    EXPECT_EQ(Count(NIM_MODIFY, NIF_INFO), 1);
    EXPECT_STREQ(calls_.back().data.szInfoTitle, L"Kalorix arka planda çalışıyor");
    EXPECT_TRUE(tray_.MaybeNotifyOverheat(Snap(91), settings_, 10000));
    EXPECT_EQ(calls_.back().data.dwInfoFlags, DWORD(NIIF_WARNING));
}

TEST_F(TrayTest, FailedAddSkipsEveryLaterShellCallAndTaskbarRestartAddsAgain) {
    failAdd_ = true;
    EXPECT_FALSE(tray_.Add(window_));
    const size_t afterAdd = calls_.size();
    tray_.Refresh(Snap(50), settings_);
    EXPECT_FALSE(tray_.ShowBalloon(L"t", L"x", 0));
    EXPECT_EQ(calls_.size(), afterAdd);

    failAdd_ = false;
    tray_.OnTaskbarCreated(window_, Snap(62), settings_);
    ASSERT_GE(calls_.size(), afterAdd + 3);
    EXPECT_EQ(calls_[afterAdd].message, DWORD(NIM_ADD));
    EXPECT_NE(calls_[afterAdd].data.hIcon, nullptr);
    EXPECT_EQ(calls_.back().message, DWORD(NIM_MODIFY));
    EXPECT_EQ(tray_.iconKey(), L"62|0");
}

TEST(TrayMenu, ItemsIdsAndChecks) {
    HMENU menu = TrayIcon::BuildMenu(L"CPU 56 °C", true, false);
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    EXPECT_TRUE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED);
    EXPECT_EQ(GetMenuItemID(menu, 6), 4u);
    EXPECT_EQ(GetMenuState(menu, 2, MF_BYCOMMAND) & MF_CHECKED, MF_CHECKED);  // the two switches as given
    EXPECT_EQ(GetMenuState(menu, 3, MF_BYCOMMAND) & MF_CHECKED, 0u);
    EXPECT_EQ(GetMenuDefaultItem(menu, FALSE, 0), 1u);
    DestroyMenu(menu);
}

}  // namespace
}  // namespace kalorix
