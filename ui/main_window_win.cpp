#include "ui/main_window_win.h"

#include <dwmapi.h>
#include <psapi.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/elevation_win.h"
#include "bench/protocol.h"
#include "sensors/engine_host_win.h"
#include "sensors/format.h"
#include "store/usage_history.h"
#include "sensors/text.h"
#include "ui/frame_report.h"
#include "ui/pages_win.h"
#include "ui/window_services_win.h"

namespace kalorix {

namespace {

constexpr wchar_t kClassName[] = L"KalorixNativeWindow";
constexpr float kContentTop = kTitleBarHeight;

struct NavEntry {
    const wchar_t* key;  // stable part of the action id
    const wchar_t* label;
    wchar_t glyph;
};
constexpr NavEntry kNavEntries[kPageCount] = {
    {L"overview", L"Genel Bakış", 0xE80F}, {L"sensors", L"Sensörler", 0xE9D9}, {L"hardware", L"Donanım", 0xE950},
    {L"tests", L"Testler", 0xEC4A},        {L"settings", L"Ayarlar", 0xE713},
};

constexpr wchar_t kPromptTitle[] =
    L"Hızlı bir şekilde işlemci, bellek (RAM), ekran kartı ve SSD'ni test etmek ister misin?";
constexpr wchar_t kPromptBody[] =
    L"Yaklaşık 1,5 dakika sürer. Testler bilgisayarı uzun süre zorlamaz: kısa atışlarla çalışır, aralarda "
    L"soğuma molası verir ve sıcaklık sınırı aşılırsa kendiliğinden durur. İstediğin an durdurabilirsin; "
    L"sonuçlar Testler sayfasında görünür.";

ActionId NavId(int page) { return MakeActionId(std::wstring(L"nav/") + kNavEntries[page].key); }

// Makes the tray menu follow the dark theme (undocumented uxtheme exports).
void RequestDarkMenus() {
    HMODULE uxtheme = LoadLibraryExW(L"uxtheme.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!uxtheme) return;
    using SetPreferredAppMode = int(WINAPI*)(int);
    using FlushMenuThemes = void(WINAPI*)();
    auto setMode = reinterpret_cast<SetPreferredAppMode>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, MAKEINTRESOURCEA(135))));
    auto flush = reinterpret_cast<FlushMenuThemes>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, MAKEINTRESOURCEA(136))));
    if (setMode) setMode(2);  // force dark
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

int CaptionButtonOfHitCode(WPARAM code) {
    switch (code) {
        case HTMINBUTTON: return 1;
        case HTMAXBUTTON: return 2;
        case HTCLOSE: return 3;
        default: return 0;
    }
}

std::wstring TwoDigits(int v) {
    wchar_t buffer[8];
    swprintf(buffer, 8, L"%02d", v);
    return buffer;
}

}  // namespace

// ---- construction --------------------------------------------------------

MainWindow::MainWindow(HINSTANCE instance)
    : instance_(instance), hooks_(ActiveTestHooks()), tray_(instance),
      services_(std::make_unique<WindowServices>()) {
    settings_ = LoadSettings();
    if (hooks_.frameReport) RecordActionNames(true);
}

