// MainWindow: creation, the window procedure and its message handlers.
#include "ui/main_window_win.h"

#include <dwmapi.h>
#include <psapi.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>

#include "app/autostart_win.h"
#include "app/elevation_win.h"
#include "base/log.h"
#include "inventory/inventory.h"
#include "metrics/metrics_server_win.h"
#include "sensors/engine_host_win.h"
#include "store/sensor_log_files_win.h"
#include "store/usage_history.h"
#include "ui/widget_behavior.h"
#include "ui/window_place.h"

namespace kalorix {

namespace {

constexpr wchar_t kClassName[] = L"KalorixNativeWindow";

// Window attributes of the desktop window manager (values from dwmapi.h of
// newer SDKs than the cross compiler's).
enum DwmWindowAttribute : DWORD {
    kDwmUseImmersiveDarkMode = 20,    // DWMWA_USE_IMMERSIVE_DARK_MODE
    kDwmWindowCornerPreference = 33,  // DWMWA_WINDOW_CORNER_PREFERENCE
    kDwmBorderColor = 34,             // DWMWA_BORDER_COLOR
};
constexpr DWORD kDwmCornerRound = 2;           // DWMWCP_ROUND
constexpr COLORREF kFrameBorderColor = 0x00352924;  // the palette's border, as 0x00BBGGRR

// Makes the tray menu follow the dark theme (undocumented uxtheme exports 135, 136).
void RequestDarkMenus() {
    const UniqueModule uxtheme(LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
    if (!uxtheme) return;
    using SetPreferredAppMode = int(WINAPI*)(int);
    using FlushMenuThemes = void(WINAPI*)();
    auto setMode = reinterpret_cast<SetPreferredAppMode>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme.get(), MAKEINTRESOURCEA(135))));
    auto flush = reinterpret_cast<FlushMenuThemes>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme.get(), MAKEINTRESOURCEA(136))));
    constexpr int kForceDark = 2;
    if (setMode) setMode(kForceDark);
    if (flush) flush();
}

LRESULT FrameHitCode(FrameHit hit) {
    switch (hit) {
        case FrameHit::Client: return HTCLIENT;
        case FrameHit::Caption: return HTCAPTION;
        case FrameHit::MinButton: return HTMINBUTTON;
        case FrameHit::MaxButton: return HTMAXBUTTON;
        case FrameHit::CloseButton: return HTCLOSE;
        case FrameHit::Left: return HTLEFT;
        case FrameHit::Right: return HTRIGHT;
        case FrameHit::Top: return HTTOP;
        case FrameHit::Bottom: return HTBOTTOM;
        case FrameHit::TopLeft: return HTTOPLEFT;
        case FrameHit::TopRight: return HTTOPRIGHT;
        case FrameHit::BottomLeft: return HTBOTTOMLEFT;
        case FrameHit::BottomRight: return HTBOTTOMRIGHT;
    }
    return HTCLIENT;
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM list) {
    MONITORINFO info{sizeof(info)};
    if (GetMonitorInfoW(monitor, &info))
        reinterpret_cast<std::vector<ScreenRect>*>(list)->push_back(
            {info.rcWork.left, info.rcWork.top, info.rcWork.right, info.rcWork.bottom});
    return TRUE;
}

std::vector<ScreenRect> MonitorWorkAreas() {
    std::vector<ScreenRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    return areas;
}

ScreenRect PrimaryWorkArea() {
    RECT work{0, 0, 1280, 800};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return ScreenRect{work.left, work.top, work.right, work.bottom};
}

// The parts of the window waiting to be painted, in DIPs; at most 12 (more
// become their bounding box).
std::vector<Rect> UpdateAreas(HWND window, float dipsPerPixel) {
    std::vector<Rect> areas;
    const UniqueRegion region(CreateRectRgn(0, 0, 0, 0));
    if (!region || GetUpdateRgn(window, region.get(), FALSE) == ERROR) return areas;
    const DWORD bytes = GetRegionData(region.get(), 0, nullptr);
    if (bytes == 0) return areas;
    std::vector<BYTE> data(bytes);
    auto* header = reinterpret_cast<RGNDATA*>(data.data());
    if (GetRegionData(region.get(), bytes, header) == 0) return areas;
    const RECT* rects = reinterpret_cast<const RECT*>(header->Buffer);
    const DWORD count = header->rdh.nCount;
    auto toDips = [&](const RECT& r) {
        return Rect{r.left * dipsPerPixel, r.top * dipsPerPixel, (r.right - r.left) * dipsPerPixel,
                    (r.bottom - r.top) * dipsPerPixel};
    };
    if (count > 12) {
        areas.push_back(toDips(header->rdh.rcBound));
        return areas;
    }
    for (DWORD i = 0; i < count; ++i) areas.push_back(toDips(rects[i]));
    return areas;
}

