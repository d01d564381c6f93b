// The Settings page (page 4): edits the window's settings record in place; any
// change is saved and applied at the end of the pass. Also the advanced-sensor
// and PawnIO state, data sharing with its preview and deletion, remote
// monitoring (the metrics endpoint and its token), and the about paragraph.
#include <algorithm>
#include <string>

#include "store/sensor_log_files_win.h"
#include "inventory/inventory_win.h"
#include "metrics/token_win.h"
#include "sensors/text.h"
#include "ui/pages_win.h"
#include "ui/settings_model.h"
#include "ui/toolkit_win.h"

namespace kalorix {

namespace {

constexpr float kPad = 20.0f;          // horizontal padding inside a card
constexpr float kRowPad = 16.0f;       // vertical padding of a row
constexpr float kTitleHeight = 20.0f;  // style 4 line
constexpr float kMinRowHeight = 68.0f;
constexpr float kToggleW = 40.0f, kToggleH = 22.0f;
constexpr float kControlGap = 24.0f;   // between a description and its control
constexpr float kCardGap = 24.0f;
constexpr float kSliderHeight = 24.0f;
constexpr float kValueLabelWidth = 80.0f;
constexpr float kPawnIoButtonWidth = 150.0f;

// One row of a card: its texts, the room its control takes at the right and
// anything drawn under the description (the warning slider).
struct Row {
    std::wstring title;
    std::wstring description;
    float controlWidth = 0;
    float below = 0;
    float descWidth = 0, descHeight = 0, height = 0;
};

void Measure(DrawingToolkit& tk, Row& row, float w) {
    row.descWidth = std::max(0.0f, w - 2 * kPad - (row.controlWidth > 0 ? row.controlWidth + kControlGap : 0.0f));
    row.descHeight = tk.MeasureParagraph(row.description, row.descWidth, text_style::Secondary);
    const float text = kTitleHeight + (row.descHeight > 0 ? 4 + row.descHeight : 0.0f);
    row.height = std::max(kMinRowHeight, kRowPad + text + row.below + kRowPad);
}

float CardHeight(const std::vector<Row>& rows) {
    float h = 0;
    for (const Row& r : rows) h += r.height;
    return h;
}

// The card and the separators between its rows; returns the top of each row.
std::vector<float> DrawCardFrame(DrawingToolkit& tk, const std::vector<Row>& rows, float x0, float y, float w) {
    tk.Card(Rect{x0, y, w, CardHeight(rows)});
    std::vector<float> tops;
    float top = y;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) tk.FillRect(Rect{x0 + kPad, top, w - 2 * kPad, 1}, colors::Border);
        tops.push_back(top);
        top += rows[i].height;
    }
    return tops;
}

// Title and description; the text block is centred in the row unless something
// is drawn under it. Returns the bottom of the description.
float DrawRowText(DrawingToolkit& tk, const Row& row, float x0, float top, float titleWidth) {
    const float text = kTitleHeight + (row.descHeight > 0 ? 4 + row.descHeight : 0.0f);
    const float ty = row.below > 0 ? top + kRowPad : top + (row.height - text) / 2;
    tk.DrawLabel(row.title, Rect{x0 + kPad, ty, titleWidth, kTitleHeight}, text_style::BodyLarge,
                 colors::PrimaryText);
    if (row.descHeight > 0)
        tk.DrawParagraph(row.description, x0 + kPad, ty + kTitleHeight + 4, row.descWidth, text_style::Secondary,
                         colors::SecondaryText);
    return ty + text;
}

float TitleWidth(const Row& row, float w) {
    return std::max(0.0f, w - 2 * kPad - (row.controlWidth > 0 ? row.controlWidth + 12 : 0.0f));
}

float DrawHeading(DrawingToolkit& tk, const wchar_t* text, float x0, float y) {
    tk.DrawLabel(text, Rect{x0, y, 400, 16}, text_style::SectionHeading, colors::Muted);
    return y + 16 + 8;
}

Rect ToggleRect(float x0, float w, float top, float h) {
    return Rect{x0 + w - kPad - kToggleW, top + (h - kToggleH) / 2, kToggleW, kToggleH};
}

// ---- first card: sampling, chart, unit, smoothing, warning limit ----

