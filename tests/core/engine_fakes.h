// A platform for the sampling engine that provides nothing: for tests that
// only fold frames by hand.
#pragma once

#include "sensors/sampling_engine.h"

namespace kalorix::test {

struct NullHost : EngineHost {
    double monotonicNow() override { return 0; }
    int64_t wallNow() override { return 0; }
    LocalTime localTime() override { return {}; }
    void sleepMs(int) override {}
    bool isElevated() override { return false; }
    std::vector<std::unique_ptr<Provider>> createProviders(bool) override { return {}; }
    std::wstring biosManufacturer() override { return {}; }
    bool pawnIoInstalled() override { return false; }
    void postReady(void*) override {}
    void recordPeriod(const HeavyUsePeriod&) override {}
};

}  // namespace kalorix::test