MainWindow::~MainWindow() {
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
    wc.style = 0;
    wc.lpfnWndProc = &MainWindow::StaticProc;
    wc.hInstance = instance_;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(kAppIconResource));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(kAppIconResource), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);  // fails harmlessly when already registered

    const float scale = static_cast<float>(GetDpiForSystem()) / 96.0f;
    RECT work{0, 0, 1280, 800};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const int workW = work.right - work.left, workH = work.bottom - work.top;
    const int width = std::min(workW, static_cast<int>(1180.0f * scale));
    const int height = std::min(workH, static_cast<int>(780.0f * scale));
    const int x = work.left + (workW - width) / 2;
    const int y = work.top + (workH - height) / 2;

    HWND created = CreateWindowExW(settings_.AlwaysOnTop ? WS_EX_TOPMOST : 0, kClassName, L"Kalorix",
                                   WS_OVERLAPPEDWINDOW, x, y, width, height, nullptr, nullptr, instance_, this);
    if (!created) return false;
    hwnd_ = created;

    const DWORD corner = 2;  // DWMWCP_ROUND
    DwmSetWindowAttribute(hwnd_, 33, &corner, sizeof(corner));
    const BOOL dark = TRUE;
    DwmSetWindowAttribute(hwnd_, 20, &dark, sizeof(dark));
    const COLORREF border = 0x00352924;
    DwmSetWindowAttribute(hwnd_, 34, &border, sizeof(border));
    const MARGINS margins{0, 0, 1, 0};
    DwmExtendFrameIntoClientArea(hwnd_, &margins);
    SetWindowPos(hwnd_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

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
    tray_.Add(hwnd_, kMsgTray);

    engineHost_ = MakeWindowsEngineHost();
    engine_ = std::make_unique<SamplingEngine>(*engineHost_);
    int interval = settings_.UpdateIntervalMs;
    if (hidden && interval <= 2000) interval = 2000;
    engine_->start(hwnd_, interval, settings_.SmoothCpuTemp);

    startHardwareReport();
    refreshAutostartInBackground();

    if (hidden) {
        toolkit_.ReleaseDeviceResources();
        trimWorkingSet();
        shown_ = false;
    } else {
        ShowWindow(hwnd_, SW_SHOW);
        shown_ = true;
    }
    return true;
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
    if (showMessage_ && msg == showMessage_) {
        onShowRequest();
        return 0;
    }
    if (taskbarCreated_ && msg == taskbarCreated_) {
        tray_.OnTaskbarCreated(hwnd_, snapshot_, settings_);
        onSnapshotReady();
        return 0;
    }
    switch (msg) {
        case WM_DESTROY:
            KillTimer(hwnd_, kTimerSharing);
            KillTimer(hwnd_, kTimerNextTest);
            if (engine_) engine_->stop();
            tray_.Remove();
            PostQuitMessage(0);
            return 0;

        case WM_SIZE:
            if (toolkit_.hasTarget()) toolkit_.Resize(LOWORD(lParam), HIWORD(lParam));
            if (wParam == SIZE_MINIMIZED) {
                applySamplerInterval();
                toolkit_.ReleaseDeviceResources();
                trimWorkingSet();
            } else if (shown_) {
                applySamplerInterval();
            }
            repaint();
            return 0;

        case WM_PAINT: {
            PAINTSTRUCT ps;
            BeginPaint(hwnd_, &ps);
            paintPass();
            EndPaint(hwnd_, &ps);
            return 0;
        }

        case WM_CLOSE:
            if (settings_.MinimizeToTray) hideToTray();
            else DestroyWindow(hwnd_);
            return 0;

        case WM_ERASEBKGND:
            return 1;

        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT && HoveredWantsHand(interaction_)) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return 1;
            }
            break;

        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            const float s = static_cast<float>(hwnd_ ? GetDpiForWindow(hwnd_) : 96) / 96.0f;
            info->ptMinTrackSize.x = static_cast<LONG>(980.0f * s);
            info->ptMinTrackSize.y = static_cast<LONG>(640.0f * s);
            return 0;
        }

        case WM_NCCALCSIZE:
            if (!wParam) break;
            if (IsZoomed(hwnd_)) {
                auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
                const UINT dpi = GetDpiForWindow(hwnd_);
                const int pad = GetSystemMetricsForDpi(SM_CXPADDEDBORDER, dpi) + GetSystemMetricsForDpi(SM_CXSIZEFRAME, dpi);
                params->rgrc[0].left += pad;
                params->rgrc[0].top += pad;
                params->rgrc[0].right -= pad;
                params->rgrc[0].bottom -= pad;
            }
            return 0;

        case WM_NCHITTEST:
            return onNcHitTest(lParam);

        case WM_NCMOUSEMOVE: {
            const int button = CaptionButtonOfHitCode(wParam);
            if (button != hoverCaption_) {
                hoverCaption_ = button;
                repaint();
            }
            if (!trackingNonClient_) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE | TME_NONCLIENT, hwnd_, 0};
                trackingNonClient_ = TrackMouseEvent(&tme) != FALSE;
            }
            if (button) return 0;
            break;
        }

        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: {
            const int button = CaptionButtonOfHitCode(wParam);
            if (button) {
                pressCaption_ = button;
                repaint();
                return 0;
            }
            break;
        }

        case WM_NCLBUTTONUP: {
            const int button = CaptionButtonOfHitCode(wParam);
            if (!button) break;
            if (button == pressCaption_) {
                if (button == 1) ShowWindow(hwnd_, SW_MINIMIZE);
                else if (button == 2) ShowWindow(hwnd_, IsZoomed(hwnd_) ? SW_RESTORE : SW_MAXIMIZE);
                else PostMessageW(hwnd_, WM_CLOSE, 0, 0);
            }
            pressCaption_ = 0;
            repaint();
            return 0;
        }

        case WM_NCMOUSELEAVE: {
            trackingNonClient_ = false;
            const bool wasSet = hoverCaption_ || pressCaption_;
            hoverCaption_ = pressCaption_ = 0;
            if (wasSet) repaint();
            return 0;
        }

        case WM_MOUSEMOVE: {
            if (!trackingClient_) {
                TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
                trackingClient_ = TrackMouseEvent(&tme) != FALSE;
            }
            if (hoverCaption_) {
                hoverCaption_ = 0;
                repaint();
            }
            const float k = 96.0f / toolkit_.dpi();
            if (PointerMove(interaction_, GET_X_LPARAM(lParam) * k, GET_Y_LPARAM(lParam) * k)) repaint();
            return 0;
        }

        case WM_LBUTTONDOWN: {
            SetCapture(hwnd_);
            const float k = 96.0f / toolkit_.dpi();
            if (PointerDown(interaction_, GET_X_LPARAM(lParam) * k, GET_Y_LPARAM(lParam) * k)) repaint();
            return 0;
        }

        case WM_LBUTTONUP: {
            ReleaseCapture();
            const float k = 96.0f / toolkit_.dpi();
            if (PointerUp(interaction_, GET_X_LPARAM(lParam) * k, GET_Y_LPARAM(lParam) * k)) repaint();
            return 0;
        }

        case WM_MOUSELEAVE:
            trackingClient_ = false;
            PointerLeave(interaction_);
            repaint();
            return 0;

        case WM_MOUSEWHEEL:
            onMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam));
            return 0;

        case WM_KEYDOWN:
            if ((wParam == VK_ESCAPE && !settings_.FirstTestOffered) ||
                PageForShortcut(static_cast<unsigned>(wParam), GetKeyState(VK_CONTROL) < 0)) {
                onKeyDown(wParam);
                return 0;
            }
            break;

        case WM_TIMER:
            onTimer(wParam);
            return 0;

        case WM_DPICHANGED: {
            const float dpi = static_cast<float>(HIWORD(wParam));
            toolkit_.SetDpi(dpi);
            const RECT* r = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            repaint();
            return 0;
        }

        case kMsgSnapshotReady:
            onSnapshotReady();
            return 0;
        case kMsgTray:
            onTrayCallback(lParam);
            return 0;
        case kMsgInventory:
            if (shown_) repaint();
            return 0;
        case kMsgTelemetry:
            onTelemetryFinished();
            return 0;
        case WM_POWERBROADCAST:
            if (engine_) NotifyPowerBroadcast(*engine_, wParam);
            return TRUE;
        case WM_QUERYENDSESSION:
            onSessionEnding(true);
            return TRUE;
        case WM_ENDSESSION:
            onSessionEnding(wParam != FALSE);
            return 0;
        case kMsgBench:
            onBenchChanged();
            return 0;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

