#include "sensors/clock_win.h"
#include "ui/report_image_win.h"

#include <shellapi.h>
#include <shlobj.h>

#include <ctime>

#include "inventory/inventory.h"
#include "store/usage_history.h"
#include "ui/page_models.h"
#include "ui/toolkit_win.h"

namespace kalorix {

namespace {

constexpr float kLeft = 48.0f;
constexpr float kContentW = 784.0f;
constexpr float kColumnW = 360.0f;
constexpr float kRightX = kLeft + kContentW - kColumnW;  // 472

std::optional<std::filesystem::path> KnownPicturesFolder() {
    PWSTR raw = nullptr;
    const HRESULT hr = SHGetKnownFolderPath(FOLDERID_Pictures, 0, nullptr, &raw);
    std::optional<std::filesystem::path> folder;
    if (SUCCEEDED(hr) && raw && raw[0]) folder = std::filesystem::path(raw);
    CoTaskMemFree(raw);
    return folder;
}

void RevealInExplorer(const std::filesystem::path& file) {
    const std::wstring params = L"/select,\"" + file.wstring() + L"\"";
    ShellExecuteW(nullptr, L"open", L"explorer.exe", params.c_str(), nullptr, SW_SHOWNORMAL);
}

bool PutDibOnClipboard(HWND owner, const std::string& dib) {
    if (dib.empty() || !OpenClipboard(owner)) return false;
    bool ok = false;
    if (EmptyClipboard()) {
        if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, dib.size())) {
            if (void* p = GlobalLock(memory)) {
                memcpy(p, dib.data(), dib.size());
                GlobalUnlock(memory);
                ok = SetClipboardData(CF_DIB, memory) != nullptr;
            }
            if (!ok) GlobalFree(memory);  // the clipboard owns it only after a successful set
        }
    }
    CloseClipboard();
    return ok;
}

void DrawCooling(DrawingToolkit& tk, const ReportImageContent& c) {
    tk.DrawLabel(L"SOĞUTMA KARNESİ", Rect{kLeft, 176, kColumnW, 16}, text_style::SectionHeading, colors::Muted);
    const D2D1_COLOR_F grade = Color(c.gradeColor);
    tk.Badge(Rect{kLeft, 202, 44, 44}, 0xE9CA, grade, palette::kBadgeAlpha, text_style::IconNav);
    if (c.hasCard)
        tk.DrawLabel(c.gradeText, Rect{kLeft + 58, 202, kColumnW - 58, 44}, text_style::BigNumber, grade);
    else
        tk.DrawLabel(c.gradeText, Rect{kLeft + 58, 202, kColumnW - 58, 44}, text_style::CardTitle,
                     colors::PrimaryText);
    tk.DrawLabel(c.heavyUse, Rect{kLeft, 256, kColumnW, 18}, text_style::Secondary, colors::SecondaryText);
    float y = 284;
    for (const ReportLabelValue& row : c.cooling) {
        tk.FillRect(Rect{kLeft, y, kColumnW, 1}, colors::Border);
        tk.DrawLabel(row.label, Rect{kLeft, y + 1, kColumnW - 150, 35}, text_style::Label, colors::SecondaryText);
        tk.DrawLabel(row.value, Rect{kLeft + kColumnW - 200, y + 1, 200, 35}, text_style::LabelStrong,
                     colors::PrimaryText, kAlignTrailing);
        y += 36;
    }
    // The advice under the figures when it fits above the footer.
    if (c.hasCard && !c.advice.empty() &&
        tk.MeasureParagraph(c.advice, kColumnW, text_style::Caption) <= 480 - (y + 14))
        tk.DrawParagraph(c.advice, kLeft, y + 14, kColumnW, text_style::Caption, colors::Muted);
}

void DrawScores(DrawingToolkit& tk, const ReportImageContent& c) {
    tk.DrawLabel(L"PERFORMANS PUANLARI", Rect{kRightX, 176, kColumnW, 16}, text_style::SectionHeading,
                 colors::Muted);
    const Rect tile{kRightX, 200, kColumnW, 80};
    tk.FillRounded(tile, 10, colors::Selection);
    tk.DrawLabel(L"Genel", Rect{tile.x + 16, tile.y + 12, 150, 20}, text_style::CardTitle, colors::PrimaryText);
    const bool overall = c.overall != L"\u2014";
    tk.DrawLabel(c.overall, Rect{tile.x + 16, tile.y + 4, tile.w - 32, 48}, text_style::BigNumber,
                 overall ? colors::Accent : colors::Muted, kAlignTrailing);
    tk.DrawLabel(c.weights, Rect{tile.x + 16, tile.y + 54, tile.w - 32, 16}, text_style::Caption, colors::Muted);
    float y = 292;
    for (const ReportScoreRow& row : c.parts) {
        if (y > 292) tk.FillRect(Rect{kRightX, y, kColumnW, 1}, colors::Border);
        tk.DrawLabel(row.title, Rect{kRightX, y + 6, kColumnW - 110, 20}, text_style::LabelStrong,
                     colors::PrimaryText);
        tk.DrawLabel(row.detail, Rect{kRightX, y + 26, kColumnW - 100, 16}, text_style::Caption,
                     colors::SecondaryText);
        tk.DrawLabel(row.score, Rect{kRightX + kColumnW - 120, y, 120, 48}, text_style::RowValue,
                     row.present ? colors::PrimaryText : colors::Muted, kAlignTrailing);
        y += 48;
    }
}

}  // namespace

