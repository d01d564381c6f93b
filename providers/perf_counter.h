// Performance-counter provider, portable part: the counter samples it reads,
// the seam in front of the operating system's counters, and the rules that
// turn one collection into readings (load, clock, ACPI thermal zones, energy
// meter channels).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix {

// One instance of a counter in one collection.
struct CounterSample {
    std::wstring instance;
    double value = 0.0;
};
using CounterArray = std::vector<CounterSample>;

// The five counters, in the order they are added to the query.
enum class PerfCounterId {
    Utility,      // \Processor Information(*)\% Processor Utility
    Performance,  // \Processor Information(*)\% Processor Performance
    Frequency,    // \Processor Information(_Total)\Processor Frequency (MHz)
    Thermal,      // \Thermal Zone Information(*)\High Precision Temperature (0.1 K)
    Energy,       // \Energy Meter(*)\Power (mW)
};
inline constexpr int kPerfCounterCount = 5;

// English counter path of each counter.
const wchar_t* PerfCounterPath(PerfCounterId id);

// Everything one poll reads.
struct PerfCounterArrays {
    CounterArray utility;
    CounterArray performance;
    CounterArray frequency;
    CounterArray thermal;
    CounterArray energy;
    // Single-value reading of the frequency counter; only asked for when the
    // frequency array gives no usable base frequency.
    std::optional<double> frequencyValue;
};

// The source of the counters (PDH on Windows; recorded arrays in tests).
class CounterSource {
public:
    virtual ~CounterSource() = default;
    // Takes one sample of every counter; false when the collection failed.
    virtual bool collect() = 0;
    // The valid items of a counter's array in array order; empty for a counter
    // that is missing on this machine.
    virtual CounterArray readArray(PerfCounterId id) = 0;
    // The counter's single formatted value; nothing when missing or failed.
    virtual std::optional<double> readValue(PerfCounterId id) = 0;
};

inline constexpr wchar_t kPerfCounterProviderName[] = L"Performans sayaçları";
inline constexpr wchar_t kAcpiDevice[] = L"ACPI termal bölgeleri";
inline constexpr wchar_t kAcpiSource[] = L"ACPI";
inline constexpr wchar_t kDefaultCpuName[] = L"İşlemci";

// Core index of a processor instance name "group,index" ("0,3" gives 3);
// nothing for "_Total", "0,_Total" and anything else without a leading number
// after the first comma.
std::optional<int> CoreIndexOfInstance(std::wstring_view instance);

// Label of an energy-meter channel by the end of its lower-cased name; empty
// when the channel is not one the monitor shows.
std::wstring EnergyChannelLabel(std::wstring_view lowerCaseName);

// "Bölge " + upper-cased text after the last '.' of a thermal-zone instance.
std::wstring ThermalZoneLabel(std::wstring_view instance);

// The processor name as read from the registry, trimmed; "İşlemci" when empty.
std::wstring CpuDisplayName(std::wstring_view raw);

// Base frequency in MHz: the last item of the frequency array, else the
// single value; 0 when neither is above 0.
double BaseFrequencyMhz(const PerfCounterArrays& arrays);

// Appends the readings of one collection to the frame and sets cpuLoad,
// cpuClock, cpuPackagePower and, when still absent, cpuTemp ("ACPI").
void FoldPerfCounters(const PerfCounterArrays& arrays, const std::wstring& cpuName, SensorFrame& frame);

// One poll through a source: collect, read the arrays (asking for the single
// frequency value only when needed) and fold them. Nothing when the collection fails.
void PollPerfCounters(CounterSource& source, const std::wstring& cpuName, SensorFrame& frame);

}  // namespace kalorix