// Logoff, shutdown or restart may end the process without WM_DESTROY: the
// sampler stops now (recording the period in progress) and the settings are
// saved. An end that is called off resumes sampling.
void MainWindow::onSessionEnding(bool ending) {
    if (ending) {
        if (engine_) engine_->stop();
        SaveSettings(settings_);
    } else if (engine_ && !engine_->running()) {
        engine_->start(hwnd_, engine_->interval(), settings_.SmoothCpuTemp);
    }
}

// A deletion that succeeded switched sharing off in the settings file; the
// window's copy follows, so nothing is uploaded again until the user chooses.
void MainWindow::onTelemetryFinished() {
    if (settings_.ShareData && !LoadSettings().ShareData) settings_.ShareData = false;
    if (shown_) repaint();
}

LRESULT MainWindow::onNcHitTest(LPARAM lParam) {
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd_, &pt);
    const float k = 96.0f / toolkit_.dpi();
    return FrameHitCode(
        FrameHitTest(pt.x * k, pt.y * k, clientWidthDips(), clientHeightDips(), IsZoomed(hwnd_) != FALSE));
}

void MainWindow::onKeyDown(WPARAM key) {
    if (key == VK_ESCAPE) {
        settings_.FirstTestOffered = true;
        SaveSettings(settings_);
        repaint();
        return;
    }
    if (auto page = PageForShortcut(static_cast<unsigned>(key), true)) ShowPage(*page);
}

