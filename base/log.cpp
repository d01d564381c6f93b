#include "base/log.h"

#include <cstdio>
#include <ctime>
#include <mutex>
#include <unordered_set>

namespace kalorix {

namespace {

constexpr size_t kRememberedLines = 512;

struct LogState {
    std::mutex mutex;
    LogSink sink;
    std::unordered_set<std::string> seen;
};

LogState& State() {
    static LogState state;
    return state;
}

const char* LevelWord(LogLevel level) {
    switch (level) {
        case LogLevel::Info: return "info";
        case LogLevel::Warning: return "warning";
        case LogLevel::Error: return "error";
    }
    return "error";
}

}  // namespace

void SetLogSink(LogSink sink) {
    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.sink = std::move(sink);
    state.seen.clear();
}

void Log(LogLevel level, std::string_view source, std::string_view message) {
    LogState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.sink) return;
    std::string key;
    key.reserve(source.size() + 1 + message.size());
    key.append(source).append(1, '\n').append(message);
    if (state.seen.count(key)) return;
    if (state.seen.size() >= kRememberedLines) return;  // a flood: keep what is already in the file
    state.seen.insert(std::move(key));
    state.sink(FormatLogLine(static_cast<int64_t>(std::time(nullptr)), level, source, message));
}

void LogHResult(std::string_view source, std::string_view what, long hr) {
    Log(LogLevel::Error, source, std::string(what) + ": " + HResultText(hr));
}

void LogWin32Error(std::string_view source, std::string_view what, unsigned long error) {
    Log(LogLevel::Error, source, std::string(what) + ": " + Win32ErrorText(error));
}

std::string FormatLogLine(int64_t unixSeconds, LogLevel level, std::string_view source, std::string_view message) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    std::string line = stamp;
    line.append(" ").append(LevelWord(level)).append(" ").append(source).append(": ");
    for (char c : message) line.push_back(c == '\r' || c == '\n' ? ' ' : c);
    return line;
}

std::string HResultText(long hr) {
    char text[32];
    std::snprintf(text, sizeof text, "HRESULT 0x%08lX", static_cast<unsigned long>(hr) & 0xFFFFFFFFul);
    return text;
}

std::string Win32ErrorText(unsigned long error) { return "Win32 error " + std::to_string(error); }

}  // namespace kalorix
