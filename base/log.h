// The program's one log: every failure that is absorbed (a provider that cannot
// start, an API call that fails, a file that cannot be saved) is recorded here
// with its source and code. Portable; the Windows layer installs the sink that
// writes kalorix.log and OutputDebugString (base/log_win.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kalorix {

enum class LogLevel { Info, Warning, Error };

// Receives one finished line (UTF-8, no line end). Called under the log's lock.
using LogSink = std::function<void(std::string_view line)>;

// Replaces the sink; an empty one drops every line. Also forgets which lines
// were seen (see Log).
void SetLogSink(LogSink sink);

// Records one line. A line whose source and message were already logged in
// this process is dropped, so a failure that repeats every sampling cycle is
// written once; at most 512 distinct lines are remembered.
void Log(LogLevel level, std::string_view source, std::string_view message);

// Shorthands for a failed call with its code: "what failed: HRESULT 0x80070005".
void LogHResult(std::string_view source, std::string_view what, long hr);
void LogWin32Error(std::string_view source, std::string_view what, unsigned long error);

// "2026-12-07T02:17:22Z error pdh: text" (UTC).
std::string FormatLogLine(int64_t unixSeconds, LogLevel level, std::string_view source, std::string_view message);
std::string HResultText(long hr);               // "HRESULT 0x80070005"
std::string Win32ErrorText(unsigned long error);  // "Win32 error 5"

}  // namespace kalorix
