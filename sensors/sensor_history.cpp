#include "sensors/sensor_history.h"

#include <algorithm>

namespace kalorix {

bool SensorHistory::beginPoint(double now) {
    open_ = false;
    if (count_ > 0 && !(now - times_[head_] >= kSensorHistoryStep - kSensorHistoryStepSlack)) return false;
    if (times_.empty()) times_.assign(kSensorHistoryPoints, 0.0);
    head_ = count_ == 0 ? 0 : (head_ + 1) % kSensorHistoryPoints;
    if (count_ < kSensorHistoryPoints) ++count_;
    times_[head_] = now;
    for (Ring& r : rings_) r.present[head_] = 0;
    open_ = true;
    return true;
}

void SensorHistory::addSensor() {
    Ring r;
    r.values.assign(kSensorHistoryPoints, 0.0f);
    r.present.assign(kSensorHistoryPoints, 0);
    rings_.push_back(std::move(r));
}

void SensorHistory::record(size_t sensor, double value) {
    if (!open_ || sensor >= rings_.size()) return;
    rings_[sensor].values[head_] = static_cast<float>(value);
    rings_[sensor].present[head_] = 1;
}

void SensorHistory::copy(size_t sensor, double from, std::vector<SensorPlotPoint>& out) const {
    out.clear();
    if (sensor >= rings_.size() || count_ == 0) return;
    const Ring& r = rings_[sensor];
    const size_t oldest = (head_ + kSensorHistoryPoints + 1 - count_) % kSensorHistoryPoints;
    auto slotOf = [&](size_t i) { return (oldest + i) % kSensorHistoryPoints; };
    // Times grow from the oldest point on: the first one not older than from.
    size_t lo = 0, hi = count_;
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (times_[slotOf(mid)] < from) lo = mid + 1;
        else hi = mid;
    }
    // At most two runs of slots: up to the end of the ring, then from its start.
    out.resize(count_ - lo);
    SensorPlotPoint* next = out.data();
    size_t first = slotOf(lo), left = count_ - lo;
    while (left > 0) {
        const size_t run = std::min(left, kSensorHistoryPoints - first);
        const double* times = times_.data() + first;
        const float* values = r.values.data() + first;
        const uint8_t* present = r.present.data() + first;
        for (size_t i = 0; i < run; ++i) {
            next->time = times[i];
            next->value = values[i];
            next += present[i];  // a gap is written over by the next point
        }
        left -= run;
        first = 0;
    }
    out.resize(static_cast<size_t>(next - out.data()));
}
}  // namespace kalorix
