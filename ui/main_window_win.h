// The one window of the monitor: custom frame, sidebar, pages, tray, and the
// owner of the sampling engine and every other piece of state the pages show.
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/test_hooks_win.h"
#include "sensors/sampling_engine.h"
#include "sensors/sensor_model.h"
#include "store/settings.h"
#include "ui/interaction.h"
#include "ui/toolkit_win.h"
#include "ui/tray_win.h"
#include "ui/window_services_win.h"

namespace kalorix {

// Application messages (all posted, none sent).
constexpr UINT kMsgSnapshotReady = 0x8001;  // sampling thread
constexpr UINT kMsgTray = 0x8002;           // shell, tray icon callback
constexpr UINT kMsgInventory = 0x8003;      // hardware report stored
constexpr UINT kMsgBench = 0x8004;          // benchmark state changed
constexpr UINT kMsgTelemetry = 0x8005;      // upload or deletion finished

constexpr UINT_PTR kTimerSharing = 1;  // 120 s first, then every 600 s
constexpr UINT_PTR kTimerNextTest = 2;  // 2.5 s pause between the tests of a series

class MainWindow : public PageActions {
public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window (hidden in tray mode); false when it cannot be created.
    bool create(bool hidden);
    HWND hwnd() const { return hwnd_; }

    // One full paint pass into the window's toolkit (WM_PAINT).
    void paintPass();
    // The same pass into another toolkit, e.g. an off-screen one made with
    // CreateOffscreen (the performance program). It uses the window's
    // interaction state like a window pass does.
    void paintPassInto(DrawingToolkit& target);
    DrawingToolkit& toolkit() { return toolkit_; }
    bool shown() const { return shown_; }
    int page() const { return page_; }
    bool snapshotReady() const { return snapshot_.valid; }
    int samplerInterval() const { return engine_ ? engine_->interval() : 0; }

    // PageActions
    void ApplySettings() override;
    void ResetMinMax() override;
    void CopyHardwareReport() override;
    void RefreshHardwareReport() override;
    bool IsAutostartOn() override;
    void SetStartWithWindows(bool on) override;
    void SetAdvancedSensors(bool on) override;
    void RestartAsAdministrator() override;
    void ShowPage(int page) override;
    void StartTest(uint32_t kind, wchar_t driveLetter) override;
    void StopTests() override;
    void ExportReportImage(bool toClipboard) override;
    void SetShareData(bool on) override;
    void AnswerConsent(bool yes) override;
    void MarkConsentNoticeShown() override;
    void DeleteSharedData() override;
    std::wstring BuildReportPreview() override;
    void RunAllTests() override;

private:
    static LRESULT CALLBACK StaticProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT proc(UINT msg, WPARAM wParam, LPARAM lParam);

    // message handlers
    void onSnapshotReady();
    void onTrayCallback(LPARAM lParam);
    void onTrayCommand(int command);
    void onBenchChanged();
    void onShowRequest();
    void onTimer(UINT_PTR id);
    LRESULT onNcHitTest(LPARAM lParam);
    void onKeyDown(WPARAM key);
    void onMouseWheel(int delta);
    void onSessionEnding(bool ending);
    void onTelemetryFinished();

    // window state
    void repaint();
    void repaintIfVisible();
    bool visibleNotMinimized() const;
    void showFromTray();
    void hideToTray();
    void applySamplerInterval();
    void applyTopmost();
    void trimWorkingSet();
    float clientWidthDips() const;
    float clientHeightDips() const;

    // paint parts, drawn into *painting_
    void paintFrame();
    void drawStartingPlaceholder(const Rect& content);
    void drawSidebar(float height, bool ready);
    void drawTitleButtons(float width);
    void drawFirstTestPrompt(float width, float height);
    float drawPage(PageContext& context);
    void reportFrame(const DrawingToolkit& tk);  // test build only

    // the runner, telemetry, hardware report and autostart, through services_
    bool testRunning() const;
    bool launchTest(uint32_t kind, wchar_t driveLetter);
    void thermalCheck();
    void runSharingCheck();
    void startHardwareReport();
    void refreshAutostartInBackground();

    HINSTANCE instance_;
    TestHooks hooks_;
    uint64_t frames_ = 0;
    HWND hwnd_ = nullptr;
    DrawingToolkit toolkit_;
    DrawingToolkit* painting_ = &toolkit_;
    InteractionState interaction_;

    Settings settings_;
    std::unique_ptr<EngineHost> engineHost_;
    std::unique_ptr<SamplingEngine> engine_;
    SensorSnapshot snapshot_;  // main thread's copy
    TrayIcon tray_;
    std::unique_ptr<WindowServices> services_;

    int page_ = kPageOverview;
    std::array<float, kPageCount> scroll_{};
    std::array<float, kPageCount> contentHeight_{};
    PageViewState view_;

    // tests
    std::vector<uint32_t> testQueue_;
    bool resultHandled_ = true;
    bool benchmarkMode_ = false;  // the sampler's benchmark flag as last set here

    // telemetry as the pages see it
    TelemetryView telemetry_;

    // toast
    std::wstring toastText_;
    uint64_t toastExpiry_ = 0;

    // hardware report
    std::mutex reportMutex_;
    std::shared_ptr<const HardwareInventory> report_;
    std::thread reportThread_;
    std::atomic<bool> reportBusy_{false};
    std::atomic<bool> reportAgain_{false};

    // caption buttons: 0 none, 1 minimise, 2 maximise/restore, 3 close
    int hoverCaption_ = 0;
    int pressCaption_ = 0;
    bool trackingClient_ = false;
    bool trackingNonClient_ = false;

    bool shown_ = false;
    bool autostartCached_ = false;
    bool autostartValid_ = false;
    UINT showMessage_ = 0;
    UINT taskbarCreated_ = 0;
};

}  // namespace kalorix
