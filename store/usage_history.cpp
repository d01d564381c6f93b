#include "store/usage_history.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <map>
#include <cmath>
#include <string_view>
#include <system_error>

#include "sensors/text.h"
#include "store/file_util.h"
#include "store/paths.h"

namespace kalorix {

namespace {

constexpr int64_t kReportWindowSeconds = 7 * 24 * 3600;
constexpr size_t kMaxKeyBytes = 64;
// Bounds no real period reaches; a damaged file's figures are held inside them
// so that sums and products stay finite.
constexpr double kMaxGradedSeconds = 1e9;
constexpr double kMaxGradedReading = 1e6;
constexpr const char* kProvisionalMark = "p";


// --- Writing. Numbers go through std::to_chars, which never looks at the locale.

void AppendInt(std::string& out, int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// As printf "%.Nf" ("fixed") or "%.6g" ("general") would write it in the "C" locale.
void AppendDouble(std::string& out, double value, std::chars_format format, int precision) {
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    if (result.ec != std::errc()) {
        out += '0';
        return;
    }
    out.append(buffer, result.ptr);
}

void AppendFixed(std::string& out, double value, int decimals) {
    out += '\t';
    AppendDouble(out, value, std::chars_format::fixed, decimals);
}

// Tabs, line ends and the two map separators would break the line apart on reading.
void AppendSanitised(std::string& out, std::string_view text) {
    for (char c : text) out += (c == '\t' || c == '\n' || c == '\r' || c == ';' || c == '=') ? ' ' : c;
}

void AppendPeriodLine(std::string& out, const HeavyUsePeriod& p, bool provisional = false) {
    out += "S\t";
    AppendInt(out, p.startTime);
    AppendFixed(out, p.duration, 0);
    AppendFixed(out, p.busySeconds, 0);
    AppendFixed(out, p.atLimitSeconds, 0);
    out += p.precise ? "\t1" : "\t0";
    AppendFixed(out, p.maxCpuTemp, 1);
    AppendFixed(out, p.avgCpuTemp, 1);
    AppendFixed(out, p.maxGpuTemp, 1);
    AppendFixed(out, p.avgCpuClock, 0);
    AppendFixed(out, p.avgCpuPower, 1);
    if (provisional) {
        out += '\t';
        out += kProvisionalMark;
    }
    out += '\n';
}

std::string Sanitised(std::string_view text) {
    std::string out;
    AppendSanitised(out, text);
    return out;
}

// "key=value" pieces joined by ";", in the map's (ascending) key order. A key
// that is not storable once its separators are blanked is never written.
template <typename Map, typename WriteValue>
void AppendEntries(std::string& out, const Map& entries, WriteValue writeValue) {
    bool first = true;
    for (const auto& [key, value] : entries) {
        const std::string clean = Sanitised(key);
        if (!IsStorableKey(clean)) continue;
        if (!first) out += ';';
        first = false;
        out += clean;
        out += '=';
        writeValue(value);
    }
}

void AppendRecordLine(std::string& out, const TestRecord& r) {
    out += "B\t";
    out += BenchKindWord(r.kind);
    out += '\t';
    AppendInt(out, r.time);
    out += '\t';
    std::map<std::string, double> finite;
    for (const auto& [key, value] : r.metrics)
        if (std::isfinite(value)) finite.emplace(key, value);
    AppendEntries(out, finite, [&](double v) { AppendDouble(out, v, std::chars_format::general, 6); });
    out += '\t';
    AppendEntries(out, r.info, [&](const std::wstring& text) { AppendSanitised(out, WideToUtf8(text)); });
    out += '\n';
}

// --- Reading.

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// A decimal floating-point number as strtod reads it in the "C" locale: leading
// white space and a sign allowed, anything after the number ignored. Text without
// a number, and infinities or NaN, give 0.
double ParseNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsCSpace(text[i])) ++i;
    if (i + 1 < text.size() && text[i] == '+' && text[i + 1] != '-' && text[i + 1] != '+') ++i;
    double value = 0.0;
    auto result = std::from_chars(text.data() + i, text.data() + text.size(), value, std::chars_format::general);
    if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
    return value;
}

// Whole seconds from a number field; out of the 64-bit range gives 0.
int64_t ParseSeconds(std::string_view text) {
    const double value = std::trunc(ParseNumber(text));
    if (value < -9.2e18 || value > 9.2e18) return 0;
    return static_cast<int64_t>(value);
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (true) {
        const size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// Calls add(key, rest) for every "key=rest" piece of a ";"-joined field.
template <typename Add>
void ForEachEntry(std::string_view field, Add add) {
    for (std::string_view piece : Split(field, ';')) {
        const size_t eq = piece.find('=');
        if (eq != std::string_view::npos) add(std::string(piece.substr(0, eq)), piece.substr(eq + 1));
    }
}

HeavyUsePeriod ParsePeriod(const std::vector<std::string_view>& f) {
    HeavyUsePeriod p;
    p.startTime = ParseSeconds(f[1]);
    p.duration = ParseNumber(f[2]);
    p.busySeconds = ParseNumber(f[3]);
    p.atLimitSeconds = ParseNumber(f[4]);
    p.precise = f[5] == "1";
    p.maxCpuTemp = ParseNumber(f[6]);
    p.avgCpuTemp = ParseNumber(f[7]);
    p.maxGpuTemp = ParseNumber(f[8]);
    p.avgCpuClock = ParseNumber(f[9]);
    p.avgCpuPower = ParseNumber(f[10]);
    return p;
}

TestRecord ParseRecord(const std::vector<std::string_view>& f) {
    TestRecord r;
    r.kind = f[1] == "gpu" ? BenchKind::Gpu : f[1] == "disk" ? BenchKind::Disk : f[1] == "memory" ? BenchKind::Memory
                                                                                                 : BenchKind::Cpu;
    r.time = ParseSeconds(f[2]);
    ForEachEntry(f[3], [&](std::string key, std::string_view value) {
        if (IsStorableKey(key)) r.metrics[std::move(key)] = ParseNumber(value);
    });
    ForEachEntry(f[4], [&](std::string key, std::string_view text) {
        if (IsStorableKey(key)) r.info[std::move(key)] = Utf8ToWide(text);
    });
    return r;
}

// Keeps the first entries of a map (in key order) up to the bound.
template <typename Map>
void KeepFirst(Map& entries, size_t count) {
    if (entries.size() <= count) return;
    auto it = entries.begin();
    std::advance(it, count);
    entries.erase(it, entries.end());
}

// What a stored record may hold: storable keys (separators blanked), finite
// metrics, bounded texts and a bounded number of entries.
void NormaliseRecord(TestRecord& r) {
    if (static_cast<uint32_t>(r.kind) > static_cast<uint32_t>(BenchKind::Memory)) r.kind = BenchKind::Cpu;
    std::map<std::string, double> metrics;
    for (const auto& [key, value] : r.metrics) {
        std::string clean = Sanitised(key);
        if (IsStorableKey(clean) && std::isfinite(value)) metrics.emplace(std::move(clean), value);
    }
    std::map<std::string, std::wstring> info;
    for (const auto& [key, text] : r.info) {
        std::string clean = Sanitised(key);
        if (!IsStorableKey(clean)) continue;
        std::wstring bounded = text.substr(0, kMaxInfoChars);
        // Never end on the first half of a UTF-16 pair.
        if (!bounded.empty() && bounded.back() >= 0xD800 && bounded.back() <= 0xDBFF) bounded.pop_back();
        info.emplace(std::move(clean), std::move(bounded));
    }
    KeepFirst(metrics, kMaxEntriesPerRecord);
    KeepFirst(info, kMaxEntriesPerRecord);
    r.metrics = std::move(metrics);
    r.info = std::move(info);
}

// The newest count records of each kind, in store order.
void CapRecordsPerKind(std::vector<TestRecord>& records, size_t count) {
    size_t seen[4] = {};
    std::vector<bool> keep(records.size());
    for (size_t i = records.size(); i-- > 0;) keep[i] = ++seen[static_cast<uint32_t>(records[i].kind) & 3u] <= count;
    size_t out = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        if (!keep[i]) continue;
        if (out != i) records[out] = std::move(records[i]);
        ++out;
    }
    records.resize(out);
}

struct GradeText {
    const wchar_t* name;
    const wchar_t* advice;
};

const GradeText kNoData = {
    L"Henüz veri yok",
    L"Kalorix yapay yük uygulamaz. Oyun oynadığında, video işlediğinde ya da ağır bir iş yaptığında yoğun "
    L"kullanımı kendiliğinden algılar ve soğutmanın nasıl dayandığını ölçer. Birkaç dakikalık yoğun kullanımdan "
    L"sonra karne burada görünür."};

const GradeText kGrades[4] = {
    {L"Çok iyi",
     L"Yoğun kullanımda işlemci neredeyse hiç ısı sınırına dayanmadı. Soğutma işini iyi yapıyor."},
    {L"İyi",
     L"İşlemci zaman zaman kısa süreliğine ısı sınırına dayanıyor. Modern dizüstülerde bu normaldir; performansa "
     L"etkisi küçüktür."},
    {L"Orta",
     L"İşlemci yoğun kullanımda sık sık ısı sınırına dayanıp yavaşlıyor. Havalandırma deliklerinin açık olduğundan "
     L"emin ol, dizüstünü sert ve düz bir yüzeyde kullan. Windows güç modunu \"Dengeli\"ye almak da ısıyı azaltır."},
    {L"Zayıf",
     L"İşlemci yoğun kullanımın büyük bölümünde ısı sınırında çalışıyor ve belirgin şekilde yavaşlıyor. Fanlarda "
     L"toz birikmiş ya da termal macun kurumuş olabilir; bir bakım (fan temizliği, macun yenileme) genellikle "
     L"büyük fark yaratır."},
};

double Clamped(double value, double high) { return std::clamp(value, 0.0, high); }

}  // namespace

bool InReportWindow(int64_t startTime, int64_t now) {
    if (startTime >= now) return true;  // dated in the future: counted
    // now - startTime without signed overflow; the true difference is positive.
    return static_cast<uint64_t>(now) - static_cast<uint64_t>(startTime) <= static_cast<uint64_t>(kReportWindowSeconds);
}

bool PeriodIsFinite(const HeavyUsePeriod& p) {
    for (double v : {p.duration, p.busySeconds, p.atLimitSeconds, p.maxCpuTemp, p.avgCpuTemp, p.maxGpuTemp,
                     p.avgCpuClock, p.avgCpuPower})
        if (!std::isfinite(v)) return false;
    return true;
}

HeavyUsePeriod ClampedForGrading(const HeavyUsePeriod& p) {
    HeavyUsePeriod c = p;
    c.duration = Clamped(p.duration, kMaxGradedSeconds);
    c.busySeconds = Clamped(p.busySeconds, kMaxGradedSeconds);
    c.atLimitSeconds = Clamped(p.atLimitSeconds, c.busySeconds);
    c.maxCpuTemp = Clamped(p.maxCpuTemp, kMaxGradedReading);
    c.avgCpuTemp = Clamped(p.avgCpuTemp, kMaxGradedReading);
    c.maxGpuTemp = Clamped(p.maxGpuTemp, kMaxGradedReading);
    c.avgCpuClock = Clamped(p.avgCpuClock, kMaxGradedReading);
    c.avgCpuPower = Clamped(p.avgCpuPower, kMaxGradedReading);
    return c;
}

bool IsStorableKey(std::string_view key) {
    if (key.empty() || key.size() > kMaxKeyBytes) return false;
    bool anyVisible = false;
    for (char ch : key) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c > 0x7E || c == ';' || c == '=') return false;
        anyVisible = anyVisible || c != ' ';
    }
    return anyVisible;
}