float DrawGeneralCard(PageContext& ctx, float y, bool& changed) {
    DrawingToolkit& tk = *ctx.toolkit;
    Settings& s = *ctx.settings;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const IntChoices& intervals = IntervalChoices();
    const IntChoices& spans = SpanChoices();
    const std::vector<std::wstring>& units = UnitLabels();

    std::vector<Row> rows(5);
    const SettingRowText texts[5] = {IntervalRowText(), SpanRowText(), UnitRowText(), SmoothingRowText(),
                                     WarningRowText()};
    for (int i = 0; i < 5; ++i) {
        rows[i].title = texts[i].title;
        rows[i].description = texts[i].description;
    }
    rows[0].controlWidth = tk.SegmentedWidth(intervals.labels);
    rows[1].controlWidth = tk.SegmentedWidth(spans.labels);
    rows[2].controlWidth = tk.SegmentedWidth(units);
    rows[3].controlWidth = kToggleW;
    rows[4].controlWidth = kValueLabelWidth;
    rows[4].below = 14 + kSliderHeight + 2 + 16;
    for (Row& r : rows) Measure(tk, r, w);

    const std::vector<float> tops = DrawCardFrame(tk, rows, x0, y, w);
    const float right = x0 + w - kPad;
    for (int i = 0; i < 3; ++i) DrawRowText(tk, rows[i], x0, tops[i], TitleWidth(rows[i], w));

    int interval = ChoiceIndex(intervals, s.UpdateIntervalMs);
    if (tk.Segmented(MakeActionId(L"set/interval"), right, tops[0] + (rows[0].height - 36) / 2, intervals.labels,
                     interval, true)) {
        if (auto v = ChoiceValue(intervals, interval)) {
            s.UpdateIntervalMs = *v;
            changed = true;
        }
    }
    int span = ChoiceIndex(spans, s.HistorySeconds);
    if (tk.Segmented(MakeActionId(L"set/span"), right, tops[1] + (rows[1].height - 36) / 2, spans.labels, span,
                     true)) {
        if (auto v = ChoiceValue(spans, span)) {
            s.HistorySeconds = *v;
            changed = true;
        }
    }
    int unit = s.UseFahrenheit ? 1 : 0;
    if (tk.Segmented(MakeActionId(L"set/unit"), right, tops[2] + (rows[2].height - 36) / 2, units, unit, true)) {
        s.UseFahrenheit = unit == 1;
        changed = true;
    }

    DrawRowText(tk, rows[3], x0, tops[3], TitleWidth(rows[3], w));
    if (tk.Toggle(MakeActionId(L"set/smooth"), ToggleRect(x0, w, tops[3], rows[3].height), s.SmoothCpuTemp))
        changed = true;

    // Warning limit: the slider first, so the value label shows the dragged value.
    const Row& warn = rows[4];
    const float textBottom = tops[4] + kRowPad + kTitleHeight + (warn.descHeight > 0 ? 4 + warn.descHeight : 0.0f);
    const Rect slider{x0 + kPad + 8, textBottom + 14, w - 2 * kPad - 16, kSliderHeight};
    if (tk.Slider(MakeActionId(L"set/warn"), slider, s.WarningTemp)) changed = true;
    DrawRowText(tk, warn, x0, tops[4], TitleWidth(warn, w));
    tk.DrawLabel(std::to_wstring(s.WarningTemp) + L" °C",
                 Rect{right - kValueLabelWidth, tops[4] + kRowPad, kValueLabelWidth, kTitleHeight},
                 text_style::LabelStrong, colors::Red, kAlignTrailing);
    const float ly = slider.bottom() + 2;
    tk.DrawLabel(L"60 °C", Rect{slider.x - 8, ly, 60, 16}, text_style::Caption, colors::Muted);
    tk.DrawLabel(L"100 °C", Rect{slider.right() + 8 - 60, ly, 60, 16}, text_style::Caption, colors::Muted,
                 kAlignTrailing);
    return y + CardHeight(rows);
}

// ---- tray and window ----

