// The sensor log: file format, daily names, retention, the due rule, and the writer over a folder in memory.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>

#include "sensors/text.h"
#include "store/sensor_log.h"
#include "store/sensor_log_writer.h"
#include "tests/core/engine_fakes.h"

using namespace kalorix;

namespace {

SensorLogColumn Col(const wchar_t* device, const wchar_t* label, SensorKind kind) {
    return {std::wstring(device) + L"/" + label, device, label, kind};
}

LocalStamp At(int y, int mo, int d, int h = 12, int mi = 0, int s = 0, int offset = 180) {
    return LocalStamp{{y, mo, d}, h, mi, s, offset};
}

// A folder in memory; append can fail, or wait until the gate opens.
class MemoryFiles : public SensorLogFiles {
public:
    std::map<std::wstring, std::string> files;
    std::wstring current;
    int appendsBeforeFailure = -1;  // -1: never fails
    bool gated = false;
    std::promise<void> gate;

    std::filesystem::path folder() const override { return "mem"; }
    LogWriteResult makeFolder(std::string&) override { return LogWriteResult::Ok; }
    std::vector<LogFileEntry> list() override {
        std::vector<LogFileEntry> out;
        for (const auto& [name, bytes] : files) out.push_back({name, bytes.size()});
        return out;
    }
    std::optional<LogFileEdges> edges(const std::wstring& name, size_t head) override {
        auto it = files.find(name);
        if (it == files.end()) return std::nullopt;
        return LogFileEdges{it->second.substr(0, head), it->second.empty() ? '\0' : it->second.back()};
    }
    LogWriteResult open(const std::wstring& name, std::string&) override { return files[current = name], LogWriteResult::Ok; }
    LogWriteResult append(std::string_view bytes, std::string& error) override {
        if (gated) gate.get_future().wait(), gated = false;
        if (appendsBeforeFailure == 0) return error = "injected", LogWriteResult::DiskFull;
        if (appendsBeforeFailure > 0) --appendsBeforeFailure;
        files[current] += bytes;
        return LogWriteResult::Ok;
    }
    void close() override {}
    bool remove(const std::wstring& name, std::string&) override { return files.erase(name) > 0; }
};

SensorLogColumns Columns(std::vector<SensorLogColumn> c) { return std::make_shared<const std::vector<SensorLogColumn>>(std::move(c)); }
const SensorLogColumns kCpuLoad = Columns({Col(L"CPU", L"Yük", SensorKind::Load)});

// Waits (bounded) until the writer has written n rows or stopped.
bool WaitRows(const SensorLogWriter& w, uint64_t n) {
    for (int i = 0; i < 2000; ++i) {
        const SensorLogStatus s = w.status();
        if (s.rows >= n || !s.running) return s.rows >= n;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

// Starts a writer for 2026-05-01, offers the rows and stops once they are written.
void WriteDay(MemoryFiles& files, SensorLogFormat format, std::vector<SensorLogRow> rows) {
    SensorLogWriter w(files);
    w.start({format, 7}, {2026, 5, 1});
    for (auto& row : rows) ASSERT_TRUE(w.offer(std::move(row)));
    ASSERT_TRUE(WaitRows(w, rows.size()));
    w.stop();
}

}  // namespace

TEST(SensorLogFormat, TurkishAndStandardLines) {
    const std::vector<SensorLogColumn> cols = {Col(L"NVIDIA GeForce RTX 4060", L"Sıcaklık", SensorKind::Temperature),
                                               Col(L"Disk; \"C:\"", L"Boş", SensorKind::Data),
                                               Col(L"CPU, 8 çekirdek", L"Saat", SensorKind::Clock)};
    EXPECT_EQ(SensorLogFileStart(cols, 3, SensorLogFormat::Turkish),
              "\xEF\xBB\xBFZaman;NVIDIA GeForce RTX 4060 \u00B7 S\u0131cakl\u0131k [\u00B0C];"
              "\"Disk; \"\"C:\"\" \u00B7 Bo\u015F [GB]\";CPU, 8 \u00E7ekirdek \u00B7 Saat [MHz]\r\n");
    EXPECT_EQ(SensorLogFileStart(cols, 1, SensorLogFormat::Standard),
              "Zaman,NVIDIA GeForce RTX 4060 \u00B7 S\u0131cakl\u0131k [\u00B0C]\r\n");
    const LocalStamp t = At(2026, 12, 7, 9, 5, 3, 180);
    EXPECT_EQ(SensorLogRowLine(t, cols, {72.46, std::nullopt, 3650.7}, SensorLogFormat::Turkish),
              "2026-12-07T09:05:03+03:00;72,5;;3651\r\n");
    EXPECT_EQ(SensorLogRowLine(t, cols, {-0.04, 15.0, std::nullopt}, SensorLogFormat::Standard),
              "2026-12-07T09:05:03+03:00,0.0,15.00,\r\n");
    EXPECT_EQ(FormatLogValue(1.7976931348623157e308, SensorKind::Data, SensorLogFormat::Standard).size(), 309u + 3u);
    EXPECT_EQ(FormatLogTime(At(2026, 1, 2, 23, 59, 59, -330)), "2026-01-02T23:59:59-05:30");
}

TEST(SensorLogNames, DailyPartsAndForeignNames) {
    EXPECT_EQ(SensorLogFileName({2026, 3, 9}, 12), L"Kalorix-sensorler-2026-03-09-12.csv");
    EXPECT_EQ(ParseSensorLogFileName(L"Kalorix-sensorler-2026-03-09-2.csv")->part, 2);
    for (const wchar_t* foreign : {L"Kalorix-sensorler-2026-03-09-1.csv", L"Kalorix-sensorler-2026-03-09-02.csv",
                                   L"Kalorix-sensorler-2026-13-09.csv", L"Kalorix-sensorler-2026-03-09.txt"})
        EXPECT_FALSE(ParseSensorLogFileName(foreign)) << WideToUtf8(foreign);
}

TEST(SensorLogRetention, KeepsTheLastDaysAndNeverForeignFiles) {
    const std::vector<std::wstring> names = {L"Kalorix-sensorler-2024-02-23.csv", L"Kalorix-sensorler-2024-02-24.csv",
                                             L"Kalorix-sensorler-2024-02-24-3.csv", L"Kalorix-sensorler-2024-03-01.csv",
                                             L"benim.csv"};
    // 2024 is a leap year: 2024-03-01 minus 7 days is 2024-02-23.
    EXPECT_EQ(ExpiredSensorLogFiles(names, {2024, 3, 1}, 7), (std::vector<std::wstring>{names[0]}));
    EXPECT_EQ(ExpiredSensorLogFiles(names, {2024, 3, 2}, 7).size(), 3u);
    EXPECT_TRUE(ExpiredSensorLogFiles(names, {2030, 1, 1}, 0).empty());  // keep everything
}

TEST(SensorLogDue, IntervalOfTheSamplingClock) {
    EXPECT_FALSE(SensorLogRowDue(10.0, 14.5, 5));
    // The first row, a cycle a little early, every cycle, a clock that went back.
    EXPECT_TRUE(SensorLogRowDue(std::nullopt, 10, 5) && SensorLogRowDue(10.0, 14.8, 5) && SensorLogRowDue(10.0, 10.5, 0) &&
                SensorLogRowDue(10.0, 9.0, 30));
}

TEST(SensorLogWriter, ColumnsNeverShiftANewSensorOrFormatBeginsAPart) {
    MemoryFiles files;
    const auto two = Columns({Col(L"CPU", L"Yük", SensorKind::Load), Col(L"GPU", L"Sıcaklık", SensorKind::Temperature)});
    auto three = std::make_shared<std::vector<SensorLogColumn>>(*two);
    three->push_back(Col(L"Disk", L"Sıcaklık", SensorKind::Temperature));
    WriteDay(files, SensorLogFormat::Standard,
             {{At(2026, 5, 1, 10), two, {12.0, 60.0}}, {At(2026, 5, 1, 10, 0, 5), three, {13.0, std::nullopt, 41.0}}});
    EXPECT_EQ(files.files[L"Kalorix-sensorler-2026-05-01.csv"],
              "Zaman,CPU \u00B7 Y\u00FCk [%],GPU \u00B7 S\u0131cakl\u0131k [\u00B0C]\r\n"
              "2026-05-01T10:00:00+03:00,12.0,60.0\r\n");
    const std::string part2 = files.files[L"Kalorix-sensorler-2026-05-01-2.csv"];
    EXPECT_EQ(part2.substr(part2.find("\r\n") + 2), "2026-05-01T10:00:05+03:00,13.0,,41.0\r\n");
    // A restart in the other format gives the day a part of its own (the same format continues the last
    // part: tests/win/sensor_log_win_test.cpp with the real files).
    WriteDay(files, SensorLogFormat::Turkish, {{At(2026, 5, 1, 12), three, {1.0, 2.0, 3.0}}});
    EXPECT_EQ(files.files[L"Kalorix-sensorler-2026-05-01-3.csv"].substr(0, 3), std::string(kUtf8Bom));
}

TEST(SensorLogWriter, RetentionAtMidnight) {
    MemoryFiles files;
    for (const wchar_t* name : {L"Kalorix-sensorler-2026-04-25.csv", L"kendi-notlarim.csv"}) files.files[name] = "x\r\n";
    SensorLogWriter w(files);
    w.start({SensorLogFormat::Turkish, 7}, {2026, 5, 1});
    ASSERT_TRUE(w.offer({At(2026, 5, 1, 23, 59, 58), kCpuLoad, {1.0}}));
    ASSERT_TRUE(WaitRows(w, 1));
    EXPECT_TRUE(files.files.count(L"Kalorix-sensorler-2026-04-25.csv"));
    // Past midnight the 25th falls out of the seven days; the new day has its own file.
    ASSERT_TRUE(w.offer({At(2026, 5, 2, 0, 0, 3), kCpuLoad, {2.0}}));
    ASSERT_TRUE(WaitRows(w, 2));
    w.stop();
    EXPECT_FALSE(files.files.count(L"Kalorix-sensorler-2026-04-25.csv"));
    EXPECT_TRUE(files.files.count(L"Kalorix-sensorler-2026-05-02.csv") && files.files.count(L"kendi-notlarim.csv"));
}

TEST(SensorLogWriter, AWriteErrorStopsLoggingWithANote) {
    MemoryFiles files;
    files.appendsBeforeFailure = 3;  // file start, two rows
    SensorLogWriter w(files);
    w.start({SensorLogFormat::Standard, 7}, {2026, 5, 1});
    for (int i = 0; i < 3; ++i) w.offer({At(2026, 5, 1, 10, 0, i), kCpuLoad, {1.0 * i}});
    EXPECT_FALSE(WaitRows(w, 3));  // ends when the writer stops
    EXPECT_TRUE(w.status().note == kSensorLogDiskFullNote && w.status().rows == 2u);
    EXPECT_FALSE(w.offer({At(2026, 5, 1, 10, 0, 9), kCpuLoad, {9.0}}));
    w.stop();
    EXPECT_EQ(w.status().note, kSensorLogDiskFullNote);  // stays until logging starts again
    EXPECT_EQ(files.files.begin()->second, "Zaman,CPU \u00B7 Y\u00FCk [%]\r\n2026-05-01T10:00:00+03:00,0.0\r\n"
                                           "2026-05-01T10:00:01+03:00,1.0\r\n");  // written rows stay
    w.start({SensorLogFormat::Standard, 7}, {2026, 5, 1});
    EXPECT_EQ(w.status().note, L"");
}

// The writer hangs in a write; the engine folds on and the rows it cannot take are counted.
TEST(SensorLogFeed, AFullQueueNeverHoldsUpTheFold) {
    struct FixedClock : SensorLogClock { LocalStamp now() override { return At(2026, 5, 1); } } clock;
    test::NullHost host;
    MemoryFiles files;
    files.gated = true;
    SensorLogWriter writer(files, 8);
    SensorLogFeed feed(writer, clock);
    feed.setInterval(0);
    SamplingEngine engine(host);
    engine.setFoldObserver(&feed);
    writer.start({SensorLogFormat::Standard, 7}, {2026, 5, 1});
    SensorFrame frame;
    frame.add(L"cpu/load/total", L"CPU", L"Toplam yük", SensorKind::Load, 10);
    for (int i = 0; i < 1000; ++i) engine.fold(frame, 1.0 + i);
    // All 1000 folds are done while the first row still waits for the disk.
    EXPECT_TRUE(writer.status().rows == 0u && writer.status().dropped >= 1000u - 8u - 1u);

    files.gate.set_value();
    writer.stop();
    EXPECT_EQ(writer.status().rows + writer.status().dropped, 1000u);
}