void MainWindow::onMouseWheel(int delta) {
    const float visible = clientHeightDips() - kContentTop;
    scroll_[page_] = ScrollAfterWheel(scroll_[page_], delta, contentHeight_[page_], visible);
    repaint();
}

void MainWindow::onTimer(UINT_PTR id) {
    if (id == kTimerSharing) {
        SetTimer(hwnd_, kTimerSharing, 600000, nullptr);
        runSharingCheck();
    } else if (id == kTimerNextTest) {
        KillTimer(hwnd_, kTimerNextTest);
        if (testQueue_.empty() || testRunning()) return;
        const uint32_t kind = testQueue_.front();
        testQueue_.erase(testQueue_.begin());
        StartTest(kind, 0);
    }
}

// ---- background messages -------------------------------------------------

void MainWindow::onSnapshotReady() {
    if (engine_) engine_->copySnapshot(snapshot_);
    tray_.Refresh(snapshot_, settings_);
    thermalCheck();
    tray_.MaybeNotifyOverheat(snapshot_, settings_, GetTickCount64());
    repaintIfVisible();
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
            onTrayCommand(tray_.ShowMenu(hwnd_, snapshot_, settings_, IsAutostartOn()));
            break;
        case TrayCallbackAction::ToggleWindow:
            if (visibleNotMinimized()) hideToTray();
            else showFromTray();
            break;
        case TrayCallbackAction::ShowWindow:
            onShowRequest();
            break;
        case TrayCallbackAction::None:
            break;
    }
}

void MainWindow::onTrayCommand(int command) {
    switch (command) {
        case kTrayCmdOpen:
            showFromTray();
            break;
        case kTrayCmdAlwaysOnTop:
            settings_.AlwaysOnTop = !settings_.AlwaysOnTop;
            SaveSettings(settings_);
            applySamplerInterval();
            if (engine_) engine_->setSmoothing(settings_.SmoothCpuTemp);
            applyTopmost();
            tray_.Refresh(snapshot_, settings_);
            break;
        case kTrayCmdAutostart: {
            const bool on = !IsAutostartOn();
            autostartCached_ = WindowServices::SetAutostart(on, settings_.AdvancedSensors && IsProcessElevated())
                                   ? on
                                   : WindowServices::IsAutostartEnabled();
            autostartValid_ = true;
            break;
        }
        case kTrayCmdExit:
            DestroyWindow(hwnd_);
            return;
        default:
            return;
    }
    repaint();
}

void MainWindow::onBenchChanged() {
    BenchOutcome outcome;
    if (!services_->takeFinishedRun(resultHandled_, outcome)) {
        repaintIfVisible();
        return;
    }
    benchmarkMode_ = false;
    if (engine_) engine_->setBenchmarkRunning(false);
    applySamplerInterval();
    if (outcome.success) {
        TestRecord record;
        record.kind = static_cast<int32_t>(outcome.kind);
        record.time = static_cast<int64_t>(time(nullptr));
        record.metrics = outcome.metrics;
        record.info = outcome.info;
        UsageHistory::instance().addTestRecord(record);
        if (!testQueue_.empty()) {
            SetTimer(hwnd_, kTimerNextTest, 2500, nullptr);
            repaintIfVisible();
            return;
        }
    }
    testQueue_.clear();
    if (outcome.success) {
        services_->markResultPending();
        runSharingCheck();
    }
    repaintIfVisible();
}

// ---- window state --------------------------------------------------------

