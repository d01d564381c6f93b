// The main window with the scripted demo sensors: the sampler interval
// policy through tray start, show and hide, the keyboard rules, the frame hit
// test and the close rules. Works on the prefix's settings file and puts it back.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "app/elevation_win.h"
#include "store/settings.h"
#include "base/scoped_win.h"
#include "sensors/text.h"
#include "test_util_win.h"
#include "ui/main_window_win.h"

namespace kalorix {
namespace {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) { return test::WaitUntil(done, timeoutMs, true); }

// A key press as the window sees it, with or without Ctrl held.
void Press(HWND hwnd, WPARAM key, bool ctrl) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    SetKeyboardState(keys);
    SendMessageW(hwnd, WM_KEYDOWN, key, 0);
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

class MainWindowTest : public ::testing::Test {
protected:
    void TearDown() override { window_.reset(), PumpUntil([] { return false; }, 100); }
    MainWindow& Start(const Settings& settings, bool hidden) {
        SaveSettings(settings);
        window_ = std::make_unique<MainWindow>(GetModuleHandleW(nullptr));
        EXPECT_TRUE(window_->create(hidden));
        return *window_;
    }
    // Shown, with a first snapshot.
    MainWindow& StartReady(const Settings& settings) {
        MainWindow& w = Start(settings, false);
        EXPECT_TRUE(PumpUntil([&] { return w.snapshotReady(); }, 15000)) << "no snapshot from the demo sensors";
        return w;
    }
    float Scale() const { return static_cast<float>(GetDpiForWindow(window_->hwnd())) / 96.0f; }
    static Settings Quiet() {
        Settings s;
        s.FirstTestOffered = true, s.TrayNotifications = false;
        return s;
    }

    test::ScopedEnv sensors_{L"KALORIX_FAKE_SENSORS", L"demo"};
    test::SavedFiles settingsFile_{{SettingsPath(false)}, false};
    std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, TraySamplingRateUntilShownAndAfterHiding) {
    Settings s = Quiet();
    s.UpdateIntervalMs = 500;
    MainWindow& w = Start(s, true);
    EXPECT_FALSE(IsWindowVisible(w.hwnd()));
    EXPECT_EQ(w.samplerInterval(), 2000);  // tray start: at least 2 s
    ASSERT_TRUE(PumpUntil([&] { return w.snapshotReady(); }, 15000));
    PostMessageW(w.hwnd(), ShowMessageId(), 0, 0);
    ASSERT_TRUE(PumpUntil([&] { return w.shown(); }, 5000));
    EXPECT_TRUE(IsWindowVisible(w.hwnd()) && w.samplerInterval() == 500);
    SendMessageW(w.hwnd(), WM_CLOSE, 0, 0);  // MinimizeToTray: only hides
    EXPECT_TRUE(IsWindow(w.hwnd()) && !IsWindowVisible(w.hwnd()) && w.samplerInterval() == 2000);
    SendMessageW(w.hwnd(), kMsgTray, 0, MAKELPARAM(NIN_SELECT, 0));  // the tray icon's click
    EXPECT_TRUE(w.shown() && w.samplerInterval() == 500);
}

// The custom frame's hit test; the minimum size at 175 % never more than the
// work area; closing without the tray ends the window and the message loop.
TEST_F(MainWindowTest, FrameHitTestMinimumSizeAndCloseWithoutTray) {
    Settings s = Quiet();
    s.MinimizeToTray = false;
    MainWindow& w = Start(s, false);
    const HWND hwnd = w.hwnd();
    PumpUntil([] { return false; }, 100);
    RECT r;
    ASSERT_TRUE(GetWindowRect(hwnd, &r));
    auto hit = [&](int x, int y) { return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(r.left + x, r.top + y)); };
    EXPECT_EQ(hit(300, 20), HTCAPTION);
    EXPECT_EQ(hit(r.right - r.left - 10, 20), HTCLOSE);
    EXPECT_EQ(hit(r.right - r.left - 2, r.bottom - r.top - 2), HTBOTTOMRIGHT);

