// The history chart's arithmetic: value range, labels, plot area and points.
#include "ui/chart_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kalorix {
namespace {

HistoryPoint P(double t, std::optional<double> cpu, std::optional<double> gpu = std::nullopt) {
    HistoryPoint p;
    p.time = t, p.cpuTemp = cpu, p.gpuTemp = gpu;
    return p;
}

TEST(ChartRange, RecentredRoundedAndStepped) {
    const struct {
        std::vector<HistoryPoint> points;
        double now, span;
        bool fahrenheit;
        ChartRange want;
    } cases[] = {
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
        EXPECT_TRUE(r.lo == c.want.lo && r.hi == c.want.hi && r.step == c.want.step)
            << c.now << " " << c.points.size() << ": " << r.lo << " " << r.hi << " " << r.step;
    }
    EXPECT_EQ(ComputeChartRange({}, 500, 300, false).gridValues(), (std::vector<double>{20, 40, 60, 80, 100}));
}

TEST(ChartGeometry, LabelsAndMinimumPlotSize) {
    EXPECT_EQ(FormatChartSpan(90), L"-1,5 dk");
    EXPECT_EQ(FormatChartSpan(45), L"-45 sn");
    EXPECT_TRUE(ChartPlotArea(Rect{0, 0, 68, 52}));
    EXPECT_FALSE(ChartPlotArea(Rect{0, 0, 67, 200}));
    EXPECT_FALSE(ChartPlotArea(Rect{0, 0, 200, 51}));
}

TEST(ChartGeometry, PointsMapTimeAndValueIntoThePlot) {
    Rect plot{100, 50, 300, 100};
    ChartRange range{20, 50, 10};
    // Older than now - span - 5: skipped; within the 5 s grace; the left edge; CPU missing; the right edge.
    std::vector<HistoryPoint> s = {P(690, 35), P(696, 20, 50), P(700, 20), P(850, std::nullopt, 35), P(1000, 50, 20)};
    ChartSeries series = ComputeChartSeries(s, 1000, 300, false, plot, range);
    ASSERT_EQ(series.cpu.size(), 3u);
    ASSERT_EQ(series.gpu.size(), 3u);
    EXPECT_NEAR(series.cpu[0].x, 100 - 4.0, 1e-4);
    EXPECT_NEAR(series.cpu[1].y, 150, 1e-4);
    EXPECT_NEAR(series.cpu[2].x, 400, 1e-4);
    EXPECT_NEAR(series.gpu[1].x, 250, 1e-4);
    EXPECT_NEAR(series.gpu[1].y, 100, 1e-4);
    EXPECT_TRUE(ComputeChartSeries(s, 1000, 0, false, plot, range).cpu.empty());
}

TEST(ChartGeometry, GridLinesSitOnPixelCentres) {
    EXPECT_FLOAT_EQ(ChartGridY(Rect{0, 8, 100, 101}, ChartRange{20, 50, 10}, 30), 75.5f);  // 109 - 101/3 rounded + 0.5
}

}  // namespace
}  // namespace kalorix
