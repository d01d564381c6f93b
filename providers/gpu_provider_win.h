// GPU provider: adapters from DXGI, temperature and fan from the display
// kernel (D3DKMT), utilization and dedicated-memory use from the GPU counters.
// The three sources sit behind small interfaces so tests can feed recorded answers.
#pragma once

#include <windows.h>
#include <pdh.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "providers/gpu_provider.h"
#include "sensors/sensor_model.h"

namespace kalorix {

using GpuKernelHandle = UINT;  // D3DKMT_HANDLE
constexpr UINT kGpuQueryAdapterPerfData = 62;  // KMTQAITYPE_ADAPTERPERFDATA

// One adapter as DXGI describes it.
struct GpuAdapterDesc {
    std::wstring description;
    LUID luid{};
    uint64_t dedicatedVideoMemory = 0;
    UINT flags = 0;
};

// Enumerates the adapters; nothing when no DXGI factory could be made.
class GpuAdapterSource {
public:
    virtual ~GpuAdapterSource() = default;
    virtual std::optional<std::vector<GpuAdapterDesc>> EnumerateAdapters() = 0;
};

// The display kernel's adapter calls. Statuses are NTSTATUS (negative = failure).
class GpuKernelApi {
public:
    virtual ~GpuKernelApi() = default;
    virtual LONG OpenAdapterFromLuid(LUID luid, GpuKernelHandle* handle) = 0;
    virtual LONG QueryAdapterInfo(GpuKernelHandle handle, UINT type, void* data, UINT size) = 0;
    virtual LONG CloseAdapter(GpuKernelHandle handle) = 0;
};

// The PDH calls the provider makes, one to one.
class GpuPdhApi {
public:
    virtual ~GpuPdhApi() = default;
    virtual PDH_STATUS OpenQuery(PDH_HQUERY* query) = 0;
    virtual PDH_STATUS AddEnglishCounter(PDH_HQUERY query, const wchar_t* path, PDH_HCOUNTER* counter) = 0;
    virtual PDH_STATUS CollectQueryData(PDH_HQUERY query) = 0;
    virtual PDH_STATUS GetFormattedCounterArray(PDH_HCOUNTER counter, DWORD format, DWORD* bufferSize,
                                                DWORD* itemCount, PDH_FMT_COUNTERVALUE_ITEM_W* items) = 0;
    virtual PDH_STATUS CloseQuery(PDH_HQUERY query) = 0;
};

std::unique_ptr<GpuAdapterSource> MakeDxgiAdapterSource();
// Loads the D3DKMT functions from gdi32.dll at run time; a missing one fails
// with STATUS_PROCEDURE_NOT_FOUND instead of being called.
std::unique_ptr<GpuKernelApi> MakeGpuKernelApi();
std::unique_ptr<GpuPdhApi> MakeGpuPdhApi();

extern const wchar_t kGpuEngineCounterPath[];  // "\GPU Engine(*)\Utilization Percentage"
extern const wchar_t kGpuMemoryCounterPath[];  // "\GPU Adapter Memory(*)\Dedicated Usage"

struct GpuAdapter {
    std::wstring name;
    LUID luid{};
    GpuKernelHandle kernelHandle = 0;
    uint64_t dedicatedBytes = 0;
    bool discrete = false;
    bool perfDataOk = true;
};

class GpuProvider : public Provider {
public:
    GpuProvider();
    GpuProvider(std::unique_ptr<GpuAdapterSource> adapters, std::unique_ptr<GpuKernelApi> kernel,
                std::unique_ptr<GpuPdhApi> pdh);
    ~GpuProvider() override;
    GpuProvider(const GpuProvider&) = delete;
    GpuProvider& operator=(const GpuProvider&) = delete;

    const wchar_t* name() const override { return L"GPU (D3DKMT)"; }
    void poll(SensorFrame& frame) override;

    const std::vector<GpuAdapter>& adapters() const { return adapters_; }
    bool hasQuery() const { return query_ != nullptr; }

private:
    // The counter, or null (logged) when this machine lacks it.
    PDH_HCOUNTER AddCounter(const wchar_t* path);
    // Items of one formatted counter array; nothing when either call fails.
    std::optional<std::vector<GpuCounterItem>> ReadCounterArray(PDH_HCOUNTER counter);

    std::vector<GpuAdapter> adapters_;
    PDH_HQUERY query_ = nullptr;
    PDH_HCOUNTER engineCounter_ = nullptr;
    PDH_HCOUNTER memoryCounter_ = nullptr;
    std::unique_ptr<GpuKernelApi> kernel_;
    std::unique_ptr<GpuPdhApi> pdh_;
};

}  // namespace kalorix
