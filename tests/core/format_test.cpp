#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "sensors/format.h"

using namespace kalorix;

TEST(Format, NumberUsesDecimalCommaAndNoGrouping) {
    EXPECT_EQ(FormatNumber(1234.56, 1), L"1234,6");
    EXPECT_EQ(FormatNumber(-0.04, 1), L"0,0");  // a value that rounds to zero has no sign
    EXPECT_EQ(FormatNumber(-0.4, 0), L"0");
    EXPECT_EQ(FormatNumber(-0.0, 2), L"0,00");
    EXPECT_EQ(FormatNumber(-0.05, 1), L"-0,1");
    EXPECT_EQ(FormatNumber(2.5, 0), L"2");  // round half to even like the standard fixed format
    EXPECT_EQ(FormatNumber(3.14159, 3), L"3,142");
    EXPECT_EQ(FormatNumber(7, 0), L"7");
    EXPECT_EQ(FormatNumber(-12.25, 2), L"-12,25");
    EXPECT_EQ(FormatNumber(1.5, -3), L"2");  // negative decimals act as 0
    EXPECT_EQ(FormatNumber(1e300, 1).size(), 303u);  // huge values are written out in full
}

TEST(Format, GroupedRoundsHalfAwayFromZeroAndGroupsByThree) {
    EXPECT_EQ(FormatGrouped(950), L"950");
    EXPECT_EQ(FormatGrouped(3400.4), L"3.400");
    EXPECT_EQ(FormatGrouped(1234567), L"1.234.567");
    EXPECT_EQ(FormatGrouped(-1500), L"-1.500");
    EXPECT_EQ(FormatGrouped(-999.5), L"-1.000");
    EXPECT_EQ(FormatGrouped(-100), L"-100");  // no "." right after the sign
    EXPECT_EQ(FormatGrouped(-123456), L"-123.456");
    EXPECT_EQ(FormatGrouped(0.5), L"1");
    EXPECT_EQ(FormatGrouped(-0.4), L"0");
    EXPECT_EQ(FormatGrouped(0), L"0");
    EXPECT_EQ(FormatGrouped(1e15), L"1.000.000.000.000.000");
}

TEST(Format, Temperatures) {
    EXPECT_DOUBLE_EQ(ToFahrenheit(-40), -40);
    EXPECT_EQ(FormatTemperature(100.0, true), L"212 °F");
    EXPECT_EQ(FormatTemperature(56.4, false), L"56 °C");
    EXPECT_EQ(FormatTemperature(std::nullopt, false), L"\u2014");
    EXPECT_EQ(FormatTemperature(std::nullopt, true), L"\u2014");
}

TEST(Format, SensorValueByKind) {
    EXPECT_EQ(FormatSensorValue(SensorKind::Temperature, 45.6, false), L"46 °C");
    EXPECT_EQ(FormatSensorValue(SensorKind::Temperature, 0, true), L"32 °F");
    EXPECT_EQ(FormatSensorValue(SensorKind::Load, 12.34, false), L"12,3 %");
    EXPECT_EQ(FormatSensorValue(SensorKind::Clock, 999.5, false), L"1.000 MHz");
    EXPECT_EQ(FormatSensorValue(SensorKind::Power, 15, false), L"15,0 W");
    EXPECT_EQ(FormatSensorValue(SensorKind::Fan, 0, false), L"0 RPM");
    EXPECT_EQ(FormatSensorValue(SensorKind::Fan, 2450.2, false), L"2.450 RPM");
    EXPECT_EQ(FormatSensorValue(SensorKind::Data, 7.96, false), L"8,0 GB");
    EXPECT_EQ(FormatSensorValue(SensorKind::Level, 99.95, false), L"100,0 %");
    EXPECT_EQ(FormatSensorValue(static_cast<SensorKind>(42), 1.005, false), L"1,00");
}

TEST(Format, BytesStepByPowersOf1024UpToTerabytes) {
    EXPECT_EQ(FormatBytes(0), L"0 B");
    EXPECT_EQ(FormatBytes(1023), L"1023 B");
    EXPECT_EQ(FormatBytes(1024), L"1 KB");
    EXPECT_EQ(FormatBytes(1536), L"2 KB");  // below gigabytes never a decimal
    EXPECT_EQ(FormatBytes(512.0 * 1024 * 1024), L"512 MB");
    EXPECT_EQ(FormatBytes(17000000000.0), L"15,8 GB");
    EXPECT_EQ(FormatBytes(17179869184.0), L"16 GB");
    EXPECT_EQ(FormatBytes(16.04 * 1024 * 1024 * 1024), L"16 GB");  // within 0.05 of a whole number
    EXPECT_EQ(FormatBytes(std::pow(1024.0, 5)), L"1024 TB");
    EXPECT_EQ(FormatBytes(1.5 * std::pow(1024.0, 4)), L"1,5 TB");
}

