// The history file and the cooling report card drawn from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <limits>
#include <map>
#include <string>
#include <thread>
#include <tuple>

#include "store/file_util.h"
#include "store/usage_history.h"

using namespace kalorix;
namespace fs = std::filesystem;

namespace {

HeavyUsePeriod SamplePeriod(int64_t start = 1718000000) {
    return {start, 612.4, 580.6, 33.49, true, 97.25, 88.04, 71.96, 3412.5, 44.44};
}

TestRecord Record(int32_t kind, int64_t time, double score = 1.0) {
    return {static_cast<BenchKind>(kind), time, {{"score", score}}, {}};
}

struct Parsed {
    std::vector<HeavyUsePeriod> periods;
    std::vector<TestRecord> records;
};

Parsed Parse(std::string_view text) {
    Parsed p;
    ParseHistory(text, p.periods, p.records);
    return p;
}

class HistoryFileTest : public ::testing::Test {
protected:
    void SetUp() override { fs::remove_all(dir_); }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_ = fs::temp_directory_path() /
                    (std::string("kalorix-history-") + ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                     "-" + std::to_string(std::random_device{}()));  // other test runs may share the folder
    fs::path path_ = dir_ / "Kalorix" / "history.txt";
};

CoolingReportCard CardFor(double busy, double atLimit) {
    HeavyUsePeriod p = SamplePeriod(100);
    p.busySeconds = busy;
    p.atLimitSeconds = atLimit;
    return MakeReportCard({p}, 100);
}

}  // namespace

TEST(HistoryFormat, LineLayoutsRoundTrip) {
    const std::string period = SerializeHistory({SamplePeriod()}, {});
    EXPECT_EQ(period, "S\t1718000000\t612\t581\t33\t1\t97.2\t88.0\t72.0\t3412\t44.4\n");  // %.0f rounds half to even
    Parsed back = Parse(period);
    EXPECT_EQ(SerializeHistory(back.periods, back.records), period);

    const TestRecord r{BenchKind::Memory, 1718000001, {{"memory.read_gbs", 1234567}, {"a.first", 0.000123456789}},
                       {{"Model", L"DDR5 — 2×16 GB"}, {"Empty", L""}}};
    const std::string record = SerializeHistory({}, {r});
    EXPECT_EQ(record, "B\tmemory\t1718000001\ta.first=0.000123457;memory.read_gbs=1.23457e+06\t"
                      "Empty=;Model=DDR5 \xE2\x80\x94 2\xC3\x97" "16 GB\n");
    back = Parse(record);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].metrics.at("memory.read_gbs"), 1234570);
    EXPECT_EQ(back.records[0].info, r.info);

    // Separators inside keys and texts become blanks.
    const TestRecord odd{BenchKind::Disk, 0, {{"odd;key=x\ty", 2}}, {{"GPU;name", L"A=B;C\tD\r\nE"}}};
    EXPECT_EQ(SerializeHistory({}, {odd}), "B\tdisk\t0\todd key x y=2\tGPU name=A B C D  E\n");
}

TEST(HistoryFormat, ShortUnknownAndDamagedLinesAreSkippedOrReadAsZero) {
    const Parsed back = Parse(
        "S\t1\t2\t3\t4\t1\t5\t6\t7\t8\n"     // ten fields: ignored
        "B\tcpu\t1\tx=1\n"                     // four fields: ignored
        "s\t1\t2\t3\t4\t1\t5\t6\t7\t8\t9\n"  // unknown letter (case matters)
        "\ngarbage without tabs\n"
        "S\t  42abc\tx\t\t+7\ttrue\t-3.5\t1e999\tnan\t 12.5 MHz\t.5\textra\tfields\r\n"
        "B\tnpu\t99.9\tscore=7;junk;=3;score=8;bad=zz\tk=v=w;k=last;novalue\n");
    ASSERT_EQ(back.periods.size(), 1u);
    const HeavyUsePeriod& p = back.periods[0];
    // Only "1" is precise; out of range and not a number read as 0.
    EXPECT_EQ(std::tuple(p.startTime, p.precise, p.atLimitSeconds, p.avgCpuTemp, p.maxGpuTemp, p.avgCpuClock),
              std::tuple(int64_t{42}, false, 7.0, 0.0, 0.0, 12.5));
    ASSERT_EQ(back.records.size(), 1u);
    const TestRecord& r = back.records[0];
    EXPECT_EQ(std::pair(r.kind, r.time), std::pair(BenchKind::Cpu, int64_t{99}));  // unknown kind word: CPU
    EXPECT_EQ(r.metrics, (std::map<std::string, double>{{"score", 8}, {"bad", 0}}));  // later wins, keyless dropped
    EXPECT_EQ(r.info, (std::map<std::string, std::wstring>{{"k", L"last"}}));
    EXPECT_EQ(Parse("B\tk\t1e300\t\t\n").records[0].time, 0);  // beyond 64 bits
}

