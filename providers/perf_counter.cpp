#include "providers/perf_counter.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>

#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr wchar_t kTotalInstance[] = L"_Total";
// Larger indexes than this are not cores of any real processor group; reading
// them would only risk an overflow on a damaged instance name.
constexpr int kMaxCoreIndex = 65535;

bool UsableFrequency(double mhz) { return std::isfinite(mhz) && mhz > 0.0; }

std::wstring CoreLabel(int coreIndex, const wchar_t* what) {
    return L"Çekirdek #" + std::to_wstring(coreIndex + 1) + L" " + what;
}

// Ids must be unique within a cycle. On machines with several processor
// groups the core index repeats per group; the first instance keeps the id.
class IdSet {
public:
    bool insert(const std::wstring& id) { return ids_.insert(id).second; }

private:
    std::unordered_set<std::wstring> ids_;
};

// What one counter family reads: its ids, labels and kind.
struct CpuSeries {
    const wchar_t* totalId;     // "cpu/load/total"
    const wchar_t* coreIdStem;  // "cpu/load/core" + "01"
    const wchar_t* totalLabel;
    const wchar_t* coreWord;    // "Çekirdek #1 yük"
    SensorKind kind;
};

// Adds the _Total instance (returned for the headline) and one reading per core.
template <typename ValueOf>
std::optional<double> FoldCpuSeries(const CounterArray& samples, const CpuSeries& series, ValueOf valueOf,
                                    const std::wstring& cpuName, IdSet& ids, SensorFrame& frame) {
    std::optional<double> total;
    for (const CounterSample& item : samples) {
        if (!std::isfinite(item.value)) continue;
        const double value = valueOf(item.value);
        if (item.instance == kTotalInstance) {
            std::wstring id = series.totalId;
            if (!ids.insert(id)) continue;
            total = value;
            frame.add(std::move(id), cpuName, series.totalLabel, series.kind, value);
        } else if (const auto core = CoreIndexOfInstance(item.instance)) {
            std::wstring id = series.coreIdStem + CoreNumber2(*core);
            if (!ids.insert(id)) continue;
            frame.add(std::move(id), cpuName, CoreLabel(*core, series.coreWord), series.kind, value);
        }
    }
    return total;
}

void FoldLoad(const CounterArray& utility, const std::wstring& cpuName, IdSet& ids, SensorFrame& frame) {
    static constexpr CpuSeries kLoad{L"cpu/load/total", L"cpu/load/core", L"Toplam yük", L"yük", SensorKind::Load};
    const auto percent = [](double v) { return std::clamp(v, 0.0, 100.0); };
    if (const auto total = FoldCpuSeries(utility, kLoad, percent, cpuName, ids, frame)) frame.cpuLoad = total;
}

void FoldClock(const CounterArray& performance, double baseMhz, const std::wstring& cpuName, IdSet& ids,
               SensorFrame& frame) {
    if (!(baseMhz > 0.0)) return;
    static constexpr CpuSeries kClock{L"cpu/clock/avg", L"cpu/clock/core", L"Ortalama frekans", L"frekans",
                                      SensorKind::Clock};
    // Not clamped: the performance percentage passes 100 while boosting.
    const auto mhz = [baseMhz](double percent) { return baseMhz * percent / 100.0; };
    if (const auto total = FoldCpuSeries(performance, kClock, mhz, cpuName, ids, frame)) frame.cpuClock = total;
}

void FoldThermal(const CounterArray& thermal, IdSet& ids, SensorFrame& frame) {
    std::optional<double> hottest;
    for (const CounterSample& item : thermal) {
        const double celsius = item.value / 10.0 - 273.15;  // tenths of a kelvin
        // Implausible zones (and NaN) are ignored, also for the headline value.
        if (!(celsius >= 5.0 && celsius <= 125.0)) continue;
        std::wstring id = L"acpi/" + item.instance;
        if (!ids.insert(id)) continue;
        frame.add(std::move(id), kAcpiDevice, ThermalZoneLabel(item.instance), SensorKind::Temperature, celsius);
        if (!hottest || celsius > *hottest) hottest = celsius;
    }
    if (hottest && !frame.cpuTemp) {
        frame.cpuTemp = *hottest;
        frame.cpuTempSource = kAcpiSource;
    }
}

