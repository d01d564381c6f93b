#include "providers/gpu_provider.h"

#include "providers/byte_read.h"

#include <cstdio>
#include <cstring>

namespace kalorix {

namespace {

constexpr std::wstring_view kLuidTag = L"luid_";
constexpr std::wstring_view kPhysTag = L"_phys_";
constexpr std::wstring_view kEngTypeTag = L"engtype_";

// The LUID key of an instance name ("luid_..." up to "_phys_"), with the
// position just after "_phys_"; nothing without both tags.
std::optional<std::pair<std::wstring, size_t>> SplitInstance(const std::wstring& name) {
    const size_t luid = name.find(kLuidTag);
    if (luid == std::wstring::npos) return std::nullopt;
    const size_t phys = name.find(kPhysTag, luid + kLuidTag.size());
    if (phys == std::wstring::npos) return std::nullopt;
    return std::make_pair(name.substr(luid, phys - luid), phys + kPhysTag.size());
}

}  // namespace

std::wstring GpuLuidKey(int32_t highPart, uint32_t lowPart) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "luid_0x%08X_0x%08X", static_cast<unsigned>(static_cast<uint32_t>(highPart)),
                  static_cast<unsigned>(lowPart));
    return std::wstring(buf, buf + std::strlen(buf));
}

bool IsDiscreteGpu(uint64_t dedicatedBytes) { return dedicatedBytes >= kGpuDiscreteMinBytes; }

std::map<std::wstring, double> GpuEngineLoads(const std::vector<GpuCounterItem>& items) {
    std::map<std::wstring, std::map<std::wstring, double>> sums;  // key -> engine type -> sum
    for (const GpuCounterItem& item : items) {
        if (item.status != 0) continue;
        auto split = SplitInstance(item.name);
        if (!split) continue;
        const size_t eng = item.name.find(kEngTypeTag, split->second);
        if (eng == std::wstring::npos) continue;
        sums[split->first][item.name.substr(eng + kEngTypeTag.size())] += item.value;
    }
    std::map<std::wstring, double> loads;
    for (const auto& [key, types] : sums) {
        double best = 0.0;
        for (const auto& [type, sum] : types) best = std::max(best, sum);
        loads[key] = best;
    }
    return loads;
}

std::map<std::wstring, double> GpuDedicatedUsage(const std::vector<GpuCounterItem>& items) {
    std::map<std::wstring, double> usage;
    for (const GpuCounterItem& item : items) {
        if (item.status != 0) continue;
        auto split = SplitInstance(item.name);
        if (!split) continue;
        usage[split->first] += item.value;
    }
    return usage;
}

std::optional<GpuPerfData> ParseGpuPerfData(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size < kGpuPerfDataSize) return std::nullopt;
    GpuPerfData data;
    data.fanRpm = ReadU32(bytes + 48);
    data.temperatureDeci = ReadU32(bytes + 56);
    return data;
}

std::optional<double> GpuTemperatureFromRaw(uint32_t deciCelsius) {
    if (deciCelsius == 0 || deciCelsius >= 1500) return std::nullopt;
    return deciCelsius / 10.0;
}

std::optional<double> GpuFanFromRaw(uint32_t rpm) {
    if (rpm == 0 || rpm >= 20000) return std::nullopt;
    return static_cast<double>(rpm);
}

void ApplyGpuCounterMaps(GpuAdapterSample& sample, const std::map<std::wstring, double>& engineLoads,
                         const std::map<std::wstring, double>& dedicatedUsage) {
    if (auto it = engineLoads.find(sample.luidKey); it != engineLoads.end()) {
        sample.load = std::min(std::max(it->second, 0.0), 100.0);
    }
    if (auto it = dedicatedUsage.find(sample.luidKey); it != dedicatedUsage.end()) {
        // Counter values are doubles; a negative or absurd one must not wrap around.
        const double v = it->second;
        sample.usedBytes = v <= 0.0 ? 0 : v >= 1.8e19 ? UINT64_MAX : static_cast<uint64_t>(v);
    }
}

void AppendGpuAdapter(SensorFrame& frame, const GpuAdapterSample& s) {
    const std::wstring base = L"gpu/" + s.luidKey;
    if (s.temperature) frame.add(base + L"/temp", s.name, L"GPU sıcaklığı", SensorKind::Temperature, *s.temperature);
    if (s.load) frame.add(base + L"/load", s.name, L"GPU kullanımı", SensorKind::Load, *s.load);
    if (s.fanSpeed) frame.add(base + L"/fan", s.name, L"GPU fanı", SensorKind::Fan, *s.fanSpeed);
    if (s.dedicatedBytes >= kGpuMemSensorMinBytes && s.usageKnown) {
        frame.add(base + L"/mem", s.name, L"Ayrılmış bellek kullanımı", SensorKind::Data,
                  static_cast<double>(s.usedBytes) / static_cast<double>(1ull << 30));
    }

    const bool take = !frame.gpu || (!frame.gpu->temperature && s.temperature);
    if (!take) return;
    GpuSummary g;
    g.name = s.name;
    g.discrete = s.discrete;
    g.temperature = s.temperature;
    g.fanSpeed = s.fanSpeed;
    g.load = s.load;
    g.dedicatedUsedBytes = s.usedBytes;
    g.dedicatedTotalBytes = s.dedicatedBytes;
    frame.gpu = std::move(g);
}

}  // namespace kalorix
