// The Overview page (page 0): warnings, the four headline metrics, the
// temperature history, four small readings and the heat-throttling summary.
#include <algorithm>

#include "inventory/inventory.h"
#include "ui/page_models.h"
#include "ui/pages_win.h"
#include "ui/toolkit_win.h"

namespace kalorix {

namespace {

constexpr float kGap = 12.0f;

float DrawConsentCard(PageContext& ctx, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const std::wstring body = ConsentBody();
    const float bodyH = tk.MeasureParagraph(body, w - 64, text_style::Secondary);
    const float h = bodyH + 22 + 20 + 34 + 16;
    const Rect card{x0, y, w, h};
    tk.FillRounded(card, 10, WithAlpha(colors::Accent, 0.10f));
    tk.Outline(card, 10, WithAlpha(colors::Accent, 0.45f), 1);
    tk.DrawGlyph(0xE8F1, Rect{x0 + 14, y + 12, 22, 22}, text_style::IconNav, colors::Accent);
    tk.DrawLabel(L"Kalorix'i geliştirmemize yardım et: anonim uyumluluk verisi", Rect{x0 + 48, y + 12, w - 62, 20},
                 text_style::LabelStrong, colors::PrimaryText);
    tk.DrawParagraph(body, x0 + 48, y + 34, w - 64, text_style::Secondary, colors::SecondaryText);
    const float by = y + 34 + bodyH + 12;
    if (tk.Button(MakeActionId(L"tel/ok"), Rect{x0 + 48, by, 110, 32}, L"Anladım", 0, true))
        ctx.actions->AnswerConsent(true);
    if (tk.Button(MakeActionId(L"tel/no"), Rect{x0 + 48 + 118, by, 110, 32}, L"Paylaşma", 0, false))
        ctx.actions->AnswerConsent(false);
    if (tk.Button(MakeActionId(L"tel/what"), Rect{x0 + 48 + 236, by, 170, 32}, L"Neler gönderiliyor?", 0xE8A7, false))
        ctx.actions->ShowPage(kPageSettings);
    ctx.actions->MarkConsentNoticeShown();
    return y + h + kGap;
}

float DrawBanner(PageContext& ctx, const Banner& banner, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const bool hasButton = !banner.button.empty();
    const float buttonRoom = hasButton ? 130.0f + 14.0f + 12.0f : 0.0f;
    const float bodyW = w - 64 - buttonRoom;
    const float bodyH = banner.body.empty() ? 0.0f : tk.MeasureParagraph(banner.body, bodyW, text_style::Secondary);
    const float h = std::max(48.0f, bodyH + 22 + 24);
    const D2D1_COLOR_F color = Color(banner.color);
    const Rect card{x0, y, w, h};
    tk.FillRounded(card, 10, WithAlpha(color, 0.12f));
    tk.Outline(card, 10, WithAlpha(color, 0.45f), 1);
    tk.DrawGlyph(banner.glyph, Rect{x0 + 14, y + 14, 22, 22}, text_style::IconNav, color);
    tk.DrawLabel(banner.title, Rect{x0 + 48, y + 12, w - 62 - buttonRoom, 20}, text_style::LabelStrong,
                 colors::PrimaryText);
    if (!banner.body.empty())
        tk.DrawParagraph(banner.body, x0 + 48, y + 32, bodyW, text_style::Secondary, colors::SecondaryText);
    if (hasButton) {
        const Rect button{x0 + w - 14 - 130, y + (h - 34) / 2, 130, 34};
        if (tk.Button(MakeActionId(BannerActionKey(banner.action)), button, banner.button, 0, true)) {
            switch (banner.action) {
                case BannerAction::ShowTests: ctx.actions->ShowPage(kPageTests); break;
                case BannerAction::EnableAdvanced: ctx.actions->SetAdvancedSensors(true); break;
                case BannerAction::DownloadPawnIo: OpenAddress(kPawnIoDownloadAddress); break;
                case BannerAction::RestartElevated: ctx.actions->RestartAsAdministrator(); break;
                case BannerAction::None: break;
            }
        }
    }
    return y + h + kGap;
}

// Heights of one line of the metric card's title style, and of two.
float TitleLineHeight(DrawingToolkit& tk) { return tk.MeasureParagraph(L"Ag", 1000, text_style::Label); }

// The width a metric card's content asks for at card width cw: the value
// whole, the detail whole (or its short form; a device name may be cut), the
// title on at most two lines.
float MetricCardNeed(DrawingToolkit& tk, const MetricCard& c, float cw) {
    float need = tk.MeasureWidth(c.value, text_style::BigNumber) + 40;
    if (!c.detailIsName) {
        float detail = tk.MeasureWidth(c.detail, text_style::Secondary);
        if (!c.compactDetail.empty()) detail = std::min(detail, tk.MeasureWidth(c.compactDetail, text_style::Secondary));
        need = std::max(need, detail + 40);
    }
    const float titleBox = cw - 80;
    const bool titleFits = tk.MeasureWidth(c.title, text_style::Label) <= titleBox ||
                           (titleBox > 0 && tk.MeasureParagraph(c.title, titleBox, text_style::Label) <=
                                                2 * TitleLineHeight(tk) + 0.5f);
    return titleFits ? need : std::max(need, cw + 1);
}

// A small card asks for its title and value side by side, and its detail whole
// unless it is a device name.
float SmallCardNeed(DrawingToolkit& tk, const MetricCard& c) {
    float inner = tk.MeasureWidth(c.title, text_style::Label) + 8 + tk.MeasureWidth(c.value, text_style::RowValue) + 4;
    if (!c.detailIsName) {
        float detail = tk.MeasureWidth(c.detail, text_style::Secondary);
        if (!c.compactDetail.empty()) detail = std::min(detail, tk.MeasureWidth(c.compactDetail, text_style::Secondary));
        inner = std::max(inner, detail);
    }
    return inner + 82;
}

// Four cards in a row, or a 2 x 2 grid when one of them does not fit a quarter.
struct CardGrid {
    int columns = 4;
    float cardWidth = 0;
    Rect Cell(float x0, float y, float h, int i) const {
        const int col = i % columns, row = i / columns;
        return Rect{x0 + static_cast<float>(col) * (cardWidth + kGap), y + static_cast<float>(row) * (h + kGap),
                    cardWidth, h};
    }
    float Height(float h) const { return static_cast<float>(4 / columns) * (h + kGap) - kGap; }
};

CardGrid GridFor(const std::array<float, 4>& need, float w) {
    CardGrid grid;
    grid.columns = CardColumns(need, w);
    grid.cardWidth = (w - kGap * static_cast<float>(grid.columns - 1)) / static_cast<float>(grid.columns);
    return grid;
}

void DrawMetricCard(DrawingToolkit& tk, const MetricCard& c, const Rect& r) {
    const float x = r.x, y = r.y, cw = r.w;
    const D2D1_COLOR_F level = LevelColorF(c.level);
    tk.Card(r);
    tk.Badge(Rect{x + 20, y + 20, 32, 32}, c.glyph, level, palette::kBadgeAlpha, text_style::IconSmall);
    if (tk.MeasureWidth(c.title, text_style::Label) <= cw - 80)
        tk.DrawLabel(c.title, Rect{x + 64, y + 20, cw - 80, 32}, text_style::Label, colors::SecondaryText);
    else  // two lines beside the badge
        tk.DrawParagraph(c.title, x + 64, y + 36 - TitleLineHeight(tk), cw - 80, text_style::Label,
                         colors::SecondaryText);
    tk.DrawLabel(c.value, Rect{x + 20, y + 62, cw - 40, 44}, text_style::BigNumber, colors::PrimaryText);
    const bool compact = !c.compactDetail.empty() && tk.MeasureWidth(c.detail, text_style::Secondary) > cw - 40;
    tk.DrawLabel(compact ? c.compactDetail : c.detail, Rect{x + 20, y + 104, cw - 40, 18}, text_style::Secondary,
                 colors::SecondaryText);
    tk.ProgressBar(Rect{x + 20, y + 126, cw - 40, 4}, c.fraction, level);
}

// A row of four cards, or a 2 x 2 grid when one of them does not fit a quarter.
template <typename Need, typename Draw>
float DrawCardRow(PageContext& ctx, float y, float h, const std::array<MetricCard, 4>& cards, Need need, Draw draw) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    std::array<float, 4> needed{};
    for (int i = 0; i < 4; ++i) needed[i] = need(tk, cards[i], (w - 3 * kGap) / 4);
    const CardGrid grid = GridFor(needed, w);
    if (ctx.visible(y, y + grid.Height(h)))
        for (int i = 0; i < 4; ++i) draw(tk, cards[i], grid.Cell(x0, y, h, i));
    return y + grid.Height(h) + kGap;
}

float DrawMetricCards(PageContext& ctx, float y) {
    return DrawCardRow(ctx, y, 150, MakeMetricCards(*ctx.snapshot, *ctx.settings), MetricCardNeed, DrawMetricCard);
}

float DrawHistoryCard(PageContext& ctx, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const float h = 300;
    if (ctx.visible(y, y + h)) {
        const Settings& settings = *ctx.settings;
        tk.Card(Rect{x0, y, w, h});
        tk.DrawLabel(L"Sıcaklık geçmişi", Rect{x0 + 20, y + 16, w - 200, 22}, text_style::CardTitle,
                     colors::PrimaryText);
        tk.DrawLabel(HistorySpanText(settings.HistorySeconds), Rect{x0 + 20, y + 38, w - 200, 18},
                     text_style::Secondary, colors::SecondaryText);
        const float legend = x0 + w - 20 - 130;
        tk.FillCircle(legend + 4, y + 27, 4, colors::Accent);
        tk.DrawLabel(L"CPU", Rect{legend + 14, y + 17, 40, 20}, text_style::Secondary, colors::SecondaryText);
        tk.FillCircle(legend + 56 + 4, y + 27, 4, colors::GpuSeries);
        tk.DrawLabel(L"GPU", Rect{legend + 56 + 14, y + 17, 40, 20}, text_style::Secondary, colors::SecondaryText);
        tk.HistoryChart(Rect{x0 + 12, y + 64, w - 24, 222}, ctx.snapshot->history, ctx.snapshot->updatedAt,
                        static_cast<double>(settings.HistorySeconds), settings.UseFahrenheit);
    }
    return y + h + kGap;
}

void DrawSmallCard(DrawingToolkit& tk, const MetricCard& c, const Rect& r) {
    const float x = r.x, y = r.y, cw = r.w;
    tk.Card(r);
    tk.Badge(Rect{x + 16, y + 15, 36, 36}, c.glyph, LevelColorF(c.level), palette::kBadgeAlpha, text_style::IconSmall);
    const float inner = cw - 82;
    const float valueW = tk.MeasureWidth(c.value, text_style::RowValue);
    const float titleW = tk.MeasureWidth(c.title, text_style::Label);
    const float valueBox = std::min(valueW + 4, std::max(inner - titleW - 8, 0.4f * inner));
    const float titleBox = inner - valueBox - 8;
    tk.DrawLabel(c.title, Rect{x + 66, y + 14, titleBox, 20}, text_style::Label, colors::PrimaryText);
    tk.DrawLabel(c.value, Rect{x + cw - 16 - valueBox, y + 14, valueBox, 20}, text_style::RowValue,
                 colors::PrimaryText, kAlignTrailing);
    const bool compact = !c.compactDetail.empty() && tk.MeasureWidth(c.detail, text_style::Secondary) > inner;
    tk.DrawLabel(compact ? c.compactDetail : c.detail, Rect{x + 66, y + 36, inner, 16}, text_style::Secondary,
                 colors::SecondaryText);
}

float DrawSmallCards(PageContext& ctx, float y) {
    return DrawCardRow(ctx, y, 66, MakeSmallCards(*ctx.snapshot, *ctx.settings),
                       [](DrawingToolkit& tk, const MetricCard& c, float) { return SmallCardNeed(tk, c); },
                       DrawSmallCard);
}

float DrawThrottleCard(PageContext& ctx, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const float h = 66;
    const ThrottleSummary t = MakeThrottleSummary(*ctx.snapshot);
    const D2D1_COLOR_F level = LevelColorF(t.level);
    tk.Card(Rect{x0, y, w, h});
    tk.Badge(Rect{x0 + 16, y + 15, 36, 36}, 0xEC4A, level, palette::kBadgeAlpha, text_style::IconSmall);
    const Rect button{x0 + w - 16 - 150, y + 15, 150, 36};
    const float valueRight = button.x - 32;
    const float titleW = tk.MeasureWidth(L"Isıdan yavaşlama (son 10 dk)", text_style::Label);
    tk.DrawLabel(L"Isıdan yavaşlama (son 10 dk)", Rect{x0 + 66, y + 14, std::max(0.0f, std::min(titleW + 4, valueRight - x0 - 66)), 20},
                 text_style::Label, colors::PrimaryText);
    const float valueLeft = x0 + 66 + titleW + 12;
    tk.DrawLabel(t.value, Rect{valueLeft, y + 14, std::max(0.0f, valueRight - valueLeft), 20}, text_style::RowValue,
                 level, kAlignTrailing);
    tk.DrawLabel(t.detail, Rect{x0 + 66, y + 36, w - 66 - 190, 16}, text_style::Secondary, colors::SecondaryText);
    if (tk.Button(MakeActionId(L"overview/karne"), button, L"Soğutma karnesi", 0xE76C, false))
        ctx.actions->ShowPage(kPageTests);
    return y + h;
}

}  // namespace

float DrawOverviewPage(PageContext& ctx) {
    float y = ctx.content.y + 4;
    std::wstring subtitle;
    if (ctx.hardware) subtitle = JoinSystemAndCpu(ctx.hardware->systemName, ctx.hardware->cpuName);
    y = DrawPageHeader(ctx, y, L"Genel Bakış", subtitle);

    if (ShowConsentCard(*ctx.settings, ctx.telemetry.noticeAcked)) y = DrawConsentCard(ctx, y);
    for (const Banner& banner : MakeBanners(*ctx.snapshot, *ctx.settings)) y = DrawBanner(ctx, banner, y);
    y = DrawMetricCards(ctx, y);
    y = DrawHistoryCard(ctx, y);
    y = DrawSmallCards(ctx, y);
    return DrawThrottleCard(ctx, y);
}

}  // namespace kalorix
