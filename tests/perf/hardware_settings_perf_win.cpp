// Prints what one paint pass of the Hardware and Settings pages costs: each
// page drawn into an off-screen target of 1180 x 780 DIPs with a sample
// report, and the share of it that goes to measuring wrapped text (the pages
// lay out every paragraph twice: once to size the cards, once to draw).
#include <windows.h>
#include "sensors/clock_win.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "inventory/inventory.h"
#include "ui/pages_win.h"
#include "ui/settings_model.h"
#include "ui/toolkit_win.h"

namespace kalorix {
namespace {

double Now() { return kalorix::MonotonicSeconds(); }

class NoActions : public PageActions {
public:
    void ApplySettings() override {}
    void ResetMinMax() override {}
    void CopyHardwareReport() override {}
    void RefreshHardwareReport() override {}
    void SetStartWithWindows(bool) override {}
    void SetAdvancedSensors(bool) override {}
    void RestartAsAdministrator() override {}
    void ShowPage(int) override {}
    void StartTest(BenchKind, wchar_t) override {}
    void StopTests() override {}
    void ExportReportImage(bool) override {}
    void SetShareData(bool) override {}
    void AnswerConsent(bool) override {}
    void MarkConsentNoticeShown() override {}
    void DeleteSharedData() override {}
    std::wstring BuildReportPreview() override { return L"{}\n"; }
    void RunAllTests() override {}
};

HardwareInventory SampleReport() {
    HardwareInventory r;
    r.systemName = L"Contoso Book 14";
    const wchar_t* titles[] = {L"Sistem", L"İşlemci", L"Ekran kartı", L"Bellek", L"Depolama", L"İşletim sistemi"};
    for (const wchar_t* t : titles) {
        InventorySection s{t, kGlyphSystem, {}};
        for (int i = 0; i < 5; ++i)
            s.rows.push_back({L"Satır " + std::to_wstring(i), L"Contoso NVMe 1 TB · 953,9 GB · NVMe SSD"});
        r.sections.push_back(s);
    }
    return r;
}

struct Figures {
    double best = 1e9, median = 0;
};

template <class Body>
Figures Time(DrawingToolkit& tk, Body&& body) {
    std::vector<double> ms;
    for (int i = 0; i < 31; ++i) {
        if (!tk.BeginFrame()) break;
        tk.Clear(colors::WindowBackground);
        const double t0 = Now();
        body();
        tk.EndFrame();
        ms.push_back((Now() - t0) * 1000.0);
    }
    Figures f;
    if (ms.empty()) return f;
    std::sort(ms.begin(), ms.end());
    f.best = ms.front();
    f.median = ms[ms.size() / 2];
    return f;
}

}  // namespace
}  // namespace kalorix

int main() {
    using namespace kalorix;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        DrawingToolkit tk;
        if (!tk.CreateOffscreen(1180, 780, 1.0f)) {
            std::printf("no off-screen target\n");
            return 1;
        }
        InteractionState ui;
        NoActions actions;
        SensorSnapshot snapshot;
        snapshot.valid = true;
        snapshot.hasBattery = true;
        snapshot.batteryPercent = 70;
        Settings settings;
        PageViewState view;
        const HardwareInventory report = SampleReport();
        tk.SetInteraction(&ui);
        PageContext ctx;
        ctx.toolkit = &tk;
        ctx.ui = &ui;
        ctx.actions = &actions;
        ctx.snapshot = &snapshot;
        ctx.settings = &settings;
        ctx.content = Rect{232, 36, 948, 744};
        ctx.view = &view;
        ctx.telemetry.nickname = L"BraveOtter417";

        std::printf("Page paint passes, 1180 x 780 off-screen (best / median of 31):\n");
        ctx.hardware = &report;
        Figures hw = Time(tk, [&] { DrawHardwarePage(ctx); FinishPass(ui); });
        std::printf("  %-40s %8.2f / %8.2f ms\n", "Hardware, 7 sections of 5 rows", hw.best, hw.median);
        ctx.hardware = nullptr;
        Figures reading = Time(tk, [&] { DrawHardwarePage(ctx); FinishPass(ui); });
        std::printf("  %-40s %8.2f / %8.2f ms\n", "Hardware, report not yet collected", reading.best, reading.median);
        Figures st = Time(tk, [&] { DrawSettingsPage(ctx); FinishPass(ui); });
        std::printf("  %-40s %8.2f / %8.2f ms\n", "Settings", st.best, st.median);
        const std::wstring share = ShareDescription(L"BraveOtter417");
        Figures measure = Time(tk, [&] {
            for (int i = 0; i < 36; ++i) tk.MeasureParagraph(L"Contoso NVMe 1 TB · 953,9 GB · NVMe SSD", 300, text_style::Label);
        });
        std::printf("  %-40s %8.2f / %8.2f ms\n", "36 paragraph measurements (Hardware)", measure.best, measure.median);
        Figures measureLong = Time(tk, [&] { for (int i = 0; i < 10; ++i) tk.MeasureParagraph(share, 800, text_style::Secondary); });
        std::printf("  %-40s %8.2f / %8.2f ms\n", "10 long paragraph measurements", measureLong.best, measureLong.median);
        tk.ReleaseOffscreen();
    }
    CoUninitialize();
    return 0;
}