// Keys a report could not carry are neither loaded nor written; a huge record is bounded.
TEST(HistoryFormat, UnusableKeysAndHugeRecords) {
    const Parsed back = Parse("B\tcpu\t1\t=1;   =2;\x01x=3;" + std::string(65, 'k') + "=4;ok=5\t=a;\x7f=b;name=c\n");
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].metrics, (std::map<std::string, double>{{"ok", 5}}));
    EXPECT_EQ(back.records[0].info, (std::map<std::string, std::wstring>{{"name", L"c"}}));
    const TestRecord r{BenchKind::Cpu, 0,
                       {{"", 1}, {"\x02", 2}, {"nan", std::numeric_limits<double>::quiet_NaN()}, {"fine", 3}},
                       {{"", L"x"}}};
    EXPECT_EQ(SerializeHistory({}, {r}), "B\tcpu\t0\tfine=3\t\n");

    std::string line = "B\tgpu\t1\t";
    for (int i = 0; i < 5000; ++i) line += "k" + std::to_string(i) + "=1;";
    line += "\t" + std::string(10000, 'x') + "=long;info=" + std::string(5000, 'y') + "\n";
    const Parsed big = Parse(line);
    EXPECT_EQ(big.records[0].metrics.size(), kMaxEntriesPerRecord);
    EXPECT_EQ(big.records[0].info.at("info").size(), kMaxInfoChars);
}

TEST(ReportCard, WeekWindowAndGradeThresholds) {
    const int64_t now = 1718000000;
    const CoolingReportCard none = MakeReportCard({SamplePeriod(now - 604801)}, now);
    EXPECT_EQ(std::pair(none.grade, none.gradeName), std::pair(-1, std::wstring(L"Henüz veri yok")));
    EXPECT_EQ(none.advice.rfind(L"Kalorix yapay yük uygulamaz.", 0), 0u);
    // A week back counts; extreme dates do not overflow.
    for (auto [start, count] : {std::pair{now - 604800, 1}, {INT64_MIN, 0}, {INT64_MAX, 1}})
        EXPECT_EQ(MakeReportCard({SamplePeriod(start)}, now).count, count) << start;
    // Thresholds at 2 %, 10 % and 25 % of busy time, each exact value in the worse grade.
    const struct { double busy, atLimit; int grade; } cases[] = {
        {600, 11.9, 0}, {600, 12, 1}, {100, 9.99, 1}, {100, 10, 2}, {100, 24.99, 2}, {100, 25, 3}, {0, 50, 0}};
    for (const auto& c : cases) EXPECT_EQ(CardFor(c.busy, c.atLimit).grade, c.grade) << c.busy << " " << c.atLimit;
    EXPECT_EQ(CardFor(600, 0).gradeName + L"/" + CardFor(100, 30).gradeName, L"Çok iyi/Zayıf");
}

// A damaged history must not grade: negatives count as 0, at-limit time never
// exceeds busy time, a period with non-finite figures is left out.
TEST(ReportCard, DamagedFiguresAreClampedOrSkipped) {
    for (auto [busy, atLimit, ratio] : {std::tuple{100, 500, 1.0}, {100, -50, 0.0}, {-100, 50, 0.0}})
        EXPECT_EQ(CardFor(busy, atLimit).atLimitRatio, ratio) << busy << " " << atLimit;
    HeavyUsePeriod nan = SamplePeriod(100), negative = SamplePeriod(100);
    nan.avgCpuClock = std::numeric_limits<double>::quiet_NaN();
    negative.duration = -3600, negative.maxCpuTemp = -40;
    const CoolingReportCard mixed = MakeReportCard({nan, negative}, 100);
    EXPECT_EQ(std::tuple(mixed.count, mixed.heavyUseHours, mixed.maxCpuTemp), std::tuple(1, 0.0, 0.0));
}

TEST(ReportCard, SumsWeightedClockAndPrecision) {
    const HeavyUsePeriod a{1000, 1800, 300, 30, true, 90, 0, 0, 4000, 0};
    const HeavyUsePeriod b{1000, 5400, 100, 10, false, 99, 0, 0, 2000, 0};
    const CoolingReportCard c = MakeReportCard({a, b}, 2000);
    // The clock is weighted by busy time.
    EXPECT_EQ(std::tuple(c.heavyUseHours, c.atLimitRatio, c.avgCpuClock, c.maxCpuTemp, c.precise),
              std::tuple(2.0, 0.1, 3500.0, 99.0, false));
}

