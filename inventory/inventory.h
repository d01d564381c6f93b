// The hardware report: titled sections of label/value rows in Turkish, built
// from WMI rows, a few registry values and the fixed volumes.
//
// Building is split in two: the Windows layer gathers everything the report
// needs into InventoryInputs (inventory_win.h), and BuildHardwareInventoryFrom
// turns those plain records into the report. That way every rule about rows,
// orders and formats is checked on recorded inputs.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "inventory/wmi_row.h"

namespace kalorix {

struct InventoryRow {
    std::wstring label;
    std::wstring value;
    bool personalValue = false;  // the computer's or the user's name
    std::wstring publicLabel;    // the label without the volume's own name; empty when the label is public
};

struct InventorySection {
    std::wstring title;
    uint16_t glyph = 0;  // code point in the Segoe Fluent Icons / MDL2 Assets font
    std::vector<InventoryRow> rows;
};

struct HardwareInventory {
    std::wstring systemName;  // manufacturer and model
    std::wstring cpuName;
    std::vector<InventorySection> sections;
};

// Section glyphs.
inline constexpr uint16_t kGlyphSystem = 0xE7F8;
inline constexpr uint16_t kGlyphProcessor = 0xE950;
inline constexpr uint16_t kGlyphGraphics = 0xE7F4;
inline constexpr uint16_t kGlyphMemory = 0xE964;
inline constexpr uint16_t kGlyphStorage = 0xEDA2;
inline constexpr uint16_t kGlyphOperatingSystem = 0xE770;

// What replaces the computer and user name when "KALORIX_REDACT" is set.
inline constexpr const wchar_t* kRedactedText = L"\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022";
inline constexpr const wchar_t* kRedactVariable = L"KALORIX_REDACT";

// SMBIOS memory type -> "DDR4" etc.; empty for unknown numbers.
std::wstring MemoryTypeName(int smbiosType);
// MSFT_PhysicalDisk MediaType / BusType -> "SSD", "NVMe" etc.; empty otherwise.
std::wstring DiskMediaName(int mediaType);
std::wstring DiskBusName(int busType);

// The WMI queries of the report, in the order they run.
enum class InventoryQuery : int {
    ComputerSystem,
    BaseBoard,
    Bios,
    Processor,
    VideoController,
    PhysicalMemory,
    PhysicalDisk,
    OperatingSystem,
};
inline constexpr int kInventoryQueryCount = 8;

struct InventoryQueryText {
    const wchar_t* wmiNamespace;
    const wchar_t* wql;
    std::vector<std::wstring> properties;
};
const InventoryQueryText& InventoryQueryTextOf(InventoryQuery query);

// One drive letter as the volume calls saw it. The gatherer asks for space and
// label only for fixed drives.
struct VolumeProbe {
    wchar_t letter = L'C';
    unsigned driveType = 0;  // GetDriveTypeW result; 3 is a fixed drive
    bool spaceKnown = false;  // GetDiskFreeSpaceExW succeeded
    uint64_t freeBytes = 0;   // available to the caller
    uint64_t totalBytes = 0;
    std::wstring label;       // empty when unknown
};
inline constexpr unsigned kDriveFixed = 3;

// Everything the report is made of.
struct InventoryInputs {
    std::wstring computerName;
    std::wstring userName;
    bool redact = false;
    std::array<std::vector<WmiRow>, kInventoryQueryCount> wmi;
    std::map<std::wstring, double> adapterMemory;  // driver description -> bytes
    std::wstring displayVersion;                   // e.g. "23H2"
    uint32_t ubr = 0;                              // update build revision
    std::vector<VolumeProbe> volumes;               // letters in A..Z order

    std::vector<WmiRow>& rows(InventoryQuery q) { return wmi[static_cast<int>(q)]; }
    const std::vector<WmiRow>& rows(InventoryQuery q) const { return wmi[static_cast<int>(q)]; }
};

HardwareInventory BuildHardwareInventoryFrom(const InventoryInputs& inputs);

// The report without what names this computer or its user: personal values
// become kRedactedText and volume rows lose their volume labels. Used when the
// user hides personal information (or "KALORIX_REDACT" is set).
HardwareInventory WithoutPersonalInfo(const HardwareInventory& inventory);

// "[Title]\r\n" then "Label: value\r\n" per row and an empty line per section.
std::wstring InventoryToText(const HardwareInventory& inventory);

}  // namespace kalorix
