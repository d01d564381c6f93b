// The Tests page (page 3): the cooling report card of the last seven days, the
// four quick benchmarks with their progress and latest results, the report
// image buttons and the leaderboard card.
#include <windows.h>

#include <algorithm>

#include "bench/protocol.h"
#include "ui/pages_win.h"
#include "ui/tests_model.h"
#include "ui/toolkit_win.h"

namespace kalorix {

namespace {

const PageRecords& Records(const PageContext& ctx) {
    static const PageRecords kNone;
    return ctx.records ? *ctx.records : kNone;
}

constexpr float kGap = 12.0f;
constexpr float kPad = 20.0f;

void SectionHeading(DrawingToolkit& tk, float x, float y, std::wstring_view text) {
    tk.DrawLabel(text, Rect{x, y, 400, 16}, text_style::SectionHeading, colors::Muted);
}

// ---- cooling report card -----------------------------------------------------

struct TableColumn {
    const wchar_t* heading;
    float share;  // of the table width
};
constexpr TableColumn kColumns[] = {
    {L"OTURUM", 0.28f}, {L"SÜRE", 0.16f}, {L"EN YÜKSEK", 0.17f}, {L"ISI SINIRINDA", 0.19f}, {L"ORT. FREKANS", 0.20f},
};

float DrawReportCard(PageContext& ctx, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const std::vector<HeavyUsePeriod>& periods = Records(ctx).periods;
    const CoolingReportCard card = MakeReportCard(periods, Records(ctx).now);
    const ReportCardView v =
        MakeReportCardView(card, periods, ctx.snapshot->currentPeriod, ctx.settings->UseFahrenheit);
    const D2D1_COLOR_F gradeColor = Color(v.color);

    // Heights first: the card's background is drawn before its content.
    const float textX = x0 + kPad + 44 + 16;
    const float headTop = y + kPad;
    const float adviceTop = headTop + 44 + 14;
    const float adviceW = w - 2 * kPad;
    const float adviceH = tk.MeasureParagraph(v.advice, adviceW, text_style::Secondary);
    float h = adviceTop - y + adviceH;
    const float tilesTop = y + h + 16;
    // Four tiles across; two rows of two when a label would not fit (narrow window).
    float widestLabel = 0;
    for (const StatTile& t : v.stats)
        widestLabel = std::max(widestLabel, tk.MeasureWidth(t.label, text_style::SectionHeading));
    const int perRow = (w - 2 * kPad - 3 * kGap) / 4 >= widestLabel + 30 ? 4 : 2;
    const float tileW = (w - 2 * kPad - static_cast<float>(perRow - 1) * kGap) / static_cast<float>(perRow);
    const int tileRows = v.hasData ? (static_cast<int>(v.stats.size()) + perRow - 1) / perRow : 0;
    if (v.hasData) h += 16 + 62.0f * static_cast<float>(tileRows) + kGap * static_cast<float>(tileRows - 1);
    const float currentTop = y + h + 14;
    if (!v.currentLine.empty()) h += 14 + 18;
    const float tableTop = y + h + 18;
    if (!v.rows.empty()) h += 18 + 24 + 30.0f * static_cast<float>(v.rows.size());
    h += kPad;

    if (!ctx.visible(y, y + h)) return y + h;
    tk.Card(Rect{x0, y, w, h});
    tk.Badge(Rect{x0 + kPad, headTop, 44, 44}, 0xE9CA, gradeColor, palette::kBadgeAlpha, text_style::IconNav);
    const float textW = w - (textX - x0) - kPad;
    if (v.hasData) {
        tk.DrawLabel(v.headline, Rect{textX, headTop - 8, textW, 40}, text_style::BigNumber, gradeColor);
        tk.DrawLabel(v.subline, Rect{textX, headTop + 30, textW, 18}, text_style::Secondary, colors::SecondaryText);
    } else {
        tk.DrawLabel(v.headline, Rect{textX, headTop + 2, textW, 22}, text_style::CardTitle, colors::PrimaryText);
        tk.DrawLabel(v.subline, Rect{textX, headTop + 24, textW, 18}, text_style::Secondary, colors::SecondaryText);
    }
    tk.DrawParagraph(v.advice, x0 + kPad, adviceTop, adviceW, text_style::Secondary, colors::SecondaryText);

    if (v.hasData) {
        for (size_t i = 0; i < v.stats.size(); ++i) {
            const float col = static_cast<float>(i % static_cast<size_t>(perRow));
            const float row = static_cast<float>(i / static_cast<size_t>(perRow));
            const Rect tile{x0 + kPad + col * (tileW + kGap), tilesTop + row * (62 + kGap), tileW, 62};
            tk.FillRounded(tile, 8, colors::Selection);
            tk.DrawLabel(v.stats[i].label, Rect{tile.x + 14, tile.y + 10, tile.w - 28, 16}, text_style::SectionHeading,
                         colors::Muted);
            tk.DrawLabel(v.stats[i].value, Rect{tile.x + 14, tile.y + 28, tile.w - 28, 24}, text_style::RowValue,
                         colors::PrimaryText);
        }
    }
    if (!v.currentLine.empty()) {
        tk.FillCircle(x0 + kPad + 4, currentTop + 9, 4, colors::Accent);
        tk.DrawLabel(v.currentLine, Rect{x0 + kPad + 16, currentTop, w - 2 * kPad - 16, 18}, text_style::Secondary,
                     colors::PrimaryText);
    }
    if (!v.rows.empty()) {
        const float tableW = w - 2 * kPad;
        float cx = x0 + kPad;
        float colX[5];
        for (int c = 0; c < 5; ++c) {
            colX[c] = cx;
            tk.DrawLabel(kColumns[c].heading, Rect{cx, tableTop, kColumns[c].share * tableW - 8, 16},
                         text_style::SectionHeading, colors::Muted);
            cx += kColumns[c].share * tableW;
        }
        float ry = tableTop + 24;
        for (const PeriodRow& row : v.rows) {
            tk.FillRect(Rect{x0 + kPad, ry, tableW, 1}, colors::Border);
            const std::wstring* cells[5] = {&row.start, &row.duration, &row.maxTemp, &row.atLimit, &row.clock};
            for (int c = 0; c < 5; ++c) {
                const D2D1_COLOR_F color = c == 0   ? colors::PrimaryText
                                           : c == 3 ? (row.atLimitHigh ? colors::Amber : colors::SecondaryText)
                                                    : colors::SecondaryText;
                tk.DrawLabel(*cells[c], Rect{colX[c], ry + 1, kColumns[c].share * tableW - 8, 29}, text_style::Label,
                             color);
            }
            ry += 30;
        }
    }
    return y + h;
}

// ---- test cards ------------------------------------------------------------------

float DrawResult(DrawingToolkit& tk, const Rect& r, float y, const TestResultView& result, const std::wstring& error) {
    const float innerW = r.w - 2 * kPad;
    const size_t n = result.tiles.size();
    const float tileW = n > 1 ? (innerW - kGap) / 2 : std::min(innerW, 180.0f);
    for (size_t i = 0; i < n; ++i) {
        const Rect tile{r.x + kPad + static_cast<float>(i) * (tileW + kGap), y, tileW, 60};
        tk.FillRounded(tile, 8, colors::Selection);
        tk.DrawLabel(result.tiles[i].label, Rect{tile.x + 14, tile.y + 9, tile.w - 28, 14}, text_style::SectionHeading,
                     colors::Muted);
        tk.DrawLabel(result.tiles[i].value, Rect{tile.x + 12, tile.y + 21, tile.w - 24, 36}, text_style::BigNumber,
                     colors::PrimaryText);
    }
    y += 60 + 10;
    if (!error.empty()) {
        y += tk.DrawParagraph(error, r.x + kPad, y, innerW, text_style::Secondary, colors::Red);
    } else {
        y += tk.DrawParagraph(result.detail, r.x + kPad, y, innerW, text_style::Secondary, colors::SecondaryText);
    }
    tk.DrawLabel(result.info, Rect{r.x + kPad, y + 4, innerW, 16}, text_style::Caption, colors::Muted);
    return y + 20;
}

void DrawTestCard(PageContext& ctx, const TestCardInfo& info, const Rect& r, const std::vector<wchar_t>& drives) {
    DrawingToolkit& tk = *ctx.toolkit;
    const std::optional<TestRecord>& record = Records(ctx).latestTests[static_cast<size_t>(info.kind)];
    const TestCardState state = MakeTestCardState(info.kind, ctx.bench, ctx.series, record.has_value());
    const bool inProgress = state.mode == TestCardMode::Running || state.mode == TestCardMode::Waiting;
    const float innerW = r.w - 2 * kPad;

    tk.Card(r);
    tk.Badge(Rect{r.x + kPad, r.y + kPad, 36, 36}, info.glyph, colors::Accent, palette::kBadgeAlpha,
             text_style::IconSmall);
    float chipW = 0;
    if (state.queuePosition > 0 && state.mode != TestCardMode::Running) {
        const std::wstring chip = L"Sırada · " + std::to_wstring(state.queuePosition) + L".";
        chipW = tk.MeasureWidth(chip, text_style::Caption) + 18;
        const Rect c{r.right() - kPad - chipW, r.y + kPad + 2, chipW, 22};
        tk.FillPill(c, WithAlpha(colors::Accent, 0.15f));
        tk.DrawLabel(chip, c, text_style::Caption, colors::Accent, kAlignCenter);
        chipW += 8;
    }
    const float titleX = r.x + kPad + 48;
    const float titleW = r.right() - kPad - titleX - chipW;
    tk.DrawLabel(info.title, Rect{titleX, r.y + kPad - 1, titleW, 20}, text_style::CardTitle, colors::PrimaryText);
    tk.DrawLabel(info.durationLine, Rect{titleX, r.y + kPad + 19, r.right() - kPad - titleX, 18},
                 text_style::Secondary, colors::SecondaryText);

    float y = r.y + 72;
    wchar_t letter = 0;
    if (info.kind == BenchKind::Disk && drives.size() >= 2) {
        static int32_t fallbackIndex = 0;
        int32_t& index = ctx.view ? ctx.view->testsDriveIndex : fallbackIndex;
        index = ClampDriveIndex(index, drives.size());
        letter = drives[static_cast<size_t>(index)];
        if (state.mode != TestCardMode::Idle) {
            // The drive the running disk test reports (a series runs on the system drive).
            std::wstring shown = DriveLabel(letter);
            if (state.mode == TestCardMode::Running) {
                const auto it = ctx.bench->info.find("disk.drive");
                if (it != ctx.bench->info.end() && !it->second.empty()) shown = it->second;
            }
            tk.DrawLabel(L"Sürücü " + shown, Rect{r.x + kPad, y, innerW, 36}, text_style::Label,
                         colors::SecondaryText);
        } else {
            std::vector<std::wstring> labels;
            for (wchar_t d : drives) labels.push_back(DriveLabel(d));
            tk.Segmented(MakeActionId(L"tests/drive"), r.x + kPad, y, labels, index);
            letter = drives[static_cast<size_t>(ClampDriveIndex(index, drives.size()))];
        }
        y += 40 + 4;
    }

    if (inProgress) {
        const std::wstring phase = state.phase.empty() ? std::wstring(kPhaseStarting) : state.phase;
        tk.DrawLabel(phase, Rect{r.x + kPad, y + 4, innerW - 52, 20}, text_style::Label, colors::PrimaryText);
        tk.DrawLabel(state.percent, Rect{r.right() - kPad - 48, y + 4, 48, 20}, text_style::Caption,
                     colors::SecondaryText, kAlignTrailing);
        tk.ProgressBar(Rect{r.x + kPad, y + 34, innerW, 6}, state.progress, colors::Accent);
        tk.DrawLabel(L"Sonuçlar test bitince burada görünür.", Rect{r.x + kPad, y + 52, innerW, 16},
                     text_style::Caption, colors::Muted);
    } else if (record) {
        DrawResult(tk, r, y, MakeTestResultView(*record), state.error);
    } else {
        tk.DrawLabel(L"Henüz test edilmedi.", Rect{r.x + kPad, y + 2, innerW, 18}, text_style::Secondary,
                     colors::SecondaryText);
        if (!state.error.empty())
            tk.DrawParagraph(state.error, r.x + kPad, y + 28, innerW, text_style::Secondary, colors::Red);
    }

    const float by = r.bottom() - kPad - 36;
    switch (state.mode) {
        case TestCardMode::Running:
        case TestCardMode::Waiting:  // stops the whole series
            if (tk.Button(MakeActionId(TestStopAction(info)), Rect{r.x + kPad, by, 130, 36},
                          L"Durdur", 0xE71A, false))
                ctx.actions->StopTests();
            break;
        case TestCardMode::OtherRunning: {
            const Rect pill{r.x + kPad, by, innerW, 36};
            tk.FillPill(pill, colors::Panel);
            tk.Outline(pill, 18, colors::Border, 1);
            tk.DrawLabel(L"Başka bir test çalışıyor", pill, text_style::Label, colors::Muted, kAlignCenter);
            break;
        }
        case TestCardMode::Idle:
            if (tk.Button(MakeActionId(TestRunAction(info)), Rect{r.x + kPad, by, std::min(170.0f, innerW), 36},
                          state.button, 0xE768, true))
                ctx.actions->StartTest(info.kind, info.kind == BenchKind::Disk ? letter : 0);
            break;
    }
}

// ---- leaderboard ---------------------------------------------------------------

float DrawLeaderboard(PageContext& ctx, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const bool share = ctx.settings->ShareData;
    const std::wstring body = LeaderboardBody(share);
    const float bodyH = tk.MeasureParagraph(body, w - 88, text_style::Secondary);
    const bool hint = share && !Records(ctx).anyTestRecord();
    const float h = bodyH + 42 + 14 + 34 + 20 + (hint ? 24.0f : 0.0f);

    tk.Card(Rect{x0, y, w, h});
    tk.Badge(Rect{x0 + 20, y + 20, 36, 36}, 0xE734, colors::Amber, palette::kBadgeAlpha, text_style::IconSmall);
    tk.DrawLabel(L"Skor tablosu", Rect{x0 + 68, y + 19, w - 88, 20}, text_style::CardTitle, colors::PrimaryText);
    tk.DrawParagraph(body, x0 + 68, y + 42, w - 88, text_style::Secondary, colors::SecondaryText);

    const float ry = y + 42 + bodyH + 14;
    const std::wstring label = L"Takma adın: ";
    const float labelW = tk.MeasureWidth(label, text_style::Label) + 2;
    tk.DrawLabel(label, Rect{x0 + 68, ry, labelW, 34}, text_style::Label, colors::SecondaryText);
    const std::wstring nick = ctx.telemetry.nickname.empty() ? std::wstring(L"\u2014") : ctx.telemetry.nickname;
    const float buttonW = 190;
    const float pillMax = std::max(0.0f, w - 20 - buttonW - 12 - (68 + labelW + 4));
    const float pillW = std::min(tk.MeasureWidth(nick, text_style::LabelStrong) + 16, pillMax);
    const Rect pill{x0 + 68 + labelW + 4, ry + 4, pillW, 26};
    tk.FillRounded(pill, 8, colors::Selection);
    tk.DrawLabel(nick, Rect{pill.x + 8, pill.y, pill.w - 16, pill.h}, text_style::LabelStrong, colors::PrimaryText);
    if (tk.Button(MakeActionId(L"tests/board"), Rect{x0 + w - 20 - buttonW, ry, buttonW, 34}, L"Skor tablosunu aç",
                  0xE8A7, false))
        OpenAddress(LeaderboardOpenAddress().c_str());
    if (hint)
        tk.DrawLabel(L"Listelenmek için bir test çalıştır.", Rect{x0 + 68, ry + 40, w - 88, 18}, text_style::Secondary,
                     colors::Amber);
    return y + h;
}

}  // namespace

float DrawTestsPage(PageContext& ctx) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const float top = ctx.content.y + 4;
    float y = DrawPageHeader(ctx, top, L"Testler", L"Soğutma karnesi ve kısa performans testleri");

