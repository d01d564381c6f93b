#include "ui/window_services_win.h"

namespace kalorix {

// Subsystems join here as they become available; until then each operation
// reports "nothing there" (no runner, no report, autostart off).
struct WindowServices::State {
    TelemetryView telemetry;
};

WindowServices::WindowServices() : state_(std::make_unique<State>()) {}
WindowServices::~WindowServices() = default;

bool WindowServices::testRunning() { return false; }
bool WindowServices::startRun(HWND, UINT, uint32_t, wchar_t) { return false; }
void WindowServices::stopRun(const std::wstring&) {}
const BenchState* WindowServices::benchStateCopy() { return nullptr; }
bool WindowServices::takeFinishedRun(bool&, BenchOutcome&) { return false; }
void WindowServices::resetThermalGuard() {}
void WindowServices::thermalCheck(const SensorSnapshot&, const Settings&) {}

void WindowServices::loadTelemetry(HWND, UINT) {}
TelemetryView WindowServices::telemetryCopy() { return state_->telemetry; }
void WindowServices::acknowledgeNotice() { state_->telemetry.noticeAcked = true; }
void WindowServices::markNoticeShown() { state_->telemetry.noticeShown = true; }
void WindowServices::requestDeletion() {}
void WindowServices::markResultPending() {}
void WindowServices::sharingCheck(bool, const SensorSnapshot&, const HardwareInventory*) {}
std::wstring WindowServices::reportPreview(const SensorSnapshot&, const HardwareInventory*) { return {}; }

std::shared_ptr<const HardwareInventory> WindowServices::CollectReport() { return nullptr; }
void WindowServices::CopyReportToClipboard(HWND, const HardwareInventory&) {}

bool WindowServices::IsAutostartEnabled() { return false; }
bool WindowServices::SetAutostart(bool, bool) { return false; }

bool WindowServices::exportReportImage(PageActions&, bool, std::wstring&) { return false; }

}  // namespace kalorix
