#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <string>
#include <thread>

#include "store/file_util.h"
#include "store/usage_history.h"

using namespace kalorix;
namespace fs = std::filesystem;

namespace {

HeavyUsePeriod SamplePeriod(int64_t start = 1718000000) {
    HeavyUsePeriod p;
    p.startTime = start;
    p.duration = 612.4;
    p.busySeconds = 580.6;
    p.atLimitSeconds = 33.49;
    p.precise = true;
    p.maxCpuTemp = 97.25;
    p.avgCpuTemp = 88.04;
    p.maxGpuTemp = 71.96;
    p.avgCpuClock = 3412.5;
    p.avgCpuPower = 44.44;
    return p;
}

TestRecord Record(int32_t kind, int64_t time, double score = 1.0) {
    TestRecord r;
    r.kind = static_cast<BenchKind>(kind);
    r.time = time;
    r.metrics["score"] = score;
    return r;
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

// A private folder per test, removed again afterwards.
class HistoryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() / (std::string("kalorix-history-") + info->name());
        fs::remove_all(dir_);
        path_ = dir_ / "Kalorix" / "history.txt";
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_, path_;
};

}  // namespace

TEST(HistoryFormat, PeriodLineLayoutAndRoundTrip) {
    const std::string text = SerializeHistory({SamplePeriod()}, {});
    EXPECT_EQ(text, "S\t1718000000\t612\t581\t33\t1\t97.2\t88.0\t72.0\t3412\t44.4\n");  // %.0f rounds half to even
    const Parsed back = Parse(text);
    ASSERT_EQ(back.periods.size(), 1u);
    const HeavyUsePeriod& p = back.periods[0];
    EXPECT_EQ(p.startTime, 1718000000);
    EXPECT_TRUE(p.precise);
    EXPECT_EQ(p.duration, 612);
    EXPECT_DOUBLE_EQ(p.maxCpuTemp, 97.2);
    // Written again it is the same line: every other field read back as written.
    EXPECT_EQ(SerializeHistory(back.periods, back.records), text);

    HeavyUsePeriod negative;
    negative.startTime = -5;
    negative.precise = false;
    EXPECT_EQ(SerializeHistory({negative}, {}), "S\t-5\t0\t0\t0\t0\t0.0\t0.0\t0.0\t0\t0.0\n");
}

TEST(HistoryFormat, RecordLineLayoutAndSixSignificantDigits) {
    TestRecord r;
    r.kind = BenchKind::Memory;
    r.time = 1718000001;
    r.metrics["memory.read_gbs"] = 1234567;
    r.metrics["a.first"] = 0.000123456789;
    r.info["Model"] = L"DDR5 Kingston — 2×16 GB";
    r.info["Empty"] = L"";
    const std::string text = SerializeHistory({}, {r});
    EXPECT_EQ(text,
              "B\tmemory\t1718000001\ta.first=0.000123457;memory.read_gbs=1.23457e+06\t"
              "Empty=;Model=DDR5 Kingston \xE2\x80\x94 2\xC3\x97" "16 GB\n");
    const Parsed back = Parse(text);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].kind, BenchKind::Memory);
    EXPECT_EQ(back.records[0].time, 1718000001);
    EXPECT_EQ(back.records[0].metrics.at("memory.read_gbs"), 1234570);
    EXPECT_EQ(back.records[0].info, r.info);

    TestRecord bare;  // empty maps give empty fields
    bare.kind = BenchKind::Gpu;
    EXPECT_EQ(SerializeHistory({}, {bare}), "B\tgpu\t0\t\t\n");
    EXPECT_EQ(Parse("B\tgpu\t0\t\t\n").records.size(), 1u);
}

TEST(HistoryFormat, SeparatorsInsideKeysAndTextsBecomeBlanks) {
    TestRecord r;
    r.kind = BenchKind::Disk;
    r.metrics["odd;key=x\ty"] = 2;
    r.info["GPU;name"] = L"A=B;C\tD\r\nE";
    const std::string text = SerializeHistory({}, {r});
    EXPECT_EQ(text, "B\tdisk\t0\todd key x y=2\tGPU name=A B C D  E\n");
    const Parsed back = Parse(text);
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].metrics.at("odd key x y"), 2);
    EXPECT_EQ(back.records[0].info.at("GPU name"), L"A B C D  E");
}

