#include "ui/page_models.h"

#include <gtest/gtest.h>

#include "ui/theme.h"

namespace kalorix {
namespace {

SensorSnapshot Snapshot(std::optional<double> cpu, std::optional<double> gpu) {
    SensorSnapshot s;
    s.valid = true;
    s.cpuTemp = cpu;
    s.cpuTempShown = cpu;
    if (gpu) {
        s.gpu = GpuSummary{};
        s.gpu->name = L"Test GPU";
        s.gpu->temperature = gpu;
    }
    return s;
}

Settings Limit(int warn, bool fahrenheit = false) {
    Settings s;
    s.WarningTemp = warn;
    s.UseFahrenheit = fahrenheit;
    return s;
}

TEST(OverviewBannersTest, OverLimitTitleNamesWhatIsHot) {
    auto banners = MakeBanners(Snapshot(90, 70), Limit(85));
    ASSERT_FALSE(banners.empty());
    EXPECT_EQ(banners[0].title, L"İşlemci 90 °C — uyarı sınırı (85 °C) aşıldı");
    EXPECT_EQ(banners[0].color, palette::kRed);
    EXPECT_TRUE(banners[0].button.empty());
    EXPECT_EQ(MakeBanners(Snapshot(90, 88), Limit(85))[0].title,
              L"İşlemci 90 °C · Ekran kartı 88 °C — uyarı sınırı (85 °C) aşıldı");
    EXPECT_EQ(MakeBanners(Snapshot(60, 88), Limit(85))[0].title, L"Ekran kartı 88 °C — uyarı sınırı (85 °C) aşıldı");
    EXPECT_EQ(MakeBanners(Snapshot(90, 70), Limit(85, true))[0].title,
              L"İşlemci 194 °F — uyarı sınırı (185 °F) aşıldı");
    // Below the limit (and with a CPU temperature) there is no banner at all.
    EXPECT_TRUE(MakeBanners(Snapshot(84.9, 84.9), Limit(85)).empty());
}

TEST(OverviewBannersTest, ThrottlingNeedsSixtyBusySeconds) {
    SensorSnapshot s = Snapshot(60, std::nullopt);
    s.busySecondsRecent = 59;
    s.atLimitSecondsRecent = 29.5;
    EXPECT_TRUE(MakeBanners(s, Limit(85)).empty());
    s.busySecondsRecent = 60;
    s.atLimitSecondsRecent = 9;  // exactly 0.15
    auto banners = MakeBanners(s, Limit(85));
    ASSERT_EQ(banners.size(), 1u);
    EXPECT_EQ(banners[0].title, L"İşlemci son 10 dakikada ısı yüzünden yavaşladı");
    EXPECT_NE(banners[0].body.find(L"(%15)"), std::wstring::npos);
    EXPECT_EQ(banners[0].button, L"Ayrıntılar");
    EXPECT_EQ(banners[0].action, BannerAction::ShowTests);
    s.atLimitSecondsRecent = 8.9;
    EXPECT_TRUE(MakeBanners(s, Limit(85)).empty());
}

TEST(OverviewBannersTest, OneAdvancedSensorBannerByPriority) {
    SensorSnapshot s = Snapshot(50, std::nullopt);
    s.msiBoard = true;
    s.pawnIoInstalled = true;
    auto banners = MakeBanners(s, Limit(85));
    ASSERT_EQ(banners.size(), 1u);  // the MSI banner only
    EXPECT_EQ(banners[0].title, L"Fan hızları için gelişmiş sensörleri etkinleştir");
    EXPECT_EQ(banners[0].action, BannerAction::EnableAdvanced);
    EXPECT_EQ(banners[0].color, palette::kAmber);

    s.msiBoard = false;
    EXPECT_EQ(MakeBanners(s, Limit(85))[0].title, L"PawnIO kurulu: hassas işlemci sıcaklığını etkinleştir");

    // No CPU temperature and no PawnIO: the download banner in accent blue.
    SensorSnapshot none = Snapshot(std::nullopt, std::nullopt);
    banners = MakeBanners(none, Limit(85));
    ASSERT_EQ(banners.size(), 1u);
    EXPECT_EQ(banners[0].color, palette::kAccent);
    EXPECT_EQ(banners[0].button, L"PawnIO'yu indir");
    EXPECT_EQ(banners[0].action, BannerAction::DownloadPawnIo);

    // Installing or enabling PawnIO would not help: no module for this processor
    // family, or a build without the modules. Neither PawnIO banner is shown.
    for (PawnIoState state : {PawnIoState::Unsupported, PawnIoState::NoModules}) {
        SensorSnapshot installed = Snapshot(50, std::nullopt);
        installed.pawnIoInstalled = true;
        installed.pawnIo.state = state;
        EXPECT_TRUE(MakeBanners(installed, Limit(85)).empty());
        SensorSnapshot missing = Snapshot(std::nullopt, std::nullopt);
        missing.pawnIo.state = state;
        EXPECT_TRUE(MakeBanners(missing, Limit(85)).empty());
    }

    // Advanced sensors on but not elevated (a declined prompt).
    Settings advanced = Limit(85);
    advanced.AdvancedSensors = true;
    SensorSnapshot plain = Snapshot(50, std::nullopt);
    banners = MakeBanners(plain, advanced);
    ASSERT_EQ(banners.size(), 1u);
    EXPECT_EQ(banners[0].title, L"Gelişmiş sensörler bu oturumda kapalı");
    EXPECT_EQ(banners[0].action, BannerAction::RestartElevated);
    plain.elevated = true;
    EXPECT_TRUE(MakeBanners(plain, advanced).empty());
}

TEST(OverviewCardsTest, MetricCardsValuesAndLevels) {
    SensorSnapshot s = Snapshot(71, 50);
    s.cpuTempMin = 40.4;
    s.cpuTempMax = 93.6;
    s.cpuLoad = 70;
    s.cpuClock = 3456;
    s.memoryTotalBytes = 16ull << 30;
    s.memoryAvailableBytes = 4ull << 30;  // 75 % used
    auto cards = MakeMetricCards(s, Limit(85));
    EXPECT_EQ(cards[0].value, L"71 °C");
    EXPECT_EQ(cards[0].detail, L"En düşük 40 °C · En yüksek 94 °C");
    EXPECT_EQ(cards[0].level, 1);  // 71 >= 85 - 15
    EXPECT_DOUBLE_EQ(cards[0].fraction, 0.71);
    EXPECT_EQ(cards[1].detail, L"Test GPU");
    EXPECT_EQ(cards[1].level, 0);
    EXPECT_EQ(cards[2].value, L"%70");
    EXPECT_EQ(cards[2].detail, L"Ort. 3,46 GHz");
    EXPECT_EQ(cards[2].level, 1);
    EXPECT_EQ(cards[3].value, L"%75");
    EXPECT_EQ(cards[3].detail, L"12 GB / 16 GB");
    EXPECT_EQ(cards[3].level, 1);

    EXPECT_EQ(cards[0].compactDetail, L"40–94 °C");
    // The detail names the temperature's source first, so a cut-off keeps it.
    s.cpuTempSource = L"ACPI";
    EXPECT_EQ(MakeMetricCards(s, Limit(85))[0].detail, L"ACPI bölgesi · En düşük 40 °C · En yüksek 94 °C");
    EXPECT_EQ(MakeMetricCards(s, Limit(85))[0].compactDetail, L"ACPI bölgesi · 40–94 °C");
    s.cpuTempSource = L"PawnIO";
    EXPECT_EQ(MakeMetricCards(s, Limit(85, true))[0].compactDetail, L"PawnIO · 105–200 °F");
    s.cpuTempSource = L"MSI EC";
    EXPECT_EQ(MakeMetricCards(s, Limit(85))[0].compactDetail, L"MSI EC · 40–94 °C");

    EXPECT_EQ(MakeMetricCards(Snapshot(69.9, 50), Limit(85))[0].level, 0);
    s.cpuLoad = 90;
    s.cpuClock.reset();
    cards = MakeMetricCards(s, Limit(85));
    EXPECT_EQ(cards[2].level, 2);
    EXPECT_EQ(cards[2].detail, L"Tüm çekirdekler");
}

TEST(OverviewCardsTest, MissingValuesKeepTheCards) {
    SensorSnapshot s = Snapshot(std::nullopt, std::nullopt);
    auto cards = MakeMetricCards(s, Limit(85));
    for (const auto& card : cards) {
        EXPECT_EQ(card.value, L"\u2014");
        EXPECT_EQ(card.level, 3);
        EXPECT_EQ(card.fraction, 0.0);
    }
    EXPECT_EQ(cards[0].detail, L"Bu cihazda sensör bulunamadı");
    EXPECT_EQ(cards[1].detail, L"Ekran kartı bulunamadı");
    EXPECT_EQ(cards[2].detail, L"");
    EXPECT_EQ(cards[3].detail, L"");
    s.gpu = GpuSummary{};  // an adapter without a temperature
    EXPECT_EQ(MakeMetricCards(s, Limit(85))[1].detail, L"Uykuda veya sensör yok");
}

TEST(OverviewCardsTest, SmallCards) {
    SensorSnapshot s = Snapshot(50, std::nullopt);
    auto cards = MakeSmallCards(s, Limit(85));
    EXPECT_EQ(cards[0].detail, L"Sensör yok");
    EXPECT_EQ(cards[1].detail, L"Sensör yok");
    EXPECT_EQ(cards[2].detail, L"Veri yok");
    EXPECT_EQ(cards[3].detail, L"Masaüstü / pil yok");
    for (const auto& card : cards) EXPECT_EQ(card.level, 3);
    s.msiBoard = true;
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[1].detail, L"Gelişmiş sensörler gerekli");

