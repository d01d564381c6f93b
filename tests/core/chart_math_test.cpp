// Chart arithmetic: the history chart's range, labels, plot area and points; a sensor plot's scale and extremes.
#include "ui/chart_math.h"
#include "ui/sensor_plot.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kalorix {
namespace {

HistoryPoint P(double t, std::optional<double> cpu, std::optional<double> gpu = std::nullopt) {
    HistoryPoint p;
    return p.time = t, p.cpuTemp = cpu, p.gpuTemp = gpu, p;
}

TEST(ChartRange, RecentredRoundedAndStepped) {
    const struct { std::vector<HistoryPoint> points; double now, span; bool fahrenheit; ChartRange want; } cases[] = {
        {{P(100, 41), P(101, 44), P(102, 42, 43)}, 102, 300, false, {20, 50, 10}},  // narrow: 30 degrees
        {{}, 500, 300, false, {20, 100, 20}},                                      // no data
        {{P(499, std::nullopt), P(500, NAN)}, 500, 300, false, {20, 100, 20}},     // no value is no data
        {{P(0, 99), P(800, 50), P(900, 60)}, 900, 300, false, {40, 70, 10}},       // older than the span
        {{P(1, 30), P(2, 75)}, 2, 60, false, {20, 80, 10}},                        // six intervals
        {{P(1, 30), P(2, 76, 31)}, 2, 60, false, {20, 100, 20}},                   // seven: step 20
        {{P(1, 40), P(2, 45)}, 2, 60, true, {90, 120, 10}},                        // °F before rounding
        {{P(1, -40), P(2, -38)}, 2, 60, false, {0, 30, 10}},                       // never below zero
    };
    for (const auto& c : cases) {
        const ChartRange r = ComputeChartRange(c.points, c.now, c.span, c.fahrenheit);
        EXPECT_TRUE(r.lo == c.want.lo && r.hi == c.want.hi && r.step == c.want.step) << c.now << ": " << r.lo << " " << r.hi << " " << r.step;
    }

    EXPECT_EQ(ComputeChartRange({}, 500, 300, false).gridValues(), (std::vector<double>{20, 40, 60, 80, 100}));
}

TEST(ChartGeometry, LabelsAndMinimumPlotSize) {
    EXPECT_EQ(FormatChartSpan(90) + L"|" + FormatChartSpan(45), L"-1,5 dk|-45 sn");
    EXPECT_TRUE(ChartPlotArea(Rect{0, 0, 68, 52}));
    EXPECT_FALSE(ChartPlotArea(Rect{0, 0, 67, 200}) || ChartPlotArea(Rect{0, 0, 200, 51}));
}

TEST(ChartGeometry, PointsMapTimeAndValueIntoThePlot) {
    Rect plot{100, 50, 300, 100};
    ChartRange range{20, 50, 10};
    // Older than now - span - 5: skipped; within the 5 s grace; the left edge; CPU missing; the right edge.
    std::vector<HistoryPoint> s = {P(690, 35), P(696, 20, 50), P(700, 20), P(850, std::nullopt, 35), P(1000, 50, 20)};
    ChartSeries series = ComputeChartSeries(s, 1000, 300, false, plot, range);
    ASSERT_TRUE(series.cpu.size() == 3u && series.gpu.size() == 3u);
    const float got[] = {series.cpu[0].x, series.cpu[1].y, series.cpu[2].x, series.gpu[1].x, series.gpu[1].y},
                want[] = {96, 150, 400, 250, 100};
    for (int i = 0; i < 5; ++i) EXPECT_NEAR(got[i], want[i], 1e-4) << i;
    EXPECT_TRUE(ComputeChartSeries(s, 1000, 0, false, plot, range).cpu.empty());
}

TEST(ChartGeometry, GridLinesSitOnPixelCentres) {
    EXPECT_FLOAT_EQ(ChartGridY(Rect{0, 8, 100, 101}, ChartRange{20, 50, 10}, 30), 75.5f);  // 109 - 101/3 rounded + 0.5
}

TEST(SensorPlotScale, ByUnit) {
    // Loads keep 0 ... 100 so plots compare; temperatures as the history chart (41 ... 44 becomes 20 ... 50).
    EXPECT_EQ(ComputePlotScale(SensorKind::Load, 12, 14).gridValues(), (std::vector<double>{0, 25, 50, 75, 100}));
    EXPECT_TRUE(ComputePlotScale(SensorKind::Load, 12, 140).hi == 150 && ComputePlotScale(SensorKind::Temperature, 41, 44).lo == 20);
    const PlotScale clock = ComputePlotScale(SensorKind::Clock, 3250, 3685);  // round steps, three to six intervals
    EXPECT_TRUE(clock.step == 200 && clock.lo == 3200 && clock.hi == 3800);
    const PlotScale flat = ComputePlotScale(SensorKind::Fan, 0, 0);  // not drawn on the frame, never below zero
    EXPECT_TRUE(flat.lo == 0 && flat.hi > 0);
    EXPECT_FALSE(ComputePlotScale(SensorKind::Power, NAN, NAN).gridValues().empty());  // no value: a usable frame
}

TEST(SensorPlotLayout, PointsInTheSpanAndTheExtremesMarked) {
    const Rect chart{0, 0, 864, 232};  // plot 56 ... 864 wide 800, 8 ... 208 high 200
    std::vector<SensorPlotPoint> points = {{100, 99.0f}, {1000, 3300.0f}, {1900, 3650.0f}, {2800, 3500.0f}};
    const SensorPlotGeometry g = LayoutSensorPlot(chart, SensorKind::Clock, points, 2800, 1800, false);
    ASSERT_EQ(g.points.size(), 3u);  // the point at 100 s is older than the span
    EXPECT_TRUE(g.points[0].x == 56 && g.points[2].x == 856) << g.points[0].x << " " << g.points[2].x;
    ASSERT_TRUE(g.low && g.high);
    EXPECT_EQ(g.high->label, L"en yüksek 3.650 MHz");
    EXPECT_EQ(g.gridLabels.front(), L"3.300");  // steps of 100 from 3.300 to 3.700
    EXPECT_EQ(LayoutSensorPlot(chart, SensorKind::Temperature, {{2800, 50.0f}}, 2800, 1800, true).high->label,
              L"en yüksek 122 °F");  // the display unit
    EXPECT_EQ(LayoutSensorPlot(Rect{0, 0, 60, 40}, SensorKind::Load, points, 2800, 1800, false).plot.w, 0);  // too small

}

}  // namespace
}  // namespace kalorix
