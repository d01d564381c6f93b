#include "telemetry/report_sources_win.h"

#include <windows.h>
#include <cpuid.h>
#include <dxgi.h>

#include <cstring>

#include "app/registry_win.h"
#include "providers/disk_provider_win.h"
#include "providers/factories_win.h"
#include "sensors/text.h"
#include "store/usage_history.h"
#include "telemetry/telemetry_client_win.h"

namespace kalorix {

namespace {

std::wstring RegText(const wchar_t* key, const wchar_t* value) { return RegReadTrimmed(HKEY_LOCAL_MACHINE, key, value); }

template <class T>
struct ComRelease {
    T* p = nullptr;
    ~ComRelease() {
        if (p) p->Release();
    }
};

std::vector<ReportAdapter> ListAdapters() {
    std::vector<ReportAdapter> out;
    ComRelease<IDXGIFactory1> factory;
    if (FAILED(CreateDXGIFactory1(__uuidof(IDXGIFactory1), reinterpret_cast<void**>(&factory.p)))) return out;
    for (UINT i = 0;; ++i) {
        ComRelease<IDXGIAdapter1> adapter;
        if (factory.p->EnumAdapters1(i, &adapter.p) == DXGI_ERROR_NOT_FOUND) break;
        if (!adapter.p) break;
        DXGI_ADAPTER_DESC1 d{};
        if (FAILED(adapter.p->GetDesc1(&d))) continue;
        out.push_back({std::wstring(d.Description), d.VendorId, static_cast<uint64_t>(d.DedicatedVideoMemory),
                       (d.Flags & DXGI_ADAPTER_FLAG_SOFTWARE) != 0});
    }
    return out;
}

}  // namespace

ReportInputs GatherReportInputs(const std::string& id, const std::optional<std::wstring>& inventoryCpuName) {
    ReportInputs in;
    in.id = id;
    in.appVersion = AppVersionText();
    in.osBuildText = RegText(L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", L"CurrentBuild");
    in.maker = RegText(L"HARDWARE\\DESCRIPTION\\System\\BIOS", L"SystemManufacturer");
    in.model = RegText(L"HARDWARE\\DESCRIPTION\\System\\BIOS", L"SystemProductName");

    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx)) {
        char vendor[13] = {};
        std::memcpy(vendor, &ebx, 4);
        std::memcpy(vendor + 4, &edx, 4);
        std::memcpy(vendor + 8, &ecx, 4);
        in.cpuVendor = vendor;
    }
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) in.cpuidLeaf1Eax = eax;
    in.cpuName = inventoryCpuName && !inventoryCpuName->empty()
                     ? *inventoryCpuName
                     : RegText(L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", L"ProcessorNameString");
    in.threads = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    in.adapters = ListAdapters();
    for (const ListedDisk& d : ListDisks()) in.disks.push_back({d.number, d.model, d.bus});
    const std::wstring pawn = FindPawnIoLibrary();
    in.pawnIoInstalled = !pawn.empty() && GetFileAttributesW(pawn.c_str()) != INVALID_FILE_ATTRIBUTES;
    ULONGLONG kb = 0;
    if (GetPhysicallyInstalledSystemMemory(&kb)) in.installedMemoryKb = kb;
    UsageHistory& history = UsageHistory::instance();
    for (int kind = 0; kind < 4; ++kind) in.latest[kind] = history.latestTestRecord(kind);
    return in;
}

}  // namespace kalorix