CaptionButton CaptionButtonOfHitCode(WPARAM code) {
    switch (code) {
        case HTMINBUTTON: return CaptionButton::Minimize;
        case HTMAXBUTTON: return CaptionButton::Maximize;
        case HTCLOSE: return CaptionButton::Close;
        default: return CaptionButton::None;
    }
}

bool KeyDown(int virtualKey) { return GetKeyState(virtualKey) < 0; }

}  // namespace

// ---- construction --------------------------------------------------------

MainWindow::MainWindow(HINSTANCE instance)
    : instance_(instance), hooks_(ActiveTestHooks()), tray_(instance),
      services_(std::make_unique<WindowServices>()) {
    settings_ = LoadSettings();
    redactForced_ = GetEnvironmentVariableW(kRedactVariable, nullptr, 0) != 0;
    if (hooks_.frameReport) RecordActionNames(true);
}

MainWindow::~MainWindow() {
    autostart_.reset();  // finishes a schtasks run under way; its message goes nowhere
    if (engine_) engine_->stop();
    tray_.Remove();
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    if (reportThread_.joinable()) reportThread_.join();
}

bool MainWindow::create(bool hidden) {
    RequestDarkMenus();

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = &MainWindow::StaticProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kAppIconResource));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.lpszClassName = kClassName;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        LogWin32Error("window", "RegisterClassExW", GetLastError());
        return false;
    }

    const float scale = static_cast<float>(GetDpiForSystem()) / 96.0f;
    const ScreenRect place = ChooseWindowPlace(settings_, MonitorWorkAreas(), PrimaryWorkArea(),
                                               static_cast<int>(1180.0f * scale), static_cast<int>(780.0f * scale));
    page_ = std::clamp(settings_.LastPage, 0, static_cast<int>(kPageCount) - 1);

    HWND created = CreateWindowExW(settings_.AlwaysOnTop ? WS_EX_TOPMOST : 0, kClassName, L"Kalorix",
                                   WS_OVERLAPPEDWINDOW, place.left, place.top, place.width(), place.height(), nullptr,
                                   nullptr, instance_, this);
    if (!created) {
        LogWin32Error("window", "CreateWindowExW", GetLastError());
        return false;
    }
    hwnd_ = created;
    normalRect_ = place;
    applyFrameAttributes();

    showMessage_ = ShowMessageId();
    RegisterShowSignal(hwnd_, showMessage_);
    taskbarCreated_ = TrayIcon::TaskbarCreatedMessage();
    if (taskbarCreated_) ChangeWindowMessageFilterEx(hwnd_, taskbarCreated_, MSGFLT_ALLOW, nullptr);

    toolkit_.AttachWindow(hwnd_);
    toolkit_.SetDpi(static_cast<float>(GetDpiForWindow(hwnd_)));
    toolkit_.SetInteraction(&interaction_);

    services_->loadTelemetry(hwnd_, kMsgTelemetry);

    if (!settings_.FirstTestOffered) {
        UsageHistory& history = UsageHistory::instance();
        for (int32_t kind = 0; kind < 4; ++kind) {
            if (history.latestTestRecord(kind)) {
                settings_.FirstTestOffered = true;
                SaveSettings(settings_);
                break;
            }
        }
    }

    SetTimer(hwnd_, kTimerSharing, 120000, nullptr);
    if (!tray_.Add(hwnd_, kMsgTray)) Log(LogLevel::Warning, "tray", "the notification-area icon could not be added");

    engineHost_ = MakeWindowsEngineHost();
    engine_ = std::make_unique<SamplingEngine>(*engineHost_);
    sensorLog_ = std::make_unique<SensorLog>(MakeWindowsSensorLogFiles(SensorLogFolder()), MakeWindowsSensorLogClock());
    if (hooks_.sensorLogEcho) sensorLog_->setEcho(hooks_.sensorLogEcho);
    sensorLog_->apply(settings_);
    engine_->setFoldObserver(sensorLog_->observer());
    int interval = settings_.UpdateIntervalMs;
    if (hidden && interval <= 2000) interval = 2000;
    engine_->start(hwnd_, interval, settings_.SmoothCpuTemp);
    metrics_ = std::make_unique<MetricsServer>();
    metrics_->apply(EndpointFromSettings(settings_));

    startHardwareReport();
    const HWND window = hwnd_;
    autostart_ = std::make_unique<AutostartWorker>(
        [] { return IsAutostartEnabled(); }, [](bool on, bool useTask) { return SetAutostart(on, useTask); },
        [window] { PostMessageW(window, kMsgAutostart, 0, 0); });
    autostart_->Refresh(useAutostartTask());

    if (hidden) {
        toolkit_.ReleaseDeviceResources();
        trimWorkingSet();
        shown_ = false;
    } else {
        ShowWindow(hwnd_, settings_.WindowMaximized ? SW_SHOWMAXIMIZED : SW_SHOW);
        shown_ = true;
    }
    return true;
}

