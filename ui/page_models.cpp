#include "ui/page_models.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "sensors/format.h"
#include "ui/theme.h"

namespace kalorix {

namespace {

constexpr wchar_t kDash[] = L"\u2014";

std::wstring Percent(double value) { return L"%" + FormatNumber(std::round(value), 0); }

int LoadLevel(double percent) { return percent >= 90.0 ? 2 : percent >= 70.0 ? 1 : 0; }

// The first word of a fan's name ("CPU Fanı" -> "CPU").
std::wstring FirstWord(const std::wstring& name) {
    const size_t blank = name.find(L' ');
    return blank == std::wstring::npos ? name : name.substr(0, blank);
}

}  // namespace

// ---- Overview ------------------------------------------------------------

std::wstring CpuTempSourceLabel(const std::wstring& source) {
    if (source == L"ACPI") return L"ACPI bölgesi";
    return source;  // "MSI EC", "PawnIO" name themselves
}

bool PawnIoWouldHelp(const SensorSnapshot& s) { return s.pawnIo.state == PawnIoState::Usable; }

std::array<MetricCard, 4> MakeMetricCards(const SensorSnapshot& s, const Settings& settings) {
    const bool f = settings.UseFahrenheit;
    const double limit = settings.WarningTemp;
    std::array<MetricCard, 4> cards;

    MetricCard& cpu = cards[0];
    cpu.glyph = 0xE950;
    cpu.title = L"İşlemci sıcaklığı";
    if (s.cpuTempShown) {
        cpu.value = FormatTemperature(s.cpuTempShown, f);
        std::wstring source = CpuTempSourceLabel(s.cpuTempSource);
        if (!source.empty()) source += L" · ";
        cpu.detail = source + L"En düşük " + FormatTemperature(s.cpuTempMin, f) + L" · En yüksek " +
                     FormatTemperature(s.cpuTempMax, f);
        if (s.cpuTempMin && s.cpuTempMax)
            cpu.compactDetail = source + FormatNumber(f ? ToFahrenheit(*s.cpuTempMin) : *s.cpuTempMin, 0) +
                                L"–" + FormatTemperature(s.cpuTempMax, f);
        cpu.fraction = *s.cpuTempShown / 100.0;
        cpu.level = TempLevel(s.cpuTempShown, limit);
    } else {
        cpu.value = kDash;
        cpu.detail = L"Bu cihazda sensör bulunamadı";
    }

    MetricCard& gpu = cards[1];
    gpu.glyph = 0xE7F4;
    gpu.title = L"Ekran kartı sıcaklığı";
    const std::optional<double> gpuTemp = s.gpu ? s.gpu->temperature : std::nullopt;
    if (gpuTemp) {
        gpu.value = FormatTemperature(gpuTemp, f);
        gpu.detail = s.gpu->name;
        gpu.detailIsName = true;
        gpu.fraction = *gpuTemp / 100.0;
        gpu.level = TempLevel(gpuTemp, limit);
    } else {
        gpu.value = kDash;
        gpu.detail = s.gpu ? L"Uykuda veya sensör yok" : L"Ekran kartı bulunamadı";
    }

    MetricCard& load = cards[2];
    load.glyph = 0xE9D9;
    load.title = L"İşlemci kullanımı";
    if (s.cpuLoad) {
        load.value = L"%" + FormatNumber(*s.cpuLoad, 0);
        load.detail = s.cpuClock ? L"Ort. " + FormatNumber(*s.cpuClock / 1000.0, 2) + L" GHz" : L"Tüm çekirdekler";
        load.fraction = *s.cpuLoad / 100.0;
        load.level = LoadLevel(*s.cpuLoad);
    } else {
        load.value = kDash;
    }

    MetricCard& memory = cards[3];
    memory.glyph = 0xE964;
    memory.title = L"Bellek";
    if (s.memoryTotalBytes > 0) {
        const double total = static_cast<double>(s.memoryTotalBytes);
        const double available = std::min(total, static_cast<double>(s.memoryAvailableBytes));
        const double used = total - available;
        const double fraction = used / total;
        memory.value = Percent(fraction * 100.0);
        memory.detail = FormatBytes(used) + L" / " + FormatBytes(total);
        memory.fraction = fraction;
        memory.level = fraction >= 0.90 ? 2 : fraction >= 0.75 ? 1 : 0;
    } else {
        memory.value = kDash;
    }
    return cards;
}

int CardColumns(const std::array<float, 4>& needed, float rowWidth) {
    const float quarter = (rowWidth - 3 * 12.0f) / 4;
    for (float n : needed)
        if (!(n <= quarter)) return 2;
    return 4;
}

std::array<MetricCard, 4> MakeSmallCards(const SensorSnapshot& s, const Settings& settings) {
    const bool f = settings.UseFahrenheit;
    std::array<MetricCard, 4> cards;

    MetricCard& disk = cards[0];
    disk.glyph = 0xEDA2;
    disk.title = L"Disk";
    if (s.hottestDiskTemp) {
        const double t = *s.hottestDiskTemp;
        disk.value = FormatTemperature(t, f);
        disk.detail = s.hottestDiskName;
        disk.detailIsName = true;
        disk.level = t >= 70.0 ? 2 : t >= 60.0 ? 1 : 0;
    } else {
        disk.value = kDash;
        disk.detail = L"Sensör yok";
    }

    MetricCard& fans = cards[1];
    fans.glyph = 0xE9CA;
    fans.title = L"Fan";
    std::vector<FanReading> list = s.fans;
    if (list.empty() && s.gpu && s.gpu->fanSpeed) list.push_back({L"GPU fanı", *s.gpu->fanSpeed});
    if (!list.empty()) {
        double highest = 0.0;
        std::wstring detail;
        for (const FanReading& fan : list) {
            highest = std::max(highest, fan.speed);
            if (!detail.empty()) detail += L" · ";
            detail += FirstWord(fan.name) + L" " + FormatGrouped(fan.speed);
        }
        fans.value = highest > 0.0 ? FormatGrouped(highest) + L" rpm" : L"Durdu";
        fans.detail = detail;
        if (list.size() > 1) fans.compactDetail = std::to_wstring(list.size()) + L" fan";
        fans.level = 0;
    } else {
        fans.value = kDash;
        fans.detail = s.msiBoard && !s.elevated ? L"Gelişmiş sensörler gerekli" : L"Sensör yok";
    }

    MetricCard& power = cards[2];
    power.glyph = 0xE945;
    power.title = L"CPU gücü";
    if (s.cpuPackagePower) {
        power.value = FormatNumber(*s.cpuPackagePower, 1) + L" W";
        power.detail = L"Paket gücü";
        power.level = 0;
    } else {
        power.value = kDash;
        power.detail = L"Veri yok";
    }

    MetricCard& battery = cards[3];
    battery.glyph = 0xE83F;
    battery.title = L"Pil";
    if (s.hasBattery) {
        battery.value = L"%" + std::to_wstring(s.batteryPercent);
        battery.detail = s.charging ? L"Şarj oluyor" : s.onAcPower ? L"Prize takılı" : L"Pilde";
        if (s.onAcPower) battery.level = 0;
        else battery.level = s.batteryPercent < 16 ? 2 : s.batteryPercent < 31 ? 1 : 0;
    } else {
        battery.value = kDash;
        battery.detail = L"Masaüstü / pil yok";
    }
    return cards;
}

std::wstring BannerActionKey(BannerAction action) {
    switch (action) {
        case BannerAction::ShowTests: return L"banner/tests";
        case BannerAction::EnableAdvanced: return L"banner/advanced";
        case BannerAction::DownloadPawnIo: return L"banner/pawnio";
        case BannerAction::RestartElevated: return L"banner/elevate";
        case BannerAction::None: break;
    }
    return L"banner/none";
}

std::vector<Banner> MakeBanners(const SensorSnapshot& s, const Settings& settings) {
    std::vector<Banner> banners;
    const bool f = settings.UseFahrenheit;
    const double limit = settings.WarningTemp;

    // a. over the limit
    const std::optional<double> gpuTemp = s.gpu ? s.gpu->temperature : std::nullopt;
    const bool cpuOver = s.cpuTempShown && *s.cpuTempShown >= limit;
    const bool gpuOver = gpuTemp && *gpuTemp >= limit;
    if (cpuOver || gpuOver) {
        Banner b;
        b.color = palette::kRed;
        b.glyph = 0xE7BA;
        if (cpuOver) b.title = L"İşlemci " + FormatTemperature(s.cpuTempShown, f);
        if (gpuOver) {
            if (!b.title.empty()) b.title += L" · ";
            b.title += L"Ekran kartı " + FormatTemperature(gpuTemp, f);
        }
        b.title += L" — uyarı sınırı (" + FormatTemperature(limit, f) + L") aşıldı";
        banners.push_back(std::move(b));
    }

    // b. heat throttling
    if (s.busySecondsRecent >= 60.0) {
        const double ratio = s.atLimitSecondsRecent / s.busySecondsRecent;
        if (ratio >= 0.15) {
            Banner b;
            b.color = palette::kAmber;
            b.glyph = 0xEC4A;
            b.title = L"İşlemci son 10 dakikada ısı yüzünden yavaşladı";
            b.body = L"İşlemci, yük altındaki sürenin önemli bir kısmında (%" + FormatNumber(std::round(ratio * 100.0), 0) +
                     L") ısı sınırına dayandı ve hızını düşürdü. Havalandırma deliklerinin açık olduğundan emin ol, "
                     L"dizüstünü sert ve düz bir yüzeyde kullan. Sık tekrarlanıyorsa fan temizliği ve termal macun "
                     L"yenilemesi fark yaratır.";
            b.button = L"Ayrıntılar";
            b.action = BannerAction::ShowTests;
            banners.push_back(std::move(b));
        }
    }

    // c. at most one advanced-sensor banner
    Banner b;
    b.glyph = 0xE946;
    if (s.msiBoard && !s.elevated && !settings.AdvancedSensors) {
        b.color = palette::kAmber;
        b.title = L"Fan hızları için gelişmiş sensörleri etkinleştir";
        b.body = L"Bu bilgisayarın fan hızları ve daha isabetli işlemci sıcaklığı, üreticinin denetleyicisinden okunur. "
                 L"Buna Windows yalnızca yönetici izniyle izin veriyor.";
        b.button = L"Etkinleştir";
        b.action = BannerAction::EnableAdvanced;
    } else if (s.pawnIoInstalled && !s.elevated && !settings.AdvancedSensors && PawnIoWouldHelp(s)) {
        b.color = palette::kAmber;
        b.title = L"PawnIO kurulu: hassas işlemci sıcaklığını etkinleştir";
        b.body = L"Çekirdek başına sıcaklıklar doğrudan işlemciden okunabilir. Buna Windows yalnızca yönetici izniyle "
                 L"izin veriyor.";
        b.button = L"Etkinleştir";
        b.action = BannerAction::EnableAdvanced;
    } else if (s.valid && !s.cpuTemp && !s.pawnIoInstalled && PawnIoWouldHelp(s)) {
        b.color = palette::kAccent;
        b.title = L"İşlemci sıcaklığı bu bilgisayarda Windows'a bildirilmiyor";
        b.body = L"Ücretsiz ve imzalı PawnIO sürücüsünü kurup Ayarlar'dan gelişmiş sensörleri açarsan Kalorix "
                 L"sıcaklığı doğrudan işlemciden okur.";
        b.button = L"PawnIO'yu indir";
        b.action = BannerAction::DownloadPawnIo;
    } else if (settings.AdvancedSensors && !s.elevated) {
        b.color = palette::kAmber;
        b.title = L"Gelişmiş sensörler bu oturumda kapalı";
        b.body = L"Kalorix normal izinle çalışıyor; fan hızları ve üretici sensörleri okunamıyor.";
        b.button = L"Yeniden başlat";
        b.action = BannerAction::RestartElevated;
    }
    if (!b.title.empty()) banners.push_back(std::move(b));
    return banners;
}

ThrottleSummary MakeThrottleSummary(const SensorSnapshot& s) {
    ThrottleSummary t;
    const double busy = s.busySecondsRecent, atLimit = s.atLimitSecondsRecent;
    const double ratio = busy > 0.0 ? atLimit / busy : 0.0;
    if (busy < 30.0) {
        t.level = 3;
        t.value = L"Yük yok";
        t.detail = L"İşlemci son 10 dakikada yoğun çalışmadı";
    } else {
        t.level = ratio >= 0.15 ? 2 : ratio >= 0.03 ? 1 : 0;
        t.value = ratio < 0.01 ? std::wstring(L"Yavaşlama yok") : Percent(ratio * 100.0);
        t.detail = L"Yük altında " + FormatMinutes(busy);
        if (atLimit >= 1.0) t.detail += L" · " + FormatNumber(std::round(atLimit), 0) + L" sn ısı sınırında";
        if (s.powerLimit && s.powerLimitKnown) t.detail += L" · şu an güç sınırında";
    }
    t.detail += s.thermalThrottleKnown ? L" · kesin ölçüm" : L" · sıcaklığa göre tahmin";
    return t;
}

std::wstring HistorySpanText(int historySeconds) {
    if (historySeconds < 60) return L"Son " + std::to_wstring(historySeconds) + L" sn";
    return L"Son " + std::to_wstring(historySeconds / 60) + L" dk";
}

std::wstring JoinSystemAndCpu(const std::wstring& systemName, const std::wstring& cpuName) {
    if (!systemName.empty() && !cpuName.empty()) return systemName + L"  ·  " + cpuName;
    return systemName.empty() ? cpuName : systemName;
}

bool ShowConsentCard(const Settings& settings, bool noticeAcked) { return settings.ShareData && !noticeAcked; }

std::wstring ConsentBody() {
    return L"Kalorix'in hangi bilgisayarlarda hangi sensörleri okuyabildiğini öğrenmek için donanım modeli, sensör "
           L"durumu ve test puanların anonim olarak gönderilir; test puanların bilgisayarının özellikleriyle birlikte "
           L"takma adla " +
           std::wstring(kServiceHost) +
           L"/skorlar'da listelenir. Adın, kullanıcı adın, bilgisayarının adı, dosyaların ya da IP adresin "
           L"gönderilmez. Tam olarak ne gönderildiğini görebilir, istediğin zaman kapatabilirsin.";
}

// ---- Sensors -------------------------------------------------------------

const std::array<std::wstring, kSensorFilterCount>& SensorFilterLabels() {
    static const std::array<std::wstring, kSensorFilterCount> labels = {
        L"Tümü", L"Sıcaklık", L"Yük", L"Saat Hızı", L"Güç", L"Fan", L"Diğer"};
    return labels;
}

bool SensorPassesFilter(SensorKind kind, int filter) {
    const auto k = static_cast<uint32_t>(kind);
    switch (filter) {
        case 0: return true;
        case 1: return k == 0;
        case 2: return k == 1;
        case 3: return k == 2;
        case 4: return k == 3;
        case 5: return k == 4;
        case 6: return k == 5 || k == 6;
        default: return false;
    }
}

std::wstring SensorTypeLabel(SensorKind kind) { return SensorKindName(kind); }

namespace {
// UTF-16 code-unit order whatever the width of wchar_t: a code point above
// U+FFFF sorts as its high surrogate (0xD800 … 0xDBFF), below U+E000 … U+FFFF.
uint32_t SortUnit(wchar_t ch) {
    const auto cp = static_cast<uint32_t>(ch);
    return cp > 0xFFFF ? 0xD800 + ((cp - 0x10000) >> 10) : cp;
}
bool IdLess(const std::wstring& a, const std::wstring& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](wchar_t x, wchar_t y) { return SortUnit(x) < SortUnit(y); });
}
}  // namespace

std::vector<SensorGroup> GroupSensors(const std::vector<SensorEntry>& sensors, int filter) {
    std::vector<SensorGroup> groups;
    std::unordered_map<std::wstring, size_t> index;
    for (const SensorEntry& entry : sensors) {
        if (!SensorPassesFilter(entry.kind, filter)) continue;
        auto [it, added] = index.try_emplace(entry.device, groups.size());
        if (added) groups.push_back({entry.device, {}});
        groups[it->second].rows.push_back(&entry);
    }
    for (SensorGroup& group : groups) {
        std::stable_sort(group.rows.begin(), group.rows.end(), [](const SensorEntry* a, const SensorEntry* b) {
            if (a->kind != b->kind) return static_cast<uint32_t>(a->kind) < static_cast<uint32_t>(b->kind);
            return IdLess(a->id, b->id);
        });
    }
    return groups;
}

std::wstring SensorsSubtitle(size_t sensorCount) {
    return std::to_wstring(sensorCount) + L" sensör · canlı değerler";
}

}  // namespace kalorix
