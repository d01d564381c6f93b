// The Hardware page (page 2): the collected hardware report as two columns of
// section cards plus a live battery section, with copy and refresh.
#include <algorithm>

#include "inventory/inventory.h"
#include "ui/hardware_layout.h"
#include "ui/pages_win.h"
#include "ui/toolkit_win.h"

namespace kalorix {

namespace {

// lineHeight: one wrapped line of the value style, so that a label centred in
// it sits on the first value line's baseline.
void DrawSectionCard(DrawingToolkit& tk, const InventorySection& section, const CardPlacement& place,
                     const std::vector<float>& valueHeights, float lineHeight) {
    const float x = place.x, y = place.y, w = place.w;
    tk.Card(Rect{x, y, w, place.h});
    tk.Badge(Rect{x + 20, y + 18, 30, 30}, static_cast<wchar_t>(section.glyph), colors::Accent, palette::kBadgeAlpha,
             text_style::IconSmall);
    tk.DrawLabel(section.title, Rect{x + 62, y + 18, w - 82, 30}, text_style::CardTitle, colors::PrimaryText);

    const float labelX = x + 20;
    const float valueX = labelX + kHardwareLabelWidth + 12;
    const float valueW = HardwareValueWidth(w);
    float top = y + kHardwareRowsTop;
    for (size_t i = 0; i < section.rows.size(); ++i) {
        const InventoryRow& row = section.rows[i];
        tk.DrawLabel(row.label, Rect{labelX, top, kHardwareLabelWidth, lineHeight}, text_style::Label,
                     colors::SecondaryText);
        tk.DrawParagraph(row.value, valueX, top, valueW, text_style::Label, colors::PrimaryText);
        top += HardwareRowHeight(valueHeights[i]);
    }
}

// "Kişisel bilgileri gizle" left of the header buttons: hides the computer and
// user names and the volume labels from this page, the copied text and the
// report image. Fixed on (and dimmed) when KALORIX_REDACT asks for it.
void DrawPrivacySwitch(PageContext& ctx, float right) {
    DrawingToolkit& tk = *ctx.toolkit;
    constexpr wchar_t kLabel[] = L"Kişisel bilgileri gizle";
    const float top = ctx.content.y + 8;
    const Rect toggle{right - 40, top + 6, 40, 22};
    const float labelW = tk.MeasureWidth(kLabel, text_style::Label) + 2;
    tk.DrawLabel(kLabel, Rect{toggle.x - 10 - labelW, top, labelW, 34}, text_style::Label, colors::SecondaryText);
    bool hide = ctx.settings->HidePersonalInfo || ctx.personalInfoForced;
    if (tk.Toggle(MakeActionId(L"hw/private"), toggle, hide, !ctx.personalInfoForced)) {
        ctx.settings->HidePersonalInfo = hide;
        ctx.actions->ApplySettings();
    }
}

}  // namespace

float DrawHardwarePage(PageContext& ctx) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const HardwareInventory* report = ctx.hardware;

    float y = DrawPageHeader(ctx, ctx.content.y + 4, L"Donanım", report ? report->systemName : std::wstring());

    const Rect copy{x0 + w - 120, ctx.content.y + 8, 120, 34};
    const Rect refresh{copy.x - 10 - 110, copy.y, 110, 34};
    if (tk.Button(MakeActionId(L"hw/copy"), copy, L"Kopyala", 0xE8C8, false)) ctx.actions->CopyHardwareReport();
    if (tk.Button(MakeActionId(L"hw/refresh"), refresh, L"Yenile", 0, false)) {
        ctx.actions->RefreshHardwareReport();
        report = nullptr;  // discarded: this pass already shows the reading state
    }
    DrawPrivacySwitch(ctx, refresh.x - 16);

    if (!report) {
        tk.DrawLabel(L"Donanım bilgileri okunuyor…", Rect{x0, y, w, 24}, text_style::Label, colors::SecondaryText);
        return y + 24;
    }

    const std::vector<InventorySection> sections = HardwareSections(*report, *ctx.snapshot);
    const float valueW = HardwareValueWidth(HardwareColumnWidth(w));
    std::vector<std::vector<float>> valueHeights(sections.size());
    std::vector<float> cardHeights;
    cardHeights.reserve(sections.size());
    for (size_t i = 0; i < sections.size(); ++i) {
        for (const InventoryRow& row : sections[i].rows)
            valueHeights[i].push_back(tk.MeasureParagraph(row.value, valueW, text_style::Label));
        cardHeights.push_back(HardwareCardHeight(valueHeights[i]));
    }

    const float lineHeight = std::max(1.0f, tk.MeasureParagraph(L"Ag", 1000, text_style::Label));
    const MasonryLayout layout = LayoutHardwareCards(cardHeights, x0, y, w);
    for (size_t i = 0; i < sections.size(); ++i) {
        const CardPlacement& place = layout.cards[i];
        if (ctx.visible(place.y, place.y + place.h))
            DrawSectionCard(tk, sections[i], place, valueHeights[i], lineHeight);
    }
    return layout.bottom;
}

}  // namespace kalorix
