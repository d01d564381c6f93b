// The temperature history chart's geometry: plot area, value range and grid,
// axis labels and point positions. Portable; the toolkit only draws the result.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sensors/sensor_model.h"
#include "ui/interaction.h"

namespace kalorix {

// Plot area inside the chart rectangle: 40 DIPs on the left for the value
// labels, 8 at the top and right, 24 under it for the time labels. Nothing
// when it would be narrower or lower than 20 DIPs.
std::optional<Rect> ChartPlotArea(const Rect& chart);

struct ChartRange {
    double lo = 20;
    double hi = 100;
    double step = 20;
    // The grid values lo, lo + step, ... while v <= hi + 0.01.
    std::vector<double> gridValues() const;
};

// Value range over the samples no older than now - span, both series, in °F
// when asked; 30 ... 90 without values. Always spans at least 30 degrees and
// never starts below 0.
ChartRange ComputeChartRange(const std::vector<HistoryPoint>& samples, double now, double span,
                             bool fahrenheit);

// "-10 dk", "-2,5 dk", "-30 sn": a time span before now on the axis.
std::wstring FormatChartSpan(double seconds);
// A grid label: the value without decimals and "°" or "°F".
std::wstring FormatChartValue(double value, bool fahrenheit);

struct ChartPoint {
    float x = 0, y = 0;
};

struct ChartSeries {
    std::vector<ChartPoint> cpu;
    std::vector<ChartPoint> gpu;
};

// Point positions of both series inside the plot; samples older than
// now - span - 5 s are skipped and a missing value leaves its series without a
// point there. Empty when span is not positive.
ChartSeries ComputeChartSeries(const std::vector<HistoryPoint>& samples, double now, double span,
                               bool fahrenheit, const Rect& plot, const ChartRange& range);

// Vertical position of a grid line: rounded to a pixel row and moved to its
// centre so that a 1-DIP line is crisp.
float ChartGridY(const Rect& plot, const ChartRange& range, double value);

}  // namespace kalorix
