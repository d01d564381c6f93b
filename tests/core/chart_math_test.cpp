#include "ui/chart_math.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kalorix {
namespace {

HistoryPoint P(double t, std::optional<double> cpu, std::optional<double> gpu = std::nullopt) {
    HistoryPoint p;
    p.time = t;
    p.cpuTemp = cpu;
    p.gpuTemp = gpu;
    return p;
}

TEST(ChartRange, NarrowValuesAreRecentredToThirtyDegrees) {
    std::vector<HistoryPoint> s = {P(100, 41), P(101, 44), P(102, 42, 43)};
    ChartRange r = ComputeChartRange(s, 102, 300, false);
    EXPECT_EQ(r.lo, 20);
    EXPECT_EQ(r.hi, 50);
    EXPECT_EQ(r.step, 10);
    EXPECT_EQ(r.gridValues(), (std::vector<double>{20, 30, 40, 50}));
}

TEST(ChartRange, NoDataUsesThirtyToNinetyWithTwentyStep) {
    ChartRange r = ComputeChartRange({}, 500, 300, false);
    EXPECT_EQ(r.lo, 20);
    EXPECT_EQ(r.hi, 100);
    EXPECT_EQ(r.step, 20);
    EXPECT_EQ(r.gridValues(), (std::vector<double>{20, 40, 60, 80, 100}));
    // Samples without any value count as no data.
    ChartRange empty = ComputeChartRange({P(499, std::nullopt), P(500, NAN)}, 500, 300, false);
    EXPECT_EQ(empty.lo, 20);
    EXPECT_EQ(empty.hi, 100);
}

TEST(ChartRange, OnlySamplesInsideTheSpanCount) {
    // The 99 °C reading is older than now - span and must not stretch the range.
    std::vector<HistoryPoint> s = {P(0, 99), P(800, 50), P(900, 60)};
    ChartRange r = ComputeChartRange(s, 900, 300, false);
    EXPECT_EQ(r.lo, 40);
    EXPECT_EQ(r.hi, 70);
    EXPECT_EQ(r.step, 10);
}

TEST(ChartRange, StepBecomesTwentyAboveSixIntervals) {
    // 30 ... 75: 20 ... 80 is exactly six intervals, still step 10.
    ChartRange six = ComputeChartRange({P(1, 30), P(2, 75)}, 2, 60, false);
    EXPECT_EQ(six.lo, 20);
    EXPECT_EQ(six.hi, 80);
    EXPECT_EQ(six.step, 10);
    // 30 ... 76: 20 ... 90 is seven intervals: step 20 and hi rounded up to 100.
    ChartRange seven = ComputeChartRange({P(1, 30), P(2, 76, 31)}, 2, 60, false);
    EXPECT_EQ(seven.lo, 20);
    EXPECT_EQ(seven.hi, 100);
    EXPECT_EQ(seven.step, 20);
}

TEST(ChartRange, FahrenheitConvertsBeforeRounding) {
    // 40 °C = 104 °F, 45 °C = 113 °F: 99 ... 118 -> 90 ... 120.
    ChartRange r = ComputeChartRange({P(1, 40), P(2, 45)}, 2, 60, true);
    EXPECT_EQ(r.lo, 90);
    EXPECT_EQ(r.hi, 120);
}

TEST(ChartRange, NeverStartsBelowZeroAndKeepsItsHeight) {
    ChartRange cold = ComputeChartRange({P(1, 2), P(2, 4)}, 2, 60, false);
    EXPECT_EQ(cold.lo, 0);
    EXPECT_GE(cold.hi - cold.lo, 30);
    // Readings below zero would leave hi under lo after the clamp.
    ChartRange frozen = ComputeChartRange({P(1, -40), P(2, -38)}, 2, 60, false);
    EXPECT_EQ(frozen.lo, 0);
    EXPECT_EQ(frozen.hi, 30);
    EXPECT_FALSE(frozen.gridValues().empty());
}

TEST(ChartLabels, SpanTexts) {
    EXPECT_EQ(FormatChartSpan(600), L"-10 dk");
    EXPECT_EQ(FormatChartSpan(300), L"-5 dk");
    EXPECT_EQ(FormatChartSpan(60), L"-1 dk");
    EXPECT_EQ(FormatChartSpan(30), L"-30 sn");
    EXPECT_EQ(FormatChartSpan(90), L"-1,5 dk");
    EXPECT_EQ(FormatChartSpan(45), L"-45 sn");
    EXPECT_EQ(FormatChartSpan(1800), L"-30 dk");
    EXPECT_EQ(FormatChartValue(40, false), L"40\u00B0");
    EXPECT_EQ(FormatChartValue(120, true), L"120\u00B0F");
}

TEST(ChartGeometry, PlotAreaAndMinimumSize) {
    auto plot = ChartPlotArea(Rect{10, 20, 400, 200});
    ASSERT_TRUE(plot);
    EXPECT_FLOAT_EQ(plot->x, 50);
    EXPECT_FLOAT_EQ(plot->y, 28);
    EXPECT_FLOAT_EQ(plot->w, 352);
    EXPECT_FLOAT_EQ(plot->h, 168);
    EXPECT_TRUE(ChartPlotArea(Rect{0, 0, 68, 52}));
    EXPECT_FALSE(ChartPlotArea(Rect{0, 0, 67, 200}));
    EXPECT_FALSE(ChartPlotArea(Rect{0, 0, 200, 51}));
}

TEST(ChartGeometry, PointsMapTimeAndValueIntoThePlot) {
    Rect plot{100, 50, 300, 100};
    ChartRange range{20, 50, 10};
    std::vector<HistoryPoint> s = {
        P(690, 35),                 // older than now - span - 5: skipped
        P(696, 20, 50),             // within the 5 s grace before the span
        P(700, 20),                 // left edge, bottom
        P(850, std::nullopt, 35),   // CPU missing: only a GPU point
        P(1000, 50, 20),            // right edge
    };
    ChartSeries series = ComputeChartSeries(s, 1000, 300, false, plot, range);
    ASSERT_EQ(series.cpu.size(), 3u);
    ASSERT_EQ(series.gpu.size(), 3u);
    EXPECT_NEAR(series.cpu[0].x, 100 - 4.0, 1e-4);
    EXPECT_NEAR(series.cpu[1].x, 100, 1e-4);
    EXPECT_NEAR(series.cpu[1].y, 150, 1e-4);
    EXPECT_NEAR(series.cpu[2].x, 400, 1e-4);
    EXPECT_NEAR(series.cpu[2].y, 50, 1e-4);
    EXPECT_NEAR(series.gpu[1].x, 250, 1e-4);
    EXPECT_NEAR(series.gpu[1].y, 100, 1e-4);
    EXPECT_TRUE(ComputeChartSeries(s, 1000, 0, false, plot, range).cpu.empty());
}

TEST(ChartGeometry, GridLinesSitOnPixelCentres) {
    Rect plot{0, 8, 100, 101};
    ChartRange range{20, 50, 10};
    EXPECT_FLOAT_EQ(ChartGridY(plot, range, 20), 109.5f);
    EXPECT_FLOAT_EQ(ChartGridY(plot, range, 50), 8.5f);
    EXPECT_FLOAT_EQ(ChartGridY(plot, range, 30), 75.5f);  // 109 - 101/3 rounded, plus half a pixel
}

}  // namespace
}  // namespace kalorix