    s.hottestDiskTemp = 60;
    s.hottestDiskName = L"SSD";
    s.fans = {{L"CPU Fanı", 3900}, {L"Sistem", 1200.4}};
    s.cpuPackagePower = 38.25;
    s.hasBattery = true;
    s.batteryPercent = 15;
    cards = MakeSmallCards(s, Limit(85));
    EXPECT_EQ(cards[0].value, L"60 °C");
    EXPECT_EQ(cards[0].level, 1);  // fixed thresholds, not WarningTemp
    EXPECT_EQ(cards[1].value, L"3.900 rpm");
    EXPECT_EQ(cards[1].detail, L"CPU 3.900 · Sistem 1.200");
    EXPECT_EQ(cards[2].value, L"38,2 W");
    EXPECT_EQ(cards[3].value, L"%15");
    EXPECT_EQ(cards[3].detail, L"Pilde");
    EXPECT_EQ(cards[3].level, 2);
    s.batteryPercent = 30;
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[3].level, 1);
    s.onAcPower = true;
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[3].detail, L"Prize takılı");
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[3].level, 0);
    s.charging = true;
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[3].detail, L"Şarj oluyor");

    // Stopped fans, and the GPU fan standing in for an empty list.
    s.fans = {{L"CPU", 0}};
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[1].value, L"Durdu");
    s.fans.clear();
    s.gpu = GpuSummary{};
    s.gpu->fanSpeed = 2650;
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[1].detail, L"GPU 2.650");
    s.hottestDiskTemp = 70;
    EXPECT_EQ(MakeSmallCards(s, Limit(85))[0].level, 2);
}

