// The Hardware page's model: the battery section, its place among the sections, and the two-column layout.
#include "ui/hardware_layout.h"

#include <gtest/gtest.h>

namespace kalorix {
namespace {

FrameHeadline Battery(int percent, bool charging, bool ac, uint32_t design, uint32_t full, uint32_t cycles) {
    FrameHeadline s;
    s.hasBattery = true, s.batteryPercent = percent, s.charging = charging, s.onAcPower = ac;
    return s.designCapacity = design, s.fullChargeCapacity = full, s.cycleCount = cycles, s;
}

std::vector<std::wstring> Rows(const std::optional<InventorySection>& s) {
    std::vector<std::wstring> out;
    for (const auto& r : s->rows) out.push_back(r.label + L": " + r.value);
    return out;
}

TEST(BatterySectionTest, RowsTextsAndUnknownValues) {
    EXPECT_EQ(Rows(MakeBatterySection(Battery(76, false, false, 56000, 51234, 312))),
              (std::vector<std::wstring>{L"Şarj: %76 · pilde", L"Tasarım kapasitesi: 56,0 Wh", L"Tam şarj kapasitesi: 51,2 Wh",
                                         L"Sağlık: %91" /* 91.49 % */, L"Şarj döngüsü: 312"}));
    // Charging wins over mains power; health needs both capacities.
    EXPECT_EQ(Rows(MakeBatterySection(Battery(40, true, true, 0, 42000, 0))),
              (std::vector<std::wstring>{L"Şarj: %40 · şarj oluyor", L"Tam şarj kapasitesi: 42,0 Wh"}));
    EXPECT_EQ(MakeBatterySection(Battery(100, false, true, 0, 0, 0))->rows[0].value, L"%100 · prize takılı");
    EXPECT_FALSE(MakeBatterySection(FrameHeadline{}));  // desktop: no "Pil" at all
}

TEST(HardwareSectionsTest, BatteryGoesRightAfterTheOperatingSystem) {
    auto titles = [](std::initializer_list<const wchar_t*> in, const FrameHeadline& h) {
        HardwareInventory r;
        for (const wchar_t* t : in) r.sections.push_back(InventorySection{t, 0, {{L"a", L"b"}}});
        std::vector<std::wstring> out;
        for (const auto& s : HardwareSections(r, h)) out.push_back(s.title);
        return out;
    };
    const FrameHeadline laptop = Battery(50, false, false, 0, 0, 0);
    EXPECT_EQ(titles({L"Sistem", L"İşlemci", L"İşletim sistemi", L"Depolama"}, laptop),
              (std::vector<std::wstring>{L"Sistem", L"İşlemci", L"İşletim sistemi", L"Pil", L"Depolama"}));
    EXPECT_EQ(titles({}, laptop), std::vector<std::wstring>{L"Pil"});
    EXPECT_EQ(titles({L"Sistem", L"İşletim sistemi"}, FrameHeadline{}), (std::vector<std::wstring>{L"Sistem", L"İşletim sistemi"}));
}

TEST(HardwareCardsTest, MasonryTakesTheHigherColumnLeftOnTies) {
    // Short lines count as one; a value width is never negative.
    EXPECT_TRUE(HardwareCardHeight({17}) == HardwareCardHeight({18}) && HardwareValueWidth(100) == 0);
    // W = 500: columns 244 wide at x 10 and 266.
    const MasonryLayout m = LayoutHardwareCards({100, 50, 30, 200, 10}, 10, 100, 500);
    ASSERT_EQ(m.cards.size(), 5u);
    const int columns[] = {0, 1, 1, 1, 0};
    const float tops[] = {100, 100, 162, 204, 212};
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(m.cards[i].column == columns[i] && m.cards[i].y == tops[i]) << i;
    // The right column's last card sets the bottom, no gap after it.
    EXPECT_TRUE(m.cards[1].x == 266 && m.cards[1].w == 244 && m.bottom == 404) << m.cards[1].x << " " << m.bottom;
    EXPECT_EQ(LayoutHardwareCards({40, 40, 40}, 0, 0, 412).cards[2].column, 0);  // both columns end at 52: left wins
    EXPECT_FLOAT_EQ(LayoutHardwareCards({}, 0, 123, 400).bottom, 123);

}

}  // namespace
}  // namespace kalorix
