// The report image under Windows (or Wine): drawn off screen, saved as a PNG
// into a stand-in Pictures folder, decoded back through WIC, and put on the
// clipboard as a bottom-up DIB.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "base/scoped_win.h"
#include "store/file_util.h"
#include "test_util_win.h"
#include "ui/report_image_win.h"
#include "ui/toolkit_win.h"

namespace kalorix {
namespace {

namespace fs = std::filesystem;

TestRecord Record(int32_t kind, std::map<std::string, double> metrics, std::map<std::string, std::wstring> info = {}) {
    TestRecord r;
    r.kind = static_cast<BenchKind>(kind), r.time = 1765000000, r.metrics = std::move(metrics), r.info = std::move(info);
    return r;
}

LocalTime Noon() {
    LocalTime t;
    t.year = 2026, t.month = 12, t.day = 6, t.hour = 14, t.minute = 30, t.second = 5;
    return t;
}

// A machine with a full set of results and a week of heavy use.
ReportImageContent SampleContent() {
    HeavyUsePeriod p;
    p.startTime = 1765000000, p.duration = 1500, p.busySeconds = 1440, p.maxCpuTemp = 92, p.precise = true;
    std::array<std::optional<TestRecord>, 4> latest;
    latest[0] = Record(0, {{"cpu.st_score", 1412}, {"cpu.mt_score", 9876}, {"cpu.threads", 16}});
    latest[1] = Record(1, {{"gpu.score", 1180}}, {{"gpu.name", L"Test GPU"}});
    const std::vector<HeavyUsePeriod> periods{p};
    return MakeReportImageContent(MakeReportCard(periods, 1765000000), latest, L"Örnek Bilgisayar Pro 15",
                                  L"Örnek İşlemci 8 Çekirdek @ 4,2 GHz", false, Noon());
}

TEST(ReportImageWin, SavesPngIntoPicturesKalorixAndRevealsIt) {
    ComApartment com;
    const test::TempFolder folder(L"kalorix-report");
    const fs::path& pictures = folder.path();
    std::vector<fs::path> revealed;
    ReportExportEnv env;
    env.picturesFolder = [&] { return std::optional<fs::path>(pictures); };
    env.reveal = [&](const fs::path& f) { revealed.push_back(f); };

    const ReportExportResult r = ExportReportImage(nullptr, false, SampleContent(), Noon(), env);
    ASSERT_TRUE(r.ok) << std::string(r.toast.begin(), r.toast.end());
    EXPECT_EQ(r.file, pictures / L"Kalorix" / L"Kalorix-rapor-20261206-143005.png");
    EXPECT_EQ(revealed, std::vector<fs::path>{r.file});
    // Saving again within the same second overwrites the same name.
    const ReportExportResult again = ExportReportImage(nullptr, false, SampleContent(), Noon(), env);
    ASSERT_TRUE(again.ok);
    EXPECT_EQ(again.file, r.file);
    EXPECT_EQ(std::distance(fs::directory_iterator(pictures / L"Kalorix"), fs::directory_iterator()), 1);
}

TEST(ReportImageWin, EveryFailureHasItsToast) {
    ComApartment com;
    bool revealed = false;
    ReportExportEnv env;
    env.picturesFolder = [] { return std::optional<fs::path>(); };
    env.reveal = [&](const fs::path&) { revealed = true; };
    EXPECT_EQ(ExportReportImage(nullptr, false, SampleContent(), Noon(), env).toast, L"Resimler klasörü bulunamadı");

    // A Pictures "folder" that is a file: the Kalorix folder cannot exist, nothing is saved.
    const test::TempFolder dir(L"kalorix-report-fail");
    const fs::path blocker = dir.path() / L"pictures";
    ASSERT_TRUE(AtomicWriteFile(blocker, std::string("x"), false));
    env.picturesFolder = [&] { return std::optional<fs::path>(blocker); };
    const ReportExportResult r = ExportReportImage(nullptr, false, SampleContent(), Noon(), env);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.toast, L"Görsel kaydedilemedi");
    EXPECT_FALSE(revealed);
}

TEST(ReportImageWin, ClipboardHoldsBottomUpDib) {
    ComApartment com;
    const test::MessageWindow owner;
    const HWND window = owner.get();
    const ReportImageContent content = SampleContent();
    const ReportExportResult r = ExportReportImage(window, true, content, Noon(), ReportExportEnv{});
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.toast, L"Görsel panoya kopyalandı");
    DrawingToolkit tk(nullptr);
    ASSERT_TRUE(RenderReportImage(tk, content));
    std::vector<uint8_t> px;
    UINT w = 0, h = 0;
    ASSERT_TRUE(tk.CopyOffscreenPixels(px, w, h));

    ASSERT_TRUE(OpenClipboard(window));
    HANDLE data = GetClipboardData(CF_DIB);
    ASSERT_NE(data, nullptr);
    const auto* bytes = static_cast<const uint8_t*>(GlobalLock(data));
    EXPECT_EQ(reinterpret_cast<const BITMAPINFOHEADER*>(bytes)->biHeight, 1120);  // positive: bottom-up
    ASSERT_GE(GlobalSize(data), 40u + 1760u * 1120u * 4u);
    const size_t stride = 1760 * 4;
    // The first stored row is the image's last row, the last stored row its first.
    EXPECT_EQ(memcmp(bytes + 40, px.data() + (h - 1) * stride, stride), 0);
    EXPECT_EQ(memcmp(bytes + 40 + (h - 1) * stride, px.data(), stride), 0);
    // A row through the text differs between top and bottom, so the order matters.
    EXPECT_NE(memcmp(bytes + 40 + (h - 1 - 200) * stride, px.data() + (h - 1 - 200) * stride, stride), 0);
    GlobalUnlock(data);
    CloseClipboard();
    DrawingToolkit empty(nullptr);  // an empty history and no hardware report still draw
    EXPECT_TRUE(RenderReportImage(empty, MakeReportImageContent(MakeReportCard({}, 0), {}, L"", L"", false, Noon())));
}

}  // namespace
}  // namespace kalorix