void FoldEnergy(const CounterArray& energy, const std::wstring& cpuName, IdSet& ids, SensorFrame& frame) {
    for (const CounterSample& item : energy) {
        if (!std::isfinite(item.value)) continue;
        const std::wstring lower = ToLowerAscii(item.instance);
        std::wstring label = EnergyChannelLabel(lower);
        if (label.empty()) continue;
        std::wstring id = L"rapl/" + lower;
        if (!ids.insert(id)) continue;
        const double watts = item.value / 1000.0;  // milliwatts
        frame.add(std::move(id), cpuName, std::move(label), SensorKind::Power, watts);
        if (EndsWith(lower, L"_pkg")) frame.cpuPackagePower = watts;
    }
}

}  // namespace

const wchar_t* PerfCounterPath(PerfCounterId id) {
    switch (id) {
        case PerfCounterId::Utility: return L"\\Processor Information(*)\\% Processor Utility";
        case PerfCounterId::Performance: return L"\\Processor Information(*)\\% Processor Performance";
        case PerfCounterId::Frequency: return L"\\Processor Information(_Total)\\Processor Frequency";
        case PerfCounterId::Thermal: return L"\\Thermal Zone Information(*)\\High Precision Temperature";
        case PerfCounterId::Energy: return L"\\Energy Meter(*)\\Power";
    }
    return L"";
}

std::optional<int> CoreIndexOfInstance(std::wstring_view instance) {
    const size_t comma = instance.find(L',');
    if (comma == std::wstring_view::npos) return std::nullopt;
    const std::wstring_view rest = instance.substr(comma + 1);
    if (rest.empty() || rest.front() < L'0' || rest.front() > L'9') return std::nullopt;
    int index = 0;
    for (const wchar_t c : rest) {
        if (c < L'0' || c > L'9') break;
        index = index * 10 + (c - L'0');
        if (index > kMaxCoreIndex) return std::nullopt;
    }
    return index;
}

std::wstring EnergyChannelLabel(std::wstring_view lowerCaseName) {
    if (EndsWith(lowerCaseName, L"_pkg")) return L"Paket gücü";
    if (EndsWith(lowerCaseName, L"_pp0")) return L"Çekirdek gücü";
    if (EndsWith(lowerCaseName, L"_pp1")) return L"Tümleşik GPU gücü";
    if (EndsWith(lowerCaseName, L"_dram")) return L"Bellek gücü";
    return {};
}

std::wstring ThermalZoneLabel(std::wstring_view instance) {
    const size_t dot = instance.rfind(L'.');
    const std::wstring_view shortName = dot == std::wstring_view::npos ? instance : instance.substr(dot + 1);
    return L"Bölge " + ToUpperAscii(shortName);
}

std::wstring CpuDisplayName(std::wstring_view raw) {
    std::wstring name = TrimSpaces(raw);
    if (name.empty()) return kDefaultCpuName;
    return name;
}

double BaseFrequencyMhz(const PerfCounterArrays& arrays) {
    if (!arrays.frequency.empty() && UsableFrequency(arrays.frequency.back().value))
        return arrays.frequency.back().value;
    if (arrays.frequencyValue && UsableFrequency(*arrays.frequencyValue)) return *arrays.frequencyValue;
    return 0.0;
}

void FoldPerfCounters(const PerfCounterArrays& arrays, const std::wstring& cpuName, SensorFrame& frame) {
    IdSet ids;
    FoldLoad(arrays.utility, cpuName, ids, frame);
    FoldClock(arrays.performance, BaseFrequencyMhz(arrays), cpuName, ids, frame);
    FoldThermal(arrays.thermal, ids, frame);
    FoldEnergy(arrays.energy, cpuName, ids, frame);
}

void PollPerfCounters(CounterSource& source, const std::wstring& cpuName, SensorFrame& frame) {
    if (!source.collect()) return;
    PerfCounterArrays arrays;
    arrays.utility = source.readArray(PerfCounterId::Utility);
    arrays.frequency = source.readArray(PerfCounterId::Frequency);
    if (arrays.frequency.empty() || !UsableFrequency(arrays.frequency.back().value))
        arrays.frequencyValue = source.readValue(PerfCounterId::Frequency);
    // The performance array is only needed when there is a base frequency to scale.
    if (BaseFrequencyMhz(arrays) > 0.0) arrays.performance = source.readArray(PerfCounterId::Performance);
    arrays.thermal = source.readArray(PerfCounterId::Thermal);
    arrays.energy = source.readArray(PerfCounterId::Energy);
    FoldPerfCounters(arrays, cpuName, frame);
}

}  // namespace kalorix
