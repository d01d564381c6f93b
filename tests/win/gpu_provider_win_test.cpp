// GpuProvider against recorded answers of DXGI, the display kernel and PDH:
// the order of the calls, the buffer protocols of the kernel query and of the
// counter arrays, and the handles closed. The readings' rules are checked natively.
#include <windows.h>
#include <pdhmsg.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "providers/gpu_provider_win.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;
using test::Ids;

namespace {

constexpr uint64_t MiB = 1ull << 20;
constexpr uint64_t GiB = 1ull << 30;

struct PerfAnswer { LONG status = 0; uint32_t fanRpm = 0, tempDeci = 0; };
struct KernelAdapter { LONG openStatus = 0; std::vector<PerfAnswer> answers; };  // one per query; the last repeats
struct CounterScript {
    PDH_STATUS addStatus = ERROR_SUCCESS, firstStatus = PDH_MORE_DATA, secondStatus = ERROR_SUCCESS;  // add, sizing, read
    std::vector<GpuCounterItem> items;
};

// Everything the fakes were told and asked; owned by the test so it outlives the provider.
struct GpuWorld {
    std::vector<GpuAdapterDesc> adapters;
    std::map<DWORD, KernelAdapter> kernel;  // by LUID low part
    std::map<std::wstring, CounterScript> counters;
    PDH_STATUS collectStatus = ERROR_SUCCESS;