TEST(HistoryFormat, ShortUnknownAndDamagedLinesAreSkippedOrReadAsZero) {
    const std::string text =
        "S\t1\t2\t3\t4\t1\t5\t6\t7\t8\n"              // ten fields: ignored
        "B\tcpu\t1\tx=1\n"                              // four fields: ignored
        "X\t1\t2\t3\t4\t1\t5\t6\t7\t8\t9\n"           // unknown letter
        "s\t1\t2\t3\t4\t1\t5\t6\t7\t8\t9\n"           // case matters
        " S\t1\t2\t3\t4\t1\t5\t6\t7\t8\t9\n"
        "\n"
        "garbage without tabs\n"
        "S\t  42abc\tx\t\t+7\ttrue\t-3.5\t1e999\tnan\t 12.5 MHz\t.5\textra\tfields\r\n"  // damaged numbers
        "B\tnpu\t99.9\tscore=7;junk;=3;score=8;bad=zz\tk=v=w;k=last;novalue\n"
        "B\tdisk\t5\t\t\t\n";
    const Parsed back = Parse(text);
    ASSERT_EQ(back.periods.size(), 1u);
    const HeavyUsePeriod& p = back.periods[0];
    EXPECT_EQ(p.startTime, 42);
    EXPECT_EQ(p.duration, 0);
    EXPECT_EQ(p.busySeconds, 0);
    EXPECT_EQ(p.atLimitSeconds, 7);
    EXPECT_FALSE(p.precise);  // only "1" is precise
    EXPECT_EQ(p.maxCpuTemp, -3.5);
    EXPECT_EQ(p.avgCpuTemp, 0);  // out of range
    EXPECT_EQ(p.maxGpuTemp, 0);  // not a number
    EXPECT_EQ(p.avgCpuClock, 12.5);
    EXPECT_EQ(p.avgCpuPower, 0.5);

    ASSERT_EQ(back.records.size(), 2u);
    const TestRecord& r = back.records[0];
    EXPECT_EQ(r.kind, BenchKind::Cpu);  // unknown kind word
    EXPECT_EQ(r.time, 99);
    EXPECT_EQ(r.metrics.size(), 2u);  // "=3" has no key: dropped
    EXPECT_EQ(r.metrics.at("score"), 8);  // later wins
    EXPECT_EQ(r.metrics.at("bad"), 0);
    EXPECT_EQ(r.info.size(), 1u);
    EXPECT_EQ(r.info.at("k"), L"last");
    EXPECT_EQ(back.records[1].kind, BenchKind::Disk);
    EXPECT_EQ(Parse("B\tk\t1.5e3\t\t\n").records[0].time, 1500);  // exponent form
    EXPECT_EQ(Parse("B\tk\t1e300\t\t\n").records[0].time, 0);   // beyond 64 bits
    EXPECT_EQ(Parse("").periods.size(), 0u);
}

TEST(ReportCard, NoPeriodsInTheWindowMeansNoData) {
    CoolingReportCard card = MakeReportCard({}, 1718000000);
    EXPECT_EQ(card.count, 0);
    EXPECT_EQ(card.grade, -1);
    EXPECT_FALSE(card.precise);
    EXPECT_EQ(card.gradeName, L"Henüz veri yok");
    EXPECT_EQ(card.advice.rfind(L"Kalorix yapay yük uygulamaz.", 0), 0u);

    card = MakeReportCard({SamplePeriod(1718000000 - 604801)}, 1718000000);
    EXPECT_EQ(card.grade, -1);
    EXPECT_EQ(card.maxCpuTemp, 0);
}

TEST(ReportCard, WeekBoundaryAndFuturePeriods) {
    const int64_t now = 1718000000;
    EXPECT_EQ(MakeReportCard({SamplePeriod(now - 604800)}, now).count, 1);
    EXPECT_EQ(MakeReportCard({SamplePeriod(now - 604801)}, now).count, 0);
    EXPECT_EQ(MakeReportCard({SamplePeriod(now + 86400)}, now).count, 1);
    // Extreme dates from a damaged file neither overflow nor count.
    EXPECT_EQ(MakeReportCard({SamplePeriod(INT64_MIN)}, now).count, 0);
    EXPECT_EQ(MakeReportCard({SamplePeriod(INT64_MAX)}, now).count, 1);
}