float DrawTrayCard(PageContext& ctx, float y, bool& changed) {
    DrawingToolkit& tk = *ctx.toolkit;
    Settings& s = *ctx.settings;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const std::vector<TrayToggleRow>& specs = TrayToggleRows();

    y = DrawHeading(tk, L"SİSTEM TEPSİSİ VE PENCERE", x0, y);
    std::vector<Row> rows(specs.size());
    for (size_t i = 0; i < specs.size(); ++i) {
        rows[i].title = specs[i].title;
        rows[i].description = specs[i].description;
        rows[i].controlWidth = kToggleW;
        Measure(tk, rows[i], w);
    }
    const std::vector<float> tops = DrawCardFrame(tk, rows, x0, y, w);
    for (size_t i = 0; i < specs.size(); ++i) {
        DrawRowText(tk, rows[i], x0, tops[i], TitleWidth(rows[i], w));
        const Rect toggle = ToggleRect(x0, w, tops[i], rows[i].height);
        const ActionId id = MakeActionId(specs[i].action);
        if (specs[i].member) {
            if (tk.Toggle(id, toggle, s.*specs[i].member)) changed = true;
        } else {
            // Disabled while a change is on its way (schtasks can take seconds).
            bool on = ctx.autostart.enabled;
            if (tk.Toggle(id, toggle, on, !ctx.autostart.pending)) ctx.actions->SetStartWithWindows(on);
        }
    }
    return y + CardHeight(rows);
}

// ---- sensor log and the tray's temperature ----

constexpr float kFolderButtonWidth = 120.0f;

// A segmented choice right-aligned in its row; true when a click chose another index.
bool RowChoice(DrawingToolkit& tk, const wchar_t* action, const std::vector<std::wstring>& labels, float right,
               float top, float height, int& index) {
    return tk.Segmented(MakeActionId(action), right, top + (height - 36) / 2, labels, index, true);
}

float DrawSensorLogCard(PageContext& ctx, float y, bool& changed) {
    DrawingToolkit& tk = *ctx.toolkit;
    Settings& s = *ctx.settings;
    const SensorLogView& log = ctx.sensorLog;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const IntChoices& intervals = SensorLogIntervalChoices();
    const IntChoices& days = SensorLogDaysChoices();
    const WordChoices& formats = SensorLogFormatChoices();
    const WordChoices& sources = TraySourceChoices();

    y = DrawHeading(tk, kSensorLogHeading, x0, y);
    std::vector<Row> rows(5);
    const SettingRowText texts[5] = {SensorLogRowText(), SensorLogFormatRowText(), SensorLogIntervalRowText(),
                                     SensorLogDaysRowText(), TraySourceRowText()};
    for (int i = 0; i < 5; ++i) {
        rows[i].title = texts[i].title;
        rows[i].description = texts[i].description;
    }
    rows[0].description = SensorLogDescription(log);
    rows[0].controlWidth = kFolderButtonWidth + 16 + kToggleW;
    const float noteWidth = w - 2 * kPad;
    const float noteH = log.note.empty() ? 0.0f : tk.MeasureParagraph(log.note, noteWidth, text_style::Secondary);
    if (noteH > 0) rows[0].below = 6 + noteH;
    rows[1].controlWidth = tk.SegmentedWidth(formats.labels);
    rows[2].controlWidth = tk.SegmentedWidth(intervals.labels);
    rows[3].controlWidth = tk.SegmentedWidth(days.labels);
    rows[4].controlWidth = tk.SegmentedWidth(sources.labels);
    for (Row& r : rows) Measure(tk, r, w);

    const std::vector<float> tops = DrawCardFrame(tk, rows, x0, y, w);
    const float right = x0 + w - kPad;
    for (int i = 0; i < 5; ++i) DrawRowText(tk, rows[i], x0, tops[i], TitleWidth(rows[i], w));

    // The switch and the folder button sit level with the title when a note follows.
    const float controlsTop = rows[0].below > 0 ? tops[0] + kRowPad - 6 : tops[0];
    const float controlsHeight = rows[0].below > 0 ? 34.0f : rows[0].height;
    if (tk.Toggle(MakeActionId(L"set/sensorlog"), ToggleRect(x0, w, controlsTop, controlsHeight), s.SensorLogEnabled))
        changed = true;
    const Rect folderButton{right - kToggleW - 16 - kFolderButtonWidth, controlsTop + (controlsHeight - 34) / 2,
                            kFolderButtonWidth, 34};
    if (tk.Button(MakeActionId(L"set/logfolder"), folderButton, L"Klasörü aç", 0, false))
        OpenSensorLogFolder(log.folder);
    if (noteH > 0) {
        const float noteTop = tops[0] + rows[0].height - kRowPad - noteH;
        tk.DrawParagraph(log.note, x0 + kPad, noteTop, noteWidth, text_style::Secondary, colors::Red);
    }

    int format = WordChoiceIndex(formats, s.SensorLogFormat);
    if (RowChoice(tk, L"set/logformat", formats.labels, right, tops[1], rows[1].height, format) && format >= 0) {
        s.SensorLogFormat = formats.values[static_cast<size_t>(format)];
        changed = true;
    }
    int interval = ChoiceIndex(intervals, s.SensorLogIntervalS);
    if (RowChoice(tk, L"set/loginterval", intervals.labels, right, tops[2], rows[2].height, interval)) {
        if (auto v = ChoiceValue(intervals, interval)) {
            s.SensorLogIntervalS = *v;
            changed = true;
        }
    }
    int keep = ChoiceIndex(days, s.SensorLogDays);
    if (RowChoice(tk, L"set/logdays", days.labels, right, tops[3], rows[3].height, keep)) {
        if (auto v = ChoiceValue(days, keep)) {
            s.SensorLogDays = *v;
            changed = true;
        }
    }
    int source = WordChoiceIndex(sources, s.TrayTemperature);
    if (RowChoice(tk, L"set/traysource", sources.labels, right, tops[4], rows[4].height, source) && source >= 0) {
        s.TrayTemperature = sources.values[static_cast<size_t>(source)];
        changed = true;
    }
    return y + CardHeight(rows);
}

