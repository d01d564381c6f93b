#include "providers/gpu_provider_win.h"

#include <dxgi.h>
#include <pdhmsg.h>

#include <cstring>

#include "providers/factories_win.h"

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

class DxgiAdapterSource final : public GpuAdapterSource {
public:
    std::optional<std::vector<GpuAdapterDesc>> EnumerateAdapters() override {
        IDXGIFactory1* factory = nullptr;
        if (FAILED(CreateDXGIFactory1(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory))) || !factory) {
            return std::nullopt;
        }
        std::vector<GpuAdapterDesc> list;
        for (UINT i = 0; i < kMaxAdapters; ++i) {
            IDXGIAdapter1* adapter = nullptr;
            const HRESULT hr = factory->EnumAdapters1(i, &adapter);
            if (hr == DXGI_ERROR_NOT_FOUND || FAILED(hr) || !adapter) break;
            DXGI_ADAPTER_DESC1 desc;
            std::memset(&desc, 0, sizeof desc);
            if (SUCCEEDED(adapter->GetDesc1(&desc))) {
                desc.Description[127] = L'\0';
                GpuAdapterDesc d;
                d.description = desc.Description;
                d.luid = desc.AdapterLuid;
                d.dedicatedVideoMemory = desc.DedicatedVideoMemory;
                d.flags = desc.Flags;
                list.push_back(std::move(d));
            }
            adapter->Release();
        }
        factory->Release();
        return list;
    }
};

class Gdi32KernelApi final : public GpuKernelApi {
public:
    Gdi32KernelApi() {
        gdi32_ = LoadLibraryW(L"gdi32.dll");
        if (!gdi32_) return;
        open_ = reinterpret_cast<OpenFn>(reinterpret_cast<void*>(GetProcAddress(gdi32_, "D3DKMTOpenAdapterFromLuid")));
        query_ = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(GetProcAddress(gdi32_, "D3DKMTQueryAdapterInfo")));
        close_ = reinterpret_cast<CloseFn>(reinterpret_cast<void*>(GetProcAddress(gdi32_, "D3DKMTCloseAdapter")));
    }
    ~Gdi32KernelApi() override {
        if (gdi32_) FreeLibrary(gdi32_);
    }
    Gdi32KernelApi(const Gdi32KernelApi&) = delete;
    Gdi32KernelApi& operator=(const Gdi32KernelApi&) = delete;

    LONG OpenAdapterFromLuid(LUID luid, GpuKernelHandle* handle) override {
        *handle = 0;
        // Without a way to close the handle again we do not open one.
        if (!open_ || !close_) return kStatusProcedureNotFound;
        KmtOpenAdapterFromLuid args{};
        args.AdapterLuid = luid;
        const LONG st = open_(&args);
        if (st >= 0) *handle = args.hAdapter;
        return st;
    }
    LONG QueryAdapterInfo(GpuKernelHandle handle, UINT type, void* data, UINT size) override {
        if (!query_) return kStatusProcedureNotFound;
        KmtQueryAdapterInfo args{};
        args.hAdapter = handle;
        args.Type = type;
        args.pPrivateDriverData = data;
        args.PrivateDriverDataSize = size;
        return query_(&args);
    }
    LONG CloseAdapter(GpuKernelHandle handle) override {
        if (!close_) return kStatusProcedureNotFound;
        KmtCloseAdapter args{handle};
        return close_(&args);
    }

private:
    using OpenFn = LONG(APIENTRY*)(KmtOpenAdapterFromLuid*);
    using QueryFn = LONG(APIENTRY*)(KmtQueryAdapterInfo*);
    using CloseFn = LONG(APIENTRY*)(KmtCloseAdapter*);
    HMODULE gdi32_ = nullptr;
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
    if (pdh_->OpenQuery(&q) != ERROR_SUCCESS || !q) return;
    query_ = q;
    // A counter that does not add stays null and is never read: under Wine the
    // GPU objects do not exist, and reading an array there would abort the process.
    PDH_HCOUNTER c = nullptr;
    if (pdh_->AddEnglishCounter(query_, kGpuEngineCounterPath, &c) == ERROR_SUCCESS) engineCounter_ = c;
    c = nullptr;
    if (pdh_->AddEnglishCounter(query_, kGpuMemoryCounterPath, &c) == ERROR_SUCCESS) memoryCounter_ = c;
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

std::optional<std::vector<GpuCounterItem>> GpuProvider::ReadCounterArray(PDH_HCOUNTER counter) {
    if (!counter) return std::nullopt;
    constexpr DWORD kFormat = PDH_FMT_DOUBLE | PDH_FMT_NOCAP100;
    DWORD size = 0, count = 0;
    if (pdh_->GetFormattedCounterArray(counter, kFormat, &size, &count, nullptr) != static_cast<PDH_STATUS>(PDH_MORE_DATA)) {
        return std::nullopt;
    }
    if (size == 0) return std::vector<GpuCounterItem>{};
    // Items first, their names after them in the same buffer; keep it aligned for the items.
    std::vector<PDH_FMT_COUNTERVALUE_ITEM_W> buffer(size / sizeof(PDH_FMT_COUNTERVALUE_ITEM_W) + 1);
    DWORD size2 = size;
    count = 0;
    if (pdh_->GetFormattedCounterArray(counter, kFormat, &size2, &count, buffer.data()) != ERROR_SUCCESS) {
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
    if (query_ && pdh_->CollectQueryData(query_) == ERROR_SUCCESS) {
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
