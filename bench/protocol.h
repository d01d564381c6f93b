// The benchmark child's line protocol: the kinds, the parent's BenchState, the
// line parser and end-of-stream rules, and the child's Reporter that writes the
// lines. Portable; the Windows runner and child entry sit on top of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kalorix {

enum class BenchKind : uint32_t { Cpu = 0, Gpu = 1, Disk = 2, Memory = 3 };
inline constexpr size_t kBenchKindCount = 4;

// The command-line word of a kind ("cpu", "gpu", "disk", "memory").
const char* BenchKindWord(BenchKind kind);
const wchar_t* BenchKindWordW(BenchKind kind);

struct BenchState {
    bool running = false;
    bool finished = false;
    BenchKind kind = BenchKind::Cpu;
    double progress = 0.0;  // 0..1
    std::wstring phase;
    std::map<std::string, double> metrics;
    std::map<std::string, std::wstring> info;
    std::wstring error;
    bool success = false;
};

inline constexpr wchar_t kPhaseStarting[] = L"Başlatılıyor";
inline constexpr wchar_t kErrorStartFailed[] = L"Test başlatılamadı";
inline constexpr wchar_t kErrorUnexpectedEnd[] = L"Test beklenmedik şekilde sonlandı";
inline constexpr wchar_t kStopByUser[] = L"Test durduruldu";
inline constexpr wchar_t kErrorUnknownKind[] = L"Bilinmeyen test türü";

namespace bench {

// Folds one line (without its LF) into the state. Returns true for the five
// known line types (the caller then posts its change message), false for an
// empty line or an unknown type.
bool ApplyLine(BenchState& state, std::string_view line);

// End of the child's output stream: the final state of a run.
void FinishRun(BenchState& state, const std::wstring& stopReason);

// Cuts the pipe's byte stream into lines. A partial line waits for the next
// chunk. A line that grows beyond kMaxLine bytes without an LF is cut there
// (a faulty child cannot make the parent's buffer grow without end).
class LineSplitter {
public:
    static constexpr size_t kMaxLine = 64 * 1024;
    template <typename F>
    void feed(std::string_view chunk, F&& onLine) {
        for (char c : chunk) {
            if (c == '\n') {
                onLine(std::string_view(buffer_));
                buffer_.clear();
            } else if (buffer_.size() < kMaxLine) {
                buffer_.push_back(c);
            }
        }
    }
    const std::string& pending() const { return buffer_; }

private:
    std::string buffer_;
};

// UTF-16 text to one protocol line's payload: UTF-8 with every CR and LF byte
// replaced by a blank.
std::string ToUtf8Line(std::wstring_view text);

// The five line texts, each with its LF.
std::string ProgressLine(double fraction, std::wstring_view text);
std::string MetricLine(std::string_view key, double value);
std::string InfoLine(std::string_view key, std::wstring_view text);
std::string ErrorLine(std::wstring_view text);
std::string DoneLine();

// Writes whole lines through its sink (on Windows: one WriteFile on the
// standard output per line; nothing is buffered).
class Reporter {
public:
    using Sink = std::function<void(std::string_view line)>;
    explicit Reporter(Sink sink) : sink_(std::move(sink)) {}

    void Progress(double fraction, std::wstring_view text) { sink_(ProgressLine(fraction, text)); }
    void Metric(std::string_view key, double value) { sink_(MetricLine(key, value)); }
    void Info(std::string_view key, std::wstring_view text) { sink_(InfoLine(key, text)); }
    void Error(std::wstring_view text) { sink_(ErrorLine(text)); }
    void Done() { sink_(DoneLine()); }

private:
    Sink sink_;
};

// Round half away from zero, as every score and rounded metric uses.
double RoundHalfAway(double value);

}  // namespace bench
}  // namespace kalorix