void MainWindow::repaint() {
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

// ---- paint pass ----------------------------------------------------------

void MainWindow::paintPass() { paintPassInto(toolkit_); }

void MainWindow::paintPassInto(DrawingToolkit& target) {
    painting_ = &target;
    paintFrame();
    painting_ = &toolkit_;
}

void MainWindow::paintFrame() {
    DrawingToolkit& tk = *painting_;
    if (!tk.BeginFrame()) return;
    if (engine_) engine_->copySnapshot(snapshot_);

    const D2D1_SIZE_F size = tk.size();
    const float width = size.width, height = size.height;
    tk.Clear(colors::WindowBackground);
    tk.SetInteraction(&interaction_);
    tk.SetRegionOffset(0);
    tk.SetRegionClip(kContentTop, height);

    const bool ready = snapshot_.valid;
    const Rect content{kSidebarWidth, kContentTop, width - kSidebarWidth, height - kContentTop};
    if (ready) {
        PageContext context;
        context.toolkit = &tk;
        context.ui = &interaction_;
        context.actions = this;
        context.snapshot = &snapshot_;
        context.settings = &settings_;
        std::shared_ptr<const HardwareInventory> report;
        {
            std::lock_guard<std::mutex> lock(reportMutex_);
            report = report_;
        }
        context.hardware = report.get();
        context.window = hwnd_;
        context.content = content;
        context.scroll = scroll_[page_];
        if (!toastText_.empty() && GetTickCount64() < toastExpiry_) context.toast = toastText_;
        context.bench = services_->benchStateCopy();
        context.telemetry = services_->telemetryCopy();
        context.view = &view_;
        context.testQueue = testQueue_;

        const int drawnPage = page_;
        tk.PushClip(content);
        tk.SetTranslation(0, -context.scroll);
        tk.SetRegionOffset(-context.scroll);
        const float bottom = drawPage(context);
        tk.SetRegionOffset(0);
        tk.ResetTransform();
        tk.PopClip();

        const float visible = height - kContentTop;
        contentHeight_[drawnPage] = bottom - kContentTop + 30.0f;
        const float maximum = MaxScroll(contentHeight_[drawnPage], visible);
        if (scroll_[drawnPage] > maximum) {
            scroll_[drawnPage] = maximum;
            repaint();
        }
        if (drawnPage == page_) {
            const ScrollThumb thumb = ScrollBarThumb(scroll_[drawnPage], contentHeight_[drawnPage], visible);
            if (thumb.visible) tk.FillRounded(Rect{width - 8, thumb.top, 4, thumb.length}, 2, colors::ScrollThumb);
        }
    } else {
        drawStartingPlaceholder(content);
    }

    drawSidebar(height, ready);
    drawTitleButtons(width);
    if (ready && !settings_.FirstTestOffered) drawFirstTestPrompt(width, height);

    FinishPass(interaction_);
    tk.EndFrame();
    ++frames_;
    if (hooks_.frameReport && &tk == &toolkit_) reportFrame(tk);
}

void MainWindow::reportFrame(const DrawingToolkit& tk) {
    FrameReport report;
    report.frame = frames_;
    report.add("page", page_);
    report.add("ready", snapshot_.valid ? 1 : 0);
    report.add("prompt", snapshot_.valid && !settings_.FirstTestOffered ? 1 : 0);
    report.add("width", std::lround(tk.size().width));
    report.add("height", std::lround(tk.size().height));
    report.add("dpi", std::lround(tk.dpi()));
    report.add("maximized", hwnd_ && IsZoomed(hwnd_) ? 1 : 0);
    report.add("scroll", std::lround(scroll_[page_]));
    report.add("maxscroll", std::lround(MaxScroll(contentHeight_[page_], clientHeightDips() - kContentTop)));
    report.add("filter", view_.sensorsFilter);
    report.add("drive", view_.testsDriveIndex);
    report.add("preview", view_.settingsPreviewVisible ? 1 : 0);
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report.add("hardware", report_ ? 1 : 0);
    }
    const bool toastLive = !toastText_.empty() && GetTickCount64() < toastExpiry_;
    report.add("toast", toastLive ? WideToUtf8(toastText_) : std::string());
    if (const BenchState* bench = services_->benchStateCopy()) {
        report.add("bench", bench->running ? BenchKindWord(bench->kind) : "-");
        report.add("bench.error", WideToUtf8(bench->error));
    }
    report.add("queue", static_cast<long long>(testQueue_.size()));
    char cpuTemp[32] = "-";
    if (snapshot_.cpuTempShown) std::snprintf(cpuTemp, sizeof cpuTemp, "%.1f", *snapshot_.cpuTempShown);
    report.add("cputemp", cpuTemp);
    report.add("duplicates", static_cast<long long>(interaction_.duplicates.size()));
    report.regions = interaction_.active;
    hooks_.frameReport(FormatFrameReport(report));
}

float MainWindow::drawPage(PageContext& context) {
    switch (page_) {
        case kPageSensors: return DrawSensorsPage(context);
        case kPageHardware: return DrawHardwarePage(context);
        case kPageTests: return DrawTestsPage(context);
        case kPageSettings: return DrawSettingsPage(context);
        default: return DrawOverviewPage(context);
    }
}

