// The Tests page and the report image: result figures, card states, the cooling report card and the image.
#include "ui/tests_model.h"

#include <gtest/gtest.h>

#include <limits>

#include "ui/report_image.h"

namespace kalorix {
namespace {

TestRecord Record(int32_t kind, std::map<std::string, double> metrics, std::map<std::string, std::wstring> info = {}) {
    TestRecord r;  // time 0: no date part in the info line
    return r.kind = static_cast<BenchKind>(kind), r.time = 0, r.metrics = std::move(metrics), r.info = std::move(info), r;
}

BenchState Running(BenchKind kind, double progress, std::wstring phase) {
    BenchState s;
    return s.running = true, s.kind = kind, s.progress = progress, s.phase = std::move(phase), s;
}

TEST(TestsPageTest, DriveChoiceAndParagraph) {
    EXPECT_TRUE(ClampDriveIndex(2, 2) == 0 && ClampDriveIndex(-1, 3) == 0);  // a drive was removed
    EXPECT_NE(TestsParagraph(100).find(L"Sıcaklık 95 °C'nin üzerinde"), std::wstring::npos);  // memory's own limit
}

TEST(TestsPageTest, ResultFiguresPerKind) {
    auto cpu = MakeTestResultView(Record(0, {{"cpu.st_score", 1234}, {"cpu.mt_score", 10000}, {"cpu.threads", 16}}));
    EXPECT_EQ(cpu.detail, L"İşlemci puanı 3.513 · 16 iş parçacığı");  // round(sqrt(1234 * 10000))
    auto disk = MakeTestResultView(Record(2, {{"disk.seq_read_mbs", 3100.4}, {"disk.seq_write_mbs", 2500},
                                              {"disk.rnd_read_iops", 45000}, {"disk.rnd_write_iops", 38499}},
                                          {{"disk.drive", L"C:"}, {"disk.model", L"Test NVMe"}}));
    EXPECT_EQ(disk.detail + L"|" + disk.info, L"Okuma 3.100 · yazma 2.500 MB/sn\n4K rastgele 45 / 38 bin IOPS|C: · Test NVMe");
    auto memory = MakeTestResultView(Record(3, {{"memory.read_gbs", 52.26}, {"memory.write_gbs", 40},
                                                {"memory.copy_gbs", 38.04}, {"memory.latency_ns", 81.26}}));
    EXPECT_EQ(memory.detail, L"Okuma 52,3 · yazma 40,0 · kopyalama 38,0 GB/sn\nGecikme 81,3 ns");
}

TEST(TestsPageTest, CardStateFollowsTheRunner) {
    constexpr BenchKind cpu = BenchKind::Cpu, disk = BenchKind::Disk;
    const BenchState memory = Running(BenchKind::Memory, 0.426, L"Okuma hızı");
    EXPECT_EQ(MakeTestCardState(BenchKind::Memory, &memory, nullptr, false).percent, L"%43");  // rounded
    // Without a series, a failed start or a stop shows its text on that card only.
    BenchState failed{.finished = true, .kind = disk, .error = L"Test başlatılamadı"};
    EXPECT_EQ(MakeTestCardState(disk, &failed, nullptr, false).error + L"|" + MakeTestCardState(cpu, &failed, nullptr, false).error,
              L"Test başlatılamadı|");
    failed.success = true;  // a successful run with a late E line is not a failure
    EXPECT_EQ(MakeTestCardState(disk, &failed, nullptr, false).error, L"");
}

TEST(TestsPageTest, CardStateDuringASeries) {
    TestSeriesView series{.active = true, .queue = {BenchKind::Gpu, BenchKind::Disk}};
    series.errors[static_cast<size_t>(BenchKind::Cpu)] = L"İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu";
    const BenchState memory = Running(BenchKind::Memory, 0.5, L"Okuma hızı ölçülüyor");
    // A test of the series runs: queued cards keep their place, none offers a start.
    EXPECT_EQ(MakeTestCardState(BenchKind::Gpu, &memory, &series, false).mode, TestCardMode::OtherRunning);
    EXPECT_EQ(MakeTestCardState(BenchKind::Disk, &memory, &series, false).queuePosition, 2);
    // Every failure of the series stays on its own card.
    EXPECT_EQ(MakeTestCardState(BenchKind::Cpu, &memory, &series, true).error,
              L"İşlemci 96 °C'ye ulaştı; güvenlik için test durduruldu");

    // In the pause after the memory test: the next card waits, the rest (finished ones too) show the pill.
    BenchState ended{.finished = true, .kind = BenchKind::Memory, .success = true};
    series.pausing = true;
    EXPECT_EQ(MakeTestCardState(BenchKind::Gpu, &ended, &series, false).mode, TestCardMode::Waiting);
    for (BenchKind k : {BenchKind::Disk, BenchKind::Memory, BenchKind::Cpu})
        EXPECT_EQ(MakeTestCardState(k, &ended, &series, true).mode, TestCardMode::OtherRunning);
}

HeavyUsePeriod Period(int64_t start, double busy, double atLimit, double maxTemp) {
    HeavyUsePeriod p;
    p.startTime = start, p.duration = busy + 60, p.busySeconds = busy, p.atLimitSeconds = atLimit;
    return p.maxCpuTemp = maxTemp, p.avgCpuClock = 3412, p.precise = true, p;
}

TEST(TestsPageTest, ReportCardView) {
    const int64_t now = 1765000000;
    EXPECT_EQ(MakeReportCardView(MakeReportCard({}, now), {}, std::nullopt, false).subline, L"Son 7 gün · 0 oturum");  // no "1 dk"

    std::vector<HeavyUsePeriod> periods;
    for (int i = 0; i < 7; ++i) periods.push_back(Period(now - 3600 * (7 - i), 600, i == 6 ? 60 : 30, 80 + i));
    std::swap(periods[0], periods[6]);  // store order is not time order
    const CoolingReportCard card = MakeReportCard(periods, now);
    HeavyUsePeriod current = Period(now - 300, 240, 0, 91.4);  // duration 300
    const ReportCardView v = MakeReportCardView(card, periods, current, false);
    EXPECT_EQ(v.subline, L"Son 7 gün · 7 oturum · 1 sa 17 dk");
    ASSERT_EQ(v.rows.size(), 5u);
    EXPECT_EQ(v.rows[0].maxTemp, L"86 °C");  // newest first, whatever the store order
    EXPECT_TRUE(v.rows[0].atLimitHigh && !v.rows[1].atLimitHigh);  // exactly 0.1 is amber
    EXPECT_EQ(v.currentLine, L"Şu an yoğun kullanım ölçülüyor · 5 dk · en yüksek 91 °C");
    EXPECT_EQ(MakeReportCardView(card, periods, current, true).stats[0].value, L"187 °F");

    // The table lists only what the card counted: its seven days, finite figures.
    std::vector<HeavyUsePeriod> mixed = {Period(now - 8 * 86400, 600, 0, 70), Period(now - 3600, 600, 0, 75)};
    mixed.push_back(Period(now - 60, 600, 0, std::numeric_limits<double>::quiet_NaN()));
    EXPECT_EQ(MakeReportCardView(MakeReportCard(mixed, now), mixed, std::nullopt, false).rows.size(), 1u);
}

TEST(ReportImageTest, FileNameAndContentWithAndWithoutRecords) {
    const LocalTime now{.year = 2026, .month = 3, .day = 7, .hour = 4, .minute = 5, .second = 9};

    EXPECT_EQ(ReportImageFileName(now), L"Kalorix-rapor-20260307-040509.png");
    std::array<std::optional<TestRecord>, 4> latest;
    EXPECT_EQ(MakeReportImageContent(MakeReportCard({}, 0), latest, L"", L"", false, now).parts[0].detail,
              L"Henüz test edilmedi.");
    latest[0] = Record(0, {{"cpu.st_score", 1600}, {"cpu.mt_score", 6400}});
    EXPECT_EQ(MakeReportImageContent(MakeReportCard({}, 0), latest, L"M", L"C", false, now).overall, L"—");  // needs all four
    std::vector<HeavyUsePeriod> hot = {Period(100, 600, 200, 97)};
    hot[0].precise = false;
    ReportImageContent graded = MakeReportImageContent(MakeReportCard(hot, 200), latest, L"M", L"C", true, now);
    EXPECT_EQ(graded.cooling[0].value + L"|" + graded.cooling[2].value, L"207 °F|Tahmini (sıcaklık)");
}

TEST(ReportImageTest, BottomUpDib) {
    // 2 x 3 pixels, each pixel's first byte is its row number.
    std::vector<uint8_t> px(2 * 3 * 4, 0);
    for (int row = 0; row < 3; ++row)
        for (int i = 0; i < 8; ++i) px[static_cast<size_t>(row * 8 + i)] = static_cast<uint8_t>(row * 16 + i);
    const std::string dib = MakeBottomUpDib(px, 2, 3);
    ASSERT_EQ(dib.size(), 40u + 24u);
    // BITMAPINFOHEADER: size 40, width, positive height (bottom-up), 1 plane, 32 bits, no compression.
    EXPECT_EQ(dib.substr(0, 20), std::string("\x28\0\0\0\x02\0\0\0\x03\0\0\0\x01\0\x20\0\0\0\0\0", 20));
    EXPECT_TRUE(uint8_t(dib[40]) == 2 * 16 && uint8_t(dib[40 + 16 + 7]) == 7);  // last row first, first row last

    EXPECT_TRUE(MakeBottomUpDib(px, 2, 4).empty());         // size mismatch
}

}  // namespace
}  // namespace kalorix
