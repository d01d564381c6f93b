#include "sensors/engine_host_win.h"

#include <windows.h>
#include <objbase.h>

#include <ctime>
#include <cstdlib>
#include <string>

#include "app/elevation_win.h"
#include "app/registry_win.h"
#include "providers/factories_win.h"
#include "sensors/clock_win.h"
#include "sensors/fake_providers.h"
#include "sensors/text.h"
#include "store/usage_history.h"

namespace kalorix {

namespace {

std::string EnvText(const wchar_t* name) {
    wchar_t buf[256];
    const DWORD n = GetEnvironmentVariableW(name, buf, 256);
    if (n == 0 || n >= 256) return {};
    return WideToUtf8(std::wstring(buf, n));
}

class WinEngineHost : public EngineHost {
public:
    WinEngineHost() : fakeScenario_(EnvText(L"KALORIX_FAKE_SENSORS")) {
        if (!fakeScenario_.empty()) {
            const double f = std::atof(EnvText(L"KALORIX_FAKE_CLOCK").c_str());
            if (f > 0.0) clockFactor_ = f;
        }
        origin_ = MonotonicSeconds();
    }

    double monotonicNow() override {
        const double t = MonotonicSeconds();
        return clockFactor_ == 1.0 ? t : origin_ + (t - origin_) * clockFactor_;
    }
    int64_t wallNow() override { return static_cast<int64_t>(std::time(nullptr)); }
    LocalTime localTime() override { return CurrentLocalTime(); }
    void sleepMs(int ms) override { Sleep(static_cast<DWORD>(ms)); }
    bool threadStarted() override { return SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
    void threadEnding(bool started) override {
        if (started) CoUninitialize();
    }
    bool isElevated() override { return IsProcessElevated(); }
    std::vector<std::unique_ptr<Provider>> createProviders(bool elevated) override {
        if (!fakeScenario_.empty()) return MakeFakeProviders(fakeScenario_);
        return CreateProviders(elevated);
    }
    std::wstring biosManufacturer() override {
        return RegReadTrimmed(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", L"SystemManufacturer");
    }
    bool pawnIoInstalled() override {
        const std::wstring path = FindPawnIoLibrary();
        return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    void postReady(void* window) override {
        PostMessageW(static_cast<HWND>(window), kSnapshotReadyMessage, 0, 0);
    }
    void recordPeriod(const HeavyUsePeriod& period) override { UsageHistory::instance().addPeriod(period); }

private:
    std::string fakeScenario_;
    double clockFactor_ = 1.0;
    double origin_ = 0.0;
};

}  // namespace

std::unique_ptr<EngineHost> MakeWindowsEngineHost() { return std::make_unique<WinEngineHost>(); }

}  // namespace kalorix
