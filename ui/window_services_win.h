// The window's links to the subsystems it owns but does not draw: the
// benchmark runner with its thermal safety stop, the telemetry client, the
// hardware report and the report image. MainWindow holds one
// WindowServices and reaches those subsystems only through it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "bench/test_series.h"
#include "sensors/sensor_model.h"
#include "store/settings.h"
#include "ui/interaction.h"

namespace kalorix {

class PageActions;

class WindowServices {
public:
    WindowServices();
    ~WindowServices();
    WindowServices(const WindowServices&) = delete;
    WindowServices& operator=(const WindowServices&) = delete;

    // ---- benchmark runner ----
    bool testRunning();
    // Starts a child that posts kMsgBench to window; a started run begins with a fresh thermal guard.
    bool startRun(HWND window, BenchKind kind, wchar_t driveLetter);
    void stopRun(const std::wstring& reason);
    // The runner's state copied for this paint pass; nullptr without a runner.
    const BenchState* benchStateCopy();
    // When no child runs: the last run's outcome, true.
    bool finishedRun(BenchOutcome& outcome);
    // Thermal safety stop, fed with every snapshot while a test runs.
    void thermalCheck(const SensorSnapshot& snapshot, const Settings& settings);

    // ---- telemetry ----
    void loadTelemetry(HWND window, UINT message);
    TelemetryView telemetryCopy();
    void acknowledgeNotice();
    void markNoticeShown();
    void requestDeletion();
    void markResultPending();
    void sharingCheck(bool shareData, const SensorSnapshot& snapshot, const HardwareInventory* report);
    std::wstring reportPreview(const SensorSnapshot& snapshot, const HardwareInventory* report);

    // ---- hardware report ----
    // Runs on the report thread: COM, the collection, nothing shared.
    static std::shared_ptr<const HardwareInventory> CollectReport();
    static void CopyReportToClipboard(HWND window, const HardwareInventory& report);

    // ---- report image ----
    // Saves or copies the image; toast receives the text to show.
    bool exportReportImage(PageActions& window, bool toClipboard, std::wstring& toast);
    // The same with the window's copies: the hardware report (may be null) and the unit.
    bool exportReportImage(HWND window, bool toClipboard, const HardwareInventory* report, bool fahrenheit,
                           std::wstring& toast);

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace kalorix
