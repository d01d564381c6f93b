// The geometry of one sensor's plot on the Sensors page, the same kind of
// chart as the temperature history: grid and value labels in the sensor's
// unit, the time axis, the points, and the lowest and highest value of the
// span marked. Portable; the toolkit draws the result (DrawingToolkit::SensorPlot).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sensors/sensor_history.h"
#include "sensors/sensor_model.h"
#include "ui/chart_math.h"
#include "ui/interaction.h"

namespace kalorix {

// The span a plot shows: the last 30 minutes.
inline constexpr double kSensorPlotSpan = 1800.0;

struct PlotScale {
    double lo = 0, hi = 100, step = 25;
    std::vector<double> gridValues() const;
};

// The value range of a plot whose points lie between low and high (display
// units): loads and levels 0 … 100 unless a value is outside; temperatures as
// the history chart (at least 30 degrees, steps of 10 or 20); any other unit
// a round step (1, 2 or 5 times a power of ten) giving three to six intervals,
// starting at 0 or above when no value is negative.
PlotScale ComputePlotScale(SensorKind kind, double low, double high);

// "MHz", "°C" or "°F", "%", ...
std::wstring PlotUnit(SensorKind kind, bool fahrenheit);

struct PlotMarker {
    float y = 0;
    std::wstring label;  // "en yüksek 3.685 MHz"
};

struct SensorPlotGeometry {
    Rect plot;  // where the points are; empty (w = 0) when the chart is too small
    std::vector<float> gridY;
    std::vector<std::wstring> gridLabels;  // beside each grid line, without the unit
    std::wstring spanLabel, halfSpanLabel;  // "-30 dk", "-15 dk" ("şimdi" at the right end)
    std::vector<ChartPoint> points;
    std::optional<PlotMarker> low, high;  // absent without points in the span
};

// Plot area: 56 DIPs on the left for the value labels, 8 at the top and right,
// 24 under it for the time labels. Points older than now - span - 5 s are left out.
SensorPlotGeometry LayoutSensorPlot(const Rect& chart, SensorKind kind, const std::vector<SensorPlotPoint>& points,
                                    double now, double span, bool fahrenheit);

}  // namespace kalorix
