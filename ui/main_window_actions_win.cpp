// MainWindow: what the pages may ask of the window (PageActions), and the
// runner, telemetry and hardware report behind them.
#include "ui/main_window_win.h"

#include <algorithm>
#include <ctime>

#include "app/elevation_win.h"
#include "inventory/inventory.h"
#include "metrics/metrics_server_win.h"
#include "store/usage_history.h"

namespace kalorix {

// ---- PageActions ---------------------------------------------------------

void MainWindow::ApplySettings() {
    SaveSettings(settings_);
    if (sensorLog_) sensorLog_->apply(settings_);
    applySamplerInterval();
    if (engine_) engine_->setSmoothing(settings_.SmoothCpuTemp);
    if (hwnd_) applyTopmost();
    if (engine_) engine_->copySnapshot(snapshot_);
    if (metrics_) {
        metrics_->apply(EndpointFromSettings(settings_));
        metrics_->publish(snapshot_);
    }
    tray_.Refresh(snapshot_, settings_);
    repaint();
}

void MainWindow::ResetMinMax() {
    if (engine_) engine_->requestReset();
}

void MainWindow::CopyHardwareReport() {
    if (const auto report = shownHardwareReport()) WindowServices::CopyReportToClipboard(hwnd_, *report);
}

std::shared_ptr<const HardwareInventory> MainWindow::hardwareReport() {
    std::lock_guard<std::mutex> lock(reportMutex_);
    return report_;
}

std::shared_ptr<const HardwareInventory> MainWindow::shownHardwareReport() {
    std::shared_ptr<const HardwareInventory> report = hardwareReport();
    if (!report || !hidePersonalInfo()) return report;
    if (hiddenFrom_ != report) {  // made once per collected report
        hiddenReport_ = std::make_shared<const HardwareInventory>(WithoutPersonalInfo(*report));
        hiddenFrom_ = report;
    }
    return hiddenReport_;
}

void MainWindow::RefreshHardwareReport() {
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report_.reset();
    }
    startHardwareReport();
    repaint();
}

// Runs on the autostart worker; the switch shows the change as pending meanwhile.
void MainWindow::SetStartWithWindows(bool on) {
    if (autostart_) autostart_->Set(on, useAutostartTask());
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

void MainWindow::StartTest(BenchKind kind, wchar_t driveLetter) {
    series_.startOne(kind, driveLetter);  // refused while a series runs
    repaint();
}

void MainWindow::StopTests() {
    series_.stop();
    repaint();
}

// Drawing, encoding and writing the image would hold up the paint pass that
// saw the click: it runs once that frame is on screen.
void MainWindow::ExportReportImage(bool toClipboard) {
    afterPaint_.push_back([this, toClipboard] {
        const auto report = shownHardwareReport();
        std::wstring toast;
        if (services_->exportReportImage(hwnd_, toClipboard, report.get(), settings_.UseFahrenheit, toast) ||
            !toast.empty()) {
            toastText_ = toast;
            toastExpiry_ = GetTickCount64() + 5000;
        }
        repaint();
    });
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
    SensorSnapshot copy;
    if (engine_) engine_->copySnapshot(copy);
    return services_->reportPreview(copy, hardwareReport().get());
}

void MainWindow::RunAllTests() {
    if (series_.startAll()) page_ = kPageTests;
    repaint();
}

// ---- the test series' host ---------------------------------------------------

bool MainWindow::testRunning() { return services_->testRunning(); }

bool MainWindow::launchTest(BenchKind kind, wchar_t driveLetter) {
    if (!services_->startRun(hwnd_, kind, driveLetter)) return false;
    benchmarkMode_ = true;
    if (engine_) {
        engine_->setBenchmarkRunning(true);
        engine_->setInterval(1000);
    }
    return true;
}

void MainWindow::stopTest(const std::wstring& reason) { services_->stopRun(reason); }
void MainWindow::armPause(uint32_t milliseconds) { SetTimer(hwnd_, kTimerNextTest, milliseconds, nullptr); }
void MainWindow::cancelPause() { KillTimer(hwnd_, kTimerNextTest); }
uint64_t MainWindow::nowMs() { return GetTickCount64(); }

void MainWindow::storeResult(const BenchOutcome& outcome) {
    TestRecord record;
    record.kind = outcome.kind;
    record.time = static_cast<int64_t>(time(nullptr));
    record.metrics = outcome.metrics;
    record.info = outcome.info;
    UsageHistory::instance().addTestRecord(record);
    recordsCycle_.reset();
}

void MainWindow::seriesSucceeded() {
    services_->markResultPending();
    runSharingCheck();
}

// ---- runner, telemetry, hardware report ----------------------------------------

void MainWindow::thermalCheck() { services_->thermalCheck(snapshot_, settings_); }

void MainWindow::runSharingCheck() { services_->sharingCheck(settings_.ShareData, snapshot_, hardwareReport().get()); }

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

}  // namespace kalorix