ReportImageContent CollectReportImageContent(const HardwareInventory* report, bool fahrenheit,
                                             const LocalTime& now) {
    UsageHistory& history = UsageHistory::instance();
    const CoolingReportCard card = MakeReportCard(history.periods(), static_cast<int64_t>(time(nullptr)));
    std::array<std::optional<TestRecord>, 4> latest;
    for (int32_t kind = 0; kind < 4; ++kind) latest[static_cast<size_t>(kind)] = history.latestTestRecord(kind);
    return MakeReportImageContent(card, latest, report ? report->systemName : std::wstring(),
                                  report ? report->cpuName : std::wstring(), fahrenheit, now);
}

void DrawReportImage(DrawingToolkit& tk, const ReportImageContent& c) {
    tk.Clear(colors::WindowBackground);
    const Rect panel{16, 16, 848, 528};
    tk.FillRounded(panel, 18, colors::Panel);
    tk.Outline(panel, 18, colors::Border, 1);

    const float bannerW = tk.BitmapWidthForHeight(kBannerResource, 28);
    if (bannerW > 0)
        tk.DrawBitmap(kBannerResource, Rect{kLeft, 44, bannerW, 28});
    else
        tk.DrawLabel(L"Kalorix", Rect{kLeft, 44, 200, 28}, text_style::Headline, colors::PrimaryText);
    tk.DrawLabel(c.date, Rect{532, 44, 300, 28}, text_style::Label, colors::SecondaryText, kAlignTrailing);

    tk.DrawLabel(c.machine, Rect{kLeft, 88, kContentW, 22}, text_style::CardTitle, colors::PrimaryText);
    tk.DrawLabel(c.cpu, Rect{kLeft, 110, kContentW, 20}, text_style::Label, colors::SecondaryText);
    tk.FillRect(Rect{kLeft, 152, kContentW, 1}, colors::Border);

    DrawCooling(tk, c);
    tk.FillRect(Rect{kLeft + kColumnW + (kRightX - kLeft - kColumnW) / 2, 180, 1, 296}, colors::Border);
    DrawScores(tk, c);

    tk.DrawLabel(c.footer, Rect{kLeft, 500, kContentW, 18}, text_style::Caption, colors::Muted);
    tk.DrawLabel(kServiceHost, Rect{kLeft, 500, kContentW, 18}, text_style::Caption, colors::SecondaryText,
                 kAlignTrailing);
}

bool RenderReportImage(DrawingToolkit& tk, const ReportImageContent& content) {
    if (!tk.CreateOffscreen(kReportWidth, kReportHeight, kReportScale)) return false;
    if (!tk.BeginFrame()) return false;
    DrawReportImage(tk, content);
    return SUCCEEDED(tk.EndFrame()) && tk.hasTarget();
}

ReportExportEnv DefaultReportExportEnv() {
    ReportExportEnv env;
    env.picturesFolder = KnownPicturesFolder;
    env.reveal = RevealInExplorer;
    return env;
}

ReportExportResult ExportReportImage(HWND owner, bool toClipboard, const ReportImageContent& content,
                                     const LocalTime& now, const ReportExportEnv& env) {
    ReportExportResult result;
    DrawingToolkit tk(nullptr);
    if (!RenderReportImage(tk, content)) {
        result.toast = L"Görsel oluşturulamadı";
        return result;
    }
    if (toClipboard) {
        std::vector<uint8_t> pixels;
        UINT w = 0, h = 0;
        result.ok = tk.CopyOffscreenPixels(pixels, w, h) && PutDibOnClipboard(owner, MakeBottomUpDib(pixels, w, h));
        result.toast = result.ok ? L"Görsel panoya kopyalandı" : L"Panoya kopyalanamadı";
        return result;
    }
    const std::optional<std::filesystem::path> pictures = env.picturesFolder ? env.picturesFolder() : std::nullopt;
    if (!pictures || pictures->empty()) {
        result.toast = L"Resimler klasörü bulunamadı";
        return result;
    }
    const std::filesystem::path folder = *pictures / L"Kalorix";
    CreateDirectoryW(folder.c_str(), nullptr);  // an existing folder is fine
    result.file = folder / ReportImageFileName(now);
    if (!tk.SaveOffscreenPng(result.file)) {
        result.toast = L"Görsel kaydedilemedi";
        result.file.clear();
        return result;
    }
    result.ok = true;
    result.toast = L"Kaydedildi: Resimler\\Kalorix";
    if (env.reveal) env.reveal(result.file);
    return result;
}

}  // namespace kalorix
