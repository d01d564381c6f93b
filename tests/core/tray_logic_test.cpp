#include "ui/tray.h"

#include <gtest/gtest.h>

#include <vector>

namespace kalorix {
namespace {

SensorSnapshot Snap(std::optional<double> cpu, std::optional<double> gpu = std::nullopt,
                    std::optional<double> load = std::nullopt) {
    SensorSnapshot s;
    s.cpuTempShown = cpu;
    s.cpuTemp = cpu;
    s.cpuLoad = load;
    if (gpu) {
        GpuSummary g;
        g.name = L"GPU";
        g.temperature = gpu;
        s.gpu = g;
    }
    return s;
}

TEST(TrayContent, NumberAndLevelFollowTheShownTemperature) {
    Settings settings;
    settings.WarningTemp = 80;
    // 79.6 rounds to 80 but stays below the limit: amber, not red.
    TrayIconContent c = MakeTrayIconContent(Snap(79.6), settings);
    EXPECT_EQ(c.text, L"80");
    EXPECT_EQ(c.level, 1);
    settings.UseFahrenheit = true;
    EXPECT_EQ(MakeTrayIconContent(Snap(50), settings).text, L"122");
    // The application icon without a temperature or when switched off.
    EXPECT_TRUE(MakeTrayIconContent(Snap(std::nullopt), settings).text.empty());
    settings.ShowTempInTray = false;
    TrayIconContent off = MakeTrayIconContent(Snap(55, 48), settings);
    EXPECT_TRUE(off.text.empty());
    EXPECT_EQ(off.level, 0);
    // The tooltip still carries the temperatures.
    EXPECT_EQ(MakeTrayTooltip(Snap(55, 48), false), L"Kalorix\nCPU 55 °C · GPU 48 °C");
}

TEST(TrayTooltip, BothTemperaturesAlways) {
    EXPECT_EQ(MakeTrayTooltip(Snap(std::nullopt), false), L"Kalorix\nCPU — · GPU —");
    EXPECT_EQ(MakeTrayTooltip(Snap(50, std::nullopt, 3), true), L"Kalorix\nCPU 122 °F · GPU — · Yük %3");
    EXPECT_EQ(MakeTrayMenuHeader(Snap(std::nullopt), false), L"CPU —");
}

TEST(TrayTooltip, LongTextIsCutNotRejected) {
    EXPECT_EQ(TruncateUtf16(std::wstring(200, L'x'), 127).size(), 127u);
    // A character outside the BMP is two UTF-16 units and is never split.
    const std::wstring pair = std::wstring(126, L'a') + L"\U0001F525";
    EXPECT_EQ(TruncateUtf16(pair, 127), std::wstring(126, L'a'));
    EXPECT_EQ(TruncateUtf16(pair, 128), pair);
}

TEST(Overheat, TextNamesThePartsOverTheLimit) {
    EXPECT_EQ(MakeOverheatText(90, 88, 85, false),
              L"İşlemci 90 °C · Ekran kartı 88 °C — belirlediğin sınır (85 °C) aşıldı");
    EXPECT_EQ(MakeOverheatText(std::nullopt, 88, 85, true),
              L"Ekran kartı 190 °F — belirlediğin sınır (185 °F) aşıldı");
    EXPECT_FALSE(MakeOverheatText(84.9, 60, 85, false));
    EXPECT_FALSE(MakeOverheatText(std::nullopt, std::nullopt, 85, false));
}

TEST(Overheat, AtMostOnePerFiveMinutes) {
    OverheatLimiter limiter;
    // The first one fires even within five minutes of boot (tick 1000).
    EXPECT_TRUE(limiter.TryFire(1000));
    EXPECT_FALSE(limiter.TryFire(1000 + 299999));
    EXPECT_FALSE(limiter.TryFire(1000 + 300000));  // "more than" 300 000 ms
    EXPECT_TRUE(limiter.TryFire(1000 + 300001));

    // A snapshot every second for ten minutes over the limit: two notifications.
    OverheatLimiter every;
    int fired = 0;
    for (uint64_t t = 5000000; t < 5000000 + 600000; t += 1000) fired += every.TryFire(t) ? 1 : 0;
    EXPECT_EQ(fired, 2);
}

TEST(TrayContent, TheChosenTemperatureOnly) {
    Settings settings;
    settings.WarningTemp = 80;
    settings.TrayTemperature = "gpu";
    TrayIconContent gpu = MakeTrayIconContent(Snap(50, 81.2), settings);
    EXPECT_EQ(gpu.text, L"81");
    EXPECT_EQ(gpu.level, 2);
    // Without a GPU temperature: the application icon, not the processor's number.
    EXPECT_TRUE(MakeTrayIconContent(Snap(50, std::nullopt), settings).text.empty());
    settings.TrayTemperature = "cpu";
    EXPECT_EQ(MakeTrayIconContent(Snap(50, 81.2), settings).text, L"50");
}

TEST(Overheat, NormalAgainAfterAMinuteFiveDegreesUnderWithinTheSameLimit) {
    OverheatNotifier n;
    const uint64_t t0 = 1'000'000;
    auto at = [&](std::optional<double> cpu, uint64_t t, std::optional<double> gpu = std::nullopt) {
        return n.Update(cpu, gpu, 85, false, true, t);
    };
    ASSERT_TRUE(at(90, t0));
    EXPECT_FALSE(at(79, t0 + 400000));  // cool from here
    // 80.5 is under the limit but not 5 °C under it: the minute starts again.
    EXPECT_FALSE(at(80.5, t0 + 430000));
    EXPECT_FALSE(at(80, t0 + 440000));  // exactly 5 °C under: the minute starts here
    EXPECT_FALSE(at(80, t0 + 499999));
    const auto normal = at(70, t0 + 500000, 60);
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->kind, TrayNoticeKind::NormalAgain);
    EXPECT_EQ(normal->text, L"İşlemci 70 °C · Ekran kartı 60 °C — bir dakikadır sınırın (85 °C) en az 5 °C altında");
    EXPECT_FALSE(at(70, t0 + 900000));  // once