    std::vector<DWORD> opened;               // LUID low parts
    std::map<GpuKernelHandle, int> queries;  // per handle
    std::multiset<GpuKernelHandle> closed;
    int openQueries = 0, closeQueries = 0, collects = 0, arrayCalls = 0;
    std::vector<std::wstring> added;
    std::set<PDH_HCOUNTER> validCounters;
};

struct FakeAdapters final : GpuAdapterSource {
    explicit FakeAdapters(GpuWorld& w) : w_(w) {}
    std::optional<std::vector<GpuAdapterDesc>> EnumerateAdapters() override { return w_.adapters; }
    GpuWorld& w_;
};

struct FakeKernel final : GpuKernelApi {
    explicit FakeKernel(GpuWorld& w) : w_(w) {}
    LONG OpenAdapterFromLuid(LUID luid, GpuKernelHandle* handle) override {
        w_.opened.push_back(luid.LowPart);
        *handle = 0;
        auto it = w_.kernel.find(luid.LowPart);
        if (it == w_.kernel.end()) return static_cast<LONG>(0xC0000001);
        if (it->second.openStatus < 0) return it->second.openStatus;
        *handle = 0x40000000u + luid.LowPart;
        return 0;
    }
    LONG QueryAdapterInfo(GpuKernelHandle handle, UINT type, void* data, UINT size) override {
        EXPECT_EQ(type, 62u);
        EXPECT_EQ(size, 64u);
        EXPECT_EQ(std::count(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size, 0), 64) << "not zeroed";
        const int n = w_.queries[handle]++;
        const auto& answers = w_.kernel.at(handle - 0x40000000u).answers;
        const PerfAnswer& a = answers[std::min<size_t>(n, answers.size() - 1)];
        if (a.status < 0) return a.status;
        std::memcpy(static_cast<uint8_t*>(data) + 48, &a.fanRpm, 4);
        std::memcpy(static_cast<uint8_t*>(data) + 56, &a.tempDeci, 4);
        return a.status;
    }
    LONG CloseAdapter(GpuKernelHandle handle) override { return w_.closed.insert(handle), 0; }
    GpuWorld& w_;
};

struct FakePdh final : GpuPdhApi {
    explicit FakePdh(GpuWorld& w) : w_(w) {}
    PDH_STATUS OpenQuery(PDH_HQUERY* query) override {
        ++w_.openQueries;
        *query = reinterpret_cast<PDH_HQUERY>(static_cast<intptr_t>(0x1234));
        return ERROR_SUCCESS;
    }
    PDH_STATUS AddEnglishCounter(PDH_HQUERY, const wchar_t* path, PDH_HCOUNTER* counter) override {
        w_.added.push_back(path);
        auto it = w_.counters.find(path);
        const PDH_STATUS st = it == w_.counters.end() ? PDH_CSTATUS_NO_OBJECT : it->second.addStatus;
        if (st != ERROR_SUCCESS) {
            *counter = reinterpret_cast<PDH_HCOUNTER>(static_cast<intptr_t>(0xBAD));  // garbage on failure
            return st;
        }
        paths_.push_back(path);
        *counter = reinterpret_cast<PDH_HCOUNTER>(static_cast<intptr_t>(paths_.size()));
        w_.validCounters.insert(*counter);
        return ERROR_SUCCESS;
    }
    PDH_STATUS CollectQueryData(PDH_HQUERY) override { return ++w_.collects, w_.collectStatus; }
    PDH_STATUS GetFormattedCounterArray(PDH_HCOUNTER counter, DWORD format, DWORD* bufferSize, DWORD* itemCount,
                                        PDH_FMT_COUNTERVALUE_ITEM_W* items) override {
        ++w_.arrayCalls;
        if (!w_.validCounters.count(counter)) {
            ADD_FAILURE() << "a counter that was not added was read";  // on Wine this would abort the process
            return PDH_INVALID_HANDLE;
        }
        EXPECT_EQ(format, DWORD(PDH_FMT_DOUBLE | PDH_FMT_NOCAP100));
        const CounterScript& s = w_.counters.at(paths_[reinterpret_cast<intptr_t>(counter) - 1]);
        DWORD need = static_cast<DWORD>(s.items.size() * sizeof(PDH_FMT_COUNTERVALUE_ITEM_W));
        for (const auto& it : s.items) need += static_cast<DWORD>((it.name.size() + 1) * sizeof(wchar_t));
        if (items == nullptr) {
            if (s.firstStatus != static_cast<PDH_STATUS>(PDH_MORE_DATA)) return s.firstStatus;
            *bufferSize = need;
            *itemCount = static_cast<DWORD>(s.items.size());
            return PDH_MORE_DATA;
        }
        if (s.secondStatus != ERROR_SUCCESS) return s.secondStatus;
        if (*bufferSize < need) return PDH_MORE_DATA;
        auto* names = reinterpret_cast<wchar_t*>(reinterpret_cast<uint8_t*>(items) +
                                                 s.items.size() * sizeof(PDH_FMT_COUNTERVALUE_ITEM_W));
        for (size_t i = 0; i < s.items.size(); ++i) {
            std::memcpy(names, s.items[i].name.c_str(), (s.items[i].name.size() + 1) * sizeof(wchar_t));
            items[i].szName = names;
            items[i].FmtValue.CStatus = s.items[i].status;
            items[i].FmtValue.doubleValue = s.items[i].value;
            names += s.items[i].name.size() + 1;
        }
        *itemCount = static_cast<DWORD>(s.items.size());
        return ERROR_SUCCESS;
    }
    PDH_STATUS CloseQuery(PDH_HQUERY) override { return ++w_.closeQueries, ERROR_SUCCESS; }
    GpuWorld& w_;
    std::vector<std::wstring> paths_;
};

GpuAdapterDesc Desc(const wchar_t* name, DWORD luidLow, uint64_t dedicated, UINT flags = 0, LONG luidHigh = 0) {
    GpuAdapterDesc d;
    d.description = name, d.luid = {luidLow, luidHigh}, d.dedicatedVideoMemory = dedicated, d.flags = flags;
    return d;
}

std::unique_ptr<GpuProvider> Make(GpuWorld& w) {
    return std::make_unique<GpuProvider>(std::make_unique<FakeAdapters>(w), std::make_unique<FakeKernel>(w),
                                         std::make_unique<FakePdh>(w));
}

// The discrete adapter's LUID has a high part, which its key and counter names carry.
const std::wstring kDiscreteKey = L"luid_0x00000001_0x0000D1F2";
const std::wstring kIntegratedKey = L"luid_0x00000000_0x000000A1";
constexpr GpuKernelHandle kDiscreteHandle = 0x40000000u + 0xD1F2, kIntegratedHandle = 0x40000000u + 0xA1;

// An integrated adapter enumerated first, a discrete one second, a software one last.
GpuWorld Laptop() {
    GpuWorld w;
    w.adapters = {Desc(L"Intel(R) UHD Graphics 630", 0xA1, 128 * MiB),
                  Desc(L"NVIDIA GeForce RTX 3060 Laptop GPU", 0xD1F2, 6 * GiB, 0, 1),
                  Desc(L"Microsoft Basic Render Driver", 0xB0, 0, 2)};
    w.kernel[0xA1] = {0, {{0, 0, 0}}};
    w.kernel[0xD1F2] = {0, {{0, 1850, 655}}};
    w.counters[kGpuEngineCounterPath].items = {
        {L"pid_10_" + kDiscreteKey + L"_phys_0_eng_0_engtype_3D", 55.0, 0},
        {L"pid_10_" + kIntegratedKey + L"_phys_0_eng_0_engtype_3D", 12.5, 0},
    };
    w.counters[kGpuMemoryCounterPath].items = {{kDiscreteKey + L"_phys_0", static_cast<double>(GiB + GiB / 2), 0}};
    return w;
}

}  // namespace