TEST(OverviewThrottleTest, SummaryTexts) {
    SensorSnapshot s;
    s.busySecondsRecent = 20;
    ThrottleSummary t = MakeThrottleSummary(s);
    EXPECT_EQ(t.level, 3);
    EXPECT_EQ(t.value, L"Yük yok");
    EXPECT_EQ(t.detail, L"İşlemci son 10 dakikada yoğun çalışmadı · sıcaklığa göre tahmin");
    s.thermalThrottleKnown = true;
    EXPECT_EQ(MakeThrottleSummary(s).detail, L"İşlemci son 10 dakikada yoğun çalışmadı · kesin ölçüm");

    s.thermalThrottleKnown = false;
    s.busySecondsRecent = 59;
    s.atLimitSecondsRecent = 29.5;
    t = MakeThrottleSummary(s);
    EXPECT_EQ(t.level, 2);
    EXPECT_EQ(t.value, L"%50");
    EXPECT_EQ(t.detail, L"Yük altında 1 dk · 30 sn ısı sınırında · sıcaklığa göre tahmin");

    s.busySecondsRecent = 400;
    s.atLimitSecondsRecent = 2;  // 0.5 %
    s.powerLimit = s.powerLimitKnown = true;
    t = MakeThrottleSummary(s);
    EXPECT_EQ(t.value, L"Yavaşlama yok");
    EXPECT_EQ(t.level, 0);
    EXPECT_EQ(t.detail, L"Yük altında 7 dk · 2 sn ısı sınırında · şu an güç sınırında · sıcaklığa göre tahmin");
    s.atLimitSecondsRecent = 12;  // 3 %
    EXPECT_EQ(MakeThrottleSummary(s).level, 1);
}

