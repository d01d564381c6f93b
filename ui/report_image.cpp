#include "ui/report_image.h"

#include <cmath>
#include <cstring>

#include "sensors/format.h"
#include "ui/tests_model.h"

namespace kalorix {

namespace {

double MetricOf(const std::optional<TestRecord>& r, const char* key) {
    if (!r) return 0.0;
    const auto it = r->metrics.find(key);
    return it == r->metrics.end() ? 0.0 : it->second;
}

std::wstring Two(int v) {
    v = v < 0 ? 0 : v % 100;
    return std::wstring{static_cast<wchar_t>(L'0' + v / 10), static_cast<wchar_t>(L'0' + v % 10)};
}

void PutLe(std::string& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::wstring ReportDateText(int day, int month, int year) {
    return std::to_wstring(day) + L" " + MonthName(month - 1) + L" " + std::to_wstring(year);
}

std::wstring ReportImageFileName(const LocalTime& t) {
    std::wstring year = std::to_wstring(t.year % 10000);
    while (year.size() < 4) year.insert(year.begin(), L'0');
    return L"Kalorix-rapor-" + year + Two(t.month) + Two(t.day) + L"-" + Two(t.hour) + Two(t.minute) +
           Two(t.second) + L".png";
}

ReportImageContent MakeReportImageContent(const CoolingReportCard& card,
                                          const std::array<std::optional<TestRecord>, 4>& latest,
                                          const std::wstring& systemName, const std::wstring& cpuName,
                                          bool fahrenheit, const LocalTime& now) {
    ReportImageContent c;
    c.date = ReportDateText(now.day, now.month, now.year);
    c.machine = systemName;
    c.cpu = cpuName;

    c.hasCard = card.grade >= 0 && card.count > 0;
    c.gradeColor = GradeColor(c.hasCard ? card.grade : -1);
    c.gradeText = c.hasCard ? card.gradeName : std::wstring(L"Yoğun kullanım kaydı henüz yok.");
    c.advice = card.advice;
    c.heavyUse = c.hasCard ? L"Son 7 günde yoğun kullanım " + FormatMinutes(card.heavyUseHours * 3600.0)
                           : std::wstring(L"Son 7 günde yoğun kullanım yok");
    const std::wstring none = L"\u2014";
    c.cooling = {
        {L"En yüksek işlemci sıcaklığı", c.hasCard ? FormatTemperature(card.maxCpuTemp, fahrenheit) : none},
        {L"Isı sınırında geçen süre",
         c.hasCard ? L"%" + FormatNumber(std::round(card.atLimitRatio * 100.0), 0) : none},
        {L"Ölçüm", c.hasCard ? (card.precise ? L"Kesin (işlemci bayrağı)" : L"Tahmini (sıcaklık)") : none},
    };

    const bench::LatestScores scores =
        bench::ComputeLatestScores([&latest](int32_t kind) -> std::optional<TestRecord> {
            return kind >= 0 && kind < 4 ? latest[static_cast<size_t>(kind)] : std::nullopt;
        });
    c.overall = scores.overall ? FormatGrouped(*scores.overall) : none;
    c.weights = L"İşlemci %40 · ekran kartı %30 · bellek %15 · SSD %15";

    auto row = [&](const wchar_t* title, const std::optional<double>& score, std::wstring detail) {
        ReportScoreRow r;
        r.title = title;
        r.present = score.has_value();
        r.value = score.value_or(0.0);
        r.score = score ? FormatGrouped(*score) : none;
        r.detail = score ? std::move(detail) : std::wstring(L"Henüz test edilmedi.");
        c.parts.push_back(std::move(r));
    };
    const auto& cpu = latest[0];
    const auto& gpu = latest[1];
    const auto& disk = latest[2];
    const auto& memory = latest[3];
    row(L"İşlemci", scores.cpu,
        L"Tek çekirdek " + FormatGrouped(MetricOf(cpu, "cpu.st_score")) + L" · çok çekirdek " +
            FormatGrouped(MetricOf(cpu, "cpu.mt_score")));
    row(L"Bellek (RAM)", scores.memory,
        L"Okuma " + FormatNumber(MetricOf(memory, "memory.read_gbs"), 1) + L" GB/sn · gecikme " +
            FormatNumber(MetricOf(memory, "memory.latency_ns"), 1) + L" ns");
    row(L"Ekran kartı", scores.gpu,
        FormatGrouped(MetricOf(gpu, "gpu.gflops")) + L" GFLOPS · " +
            FormatNumber(MetricOf(gpu, "gpu.bandwidth_gbs"), 1) + L" GB/sn");
    row(L"SSD", scores.disk,
        L"Okuma " + FormatGrouped(MetricOf(disk, "disk.seq_read_mbs")) + L" · yazma " +
            FormatGrouped(MetricOf(disk, "disk.seq_write_mbs")) + L" MB/sn");
    c.footer = L"Kalorix ile ölçüldü · Puanlar Kalorix'e özgüdür";
    return c;
}

std::string MakeBottomUpDib(const std::vector<uint8_t>& pixels, uint32_t width, uint32_t height) {
    const uint64_t stride = static_cast<uint64_t>(width) * 4;
    const uint64_t size = stride * height;
    if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF || pixels.size() != size ||
        size > 0x7FFFFFFFu)
        return {};
    std::string dib(40 + static_cast<size_t>(size), '\0');
    PutLe(dib, 0, 40, 4);        // biSize
    PutLe(dib, 4, width, 4);     // biWidth
    PutLe(dib, 8, height, 4);    // biHeight > 0: bottom-up
    PutLe(dib, 12, 1, 2);        // biPlanes
    PutLe(dib, 14, 32, 2);       // biBitCount
    // biCompression BI_RGB (0), biSizeImage and the rest stay 0.
    for (uint32_t row = 0; row < height; ++row) {
        const uint8_t* src = pixels.data() + static_cast<size_t>(height - 1 - row) * stride;
        std::memcpy(dib.data() + 40 + static_cast<size_t>(row) * stride, src, static_cast<size_t>(stride));
    }
    return dib;
}

}  // namespace kalorix
