// The compatibility report document, built from gathered facts and a snapshot.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sensors/sensor_model.h"
#include "store/usage_history.h"

namespace kalorix {

struct ReportAdapter {
    std::wstring description;
    uint32_t vendorId = 0;
    uint64_t dedicatedVideoMemory = 0;
    bool software = false;  // DXGI_ADAPTER_FLAG_SOFTWARE
};

struct ReportDisk {
    uint32_t number = 0;
    std::wstring model;
    std::wstring bus;  // "nvme", "sata", "usb", "raid", "sd", "other" or "virtual"
};

// Everything the report needs besides the snapshot; the Windows layer gathers it
// from the registry, CPUID, DXGI, the disk list and the usage history.
struct ReportInputs {
    std::string id;
    std::wstring appVersion;
    std::wstring osBuildText;       // "CurrentBuild"
    std::wstring maker, model;      // BIOS SystemManufacturer / SystemProductName
    std::string cpuVendor;          // CPUID leaf 0 vendor string
    uint32_t cpuidLeaf1Eax = 0;
    std::wstring cpuName;
    uint32_t threads = 0;
    std::vector<ReportAdapter> adapters;
    std::vector<ReportDisk> disks;
    bool pawnIoInstalled = false;
    std::optional<uint64_t> installedMemoryKb;
    std::array<std::optional<TestRecord>, 4> latest;  // by BenchKind: 0 cpu, 1 gpu, 2 disk, 3 memory
};

// CPUID leaf 1 family and model (extended fields folded in as x86 defines them).
uint32_t CpuFamily(uint32_t eax);
uint32_t CpuModel(uint32_t eax);
const char* CpuVendorWord(const std::string& vendorString);
const char* GpuVendorWord(uint32_t vendorId);
const char* TempSourceWord(const std::wstring& cpuTempSource);

std::string BuildCompatibilityReport(const ReportInputs& in, const SensorSnapshot& snapshot);

}  // namespace kalorix
