// Prints the report image's costs: drawing the 1760 x 1120 image off screen,
// encoding it as PNG, turning it into the clipboard's bottom-up DIB, and the
// Tests page's card texts built from a full set of records.
#include <windows.h>
#include "sensors/clock_win.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/report_image_win.h"
#include "ui/tests_model.h"
#include "ui/toolkit_win.h"

namespace {

double Now() { return kalorix::MonotonicSeconds(); }

template <typename F>
double BestMs(int runs, F&& body) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        body();
        best = std::min(best, (Now() - t0) * 1000.0);
    }
    return best;
}

}  // namespace

int main() {
    using namespace kalorix;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::array<std::optional<TestRecord>, 4> latest;
    for (int32_t k = 0; k < 4; ++k) {
        TestRecord r;
        r.kind = static_cast<BenchKind>(k);
        r.time = 1765000000;
        r.metrics = {{"cpu.st_score", 1412}, {"cpu.mt_score", 9876}, {"gpu.score", 1180}, {"disk.score", 845},
                     {"memory.score", 1043}, {"memory.read_gbs", 58.3}, {"disk.rnd_read_iops", 45000}};
        latest[static_cast<size_t>(k)] = r;
    }
    std::vector<HeavyUsePeriod> periods(300);
    for (size_t i = 0; i < periods.size(); ++i) {
        periods[i].startTime = 1765000000 - static_cast<int64_t>(i) * 1800;
        periods[i].busySeconds = 1200;
        periods[i].atLimitSeconds = 60;
        periods[i].maxCpuTemp = 90;
    }
    LocalTime now;
    now.year = 2026, now.month = 12, now.day = 6;
    const CoolingReportCard card = MakeReportCard(periods, 1765000000);
    const ReportImageContent content =
        MakeReportImageContent(card, latest, L"Örnek Bilgisayar", L"Örnek İşlemci", false, now);

    DrawingToolkit tk(nullptr);
    if (!RenderReportImage(tk, content)) {
        std::printf("report image could not be drawn\n");
        return 1;
    }
    std::printf("Report image (1760 x 1120):\n");
    std::printf("  draw off screen, best of 5        %8.2f ms\n", BestMs(5, [&] { RenderReportImage(tk, content); }));
    std::string png;
    std::printf("  PNG encode, best of 5             %8.2f ms\n", BestMs(5, [&] { tk.EncodeOffscreenPng(png); }));
    std::printf("  PNG size                          %8.1f KB\n", static_cast<double>(png.size()) / 1024.0);
    std::vector<uint8_t> pixels;
    UINT w = 0, h = 0;
    tk.CopyOffscreenPixels(pixels, w, h);
    std::printf("  bottom-up DIB, best of 5          %8.2f ms\n",
                BestMs(5, [&] { volatile size_t n = MakeBottomUpDib(pixels, w, h).size(); (void)n; }));
    std::printf("Tests page texts (report card of 300 periods, four result cards), best of 50: %.3f ms\n",
                BestMs(50, [&] {
                    volatile size_t n = MakeReportCardView(card, periods, std::nullopt, false).rows.size();
                    for (const auto& r : latest) n = n + MakeTestResultView(*r).detail.size();
                }));
    tk.ReleaseOffscreen();
    CoUninitialize();
    return 0;
}
