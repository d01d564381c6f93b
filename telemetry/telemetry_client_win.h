// The telemetry client the main window owns: anonymous identity and notice state
// (telemetry.txt), the send decision, and one upload or deletion worker at a time.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "sensors/sensor_model.h"
#include "telemetry/telemetry_state.h"

namespace kalorix {


std::string NewAnonymousId();   // BCryptGenRandom, version-4 UUID text
std::wstring AppVersionText();  // "major.minor.build" of this executable, or "?"
std::filesystem::path TelemetryPath(bool createFolder);

class TelemetryClient {
public:
    TelemetryClient();
    ~TelemetryClient();  // joins the worker
    TelemetryClient(const TelemetryClient&) = delete;
    TelemetryClient& operator=(const TelemetryClient&) = delete;

    void setNotifyWindow(HWND window) { window_ = window; }
    // Reads telemetry.txt; a missing or damaged id is replaced and the file rewritten.
    void load();
    TelemetryState state() const;
    std::wstring nickname() const;
    std::wstring statusText() const;

    // The consent notice was visible: remembers the first time.
    void markNoticeShown();
    void acknowledgeNotice();
    // A test sequence ended with a new result: report it soon.
    void markNewResult();

    // Sends a report when one is due. inventoryCpuName is absent while the hardware
    // inventory has not been collected (nothing is sent then).
    void maybeSendReport(bool share, const SensorSnapshot& snapshot, const std::optional<std::wstring>& inventoryCpuName);
    // The report as it would be sent now (the settings page's preview).
    std::string previewReport(const SensorSnapshot& snapshot, const std::optional<std::wstring>& inventoryCpuName) const;
    void requestDeletion();
    bool busy() const;
    // Waits for the running request, if any (tests and shutdown).
    void join();

private:
    void saveLocked();
    void startWorker(std::unique_lock<std::mutex>& held, std::function<void()> job);
    void notify();

    mutable std::mutex lock_;
    TelemetryState state_;
    HWND window_ = nullptr;
    std::thread worker_;
};

}  // namespace kalorix
