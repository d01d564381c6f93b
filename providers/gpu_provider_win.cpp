#include "providers/gpu_provider_win.h"

#include <dxgi.h>
#include <pdhmsg.h>

#include <cstring>
#include <string>

#include "base/log.h"
#include "base/scoped_win.h"
#include "providers/factories_win.h"
#include "sensors/text.h"

namespace kalorix {

const wchar_t kGpuEngineCounterPath[] = L"\\GPU Engine(*)\\Utilization Percentage";
const wchar_t kGpuMemoryCounterPath[] = L"\\GPU Adapter Memory(*)\\Dedicated Usage";

namespace {

constexpr LONG kStatusProcedureNotFound = static_cast<LONG>(0xC000007A);
constexpr UINT kMaxAdapters = 64;  // a broken enumerator must not loop forever

// Layouts of the D3DKMT argument records (d3dkmthk.h).
struct KmtOpenAdapterFromLuid {
    LUID AdapterLuid;
    UINT hAdapter;
};
struct KmtQueryAdapterInfo {
    UINT hAdapter;
    UINT Type;
    void* pPrivateDriverData;
    UINT PrivateDriverDataSize;
};
struct KmtCloseAdapter {
    UINT hAdapter;
};
static_assert(sizeof(KmtOpenAdapterFromLuid) == 12);
static_assert(sizeof(KmtQueryAdapterInfo) == 24);

constexpr char kLogSource[] = "gpu";

class DxgiAdapterSource final : public GpuAdapterSource {
public:
    std::optional<std::vector<GpuAdapterDesc>> EnumerateAdapters() override {
        ComPtr<IDXGIFactory1> factory;
        const HRESULT created = CreateDXGIFactory1(__uuidof(IDXGIFactory1), factory.putVoid());
        if (FAILED(created) || !factory) {
            LogHResult(kLogSource, "CreateDXGIFactory1", created);
            return std::nullopt;
        }
        std::vector<GpuAdapterDesc> list;
        for (UINT i = 0; i < kMaxAdapters; ++i) {
            ComPtr<IDXGIAdapter1> adapter;
            const HRESULT hr = factory->EnumAdapters1(i, adapter.put());
            if (hr == DXGI_ERROR_NOT_FOUND) break;
            if (FAILED(hr) || !adapter) {
                LogHResult(kLogSource, "EnumAdapters1 " + std::to_string(i), hr);
                break;
            }
            DXGI_ADAPTER_DESC1 desc;
            std::memset(&desc, 0, sizeof desc);
            const HRESULT described = adapter->GetDesc1(&desc);
            if (FAILED(described)) {
                LogHResult(kLogSource, "GetDesc1 of adapter " + std::to_string(i), described);
                continue;
            }
            desc.Description[127] = L'\0';
            GpuAdapterDesc d;
            d.description = desc.Description;
            d.luid = desc.AdapterLuid;
            d.dedicatedVideoMemory = desc.DedicatedVideoMemory;
            d.flags = desc.Flags;
            list.push_back(std::move(d));
        }
        return list;
    }
};

class Gdi32KernelApi final : public GpuKernelApi {
public:
    Gdi32KernelApi() : gdi32_(LoadLibraryExW(L"gdi32.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        if (!gdi32_) {
            LogWin32Error(kLogSource, "LoadLibraryExW gdi32.dll", GetLastError());
            return;
        }
        Resolve("D3DKMTOpenAdapterFromLuid", open_);
        Resolve("D3DKMTQueryAdapterInfo", query_);
        Resolve("D3DKMTCloseAdapter", close_);
    }

    LONG OpenAdapterFromLuid(LUID luid, GpuKernelHandle* handle) override {
        *handle = 0;
        // Without a way to close the handle again we do not open one.
        if (!open_ || !close_) return kStatusProcedureNotFound;
        KmtOpenAdapterFromLuid args{};
        args.AdapterLuid = luid;
        const LONG st = open_(&args);
        if (st >= 0) *handle = args.hAdapter;
        else LogHResult(kLogSource, "D3DKMTOpenAdapterFromLuid", st);
        return st;
    }
    LONG QueryAdapterInfo(GpuKernelHandle handle, UINT type, void* data, UINT size) override {
        if (!query_) return kStatusProcedureNotFound;
        KmtQueryAdapterInfo args{};
        args.hAdapter = handle;
        args.Type = type;
        args.pPrivateDriverData = data;
        args.PrivateDriverDataSize = size;
        const LONG st = query_(&args);
        if (st < 0) LogHResult(kLogSource, "D3DKMTQueryAdapterInfo type " + std::to_string(type), st);
        return st;
    }
    LONG CloseAdapter(GpuKernelHandle handle) override {
        if (!close_) return kStatusProcedureNotFound;
        KmtCloseAdapter args{handle};
        const LONG st = close_(&args);
        if (st < 0) LogHResult(kLogSource, "D3DKMTCloseAdapter", st);
        return st;
    }

private:
    using OpenFn = LONG(APIENTRY*)(KmtOpenAdapterFromLuid*);
    using QueryFn = LONG(APIENTRY*)(KmtQueryAdapterInfo*);
    using CloseFn = LONG(APIENTRY*)(KmtCloseAdapter*);