void MainWindow::drawStartingPlaceholder(const Rect& content) {
    DrawingToolkit& tk = *painting_;
    const float centreY = content.y + content.h / 2;
    tk.DrawBitmap(kAppIconPng, Rect{content.x + (content.w - 72) / 2, centreY - 70, 72, 72});
    tk.DrawLabel(L"Sensörler başlatılıyor…", Rect{content.x, centreY + 16, content.w, 20}, text_style::Secondary,
                 colors::SecondaryText, kAlignCenter);
}

void MainWindow::drawSidebar(float height, bool ready) {
    DrawingToolkit& tk = *painting_;
    tk.SetRegionClip(kContentTop, height);
    tk.FillRect(Rect{0, 0, kSidebarWidth, height}, colors::Sidebar);
    tk.FillRect(Rect{kSidebarWidth - 1, 0, 1, height}, colors::Border);

    const float bannerWidth = tk.BitmapWidthForHeight(kBannerResource, 30);
    if (bannerWidth > 0) tk.DrawBitmap(kBannerResource, Rect{28, 22, bannerWidth, 30});
    else tk.DrawLabel(L"Kalorix", Rect{28, 22, 180, 30}, text_style::Headline, colors::PrimaryText);
    tk.DrawLabel(L"Sıcaklık ve donanım izleyici", Rect{30, 56, 190, 16}, text_style::Caption, colors::SecondaryText);
    tk.DrawLabel(L"MENÜ", Rect{28, 96, 100, 16}, text_style::SectionHeading, colors::Muted);

    for (int i = 0; i < kPageCount; ++i) {
        const float top = 116.0f + 44.0f * static_cast<float>(i);
        const ActionId id = NavId(i);
        const Rect region{14, top, 204, 40};
        tk.AddRegion(id, region, true);
        const bool selected = page_ == i;
        const bool hovered = tk.IsHovered(id);
        if (selected) {
            tk.FillRounded(Rect{14, top, 204, 40}, 8, colors::Selection);
            tk.FillRounded(Rect{14, top + 12, 3, 16}, 1.5f, colors::Accent);
        } else if (hovered) {
            tk.FillRounded(Rect{14, top, 204, 40}, 8, colors::Panel);
        }
        const D2D1_COLOR_F color = selected || hovered ? colors::PrimaryText : colors::SecondaryText;
        tk.DrawGlyph(kNavEntries[i].glyph, Rect{28, top, 20, 40}, text_style::IconNav, color);
        tk.DrawLabel(kNavEntries[i].label, Rect{60, top, 154, 40},
                     selected ? text_style::LabelStrong : text_style::Label, color);
        if (tk.IsClicked(id)) ShowPage(i);
    }

    const float top = height - 94;
    tk.Card(Rect{14, top, 204, 78});
    tk.FillCircle(32, top + 22, 3.5f, ready ? colors::Green : colors::Muted);
    tk.DrawLabel(ready ? L"Canlı izleniyor" : L"Başlatılıyor", Rect{44, top + 12, 168, 20}, text_style::LabelStrong,
                 colors::PrimaryText);
    if (ready) {
        const LocalTime& t = snapshot_.localTime;
        tk.DrawLabel(L"Son güncelleme " + TwoDigits(t.hour) + L":" + TwoDigits(t.minute) + L":" + TwoDigits(t.second),
                     Rect{44, top + 34, 168, 16}, text_style::Caption, colors::SecondaryText);
        tk.DrawLabel(L"Açık kalma " + FormatUptime(GetTickCount64()), Rect{44, top + 52, 168, 16},
                     text_style::Caption, colors::SecondaryText);
    }
}

void MainWindow::drawTitleButtons(float width) {
    DrawingToolkit& tk = *painting_;
    const bool maximized = hwnd_ && IsZoomed(hwnd_);
    const wchar_t glyphs[3] = {0xE921, static_cast<wchar_t>(maximized ? 0xE923 : 0xE922), 0xE8BB};
    for (int i = 0; i < 3; ++i) {
        const int number = i + 1;
        const Rect r{width - 3 * kCaptionButtonWidth + kCaptionButtonWidth * static_cast<float>(i), 0,
                     kCaptionButtonWidth, kTitleBarHeight};
        const bool over = hoverCaption_ == number;
        const bool active = over || pressCaption_ == number;
        if (active) tk.FillRect(r, number == 3 ? colors::CloseRed : colors::Selection);
        D2D1_COLOR_F color = colors::SecondaryText;
        if (over) color = number == 3 ? colors::White : colors::PrimaryText;
        tk.DrawGlyph(glyphs[i], r, text_style::IconCaption, color);
    }
}