// ---- sensors: advanced sensors and PawnIO ----

float DrawSensorsCard(PageContext& ctx, float y, std::optional<bool>& advancedRequest) {
    DrawingToolkit& tk = *ctx.toolkit;
    const SensorSnapshot& snap = *ctx.snapshot;
    const float x0 = ctx.x0(), w = ctx.innerWidth();

    y = DrawHeading(tk, L"SENSÖRLER", x0, y);
    const PawnIoRowText pawn = PawnIoRow(snap);
    std::vector<Row> rows(2);
    rows[0].title = kAdvancedSensorsTitle;
    rows[0].description = AdvancedSensorsDescription(snap.elevated, ctx.settings->AdvancedSensors);
    rows[0].controlWidth = kToggleW;
    rows[1].title = kPawnIoTitle;
    rows[1].description = pawn.description;
    rows[1].controlWidth = pawn.offerDownload ? kPawnIoButtonWidth : 0.0f;
    for (Row& r : rows) Measure(tk, r, w);

    const std::vector<float> tops = DrawCardFrame(tk, rows, x0, y, w);
    DrawRowText(tk, rows[0], x0, tops[0], TitleWidth(rows[0], w));
    bool advanced = ctx.settings->AdvancedSensors;
    if (tk.Toggle(MakeActionId(L"set/advanced"), ToggleRect(x0, w, tops[0], rows[0].height), advanced))
        advancedRequest = advanced;

    DrawRowText(tk, rows[1], x0, tops[1], TitleWidth(rows[1], w));
    if (pawn.offerDownload) {
        const Rect button{x0 + w - kPad - kPawnIoButtonWidth, tops[1] + (rows[1].height - 34) / 2,
                          kPawnIoButtonWidth, 34};
        if (tk.Button(MakeActionId(L"set/pawnio"), button, L"PawnIO'yu indir", 0, false))
            OpenAddress(kPawnIoDownloadAddress);
    }
    return y + CardHeight(rows);
}

// ---- data sharing ----