TEST(GpuProviderWin, CallOrderBuffersAndTeardown) {
    GpuWorld w = Laptop();
    {
        auto p = Make(w);
        ASSERT_EQ(p->adapters().size(), 2u);  // the software adapter is skipped
        EXPECT_EQ(p->adapters()[0].kernelHandle, kDiscreteHandle);
        EXPECT_EQ(w.opened, (std::vector<DWORD>{0xA1, 0xD1F2}));  // enumeration order, software one never opened
        EXPECT_EQ(w.added, (std::vector<std::wstring>{L"\\GPU Engine(*)\\Utilization Percentage",
                                                      L"\\GPU Adapter Memory(*)\\Dedicated Usage"}));
        EXPECT_TRUE(w.collects == 1 && w.arrayCalls == 0);  // primes the rate counters, reads nothing yet

        SensorFrame f;
        p->poll(f);
        const std::wstring d = L"gpu/" + kDiscreteKey, i = L"gpu/" + kIntegratedKey;
        EXPECT_EQ(Ids(f), (std::vector<std::wstring>{d + L"/temp", d + L"/load", d + L"/fan", d + L"/mem", i + L"/load"}));
        ASSERT_TRUE(f.gpu);  // each figure through its buffer: the kernel's record and both counter arrays
        EXPECT_EQ(f.gpu->temperature, 65.5);
        EXPECT_EQ(f.gpu->load, 55.0);
        EXPECT_EQ(f.gpu->dedicatedUsedBytes, GiB + GiB / 2);
    }
    EXPECT_EQ(w.closed, (std::multiset<GpuKernelHandle>{kIntegratedHandle, kDiscreteHandle}));
    EXPECT_EQ(w.openQueries, 1);
    EXPECT_EQ(w.closeQueries, 1);
}

// A failed performance-data query silences that adapter for good; an adapter
// that does not open is never asked nor closed; the counters go on.
TEST(GpuProviderWin, KernelFailuresSilenceOnlyTheirAdapter) {
    GpuWorld w = Laptop();
    w.kernel[0xA1].openStatus = static_cast<LONG>(0xC0000225);
    w.kernel[0xD1F2] = {0, {{0, 1000, 500}, {static_cast<LONG>(0xC0000001), 0, 0}, {0, 1000, 500}}};
    {
        auto p = Make(w);
        const std::wstring temp = L"gpu/" + kDiscreteKey + L"/temp";
        SensorFrame f1, f2, f3;
        p->poll(f1), p->poll(f2), p->poll(f3);
        EXPECT_NE(Find(f1, temp), nullptr);
        EXPECT_EQ(Find(f3, temp), nullptr);
        EXPECT_EQ(w.queries[kDiscreteHandle], 2);
        EXPECT_EQ(w.queries.count(0u), 0u);
        EXPECT_NE(Find(f3, L"gpu/" + kDiscreteKey + L"/load"), nullptr);
    }
    EXPECT_EQ(w.closed, (std::multiset<GpuKernelHandle>{kDiscreteHandle}));
}

// The kernel temperature survives every counter failure; the failing counter
// gives no figure (never a made-up 0) and is never read when it was not added.
TEST(GpuProviderWin, CounterFailuresDropOnlyTheirFigures) {
    const struct {
        const char* what;
        void (*before)(GpuWorld&);
        DWORD collectAfterConstruction;
        bool load, mem, noArrayCalls;
    } cases[] = {
        {"both adds fail, no data (what Wine answers)",
         [](GpuWorld& w) { w.counters.clear(), w.collectStatus = PDH_NO_DATA; }, PDH_NO_DATA, false, false, true},
        {"array calls fail",
         [](GpuWorld& w) {
             w.counters[kGpuEngineCounterPath].firstStatus = PDH_CSTATUS_INVALID_DATA;
             w.counters[kGpuMemoryCounterPath].secondStatus = PDH_INVALID_DATA;
         },
         ERROR_SUCCESS, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        GpuWorld w = Laptop();
        c.before(w);
        auto p = Make(w);
        EXPECT_TRUE(p->hasQuery());
        w.collectStatus = static_cast<PDH_STATUS>(c.collectAfterConstruction);
        const int arrayCallsBefore = w.arrayCalls;
        SensorFrame f;
        p->poll(f);
        p->poll(f);
        if (c.noArrayCalls) EXPECT_EQ(w.arrayCalls, arrayCallsBefore);
        const std::wstring d = L"gpu/" + kDiscreteKey;
        EXPECT_NE(Find(f, d + L"/temp"), nullptr);
        EXPECT_EQ(std::pair(Find(f, d + L"/load") != nullptr, Find(f, d + L"/mem") != nullptr), std::pair(c.load, c.mem));
    }
}