TEST(ReportCard, GradeThresholdsAreStrict) {
    auto gradeFor = [](double busy, double atLimit) {
        HeavyUsePeriod p = SamplePeriod(100);
        p.busySeconds = busy;
        p.atLimitSeconds = atLimit;
        return MakeReportCard({p}, 100);
    };
    CoolingReportCard card = gradeFor(600, 12);  // exactly 0.02
    EXPECT_EQ(card.grade, 1);
    EXPECT_EQ(card.gradeName, L"İyi");
    card = gradeFor(600, 11.9);
    EXPECT_EQ(card.grade, 0);
    EXPECT_EQ(card.gradeName, L"Çok iyi");
    EXPECT_EQ(card.advice, L"Yoğun kullanımda işlemci neredeyse hiç ısı sınırına dayanmadı. Soğutma işini iyi yapıyor.");
    EXPECT_EQ(gradeFor(100, 9.99).grade, 1);
    EXPECT_EQ(gradeFor(100, 10).grade, 2);
    EXPECT_EQ(gradeFor(100, 24.99).grade, 2);
    card = gradeFor(100, 25);
    EXPECT_EQ(card.grade, 3);
    EXPECT_EQ(card.gradeName, L"Zayıf");
    card = gradeFor(100, 20);
    EXPECT_EQ(card.gradeName, L"Orta");
    EXPECT_NE(card.advice.find(L"Windows güç modunu \"Dengeli\"ye almak da ısıyı azaltır."), std::wstring::npos);
}

// A damaged history must not grade: negative figures count as 0, at-limit time
// never exceeds busy time, and a period with non-finite figures is left out.
TEST(ReportCard, DamagedFiguresAreClampedOrSkipped) {
    auto card = [](double busy, double atLimit) {
        HeavyUsePeriod p = SamplePeriod(100);
        p.busySeconds = busy;
        p.atLimitSeconds = atLimit;
        return MakeReportCard({p}, 100);
    };
    EXPECT_DOUBLE_EQ(card(100, 500).atLimitRatio, 1.0);  // not 500 %
    EXPECT_EQ(card(100, 500).grade, 3);
    EXPECT_EQ(card(100, -50).atLimitRatio, 0);
    EXPECT_EQ(card(-100, 50).atLimitRatio, 0);
    const CoolingReportCard huge = card(1e308, 1e308);
    EXPECT_TRUE(std::isfinite(huge.atLimitRatio));
    EXPECT_TRUE(std::isfinite(huge.avgCpuClock));
    EXPECT_TRUE(std::isfinite(huge.heavyUseHours));
    EXPECT_EQ(huge.grade, 3);

    HeavyUsePeriod nan = SamplePeriod(100);
    nan.avgCpuClock = std::numeric_limits<double>::quiet_NaN();
    HeavyUsePeriod negative = SamplePeriod(100);
    negative.duration = -3600;
    negative.maxCpuTemp = -40;
    const CoolingReportCard mixed = MakeReportCard({nan, negative}, 100);
    EXPECT_EQ(mixed.count, 1);
    EXPECT_EQ(mixed.heavyUseHours, 0);
    EXPECT_EQ(mixed.maxCpuTemp, 0);
    EXPECT_EQ(MakeReportCard({nan}, 100).grade, -1);
}

TEST(ReportCard, SumsWeightedClockAndPrecision) {
    HeavyUsePeriod a = SamplePeriod(1000);
    a.duration = 1800;
    a.busySeconds = 300;
    a.atLimitSeconds = 30;
    a.avgCpuClock = 4000;
    a.maxCpuTemp = 90;
    HeavyUsePeriod b = a;
    b.duration = 5400;
    b.busySeconds = 100;
    b.atLimitSeconds = 10;
    b.avgCpuClock = 2000;
    b.maxCpuTemp = 99;
    b.precise = false;
    CoolingReportCard card = MakeReportCard({a, b}, 2000);
    EXPECT_EQ(card.count, 2);
    EXPECT_DOUBLE_EQ(card.heavyUseHours, 2.0);
    EXPECT_DOUBLE_EQ(card.atLimitRatio, 0.1);
    EXPECT_DOUBLE_EQ(card.avgCpuClock, 3500);
    EXPECT_EQ(card.maxCpuTemp, 99);
    EXPECT_FALSE(card.precise);
    EXPECT_EQ(card.grade, 2);
    EXPECT_TRUE(MakeReportCard({a, a}, 2000).precise);

    HeavyUsePeriod idle = a;  // busySeconds 0 only
    idle.busySeconds = 0;
    idle.atLimitSeconds = 50;
    card = MakeReportCard({idle}, 2000);
    EXPECT_EQ(card.atLimitRatio, 0);
    EXPECT_EQ(card.avgCpuClock, 0);
    EXPECT_EQ(card.grade, 0);
    EXPECT_EQ(card.gradeName, L"Çok iyi");
}