    // Report image buttons at the right of the header, the toast under them.
    const Rect save{x0 + w - 150, top + 6, 150, 34};
    const Rect copy{save.x - 8 - 110, top + 6, 110, 34};
    if (tk.Button(MakeActionId(L"tests/copy"), copy, L"Kopyala", 0xE8C8, false)) ctx.actions->ExportReportImage(true);
    if (tk.Button(MakeActionId(L"tests/export"), save, L"Görseli kaydet", 0xE74E, false))
        ctx.actions->ExportReportImage(false);
    if (!ctx.toast.empty())
        tk.DrawLabel(ctx.toast, Rect{x0 + w - 400, top + 44, 400, 18}, text_style::Secondary, colors::PrimaryText,
                     kAlignTrailing);

    SectionHeading(tk, x0 + 4, y, L"SOĞUTMA KARNESİ");
    y = DrawReportCard(ctx, y + 26) + 24;

    // Performance tests: heading, the "run all" series, the paragraph.
    SectionHeading(tk, x0 + 4, y, L"PERFORMANS TESTLERİ");
    const bool running = ctx.bench && ctx.bench->running;
    static const std::vector<BenchKind> kNoQueue;
    const std::vector<BenchKind>& queue = ctx.series ? ctx.series->queue : kNoQueue;
    if (!running && !(ctx.series && ctx.series->active)) {
        if (tk.Button(MakeActionId(L"tests/runall"), Rect{x0 + w - 170, y - 10, 170, 30}, L"Tümünü test et", 0xE768,
                      false))
            ctx.actions->RunAllTests();
    } else if (!queue.empty()) {
        const std::wstring series =
            L"Tüm testler sırayla çalışıyor · " + std::to_wstring(queue.size()) + L" test daha sırada";
        tk.DrawLabel(series, Rect{x0 + w - 400, y - 1, 400, 18}, text_style::Caption, colors::Accent, kAlignTrailing);
    }
    y += 26;
    y += tk.DrawParagraph(TestsParagraph(ctx.settings->WarningTemp), x0 + 4, y, w - 8, text_style::Secondary,
                          colors::SecondaryText);
    y += 12;

    const std::vector<wchar_t>& drives = Records(ctx).testDrives;
    if (ctx.view) ctx.view->testsDriveIndex = ClampDriveIndex(ctx.view->testsDriveIndex, drives.size());
    const float cw = (w - kGap) / 2;
    const float ch = TestCardHeight(drives.size());
    const auto& cards = TestCards();
    for (size_t i = 0; i < cards.size(); ++i) {
        const float cx = x0 + static_cast<float>(i % 2) * (cw + kGap);
        const float cy = y + static_cast<float>(i / 2) * (ch + kGap);
        DrawTestCard(ctx, cards[i], Rect{cx, cy, cw, ch}, drives);
    }
    return DrawLeaderboard(ctx, y + 2 * (ch + kGap));
}

}  // namespace kalorix
