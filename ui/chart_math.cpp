#include "ui/chart_math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kalorix {

namespace {

double Display(double celsius, bool fahrenheit) {
    return fahrenheit ? celsius * 9.0 / 5.0 + 32.0 : celsius;
}

bool Usable(const std::optional<double>& v) { return v && std::isfinite(*v); }

std::wstring Ascii(const char* text) { return std::wstring(text, text + std::char_traits<char>::length(text)); }

}  // namespace

std::optional<Rect> ChartPlotArea(const Rect& chart) {
    Rect plot{chart.x + 40, chart.y + 8, chart.w - 48, chart.h - 32};
    if (!(plot.w >= 20) || !(plot.h >= 20)) return std::nullopt;
    return plot;
}

std::vector<double> ChartRange::gridValues() const {
    std::vector<double> values;
    if (!(step > 0) || !std::isfinite(lo) || !std::isfinite(hi)) return values;
    for (double v = lo; v <= hi + 0.01 && values.size() < 64; v += step) values.push_back(v);
    return values;
}

ChartRange ComputeChartRange(const std::vector<HistoryPoint>& samples, double now, double span,
                             bool fahrenheit) {
    double mn = INFINITY, mx = -INFINITY;
    const double from = now - span;
    for (const HistoryPoint& p : samples) {
        if (!(p.time >= from)) continue;
        for (const auto* v : {&p.cpuTemp, &p.gpuTemp}) {
            if (!Usable(*v)) continue;
            double d = Display(**v, fahrenheit);
            mn = std::min(mn, d);
            mx = std::max(mx, d);
        }
    }
    if (!(mn <= mx)) {
        mn = 30;
        mx = 90;
    }
    ChartRange r;
    r.lo = std::floor((mn - 5) / 10) * 10;
    r.hi = std::ceil((mx + 5) / 10) * 10;
    if (r.hi - r.lo < 30) {
        r.lo = std::floor(((r.hi + r.lo) / 2 - 15) / 10) * 10;
        r.hi = r.lo + 30;
    }
    r.lo = std::max(r.lo, 0.0);
    // Readings at or below zero would otherwise leave hi under lo.
    if (r.hi - r.lo < 30) r.hi = r.lo + 30;
    r.step = 10;
    if ((r.hi - r.lo) / 10 > 6) {
        r.step = 20;
        r.hi = r.lo + std::ceil((r.hi - r.lo) / 20) * 20;
    }
    return r;
}

std::wstring FormatChartSpan(double seconds) {
    char buf[48];
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    if (seconds >= 60) {
        double minutes = seconds / 60;
        if (std::fabs(minutes - std::round(minutes)) < 1e-9) {
            std::snprintf(buf, sizeof buf, "-%.0f dk", minutes);
        } else {
            std::snprintf(buf, sizeof buf, "-%.1f dk", minutes);
            for (char* c = buf; *c; ++c)
                if (*c == '.') *c = ',';
        }
    } else {
        std::snprintf(buf, sizeof buf, "-%.0f sn", seconds);
    }
    return Ascii(buf);
}

std::wstring FormatChartValue(double value, bool fahrenheit) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", value);
    std::wstring text = Ascii(buf);
    text += L'\u00B0';
    if (fahrenheit) text += L'F';
    return text;
}

ChartSeries ComputeChartSeries(const std::vector<HistoryPoint>& samples, double now, double span,
                               bool fahrenheit, const Rect& plot, const ChartRange& range) {
    ChartSeries out;
    if (!(span > 0) || !(range.hi > range.lo)) return out;
    const double from = now - span;
    const double bottom = plot.y + plot.h;
    auto place = [&](double t, double v) {
        double x = plot.x + (t - from) / span * plot.w;
        double y = bottom - (Display(v, fahrenheit) - range.lo) / (range.hi - range.lo) * plot.h;
        return ChartPoint{static_cast<float>(x), static_cast<float>(y)};
    };
    for (const HistoryPoint& p : samples) {
        if (!std::isfinite(p.time) || p.time < from - 5) continue;
        if (Usable(p.cpuTemp)) out.cpu.push_back(place(p.time, *p.cpuTemp));
        if (Usable(p.gpuTemp)) out.gpu.push_back(place(p.time, *p.gpuTemp));
    }
    return out;
}

float ChartGridY(const Rect& plot, const ChartRange& range, double value) {
    double bottom = plot.y + plot.h;
    double y = bottom - (value - range.lo) / (range.hi - range.lo) * plot.h;
    return static_cast<float>(std::round(y) + 0.5);
}

}  // namespace kalorix