float DrawSharingCard(PageContext& ctx, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    Settings& s = *ctx.settings;
    const TelemetryView& tel = ctx.telemetry;
    PageViewState& view = *ctx.view;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const float innerW = w - 2 * kPad;

    y = DrawHeading(tk, L"VERİ PAYLAŞIMI", x0, y);

    Row top;
    top.title = kShareTitle;
    top.description = ShareDescription(tel.nickname);
    top.controlWidth = kToggleW;
    top.below = 10;  // the status line follows closely
    Measure(tk, top, w);
    top.height = kRowPad + kTitleHeight + 4 + top.descHeight + top.below;

    // Heights of this pass; a click below changes what the next pass shows
    // (every action here requests a repaint).
    const std::wstring statusBefore = ShareStatusLine(s.ShareData, tel, ToLocalTime(tel.lastSentAt));
    const float statusH = std::max(16.0f, tk.MeasureParagraph(statusBefore, innerW, text_style::Secondary));
    const float noteH = tel.statusText.empty() ? 0.0f : tk.MeasureParagraph(tel.statusText, innerW, text_style::Secondary);
    const bool previewOpen = view.settingsPreviewVisible;
    const float panelTextW = innerW - 28;
    std::wstring previewText = view.settingsPreviewText;  // without the document's final line end
    while (!previewText.empty() && (previewText.back() == L'\n' || previewText.back() == L'\r')) previewText.pop_back();
    const float previewH = previewOpen ? tk.MeasureParagraph(previewText, panelTextW, text_style::Mono) + 28 : 0.0f;
    const float h = top.height + statusH + (noteH > 0 ? 4 + noteH : 0.0f) + 14 + 34 +
                    (previewOpen ? 14 + previewH : 0.0f) + 20;
    tk.Card(Rect{x0, y, w, h});

    bool share = s.ShareData;
    if (tk.Toggle(MakeActionId(L"set/share"), Rect{x0 + w - kPad - kToggleW, y + kRowPad + (kTitleHeight - kToggleH) / 2, kToggleW, kToggleH},
                  share))
        ctx.actions->SetShareData(share);
    const std::wstring status = ShareStatusLine(s.ShareData, tel, ToLocalTime(tel.lastSentAt));
    DrawRowText(tk, top, x0, y, TitleWidth(top, w));

    float cy = y + top.height;
    tk.DrawParagraph(status, x0 + kPad, cy, innerW, text_style::Secondary, colors::SecondaryText);
    cy += statusH;
    if (noteH > 0) {
        tk.DrawParagraph(tel.statusText, x0 + kPad, cy + 4, innerW, text_style::Secondary,
                         StatusTextIsConfirmation(tel.statusText) ? colors::Green : colors::Red);
        cy += 4 + noteH;
    }
    cy += 14;

    const Rect previewButton{x0 + kPad, cy, 210, 34};
    const Rect deleteButton{previewButton.right() + 10, cy, 200, 34};
    const Rect privacyButton{deleteButton.right() + 10, cy, 130, 34};
    if (tk.Button(MakeActionId(L"set/preview"), previewButton, PreviewButtonLabel(previewOpen), 0, false)) {
        view.settingsPreviewVisible = !view.settingsPreviewVisible;
        if (view.settingsPreviewVisible) view.settingsPreviewText = ctx.actions->BuildReportPreview();
    }
    if (tk.Button(MakeActionId(L"set/delete"), deleteButton, L"Verilerimi sunucudan sil", 0, false))
        ctx.actions->DeleteSharedData();
    if (tk.Button(MakeActionId(L"set/privacy"), privacyButton, L"Gizlilik", 0, false))
        OpenAddress(PrivacyPageAddress().c_str());
    cy += 34;

    if (previewOpen && view.settingsPreviewVisible) {
        cy += 14;
        const Rect panel{x0 + kPad, cy, innerW, previewH};
        tk.FillRounded(panel, 8, colors::WindowBackground);
        tk.Outline(panel, 8, colors::Border, 1);
        if (ctx.visible(panel.y, panel.bottom()))
            tk.DrawParagraph(previewText, panel.x + 14, panel.y + 14, panelTextW, text_style::Mono,
                             colors::SecondaryText);
    }
    return y + h;
}

// ---- remote monitoring: the metrics endpoint ----

Rect TitleToggleRect(float x0, float w, float top) {
    return Rect{x0 + w - kPad - kToggleW, top + kRowPad + (kTitleHeight - kToggleH) / 2, kToggleW, kToggleH};
}