    MONITORINFO monitor{sizeof(monitor)};
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor));
    const RECT& work = monitor.rcWork;
    RECT suggested{work.left, work.top, work.left + 1200, work.top + 800};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(168, 168), reinterpret_cast<LPARAM>(&suggested));
    MINMAXINFO info{};
    SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    EXPECT_EQ(info.ptMinTrackSize.x, std::min<LONG>(1715, work.right - work.left));  // 980 x 640 DIPs at 175 %
    EXPECT_EQ(info.ptMinTrackSize.y, std::min<LONG>(1120, work.bottom - work.top));

    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(hwnd));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// Press and release; the next paint pass performs the action.
void Click(HWND hwnd, int x, int y) {
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    UpdateWindow(hwnd);  // the paint pass that consumes the click
}

TEST_F(MainWindowTest, SidebarClicksUnlessThePromptIsUpAndALostTargetRedrawn) {
    Settings s = Quiet();
    s.FirstTestOffered = false;
    MainWindow& w = StartReady(s);
    InvalidateRect(w.hwnd(), nullptr, FALSE);
    UpdateWindow(w.hwnd());  // a pass with the prompt on top
    const float k = Scale();
    const int x = static_cast<int>(100 * k), sensorsY = static_cast<int>((116 + 44 + 20) * k);
    Click(w.hwnd(), x, sensorsY);  // the prompt's backdrop takes it
    EXPECT_EQ(w.page(), 0);
    SendMessageW(w.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);  // dismissed for good
    EXPECT_TRUE(LoadSettings().FirstTestOffered);
    UpdateWindow(w.hwnd());
    Click(w.hwnd(), x, sensorsY);
    EXPECT_EQ(w.page(), 1);

    // A lost render target is drawn again at once.
    UpdateWindow(w.hwnd());
    RECT dirty{};
    ASSERT_FALSE(GetUpdateRect(w.hwnd(), &dirty, FALSE));
    w.toolkit().InjectNextEndFrameResult(static_cast<HRESULT>(D2DERR_RECREATE_TARGET));
    InvalidateRect(w.hwnd(), nullptr, FALSE);
    UpdateWindow(w.hwnd());
    EXPECT_FALSE(w.toolkit().hasTarget());
    EXPECT_TRUE(GetUpdateRect(w.hwnd(), &dirty, FALSE)) << "no repaint was asked for after the lost target";
    UpdateWindow(w.hwnd());
    EXPECT_TRUE(w.toolkit().hasTarget());
}

const HitRegion* RegionOf(const MainWindow& w, const wchar_t* action) {
    for (const HitRegion& r : w.interaction().active)
        if (r.id == MakeActionId(std::wstring_view(action))) return &r;
    return nullptr;
}

// A new snapshot invalidates only what it changes: the readings and the chart,
// not the sidebar's menu, the page title or the empty background.
TEST_F(MainWindowTest, ASnapshotRepaintsOnlyTheAreasThatChanged) {
    MainWindow& w = Start(Quiet(), false);
    // Past the first cycles, whose frames differ in structure and so are drawn whole.
    ASSERT_TRUE(PumpUntil([&] { return w.historyPoints() >= 3; }, 30000));
    UpdateWindow(w.hwnd());  // a full frame on screen
    // Without dispatching, until the sampler has published its next snapshot.
    MSG msg;
    test::WaitUntil([&] { return PeekMessageW(&msg, w.hwnd(), kMsgSnapshotReady, kMsgSnapshotReady, PM_NOREMOVE) != 0; },
                    10000);
    SendMessageW(w.hwnd(), kMsgSnapshotReady, 0, 0);
    RECT client{}, dirty{};
    GetClientRect(w.hwnd(), &client);
    ASSERT_TRUE(GetUpdateRect(w.hwnd(), &dirty, FALSE)) << "the new readings asked for no repaint";
    const UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    GetUpdateRgn(w.hwnd(), region.get(), FALSE);
    RECT box{};
    GetRgnBox(region.get(), &box);
    EXPECT_FALSE(EqualRect(&box, &client)) << "the whole window was invalidated";
    EXPECT_FALSE(PtInRegion(region.get(), LONG(100 * Scale()), LONG(140 * Scale())));  // the sidebar's menu
    UpdateWindow(w.hwnd());  // the partial pass
    EXPECT_FALSE(GetUpdateRect(w.hwnd(), &dirty, FALSE));
}

