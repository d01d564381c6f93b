// A sensor's plot: the scale by unit and the geometry with its extremes.
#include "ui/sensor_plot.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kalorix;

TEST(SensorPlotScale, ByUnit) {
    // Loads and levels keep 0 ... 100 so one plot compares with another.
    EXPECT_EQ(ComputePlotScale(SensorKind::Load, 12, 14).gridValues(), (std::vector<double>{0, 25, 50, 75, 100}));
    EXPECT_EQ(ComputePlotScale(SensorKind::Load, 12, 140).hi, 150);
    // Temperatures as the history chart: 41 ... 44 becomes 20 ... 50.
    EXPECT_EQ(ComputePlotScale(SensorKind::Temperature, 41, 44).lo, 20);
    // Clocks: round steps, three to six intervals.
    const PlotScale clock = ComputePlotScale(SensorKind::Clock, 3250, 3685);
    EXPECT_TRUE(clock.step == 200 && clock.lo == 3200 && clock.hi == 3800);
    // A flat line is not drawn on the frame, and never below zero for positive values.
    const PlotScale flat = ComputePlotScale(SensorKind::Fan, 0, 0);
    EXPECT_TRUE(flat.lo == 0 && flat.hi > 0);
    // No value at all: a usable frame.
    EXPECT_FALSE(ComputePlotScale(SensorKind::Power, NAN, NAN).gridValues().empty());
}

TEST(SensorPlotLayout, PointsInTheSpanAndTheExtremesMarked) {
    const Rect chart{0, 0, 864, 232};  // plot 56 ... 864 wide 800, 8 ... 208 high 200
    std::vector<SensorPlotPoint> points = {{100, 99.0f}, {1000, 3300.0f}, {1900, 3650.0f}, {2800, 3500.0f}};
    const SensorPlotGeometry g = LayoutSensorPlot(chart, SensorKind::Clock, points, 2800, 1800, false);
    ASSERT_EQ(g.points.size(), 3u);  // the point at 100 s is older than the span
    EXPECT_FLOAT_EQ(g.points[0].x, 56);
    EXPECT_FLOAT_EQ(g.points[2].x, 856);
    ASSERT_TRUE(g.low && g.high);
    EXPECT_EQ(g.high->label, L"en yüksek 3.650 MHz");
    EXPECT_EQ(g.gridLabels.front(), L"3.300");  // steps of 100 from 3.300 to 3.700
    // Temperatures follow the display unit.
    const SensorPlotGeometry f =
        LayoutSensorPlot(chart, SensorKind::Temperature, {{2800, 50.0f}}, 2800, 1800, true);
    EXPECT_EQ(f.high->label, L"en yüksek 122 °F");
    // Too small a chart: nothing to draw.
    EXPECT_EQ(LayoutSensorPlot(Rect{0, 0, 60, 40}, SensorKind::Load, points, 2800, 1800, false).plot.w, 0);
}