TEST_F(HistoryFileTest, CapsKeepTheNewestWhenAddingAndWhenLoading) {
    UsageHistory history(path_);
    for (int i = 0; i < 30; ++i) history.addTestRecord(Record(0, 100 + i));
    for (int i = 0; i < 3; ++i) history.addTestRecord(Record(1, 500 + i));
    history.addTestRecord(Record(0, 200));  // the 31st CPU record
    auto records = history.testRecords();
    ASSERT_EQ(records.size(), 33u);
    // Only the oldest CPU record went; GPU records keep their place.
    EXPECT_EQ(std::pair(records.front().time, records[29].time), std::pair(int64_t{101}, int64_t{500}));
    for (int i = 0; i <= 300; ++i) history.addPeriod(SamplePeriod(i));
    EXPECT_TRUE(history.periods().front().startTime == 1 && UsageHistory(path_).periods().size() == 300);

    // A file written by hand may hold more than the store keeps.
    std::vector<TestRecord> many;
    std::vector<HeavyUsePeriod> periods;
    for (int i = 0; i < 305; ++i) periods.push_back(SamplePeriod(i)), many.push_back(Record(2, i));
    ASSERT_TRUE(AtomicWriteFile(path_, SerializeHistory(periods, many)));
    UsageHistory loaded(path_);
    EXPECT_EQ(std::tuple(loaded.testRecords().size(), loaded.testRecords().front().time, loaded.periods().front().startTime),
              std::tuple(size_t{30}, int64_t{275}, int64_t{5}));
}

// A running period is on disk as a provisional line (older versions ignore the
// twelfth field); the final record replaces it, and after a crash it is a period.
TEST_F(HistoryFileTest, ProvisionalPeriodSurvivesACrashAndIsReplacedAtClose) {
    {
        UsageHistory history(path_);
        history.addPeriod(SamplePeriod(1));
        HeavyUsePeriod running = SamplePeriod(2);
        for (double duration : {240, 300}) running.duration = duration, history.setProvisionalPeriod(running);
        EXPECT_EQ(history.periods().size(), 1u);
        EXPECT_NE(ReadFileBytes(path_)->find("S\t2\t300\t581\t33\t1\t97.2\t88.0\t72.0\t3412\t44.4\tp\n"), std::string::npos);
    }  // ends without a close
    UsageHistory next(path_);
    ASSERT_EQ(next.periods().size(), 2u);
    EXPECT_TRUE(next.periods()[1].duration == 300 && !next.provisionalPeriod());
    next.setProvisionalPeriod(SamplePeriod(3)), next.addPeriod(SamplePeriod(3));
    const std::string after = *ReadFileBytes(path_);
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 3);
    next.setProvisionalPeriod(SamplePeriod(4)), next.clearProvisionalPeriod();
    EXPECT_EQ(UsageHistory(path_).periods().size(), 3u);
}

TEST_F(HistoryFileTest, DamagedFileLoadsWhatItCan) {
    std::string text = SerializeHistory({SamplePeriod(1), SamplePeriod(2)}, {Record(3, 7)});
    text.insert(text.find("S\t2"), std::string("\x01\xFF broken\tline\n\0\0\n", 18));
    ASSERT_TRUE(AtomicWriteFile(path_, text + "S\t3\t4"));  // cut off in the middle of the last line
    UsageHistory history(path_);
    EXPECT_EQ(history.periods().size(), 2u);
    EXPECT_EQ(history.latestTestRecord(3)->time, 7);
}

TEST_F(HistoryFileTest, FailedSaveKeepsOldFileAndTheAdditionInMemory) {
    UsageHistory history(path_);
    history.addPeriod(SamplePeriod(1));
    const auto before = ReadFileBytes(path_);
    fs::create_directory(fs::path(path_) += ".tmp");  // the temporary file cannot be written
    history.addPeriod(SamplePeriod(2));
    EXPECT_TRUE(history.periods().size() == 2 && ReadFileBytes(path_) == before);
    fs::remove(fs::path(path_) += ".tmp");
    history.addPeriod(SamplePeriod(3));
    EXPECT_EQ(UsageHistory(path_).periods().size(), 3u);
    UsageHistory nowhere{fs::path()};  // no folder known: memory only
    nowhere.addPeriod(SamplePeriod(1));
    EXPECT_EQ(nowhere.periods().size(), 1u);
}

// Additions from two threads are all saved and loaded again; no file before the first.
TEST_F(HistoryFileTest, ConcurrentAdditionsAreSavedAndLoseNothing) {
    UsageHistory history(path_);
    EXPECT_FALSE(fs::exists(dir_));
    std::thread periods([&] {
        for (int i = 0; i < 40; ++i) history.addPeriod(SamplePeriod(i));
    });
    for (int i = 0; i < 20; ++i) history.addTestRecord(Record(i % 3, i, i));
    periods.join();
    EXPECT_EQ(history.latestTestRecord(3), std::nullopt);
    EXPECT_FALSE(fs::exists(fs::path(path_) += ".tmp"));
    UsageHistory again(path_);
    EXPECT_EQ(std::pair(again.periods().size(), again.testRecords().size()), std::pair(size_t{40}, size_t{20}));
    EXPECT_EQ(again.latestTestRecord(0)->metrics.at("score"), 18);
}
