#include "providers/perf_counter_win.h"

#include <windows.h>
#include <pdh.h>
#include <pdhmsg.h>

#include <algorithm>
#include <array>
#include <vector>

#include "base/log.h"
#include "base/scoped_win.h"
#include "providers/factories_win.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr DWORD kArrayFormat = PDH_FMT_DOUBLE | PDH_FMT_NOCAP100;  // 0x8200

struct PdhQueryTraits {
    using Handle = PDH_HQUERY;
    static Handle Empty() { return nullptr; }
    static bool Valid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { PdhCloseQuery(h); }
};
using UniquePdhQuery = UniqueResource<PdhQueryTraits>;

class PdhCounterSource final : public CounterSource {
public:
    explicit PdhCounterSource(UniquePdhQuery query) : query_(std::move(query)) {
        for (int i = 0; i < kPerfCounterCount; ++i) {
            PDH_HCOUNTER counter = nullptr;
            const PDH_STATUS status =
                PdhAddEnglishCounterW(query_.get(), PerfCounterPath(static_cast<PerfCounterId>(i)), 0, &counter);
            // A counter this machine lacks stays null and is never read.
            counters_[i] = status == ERROR_SUCCESS ? counter : nullptr;
            if (status != ERROR_SUCCESS)
                LogHResult("pdh", "PdhAddEnglishCounterW " + WideToUtf8(PerfCounterPath(static_cast<PerfCounterId>(i))),
                           static_cast<long>(status));
        }
        // First sample, so the rate counters have a value at the next collection.
        PdhCollectQueryData(query_.get());
    }

    bool collect() override {
        const PDH_STATUS status = PdhCollectQueryData(query_.get());
        if (status != ERROR_SUCCESS) LogHResult("pdh", "PdhCollectQueryData", static_cast<long>(status));
        return status == ERROR_SUCCESS;
    }

    CounterArray readArray(PerfCounterId id) override {
        CounterArray out;
        PDH_HCOUNTER counter = counters_[static_cast<int>(id)];
        // Never ask PDH about a counter that was not added: some PDH
        // implementations (Wine) abort the whole process in this call.
        if (!counter) return out;
        // The instance set may grow between the size query and the read; try again then.
        for (int attempt = 0; attempt < 3; ++attempt) {
            DWORD bytes = 0, count = 0;
            PDH_STATUS status = PdhGetFormattedCounterArrayW(counter, kArrayFormat, &bytes, &count, nullptr);
            if (status != static_cast<PDH_STATUS>(PDH_MORE_DATA) || bytes == 0) return out;
            // Items first, their instance names after them, all in one block.
            std::vector<PDH_FMT_COUNTERVALUE_ITEM_W> buffer(
                (bytes + sizeof(PDH_FMT_COUNTERVALUE_ITEM_W) - 1) / sizeof(PDH_FMT_COUNTERVALUE_ITEM_W));
            count = 0;
            status = PdhGetFormattedCounterArrayW(counter, kArrayFormat, &bytes, &count, buffer.data());
            if (status == static_cast<PDH_STATUS>(PDH_MORE_DATA)) continue;
            if (status != ERROR_SUCCESS) {
                LogHResult("pdh", std::string("PdhGetFormattedCounterArrayW ") + WideToUtf8(PerfCounterPath(id)),
                           static_cast<long>(status));
                return out;
            }
            const DWORD items = std::min<DWORD>(count, static_cast<DWORD>(buffer.size()));
            out.reserve(items);
            for (DWORD i = 0; i < items; ++i) {
                const PDH_FMT_COUNTERVALUE_ITEM_W& item = buffer[i];
                if (item.FmtValue.CStatus != PDH_CSTATUS_VALID_DATA && item.FmtValue.CStatus != PDH_CSTATUS_NEW_DATA)
                    continue;
                out.push_back({item.szName ? std::wstring(item.szName) : std::wstring(), item.FmtValue.doubleValue});
            }
            return out;
        }
        return out;
    }

    std::optional<double> readValue(PerfCounterId id) override {
        PDH_HCOUNTER counter = counters_[static_cast<int>(id)];
        if (!counter) return std::nullopt;
        PDH_FMT_COUNTERVALUE value{};
        const PDH_STATUS status = PdhGetFormattedCounterValue(counter, PDH_FMT_DOUBLE, nullptr, &value);
        if (status != ERROR_SUCCESS) {
            LogHResult("pdh", "PdhGetFormattedCounterValue", static_cast<long>(status));
            return std::nullopt;
        }
        return value.doubleValue;
    }

private:
    UniquePdhQuery query_;
    std::array<PDH_HCOUNTER, kPerfCounterCount> counters_{};
};

}  // namespace

std::unique_ptr<CounterSource> OpenPdhCounterSource() {
    UniquePdhQuery query;
    const PDH_STATUS status = PdhOpenQueryW(nullptr, 0, query.put());
    if (status != ERROR_SUCCESS || !query) {
        LogHResult("pdh", "PdhOpenQueryW", static_cast<long>(status));
        return nullptr;
    }
    return std::make_unique<PdhCounterSource>(std::move(query));
}

std::wstring ReadCpuName() {
    std::array<wchar_t, 512> buffer{};  // 1024 bytes
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    const LSTATUS status = RegGetValueW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0",
                                        L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, buffer.data(), &bytes);
    if (status != ERROR_SUCCESS) {
        LogWin32Error("pdh", "RegGetValueW ProcessorNameString", static_cast<unsigned long>(status));
        return kDefaultCpuName;
    }
    buffer.back() = L'\0';
    return CpuDisplayName(buffer.data());
}

PerfCounterProvider::PerfCounterProvider()
    : source_(std::make_unique<ProcessorFallbackSource>(OpenPdhCounterSource(), OpenSystemProcessorTimes())),
      cpuName_(ReadCpuName()) {}

PerfCounterProvider::PerfCounterProvider(std::unique_ptr<CounterSource> source, std::wstring cpuName)
    : source_(std::move(source)), cpuName_(CpuDisplayName(cpuName)) {}

PerfCounterProvider::~PerfCounterProvider() = default;

void PerfCounterProvider::poll(SensorFrame& frame) {
    if (!source_) return;
    PollPerfCounters(*source_, cpuName_, frame);
}

std::unique_ptr<Provider> CreatePerfCounterProvider() { return std::make_unique<PerfCounterProvider>(); }

}  // namespace kalorix