std::string SerializeHistory(const std::vector<HeavyUsePeriod>& periods, const std::vector<TestRecord>& records,
                             const std::optional<HeavyUsePeriod>& provisional) {
    std::string out;
    out.reserve((periods.size() + 1) * 64 + records.size() * 256);
    for (const auto& p : periods) AppendPeriodLine(out, p);
    if (provisional) AppendPeriodLine(out, *provisional, true);
    for (const auto& r : records) AppendRecordLine(out, r);
    return out;
}

void ParseHistory(std::string_view text, std::vector<HeavyUsePeriod>& periods, std::vector<TestRecord>& records) {
    periods.clear();
    records.clear();
    for (std::string_view line : Split(text, '\n')) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const auto fields = Split(line, '\t');
        if (fields.size() >= 11 && fields[0] == "S") {
            periods.push_back(ParsePeriod(fields));
        } else if (fields.size() >= 5 && fields[0] == "B") {
            records.push_back(ParseRecord(fields));
            NormaliseRecord(records.back());
        }
    }
    if (periods.size() > kMaxPeriods) periods.erase(periods.begin(), periods.end() - kMaxPeriods);
    CapRecordsPerKind(records, kMaxRecordsPerKind);
}

CoolingReportCard MakeReportCard(const std::vector<HeavyUsePeriod>& periods, int64_t now) {
    CoolingReportCard card;
    card.windowEnd = now;
    double heavy = 0.0, busy = 0.0, atLimit = 0.0, clockSum = 0.0;
    bool anyImprecise = false;
    for (const auto& original : periods) {
        if (!InReportWindow(original.startTime, now) || !PeriodIsFinite(original)) continue;
        const HeavyUsePeriod p = ClampedForGrading(original);
        ++card.count;
        heavy += p.duration;
        busy += p.busySeconds;
        atLimit += p.atLimitSeconds;
        card.maxCpuTemp = std::max(card.maxCpuTemp, p.maxCpuTemp);
        clockSum += p.avgCpuClock * p.busySeconds;
        anyImprecise = anyImprecise || !p.precise;
    }
    if (card.count == 0) {
        card.gradeName = kNoData.name;
        card.advice = kNoData.advice;
        return card;
    }
    card.precise = !anyImprecise;
    card.heavyUseHours = heavy / 3600.0;
    card.atLimitRatio = busy > 0 ? atLimit / busy : 0.0;
    card.avgCpuClock = busy > 0 ? clockSum / busy : 0.0;
    const double r = card.atLimitRatio;
    card.grade = r < 0.02 ? 0 : r < 0.10 ? 1 : r < 0.25 ? 2 : 3;
    card.gradeName = kGrades[card.grade].name;
    card.advice = kGrades[card.grade].advice;
    return card;
}