TEST_F(HistoryFileTest, AdditionsAreSavedAndLoadedAgain) {
    {
        UsageHistory history(path_);  // no file yet: empty, nothing created
        EXPECT_TRUE(history.periods().empty());
        EXPECT_FALSE(fs::exists(dir_));
        EXPECT_EQ(history.latestTestRecord(0), std::nullopt);
        history.addPeriod(SamplePeriod(10));
        history.addTestRecord(Record(0, 20, 1));
        history.addTestRecord(Record(1, 21, 2));
        history.addTestRecord(Record(0, 22, 3));
        EXPECT_EQ(history.latestTestRecord(0)->time, 22);
        EXPECT_EQ(history.latestTestRecord(3), std::nullopt);
    }
    EXPECT_FALSE(fs::exists(fs::path(path_) += ".tmp"));
    UsageHistory again(path_);
    ASSERT_EQ(again.periods().size(), 1u);
    EXPECT_EQ(again.periods()[0].startTime, 10);
    const auto records = again.testRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].kind, BenchKind::Gpu);
    EXPECT_EQ(again.latestTestRecord(0)->metrics.at("score"), 3);
    EXPECT_EQ(ReadFileBytes(path_), SerializeHistory(again.periods(), records));
}

TEST_F(HistoryFileTest, CapsKeepTheNewest) {
    UsageHistory history(path_);
    for (int i = 0; i < 30; ++i) history.addTestRecord(Record(0, 100 + i));
    for (int i = 0; i < 3; ++i) history.addTestRecord(Record(1, 500 + i));
    history.addTestRecord(Record(0, 200));  // the 31st CPU record
    auto records = history.testRecords();
    ASSERT_EQ(records.size(), 33u);
    EXPECT_EQ(records.front().time, 101);  // only the oldest CPU record went
    EXPECT_EQ(records[29].time, 500);      // GPU records keep their place and order
    EXPECT_EQ(records[31].time, 502);
    EXPECT_EQ(records.back().time, 200);
    EXPECT_EQ(std::count_if(records.begin(), records.end(), [](auto& r) { return r.kind == BenchKind::Gpu; }), 3);

    for (int i = 0; i < 300; ++i) history.addPeriod(SamplePeriod(i));
    EXPECT_EQ(history.periods().size(), 300u);
    history.addPeriod(SamplePeriod(300));  // the 301st
    const auto periods = history.periods();
    ASSERT_EQ(periods.size(), 300u);
    EXPECT_EQ(periods.front().startTime, 1);
    EXPECT_EQ(periods.back().startTime, 300);
    EXPECT_EQ(UsageHistory(path_).periods().size(), 300u);
}

// A file written by hand or damaged may hold more than the store ever keeps.
TEST_F(HistoryFileTest, LoadingKeepsTheNewestWithinTheCaps) {
    std::vector<TestRecord> many;
    for (int i = 0; i < 35; ++i) many.push_back(Record(2, i));
    many.push_back(Record(0, 100));
    std::vector<HeavyUsePeriod> periods;
    for (int i = 0; i < 305; ++i) periods.push_back(SamplePeriod(i));
    ASSERT_TRUE(AtomicWriteFile(path_, SerializeHistory(periods, many)));
    UsageHistory history(path_);
    const auto records = history.testRecords();
    ASSERT_EQ(records.size(), 31u);
    EXPECT_EQ(records.front().time, 5);
    EXPECT_EQ(records[29].time, 34);
    EXPECT_EQ(records.back().time, 100);
    ASSERT_EQ(history.periods().size(), 300u);
    EXPECT_EQ(history.periods().front().startTime, 5);
}

// Keys a report could not carry are dropped when loading and never written.
TEST(HistoryFormat, UnusableKeysAndFiguresAreNeitherLoadedNorWritten) {
    const Parsed back = Parse("B\tcpu\t1\t=1;   =2;\x01x=3;" + std::string(65, 'k') + "=4;ok=5\t=a;\x7f=b;name=c\n");
    ASSERT_EQ(back.records.size(), 1u);
    EXPECT_EQ(back.records[0].metrics, (std::map<std::string, double>{{"ok", 5}}));
    EXPECT_EQ(back.records[0].info, (std::map<std::string, std::wstring>{{"name", L"c"}}));

    TestRecord r;
    r.metrics[""] = 1;
    r.metrics["\x02"] = 2;
    r.metrics["nan"] = std::numeric_limits<double>::quiet_NaN();
    r.metrics["fine"] = 3;
    r.info[""] = L"x";
    EXPECT_EQ(SerializeHistory({}, {r}), "B\tcpu\t0\tfine=3\t\n");

    // A record with thousands of entries keeps a bounded number of them.
    std::string line = "B\tgpu\t1\t";
    for (int i = 0; i < 5000; ++i) line += "k" + std::to_string(i) + "=1;";
    line += "\t" + std::string(10000, 'x') + "=long;info=" + std::string(5000, 'y') + "\n";
    const Parsed big = Parse(line);
    ASSERT_EQ(big.records.size(), 1u);
    EXPECT_EQ(big.records[0].metrics.size(), kMaxEntriesPerRecord);
    ASSERT_EQ(big.records[0].info.size(), 1u);
    EXPECT_EQ(big.records[0].info.at("info").size(), kMaxInfoChars);
}