void MainWindow::drawFirstTestPrompt(float width, float height) {
    DrawingToolkit& tk = *painting_;
    tk.SetRegionClip(0, height);
    tk.FillRect(Rect{0, 0, width, height}, colors::Overlay);
    tk.AddRegion(MakeActionId(L"prompt/block"), Rect{0, 0, width, height}, false);

    const float panelW = std::min(width - 48, 500.0f);
    const float textW = panelW - 56;
    const float titleH = tk.MeasureParagraph(kPromptTitle, textW, text_style::CardTitle);
    const float bodyH = tk.MeasureParagraph(kPromptBody, textW, text_style::Secondary);
    const float panelH = bodyH + titleH + 90 + 10 + 26 + 36 + 28;
    const float left = std::round((width - panelW) / 2), top = std::round((height - panelH) / 2);
    const Rect panel{left, top, panelW, panelH};
    tk.FillRounded(panel, 14, colors::Panel);
    tk.Outline(panel, 14, colors::Border, 1);
    tk.Badge(Rect{left + 28, top + 28, 44, 44}, 0xEC4A, colors::Accent, palette::kBadgeAlpha, text_style::IconNav);
    float y = top + 28 + 62;
    y += tk.DrawParagraph(kPromptTitle, left + 28, y, textW, text_style::CardTitle, colors::PrimaryText);
    y += 10;
    y += tk.DrawParagraph(kPromptBody, left + 28, y, textW, text_style::Secondary, colors::SecondaryText);
    y += 26;
    const float yesX = left + panelW - 28 - 150;
    const bool yes = tk.Button(MakeActionId(L"prompt/yes"), Rect{yesX, y, 150, 36}, L"Evet, test et", 0xE768, true);
    const bool no = tk.Button(MakeActionId(L"prompt/no"), Rect{yesX - 8 - 120, y, 120, 36}, L"Şimdi değil", 0, false);
    if (yes || no) {
        settings_.FirstTestOffered = true;
        SaveSettings(settings_);
        if (yes && !testRunning()) RunAllTests();
        repaint();
    }
}

// ---- PageActions ---------------------------------------------------------

void MainWindow::ApplySettings() {
    SaveSettings(settings_);
    applySamplerInterval();
    if (engine_) engine_->setSmoothing(settings_.SmoothCpuTemp);
    if (hwnd_) applyTopmost();
    if (engine_) engine_->copySnapshot(snapshot_);
    tray_.Refresh(snapshot_, settings_);
    repaint();
}

void MainWindow::ResetMinMax() {
    if (engine_) engine_->requestReset();
}

void MainWindow::CopyHardwareReport() {
    std::shared_ptr<const HardwareInventory> report;
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report = report_;
    }
    if (report) WindowServices::CopyReportToClipboard(hwnd_, *report);
}

void MainWindow::RefreshHardwareReport() {
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report_.reset();
    }
    startHardwareReport();
    repaint();
}

bool MainWindow::IsAutostartOn() {
    if (!autostartValid_) {
        autostartCached_ = WindowServices::IsAutostartEnabled();
        autostartValid_ = true;
    }
    return autostartCached_;
}

void MainWindow::SetStartWithWindows(bool on) {
    autostartCached_ = WindowServices::SetAutostart(on, settings_.AdvancedSensors && IsProcessElevated())
                           ? on
                           : WindowServices::IsAutostartEnabled();
    autostartValid_ = true;
    repaint();
}

void MainWindow::SetAdvancedSensors(bool on) {
    settings_.AdvancedSensors = on;
    SaveSettings(settings_);
    if (on && !IsProcessElevated()) {
        if (RelaunchElevated(L"")) {
            DestroyWindow(hwnd_);
            return;
        }
        RegisterShowSignal(hwnd_, showMessage_);
        settings_.AdvancedSensors = false;
        SaveSettings(settings_);
    }
    repaint();
}

void MainWindow::RestartAsAdministrator() {
    if (RelaunchElevated(L"")) {
        DestroyWindow(hwnd_);
        return;
    }
    RegisterShowSignal(hwnd_, showMessage_);
}