UsageHistory::UsageHistory(std::filesystem::path path) : path_(std::move(path)) {
    // A failed read is logged there; the store then starts empty.
    if (const auto text = ReadFileBytes(path_)) ParseHistory(*text, periods_, records_);
}

void UsageHistory::addPeriod(const HeavyUsePeriod& period) {
    std::lock_guard guard(lock_);
    periods_.push_back(period);
    provisional_.reset();
    if (periods_.size() > kMaxPeriods) periods_.erase(periods_.begin(), periods_.end() - kMaxPeriods);
    save();
}

void UsageHistory::setProvisionalPeriod(const HeavyUsePeriod& period) {
    std::lock_guard guard(lock_);
    provisional_ = period;
    save();
}

void UsageHistory::clearProvisionalPeriod() {
    std::lock_guard guard(lock_);
    if (!provisional_) return;
    provisional_.reset();
    save();
}

std::optional<HeavyUsePeriod> UsageHistory::provisionalPeriod() const {
    std::lock_guard guard(lock_);
    return provisional_;
}

void UsageHistory::addTestRecord(const TestRecord& original) {
    std::lock_guard guard(lock_);
    TestRecord record = original;
    NormaliseRecord(record);
    records_.push_back(record);
    const auto sameKind = [&](const TestRecord& r) { return r.kind == record.kind; };
    auto count = static_cast<size_t>(std::count_if(records_.begin(), records_.end(), sameKind));
    for (; count > kMaxRecordsPerKind; --count) records_.erase(std::find_if(records_.begin(), records_.end(), sameKind));
    save();
}