    template <typename Fn>
    void Resolve(const char* name, Fn& out) {
        out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(gdi32_.get(), name)));
        if (!out) Log(LogLevel::Warning, kLogSource, std::string(name) + " is missing from gdi32.dll");
    }

    UniqueModule gdi32_;
    OpenFn open_ = nullptr;
    QueryFn query_ = nullptr;
    CloseFn close_ = nullptr;
};

class SystemGpuPdhApi final : public GpuPdhApi {
public:
    PDH_STATUS OpenQuery(PDH_HQUERY* query) override { return PdhOpenQueryW(nullptr, 0, query); }
    PDH_STATUS AddEnglishCounter(PDH_HQUERY query, const wchar_t* path, PDH_HCOUNTER* counter) override {
        return PdhAddEnglishCounterW(query, path, 0, counter);
    }
    PDH_STATUS CollectQueryData(PDH_HQUERY query) override { return PdhCollectQueryData(query); }
    PDH_STATUS GetFormattedCounterArray(PDH_HCOUNTER counter, DWORD format, DWORD* bufferSize, DWORD* itemCount,
                                        PDH_FMT_COUNTERVALUE_ITEM_W* items) override {
        return PdhGetFormattedCounterArrayW(counter, format, bufferSize, itemCount, items);
    }
    PDH_STATUS CloseQuery(PDH_HQUERY query) override { return PdhCloseQuery(query); }
};

}  // namespace

std::unique_ptr<GpuAdapterSource> MakeDxgiAdapterSource() { return std::make_unique<DxgiAdapterSource>(); }
std::unique_ptr<GpuKernelApi> MakeGpuKernelApi() { return std::make_unique<Gdi32KernelApi>(); }
std::unique_ptr<GpuPdhApi> MakeGpuPdhApi() { return std::make_unique<SystemGpuPdhApi>(); }

GpuProvider::GpuProvider() : GpuProvider(MakeDxgiAdapterSource(), MakeGpuKernelApi(), MakeGpuPdhApi()) {}

GpuProvider::GpuProvider(std::unique_ptr<GpuAdapterSource> source, std::unique_ptr<GpuKernelApi> kernel,
                         std::unique_ptr<GpuPdhApi> pdh)
    : kernel_(std::move(kernel)), pdh_(std::move(pdh)) {
    auto descs = source ? source->EnumerateAdapters() : std::nullopt;
    if (!descs) return;  // no factory: no adapters and no counters
    for (const GpuAdapterDesc& d : *descs) {
        if (d.flags & kGpuAdapterFlagSoftware) continue;
        GpuAdapter a;
        a.name = d.description;
        a.luid = d.luid;
        a.dedicatedBytes = d.dedicatedVideoMemory;
        a.discrete = IsDiscreteGpu(a.dedicatedBytes);
        if (kernel_) {
            GpuKernelHandle h = 0;
            if (kernel_->OpenAdapterFromLuid(a.luid, &h) >= 0) a.kernelHandle = h;
        }
        adapters_.push_back(std::move(a));
    }
    OrderGpuAdapters(adapters_);

    if (!pdh_) return;
    PDH_HQUERY q = nullptr;
    const PDH_STATUS opened = pdh_->OpenQuery(&q);
    if (opened != ERROR_SUCCESS || !q) {
        LogHResult(kLogSource, "PdhOpenQueryW", static_cast<long>(opened));
        return;
    }
    query_ = q;
    // A counter that does not add stays null and is never read: under Wine the
    // GPU objects do not exist, and reading an array there would abort the process.
    engineCounter_ = AddCounter(kGpuEngineCounterPath);
    memoryCounter_ = AddCounter(kGpuMemoryCounterPath);
    pdh_->CollectQueryData(query_);  // primes the rate counters
}

GpuProvider::~GpuProvider() {
    if (kernel_) {
        for (const GpuAdapter& a : adapters_) {
            if (a.kernelHandle != 0) kernel_->CloseAdapter(a.kernelHandle);
        }
    }
    if (query_ && pdh_) pdh_->CloseQuery(query_);
}

