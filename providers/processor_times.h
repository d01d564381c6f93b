// Processor load and clock from the system's own time accounting, for
// machines whose processor performance counters cannot be added or collected
// (a damaged counter registry; Wine). Portable: the delta maths and the source
// that puts these readings behind the counters; the Windows layer takes the
// samples (NtQuerySystemInformation, GetSystemTimes, CallNtPowerInformation).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "providers/perf_counter.h"

namespace kalorix {

// One logical processor's (or the whole system's) accumulated times in 100 ns
// units. As Windows reports them, kernel time includes idle time.
struct CpuTimes {
    uint64_t idle = 0;
    uint64_t kernel = 0;
    uint64_t user = 0;
};

// One logical processor's clock as the power manager reports it.
struct ProcessorClock {
    uint32_t maxMhz = 0;
    uint32_t currentMhz = 0;
};

// Busy share in percent (0-100) between two samples. Counters are unsigned and
// may wrap; a step back larger than any real interval (a reset) gives nothing,
// as does an interval in which no time passed. When the idle time grew more
// than the kernel time, the kernel time is taken not to include it.
std::optional<double> LoadBetween(const CpuTimes& before, const CpuTimes& after);

// Loads by position for the processors present in both samples; a processor
// that vanished or appeared in between has none.
std::vector<std::optional<double>> LoadsBetween(const std::vector<CpuTimes>& before,
                                                const std::vector<CpuTimes>& after);

// The samples the fallback needs; each answer is missing when its call failed.
class ProcessorTimesSource {
public:
    virtual ~ProcessorTimesSource() = default;
    virtual std::optional<std::vector<CpuTimes>> perProcessor() = 0;
    virtual std::optional<CpuTimes> total() = 0;
    virtual std::vector<ProcessorClock> clocks() = 0;
};

// Arrays shaped like the processor counters' ("_Total" and "0,N"), so that
// FoldPerfCounters gives the same ids, labels and kinds whichever source served.
CounterArray UtilityArray(std::optional<double> total, const std::vector<std::optional<double>>& perProcessor);
// Frequency: one "_Total" item, the base clock (the highest maximum, else the
// highest current clock). Performance: each current clock as a share of it.
void ClockArrays(const std::vector<ProcessorClock>& clocks, CounterArray& frequency, CounterArray& performance);

// The processor counters with the system's accounting behind them: load comes
// from the counters when their utility array has items, else from the time
// deltas (the total from the system-wide times, which cover every processor
// group, else from the per-processor sum); the clock from the counters when
// they give a base frequency and a performance array, else from the power
// manager. Thermal zones and energy channels only ever come from the counters.
class ProcessorFallbackSource final : public CounterSource {
public:
    // counters may be null (the query could not be opened).
    ProcessorFallbackSource(std::unique_ptr<CounterSource> counters, std::unique_ptr<ProcessorTimesSource> system);

    bool collect() override;
    CounterArray readArray(PerfCounterId id) override;
    std::optional<double> readValue(PerfCounterId id) override;

    // Which side served the last collection.
    bool loadFromCounters() const { return loadFromCounters_; }
    bool clockFromCounters() const { return clockFromCounters_; }

private:
    void readCounters();
    void sampleSystem();

    std::unique_ptr<CounterSource> counters_;
    std::unique_ptr<ProcessorTimesSource> system_;
    bool countersCollected_ = false;
    bool loadFromCounters_ = false;
    bool clockFromCounters_ = false;
    CounterArray utility_, frequency_, performance_;
    std::optional<double> frequencyValue_;
    std::optional<std::vector<CpuTimes>> perProcessor_;
    std::optional<CpuTimes> total_;
};

}  // namespace kalorix