std::vector<HeavyUsePeriod> UsageHistory::periods() const {
    std::lock_guard guard(lock_);
    return periods_;
}

std::vector<TestRecord> UsageHistory::testRecords() const {
    std::lock_guard guard(lock_);
    return records_;
}

std::optional<TestRecord> UsageHistory::latestTestRecord(int32_t kind) const {
    std::lock_guard guard(lock_);
    for (auto it = records_.rbegin(); it != records_.rend(); ++it)
        if (static_cast<int32_t>(it->kind) == kind) return *it;
    return std::nullopt;
}

// Rewrites the whole file through a temporary one. When that fails the additions
// stay in memory and the old file stays whole; the next good save writes everything.
void UsageHistory::save() {
    if (path_.empty()) return;
    AtomicWriteFile(path_, SerializeHistory(periods_, records_, provisional_), true);  // failures are logged there
}

#if !defined(_WIN32)
// The Windows versions live in usage_history_win.cpp.
std::filesystem::path HistoryPath(bool createFolder) {
    std::filesystem::path folder = KalorixDataFolder(createFolder);
    if (folder.empty()) return {};
    return folder / "history.txt";
}

UsageHistory& UsageHistory::instance() {
    static UsageHistory store(HistoryPath(false));  // one-time, thread-safe initialisation
    return store;
}
#endif

}  // namespace kalorix
