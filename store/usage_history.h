// The usage history (heavy-use periods and test records) and the cooling report card.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
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

// history.txt text <-> records (portable, exact file format).
std::string SerializeHistory(const std::vector<HeavyUsePeriod>& periods, const std::vector<TestRecord>& records);
void ParseHistory(std::string_view text, std::vector<HeavyUsePeriod>& periods, std::vector<TestRecord>& records);

std::filesystem::path HistoryPath(bool createFolder);

class UsageHistory {
public:
    // The process-wide store, loaded from HistoryPath on first use.
    static UsageHistory& instance();

    explicit UsageHistory(std::filesystem::path path);  // loads the file (tests use their own path)

    void addPeriod(const HeavyUsePeriod& period);
    void addTestRecord(const TestRecord& record);
    std::vector<HeavyUsePeriod> periods() const;
    std::vector<TestRecord> testRecords() const;
    std::optional<TestRecord> latestTestRecord(int32_t kind) const;

private:
    void save();  // under the lock

    mutable std::recursive_mutex lock_;
    std::filesystem::path path_;
    std::vector<HeavyUsePeriod> periods_;
    std::vector<TestRecord> records_;
};

}  // namespace kalorix
