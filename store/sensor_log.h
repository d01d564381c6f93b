// The sensor log's file format and rules, without any file: the header and row
// lines of both formats, field quoting, the daily file names and their parts,
// which files retention deletes and when a row is due. Portable; the writer
// (store/sensor_log_writer.h) applies them to the folder.
//
// A file: for "Excel (Türkçe)" a UTF-8 byte-order mark, ';' between fields and a
// decimal comma; for "Standart CSV" no mark, ',' and a decimal point. Both quote
// as RFC 4180 says and end every line with CR LF. The first column is the local
// time in ISO 8601 with its offset, then one column per sensor headed
// "device · label [unit]"; temperatures always in °C; an absent reading is an
// empty field.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix {

enum class SensorLogFormat { Turkish, Standard };
// The SensorLogFormat setting: "standard" is Standard, anything else Turkish.
SensorLogFormat SensorLogFormatOf(std::string_view setting);

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kTimeColumnHeader = "Zaman";

struct LogDate {
    int year = 1970, month = 1, day = 1;
    bool operator==(const LogDate&) const = default;
};
// Days since 1970-01-01 of a proleptic Gregorian date.
int64_t DaysFromCivil(const LogDate& date);

// A local wall-clock time with its offset from UTC.
struct LocalStamp {
    LogDate date;
    int hour = 0, minute = 0, second = 0;
    int offsetMinutes = 0;  // local minus UTC
};
// "2026-12-07T09:05:03+03:00".
std::string FormatLogTime(const LocalStamp& time);

// What a column says about its sensor.
struct SensorLogColumn {
    std::wstring id;
    std::wstring device;
    std::wstring label;
    SensorKind kind = SensorKind::Temperature;
};
using SensorLogColumns = std::shared_ptr<const std::vector<SensorLogColumn>>;

// "°C", "%", "MHz", "W", "RPM", "GB"; empty for an unknown kind.
std::string SensorLogUnit(SensorKind kind);
// Decimals a value of the kind is written with (°C, % and W one, MHz and RPM
// none, GB two; two for an unknown kind).
int SensorLogDecimals(SensorKind kind);
// "device · label [unit]" in UTF-8.
std::string SensorLogColumnHeader(const SensorLogColumn& column);
// The value rounded to its kind's decimals, with the format's decimal sign;
// never "-0".
std::string FormatLogValue(double value, SensorKind kind, SensorLogFormat format);
// The field as written: quoted (quotes doubled) when it holds the separator, a
// quote, CR or LF.
std::string QuoteLogField(std::string_view field, SensorLogFormat format);

// The start of a new file: the byte-order mark (Turkish format) and the header
// line of the first count columns.
std::string SensorLogFileStart(const std::vector<SensorLogColumn>& columns, size_t count, SensorLogFormat format);
// One row: the time, then a field per column (empty for an absent value).
std::string SensorLogRowLine(const LocalStamp& time, const std::vector<SensorLogColumn>& columns,
                             const std::vector<std::optional<double>>& values, SensorLogFormat format);

// "Kalorix-sensorler-2026-12-07.csv" for part 1, "Kalorix-sensorler-2026-12-07-2.csv" for part 2.
std::wstring SensorLogFileName(const LogDate& day, int part);
struct SensorLogFileId {
    LogDate day;
    int part = 1;
};
// The day and part of one of our file names; nothing for any other name.
std::optional<SensorLogFileId> ParseSensorLogFileName(std::wstring_view name);

// Retention: our files whose day lies keepDays or more days before today
// (keep 7 keeps today and the six days before it); none with keepDays 0
// (keep everything). Names that are not ours are never listed.
std::vector<std::wstring> ExpiredSensorLogFiles(const std::vector<std::wstring>& names, const LogDate& today,
                                                int keepDays);

// Rows are due once per interval of the sampling clock; 0 means every cycle.
// A cycle a little early (within a quarter second) still counts.
bool SensorLogRowDue(std::optional<double> lastRowAt, double now, double intervalSeconds);

// The last part of a day already in the folder, as the writer found it.
struct ExistingLogPart {
    int part = 0;             // 0: the day has no file yet
    bool continuable = false; // it starts exactly as our file would and ends with a line end
};

// Where the next row goes.
struct LogTarget {
    std::wstring file;
    bool create = false;  // a new file: write its start first
};

// The part rule. A day's rows go to its files; a file's columns never change,
// so a sensor that appears after the file started begins the next part.
class SensorLogParts {
public:
    // Whether the row's day needs a look at the folder first (the first row, or a new day).
    bool needsDay(const LogDate& day) const { return !open_ || !(day == day_); }
    // The first row of a day with columns columns: continue the day's last part
    // when it is continuable, else start the part after it.
    LogTarget beginDay(const LogDate& day, size_t columns, const ExistingLogPart& last);
    // A further row of the same day.
    LogTarget next(size_t columns);
    // The file was not written (an error): the next row looks at the folder again.
    void reset() { open_ = false; }
    int part() const { return part_; }
    size_t columns() const { return columns_; }

private:
    bool open_ = false;
    LogDate day_;
    int part_ = 0;
    size_t columns_ = 0;
};

// The test build's record of every row written (kalorix-test.exe with
// KALORIX_SENSOR_LOG_ECHO): one line of JSON with the file, the header, the
// decimals, the time and every value as the shortest text that reads back to
// the same double, so a checker can tell the file holds exactly what was logged.
std::string SensorLogEchoLine(const std::wstring& file, const LocalStamp& time,
                              const std::vector<SensorLogColumn>& columns,
                              const std::vector<std::optional<double>>& values);

}  // namespace kalorix
