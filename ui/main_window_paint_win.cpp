// MainWindow: the paint pass (page, sidebar, caption buttons, first-test
// prompt) and the test build's frame report.
#include "ui/main_window_win.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "base/log.h"
#include "bench/drives_win.h"
#include "bench/protocol.h"
#include "metrics/metrics_server_win.h"
#include "sensors/format.h"
#include "sensors/text.h"
#include "ui/frame_report.h"
#include "store/usage_history.h"
#include "ui/pages_win.h"
#include "ui/tests_model.h"

namespace kalorix {

namespace {

struct NavEntry {
    const wchar_t* key;  // stable part of the action id
    const wchar_t* label;
    wchar_t glyph;
};
constexpr NavEntry kNavEntries[kPageCount] = {
    {L"overview", L"Genel Bakış", 0xE80F}, {L"sensors", L"Sensörler", 0xE9D9}, {L"hardware", L"Donanım", 0xE950},
    {L"tests", L"Testler", 0xEC4A},        {L"settings", L"Ayarlar", 0xE713},
};

constexpr wchar_t kPromptTitle[] =
    L"Hızlı bir şekilde işlemci, bellek (RAM), ekran kartı ve SSD'ni test etmek ister misin?";
constexpr wchar_t kPromptBody[] =
    L"Yaklaşık 1,5 dakika sürer. Testler bilgisayarı uzun süre zorlamaz: kısa atışlarla çalışır, aralarda "
    L"soğuma molası verir ve sıcaklık sınırı aşılırsa kendiliğinden durur. İstediğin an durdurabilirsin; "
    L"sonuçlar Testler sayfasında görünür.";

ActionId NavId(int page) { return MakeActionId(std::wstring(L"nav/") + kNavEntries[page].key); }

std::wstring TwoDigits(int v) {
    wchar_t buffer[8];
    swprintf(buffer, 8, L"%02d", v);
    return buffer;
}

}  // namespace

// ---- passes ----------------------------------------------------------------
//
// A full pass draws the whole window and handles the pointer and keys; the
// frame's display list is kept (presented_). When a snapshot arrives, a
// recording pass notes the next frame without drawing; only the areas whose
// items changed are invalidated, and the paint that follows redraws just those
// (partial pass). Anything else that asks for a repaint gets a full pass.

void MainWindow::paintPassInto(DrawingToolkit& target) {
    if (engine_) engine_->copySnapshot(snapshot_);
    painting_ = &target;
    fullPass();
    painting_ = &toolkit_;
}

void MainWindow::paintPass(const std::vector<Rect>& updateAreas) {
    if (fullRepaint_ || presented_.empty() || updateAreas.empty()) fullPass();
    else partialPass(updateAreas);
    ++frames_;
    if (hooks_.frameReport) reportFrame(toolkit_);
}

void MainWindow::fullPass() {
    DrawingToolkit& tk = *painting_;
    if (!tk.BeginFrame()) return;
    tk.SetInteraction(&interaction_);
    drawFrameContent(tk, true);
    FinishPass(interaction_);
    if (&tk == &toolkit_) {
        presented_ = tk.items();
        fullRepaint_ = false;
    }
    finishFrame(tk);
}

void MainWindow::partialPass(const std::vector<Rect>& areas) {
    DrawingToolkit& tk = toolkit_;
    if (!tk.BeginFrame()) return;
    tk.SetInteraction(&interaction_, false);
    tk.SetCollectItems(false);
    for (const Rect& area : areas) {
        tk.PushClip(area);
        tk.SetCull(area);
        drawFrameContent(tk, false, &area);
        tk.PopClip();
    }
    tk.SetCull(std::nullopt);
    tk.SetCollectItems(true);
    tk.SetInteraction(&interaction_);
    presented_ = pending_;
    finishFrame(tk);
}

void MainWindow::finishFrame(DrawingToolkit& tk) {
    const HRESULT presented = tk.EndFrame();
    if (presented == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        // The device was lost: the toolkit dropped its target; draw again at once
        // on a new one instead of waiting for the next snapshot.
        Log(LogLevel::Warning, "window", "render target lost (D2DERR_RECREATE_TARGET), drawing again");
        repaint();
    } else if (FAILED(presented)) {
        LogHResult("window", "EndDraw", presented);
    }
}

// A new snapshot: notes the next frame without drawing and invalidates only
// what differs from the frame on screen (everything when its structure changed).
void MainWindow::invalidateChanged() {
    if (!visibleNotMinimized()) return;
    if (fullRepaint_ || presented_.empty() || !toolkit_.hasTarget()) return repaint();
    toolkit_.BeginRecord();
    toolkit_.SetInteraction(&interaction_, false);
    drawFrameContent(toolkit_, false);
    toolkit_.SetInteraction(&interaction_);
    toolkit_.EndRecord();
    const std::optional<std::vector<Rect>> areas = ChangedAreas(presented_, toolkit_.items());
    if (!areas) return repaint();
    pending_ = toolkit_.items();
    if (areas->empty()) presented_ = pending_;  // nothing on screen changes
    const float k = toolkit_.dpi() / 96.0f;
    for (const Rect& a : *areas) {
        const RECT r{static_cast<LONG>(std::floor(a.x * k)) - 1, static_cast<LONG>(std::floor(a.y * k)) - 1,
                     static_cast<LONG>(std::ceil(a.right() * k)) + 1, static_cast<LONG>(std::ceil(a.bottom() * k)) + 1};
        InvalidateRect(hwnd_, &r, FALSE);
    }
}

// Everything a frame shows. interactive: the full pass, which also keeps the
// page's height and scroll offset in bounds. area: the part being redrawn (its
// background is filled instead of clearing the whole target, which costs as
// much as the whole window in a software renderer even when clipped).
void MainWindow::drawFrameContent(DrawingToolkit& tk, bool interactive, const Rect* area) {
    const D2D1_SIZE_F size = tk.size();
    const float width = size.width, height = size.height;
    if (area) tk.FillRect(*area, colors::WindowBackground);
    else tk.Clear(colors::WindowBackground);
    tk.SetRegionOffset(0);
    tk.SetRegionClip(kTitleBarHeight, height);

    const bool ready = snapshot_.valid;
    const Rect content{kSidebarWidth, kTitleBarHeight, width - kSidebarWidth, height - kTitleBarHeight};
    if (ready) {
        PageContext context = makePageContext(tk, content);
        const int drawnPage = page_;
        const std::wstring plotBefore = view_.sensorsPlotId;
        tk.PushClip(content);
        tk.SetTranslation(0, -context.scroll);
        tk.SetRegionOffset(-context.scroll);
        const float bottom = drawPage(context);
        if (view_.sensorsPlotId != plotBefore) repaint();  // a plot opened or closed: its points and room next pass
        tk.SetRegionOffset(0);
        tk.ResetTransform();
        tk.PopClip();

        const float visible = height - kTitleBarHeight;
        if (interactive) {
            contentHeight_[drawnPage] = bottom - kTitleBarHeight + 30.0f;
            const float maximum = MaxScroll(contentHeight_[drawnPage], visible);
            if (scroll_[drawnPage] > maximum) {
                scroll_[drawnPage] = maximum;
                repaint();
            }
        }
        if (drawnPage == page_) {
            const ScrollThumb thumb = ScrollBarThumb(scroll_[drawnPage], contentHeight_[drawnPage], visible);
            if (thumb.visible) tk.FillRounded(Rect{width - 8, thumb.top, 4, thumb.length}, 2, colors::ScrollThumb);
        }
    } else {
        drawStartingPlaceholder(content);
    }

    drawSidebar(height, ready);
    drawTitleButtons(width);
    if (ready && !settings_.FirstTestOffered) drawFirstTestPrompt(width, height);
}

float MainWindow::drawPage(PageContext& context) {
    switch (page_) {
        case kPageSensors: return DrawSensorsPage(context);
        case kPageHardware: return DrawHardwarePage(context);
        case kPageTests: return DrawTestsPage(context);
        case kPageSettings: return DrawSettingsPage(context);
        default: return DrawOverviewPage(context);
    }
}

void MainWindow::drawStartingPlaceholder(const Rect& content) {
    DrawingToolkit& tk = *painting_;
    const float centreY = content.y + content.h / 2;
    tk.DrawBitmap(kAppIconPng, Rect{content.x + (content.w - 72) / 2, centreY - 70, 72, 72});
    tk.DrawLabel(L"Sensörler başlatılıyor…", Rect{content.x, centreY + 16, content.w, 20}, text_style::Secondary,
                 colors::SecondaryText, kAlignCenter);
}

void MainWindow::drawSidebar(float height, bool ready) {
    DrawingToolkit& tk = *painting_;
    tk.SetRegionClip(kTitleBarHeight, height);
    tk.FillRect(Rect{0, 0, kSidebarWidth, height}, colors::Sidebar);
    tk.FillRect(Rect{kSidebarWidth - 1, 0, 1, height}, colors::Border);

    const float bannerWidth = tk.BitmapWidthForHeight(kBannerResource, 30);
    if (bannerWidth > 0) tk.DrawBitmap(kBannerResource, Rect{28, 22, bannerWidth, 30});
    else tk.DrawLabel(L"Kalorix", Rect{28, 22, 180, 30}, text_style::Headline, colors::PrimaryText);
    tk.DrawLabel(L"Sıcaklık ve donanım izleyici", Rect{30, 56, 190, 16}, text_style::Caption, colors::SecondaryText);
    tk.DrawLabel(L"MENÜ", Rect{28, 96, 100, 16}, text_style::SectionHeading, colors::Muted);

    for (int i = 0; i < kPageCount; ++i) {
        const float top = 116.0f + 44.0f * static_cast<float>(i);
        const ActionId id = NavId(i);
        const Rect region{14, top, 204, 40};
        tk.AddRegion(id, region, true);
        const bool selected = page_ == i;
        const bool hovered = tk.IsHovered(id);
        if (selected) {
            tk.FillRounded(Rect{14, top, 204, 40}, 8, colors::Selection);
            tk.FillRounded(Rect{14, top + 12, 3, 16}, 1.5f, colors::Accent);
        } else if (hovered) {
            tk.FillRounded(Rect{14, top, 204, 40}, 8, colors::Panel);
        }
        const D2D1_COLOR_F color = selected || hovered ? colors::PrimaryText : colors::SecondaryText;
        tk.DrawGlyph(kNavEntries[i].glyph, Rect{28, top, 20, 40}, text_style::IconNav, color);
        tk.DrawLabel(kNavEntries[i].label, Rect{60, top, 154, 40},
                     selected ? text_style::LabelStrong : text_style::Label, color);
        if (tk.IsClicked(id)) ShowPage(i);
    }

    const float top = height - 94;
    tk.Card(Rect{14, top, 204, 78});
    tk.FillCircle(32, top + 22, 3.5f, ready ? colors::Green : colors::Muted);
    tk.DrawLabel(ready ? L"Canlı izleniyor" : L"Başlatılıyor", Rect{44, top + 12, 168, 20}, text_style::LabelStrong,
                 colors::PrimaryText);
    if (ready) {
        const LocalTime& t = snapshot_.localTime;
        tk.DrawLabel(L"Son güncelleme " + TwoDigits(t.hour) + L":" + TwoDigits(t.minute) + L":" + TwoDigits(t.second),
                     Rect{44, top + 34, 168, 16}, text_style::Caption, colors::SecondaryText);
        tk.DrawLabel(L"Açık kalma " + FormatUptime(GetTickCount64()), Rect{44, top + 52, 168, 16},
                     text_style::Caption, colors::SecondaryText);
    }
}

void MainWindow::drawTitleButtons(float width) {
    DrawingToolkit& tk = *painting_;
    const bool maximized = hwnd_ && IsZoomed(hwnd_);
    const wchar_t glyphs[3] = {0xE921, static_cast<wchar_t>(maximized ? 0xE923 : 0xE922), 0xE8BB};
    const CaptionButton buttons[3] = {CaptionButton::Minimize, CaptionButton::Maximize, CaptionButton::Close};
    for (int i = 0; i < 3; ++i) {
        const CaptionButton button = buttons[i];
        const Rect r{width - 3 * kCaptionButtonWidth + kCaptionButtonWidth * static_cast<float>(i), 0,
                     kCaptionButtonWidth, kTitleBarHeight};
        const bool over = hoverCaption_ == button;
        const bool active = over || pressCaption_ == button;
        const bool close = button == CaptionButton::Close;
        if (active) tk.FillRect(r, close ? colors::CloseRed : colors::Selection);
        D2D1_COLOR_F color = colors::SecondaryText;
        if (over) color = close ? colors::White : colors::PrimaryText;
        tk.DrawGlyph(glyphs[i], r, text_style::IconCaption, color);
    }
}

void MainWindow::drawFirstTestPrompt(float width, float height) {
    DrawingToolkit& tk = *painting_;
    tk.SetRegionClip(0, height);
    tk.FillRect(Rect{0, 0, width, height}, colors::Overlay);
    tk.AddRegion(MakeActionId(L"prompt/block"), Rect{0, 0, width, height}, false);

    const float panelW = std::min(width - 48, 500.0f);
    const float textW = panelW - 56;
    const float titleH = tk.MeasureParagraph(kPromptTitle, textW, text_style::CardTitle);
    const float bodyH = tk.MeasureParagraph(kPromptBody, textW, text_style::Secondary);
    const float panelH = bodyH + titleH + 90 + 10 + 26 + 36 + 28;
    const float left = std::round((width - panelW) / 2), top = std::round((height - panelH) / 2);
    const Rect panel{left, top, panelW, panelH};
    tk.FillRounded(panel, 14, colors::Panel);
    tk.Outline(panel, 14, colors::Border, 1);
    tk.Badge(Rect{left + 28, top + 28, 44, 44}, 0xEC4A, colors::Accent, palette::kBadgeAlpha, text_style::IconNav);
    float y = top + 28 + 62;
    y += tk.DrawParagraph(kPromptTitle, left + 28, y, textW, text_style::CardTitle, colors::PrimaryText);
    y += 10;
    y += tk.DrawParagraph(kPromptBody, left + 28, y, textW, text_style::Secondary, colors::SecondaryText);
    y += 26;
    const float yesX = left + panelW - 28 - 150;
    const bool yes = tk.Button(MakeActionId(L"prompt/yes"), Rect{yesX, y, 150, 36}, L"Evet, test et", 0xE768, true);
    const bool no = tk.Button(MakeActionId(L"prompt/no"), Rect{yesX - 8 - 120, y, 120, 36}, L"Şimdi değil", 0, false);
    if (yes || no) {
        settings_.FirstTestOffered = true;
        SaveSettings(settings_);
        // Starting the series (a child process) waits until this frame is on screen.
        if (yes) afterPaint_.push_back([this] {
            if (!testRunning()) RunAllTests();
        });
        repaint();
    }
}

// The Tests page's stored data, copied once per snapshot (and again after a
// test is recorded) so that the passes drawing one snapshot agree.
const PageRecords& MainWindow::pageRecords() {
    if (recordsCycle_ && *recordsCycle_ == snapshot_.updatedAt) return records_;
    const UsageHistory& history = UsageHistory::instance();
    records_.periods = history.periods();
    for (size_t kind = 0; kind < kBenchKindCount; ++kind)
        records_.latestTests[kind] = history.latestTestRecord(static_cast<int32_t>(kind));
    records_.testDrives = bench::ListTestDrives();
    records_.now = static_cast<int64_t>(time(nullptr));
    recordsCycle_ = snapshot_.updatedAt;
    return records_;
}

PageContext MainWindow::makePageContext(DrawingToolkit& tk, const Rect& content) {
    PageContext context;
    context.toolkit = &tk;
    context.ui = &interaction_;
    context.actions = this;
    context.snapshot = &snapshot_;
    context.settings = &settings_;
    drawnReport_ = shownHardwareReport();  // kept alive until the next pass
    context.hardware = drawnReport_.get();
    context.window = hwnd_;
    context.content = content;
    context.scroll = scroll_[page_];
    if (!toastText_.empty() && GetTickCount64() < toastExpiry_) context.toast = toastText_;
    context.bench = services_->benchStateCopy();
    drawnBench_ = context.bench;
    context.telemetry = services_->telemetryCopy();
    context.view = &view_;
    context.series = &series_.view();
    if (autostart_) context.autostart = autostart_->View();
    context.personalInfoForced = redactForced_;
    if (sensorLog_) {
        const SensorLogStatus log = sensorLog_->status();
        context.sensorLog = {log.running, log.note, log.folderBytes, log.dropped, sensorLog_->folder().wstring()};
    }
    if (page_ == kPageSensors && !view_.sensorsPlotId.empty() && engine_) {
        engine_->copySensorHistory(view_.sensorsPlotId, plot_);
        context.sensorPlot = &plot_;
    }
    if (metrics_) context.metrics = metrics_->view();
    if (page_ == kPageTests) context.records = &pageRecords();
    return context;
}

// Work the pages asked for during the pass, now that the frame is on screen.
void MainWindow::runAfterPaint() {
    std::vector<std::function<void()>> work;
    work.swap(afterPaint_);
    for (auto& job : work) job();
}

void MainWindow::reportFrame(const DrawingToolkit& tk) {
    FrameReport report;
    report.frame = frames_;
    report.add("page", page_);
    report.add("ready", snapshot_.valid ? 1 : 0);
    report.add("prompt", snapshot_.valid && !settings_.FirstTestOffered ? 1 : 0);
    report.add("width", std::lround(tk.size().width));
    report.add("height", std::lround(tk.size().height));
    report.add("dpi", std::lround(tk.dpi()));
    report.add("maximized", hwnd_ && IsZoomed(hwnd_) ? 1 : 0);
    report.add("scroll", std::lround(scroll_[page_]));
    report.add("maxscroll", std::lround(MaxScroll(contentHeight_[page_], clientHeightDips() - kTitleBarHeight)));
    report.add("filter", view_.sensorsFilter);
    report.add("drive", view_.testsDriveIndex);
    report.add("preview", view_.settingsPreviewVisible ? 1 : 0);
    report.add("plot", view_.sensorsPlotId.empty() ? std::string("-") : WideToUtf8(view_.sensorsPlotId));
    if (sensorLog_) {  // "on 12" (rows written), "off", or "error"
        const SensorLogStatus log = sensorLog_->status();
        report.add("sensorlog", !log.note.empty() ? std::string("error")
                                : log.running   ? "on " + std::to_string(log.rows)
                                                : std::string("off"));
    }
    {
        std::lock_guard<std::mutex> lock(reportMutex_);
        report.add("hardware", report_ ? 1 : 0);
    }
    const bool toastLive = !toastText_.empty() && GetTickCount64() < toastExpiry_;
    report.add("toast", toastLive ? WideToUtf8(toastText_) : std::string());
    if (const BenchState* bench = drawnBench_) {  // the state this frame was drawn with
        report.add("bench", bench->running ? BenchKindWord(bench->kind) : "-");
        report.add("bench.error", WideToUtf8(bench->error));
    }
    report.add("queue", static_cast<long long>(series_.view().queue.size()));
    report.add("series", series_.view().pausing ? "pause" : series_.active() ? "run" : "-");
    for (const TestCardInfo& card : TestCards()) {  // "test.gpu idle result", "test.gpu.error …"
        const bool hasRecord = pageRecords().latestTests[static_cast<size_t>(card.kind)].has_value();
        const TestCardState state = MakeTestCardState(card.kind, drawnBench_, &series_.view(), hasRecord);
        const std::string key = std::string("test.") + BenchKindWord(card.kind);
        report.add(key, std::string(TestCardModeName(state.mode)) + (hasRecord ? " result" : " -"));
        report.add(key + ".error", WideToUtf8(state.error));
    }
    char cpuTemp[32] = "-";
    if (snapshot_.cpuTempShown) std::snprintf(cpuTemp, sizeof cpuTemp, "%.1f", *snapshot_.cpuTempShown);
    report.add("cputemp", cpuTemp);
    report.add("cpuload", snapshot_.cpuLoad ? std::to_string(std::lround(*snapshot_.cpuLoad)) : std::string("-"));
    report.add("metrics", MetricsStateWord(metrics_ ? metrics_->view().state : MetricsState::Off));
    report.add("hovered", interaction_.hovered ? ActionName(interaction_.hovered) : "-");
    report.add("duplicates", static_cast<long long>(interaction_.duplicates.size()));
    report.regions = interaction_.active;
    hooks_.frameReport(FormatFrameReport(report));
}

}  // namespace kalorix