// The window's keys and capture reach the controls: Ctrl+5, Tab and arrows move
// the warning slider; a drag that loses the mouse to another window ends there.
TEST_F(MainWindowTest, KeysAndALostCaptureReachTheWarningSlider) {
    Settings s = Quiet();
    s.WarningTemp = 85;
    MainWindow& w = StartReady(s);
    Press(w.hwnd(), '5', true);
    UpdateWindow(w.hwnd());
    ASSERT_EQ(w.page(), kPageSettings);
    auto press = [&](WPARAM key) {
        SendMessageW(w.hwnd(), WM_KEYDOWN, key, 0);
        UpdateWindow(w.hwnd());  // the pass in which the focused control answers
    };
    const ActionId warn = MakeActionId(L"set/warn");
    for (int i = 0; i < 80 && w.interaction().focused != warn; ++i) press(VK_TAB);
    ASSERT_EQ(w.interaction().focused, warn) << "Tab never reached the slider";
    press(VK_LEFT);
    press(VK_LEFT);
    EXPECT_EQ(LoadSettings().WarningTemp, 83);

    ASSERT_NE(RegionOf(w, L"set/warn"), nullptr);
    const HitRegion slider = *RegionOf(w, L"set/warn");  // a copy: the region lists change with every pass
    const float k = Scale();
    auto move = [&](UINT message, WPARAM buttons, float fraction) {
        const int x = static_cast<int>((slider.left + slider.width * fraction) * k);
        SendMessageW(w.hwnd(), message, buttons, MAKELPARAM(x, static_cast<int>((slider.top + slider.height / 2) * k)));
        UpdateWindow(w.hwnd());
    };
    move(WM_MOUSEMOVE, 0, 0.0f);
    move(WM_LBUTTONDOWN, MK_LBUTTON, 0.0f);
    move(WM_MOUSEMOVE, MK_LBUTTON, 0.5f);
    SendMessageW(w.hwnd(), WM_CAPTURECHANGED, 0, 0);
    move(WM_MOUSEMOVE, 0, 1.0f);
    EXPECT_EQ(LoadSettings().WarningTemp, 80) << "not the mid-track value: the slider followed the pointer after the capture was lost";
    EXPECT_FALSE(w.interaction().dragging);
}

// Every page fits at the minimum, default and a wide window, at 100 % and 150 %:
// nothing but a device's name is cut with an ellipsis.
TEST_F(MainWindowTest, PagesFitEveryWidthAndScaleWithoutCuttingText) {
    Settings s = Quiet();
    s.ShareData = false;
    MainWindow& w = Start(s, true);
    ASSERT_TRUE(PumpUntil([&] { return w.snapshotReady() && w.hardwareReportReady(); }, 60000));
    const std::wstring gpu = L"NVIDIA GeForce RTX 4060 Laptop GPU", drive = L"Samsung SSD 980 PRO 1TB";
    for (int page : {kPageOverview, kPageSensors, kPageTests, kPageHardware}) {
        w.ShowPage(page);
        for (float width : {980.0f, 1180.0f, 1600.0f}) {
            for (float scale : {1.0f, 1.5f}) {
                DrawingToolkit tk;
                ASSERT_TRUE(tk.CreateOffscreen(width, 2600, scale));  // tall: the whole page in one pass
                w.paintPassInto(tk);
                for (const ElidedText& e : tk.elidedTexts())
                    EXPECT_TRUE(e.text.find(gpu) != std::wstring::npos || e.text.find(drive) != std::wstring::npos)
                        << "page " << page << " at " << width << " x " << scale << ": \"" << WideToUtf8(e.text) << "\" was cut";
            }
        }
    }
}

}  // namespace
}  // namespace kalorix
