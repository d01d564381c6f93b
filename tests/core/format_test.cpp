// Number, size, time and temperature texts: rounding edges, non-finite input, the time zone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>

#include "sensors/format.h"

using namespace kalorix;

TEST(Format, NumbersBytesAndTimesAtTheirRoundingEdges) {
    const std::pair<std::wstring, std::wstring> cases[] = {
        // Decimal comma, no grouping; a value that rounds to zero has no sign; half to even, as the
        // fixed format; negative decimals act as 0.
        {FormatNumber(1234.56, 1), L"1234,6"}, {FormatNumber(-0.04, 1), L"0,0"}, {FormatNumber(-0.05, 1), L"-0,1"},
        {FormatNumber(2.5, 0), L"2"}, {FormatNumber(1.5, -3), L"2"},
        // Grouped: half away from zero, no "." right after the sign.
        {FormatGrouped(3400.4), L"3.400"}, {FormatGrouped(-999.5), L"-1.000"}, {FormatGrouped(-100), L"-100"},
        {FormatGrouped(-0.4), L"0"}, {FormatGrouped(1e15), L"1.000.000.000.000.000"},
        {FormatTemperature(100.0, true), L"212 °F"}, {FormatSensorValue(SensorKind::Temperature, -0.3, false), L"0 °C"},
        {FormatSensorValue(SensorKind::Load, 12.34, false), L"12,3 %"},
        {FormatSensorValue(SensorKind::Clock, 999.5, false), L"1.000 MHz"},
        {FormatSensorValue(SensorKind::Power, -0.01, false), L"0,0 W"},
        {FormatSensorValue(SensorKind::Fan, 2450.2, false), L"2.450 RPM"},
        {FormatSensorValue(static_cast<SensorKind>(42), 1.005, false), L"1,00"},
        // Below gigabytes never a decimal; within 0.05 of a whole number no decimal either.
        {FormatBytes(1023), L"1023 B"}, {FormatBytes(1536), L"2 KB"}, {FormatBytes(17000000000.0), L"15,8 GB"},
        {FormatBytes(16.04 * 1024 * 1024 * 1024), L"16 GB"}, {FormatBytes(std::pow(1024.0, 5)), L"1024 TB"},
        {FormatUptime(59999), L"0 dk"}, {FormatUptime(86400000ull * 400 + 23 * 3600000ull), L"400 g 23 sa 0 dk"},
        {FormatMinutes(29), L"1 dk"}, {FormatMinutes(3569), L"59 dk"}, {FormatMinutes(3570), L"1 sa 0 dk"},
        {FormatMinutes(-500), L"1 dk"},
    };
    for (const auto& [got, want] : cases) EXPECT_EQ(got, want);
    EXPECT_EQ(FormatNumber(1e300, 1).size(), 303u);  // huge values are written out in full
    EXPECT_EQ(std::wstring(MonthName(12)) + MonthName(-1), L"");
}

// A damaged reading never shows as "nan", "inf" or "-nan": every formatter gives "—".
TEST(Format, NonFiniteValuesShowTheDash) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (double v : {nan, -nan, inf, -inf}) {
        for (const std::wstring& text : {FormatNumber(v, 1), FormatGrouped(v), FormatTemperature(v, true),
                                         FormatBytes(v), FormatMinutes(v)})
            EXPECT_EQ(text, L"\u2014");
        for (int kind = 0; kind <= 7; ++kind)
            EXPECT_EQ(FormatSensorValue(static_cast<SensorKind>(kind), v, false), L"\u2014") << kind;
    }
    EXPECT_EQ(FormatTemperature(std::nullopt, false), L"\u2014");
    EXPECT_EQ(FormatTemperature(1e308, true), L"\u2014");  // finite in °C, infinite in °F
}

#if !defined(_WIN32)
TEST(Format, DateTimeInLocalZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(FormatDateTime(1735689599), L"31 Aralık 23:59");  // 2024-12-31 23:59:59
    setenv("TZ", "<+03>-3", 1);  // Istanbul: three hours ahead
    tzset();
    EXPECT_EQ(FormatDateTime(1735689599), L"1 Ocak 02:59");
    old ? setenv("TZ", saved.c_str(), 1) : unsetenv("TZ");
    tzset();
}
#else
TEST(Format, DateTimeHasDayMonthAndClock) {
    const std::wstring text = FormatDateTime(1718000000);  // June 2024 in any zone
    EXPECT_NE(text.find(L" Haziran "), std::wstring::npos) << text;
}
#endif