// A period still running is on disk as a provisional line that earlier versions
// read as an ordinary period (they ignore a twelfth field); the final record
// replaces it, and a start after a crash finds it as a finished period.
TEST_F(HistoryFileTest, ProvisionalPeriodSurvivesACrashAndIsReplacedAtClose) {
    {
        UsageHistory history(path_);
        history.addPeriod(SamplePeriod(1));
        HeavyUsePeriod running = SamplePeriod(2);
        running.duration = 240;
        history.setProvisionalPeriod(running);
        running.duration = 300;
        history.setProvisionalPeriod(running);
        EXPECT_EQ(history.periods().size(), 1u);  // not a finished period while this process lives
        const std::string text = *ReadFileBytes(path_);
        const std::string line = text.substr(text.find("S\t2\t"));
        EXPECT_EQ(line.substr(0, line.find('\n')), "S\t2\t300\t581\t33\t1\t97.2\t88.0\t72.0\t3412\t44.4\tp");
    }  // the process ends here without a close
    UsageHistory next(path_);
    ASSERT_EQ(next.periods().size(), 2u);
    EXPECT_EQ(next.periods()[1].duration, 300);
    EXPECT_FALSE(next.provisionalPeriod().has_value());

    HeavyUsePeriod again = SamplePeriod(3);
    next.setProvisionalPeriod(again);
    again.duration = 900;
    next.addPeriod(again);
    const std::string after = *ReadFileBytes(path_);
    EXPECT_EQ(std::count(after.begin(), after.end(), '\n'), 3);
    EXPECT_EQ(UsageHistory(path_).periods().back().duration, 900);
    next.setProvisionalPeriod(SamplePeriod(4));
    next.clearProvisionalPeriod();
    EXPECT_EQ(UsageHistory(path_).periods().size(), 3u);
}

TEST_F(HistoryFileTest, DamagedFileLoadsWhatItCan) {
    std::string text = SerializeHistory({SamplePeriod(1), SamplePeriod(2)}, {Record(3, 7)});
    text.insert(text.find("S\t2"), std::string("\x01\xFF broken\tline\n\0\0\n", 18));
    text += "S\t3\t4";  // cut off in the middle of the last line
    ASSERT_TRUE(AtomicWriteFile(path_, text));
    UsageHistory history(path_);
    ASSERT_EQ(history.periods().size(), 2u);
    EXPECT_EQ(history.periods()[1].startTime, 2);
    EXPECT_EQ(history.latestTestRecord(3)->time, 7);
}

TEST_F(HistoryFileTest, FailedSaveKeepsOldFileAndTheAdditionInMemory) {
    UsageHistory history(path_);
    history.addPeriod(SamplePeriod(1));
    const auto before = ReadFileBytes(path_);
    fs::create_directory(fs::path(path_) += ".tmp");  // the temporary file cannot be written
    history.addPeriod(SamplePeriod(2));
    EXPECT_EQ(history.periods().size(), 2u);
    EXPECT_EQ(ReadFileBytes(path_), before);
    fs::remove(fs::path(path_) += ".tmp");
    history.addPeriod(SamplePeriod(3));  // the next good save writes everything
    EXPECT_EQ(UsageHistory(path_).periods().size(), 3u);

    UsageHistory nowhere{fs::path()};  // no folder known: works in memory only
    nowhere.addPeriod(SamplePeriod(1));
    EXPECT_EQ(nowhere.periods().size(), 1u);
}

TEST_F(HistoryFileTest, ConcurrentAdditionsLoseNothing) {
    UsageHistory history(path_);
    std::thread periods([&] {
        for (int i = 0; i < 40; ++i) history.addPeriod(SamplePeriod(i));
    });
    for (int i = 0; i < 20; ++i) history.addTestRecord(Record(i % 4, i));
    periods.join();
    EXPECT_EQ(history.periods().size(), 40u);
    EXPECT_EQ(history.testRecords().size(), 20u);
    UsageHistory again(path_);
    EXPECT_EQ(again.periods().size(), 40u);
    EXPECT_EQ(again.testRecords().size(), 20u);
}
