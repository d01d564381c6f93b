#include "bench/protocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "sensors/text.h"

namespace kalorix {

const char* BenchKindWord(BenchKind kind) {
    switch (kind) {
        case BenchKind::Cpu: return "cpu";
        case BenchKind::Gpu: return "gpu";
        case BenchKind::Disk: return "disk";
        case BenchKind::Memory: return "memory";
    }
    return "";
}

const wchar_t* BenchKindWordW(BenchKind kind) {
    switch (kind) {
        case BenchKind::Cpu: return L"cpu";
        case BenchKind::Gpu: return L"gpu";
        case BenchKind::Disk: return L"disk";
        case BenchKind::Memory: return L"memory";
    }
    return L"";
}

namespace bench {

namespace {

// C-locale parse of the number at the start of text; trailing text ignored,
// 0 when there is no number (as strtod).
double ParseLeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    double value = 0.0;
    auto [ptr, ec] = std::from_chars(text.data() + i, text.data() + text.size(), value);
    if (ec != std::errc()) return 0.0;
    return value;
}

// A faulty child must not make the parent's maps grow without end or carry keys
// that no record or report can hold: 1 to 64 visible ASCII characters, and at
// most kMaxEntries different keys per map (a known key is still updated).
constexpr size_t kMaxEntries = 64;
constexpr size_t kMaxKeyBytes = 64;

bool UsableKey(std::string_view key) {
    if (key.empty() || key.size() > kMaxKeyBytes) return false;
    return std::all_of(key.begin(), key.end(), [](char c) { return c > 0x20 && c < 0x7F && c != ';' && c != '='; });
}

template <typename Map, typename Value>
void StoreEntry(Map& map, std::string_view key, Value&& value) {
    if (!UsableKey(key)) return;
    auto it = map.find(std::string(key));
    if (it != map.end()) it->second = std::forward<Value>(value);
    else if (map.size() < kMaxEntries) map.emplace(std::string(key), std::forward<Value>(value));
}

}  // namespace

bool ApplyLine(BenchState& state, std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) return false;
    const char type = line[0];
    const std::string_view payload = line.size() > 2 ? line.substr(2) : std::string_view();
    const size_t s = payload.find(' ');
    switch (type) {
        case 'P': {
            double p = ParseLeadingNumber(payload);
            // The child clamps already; a damaged value must not leave 0..1 either.
            if (!(p >= 0.0)) p = 0.0;
            state.progress = std::min(p, 1.0);
            state.phase = s == std::string_view::npos ? std::wstring() : Utf8ToWide(payload.substr(s + 1));
            return true;
        }
        case 'M':
            if (s != std::string_view::npos) {
                const double v = ParseLeadingNumber(payload.substr(s + 1));
                // A non-finite figure would poison every score built from it.
                if (std::isfinite(v)) StoreEntry(state.metrics, payload.substr(0, s), v);
            }
            return true;
        case 'I':
            if (s != std::string_view::npos) {
                StoreEntry(state.info, payload.substr(0, s), Utf8ToWide(payload.substr(s + 1)));
            }
            return true;
        case 'E':
            state.error = Utf8ToWide(payload);
            return true;
        case 'D':
            state.success = state.error.empty();
            state.progress = 1.0;
            return true;
        default:
            return false;
    }
}

void FinishRun(BenchState& state, const std::wstring& stopReason) {
    if (!stopReason.empty()) {
        state.error = stopReason;
        state.success = false;
    } else if (!state.success && state.error.empty()) {
        state.error = kErrorUnexpectedEnd;
    }
    state.running = false;
    state.finished = true;
}

std::string ToUtf8Line(std::wstring_view text) {
    std::string out = WideToUtf8(text);
    std::replace_if(out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

std::string ProgressLine(double fraction, std::wstring_view text) {
    if (!(fraction >= 0.0)) fraction = 0.0;
    fraction = std::min(fraction, 1.0);
    char buffer[32];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, fraction, std::chars_format::fixed, 4);
    std::string line = "P ";
    line.append(buffer, ec == std::errc() ? end : buffer);
    line += ' ';
    line += ToUtf8Line(text);
    line += '\n';
    return line;
}

std::string MetricLine(std::string_view key, double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    std::string line = "M ";
    line += key;
    line += ' ';
    line.append(buffer, ec == std::errc() ? end : buffer);
    line += '\n';
    return line;
}

std::string InfoLine(std::string_view key, std::wstring_view text) {
    std::string line = "I ";
    line += key;
    line += ' ';
    line += ToUtf8Line(text);
    line += '\n';
    return line;
}

std::string ErrorLine(std::wstring_view text) { return "E " + ToUtf8Line(text) + "\n"; }

std::string DoneLine() { return "D\n"; }

double RoundHalfAway(double value) { return std::round(value); }

}  // namespace bench
}  // namespace kalorix
