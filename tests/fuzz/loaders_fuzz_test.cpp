// Random and mutated input for everything that reads bytes from outside: the
// settings, history and telemetry files and the benchmark child's output. A
// fixed seed and a fixed count keep every run the same; scripts/build asan
// builds this alone with AddressSanitizer and UndefinedBehaviorSanitizer. Each
// loaded record must pass its own invariants: finite numbers, bounded lists,
// usable keys, clamped settings, and a report that is valid JSON.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <unistd.h>

#include "bench/protocol.h"
#include "sensors/format.h"
#include "store/settings.h"
#include "store/usage_history.h"
#include "telemetry/report.h"
#include "telemetry/telemetry_state.h"

using namespace kalorix;
namespace fs = std::filesystem;

namespace {

constexpr int kInputs = 20000;          // per loader
constexpr int kThroughTheFileEvery = 100;  // also load one input in this many from a real file
constexpr uint64_t kSeed = 0x6b616c6f726978;  // "kalorix"

using Rng = std::mt19937_64;

const char* const kTokens[] = {"\t", "\n", "\r\n", "\r", "=", ";", ":", ",", "{", "}", "\"", " ", "-", "+", "0",
                               "1", "nan", "-nan", "inf", "1e999", "-1e308", "1e308", "0x1p3", ".5", "-0",
                               "9999999999999999999999", "-9223372036854775808", "S", "B", "P", "M", "I", "E", "D",
                               "p", "true", "false", "\xFF", "\xC3", "\xE2\x80", "\xF0\x9F\x98\x80", "(NUL)"};

size_t Pick(Rng& rng, size_t n) { return n == 0 ? 0 : static_cast<size_t>(rng() % n); }

std::string Token(Rng& rng) {
    const size_t i = Pick(rng, std::size(kTokens));
    return i + 1 == std::size(kTokens) ? std::string(1, '\0') : std::string(kTokens[i]);
}

std::string RandomBytes(Rng& rng, size_t maxLen) {
    std::string s(Pick(rng, maxLen + 1), '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// A few edits of a valid text: flipped bits, inserted tokens, cut or doubled pieces.
std::string Mutate(std::string s, Rng& rng) {
    for (int e = 0, edits = 1 + static_cast<int>(Pick(rng, 8)); e < edits; ++e) {
        const size_t at = Pick(rng, s.size() + 1);
        const size_t op = Pick(rng, 7);
        if (op == 0 && !s.empty()) s[Pick(rng, s.size())] ^= static_cast<char>(1u << Pick(rng, 8));
        if (op == 1) s.insert(at, Token(rng));
        if (op == 2) s.erase(at, Pick(rng, 16));
        if (op == 3) s.insert(at, s.substr(Pick(rng, s.size() + 1), Pick(rng, 64)));
        if (op == 4) s.resize(at);
        if (op == 5 && at < s.size()) s.replace(at, 1, Token(rng));
        if (op == 6) s.insert(at, RandomBytes(rng, 8));
    }
    return s;
}

// Mostly mutated valid texts, some pure noise, and now and then a huge one.
std::string Input(Rng& rng, const std::vector<std::string>& seeds) {
    const size_t kind = Pick(rng, 100);
    if (kind < 20) return RandomBytes(rng, 400);
    std::string base = seeds[Pick(rng, seeds.size())];
    if (kind == 99) {
        std::string big;
        for (int i = 0; i < 400; ++i) big += base;
        return Mutate(std::move(big), rng);
    }
    return Mutate(std::move(base), rng);
}

// ---- a small JSON checker (RFC 8259), plus: no member without a name --------

struct JsonCheck {
    std::string_view t;
    size_t i = 0;
    int depth = 0;

    bool at(char c) const { return i < t.size() && t[i] == c; }
    bool digit() const { return i < t.size() && std::isdigit(static_cast<unsigned char>(t[i])); }
    void ws() {
        while (i < t.size() && std::string_view(" \n\r\t").find(t[i]) != std::string_view::npos) ++i;
    }
    bool lit(std::string_view w) { return t.substr(i, w.size()) == w ? (i += w.size(), true) : false; }
    bool digits() {
        const size_t from = i;
        while (digit()) ++i;
        return i > from;
    }
    bool str(bool* empty = nullptr) {
        if (!at('"')) return false;
        const size_t start = ++i;
        for (; i < t.size() && t[i] != '"'; ++i) {
            if (static_cast<unsigned char>(t[i]) < 0x20) return false;
            if (t[i] != '\\') continue;
            if (++i >= t.size()) return false;
            if (t[i] == 'u') {
                for (int k = 0; k < 4; ++k)
                    if (++i >= t.size() || !std::isxdigit(static_cast<unsigned char>(t[i]))) return false;
            } else if (std::string_view("\"\\/bfnrt").find(t[i]) == std::string_view::npos) {
                return false;
            }
        }
        if (empty) *empty = i == start;
        return lit("\"");
    }
    bool num() {
        lit("-");
        if (!lit("0") && !digits()) return false;
        if (lit(".") && !digits()) return false;
        if (lit("e") || lit("E")) {
            if (!lit("+")) lit("-");
            return digits();
        }
        return true;
    }
    bool value() {
        if (++depth > 64) return false;
        ws();
        const bool ok = at('{') ? container('}', true) : at('[') ? container(']', false) : at('"') ? str()
                       : lit("true") || lit("false") || lit("null") || num();
        return --depth, ok;
    }
    bool container(char close, bool object) {
        ++i;
        ws();
        if (lit(std::string_view(&close, 1))) return true;
        for (;;) {
            bool empty = false;
            if (object && (ws(), !str(&empty) || empty || (ws(), !lit(":")))) return false;
            if (!value()) return false;
            ws();
            if (!lit(",")) return lit(std::string_view(&close, 1));
        }
    }
};

bool ValidJson(std::string_view text) {
    JsonCheck c{text};
    return c.value() && (c.ws(), c.i == text.size());
}

// ---- invariants ---------------------------------------------------------------


void CheckHistory(const std::vector<HeavyUsePeriod>& periods, const std::vector<TestRecord>& records) {
    ASSERT_LE(periods.size(), kMaxPeriods);
    for (const HeavyUsePeriod& p : periods) ASSERT_TRUE(PeriodIsFinite(p));
    size_t perKind[4] = {};
    for (const TestRecord& r : records) {
        const uint32_t kind = static_cast<uint32_t>(r.kind);
        ASSERT_LE(kind, 3u);
        ASSERT_LE(++perKind[kind], kMaxRecordsPerKind);
        ASSERT_LE(r.metrics.size(), kMaxEntriesPerRecord);
        ASSERT_LE(r.info.size(), kMaxEntriesPerRecord);
        for (const auto& [key, value] : r.metrics) ASSERT_TRUE(IsStorableKey(key) && std::isfinite(value)) << key;
        for (const auto& [key, text] : r.info) ASSERT_TRUE(IsStorableKey(key) && text.size() <= kMaxInfoChars) << key;
    }
}

void CheckCardAndReport(const std::vector<HeavyUsePeriod>& periods, const std::vector<TestRecord>& records,
                        int64_t now) {
    const CoolingReportCard card = MakeReportCard(periods, now);
    ASSERT_TRUE(std::isfinite(card.heavyUseHours) && std::isfinite(card.avgCpuClock) && std::isfinite(card.maxCpuTemp));
    ASSERT_TRUE(card.atLimitRatio >= 0.0 && card.atLimitRatio <= 1.0 && card.grade >= -1 && card.grade <= 3);
    for (const HeavyUsePeriod& p : periods) {
        for (const std::wstring& text : {FormatMinutes(p.duration), FormatTemperature(p.maxCpuTemp, true),
                                         FormatNumber(p.avgCpuClock / 1000.0, 2), FormatDateTime(p.startTime)})
            ASSERT_EQ(text.find(L"-0 "), std::wstring::npos);
    }
    ReportInputs in;
    in.id = "0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a392";
    for (const TestRecord& r : records) in.latest[static_cast<size_t>(r.kind)] = r;
    const std::string doc = BuildCompatibilityReport(in, SensorSnapshot{});
    ASSERT_TRUE(ValidJson(doc)) << doc;
}

struct TempFolder {
    fs::path dir = fs::temp_directory_path() / ("kalorix-fuzz-" + std::to_string(::getpid()));
    TempFolder() { fs::create_directories(dir); }
    ~TempFolder() { fs::remove_all(dir); }
    fs::path write(const std::string& name, const std::string& bytes) const {
        const fs::path p = dir / name;
        std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return p;
    }
};

// Prints the run's figures: how long it took and how many inputs got far enough
// to load something (a fuzz run that only feeds the error paths tests little).
struct Figures {
    const char* what;
    int loaded = 0;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    ~Figures() {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        std::printf("  %d inputs in %lld ms; %d %s\n", kInputs, static_cast<long long>(ms.count()), loaded, what);
    }
};

std::string Crlf(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
    return out;
}

// A history file with a period, a provisional period and two records, as the store writes it.
const std::vector<std::string> kHistorySeeds = {
    "S\t1765000000\t612\t581\t34\t1\t97.2\t88.0\t72.0\t3412\t44.4\n"
    "B\tcpu\t1765000100\tcpu.mt_score=9050;cpu.st_score=1210;cpu.threads=16\t\n"
    "B\tdisk\t1765000200\tdisk.rnd_read_iops=45000;disk.seq_read_mbs=3450.5\t"
    "disk.drive=C:;disk.model=WD Black SN770 \xE2\x80\x94 1 TB\n"
    "S\t1765000300\t240\t200\t0\t0\t80.0\t70.0\t0.0\t2000\t20.0\tp\n",
    "S\t1765000000\t612\t581\t34\t1\t97.2\t88.0\t72.0\t3412\t44.4\n",
    "B\tgpu\t1765000100\tgpu.score=640\tgpu.name=Sanal Kart\n"};

}  // namespace

TEST(Fuzz, SettingsLoader) {
    Rng rng(kSeed);
    TempFolder tmp;
    setenv("XDG_CONFIG_HOME", tmp.dir.c_str(), 1);
    std::string whole = SerializeSettings(Settings{});
    const std::vector<std::string> seeds = {whole, Crlf(whole), "{\"UpdateIntervalMs\": 2000, \"ShareData\": true}"};
    Figures figures{"loaded as intact files"};
    for (int n = 0; n < kInputs; ++n) {
        const std::string text = Input(rng, seeds);
        const ReadSettingsResult r = SettingsFromFile(ReadStatus::Ok, text);
        const Settings& s = r.settings;
        ASSERT_TRUE(s.UpdateIntervalMs >= 500 && s.UpdateIntervalMs <= 5000 && s.WarningTemp >= 50 &&
                    s.WarningTemp <= 105 && s.HistorySeconds >= 60 && s.HistorySeconds <= 1800) << text;
        if (!SettingsTextIntact(text)) ASSERT_FALSE(r.settings.ShareData);
        else ++figures.loaded;
        // What is saved reads back the same.
        ASSERT_EQ(ParseSettings(SerializeSettings(r.settings)), r.settings);
        if (n % kThroughTheFileEvery == 0) {
            fs::create_directories(tmp.dir / "Kalorix");
            tmp.write("Kalorix/settings.json", text);
            ASSERT_EQ(LoadSettings(), r.settings);
        }
    }
    unsetenv("XDG_CONFIG_HOME");
}

TEST(Fuzz, HistoryLoader) {
    Rng rng(kSeed + 1);
    TempFolder tmp;
    Figures figures{"with at least one period or record"};
    for (int n = 0; n < kInputs; ++n) {
        const std::string text = Input(rng, kHistorySeeds);
        std::vector<HeavyUsePeriod> periods;
        std::vector<TestRecord> records;
        ParseHistory(text, periods, records);
        ASSERT_NO_FATAL_FAILURE(CheckHistory(periods, records));
        if (!periods.empty() || !records.empty()) ++figures.loaded;
        ASSERT_NO_FATAL_FAILURE(CheckCardAndReport(periods, records, 1765000000 + static_cast<int64_t>(rng() % 1000000)));
        // Saving what was loaded and loading it again changes nothing.
        const std::string saved = SerializeHistory(periods, records);
        std::vector<HeavyUsePeriod> periods2;
        std::vector<TestRecord> records2;
        ParseHistory(saved, periods2, records2);
        ASSERT_EQ(SerializeHistory(periods2, records2), saved);
        if (n % kThroughTheFileEvery == 0) {
            UsageHistory store(tmp.write("history.txt", text));
            ASSERT_EQ(SerializeHistory(store.periods(), store.testRecords()), saved);
        }
    }
}

TEST(Fuzz, TelemetryLoader) {
    Rng rng(kSeed + 2);
    const std::string id = "0b5c7e2a-1f4d-4c3b-9a8e-77d6c5b4a392";
    const std::string text = "id=" + id + "\nnoticeShownAt=1765000000\nnoticeAcked=1\nlastSentAt=1765003600\n"
                             "lastHash=0123456789abcdef\npending=0\n";
    const std::vector<std::string> seeds = {text, Crlf(text), "id=" + id + "\n"};
    Figures figures{"with a usable identity"};
    for (int n = 0; n < kInputs; ++n) {
        const int64_t now = 1765000000 + static_cast<int64_t>(rng() % 100000000) - 50000000;
        bool valid = false;
        TelemetryState s = ParseTelemetryState(Input(rng, seeds), &valid);
        ClampTelemetryTimes(s, now);
        ASSERT_EQ(valid, IsAnonymousId(s.id));
        figures.loaded += valid;
        for (int64_t t : {s.noticeShownAt, s.lastSentAt}) ASSERT_TRUE(t >= 0 && t <= now + kFutureToleranceSeconds);
        ReportGateOpen(s, now);
        ReportWorthSending(s, "0123456789abcdef", now);
        if (valid) {
            bool again = false;
            const TelemetryState back = ParseTelemetryState(SerializeTelemetryState(s), &again);
            ASSERT_TRUE(again);
            ASSERT_EQ(SerializeTelemetryState(back), SerializeTelemetryState(s));
        }
    }
}

TEST(Fuzz, ChildLineParser) {
    Rng rng(kSeed + 3);
    const std::vector<std::string> seeds = {
        "P 0.2500 Tek çekirdek: Tamsayı\nM cpu.st_score 1234\nM cpu.mt_score 9050\nI cpu.name Örnek\nD\n",
        "P 0.5 x\nE Test programı derlenemedi\nD\n", "M memory.latency_ns 8.5e+01\r\nI gpu.name Sanal Kart\r\n"};
    Figures figures{"with at least one metric"};
    for (int n = 0; n < kInputs; ++n) {
        BenchState state;
        state.running = true;
        bench::LineSplitter splitter;
        const std::string stream = Input(rng, seeds);
        // The pipe delivers the stream in chunks of any size.
        for (size_t at = 0; at < stream.size();) {
            const size_t len = 1 + Pick(rng, 64);
            splitter.feed(std::string_view(stream).substr(at, len),
                          [&](std::string_view line) { bench::ApplyLine(state, line); });
            at += len;
            ASSERT_LE(splitter.pending().size(), bench::LineSplitter::kMaxLine);
        }
        bench::FinishRun(state, n % 7 == 0 ? std::wstring(kStopByUser) : std::wstring());
        ASSERT_TRUE(state.progress >= 0.0 && state.progress <= 1.0);  // false for NaN too
        ASSERT_LE(state.metrics.size(), kMaxEntriesPerRecord);
        ASSERT_LE(state.info.size(), kMaxEntriesPerRecord);
        for (const auto& [key, value] : state.metrics) ASSERT_TRUE(IsStorableKey(key) && std::isfinite(value)) << key;
        for (const auto& [key, text] : state.info) ASSERT_TRUE(IsStorableKey(key)) << key;
        ASSERT_TRUE(state.finished && (state.success || !state.error.empty()));
        figures.loaded += !state.metrics.empty();
    }
}
