#include "sensors/engine_host_win.h"

#include <windows.h>
#include <objbase.h>

#include <ctime>
#include <string>

#include "app/elevation_win.h"
#include "app/registry_win.h"
#include "app/test_hooks_win.h"
#include "base/messages.h"
#include "providers/factories_win.h"
#include "providers/pawnio_provider_win.h"
#include "sensors/clock_win.h"
#include "sensors/text.h"
#include "store/usage_history.h"

namespace kalorix {

namespace {

class WinEngineHost : public EngineHost {
public:
    WinEngineHost() : hooks_(ActiveTestHooks()) {
        if (hooks_.fakeProviders) clockFactor_ = hooks_.clockFactor;
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
        if (hooks_.fakeProviders) return hooks_.fakeProviders();
        return CreateProviders(elevated);
    }
    std::wstring biosManufacturer() override {
        return RegReadTrimmed(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\BIOS", L"SystemManufacturer");
    }
    bool pawnIoInstalled() override {
        const std::wstring path = FindPawnIoLibrary();
        return !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
    PawnIoStatus pawnIoStatus() override { return CurrentPawnIoStatus(); }
    void postReady(void* window) override {
        PostMessageW(static_cast<HWND>(window), kMsgSnapshotReady, 0, 0);
    }
    void recordPeriod(const HeavyUsePeriod& period) override { UsageHistory::instance().addPeriod(period); }
    void recordProvisionalPeriod(const HeavyUsePeriod& period) override {
        UsageHistory::instance().setProvisionalPeriod(period);
    }
    void dropProvisionalPeriod() override { UsageHistory::instance().clearProvisionalPeriod(); }

private:
    TestHooks hooks_;
    double clockFactor_ = 1.0;
    double origin_ = 0.0;
};

}  // namespace

std::unique_ptr<EngineHost> MakeWindowsEngineHost() { return std::make_unique<WinEngineHost>(); }

bool NotifyPowerBroadcast(SamplingEngine& engine, WPARAM event) {
    switch (event) {
        case PBT_APMSUSPEND:
            engine.suspend();
            return true;
        case PBT_APMRESUMEAUTOMATIC:  // every wake-up, also without a user
        case PBT_APMRESUMESUSPEND:    // a user is there as well; a second resume changes nothing
            engine.resume();
            return true;
        default:
            return false;
    }
}

}  // namespace kalorix
