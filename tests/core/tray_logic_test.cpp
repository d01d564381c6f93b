// The tray icon's number and colour, tooltip, overheat notices, callback messages and the icon font's fitting.
#include "ui/tray.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kalorix {
namespace {

SensorSnapshot Snap(std::optional<double> cpu, std::optional<double> gpu = std::nullopt, std::optional<double> load = std::nullopt) {
    SensorSnapshot s;
    s.cpuTempShown = s.cpuTemp = cpu, s.cpuLoad = load;
    if (gpu) s.gpu = GpuSummary{.name = L"GPU", .temperature = gpu};
    return s;
}

TEST(TrayContent, NumberAndLevelFollowTheChosenShownTemperature) {
    Settings settings;
    settings.WarningTemp = 80;
    TrayIconContent c = MakeTrayIconContent(Snap(79.6), settings);
    EXPECT_TRUE(c.text == L"80" && c.level == 1);  // rounds to 80 but stays below the limit: amber, not red
    settings.TrayTemperature = "gpu";
    c = MakeTrayIconContent(Snap(50, 81.2), settings);
    EXPECT_TRUE(c.text == L"81" && c.level == 2);
    // Without a GPU temperature: the application icon, not the processor's number.
    EXPECT_TRUE(MakeTrayIconContent(Snap(50, std::nullopt), settings).text.empty());
    settings.TrayTemperature = "cpu", settings.UseFahrenheit = true;
    EXPECT_EQ(MakeTrayIconContent(Snap(50), settings).text, L"122");
    settings.ShowTempInTray = false;
    c = MakeTrayIconContent(Snap(55, 48), settings);
    EXPECT_TRUE(c.text.empty() && c.level == 0);
}

TEST(TrayTooltip, BothTemperaturesAlwaysAndCutNotRejected) {
    EXPECT_EQ(MakeTrayTooltip(Snap(55, 48), false), L"Kalorix\nCPU 55 °C · GPU 48 °C");
    EXPECT_EQ(MakeTrayTooltip(Snap(std::nullopt), false), L"Kalorix\nCPU — · GPU —");
    EXPECT_EQ(MakeTrayTooltip(Snap(50, std::nullopt, 3), true), L"Kalorix\nCPU 122 °F · GPU — · Yük %3");
    EXPECT_EQ(TruncateUtf16(std::wstring(200, L'x'), 127).size(), 127u);
    const std::wstring pair = std::wstring(126, L'a') + L"\U0001F525";  // two UTF-16 units, never split
    EXPECT_TRUE(TruncateUtf16(pair, 127) == std::wstring(126, L'a') && TruncateUtf16(pair, 128) == pair);
}

TEST(Overheat, TextNamesThePartsOverTheLimit) {
    EXPECT_EQ(MakeOverheatText(90, 88, 85, false), L"İşlemci 90 °C · Ekran kartı 88 °C — belirlediğin sınır (85 °C) aşıldı");
    EXPECT_EQ(MakeOverheatText(std::nullopt, 88, 85, true), L"Ekran kartı 190 °F — belirlediğin sınır (185 °F) aşıldı");
    EXPECT_FALSE(MakeOverheatText(84.9, 60, 85, false));
}

TEST(Overheat, AtMostOnePerFiveMinutes) {
    OverheatLimiter limiter;
    EXPECT_TRUE(limiter.TryFire(1000));  // the first fires even within five minutes of boot
    EXPECT_FALSE(limiter.TryFire(1000 + 300000));  // "more than" 300 000 ms
    EXPECT_TRUE(limiter.TryFire(1000 + 300001));
}

TEST(Overheat, NormalAgainAfterAMinuteFiveDegreesUnderWithinTheSameLimit) {
    const uint64_t t0 = 1'000'000;
    OverheatNotifier n;
    auto at = [&](std::optional<double> cpu, uint64_t t, std::optional<double> gpu = std::nullopt, bool on = true) {
        return n.Update(cpu, gpu, 85, false, on, t0 + t);
    };
    ASSERT_TRUE(at(90, 0));
    EXPECT_FALSE(at(79, 400000));    // cool from here
    EXPECT_FALSE(at(80.5, 430000));  // under the limit but not 5 °C under it: the minute starts again
    EXPECT_FALSE(at(80, 440000) || at(80, 499999));  // exactly 5 °C under: the minute starts here
    const auto normal = at(70, 500000, 60);
    ASSERT_TRUE(normal && normal->kind == TrayNoticeKind::NormalAgain);
    EXPECT_EQ(normal->text, L"İşlemci 70 °C · Ekran kartı 60 °C — bir dakikadır sınırın (85 °C) en az 5 °C altında");
    EXPECT_FALSE(at(70, 900000));  // once

    OverheatNotifier soon;  // cooling soon after the warning: "normal again" waits for the five minutes
    auto cool = [&](uint64_t t) { return soon.Update(70, std::nullopt, 85, false, true, t0 + t).has_value(); };
    ASSERT_TRUE(soon.Update(90, std::nullopt, 85, false, true, t0));
    EXPECT_TRUE(!cool(10000) && !cool(300000) && cool(300001));
    n = OverheatNotifier{};  // switched off, the warning is forgotten
    ASSERT_TRUE(at(90, 0));
    EXPECT_FALSE(at(70, 600000, std::nullopt, false) || at(70, 800000));
}

TEST(TrayCallback, Notifications) {
    EXPECT_EQ(ClassifyTrayCallback(0x007B), TrayCallbackAction::Menu);          // WM_CONTEXTMENU
    EXPECT_EQ(ClassifyTrayCallback(0x0401), TrayCallbackAction::ToggleWindow);  // NIN_KEYSELECT
    EXPECT_EQ(ClassifyTrayCallback(0x0405), TrayCallbackAction::ShowWindow);    // NIN_BALLOONUSERCLICK
}

TEST(TrayFont, ShrinksFromSeventyEightPercentInHalfSteps) {
    std::vector<float> tried;
    // 16-pixel icon: starts at 12.48, must fit in 15.36.
    const float size = FitTrayFontSize(16, [&](float s) { return tried.push_back(s), s * 1.5f; });
    EXPECT_TRUE(std::abs(tried.front() - 12.48f) < 1e-4 && std::abs(size - 9.98f) < 1e-4) << tried.front() << " " << size;
    tried.clear();  // text that never fits: no text, and no size below 6 was tried
    EXPECT_EQ(FitTrayFontSize(16, [&](float s) { return tried.push_back(s), 1000.0f; }), 0.0f);
    EXPECT_TRUE(tried.back() >= 6.0f && tried.back() < 6.5f);
}

TEST(Theme, TemperatureLevels) {
    EXPECT_EQ((std::vector<int>{TempLevel(std::nullopt, 85), TempLevel(85, 85), TempLevel(70, 85), TempLevel(69.9, 85)}),
              (std::vector<int>{3, 2, 1, 0}));

}

}  // namespace
}  // namespace kalorix
