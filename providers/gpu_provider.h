// Portable part of the GPU provider: LUID keys, the sums over the GPU engine
// and adapter-memory counter instances, the filters of the display kernel's
// performance data, the adapter order and the choice of the summary adapter.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix {

constexpr uint64_t kGpuDiscreteMinBytes = 1ull << 30;   // 1 GiB of dedicated memory
constexpr uint64_t kGpuMemSensorMinBytes = 1ull << 28;  // 256 MiB
constexpr uint32_t kGpuAdapterFlagSoftware = 2;         // DXGI_ADAPTER_FLAG_SOFTWARE
constexpr size_t kGpuPerfDataSize = 64;                 // D3DKMT_ADAPTER_PERFDATA

// "luid_0x%08X_0x%08X" of the high part and then the low part.
std::wstring GpuLuidKey(int32_t highPart, uint32_t lowPart);

bool IsDiscreteGpu(uint64_t dedicatedBytes);

// One item of a formatted performance-counter array.
struct GpuCounterItem {
    std::wstring name;
    double value = 0.0;
    uint32_t status = 0;  // 0 = valid data
};

// LUID key -> utilization in percent: per key the busiest engine type, where
// every instance of one type (all engines, all processes) adds up. Not below 0,
// not capped at 100 (the poll caps).
std::map<std::wstring, double> GpuEngineLoads(const std::vector<GpuCounterItem>& items);

// LUID key -> dedicated bytes in use, all physical parts of one adapter added.
std::map<std::wstring, double> GpuDedicatedUsage(const std::vector<GpuCounterItem>& items);

// The two fields of the display kernel's adapter performance data we use.
struct GpuPerfData {
    uint32_t fanRpm = 0;
    uint32_t temperatureDeci = 0;  // tenths of a degree Celsius
};

// Reads FanRPM (offset 48) and Temperature (offset 56) from the raw 64-byte
// record; nothing when fewer bytes are given.
std::optional<GpuPerfData> ParseGpuPerfData(const uint8_t* bytes, size_t size);

// 1..1499 tenths give raw / 10 °C; 0 and 1500 or more give nothing.
std::optional<double> GpuTemperatureFromRaw(uint32_t deciCelsius);
// 1..19999 RPM are taken; 0 and 20000 or more give nothing.
std::optional<double> GpuFanFromRaw(uint32_t rpm);

// Stable order with the discrete adapters first. T needs a bool member `discrete`.
template <typename T>
void OrderGpuAdapters(std::vector<T>& adapters) {
    std::stable_sort(adapters.begin(), adapters.end(),
                     [](const T& a, const T& b) { return a.discrete && !b.discrete; });
}

// What one poll learnt about one adapter.
struct GpuAdapterSample {
    std::wstring name;
    std::wstring luidKey;
    bool discrete = false;
    uint64_t dedicatedBytes = 0;
    std::optional<double> temperature;
    std::optional<double> fanSpeed;
    std::optional<double> load;
    uint64_t usedBytes = 0;
    // The dedicated-usage counter was read this poll; without it the memory
    // sensor is left out rather than shown as 0.
    bool usageKnown = true;
};

// Fills load and used bytes of a sample from the two maps of this poll.
void ApplyGpuCounterMaps(GpuAdapterSample& sample, const std::map<std::wstring, double>& engineLoads,
                         const std::map<std::wstring, double>& dedicatedUsage);

// Appends the adapter's sensors (temp, load, fan, mem) and updates the frame's
// summary adapter: the first adapter fills it, a later one replaces it only
// when the summary has no temperature and this adapter has one.
void AppendGpuAdapter(SensorFrame& frame, const GpuAdapterSample& sample);

}  // namespace kalorix
