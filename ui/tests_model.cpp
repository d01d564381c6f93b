#include "ui/tests_model.h"

#include <algorithm>
#include <cmath>

#include "bench/protocol.h"
#include "sensors/format.h"
#include "ui/page_models.h"
#include "ui/theme.h"

namespace kalorix {

namespace {

double MetricOf(const TestRecord& r, const char* key) {
    const auto it = r.metrics.find(key);
    return it == r.metrics.end() ? 0.0 : it->second;
}

std::wstring InfoOf(const TestRecord& r, const char* key) {
    const auto it = r.info.find(key);
    return it == r.info.end() ? std::wstring() : it->second;
}

// Fills the "{}" placeholders of a pattern in order.
std::wstring Fill(std::wstring_view pattern, std::initializer_list<std::wstring> values) {
    std::wstring out;
    auto next = values.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'{' && i + 1 < pattern.size() && pattern[i + 1] == L'}') {
            if (next != values.end()) out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::wstring Join(const std::vector<std::wstring>& parts) {
    std::wstring out;
    for (const auto& p : parts) {
        if (p.empty()) continue;
        if (!out.empty()) out += L" · ";
        out += p;
    }
    return out;
}

std::wstring Percent(double fraction) {
    if (!std::isfinite(fraction)) fraction = 0;
    return L"%" + FormatNumber(std::round(fraction * 100.0), 0);
}

std::wstring Ghz(double mhz) { return FormatNumber(mhz / 1000.0, 2) + L" GHz"; }

}  // namespace

const std::array<TestCardInfo, 4>& TestCards() {
    static const std::array<TestCardInfo, 4> cards = {{
        {BenchKind::Cpu, 0xE950, L"İşlemci", L"Yaklaşık 25 sn · tek ve çok çekirdek"},
        {BenchKind::Memory, 0xE964, L"Bellek (RAM)", L"Yaklaşık 12 sn · hız ve gecikme"},
        {BenchKind::Gpu, 0xE7F4, L"Ekran kartı", L"Yaklaşık 10 sn · hesaplama ve bellek"},
        {BenchKind::Disk, 0xEDA2, L"SSD / disk", L"Yaklaşık 15 sn · 256 MB dosya"},
    }};
    return cards;
}

int32_t ClampDriveIndex(int32_t index, size_t driveCount) {
    if (index < 0 || static_cast<size_t>(index) >= driveCount) return 0;
    return index;
}

float TestCardHeight(size_t driveCount) { return driveCount >= 2 ? 300.0f : 262.0f; }

std::wstring DriveLabel(wchar_t letter) { return std::wstring(1, letter) + L":"; }

std::wstring TestsParagraph(int warningTemp) {
    return Fill(L"Testler bilgisayarı uzun süre zorlamaz: her ölçüm birkaç saniyelik kısa atışlardır ve aralarda "
                L"soğuma molası verilir. Sıcaklık {} °C'nin üzerinde kalırsa test kendiliğinden durur. Puanlar "
                L"Kalorix'e özgüdür; başka programlarla karşılaştırılamaz.",
                {std::to_wstring(std::min(warningTemp, 95))});
}

TestResultView MakeTestResultView(const TestRecord& r) {
    TestResultView v;
    const std::wstring when = r.time > 0 ? FormatDateTime(r.time) : std::wstring();
    switch (r.kind) {
        case BenchKind::Cpu: {
            const double st = MetricOf(r, "cpu.st_score"), mt = MetricOf(r, "cpu.mt_score");
            v.tiles = {{L"TEK ÇEKİRDEK", FormatGrouped(st)}, {L"ÇOK ÇEKİRDEK", FormatGrouped(mt)}};
            const double cpu = std::round(std::sqrt(std::max(st, 1.0) * std::max(mt, 1.0)));
            v.detail = Fill(L"İşlemci puanı {} · {} iş parçacığı",
                            {FormatGrouped(cpu), FormatGrouped(MetricOf(r, "cpu.threads"))});
            v.info = when;
            break;
        }
        case BenchKind::Memory:
            v.tiles = {{L"PUAN", FormatGrouped(MetricOf(r, "memory.score"))}};
            v.detail = Fill(L"Okuma {} · yazma {} · kopyalama {} GB/sn\nGecikme {} ns",
                            {FormatNumber(MetricOf(r, "memory.read_gbs"), 1),
                             FormatNumber(MetricOf(r, "memory.write_gbs"), 1),
                             FormatNumber(MetricOf(r, "memory.copy_gbs"), 1),
                             FormatNumber(MetricOf(r, "memory.latency_ns"), 1)});
            v.info = Join({r.metrics.count("memory.size_gb") ? FormatGrouped(MetricOf(r, "memory.size_gb")) + L" GB"
                                                             : std::wstring(),
                           when});
            break;
        case BenchKind::Gpu:
            v.tiles = {{L"PUAN", FormatGrouped(MetricOf(r, "gpu.score"))}};
            v.detail = Fill(L"{} GFLOPS · bellek {} GB/sn", {FormatGrouped(MetricOf(r, "gpu.gflops")),
                                                              FormatNumber(MetricOf(r, "gpu.bandwidth_gbs"), 1)});
            v.info = Join({InfoOf(r, "gpu.name"), when});
            break;
        case BenchKind::Disk:
            v.tiles = {{L"PUAN", FormatGrouped(MetricOf(r, "disk.score"))}};
            v.detail = Fill(L"Okuma {} · yazma {} MB/sn\n4K rastgele {} / {} bin IOPS",
                            {FormatGrouped(MetricOf(r, "disk.seq_read_mbs")),
                             FormatGrouped(MetricOf(r, "disk.seq_write_mbs")),
                             FormatGrouped(MetricOf(r, "disk.rnd_read_iops") / 1000.0),
                             FormatGrouped(MetricOf(r, "disk.rnd_write_iops") / 1000.0)});
            v.info = Join({InfoOf(r, "disk.drive"), InfoOf(r, "disk.model"), when});
            break;
    }
    return v;
}

const char* TestCardModeName(TestCardMode mode) {
    switch (mode) {
        case TestCardMode::Idle: return "idle";
        case TestCardMode::Running: return "running";
        case TestCardMode::Waiting: return "waiting";
        case TestCardMode::OtherRunning: return "other";
    }
    return "?";
}

TestCardState MakeTestCardState(BenchKind kind, const BenchState* bench, const TestSeriesView* series,
                                bool hasRecord) {
    TestCardState s;
    s.button = hasRecord ? L"Yeniden test et" : L"Testi başlat";
    if (series) {
        // The series keeps every kind's last failure; the runner only its last run.
        s.error = series->errors[static_cast<size_t>(kind) & 3u];
        for (size_t i = 0; i < series->queue.size() && s.queuePosition == 0; ++i)
            if (series->queue[i] == kind) s.queuePosition = static_cast<int>(i) + 1;
    } else if (bench && bench->kind == kind && bench->finished && !bench->success) {
        s.error = bench->error;
    }
    if (bench && bench->running) {
        const bool same = bench->kind == kind;
        s.mode = same ? TestCardMode::Running : TestCardMode::OtherRunning;
        if (same) {
            s.phase = bench->phase;
            s.progress = std::isfinite(bench->progress) ? std::clamp(bench->progress, 0.0, 1.0) : 0.0;
            s.percent = Percent(s.progress);
        }
        return s;
    }
    if (series && series->active) {
        // Between two tests of a series: the next one waits, no card starts anything.
        s.mode = series->pausing && s.queuePosition == 1 ? TestCardMode::Waiting : TestCardMode::OtherRunning;
        if (s.mode == TestCardMode::Waiting) {
            s.phase = L"Sırada";
            s.percent = Percent(0);
        }
    }
    return s;
}

std::wstring TestRunAction(const TestCardInfo& card) { return std::wstring(L"tests/run/") + BenchKindWordW(card.kind); }

std::wstring TestStopAction(const TestCardInfo& card) {
    return std::wstring(L"tests/stop/") + BenchKindWordW(card.kind);
}

uint32_t GradeColor(int32_t grade) {
    switch (grade) {
        case 0:
        case 1: return palette::kGreen;
        case 2: return palette::kAmber;
        case 3: return palette::kRed;
        default: return palette::kMuted;
    }
}

ReportCardView MakeReportCardView(const CoolingReportCard& card, const std::vector<HeavyUsePeriod>& periods,
                                  const std::optional<HeavyUsePeriod>& current, bool fahrenheit) {
    ReportCardView v;
    v.grade = card.grade;
    v.color = GradeColor(card.grade);
    v.hasData = card.grade >= 0 && card.count > 0;
    v.headline = v.hasData ? card.gradeName : std::wstring(L"Soğutma karnesi");
    // The duration formatter never says zero minutes, so an empty week names no time at all.
    v.subline = card.count > 0 ? Fill(L"Son 7 gün · {} oturum · {}", {std::to_wstring(card.count),
                                                                       FormatMinutes(card.heavyUseHours * 3600.0)})
                               : std::wstring(L"Son 7 gün · 0 oturum");
    v.advice = card.advice;
    if (v.hasData) {
        v.stats = {
            {L"EN YÜKSEK SICAKLIK", FormatTemperature(card.maxCpuTemp, fahrenheit)},
            {L"ISI SINIRINDA", Percent(card.atLimitRatio)},
            {L"ORT. FREKANS (YÜKTE)", Ghz(card.avgCpuClock)},
            {L"ÖLÇÜM", card.precise ? L"Kesin" : L"Tahmini"},
        };
        // The periods the card counted (its seven days, finite figures), newest first
        // by start time; equal times keep the store's later-is-newer order.
        std::vector<HeavyUsePeriod> shown;
        for (const auto& p : periods)
            if (InReportWindow(p.startTime, card.windowEnd) && PeriodIsFinite(p)) shown.push_back(ClampedForGrading(p));
        std::vector<const HeavyUsePeriod*> sorted;
        for (const auto& p : shown) sorted.push_back(&p);
        std::stable_sort(sorted.begin(), sorted.end(),
                         [](const HeavyUsePeriod* a, const HeavyUsePeriod* b) { return a->startTime < b->startTime; });
        for (auto it = sorted.rbegin(); it != sorted.rend() && v.rows.size() < 5; ++it) {
            const HeavyUsePeriod& p = **it;
            PeriodRow row;
            row.start = FormatDateTime(p.startTime);
            row.duration = FormatMinutes(p.duration);
            row.maxTemp = FormatTemperature(p.maxCpuTemp, fahrenheit);
            const double ratio = p.busySeconds > 0 ? p.atLimitSeconds / p.busySeconds : 0.0;
            row.atLimit = Percent(ratio);
            row.atLimitHigh = ratio >= 0.1;
            row.clock = Ghz(p.avgCpuClock);
            v.rows.push_back(std::move(row));
        }
    }
    if (current) {
        v.currentLine = Fill(L"Şu an yoğun kullanım ölçülüyor · {} · en yüksek {}",
                             {FormatMinutes(current->duration), FormatTemperature(current->maxCpuTemp, fahrenheit)});
    }
    return v;
}

std::wstring LeaderboardText() { return std::wstring(kServiceHost) + L"/skorlar"; }

std::wstring LeaderboardOpenAddress() { return L"https://" + std::wstring(kServiceHost) + L"/skorlar/"; }

std::wstring LeaderboardBody(bool shareData) {
    if (!shareData)
        return L"Veri paylaşımı kapalı olduğu için skor tablosunda görünmüyorsun. Puanlarını diğer kullanıcılarla "
               L"karşılaştırmak için Ayarlar → Veri paylaşımı'nı açabilirsin.";
    return L"Test puanların, bilgisayarının modeli, işlemci, ekran kartı, bellek ve disk bilgisiyle birlikte " +
           LeaderboardText() +
           L" sayfasında bu bilgisayara özel takma adla listelenir. Gerçek adın ya da bilgisayarının adı "
           L"gösterilmez. Listelenmek istemezsen Ayarlar → Veri paylaşımı'nı kapat.";
}

}  // namespace kalorix
