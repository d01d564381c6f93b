// The one window of the monitor: custom frame, sidebar, pages, tray, and the
// owner of the sampling engine and every other piece of state the pages show.
//
// main_window_win.cpp holds creation and the message handlers,
// main_window_paint_win.cpp the paint pass, main_window_actions_win.cpp what
// the pages may ask of the window (PageActions).
#pragma once

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/autostart_worker.h"
#include "app/test_hooks_win.h"
#include "base/messages.h"
#include "bench/test_series.h"
#include "sensors/sampling_engine.h"
#include "sensors/sensor_model.h"
#include "store/sensor_log_writer.h"
#include "store/settings.h"
#include "ui/interaction.h"
#include "ui/toolkit_win.h"
#include "ui/tray_win.h"
#include "ui/window_services_win.h"
#include "ui/window_place.h"

namespace kalorix {

class MetricsServer;

class MainWindow : public PageActions, private TestSeriesHost {
public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // Creates the window (hidden in tray mode); false when it cannot be created.
    bool create(bool hidden);
    HWND hwnd() const { return hwnd_; }

    // The window's paint (WM_PAINT): the areas Windows asks for, or everything.
    void paintPass(const std::vector<Rect>& updateAreas);
    // The same pass into another toolkit, e.g. an off-screen one made with
    // CreateOffscreen (the performance program). It uses the window's
    // interaction state like a window pass does.
    void paintPassInto(DrawingToolkit& target);
    DrawingToolkit& toolkit() { return toolkit_; }
    bool shown() const { return shown_; }
    int page() const { return page_; }
    bool snapshotReady() const { return snapshot_.valid; }
    size_t historyPoints() const { return snapshot_.history.size(); }
    int samplerInterval() const { return engine_ ? engine_->interval() : 0; }
    const InteractionState& interaction() const { return interaction_; }
    bool hardwareReportReady() {
        std::lock_guard<std::mutex> lock(reportMutex_);
        return report_ != nullptr;
    }

    // PageActions
    void ApplySettings() override;
    void ResetMinMax() override;
    void CopyHardwareReport() override;
    void RefreshHardwareReport() override;
    void SetStartWithWindows(bool on) override;
    void SetAdvancedSensors(bool on) override;
    void RestartAsAdministrator() override;
    void ShowPage(int page) override;
    void StartTest(BenchKind kind, wchar_t driveLetter) override;
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

    // ---- message handlers (main_window_win.cpp) ----
    LRESULT onDestroy();
    LRESULT onSize(WPARAM kind, LPARAM size);
    LRESULT onPaint();
    LRESULT onClose();
    bool onSetCursor(LPARAM lParam);
    LRESULT onGetMinMaxInfo(LPARAM lParam);
    bool onNcCalcSize(WPARAM wParam, LPARAM lParam);
    LRESULT onNcHitTest(LPARAM lParam);
    bool onNcMouseMove(WPARAM hitCode);
    bool onNcButtonDown(WPARAM hitCode);
    bool onNcButtonUp(WPARAM hitCode);
    LRESULT onNcMouseLeave();
    LRESULT onMouseMove(LPARAM lParam);
    LRESULT onButtonDown(LPARAM lParam);
    LRESULT onButtonUp(LPARAM lParam);
    LRESULT onMouseLeave();
    LRESULT onCaptureLost();
    LRESULT onMouseWheel(int delta);
    bool onKeyDown(WPARAM key);
    LRESULT onTimer(UINT_PTR id);
    LRESULT onDpiChanged(WPARAM wParam, LPARAM lParam);
    void onSnapshotReady();
    void onTaskbarCreated();
    void onTrayCallback(LPARAM lParam);
    void onTrayCommand(int command);
    void onBenchChanged();
    void onShowRequest();
    void onSessionEnding(bool ending);
    void onTelemetryFinished();

    // ---- window state (main_window_win.cpp) ----
    void repaint();
    void repaintIfVisible();
    bool visibleNotMinimized() const;
    void showFromTray();
    void hideToTray();
    void applySamplerInterval();
    void applyTopmost();
    void applyFrameAttributes();
    void rememberPlace();
    void trackNormalRect();
    void trimWorkingSet();
    float clientWidthDips() const;
    float clientHeightDips() const;
    float pointerScale() const { return 96.0f / toolkit_.dpi(); }
    void scrollBy(float dips);
    bool useAutostartTask() const;

