#include "providers/processor_times.h"

#include <algorithm>

namespace kalorix {

namespace {

// A step of a 100 ns counter larger than this (about 14 600 years) is a reset, not time.
constexpr uint64_t kMaxStep = uint64_t(1) << 62;

std::optional<CpuTimes> Step(const CpuTimes& before, const CpuTimes& after) {
    const CpuTimes d{after.idle - before.idle, after.kernel - before.kernel, after.user - before.user};
    if (d.idle > kMaxStep || d.kernel > kMaxStep || d.user > kMaxStep) return std::nullopt;
    return d;
}

CounterSample Item(std::wstring instance, double value) { return {std::move(instance), value}; }

std::wstring ProcessorInstance(size_t index) { return L"0," + std::to_wstring(index); }

}  // namespace

std::optional<double> LoadBetween(const CpuTimes& before, const CpuTimes& after) {
    const auto d = Step(before, after);
    if (!d) return std::nullopt;
    const double idle = static_cast<double>(d->idle);
    const double kernel = static_cast<double>(d->kernel);
    const double user = static_cast<double>(d->user);
    const bool kernelHoldsIdle = d->kernel >= d->idle;
    const double total = kernelHoldsIdle ? kernel + user : kernel + user + idle;
    const double busy = kernelHoldsIdle ? total - idle : kernel + user;
    if (!(total > 0.0)) return std::nullopt;
    return std::clamp(100.0 * busy / total, 0.0, 100.0);
}

std::vector<std::optional<double>> LoadsBetween(const std::vector<CpuTimes>& before,
                                                const std::vector<CpuTimes>& after) {
    std::vector<std::optional<double>> loads(after.size());
    for (size_t i = 0; i < std::min(before.size(), after.size()); ++i) loads[i] = LoadBetween(before[i], after[i]);
    return loads;
}

CounterArray UtilityArray(std::optional<double> total, const std::vector<std::optional<double>>& perProcessor) {
    CounterArray items;
    if (total) items.push_back(Item(L"_Total", *total));
    for (size_t i = 0; i < perProcessor.size(); ++i)
        if (perProcessor[i]) items.push_back(Item(ProcessorInstance(i), *perProcessor[i]));
    return items;
}

void ClockArrays(const std::vector<ProcessorClock>& clocks, CounterArray& frequency, CounterArray& performance) {
    frequency.clear();
    performance.clear();
    uint32_t base = 0, highestCurrent = 0;
    double sum = 0.0;
    for (const ProcessorClock& c : clocks) {
        base = std::max(base, c.maxMhz);
        highestCurrent = std::max(highestCurrent, c.currentMhz);
        sum += c.currentMhz;
    }
    if (base == 0) base = highestCurrent;
    if (base == 0) return;
    const double mhz = base;
    frequency.push_back(Item(L"_Total", mhz));
    performance.push_back(Item(L"_Total", sum / static_cast<double>(clocks.size()) / mhz * 100.0));
    for (size_t i = 0; i < clocks.size(); ++i)
        performance.push_back(Item(ProcessorInstance(i), clocks[i].currentMhz / mhz * 100.0));
}

ProcessorFallbackSource::ProcessorFallbackSource(std::unique_ptr<CounterSource> counters,
                                                 std::unique_ptr<ProcessorTimesSource> system)
    : counters_(std::move(counters)), system_(std::move(system)) {
    sampleSystem();  // first sample, so the next collection has deltas
}

void ProcessorFallbackSource::readCounters() {
    utility_.clear();
    frequency_.clear();
    performance_.clear();
    frequencyValue_.reset();
    if (!countersCollected_) return;
    utility_ = counters_->readArray(PerfCounterId::Utility);
    PerfCounterArrays clock;
    clock.frequency = counters_->readArray(PerfCounterId::Frequency);
    if (!(BaseFrequencyMhz(clock) > 0.0)) clock.frequencyValue = counters_->readValue(PerfCounterId::Frequency);
    if (BaseFrequencyMhz(clock) > 0.0) performance_ = counters_->readArray(PerfCounterId::Performance);
    frequency_ = std::move(clock.frequency);
    frequencyValue_ = clock.frequencyValue;
}

void ProcessorFallbackSource::sampleSystem() {
    if (!system_) return;
    auto perProcessor = system_->perProcessor();
    auto total = system_->total();
    std::vector<std::optional<double>> loads;
    if (perProcessor && perProcessor_) loads = LoadsBetween(*perProcessor_, *perProcessor);
    std::optional<double> totalLoad;
    if (total && total_) {
        totalLoad = LoadBetween(*total_, *total);
    } else if (perProcessor && perProcessor_ && perProcessor->size() == perProcessor_->size()) {
        CpuTimes before, after;
        for (size_t i = 0; i < perProcessor->size(); ++i) {
            before.idle += (*perProcessor_)[i].idle, before.kernel += (*perProcessor_)[i].kernel;
            before.user += (*perProcessor_)[i].user;
            after.idle += (*perProcessor)[i].idle, after.kernel += (*perProcessor)[i].kernel;
            after.user += (*perProcessor)[i].user;
        }
        totalLoad = LoadBetween(before, after);
    }
    perProcessor_ = std::move(perProcessor);
    total_ = total;
    if (!loadFromCounters_) utility_ = UtilityArray(totalLoad, loads);
}

bool ProcessorFallbackSource::collect() {
    countersCollected_ = counters_ && counters_->collect();
    readCounters();
    loadFromCounters_ = !utility_.empty();
    clockFromCounters_ = !performance_.empty();
    sampleSystem();
    if (!clockFromCounters_ && system_) {
        frequencyValue_.reset();
        ClockArrays(system_->clocks(), frequency_, performance_);
    }
    return countersCollected_ || !utility_.empty() || !performance_.empty();
}

CounterArray ProcessorFallbackSource::readArray(PerfCounterId id) {
    switch (id) {
        case PerfCounterId::Utility: return utility_;
        case PerfCounterId::Frequency: return frequency_;
        case PerfCounterId::Performance: return performance_;
        default: return countersCollected_ ? counters_->readArray(id) : CounterArray{};
    }
}

std::optional<double> ProcessorFallbackSource::readValue(PerfCounterId id) {
    if (id == PerfCounterId::Frequency) return frequencyValue_;
    return countersCollected_ ? counters_->readValue(id) : std::nullopt;
}

}  // namespace kalorix
