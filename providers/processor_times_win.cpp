// The samples behind the counters' fallback: per-processor times from
// NtQuerySystemInformation(SystemProcessorPerformanceInformation), the
// system-wide times from GetSystemTimes and the clocks from
// CallNtPowerInformation(ProcessorInformation).
#include <windows.h>
#include <winternl.h>
#include <powrprof.h>

#include <vector>

#include "base/log.h"
#include "providers/perf_counter_win.h"

namespace kalorix {

namespace {

constexpr char kLogSource[] = "cpu-times";
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
constexpr int kMaxAttempts = 4;

// PROCESSOR_POWER_INFORMATION (documented with CallNtPowerInformation; in no SDK header).
struct ProcessorPowerInformation {
    ULONG Number;
    ULONG MaxMhz;
    ULONG CurrentMhz;
    ULONG MhzLimit;
    ULONG MaxIdleState;
    ULONG CurrentIdleState;
};

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);

uint64_t Ticks(const LARGE_INTEGER& value) { return static_cast<uint64_t>(value.QuadPart); }
uint64_t Ticks(const FILETIME& value) { return (uint64_t(value.dwHighDateTime) << 32) | value.dwLowDateTime; }

class SystemProcessorTimes final : public ProcessorTimesSource {
public:
    SystemProcessorTimes() {
        // ntdll is in every process and is never unloaded: no reference to own.
        if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"))
            query_ = reinterpret_cast<NtQuerySystemInformationFn>(
                reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
        if (!query_) Log(LogLevel::Warning, kLogSource, "NtQuerySystemInformation not found");
    }

    std::optional<std::vector<CpuTimes>> perProcessor() override {
        if (!query_) return std::nullopt;
        std::vector<SYSTEM_PROCESSOR_PERFORMANCE_INFORMATION> buffer(64);  // one processor group
        for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
            ULONG returned = 0;
            const ULONG bytes = static_cast<ULONG>(buffer.size() * sizeof(buffer[0]));
            const LONG status = query_(SystemProcessorPerformanceInformation, buffer.data(), bytes, &returned);
            if (status == kStatusInfoLengthMismatch || status == kStatusBufferTooSmall) {
                buffer.resize(std::max<size_t>(buffer.size() * 2, returned / sizeof(buffer[0]) + 1));
                continue;
            }
            if (status < 0) {
                LogHResult(kLogSource, "NtQuerySystemInformation(SystemProcessorPerformanceInformation)", status);
                return std::nullopt;
            }
            const size_t count = std::min<size_t>(returned / sizeof(buffer[0]), buffer.size());
            std::vector<CpuTimes> times(count);
            for (size_t i = 0; i < count; ++i)
                times[i] = {Ticks(buffer[i].IdleTime), Ticks(buffer[i].KernelTime), Ticks(buffer[i].UserTime)};
            return times;
        }
        return std::nullopt;
    }

    std::optional<CpuTimes> total() override {
        FILETIME idle{}, kernel{}, user{};
        if (!GetSystemTimes(&idle, &kernel, &user)) {
            LogWin32Error(kLogSource, "GetSystemTimes", GetLastError());
            return std::nullopt;
        }
        return CpuTimes{Ticks(idle), Ticks(kernel), Ticks(user)};
    }

    std::vector<ProcessorClock> clocks() override {
        size_t count = std::max<DWORD>(1, GetActiveProcessorCount(ALL_PROCESSOR_GROUPS));
        for (int attempt = 0; attempt < kMaxAttempts; ++attempt, count *= 2) {
            std::vector<ProcessorPowerInformation> info(count);
            const LONG status = CallNtPowerInformation(ProcessorInformation, nullptr, 0, info.data(),
                                                       static_cast<ULONG>(info.size() * sizeof(info[0])));
            if (status == kStatusBufferTooSmall) continue;
            if (status < 0) {
                LogHResult(kLogSource, "CallNtPowerInformation(ProcessorInformation)", status);
                return {};
            }
            std::vector<ProcessorClock> clocks(count);
            for (size_t i = 0; i < count; ++i) clocks[i] = {info[i].MaxMhz, info[i].CurrentMhz};
            return clocks;
        }
        return {};
    }

private:
    NtQuerySystemInformationFn query_ = nullptr;
};

}  // namespace

std::unique_ptr<ProcessorTimesSource> OpenSystemProcessorTimes() { return std::make_unique<SystemProcessorTimes>(); }

}  // namespace kalorix
