#include "ui/hardware_layout.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "sensors/format.h"

namespace kalorix {

namespace {

std::wstring WattHours(uint32_t milliwattHours) {
    return FormatNumber(static_cast<double>(milliwattHours) / 1000.0, 1) + L" Wh";
}

}  // namespace

std::optional<InventorySection> MakeBatterySection(const FrameHeadline& s) {
    if (!s.hasBattery) return std::nullopt;
    InventorySection section;
    section.title = L"Pil";
    section.glyph = kGlyphBattery;

    std::wstring charge = L"%" + std::to_wstring(s.batteryPercent);
    if (s.charging) charge += L" · şarj oluyor";
    else if (s.onAcPower) charge += L" · prize takılı";
    else charge += L" · pilde";
    section.rows.push_back({L"Şarj", charge});

    if (s.designCapacity != 0) section.rows.push_back({L"Tasarım kapasitesi", WattHours(s.designCapacity)});
    if (s.fullChargeCapacity != 0) section.rows.push_back({L"Tam şarj kapasitesi", WattHours(s.fullChargeCapacity)});
    if (s.designCapacity != 0 && s.fullChargeCapacity != 0) {
        // In doubles: the capacities are 32-bit and times 100 would overflow.
        const double health =
            std::min(100.0, static_cast<double>(s.fullChargeCapacity) * 100.0 / static_cast<double>(s.designCapacity));
        section.rows.push_back({L"Sağlık", L"%" + std::to_wstring(std::lround(health))});
    }
    if (s.cycleCount != 0) section.rows.push_back({L"Şarj döngüsü", std::to_wstring(s.cycleCount)});
    return section;
}

std::vector<InventorySection> HardwareSections(const HardwareInventory& report, const FrameHeadline& snapshot) {
    std::vector<InventorySection> sections = report.sections;
    std::optional<InventorySection> battery = MakeBatterySection(snapshot);
    if (!battery) return sections;
    auto os = std::find_if(sections.begin(), sections.end(),
                           [](const InventorySection& s) { return s.title == kOperatingSystemTitle; });
    sections.insert(os == sections.end() ? sections.end() : os + 1, std::move(*battery));
    return sections;
}

float HardwareColumnWidth(float innerWidth) {
    return std::max(0.0f, (innerWidth - kHardwareColumnGap) / 2.0f);
}

float HardwareValueWidth(float cardWidth) {
    return std::max(0.0f, cardWidth - 40.0f - kHardwareLabelWidth - 12.0f);
}

float HardwareRowHeight(float valueHeight) {
    return std::max(18.0f, valueHeight) + 10.0f;
}

float HardwareCardHeight(const std::vector<float>& valueHeights) {
    float h = kHardwareRowsTop + 10.0f;
    for (float v : valueHeights) h += HardwareRowHeight(v);
    return h;
}

MasonryLayout LayoutHardwareCards(const std::vector<float>& heights, float left, float top, float innerWidth) {
    MasonryLayout layout;
    const float cw = HardwareColumnWidth(innerWidth);
    float bottoms[2] = {top, top};
    float ends[2] = {top, top};  // card bottoms without the gap after them
    for (float h : heights) {
        const int column = bottoms[1] < bottoms[0] ? 1 : 0;
        CardPlacement card;
        card.column = column;
        card.x = left + static_cast<float>(column) * (cw + kHardwareColumnGap);
        card.y = bottoms[column];
        card.w = cw;
        card.h = h;
        layout.cards.push_back(card);
        ends[column] = card.y + h;
        bottoms[column] = ends[column] + kHardwareCardGap;
    }
    layout.bottom = std::max(ends[0], ends[1]);
    return layout;
}

}  // namespace kalorix