PDH_HCOUNTER GpuProvider::AddCounter(const wchar_t* path) {
    PDH_HCOUNTER counter = nullptr;
    const PDH_STATUS status = pdh_->AddEnglishCounter(query_, path, &counter);
    if (status == ERROR_SUCCESS) return counter;
    LogHResult(kLogSource, "PdhAddEnglishCounterW " + WideToUtf8(path), static_cast<long>(status));
    return nullptr;
}

std::optional<std::vector<GpuCounterItem>> GpuProvider::ReadCounterArray(PDH_HCOUNTER counter) {
    if (!counter) return std::nullopt;
    constexpr DWORD kFormat = PDH_FMT_DOUBLE | PDH_FMT_NOCAP100;
    DWORD size = 0, count = 0;
    const PDH_STATUS sized = pdh_->GetFormattedCounterArray(counter, kFormat, &size, &count, nullptr);
    if (sized != static_cast<PDH_STATUS>(PDH_MORE_DATA)) {
        LogHResult(kLogSource, "PdhGetFormattedCounterArrayW size", static_cast<long>(sized));
        return std::nullopt;
    }
    if (size == 0) return std::vector<GpuCounterItem>{};
    // Items first, their names after them in the same buffer; keep it aligned for the items.
    std::vector<PDH_FMT_COUNTERVALUE_ITEM_W> buffer(size / sizeof(PDH_FMT_COUNTERVALUE_ITEM_W) + 1);
    DWORD size2 = size;
    count = 0;
    const PDH_STATUS read = pdh_->GetFormattedCounterArray(counter, kFormat, &size2, &count, buffer.data());
    if (read != ERROR_SUCCESS) {
        LogHResult(kLogSource, "PdhGetFormattedCounterArrayW", static_cast<long>(read));
        return std::nullopt;
    }
    const size_t fits = static_cast<size_t>(size) / sizeof(PDH_FMT_COUNTERVALUE_ITEM_W);
    std::vector<GpuCounterItem> items;
    items.reserve(std::min<size_t>(count, fits));
    for (size_t i = 0; i < count && i < fits; ++i) {
        const PDH_FMT_COUNTERVALUE_ITEM_W& it = buffer[i];
        GpuCounterItem item;
        if (it.szName) item.name = it.szName;
        item.status = it.FmtValue.CStatus;
        item.value = it.FmtValue.doubleValue;
        items.push_back(std::move(item));
    }
    return items;
}

void GpuProvider::poll(SensorFrame& frame) {
    std::map<std::wstring, double> engineLoads, dedicatedUsage;
    bool usageKnown = false;
    const PDH_STATUS collected = query_ ? pdh_->CollectQueryData(query_) : static_cast<PDH_STATUS>(ERROR_SUCCESS);
    if (query_ && collected != ERROR_SUCCESS) LogHResult(kLogSource, "PdhCollectQueryData", static_cast<long>(collected));
    if (query_ && collected == ERROR_SUCCESS) {
        if (auto items = ReadCounterArray(engineCounter_)) engineLoads = GpuEngineLoads(*items);
        if (auto items = ReadCounterArray(memoryCounter_)) {
            dedicatedUsage = GpuDedicatedUsage(*items);
            usageKnown = true;
        }
    }

    for (GpuAdapter& a : adapters_) {
        GpuAdapterSample s;
        s.name = a.name;
        s.luidKey = GpuLuidKey(a.luid.HighPart, a.luid.LowPart);
        s.discrete = a.discrete;
        s.dedicatedBytes = a.dedicatedBytes;
        s.usageKnown = usageKnown;
        ApplyGpuCounterMaps(s, engineLoads, dedicatedUsage);

        if (a.kernelHandle != 0 && a.perfDataOk && kernel_) {
            alignas(8) uint8_t data[kGpuPerfDataSize] = {};
            if (kernel_->QueryAdapterInfo(a.kernelHandle, kGpuQueryAdapterPerfData, data, sizeof data) < 0) {
                a.perfDataOk = false;
            } else if (auto perf = ParseGpuPerfData(data, sizeof data)) {
                s.temperature = GpuTemperatureFromRaw(perf->temperatureDeci);
                s.fanSpeed = GpuFanFromRaw(perf->fanRpm);
            }
        }
        AppendGpuAdapter(frame, s);
    }
}

std::unique_ptr<Provider> CreateGpuProvider() { return std::make_unique<GpuProvider>(); }

}  // namespace kalorix
