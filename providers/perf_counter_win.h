// The performance-counter provider: processor load and clock, ACPI thermal
// zones and energy-meter channels from the operating system's counters (PDH).
#pragma once

#include <memory>
#include <string>

#include "providers/perf_counter.h"
#include "sensors/sensor_model.h"

namespace kalorix {

class PerfCounterProvider : public Provider {
public:
    // Opens the PDH query and adds the counters; never fails as a whole (a
    // query that cannot be opened makes a provider that reports nothing).
    PerfCounterProvider();
    // The same provider code over another counter source (recorded arrays).
    PerfCounterProvider(std::unique_ptr<CounterSource> source, std::wstring cpuName);
    ~PerfCounterProvider() override;

    const wchar_t* name() const override { return kPerfCounterProviderName; }
    void poll(SensorFrame& frame) override;

    const std::wstring& cpuName() const { return cpuName_; }
    bool hasSource() const { return source_ != nullptr; }

private:
    std::unique_ptr<CounterSource> source_;  // null when the query could not be opened
    std::wstring cpuName_;
};

// The PDH query with the five counters; nothing when PdhOpenQueryW fails.
std::unique_ptr<CounterSource> OpenPdhCounterSource();

// "ProcessorNameString" of the first processor, trimmed; "İşlemci" when missing.
std::wstring ReadCpuName();

}  // namespace kalorix
