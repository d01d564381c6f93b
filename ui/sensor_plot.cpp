#include "ui/sensor_plot.h"

#include <algorithm>
#include <cmath>

#include "sensors/format.h"

namespace kalorix {

namespace {

double Shown(SensorKind kind, double value, bool fahrenheit) {
    return kind == SensorKind::Temperature && fahrenheit ? ToFahrenheit(value) : value;
}

PlotScale RoundScale(double low, double high) {
    double range = high - low;
    if (!(range > 0)) range = std::max(std::fabs(high) * 0.1, 1.0);
    const double raw = range / 4;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    const double norm = raw / magnitude;
    const double step = (norm <= 1 ? 1 : norm <= 2 ? 2 : norm <= 5 ? 5 : 10) * magnitude;
    PlotScale s;
    s.step = step;
    s.lo = std::floor(low / step) * step;
    s.hi = std::ceil(high / step) * step;
    if (s.hi - s.lo < step * 2) {  // a flat line sits in the middle, not on the frame
        s.lo -= step;
        s.hi += step;
    }
    if (low >= 0 && s.lo < 0) s.lo = 0;
    return s;
}

std::wstring GridLabel(double value, double step) {
    if (step >= 1) return FormatGrouped(value);
    const int decimals = step >= 0.1 ? 1 : 2;
    return FormatNumber(value, decimals);
}

}  // namespace

std::vector<double> PlotScale::gridValues() const {
    std::vector<double> values;
    if (!(step > 0) || !(hi > lo)) return values;
    for (double v = lo; v <= hi + step * 1e-6 && values.size() < 16; v += step) values.push_back(v);
    return values;
}

PlotScale ComputePlotScale(SensorKind kind, double low, double high) {
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) {
        low = 0;
        high = kind == SensorKind::Temperature ? 0 : 100;
    }
    switch (kind) {
        case SensorKind::Load:
        case SensorKind::Level:
            if (low >= 0 && high <= 100) return PlotScale{0, 100, 25};
            break;
        case SensorKind::Temperature: {
            // The history chart's rule, from the two extremes.
            const ChartRange r = ComputeChartRange({{0, low, std::nullopt}, {0, high, std::nullopt}}, 0, 1, false);
            return PlotScale{r.lo, r.hi, r.step};
        }
        default: break;
    }
    return RoundScale(low, high);
}

std::wstring PlotUnit(SensorKind kind, bool fahrenheit) {
    switch (kind) {
        case SensorKind::Temperature: return fahrenheit ? L"°F" : L"°C";
        case SensorKind::Load:
        case SensorKind::Level: return L"%";
        case SensorKind::Clock: return L"MHz";
        case SensorKind::Power: return L"W";
        case SensorKind::Fan: return L"RPM";
        case SensorKind::Data: return L"GB";
    }
    return {};
}

SensorPlotGeometry LayoutSensorPlot(const Rect& chart, SensorKind kind, const std::vector<SensorPlotPoint>& points,
                                    double now, double span, bool fahrenheit) {
    SensorPlotGeometry g;
    const Rect plot{chart.x + 56, chart.y + 8, chart.w - 64, chart.h - 32};
    if (!(plot.w >= 20) || !(plot.h >= 20) || !(span > 0)) return g;
    g.plot = plot;
    g.spanLabel = FormatChartSpan(span);
    g.halfSpanLabel = FormatChartSpan(span / 2);

    const double from = now - span;
    double low = INFINITY, high = -INFINITY, lowRaw = 0, highRaw = 0;
    for (const SensorPlotPoint& p : points) {
        if (p.time < from - 5 || !std::isfinite(p.value)) continue;
        const double v = Shown(kind, p.value, fahrenheit);
        if (v < low) low = v, lowRaw = p.value;
        if (v > high) high = v, highRaw = p.value;
    }
    const bool any = low <= high;
    // Display units throughout: the temperature rule gives the same range in °F.
    const PlotScale scale = ComputePlotScale(kind, any ? low : NAN, any ? high : NAN);
    const double bottom = plot.y + plot.h;
    auto yOf = [&](double v) { return static_cast<float>(bottom - (v - scale.lo) / (scale.hi - scale.lo) * plot.h); };
    for (double v : scale.gridValues()) {
        g.gridY.push_back(static_cast<float>(std::round(yOf(v)) + 0.5));
        g.gridLabels.push_back(GridLabel(v, scale.step));
    }
    for (const SensorPlotPoint& p : points) {
        if (p.time < from - 5 || !std::isfinite(p.value)) continue;
        const double x = plot.x + (p.time - from) / span * plot.w;
        g.points.push_back({static_cast<float>(x), yOf(Shown(kind, p.value, fahrenheit))});
    }
    if (any) {
        g.low = PlotMarker{yOf(low), L"en düşük " + FormatSensorValue(kind, lowRaw, fahrenheit)};
        g.high = PlotMarker{yOf(high), L"en yüksek " + FormatSensorValue(kind, highRaw, fahrenheit)};
    }
    return g;
}

}  // namespace kalorix
