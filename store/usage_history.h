// The usage history (heavy-use periods and test records) and the cooling report card.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/protocol.h"
#include "sensors/sensor_model.h"

namespace kalorix {

// One successful benchmark run. kind: 0 CPU, 1 GPU, 2 disk, 3 memory.
struct TestRecord {
    BenchKind kind = BenchKind::Cpu;
    int64_t time = 0;  // seconds since 1970 UTC
    std::map<std::string, double> metrics;
    std::map<std::string, std::wstring> info;
};

struct CoolingReportCard {
    int64_t windowEnd = 0;  // the "now" of the seven days the card covers
    int32_t count = 0;
    double heavyUseHours = 0.0;
    double atLimitRatio = 0.0;
    double maxCpuTemp = 0.0;
    double avgCpuClock = 0.0;
    bool precise = false;
    int32_t grade = -1;
    std::wstring gradeName;
    std::wstring advice;
};

CoolingReportCard MakeReportCard(const std::vector<HeavyUsePeriod>& periods, int64_t now);

// A period dated at most seven days before now (or later than now) counts.
bool InReportWindow(int64_t startTime, int64_t now);
// Every number of the period is finite; a period that is not is left out of the card.
bool PeriodIsFinite(const HeavyUsePeriod& p);
// The period as the card counts it: no negative figures, at-limit never above busy,
// seconds and readings within bounds no real period reaches.
HeavyUsePeriod ClampedForGrading(const HeavyUsePeriod& p);

// A metric or info key that may be stored and reported: 1 to 64 printable ASCII
// characters, not only blanks, none of the history line's separators.
bool IsStorableKey(std::string_view key);
constexpr size_t kMaxEntriesPerRecord = 64;
constexpr size_t kMaxInfoChars = 512;
constexpr size_t kMaxPeriods = 300;
constexpr size_t kMaxRecordsPerKind = 30;

// history.txt text <-> records (portable, exact file format). A provisional
// period (one still running) is written as the last "S" line with a twelfth
// field "p", which earlier versions ignore; every "S" line loads as a finished
// period, because the process that wrote a provisional one is gone. Loading
// keeps the newest 300 periods and the newest 30 records of each kind, drops
// entries whose key is not storable, and bounds each record's entries.
std::string SerializeHistory(const std::vector<HeavyUsePeriod>& periods, const std::vector<TestRecord>& records,
                             const std::optional<HeavyUsePeriod>& provisional = std::nullopt);
void ParseHistory(std::string_view text, std::vector<HeavyUsePeriod>& periods, std::vector<TestRecord>& records);

std::filesystem::path HistoryPath(bool createFolder);

class UsageHistory {
public:
    // The process-wide store, loaded from HistoryPath on first use.
    static UsageHistory& instance();

    explicit UsageHistory(std::filesystem::path path);  // loads the file (tests use their own path)

    // A finished period; it replaces the provisional one, if any.
    void addPeriod(const HeavyUsePeriod& period);
    // The period still running, saved so a killed process loses at most the time
    // since this call. Not part of periods() while the process lives.
    void setProvisionalPeriod(const HeavyUsePeriod& period);
    // The running period ended without being recorded: its provisional line goes.
    void clearProvisionalPeriod();
    void addTestRecord(const TestRecord& record);
    std::vector<HeavyUsePeriod> periods() const;
    std::optional<HeavyUsePeriod> provisionalPeriod() const;
    std::vector<TestRecord> testRecords() const;
    std::optional<TestRecord> latestTestRecord(int32_t kind) const;

private:
    void save();  // under the lock

    mutable std::recursive_mutex lock_;
    std::filesystem::path path_;
    std::vector<HeavyUsePeriod> periods_;
    std::optional<HeavyUsePeriod> provisional_;
    std::vector<TestRecord> records_;
};

}  // namespace kalorix
