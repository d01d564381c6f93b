// The Sensors page (page 1): every sensor of the snapshot with value, minimum
// and maximum, grouped by device, with a filter and the min/max reset. A click
// on a row opens that sensor's last 30 minutes as a plot under it; a second
// click (or Escape) closes it.
#include <algorithm>

#include "sensors/format.h"
#include "ui/page_models.h"
#include "ui/pages_win.h"
#include "ui/theme.h"
#include "ui/toolkit_win.h"
#include "ui/widget_behavior.h"

namespace kalorix {

namespace {

constexpr float kRowHeight = 32.0f;
constexpr float kTypeWidth = 110.0f, kValueWidth = 120.0f, kMinWidth = 110.0f, kMaxWidth = 110.0f;
constexpr float kPlotHeight = 262.0f;  // the open plot under its row: caption and chart

bool PlotOpen(const PageContext& ctx, const SensorEntry& e) { return ctx.view->sensorsPlotId == e.id; }

void DrawRow(PageContext& ctx, const SensorEntry& e, float x0, float w, float top) {
    DrawingToolkit& tk = *ctx.toolkit;
    const Settings& settings = *ctx.settings;
    const ActionId id = MakeActionId(L"row/" + e.id);
    tk.AddRegion(id, Rect{x0, top, w, kRowHeight}, true);
    if (ctx.ui && ButtonBehavior(*ctx.ui, id)) {  // the window draws the page again with the plot's points
        std::wstring& open = ctx.view->sensorsPlotId;
        open = open == e.id ? std::wstring() : e.id;
    }
    if (tk.IsHovered(id) || PlotOpen(ctx, e)) tk.FillRect(Rect{x0 + 1, top, w - 2, kRowHeight}, colors::Selection);
    tk.FillRect(Rect{x0 + 20, top, w - 40, 1}, colors::Border);

    const bool temperature = e.kind == SensorKind::Temperature;
    const int level = temperature ? TempLevel(e.value, settings.WarningTemp) : 0;
    const float nameWidth = w - 40 - kTypeWidth - kValueWidth - kMinWidth - kMaxWidth;
    float x = x0 + 20;
    float nameX = x;
    if (temperature) {
        tk.FillCircle(x0 + 23, top + 16, 3, LevelColorF(level));
        nameX += 14;
    }
    tk.DrawLabel(e.label, Rect{nameX, top, std::max(0.0f, nameWidth - 8 - (nameX - x)), kRowHeight}, text_style::Label,
                 colors::PrimaryText);
    x += nameWidth;
    tk.DrawLabel(SensorTypeLabel(e.kind), Rect{x, top, kTypeWidth, kRowHeight}, text_style::Secondary,
                 colors::SecondaryText);
    x += kTypeWidth;
    const bool f = settings.UseFahrenheit;
    tk.DrawLabel(FormatSensorValue(e.kind, e.value, f), Rect{x, top, kValueWidth, kRowHeight}, text_style::LabelStrong,
                 temperature && level == 2 ? colors::Red : colors::PrimaryText, kAlignTrailing);
    x += kValueWidth;
    tk.DrawLabel(FormatSensorValue(e.kind, e.min, f), Rect{x, top, kMinWidth, kRowHeight}, text_style::Label,
                 colors::SecondaryText, kAlignTrailing);
    x += kMinWidth;
    tk.DrawLabel(FormatSensorValue(e.kind, e.max, f), Rect{x, top, kMaxWidth, kRowHeight}, text_style::Label,
                 colors::SecondaryText, kAlignTrailing);
}

// The plot of an open row: what it shows in one line, then the chart.
void DrawPlot(PageContext& ctx, const SensorEntry& e, float x0, float w, float top) {
    DrawingToolkit& tk = *ctx.toolkit;
    const bool f = ctx.settings->UseFahrenheit;
    static const std::vector<SensorPlotPoint> kNone;
    const std::vector<SensorPlotPoint>& points = ctx.sensorPlot ? *ctx.sensorPlot : kNone;
    tk.FillRect(Rect{x0 + 1, top, w - 2, kPlotHeight}, colors::WindowBackground);
    tk.DrawLabel(L"Son 30 dakika · " + PlotUnit(e.kind, f) + (points.empty() ? L" · henüz ölçüm yok" : L""),
                 Rect{x0 + 20, top + 10, w - 40, 18}, text_style::Caption, colors::SecondaryText);
    const Rect chart{x0 + 12, top + 32, w - 24, kPlotHeight - 40};
    const SensorPlotGeometry g =
        LayoutSensorPlot(chart, e.kind, points, ctx.snapshot->updatedAt, kSensorPlotSpan, f);
    const D2D1_COLOR_F color = e.kind == SensorKind::Temperature
                                   ? LevelColorF(TempLevel(e.value, ctx.settings->WarningTemp))
                                   : colors::Accent;
    tk.SensorPlot(chart, g, color);
}

void DrawGroupCard(PageContext& ctx, const SensorGroup& group, float x0, float w, float y, float h) {
    DrawingToolkit& tk = *ctx.toolkit;
    tk.Card(Rect{x0, y, w, h});
    tk.DrawLabel(group.device, Rect{x0 + 20, y + 14, w - 40, 22}, text_style::CardTitle, colors::PrimaryText);

    const float nameWidth = w - 40 - kTypeWidth - kValueWidth - kMinWidth - kMaxWidth;
    float x = x0 + 20;
    const float hy = y + 46;
    tk.DrawLabel(L"SENSÖR", Rect{x, hy, nameWidth, 20}, text_style::SectionHeading, colors::Muted);
    x += nameWidth;
    tk.DrawLabel(L"TÜR", Rect{x, hy, kTypeWidth, 20}, text_style::SectionHeading, colors::Muted);
    x += kTypeWidth;
    tk.DrawLabel(L"DEĞER", Rect{x, hy, kValueWidth, 20}, text_style::SectionHeading, colors::Muted, kAlignTrailing);
    x += kValueWidth;
    tk.DrawLabel(L"EN DÜŞÜK", Rect{x, hy, kMinWidth, 20}, text_style::SectionHeading, colors::Muted, kAlignTrailing);
    x += kMinWidth;
    tk.DrawLabel(L"EN YÜKSEK", Rect{x, hy, kMaxWidth, 20}, text_style::SectionHeading, colors::Muted, kAlignTrailing);

    float top = y + 70;
    for (const SensorEntry* entry : group.rows) {
        const bool open = PlotOpen(ctx, *entry);  // before the row: a click there may change it
        if (ctx.visible(top, top + kRowHeight)) DrawRow(ctx, *entry, x0, w, top);
        top += kRowHeight;
        if (open) {
            if (ctx.visible(top, top + kPlotHeight)) DrawPlot(ctx, *entry, x0, w, top);
            top += kPlotHeight;
        }
    }
}

float GroupHeight(const PageContext& ctx, const SensorGroup& group) {
    float h = static_cast<float>(group.rows.size()) * kRowHeight + 78;
    for (const SensorEntry* entry : group.rows)
        if (PlotOpen(ctx, *entry)) h += kPlotHeight;
    return h;
}

}  // namespace

float DrawSensorsPage(PageContext& ctx) {
    DrawingToolkit& tk = *ctx.toolkit;
    const SensorSnapshot& snapshot = *ctx.snapshot;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const float top = ctx.content.y + 4;

    float y = DrawPageHeader(ctx, top, L"Sensörler", SensorsSubtitle(snapshot.sensors.size()));
    if (tk.Button(MakeActionId(L"sensors/reset"), Rect{x0 + w - 170, ctx.content.y + 10, 170, 36},
                  L"Min / Maks sıfırla", 0xE72C, false))
        ctx.actions->ResetMinMax();

    int& filter = ctx.view->sensorsFilter;
    if (filter < 0 || filter >= kSensorFilterCount) filter = 0;
    const auto& labels = SensorFilterLabels();
    const std::vector<std::wstring> options(labels.begin(), labels.end());
    tk.Segmented(MakeActionId(L"sensors/filter"), x0, y, options, filter, false);
    y += 54;

    const std::vector<SensorGroup> groups = GroupSensors(snapshot.sensors, filter);
    if (groups.empty()) {
        tk.DrawLabel(L"Bu filtreye uyan sensör yok.", Rect{x0, y, w, 24}, text_style::Label, colors::SecondaryText);
        return y + 24;
    }
    for (const SensorGroup& group : groups) {
        const float h = GroupHeight(ctx, group);
        if (ctx.visible(y, y + h)) DrawGroupCard(ctx, group, x0, w, y, h);
        y += h + 14;
    }
    return y;
}

}  // namespace kalorix