void MainWindow::ShowPage(int page) {
    page_ = std::clamp(page, 0, static_cast<int>(kPageCount) - 1);
    repaint();
}

void MainWindow::StartTest(uint32_t kind, wchar_t driveLetter) {
    if (!launchTest(kind, driveLetter)) {
        // A series whose next test cannot start ends here (the Tests page
        // shows the runner's error text); a run already under way keeps its series.
        if (!testRunning()) {
            testQueue_.clear();
            KillTimer(hwnd_, kTimerNextTest);
        }
    } else {
        resultHandled_ = false;
        services_->resetThermalGuard();
        benchmarkMode_ = true;
        if (engine_) {
            engine_->setBenchmarkRunning(true);
            engine_->setInterval(1000);
        }
    }
    repaint();
}

void MainWindow::StopTests() {
    testQueue_.clear();
    KillTimer(hwnd_, kTimerNextTest);
    services_->stopRun(L"Test durduruldu");
}

void MainWindow::ExportReportImage(bool toClipboard) {
    std::shared_ptr<const HardwareInventory> report;
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report = report_;
    }
    std::wstring toast;
    if (services_->exportReportImage(hwnd_, toClipboard, report.get(), settings_.UseFahrenheit, toast) ||
        !toast.empty()) {
        toastText_ = toast;
        toastExpiry_ = GetTickCount64() + 5000;
    }
    repaint();
}

void MainWindow::SetShareData(bool on) {
    settings_.ShareData = on;
    SaveSettings(settings_);
    services_->acknowledgeNotice();
    repaint();
}

void MainWindow::AnswerConsent(bool yes) {
    services_->acknowledgeNotice();
    if (settings_.ShareData != yes) {
        settings_.ShareData = yes;
        SaveSettings(settings_);
    }
    if (yes) runSharingCheck();
    repaint();
}

void MainWindow::MarkConsentNoticeShown() {
    if (!visibleNotMinimized()) return;
    services_->markNoticeShown();
}

void MainWindow::DeleteSharedData() {
    services_->requestDeletion();
    repaint();
}

std::wstring MainWindow::BuildReportPreview() {
    std::shared_ptr<const HardwareInventory> report;
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report = report_;
    }
    SensorSnapshot copy;
    if (engine_) engine_->copySnapshot(copy);
    return services_->reportPreview(copy, report.get());
}

void MainWindow::RunAllTests() {
    if (testRunning()) return;
    testQueue_ = {3, 1, 2};  // memory, GPU, disk after the CPU test
    page_ = kPageTests;
    StartTest(0, 0);
    repaint();
}

// ---- hook points ---------------------------------------------------------

bool MainWindow::testRunning() const { return services_->testRunning(); }

bool MainWindow::launchTest(uint32_t kind, wchar_t driveLetter) { return services_->startRun(hwnd_, kMsgBench, kind, driveLetter); }

void MainWindow::thermalCheck() { services_->thermalCheck(snapshot_, settings_); }

void MainWindow::runSharingCheck() {
    std::shared_ptr<const HardwareInventory> report;
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report = report_;
    }
    services_->sharingCheck(settings_.ShareData, snapshot_, report.get());
}

void MainWindow::startHardwareReport() {
    // One collecting thread at a time. A refresh while it runs asks it for one
    // more round instead of blocking this thread on a join while WMI answers.
    if (reportBusy_.exchange(true)) {
        reportAgain_.store(true);
        return;
    }
    if (reportThread_.joinable()) reportThread_.join();  // finished: reportBusy_ was false
    reportThread_ = std::thread([this] {
        for (;;) {
            reportAgain_.store(false);
            std::shared_ptr<const HardwareInventory> built = WindowServices::CollectReport();
            if (built) {
                {
                    std::lock_guard<std::mutex> lock(reportMutex_);
                    report_ = std::move(built);
                }
                PostMessageW(hwnd_, kMsgInventory, 0, 0);
            }
            reportBusy_.store(false);
            // A refresh that came in after the last round started: go again,
            // unless the window has started a new thread meanwhile.
            if (!reportAgain_.load() || reportBusy_.exchange(true)) break;
        }
    });
}

void MainWindow::refreshAutostartInBackground() {
    const bool useTask = settings_.AdvancedSensors && IsProcessElevated();
    std::thread([useTask] {
        if (WindowServices::IsAutostartEnabled()) WindowServices::SetAutostart(true, useTask);
    }).detach();
}

}  // namespace kalorix
