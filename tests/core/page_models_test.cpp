// The Overview and Sensors pages' models: banners and their order, cards, throttle summary, sensor grouping.
#include "ui/page_models.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

SensorSnapshot Snapshot(std::optional<double> cpu, std::optional<double> gpu) {
    SensorSnapshot s;
    s.valid = true, s.cpuTemp = s.cpuTempShown = cpu;

    if (gpu) s.gpu = GpuSummary{.name = L"Test GPU", .temperature = gpu};
    return s;
}

Settings Limit(int warn, bool fahrenheit = false, bool advanced = false) {
    Settings s;
    return s.WarningTemp = warn, s.UseFahrenheit = fahrenheit, s.AdvancedSensors = advanced, s;
}

TEST(OverviewBannersTest, OverLimitTitleNamesWhatIsHot) {
    EXPECT_EQ(MakeBanners(Snapshot(90, 88), Limit(85))[0].title,
              L"İşlemci 90 °C · Ekran kartı 88 °C — uyarı sınırı (85 °C) aşıldı");
    EXPECT_EQ(MakeBanners(Snapshot(90, 70), Limit(85, true))[0].title,
              L"İşlemci 194 °F — uyarı sınırı (185 °F) aşıldı");
    EXPECT_TRUE(MakeBanners(Snapshot(84.9, 84.9), Limit(85)).empty());
}

TEST(OverviewBannersTest, ThrottlingNeedsSixtyBusySecondsAndFifteenPercent) {
    SensorSnapshot s = Snapshot(60, std::nullopt);
    s.busySecondsRecent = 59, s.atLimitSecondsRecent = 29.5;
    EXPECT_TRUE(MakeBanners(s, Limit(85)).empty());
    s.busySecondsRecent = 60, s.atLimitSecondsRecent = 9;  // exactly 0.15
    auto banners = MakeBanners(s, Limit(85));
    ASSERT_EQ(banners.size(), 1u);
    EXPECT_TRUE(banners[0].action == BannerAction::ShowTests && banners[0].body.find(L"(%15)") != std::wstring::npos);
    s.atLimitSecondsRecent = 8.9;
    EXPECT_TRUE(MakeBanners(s, Limit(85)).empty());
}

TEST(OverviewBannersTest, OneAdvancedSensorBannerByPriority) {
    SensorSnapshot s = Snapshot(50, std::nullopt);
    s.msiBoard = s.pawnIoInstalled = true;
    auto banners = MakeBanners(s, Limit(85));
    EXPECT_TRUE(banners.size() == 1u && banners[0].action == BannerAction::EnableAdvanced);  // the MSI banner only
    s.msiBoard = false;
    EXPECT_EQ(MakeBanners(s, Limit(85))[0].title, L"PawnIO kurulu: hassas işlemci sıcaklığını etkinleştir");
    EXPECT_EQ(MakeBanners(Snapshot(std::nullopt, std::nullopt), Limit(85))[0].action, BannerAction::DownloadPawnIo);

    SensorSnapshot missing = Snapshot(std::nullopt, std::nullopt);
    missing.pawnIo.state = PawnIoState::Unsupported;  // PawnIO cannot help: no PawnIO banner
    EXPECT_TRUE(MakeBanners(missing, Limit(85)).empty());
    const Settings advanced = Limit(85, false, true);  // on but not elevated (a declined prompt)
    SensorSnapshot plain = Snapshot(50, std::nullopt);
    EXPECT_EQ(MakeBanners(plain, advanced)[0].action, BannerAction::RestartElevated);
    plain.elevated = true;
    EXPECT_TRUE(MakeBanners(plain, advanced).empty());
}

TEST(OverviewCardsTest, MetricCardLevelsSourceFirstAndMissingValues) {
    SensorSnapshot s = Snapshot(71, 50);
    s.cpuTempMin = 40.4, s.cpuTempMax = 93.6, s.cpuLoad = 70, s.cpuClock = 3456;
    s.memoryTotalBytes = 16ull << 30, s.memoryAvailableBytes = 4ull << 30, s.cpuTempSource = L"ACPI";
    auto cards = MakeMetricCards(s, Limit(85));
    EXPECT_EQ(cards[0].detail, L"ACPI bölgesi · En düşük 40 °C · En yüksek 94 °C");  // the source first survives a cut-off
    EXPECT_EQ(cards[3].detail, L"12 GB / 16 GB");
    s.cpuTempSource = L"PawnIO";
    EXPECT_EQ(MakeMetricCards(s, Limit(85, true))[0].compactDetail, L"PawnIO · 105–200 °F");
    SensorSnapshot none = Snapshot(std::nullopt, std::nullopt);
    for (const auto& card : MakeMetricCards(none, Limit(85))) EXPECT_TRUE(card.value == L"\u2014" && card.level == 3);
    none.gpu = GpuSummary{};  // an adapter without a temperature
    EXPECT_EQ(MakeMetricCards(none, Limit(85))[1].detail, L"Uykuda veya sensör yok");
}

