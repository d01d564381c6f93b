#include "ui/window_services_win.h"

#include "bench/runner_win.h"
#include "bench/thermal_stop.h"
#include "inventory/inventory.h"
#include "inventory/inventory_win.h"
#include "sensors/text.h"
#include "telemetry/telemetry_client_win.h"
#include "ui/report_image_win.h"

namespace kalorix {

namespace {
std::optional<std::wstring> CpuNameOf(const HardwareInventory* report) {
    if (!report) return std::nullopt;
    return report->cpuName;
}
}  // namespace

// The report image is not part of this build yet: exporting reports nothing.
struct WindowServices::State {
    BenchRunner runner;
    BenchState benchCopy;
    bench::ThermalGuard guard;
    TelemetryClient telemetry;
};

WindowServices::WindowServices() : state_(std::make_unique<State>()) {}
WindowServices::~WindowServices() = default;

bool WindowServices::testRunning() { return state_->runner.Snapshot().running; }

bool WindowServices::startRun(HWND window, BenchKind kind, wchar_t driveLetter) {
    if (!state_->runner.Start(window, kind, driveLetter)) return false;
    state_->guard.reset();
    return true;
}

void WindowServices::stopRun(const std::wstring& reason) { state_->runner.Stop(reason); }

const BenchState* WindowServices::benchStateCopy() {
    state_->benchCopy = state_->runner.Snapshot();
    return &state_->benchCopy;
}

bool WindowServices::finishedRun(BenchOutcome& outcome) {
    BenchState st = state_->runner.Snapshot();
    if (st.running) return false;
    outcome.kind = st.kind;
    outcome.success = st.success;
    outcome.error = std::move(st.error);
    outcome.metrics = std::move(st.metrics);
    outcome.info = std::move(st.info);
    return true;
}

void WindowServices::thermalCheck(const SensorSnapshot& snapshot, const Settings& settings) {
    const BenchState st = state_->runner.Snapshot();
    if (!st.running) return;
    if (auto reason = state_->guard.observe(st.kind, snapshot, settings.WarningTemp, settings.UseFahrenheit))
        state_->runner.Stop(*reason);
}

void WindowServices::loadTelemetry(HWND window, UINT) {
    state_->telemetry.setNotifyWindow(window);
    state_->telemetry.load();
}

TelemetryView WindowServices::telemetryCopy() {
    const TelemetryState st = state_->telemetry.state();
    TelemetryView view;
    view.noticeShown = st.noticeShownAt != 0;
    view.noticeAcked = st.noticeAcked;
    view.lastSentAt = st.lastSentAt;
    view.statusText = st.statusText;
    view.busy = st.busy;
    view.nickname = state_->telemetry.nickname();
    return view;
}

void WindowServices::acknowledgeNotice() { state_->telemetry.acknowledgeNotice(); }
void WindowServices::markNoticeShown() { state_->telemetry.markNoticeShown(); }
void WindowServices::requestDeletion() { state_->telemetry.requestDeletion(); }
void WindowServices::markResultPending() { state_->telemetry.markNewResult(); }

void WindowServices::sharingCheck(bool shareData, const SensorSnapshot& snapshot, const HardwareInventory* report) {
    state_->telemetry.maybeSendReport(shareData, snapshot, CpuNameOf(report));
}

std::wstring WindowServices::reportPreview(const SensorSnapshot& snapshot, const HardwareInventory* report) {
    return Utf8ToWide(state_->telemetry.previewReport(snapshot, CpuNameOf(report)));
}

std::shared_ptr<const HardwareInventory> WindowServices::CollectReport() {
    std::shared_ptr<const HardwareInventory> result;
    CollectHardwareInventory([&result](HardwareInventory&& built) {
        result = std::make_shared<const HardwareInventory>(std::move(built));
    });
    return result;
}

void WindowServices::CopyReportToClipboard(HWND window, const HardwareInventory& report) {
    CopyTextToClipboard(window, InventoryToText(report));
}


bool WindowServices::exportReportImage(PageActions&, bool toClipboard, std::wstring& toast) {
    return exportReportImage(nullptr, toClipboard, nullptr, false, toast);
}

bool WindowServices::exportReportImage(HWND window, bool toClipboard, const HardwareInventory* report,
                                       bool fahrenheit, std::wstring& toast) {
    const LocalTime now = CurrentLocalTime();
    const ReportExportResult result = ExportReportImage(
        window, toClipboard, CollectReportImageContent(report, fahrenheit, now), now, DefaultReportExportEnv());
    toast = result.toast;
    return result.ok;
}

}  // namespace kalorix