// Keeps the window's place, state and page in the settings (closing, hiding,
// the session ending).
void MainWindow::rememberPlace() {
    if (!hwnd_) return;
    RememberWindowPlace(settings_, normalRect_, IsZoomed(hwnd_) != FALSE, page_);
    SaveSettings(settings_);
}

// The last rectangle the window had while neither maximised nor minimised.
void MainWindow::trackNormalRect() {
    if (!hwnd_ || IsZoomed(hwnd_) || IsIconic(hwnd_) || !IsWindowVisible(hwnd_)) return;
    RECT r{};
    if (GetWindowRect(hwnd_, &r)) normalRect_ = ScreenRect{r.left, r.top, r.right, r.bottom};
}

void MainWindow::applyFrameAttributes() {
    const DWORD corner = kDwmCornerRound;
    DwmSetWindowAttribute(hwnd_, kDwmWindowCornerPreference, &corner, sizeof(corner));
    const BOOL dark = TRUE;
    DwmSetWindowAttribute(hwnd_, kDwmUseImmersiveDarkMode, &dark, sizeof(dark));
    const COLORREF border = kFrameBorderColor;
    DwmSetWindowAttribute(hwnd_, kDwmBorderColor, &border, sizeof(border));
    const MARGINS margins{0, 0, 1, 0};
    DwmExtendFrameIntoClientArea(hwnd_, &margins);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

// ---- window procedure ----------------------------------------------------

LRESULT CALLBACK MainWindow::StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        auto* self = static_cast<MainWindow*>(cs->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return self->proc(msg, wParam, lParam);
}

LRESULT MainWindow::proc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (showMessage_ && msg == showMessage_) return onShowRequest(), 0;
    if (taskbarCreated_ && msg == taskbarCreated_) return onTaskbarCreated(), 0;
    switch (msg) {
        case WM_DESTROY: return onDestroy();
        case WM_SIZE: return onSize(wParam, lParam);
        case WM_MOVE: return trackNormalRect(), 0;
        case WM_PAINT: return onPaint();
        case WM_CLOSE: return onClose();
        case WM_ERASEBKGND: return 1;
        case WM_SETCURSOR: if (onSetCursor(lParam)) return TRUE; break;
        case WM_GETMINMAXINFO: return onGetMinMaxInfo(lParam);
        case WM_NCCALCSIZE: if (onNcCalcSize(wParam, lParam)) return 0; break;
        case WM_NCHITTEST: return onNcHitTest(lParam);
        case WM_NCMOUSEMOVE: if (onNcMouseMove(wParam)) return 0; break;
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: if (onNcButtonDown(wParam)) return 0; break;
        case WM_NCLBUTTONUP: if (onNcButtonUp(wParam)) return 0; break;
        case WM_NCMOUSELEAVE: return onNcMouseLeave();
        case WM_MOUSEMOVE: return onMouseMove(lParam);
        case WM_LBUTTONDOWN: return onButtonDown(lParam);
        case WM_LBUTTONUP: return onButtonUp(lParam);
        case WM_MOUSELEAVE: return onMouseLeave();
        case WM_CAPTURECHANGED:
        case WM_CANCELMODE: onCaptureLost(); break;
        case WM_MOUSEWHEEL: return onMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
        case WM_KEYDOWN: if (onKeyDown(wParam)) return 0; break;
        case WM_TIMER: return onTimer(wParam);
        case WM_DPICHANGED: return onDpiChanged(wParam, lParam);
        case kMsgSnapshotReady: return onSnapshotReady(), 0;
        case kMsgTray: return onTrayCallback(lParam), 0;
        case kMsgBench: return onBenchChanged(), 0;
        case kMsgTelemetry: return onTelemetryFinished(), 0;
        case kMsgInventory:
        case kMsgAutostart: return repaintIfVisible(), 0;
        case WM_POWERBROADCAST: if (engine_) NotifyPowerBroadcast(*engine_, wParam); return TRUE;
        case WM_QUERYENDSESSION: return onSessionEnding(true), TRUE;
        case WM_ENDSESSION: return onSessionEnding(wParam != FALSE), 0;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// ---- frame, size and paint -------------------------------------------------

LRESULT MainWindow::onDestroy() {
    rememberPlace();
    KillTimer(hwnd_, kTimerSharing);
    KillTimer(hwnd_, kTimerNextTest);
    if (engine_) engine_->stop();
    if (metrics_) metrics_->stop();
    tray_.Remove();
    PostQuitMessage(0);
    return 0;
}

LRESULT MainWindow::onSize(WPARAM kind, LPARAM size) {
    trackNormalRect();
    if (toolkit_.hasTarget()) toolkit_.Resize(LOWORD(size), HIWORD(size));
    if (kind == SIZE_MINIMIZED) {
        applySamplerInterval();
        toolkit_.ReleaseDeviceResources();
        trimWorkingSet();
    } else if (shown_) {
        applySamplerInterval();
    }
    repaint();
    return 0;
}

LRESULT MainWindow::onPaint() {
    const std::vector<Rect> areas = UpdateAreas(hwnd_, 96.0f / toolkit_.dpi());
    PAINTSTRUCT ps;
    BeginPaint(hwnd_, &ps);
    paintPass(areas);
    EndPaint(hwnd_, &ps);
    runAfterPaint();
    return 0;
}

LRESULT MainWindow::onClose() {
    // Hidden without a tray icon there would be no way back: then close for real.
    if (settings_.MinimizeToTray && tray_.added()) hideToTray();
    else DestroyWindow(hwnd_);
    return 0;
}

bool MainWindow::onSetCursor(LPARAM lParam) {
    if (LOWORD(lParam) != HTCLIENT || !HoveredWantsHand(interaction_)) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

LRESULT MainWindow::onGetMinMaxInfo(LPARAM lParam) {
    auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
    MONITORINFO monitor{sizeof(monitor)};
    int workW = 0, workH = 0;
    if (hwnd_ && GetMonitorInfoW(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) {
        workW = monitor.rcWork.right - monitor.rcWork.left;
        workH = monitor.rcWork.bottom - monitor.rcWork.top;
    }
    const PixelSize minimum = MinimumTrackSize(toolkit_.dpi() / 96.0f, workW, workH);
    info->ptMinTrackSize.x = minimum.width;
    info->ptMinTrackSize.y = minimum.height;
    return 0;
}

bool MainWindow::onNcCalcSize(WPARAM wParam, LPARAM lParam) {
    if (!wParam) return false;
    if (IsZoomed(hwnd_)) {
        // Maximised, the window reaches past the monitor by its frame: keep the content on it.
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        const UINT dpi = GetDpiForWindow(hwnd_);
        const int pad = GetSystemMetricsForDpi(SM_CXPADDEDBORDER, dpi) + GetSystemMetricsForDpi(SM_CXSIZEFRAME, dpi);
        InflateRect(&params->rgrc[0], -pad, -pad);
    }
    return true;
}

LRESULT MainWindow::onNcHitTest(LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd_, &pt);
    const float k = pointerScale();
    return FrameHitCode(
        FrameHitTest(pt.x * k, pt.y * k, clientWidthDips(), clientHeightDips(), IsZoomed(hwnd_) != FALSE));
}

LRESULT MainWindow::onDpiChanged(WPARAM wParam, LPARAM lParam) {
    toolkit_.SetDpi(static_cast<float>(HIWORD(wParam)));
    const RECT* r = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    repaint();
    return 0;
}

// ---- caption buttons ---------------------------------------------------------

bool MainWindow::onNcMouseMove(WPARAM hitCode) {
    const CaptionButton button = CaptionButtonOfHitCode(hitCode);
    if (button != hoverCaption_) {
        hoverCaption_ = button;
        repaint();
    }
    if (!trackingNonClient_) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE | TME_NONCLIENT, hwnd_, 0};
        trackingNonClient_ = TrackMouseEvent(&tme) != FALSE;
    }
    return button != CaptionButton::None;
}

bool MainWindow::onNcButtonDown(WPARAM hitCode) {
    const CaptionButton button = CaptionButtonOfHitCode(hitCode);
    if (button == CaptionButton::None) return false;
    pressCaption_ = button;
    repaint();
    return true;
}

bool MainWindow::onNcButtonUp(WPARAM hitCode) {
    const CaptionButton button = CaptionButtonOfHitCode(hitCode);
    if (button == CaptionButton::None) return false;
    if (button == pressCaption_) {
        switch (button) {
            case CaptionButton::Minimize: ShowWindow(hwnd_, SW_MINIMIZE); break;
            case CaptionButton::Maximize: ShowWindow(hwnd_, IsZoomed(hwnd_) ? SW_RESTORE : SW_MAXIMIZE); break;
            case CaptionButton::Close: PostMessageW(hwnd_, WM_CLOSE, 0, 0); break;
            case CaptionButton::None: break;
        }
    }
    pressCaption_ = CaptionButton::None;
    repaint();
    return true;
}

LRESULT MainWindow::onNcMouseLeave() {
    trackingNonClient_ = false;
    const bool wasSet = hoverCaption_ != CaptionButton::None || pressCaption_ != CaptionButton::None;
    hoverCaption_ = pressCaption_ = CaptionButton::None;
    if (wasSet) repaint();
    return 0;
}

// ---- pointer -----------------------------------------------------------------

LRESULT MainWindow::onMouseMove(LPARAM lParam) {
    if (!trackingClient_) {
        TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
        trackingClient_ = TrackMouseEvent(&tme) != FALSE;
    }
    if (hoverCaption_ != CaptionButton::None) {
        hoverCaption_ = CaptionButton::None;
        repaint();
    }
    const float k = pointerScale();
    if (PointerMove(interaction_, GET_X_LPARAM(lParam) * k, GET_Y_LPARAM(lParam) * k)) repaint();
    return 0;
}

LRESULT MainWindow::onButtonDown(LPARAM lParam) {
    SetCapture(hwnd_);
    interaction_.focusVisible = false;  // the focus ring shows after keyboard use only
    const float k = pointerScale();
    if (PointerDown(interaction_, GET_X_LPARAM(lParam) * k, GET_Y_LPARAM(lParam) * k)) {
        interaction_.focused = interaction_.pressed;
        repaint();
    }
    return 0;
}

LRESULT MainWindow::onButtonUp(LPARAM lParam) {
    const float k = pointerScale();
    // Released before ReleaseCapture: its WM_CAPTURECHANGED must not cancel this click.
    const bool changed = PointerUp(interaction_, GET_X_LPARAM(lParam) * k, GET_Y_LPARAM(lParam) * k);
    ReleaseCapture();
    if (changed) repaint();
    return 0;
}

LRESULT MainWindow::onMouseLeave() {
    trackingClient_ = false;
    PointerLeave(interaction_);
    repaint();
    return 0;
}

// Another window or a menu took the mouse mid-press: no drag may go on with
// the bare pointer.
LRESULT MainWindow::onCaptureLost() {
    if (PointerCancel(interaction_)) repaint();
    return 0;
}

LRESULT MainWindow::onMouseWheel(int delta) {
    const float visible = clientHeightDips() - kTitleBarHeight;
    scroll_[page_] = ScrollAfterWheel(scroll_[page_], delta, contentHeight_[page_], visible);
    repaint();
    return 0;
}

void MainWindow::scrollBy(float dips) {
    const float visible = clientHeightDips() - kTitleBarHeight;
    scroll_[page_] = std::clamp(scroll_[page_] + dips, 0.0f, MaxScroll(contentHeight_[page_], visible));
    repaint();
}

// ---- keyboard ------------------------------------------------------------------

// Ctrl+1..5 pages; Tab / Shift+Tab focus; Enter and Space activate; arrows
// move sliders and choices; Page Up/Down, Home and End scroll; Escape closes
// the first-test prompt, the report preview and a sensor's plot. True when the key was used.
bool MainWindow::onKeyDown(WPARAM key) {
    if (auto page = PageForShortcut(static_cast<unsigned>(key), KeyDown(VK_CONTROL))) {
        ShowPage(*page);
        return true;
    }
    const float page = clientHeightDips() - kTitleBarHeight - 56.0f;
    switch (key) {
        case VK_ESCAPE:
            if (snapshot_.valid && !settings_.FirstTestOffered) {
                settings_.FirstTestOffered = true;
                SaveSettings(settings_);
            } else if (view_.settingsPreviewVisible) {
                view_.settingsPreviewVisible = false;
            } else if (page_ == kPageSensors && !view_.sensorsPlotId.empty()) {
                view_.sensorsPlotId.clear();
            } else {
                return false;
            }
            repaint();
            return true;
        case VK_TAB:
            interaction_.focused = NextFocus(interaction_.active, interaction_.focused, !KeyDown(VK_SHIFT));
            interaction_.focusVisible = true;
            repaint();
            return true;
        case VK_RETURN:
        case VK_SPACE: interaction_.key = NavKey::Activate; break;
        case VK_LEFT: interaction_.key = NavKey::Left; break;
        case VK_RIGHT: interaction_.key = NavKey::Right; break;
        case VK_UP: interaction_.key = NavKey::Up; break;
        case VK_DOWN: interaction_.key = NavKey::Down; break;
        case VK_PRIOR: scrollBy(-page); return true;
        case VK_NEXT: scrollBy(page); return true;
        case VK_HOME: scrollBy(-1e9f); return true;
        case VK_END: scrollBy(1e9f); return true;
        default: return false;
    }
    if (interaction_.focused == 0) {
        interaction_.key = NavKey::None;
        return false;
    }
    interaction_.focusVisible = true;
    repaint();
    return true;
}

// ---- timers and background messages ----------------------------------------------

LRESULT MainWindow::onTimer(UINT_PTR id) {
    if (id == kTimerSharing) {
        SetTimer(hwnd_, kTimerSharing, 600000, nullptr);
        runSharingCheck();
    } else if (id == kTimerNextTest) {
        series_.pauseElapsed();
        repaint();
    }
    return 0;
}

void MainWindow::onSnapshotReady() {
    if (engine_) engine_->copySnapshot(snapshot_);
    if (metrics_) metrics_->publish(snapshot_);
    tray_.Refresh(snapshot_, settings_);
    thermalCheck();
    series_.poll();
    tray_.MaybeNotifyOverheat(snapshot_, settings_, GetTickCount64());
    invalidateChanged();
}

// Logoff, shutdown or restart may end the process without WM_DESTROY: the
// sampler stops now (recording the period in progress) and the settings are
// saved. An end that is called off resumes sampling.
void MainWindow::onSessionEnding(bool ending) {
    if (ending) {
        if (engine_) engine_->stop();
        rememberPlace();
    } else if (engine_ && !engine_->running()) {
        engine_->start(hwnd_, engine_->interval(), settings_.SmoothCpuTemp);
    }
}

// A deletion that succeeded switched sharing off in the settings file; the
// window's copy follows, so nothing is uploaded again until the user chooses.
void MainWindow::onTelemetryFinished() {
    if (settings_.ShareData && !LoadSettings().ShareData) settings_.ShareData = false;
    repaintIfVisible();
}

void MainWindow::onTaskbarCreated() {
    tray_.OnTaskbarCreated(hwnd_, snapshot_, settings_);
    onSnapshotReady();
}

void MainWindow::onShowRequest() {
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
    shown_ = true;
    applySamplerInterval();
    repaint();
}

void MainWindow::onTrayCallback(LPARAM lParam) {
    switch (ClassifyTrayCallback(LOWORD(lParam))) {
        case TrayCallbackAction::Menu:
            onTrayCommand(tray_.ShowMenu(hwnd_, snapshot_, settings_, autostart_ && autostart_->View().enabled));
            break;
        case TrayCallbackAction::ToggleWindow:
            if (visibleNotMinimized()) hideToTray();
            else showFromTray();
            break;
        case TrayCallbackAction::ShowWindow: onShowRequest(); break;
        case TrayCallbackAction::None: break;
    }
}

void MainWindow::onTrayCommand(int command) {
    switch (command) {
        case kTrayCmdOpen: showFromTray(); break;
        case kTrayCmdAlwaysOnTop:
            settings_.AlwaysOnTop = !settings_.AlwaysOnTop;
            SaveSettings(settings_);
            applySamplerInterval();
            if (engine_) engine_->setSmoothing(settings_.SmoothCpuTemp);
            applyTopmost();
            tray_.Refresh(snapshot_, settings_);
            break;
        case kTrayCmdAutostart:
            if (autostart_ && !autostart_->View().pending) SetStartWithWindows(!autostart_->View().enabled);
            break;
        case kTrayCmdExit: DestroyWindow(hwnd_); return;
        default: return;
    }
    repaint();
}

void MainWindow::onBenchChanged() {
    BenchOutcome outcome;
    if (series_.awaitingEnd() && services_->finishedRun(outcome)) {
        benchmarkMode_ = false;
        if (engine_) engine_->setBenchmarkRunning(false);
        applySamplerInterval();
        series_.runEnded(outcome);
    }
    repaintIfVisible();
}

// ---- window state --------------------------------------------------------

void MainWindow::repaint() {
    fullRepaint_ = true;
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

// Background messages repaint only while the window is shown and not minimised.
void MainWindow::repaintIfVisible() {
    if (visibleNotMinimized()) repaint();
}

bool MainWindow::visibleNotMinimized() const { return shown_ && hwnd_ && !IsIconic(hwnd_); }

void MainWindow::showFromTray() {
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
    shown_ = true;
    applySamplerInterval();
    repaint();
}

void MainWindow::hideToTray() {
    rememberPlace();
    tray_.HideToTray(hwnd_, &toolkit_);
    shown_ = false;
    applySamplerInterval();
}

// The interval rule in one place: 1000 ms while a benchmark runs (also when
// the window is restored meanwhile), the setting while shown, at least 2000 ms
// while minimised or hidden.
void MainWindow::applySamplerInterval() {
    if (!engine_) return;
    engine_->setInterval(SamplerIntervalFor(settings_.UpdateIntervalMs, visibleNotMinimized(), benchmarkMode_));
}

void MainWindow::applyTopmost() {
    SetWindowPos(hwnd_, settings_.AlwaysOnTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void MainWindow::trimWorkingSet() {
    SetProcessWorkingSetSize(GetCurrentProcess(), static_cast<SIZE_T>(-1), static_cast<SIZE_T>(-1));
}

float MainWindow::clientWidthDips() const {
    if (toolkit_.hasTarget()) return toolkit_.size().width;
    RECT rc{};
    if (hwnd_) GetClientRect(hwnd_, &rc);
    return static_cast<float>(rc.right - rc.left) * 96.0f / toolkit_.dpi();
}

float MainWindow::clientHeightDips() const {
    if (toolkit_.hasTarget()) return toolkit_.size().height;
    RECT rc{};
    if (hwnd_) GetClientRect(hwnd_, &rc);
    return static_cast<float>(rc.bottom - rc.top) * 96.0f / toolkit_.dpi();
}

// The elevated scheduled task when advanced sensors run elevated, else the Run value.
bool MainWindow::useAutostartTask() const { return settings_.AdvancedSensors && IsProcessElevated(); }

}  // namespace kalorix