TEST(OverviewCardsTest, SmallCardsFixedThresholdsAndFallbacks) {
    SensorSnapshot s = Snapshot(50, std::nullopt);
    s.msiBoard = true;
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[1].detail, L"Gelişmiş sensörler gerekli");
    s.hottestDiskTemp = 60, s.hasBattery = true, s.batteryPercent = 15;
    s.fans = {{L"CPU Fanı", 3900}, {L"Sistem", 1200.4}};
    auto cards = MakeSmallCards(s, Limit(85));
    EXPECT_TRUE(cards[0].level == 1 && cards[3].level == 2);  // fixed disk thresholds, not WarningTemp
    EXPECT_EQ(cards[1].detail, L"CPU 3.900 · Sistem 1.200");
    s.fans = {{L"CPU", 0}};
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[1].value, L"Durdu");
    s.fans.clear();  // the GPU fan stands in for an empty list
    s.gpu = GpuSummary{.fanSpeed = 2650};
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[1].detail, L"GPU 2.650");
}

TEST(OverviewThrottleTest, SummaryLevels) {
    SensorSnapshot s;
    s.busySecondsRecent = 20;
    EXPECT_EQ(MakeThrottleSummary(s).level, 3);  // no load to judge
    s.busySecondsRecent = 59, s.atLimitSecondsRecent = 29.5;
    EXPECT_EQ(MakeThrottleSummary(s).detail, L"Yük altında 1 dk · 30 sn ısı sınırında · sıcaklığa göre tahmin");
    s.busySecondsRecent = 400, s.atLimitSecondsRecent = 2;  // 0.5 %
    s.powerLimit = s.powerLimitKnown = s.thermalThrottleKnown = true;
    EXPECT_EQ(MakeThrottleSummary(s).detail, L"Yük altında 7 dk · 2 sn ısı sınırında · şu an güç sınırında · kesin ölçüm");
    EXPECT_EQ(MakeThrottleSummary(s).level, 0);
    s.atLimitSecondsRecent = 12;  // 3 %
    EXPECT_EQ(MakeThrottleSummary(s).level, 1);
}

SensorEntry Entry(std::wstring id, std::wstring device, SensorKind kind) {
    SensorEntry e;
    return e.id = e.label = std::move(id), e.device = std::move(device), e.kind = kind, e;
}

TEST(SensorsModelTest, FiltersGroupsInFirstAppearanceOrderRowsByKindThenId) {
    EXPECT_EQ(SensorTypeLabel(static_cast<SensorKind>(9)), L"");
    std::vector<SensorEntry> sensors = {
        Entry(L"cpu/load/total", L"CPU", SensorKind::Load), Entry(L"mem/used", L"Bellek", SensorKind::Data),
        Entry(L"cpu/temp/b", L"CPU", SensorKind::Temperature), Entry(L"cpu/temp/a", L"CPU", SensorKind::Temperature),
        Entry(L"bat/level", L"Pil", SensorKind::Level), Entry(L"cpu/temp", L"CPU", SensorKind::Temperature)};
    auto groups = GroupSensors(sensors, 0);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[1].device, L"Bellek");
    std::vector<std::wstring> ids;
    for (const auto* row : groups[0].rows) ids.push_back(row->id);
    EXPECT_EQ(ids, (std::vector<std::wstring>{L"cpu/temp", L"cpu/temp/a", L"cpu/temp/b", L"cpu/load/total"}));
    EXPECT_TRUE(GroupSensors(sensors, 6).size() == 2u && GroupSensors(sensors, 4).empty());


    // Ids compare by UTF-16 code units: U+FF5E sorts after a surrogate pair.
    const std::vector<SensorEntry> odd = {Entry(L"x\uFF5E", L"D", SensorKind::Load), Entry(L"x\U0001F600", L"D", SensorKind::Load)};
    EXPECT_EQ(GroupSensors(odd, 0)[0].rows[0]->id, L"x\U0001F600");
}

}  // namespace
}  // namespace kalorix