float DrawRemoteCard(PageContext& ctx, float y, bool& changed) {
    DrawingToolkit& tk = *ctx.toolkit;
    Settings& s = *ctx.settings;
    PageViewState& view = *ctx.view;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    const float innerW = w - 2 * kPad;

    y = DrawHeading(tk, kRemoteHeading, x0, y);
    // What this pass shows; a click below changes the next pass (every change repaints).
    const MetricsStatusText status = MetricsStatusLine(s.MetricsEnabled, ctx.metrics, s.HidePersonalInfo);
    const std::wstring token = Utf8ToWide(view.metricsTokenShown);
    constexpr float kTokenRowH = 34, kCopyW = 110, kCaptionH = 16;

    std::vector<Row> rows(2);
    rows[0].title = kMetricsTitle;
    rows[0].description = MetricsDescription();
    rows[0].controlWidth = kToggleW;
    Measure(tk, rows[0], w);
    const float statusH = tk.MeasureParagraph(status.text, rows[0].descWidth, text_style::Secondary);
    rows[0].below = 8 + statusH;
    Measure(tk, rows[0], w);
    rows[1].title = kMetricsAllTitle;
    rows[1].description = MetricsListenAllDescription();
    rows[1].controlWidth = kToggleW;
    rows[1].below = token.empty() ? 0.0f : 12 + kCaptionH + 6 + kTokenRowH;
    Measure(tk, rows[1], w);

    const std::vector<float> tops = DrawCardFrame(tk, rows, x0, y, w);
    const float statusY = DrawRowText(tk, rows[0], x0, tops[0], TitleWidth(rows[0], w)) + 8;
    tk.DrawParagraph(status.text, x0 + kPad, statusY, rows[0].descWidth, text_style::Secondary,
                     status.problem ? colors::Red : colors::SecondaryText);
    bool enabled = s.MetricsEnabled;
    if (tk.Toggle(MakeActionId(L"set/metrics"), TitleToggleRect(x0, w, tops[0]), enabled)) {
        s.MetricsEnabled = enabled;
        changed = true;
    }

    const float textBottom = DrawRowText(tk, rows[1], x0, tops[1], TitleWidth(rows[1], w));
    bool all = s.MetricsListenAll;
    if (tk.Toggle(MakeActionId(L"set/metricsall"), TitleToggleRect(x0, w, tops[1]), all, s.MetricsEnabled)) {
        if (!all) {
            s.MetricsListenAll = false;
            s.MetricsToken.clear();
            view.metricsTokenShown.clear();
            changed = true;
        } else if (const auto fresh = NewMetricsToken()) {  // no token, no opening to the network
            s.MetricsListenAll = true;
            s.MetricsToken = *fresh;
            view.metricsTokenShown = *fresh;
            changed = true;
        }
    }
    if (!token.empty()) {
        const float cy = textBottom + 12;
        tk.DrawLabel(kMetricsTokenCaption, Rect{x0 + kPad, cy, innerW, kCaptionH}, text_style::Caption,
                     colors::SecondaryText);
        const Rect box{x0 + kPad, cy + kCaptionH + 6, innerW - kCopyW - 10, kTokenRowH};
        tk.FillRounded(box, 8, colors::WindowBackground);
        tk.Outline(box, 8, colors::Border, 1);
        tk.DrawLabel(token, Rect{box.x + 12, box.y, box.w - 24, box.h}, text_style::Mono, colors::PrimaryText);
        if (tk.Button(MakeActionId(L"set/metricstoken"), Rect{box.right() + 10, box.y, kCopyW, kTokenRowH},
                      kMetricsCopyLabel, 0, false))
            CopyTextToClipboard(static_cast<HWND>(ctx.window), token);
    }
    return y + CardHeight(rows);
}

float DrawAbout(PageContext& ctx, float y) {
    DrawingToolkit& tk = *ctx.toolkit;
    const float x0 = ctx.x0(), w = ctx.innerWidth();
    y += tk.DrawParagraph(AboutText(), x0, y, w, text_style::Secondary, colors::SecondaryText);
    tk.DrawLabel(kVersionLabel, Rect{x0, y + 8, w, 16}, text_style::Caption, colors::Muted);
    return y + 8 + 16;
}

}  // namespace

float DrawSettingsPage(PageContext& ctx) {
    bool changed = false;
    std::optional<bool> advancedRequest;

    float y = DrawPageHeader(ctx, ctx.content.y + 4, L"Ayarlar", kSettingsSubtitle);
    y = DrawGeneralCard(ctx, y, changed) + kCardGap;
    y = DrawTrayCard(ctx, y, changed) + kCardGap;
    y = DrawSensorLogCard(ctx, y, changed) + kCardGap;
    y = DrawSensorsCard(ctx, y, advancedRequest) + kCardGap;
    y = DrawSharingCard(ctx, y) + kCardGap;
    y = DrawRemoteCard(ctx, y, changed) + kCardGap;
    y = DrawAbout(ctx, y);

    if (changed) ctx.actions->ApplySettings();
    // Last: turning the advanced sensors on may relaunch the program elevated
    // and destroy this window.
    if (advancedRequest) ctx.actions->SetAdvancedSensors(*advancedRequest);
    return y;
}

}  // namespace kalorix
