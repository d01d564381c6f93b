// Turkish number style for everything the user sees: decimal comma, "." between
// thousands, a blank before each unit, °C or °F by the UseFahrenheit setting.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "sensors/sensor_model.h"

namespace kalorix {

double ToFahrenheit(double celsius);
std::wstring FormatNumber(double value, int decimals);
std::wstring FormatGrouped(double value);
std::wstring FormatTemperature(std::optional<double> celsius, bool fahrenheit);
std::wstring FormatSensorValue(SensorKind kind, double value, bool fahrenheit);
std::wstring FormatBytes(double bytes);
std::wstring FormatUptime(uint64_t milliseconds);
std::wstring FormatMinutes(double seconds);
std::wstring FormatDateTime(int64_t unixSeconds);  // local time zone

// Month names, index 0 (January) to 11.
const wchar_t* MonthName(int index);

}  // namespace kalorix
