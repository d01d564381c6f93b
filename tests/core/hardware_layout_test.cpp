#include "ui/hardware_layout.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

FrameHeadline Battery(int percent, bool charging, bool ac, uint32_t design, uint32_t full, uint32_t cycles) {
    FrameHeadline s;
    s.hasBattery = true;
    s.batteryPercent = percent;
    s.charging = charging;
    s.onAcPower = ac;
    s.designCapacity = design;
    s.fullChargeCapacity = full;
    s.cycleCount = cycles;
    return s;
}

std::vector<std::wstring> Labels(const InventorySection& s) {
    std::vector<std::wstring> out;
    for (const auto& r : s.rows) out.push_back(r.label);
    return out;
}

TEST(BatterySectionTest, RowsTextsAndOrder) {
    auto full = MakeBatterySection(Battery(76, false, false, 56000, 51234, 312));
    ASSERT_TRUE(full);
    std::vector<std::wstring> rows;
    for (const auto& r : full->rows) rows.push_back(r.label + L": " + r.value);
    EXPECT_EQ(rows, (std::vector<std::wstring>{L"Şarj: %76 · pilde", L"Tasarım kapasitesi: 56,0 Wh",
                                               L"Tam şarj kapasitesi: 51,2 Wh", L"Sağlık: %91",  // 91.49 %
                                               L"Şarj döngüsü: 312"}));

    // Charging wins over mains power; mains without charging says so.
    EXPECT_EQ(MakeBatterySection(Battery(40, true, true, 0, 0, 0))->rows[0].value, L"%40 · şarj oluyor");
    EXPECT_EQ(MakeBatterySection(Battery(100, false, true, 0, 0, 0))->rows[0].value, L"%100 · prize takılı");
}

TEST(BatterySectionTest, UnknownValuesLeaveTheirRowsOut) {
    EXPECT_FALSE(MakeBatterySection(FrameHeadline{}));  // desktop: no "Pil" at all
    EXPECT_EQ(Labels(*MakeBatterySection(Battery(50, false, false, 0, 0, 0))), std::vector<std::wstring>{L"Şarj"});
    // Health needs both capacities.
    EXPECT_EQ(Labels(*MakeBatterySection(Battery(50, false, false, 0, 42000, 0))),
              (std::vector<std::wstring>{L"Şarj", L"Tam şarj kapasitesi"}));
    EXPECT_EQ(Labels(*MakeBatterySection(Battery(50, false, false, 42000, 0, 7))),
              (std::vector<std::wstring>{L"Şarj", L"Tasarım kapasitesi", L"Şarj döngüsü"}));
}

HardwareInventory Report(std::initializer_list<const wchar_t*> titles) {
    HardwareInventory r;
    for (const wchar_t* t : titles) r.sections.push_back(InventorySection{t, 0, {{L"a", L"b"}}});
    return r;
}

std::vector<std::wstring> Titles(const std::vector<InventorySection>& sections) {
    std::vector<std::wstring> out;
    for (const auto& s : sections) out.push_back(s.title);
    return out;
}

TEST(HardwareSectionsTest, BatteryGoesRightAfterTheOperatingSystem) {
    const FrameHeadline laptop = Battery(50, false, false, 0, 0, 0);
    EXPECT_EQ(Titles(HardwareSections(Report({L"Sistem", L"İşlemci", L"İşletim sistemi", L"Depolama"}), laptop)),
              (std::vector<std::wstring>{L"Sistem", L"İşlemci", L"İşletim sistemi", L"Pil", L"Depolama"}));
    EXPECT_EQ(Titles(HardwareSections(Report({}), laptop)), std::vector<std::wstring>{L"Pil"});
    // No battery: the report's own sections, unchanged.
    const HardwareInventory r = Report({L"Sistem", L"İşletim sistemi"});
    EXPECT_EQ(Titles(HardwareSections(r, FrameHeadline{})), Titles(r.sections));
}

TEST(HardwareCardsTest, ShortLinesCountAsOneLineAndWidthsNeverGoNegative) {
    EXPECT_FLOAT_EQ(HardwareCardHeight({17}), HardwareCardHeight({18}));
    EXPECT_FLOAT_EQ(HardwareValueWidth(100), 0);
}

TEST(HardwareCardsTest, MasonryTakesTheHigherColumnLeftOnTies) {
    // W = 500: columns 244 wide at x 10 and 266.
    const MasonryLayout m = LayoutHardwareCards({100, 50, 30, 200, 10}, 10, 100, 500);
    ASSERT_EQ(m.cards.size(), 5u);
    const int columns[] = {0, 1, 1, 1, 0};
    const float tops[] = {100, 100, 162, 204, 212};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(m.cards[i].column, columns[i]) << i;
        EXPECT_FLOAT_EQ(m.cards[i].y, tops[i]) << i;
    }
    EXPECT_FLOAT_EQ(m.cards[1].x, 266.0f);
    EXPECT_FLOAT_EQ(m.cards[1].w, 244);
    EXPECT_FLOAT_EQ(m.bottom, 404);  // the right column's last card, no gap after it

    const MasonryLayout level = LayoutHardwareCards({40, 40, 40}, 0, 0, 412);
    EXPECT_EQ(level.cards[2].column, 0);  // both columns end at 52: left wins
    EXPECT_FLOAT_EQ(level.cards[2].y, 52);
    EXPECT_FLOAT_EQ(LayoutHardwareCards({}, 0, 123, 400).bottom, 123);
}

}  // namespace
}  // namespace kalorix
