// The last half hour of every sensor for its plot on the Sensors page: at most
// one point a second, 1,800 points per sensor, values as float. The times are
// one ring shared by all sensors; each sensor has a ring of values and of
// presence flags (a cycle in which it did not report leaves a gap). Memory is
// taken when a sensor first appears, never per cycle. Portable; the sampling
// engine owns one and fills it under its lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kalorix {

inline constexpr size_t kSensorHistoryPoints = 1800;
// Two points are at least this far apart (seconds), so the rings cover 30 minutes
// at any update interval.
inline constexpr double kSensorHistoryStep = 1.0;
// A little slack for cycles that start a few milliseconds early.
inline constexpr double kSensorHistoryStepSlack = 0.02;

struct SensorPlotPoint {
    double time = 0.0;  // monotonic seconds
    float value = 0.0f;
};

class SensorHistory {
public:
    // Opens a new point at now when none was opened yet or at least a second
    // passed since the last one; true when it did. Until the next call,
    // record() fills that point.
    bool beginPoint(double now);
    // Appends the ring of a new sensor (index = the number of sensors so far),
    // absent at every point held so far.
    void addSensor();
    size_t sensorCount() const { return rings_.size(); }
    // The sensor's value at the open point; ignored when no point is open.
    void record(size_t sensor, double value);
    // The sensor's points no older than from, oldest first, without its gaps.
    // out is cleared first and keeps its capacity.
    void copy(size_t sensor, double from, std::vector<SensorPlotPoint>& out) const;

private:
    struct Ring {
        std::vector<float> values;
        std::vector<uint8_t> present;
    };
    std::vector<double> times_;  // kSensorHistoryPoints once the first point opens
    std::vector<Ring> rings_;
    size_t head_ = 0;   // slot of the newest point
    size_t count_ = 0;  // points held
    bool open_ = false;
};

}  // namespace kalorix