TEST(OverviewTextsTest, SpanSubtitleAndConsent) {
    EXPECT_EQ(HistorySpanText(1800), L"Son 30 dk");
    EXPECT_EQ(HistorySpanText(300), L"Son 5 dk");
    EXPECT_EQ(HistorySpanText(45), L"Son 45 sn");
    EXPECT_EQ(JoinSystemAndCpu(L"Dell XPS 15", L"Intel i7"), L"Dell XPS 15  ·  Intel i7");
    EXPECT_EQ(JoinSystemAndCpu(L"", L"Intel i7"), L"Intel i7");
    EXPECT_EQ(JoinSystemAndCpu(L"Dell", L""), L"Dell");
    Settings s;
    EXPECT_TRUE(ShowConsentCard(s, false));
    EXPECT_FALSE(ShowConsentCard(s, true));
    s.ShareData = false;
    EXPECT_FALSE(ShowConsentCard(s, false));
    EXPECT_NE(ConsentBody().find(L"/skorlar'da listelenir."), std::wstring::npos);
}

SensorEntry Entry(std::wstring id, std::wstring device, SensorKind kind) {
    SensorEntry e;
    e.id = std::move(id);
    e.device = std::move(device);
    e.label = e.id;
    e.kind = kind;
    return e;
}

TEST(SensorsModelTest, FiltersAndTypeLabels) {
    EXPECT_EQ(SensorFilterLabels()[6], L"Diğer");
    EXPECT_TRUE(SensorPassesFilter(SensorKind::Data, 6));
    EXPECT_TRUE(SensorPassesFilter(SensorKind::Level, 6));
    EXPECT_FALSE(SensorPassesFilter(SensorKind::Temperature, 6));
    EXPECT_TRUE(SensorPassesFilter(SensorKind::Fan, 5));
    EXPECT_TRUE(SensorPassesFilter(SensorKind::Clock, 0));
    EXPECT_FALSE(SensorPassesFilter(SensorKind::Clock, 7));
    EXPECT_EQ(SensorTypeLabel(SensorKind::Data), L"Veri");
    EXPECT_EQ(SensorTypeLabel(SensorKind::Level), L"Seviye");
    EXPECT_EQ(SensorTypeLabel(static_cast<SensorKind>(9)), L"");
    EXPECT_EQ(SensorsSubtitle(0), L"0 sensör · canlı değerler");
}

TEST(SensorsModelTest, GroupsInFirstAppearanceOrderRowsByKindThenId) {
    std::vector<SensorEntry> sensors = {
        Entry(L"cpu/load/total", L"CPU", SensorKind::Load),
        Entry(L"mem/used", L"Bellek", SensorKind::Data),
        Entry(L"cpu/temp/b", L"CPU", SensorKind::Temperature),
        Entry(L"cpu/temp/a", L"CPU", SensorKind::Temperature),
        Entry(L"bat/level", L"Pil", SensorKind::Level),
        Entry(L"cpu/temp", L"CPU", SensorKind::Temperature),
    };
    auto groups = GroupSensors(sensors, 0);
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].device, L"CPU");
    EXPECT_EQ(groups[1].device, L"Bellek");
    EXPECT_EQ(groups[2].device, L"Pil");
    ASSERT_EQ(groups[0].rows.size(), 4u);
    // Temperatures first; a prefix sorts before the longer id.
    EXPECT_EQ(groups[0].rows[0]->id, L"cpu/temp");
    EXPECT_EQ(groups[0].rows[1]->id, L"cpu/temp/a");
    EXPECT_EQ(groups[0].rows[2]->id, L"cpu/temp/b");
    EXPECT_EQ(groups[0].rows[3]->id, L"cpu/load/total");

    // "Diğer" brings memory amounts and battery levels together.
    groups = GroupSensors(sensors, 6);
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].rows[0]->id, L"mem/used");
    EXPECT_EQ(groups[1].rows[0]->id, L"bat/level");

    EXPECT_TRUE(GroupSensors(sensors, 4).empty());
    EXPECT_TRUE(GroupSensors({}, 0).empty());

    // Ids compare by UTF-16 code units: U+FF5E sorts after a character that
    // needs a surrogate pair only in UTF-16 order.
    std::vector<SensorEntry> odd = {Entry(L"x\uFF5E", L"D", SensorKind::Load),
                                    Entry(L"x\U0001F600", L"D", SensorKind::Load)};
    groups = GroupSensors(odd, 0);
    EXPECT_EQ(groups[0].rows[0]->id, L"x\U0001F600");
}

}  // namespace
}  // namespace kalorix
