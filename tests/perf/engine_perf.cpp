// Figures for one sampling cycle without the providers: the fold of a frame with
// 128 readings into an engine whose chart history and per-sensor histories are
// full, the snapshot copy the window makes after each cycle and the copy of the
// one sensor whose plot is open. Also counts the heap: live bytes must not grow.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "tests/core/engine_fakes.h"
#include "sensors/sampling_engine.h"

namespace {
std::atomic<long long> gLiveBytes{0};
std::atomic<long long> gAllocations{0};
}  // namespace

void* operator new(std::size_t n) {
    auto* p = static_cast<std::size_t*>(std::malloc(n + 16));
    if (!p) throw std::bad_alloc();
    *p = n;
    gLiveBytes += static_cast<long long>(n);
    ++gAllocations;
    return reinterpret_cast<char*>(p) + 16;
}
void operator delete(void* q) noexcept {
    if (!q) return;
    auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(q) - 16);
    gLiveBytes -= static_cast<long long>(*p);
    std::free(p);
}
void operator delete(void* q, std::size_t) noexcept { operator delete(q); }

using namespace kalorix;

namespace {

// The shared empty host with a wall clock in this century (periods carry dates).
struct NullHost : test::NullHost {
    int64_t wallNow() override { return 1'700'000'000; }
};

SensorFrame MakeFrame(int cycle) {
    SensorFrame f;
    for (int i = 0; i < 128; ++i) {
        f.add(L"cpu/load/core" + std::to_wstring(i), L"Intel Core i9-13900K", L"Çekirdek #" + std::to_wstring(i + 1) + L" yük",
              SensorKind::Load, (i * 7 + cycle) % 100);
    }
    f.cpuTemp = 60 + cycle % 20;
    f.cpuLoad = 70;
    f.cpuClock = 4200;
    f.gpu = GpuSummary{};
    f.gpu->temperature = 65;
    return f;
}

}  // namespace

int main() {
    NullHost host;
    SamplingEngine engine(host);
    const double step = 0.5;  // the fastest interval: 3621 chart points over 1810 s
    double now = 1000.0;
    SensorFrame frame = MakeFrame(0);
    for (int i = 0; i < 3700; ++i) engine.fold(frame, now += step);  // fill the history
    SensorSnapshot copy;
    engine.copySnapshot(copy);
    std::vector<SensorPlotPoint> plot;
    const std::wstring plotted = L"cpu/load/core64";
    engine.copySensorHistory(plotted, plot);
    std::printf("chart points: %zu, sensors: %zu, plot points of one sensor: %zu\n", copy.history.size(),
                copy.sensors.size(), plot.size());

    constexpr int kCycles = 10000;
    const long long liveBefore = gLiveBytes.load();
    const long long allocBefore = gAllocations.load();
    using clock = std::chrono::steady_clock;
    double foldNs = 0, copyNs = 0, plotNs = 0;
    for (int i = 0; i < kCycles; ++i) {
        for (auto& r : frame.readings) r.value = (r.value + 1.0);
        frame.cpuTemp = 60 + i % 20;
        const auto t0 = clock::now();
        engine.fold(frame, now += step);
        const auto t1 = clock::now();
        engine.copySnapshot(copy);
        const auto t2 = clock::now();
        engine.copySensorHistory(plotted, plot);
        const auto t3 = clock::now();
        foldNs += std::chrono::duration<double, std::nano>(t1 - t0).count();
        copyNs += std::chrono::duration<double, std::nano>(t2 - t1).count();
        plotNs += std::chrono::duration<double, std::nano>(t3 - t2).count();
    }
    const long long liveAfter = gLiveBytes.load();
    std::printf("fold of 128 readings:   %8.0f ns per cycle\n", foldNs / kCycles);
    std::printf("snapshot copy:          %8.0f ns per cycle\n", copyNs / kCycles);
    std::printf("one sensor's plot copy: %8.0f ns per cycle\n", plotNs / kCycles);
    std::printf("cycle (fold + copies):  %8.0f ns (goal < 15000 ns)\n", (foldNs + copyNs + plotNs) / kCycles);
    std::printf("heap allocations:       %8.1f per cycle\n",
                static_cast<double>(gAllocations.load() - allocBefore) / kCycles);
    std::printf("live heap growth over %d cycles: %lld bytes (goal 0)\n", kCycles, liveAfter - liveBefore);
    return 0;
}