    // Cooling down soon after the warning: "normal again" waits for the five minutes.
    OverheatNotifier soon;
    ASSERT_TRUE(soon.Update(90, std::nullopt, 85, false, true, t0));
    EXPECT_FALSE(soon.Update(70, std::nullopt, 85, false, true, t0 + 10000));
    EXPECT_FALSE(soon.Update(70, std::nullopt, 85, false, true, t0 + 300000));
    EXPECT_TRUE(soon.Update(70, std::nullopt, 85, false, true, t0 + 300001));
    // No reading at all is not "normal"; switched off, the warning is forgotten.
    OverheatNotifier quiet;
    ASSERT_TRUE(quiet.Update(90, std::nullopt, 85, false, true, t0));
    for (uint64_t t = 400000; t <= 500000; t += 100000)
        EXPECT_FALSE(quiet.Update(std::nullopt, std::nullopt, 85, false, true, t0 + t));
    EXPECT_FALSE(quiet.Update(70, std::nullopt, 85, false, false, t0 + 600000));
    EXPECT_FALSE(quiet.Update(70, std::nullopt, 85, false, true, t0 + 800000));
}

TEST(TrayCallback, Notifications) {
    // WM_CONTEXTMENU, NIN_SELECT, NIN_KEYSELECT, NIN_BALLOONUSERCLICK, WM_MOUSEMOVE.
    EXPECT_EQ(ClassifyTrayCallback(0x007B), TrayCallbackAction::Menu);
    EXPECT_EQ(ClassifyTrayCallback(0x0400), TrayCallbackAction::ToggleWindow);
    EXPECT_EQ(ClassifyTrayCallback(0x0401), TrayCallbackAction::ToggleWindow);
    EXPECT_EQ(ClassifyTrayCallback(0x0405), TrayCallbackAction::ShowWindow);
    EXPECT_EQ(ClassifyTrayCallback(0x0200), TrayCallbackAction::None);
}

TEST(TrayFont, ShrinksFromSeventyEightPercentInHalfSteps) {
    std::vector<float> tried;
    // 16-pixel icon: starts at 12.48, must fit in 15.36.
    float size = FitTrayFontSize(16, [&](float s) {
        tried.push_back(s);
        return s * 1.5f;
    });
    EXPECT_NEAR(tried.front(), 12.48f, 1e-4);
    EXPECT_NEAR(size, 9.98f, 1e-4);
    EXPECT_LE(size * 1.5f, 15.36f);
    // Text that never fits: no text, and no size below 6 was tried.
    tried.clear();
    EXPECT_EQ(FitTrayFontSize(16, [&](float s) { tried.push_back(s); return 1000.0f; }), 0.0f);
    EXPECT_GE(tried.back(), 6.0f);
    EXPECT_LT(tried.back() - 0.5f, 6.0f);
}

TEST(Theme, TemperatureLevels) {
    EXPECT_EQ(TempLevel(std::nullopt, 85), 3);
    EXPECT_EQ(TempLevel(85, 85), 2);
    EXPECT_EQ(TempLevel(70, 85), 1);
    EXPECT_EQ(TempLevel(69.9, 85), 0);
    EXPECT_EQ(LevelColor(-1), palette::kMuted);
}

}  // namespace
}  // namespace kalorix