    // ---- paint pass (main_window_paint_win.cpp) ----
    void fullPass();
    void partialPass(const std::vector<Rect>& areas);
    void finishFrame(DrawingToolkit& tk);
    void invalidateChanged();
    void drawFrameContent(DrawingToolkit& tk, bool interactive, const Rect* area = nullptr);
    PageContext makePageContext(DrawingToolkit& tk, const Rect& content);
    const PageRecords& pageRecords();
    void drawStartingPlaceholder(const Rect& content);
    void drawSidebar(float height, bool ready);
    void drawTitleButtons(float width);
    void drawFirstTestPrompt(float width, float height);
    float drawPage(PageContext& context);
    void runAfterPaint();
    void reportFrame(const DrawingToolkit& tk);  // test build only

    // ---- the runner, telemetry, hardware report, through services_ ----
    void thermalCheck();
    void runSharingCheck();
    void startHardwareReport();
    std::shared_ptr<const HardwareInventory> hardwareReport();
    // The report as the user may see and share it: without personal
    // information when the switch (or "KALORIX_REDACT") says so.
    std::shared_ptr<const HardwareInventory> shownHardwareReport();
    bool hidePersonalInfo() const { return settings_.HidePersonalInfo || redactForced_; }

    HINSTANCE instance_;
    TestHooks hooks_;
    uint64_t frames_ = 0;
    const BenchState* drawnBench_ = nullptr;  // the runner state the last page pass drew
    std::shared_ptr<const HardwareInventory> drawnReport_;  // the hardware report it drew
    HWND hwnd_ = nullptr;
    DrawingToolkit toolkit_;
    DrawingToolkit* painting_ = &toolkit_;
    std::vector<DrawnItem> presented_;  // the display list of the frame on screen
    std::vector<DrawnItem> pending_;    // the one the invalidated areas are being redrawn to
    bool fullRepaint_ = true;           // something other than a snapshot asked for a repaint
    InteractionState interaction_;
    // Work a page asked for during a pass that must not run inside it (saving
    // an image, starting a process): run right after the frame is presented.
    std::vector<std::function<void()>> afterPaint_;

    Settings settings_;
    std::unique_ptr<SensorLog> sensorLog_;  // outlives the engine, which feeds it
    PageRecords records_;                   // the Tests page's history, records and drives
    std::optional<double> recordsCycle_;    // the snapshot they were copied for; empty: copy again
    std::vector<SensorPlotPoint> plot_;     // the Sensors page's open plot, copied each pass
    std::unique_ptr<EngineHost> engineHost_;
    std::unique_ptr<SamplingEngine> engine_;
    SensorSnapshot snapshot_;  // main thread's copy
    TrayIcon tray_;
    std::unique_ptr<WindowServices> services_;
    std::unique_ptr<AutostartWorker> autostart_;
    std::unique_ptr<MetricsServer> metrics_;  // the metrics endpoint; serves a copy of each cycle

    int page_ = kPageOverview;
    std::array<float, kPageCount> scroll_{};
    std::array<float, kPageCount> contentHeight_{};
    PageViewState view_;

    // tests: the series decides, the window lends it the runner, timer 2 and the stores
    bool launchTest(BenchKind kind, wchar_t driveLetter) override;
    void stopTest(const std::wstring& reason) override;
    bool testRunning() override;
    void armPause(uint32_t milliseconds) override;
    void cancelPause() override;
    uint64_t nowMs() override;
    void storeResult(const BenchOutcome& outcome) override;
    void seriesSucceeded() override;
    TestSeries series_{*this};
    bool benchmarkMode_ = false;  // the sampler's benchmark flag as last set here

    // telemetry as the pages see it
    TelemetryView telemetry_;

    // toast
    std::wstring toastText_;
    uint64_t toastExpiry_ = 0;

    // hardware report
    std::mutex reportMutex_;
    std::shared_ptr<const HardwareInventory> report_;
    std::shared_ptr<const HardwareInventory> hiddenReport_;  // report_ without personal information
    std::shared_ptr<const HardwareInventory> hiddenFrom_;    // the report it was made from
    bool redactForced_ = false;                               // "KALORIX_REDACT" is set
    std::thread reportThread_;
    std::atomic<bool> reportBusy_{false};
    std::atomic<bool> reportAgain_{false};

    ScreenRect normalRect_;  // the last rectangle while neither maximised nor minimised

    CaptionButton hoverCaption_ = CaptionButton::None;
    CaptionButton pressCaption_ = CaptionButton::None;
    bool trackingClient_ = false;
    bool trackingNonClient_ = false;

    bool shown_ = false;
    UINT showMessage_ = 0;
    UINT taskbarCreated_ = 0;
};

}  // namespace kalorix
