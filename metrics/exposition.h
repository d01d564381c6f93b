// The metrics endpoint's two pages of one snapshot: the Prometheus text
// exposition format (version 0.0.4) and the same values as JSON. Every
// reading of the latest cycle goes into the gauge family of its quantity, in
// base units (°C, 0-1 ratios, hertz, watts, RPM, bytes), labelled with its
// sensor id, device and name; a value that is absent has no series at all.
// Portable.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/scores.h"
#include "sensors/sensor_model.h"

namespace kalorix {

// The part of a snapshot the pages show, copied once per sampling cycle.
struct MetricsSource {
    bool valid = false;                     // the sampler has published a cycle
    std::vector<SensorEntry> sensors;       // the readings of the latest cycle only
    std::optional<double> cpuTemperature;   // the headline as the window shows it (smoothed)
    std::optional<double> gpuTemperature;   // the chosen adapter's
    double thermalLimitSecondsRecent = 0;   // within the last 600 s
    bool heavyUseActive = false;            // a heavy-use period is in progress
};

// Sensors that did not report in the snapshot's cycle (they keep their last
// value in the snapshot) are left out.
MetricsSource MakeMetricsSource(const SensorSnapshot& snapshot);

// What the pages add from outside the snapshot.
struct MetricsExtras {
    bench::LatestScores scores;
    std::string version;  // of the program, "1.2.3"
};

std::string WriteMetricsText(const MetricsSource& source, const MetricsExtras& extras);
std::string WriteMetricsJson(const MetricsSource& source, const MetricsExtras& extras);

// Label values escape backslash, double quote and line feed; help texts
// backslash and line feed.
std::string EscapeLabelValue(std::string_view utf8);
std::string EscapeHelpText(std::string_view utf8);
// The shortest text that reads back as the same double; whole numbers without
// an exponent below 10^15.
std::string SampleValueText(double value);

// The family of a sensor kind: its metric name, the unit word of /data.json
// and the factor from the kind's unit to the base unit. Nothing for an unknown kind.
struct MetricFamily {
    const char* name;
    const char* quantity;
    const char* unit;
    double scale;
    const char* help;
};
const MetricFamily* FamilyOf(SensorKind kind);

}  // namespace kalorix
