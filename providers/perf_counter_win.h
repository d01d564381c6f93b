// The performance-counter provider: processor load and clock, ACPI thermal
// zones and energy-meter channels from the operating system's counters (PDH),
// with load and clock taken from the system's time accounting and power
// manager when the processor counters cannot be added or collected.
#pragma once

#include <memory>
#include <string>

#include "providers/perf_counter.h"
#include "providers/processor_times.h"
#include "sensors/sensor_model.h"

namespace kalorix {

class PerfCounterProvider : public Provider {
public:
    // Opens the PDH query and adds the counters, with the system's processor
    // times behind them; never fails as a whole.
    PerfCounterProvider();
    // The same provider code over another counter source (recorded arrays).
    PerfCounterProvider(std::unique_ptr<CounterSource> source, std::wstring cpuName);
    ~PerfCounterProvider() override;

    const wchar_t* name() const override { return kPerfCounterProviderName; }
    void poll(SensorFrame& frame) override;

    const std::wstring& cpuName() const { return cpuName_; }
    bool hasSource() const { return source_ != nullptr; }

private:
    std::unique_ptr<CounterSource> source_;  // null only when built so by a test
    std::wstring cpuName_;
};

// The PDH query with the five counters; nothing when PdhOpenQueryW fails.
std::unique_ptr<CounterSource> OpenPdhCounterSource();

// Per-processor and system-wide times and the clocks, from the kernel and the power manager.
std::unique_ptr<ProcessorTimesSource> OpenSystemProcessorTimes();

// "ProcessorNameString" of the first processor, trimmed; "İşlemci" when missing.
std::wstring ReadCpuName();

}  // namespace kalorix