TEST(Format, UptimeAndMinutes) {
    EXPECT_EQ(FormatUptime(86400000ull + 3600000 + 60000 + 1000), L"1 g 1 sa 1 dk");
    EXPECT_EQ(FormatUptime(59999), L"0 dk");
    EXPECT_EQ(FormatUptime(60000), L"1 dk");
    EXPECT_EQ(FormatUptime(3600000), L"1 sa 0 dk");
    EXPECT_EQ(FormatUptime(86400000ull), L"1 g 0 sa 0 dk");
    EXPECT_EQ(FormatUptime(86400000ull * 400 + 23 * 3600000ull), L"400 g 23 sa 0 dk");

    EXPECT_EQ(FormatMinutes(20), L"1 dk");
    EXPECT_EQ(FormatMinutes(29), L"1 dk");
    EXPECT_EQ(FormatMinutes(90), L"2 dk");
    EXPECT_EQ(FormatMinutes(3600), L"1 sa 0 dk");
    EXPECT_EQ(FormatMinutes(3569), L"59 dk");
    EXPECT_EQ(FormatMinutes(3570), L"1 sa 0 dk");
    EXPECT_EQ(FormatMinutes(0), L"1 dk");
    EXPECT_EQ(FormatMinutes(-500), L"1 dk");
}

// A damaged reading never shows as "nan", "inf" or "-nan": every formatter gives "—".
TEST(Format, NonFiniteValuesShowTheDash) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double v : {nan, -nan, inf, -inf}) {
        EXPECT_EQ(FormatNumber(v, 1), L"\u2014");
        EXPECT_EQ(FormatGrouped(v), L"\u2014");
        EXPECT_EQ(FormatTemperature(v, false), L"\u2014");
        EXPECT_EQ(FormatTemperature(v, true), L"\u2014");
        EXPECT_EQ(FormatBytes(v), L"\u2014");
        EXPECT_EQ(FormatMinutes(v), L"\u2014");
        EXPECT_EQ(FormatAgo(v), L"\u2014");
        for (int kind = 0; kind <= 7; ++kind)
            EXPECT_EQ(FormatSensorValue(static_cast<SensorKind>(kind), v, false), L"\u2014") << kind;
    }
    EXPECT_EQ(FormatTemperature(1e308, true), L"\u2014");  // finite in °C, infinite in °F
    EXPECT_EQ(FormatSensorValue(SensorKind::Temperature, -0.3, false), L"0 °C");
    EXPECT_EQ(FormatSensorValue(SensorKind::Power, -0.01, false), L"0,0 W");
}

TEST(Format, AgoAxisText) {
    EXPECT_EQ(FormatAgo(90), L"-1,5 dk");
    EXPECT_EQ(FormatAgo(120), L"-2 dk");
    EXPECT_EQ(FormatAgo(60), L"-1 dk");
    EXPECT_EQ(FormatAgo(30), L"-30 sn");
    EXPECT_EQ(FormatAgo(59.4), L"-59 sn");
    // Nothing rounds to "-0 sn"; an age below zero (a clock step) is "now".
    EXPECT_EQ(FormatAgo(0), L"şimdi");
    EXPECT_EQ(FormatAgo(0.4), L"şimdi");
    EXPECT_EQ(FormatAgo(-5), L"şimdi");
    EXPECT_EQ(FormatAgo(0.6), L"-1 sn");
}

TEST(Format, MonthNames) {
    EXPECT_STREQ(MonthName(0), L"Ocak");
    EXPECT_STREQ(MonthName(1), L"Şubat");
    EXPECT_STREQ(MonthName(7), L"Ağustos");
    EXPECT_STREQ(MonthName(11), L"Aralık");
    EXPECT_STREQ(MonthName(12), L"");
    EXPECT_STREQ(MonthName(-1), L"");
}

#if !defined(_WIN32)
namespace {
// Sets TZ for one test and puts the old value back afterwards.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone) {
        if (const char* old = std::getenv("TZ")) old_ = old, hadOld_ = true;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneScope() {
        if (hadOld_) setenv("TZ", old_.c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};
}  // namespace

TEST(Format, DateTimeInLocalZone) {
    {
        ZoneScope zone("UTC0");
        EXPECT_EQ(FormatDateTime(0), L"1 Ocak 00:00");
        EXPECT_EQ(FormatDateTime(1709251200 + 5 * 3600 + 7 * 60), L"1 Mart 05:07");  // 2024-03-01
        EXPECT_EQ(FormatDateTime(1735689599), L"31 Aralık 23:59");                  // 2024-12-31 23:59:59
    }
    {
        ZoneScope zone("<+03>-3");  // Istanbul: three hours ahead, no daylight saving
        EXPECT_EQ(FormatDateTime(1735689599), L"1 Ocak 02:59");
    }
}
#else
TEST(Format, DateTimeHasDayMonthAndClock) {
    const std::wstring text = FormatDateTime(1718000000);  // June 2024, any zone keeps the month
    ASSERT_GE(text.size(), 12u);
    EXPECT_NE(text.find(L" Haziran "), std::wstring::npos) << text;
    EXPECT_EQ(text[text.size() - 3], L':');
}
#endif
