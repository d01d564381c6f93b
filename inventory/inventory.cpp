#include "inventory/inventory.h"

#include <algorithm>
#include <cmath>

#include "sensors/format.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr const wchar_t* kDot = L" \u00B7 ";  // " · "

// WMI gives sizes that never reach 2^63; anything outside int range is no type.
int TruncateToInt(double value) {
    if (!(value > -2147483648.0 && value < 2147483648.0)) return 0;
    return static_cast<int>(value);
}

// A byte size that WMI left out (0) is shown as nothing rather than "0 B".
std::wstring BytesOrEmpty(double bytes) { return bytes > 0 ? FormatBytes(bytes) : std::wstring(); }

void AddRow(InventorySection& section, std::wstring label, std::wstring value) {
    section.rows.push_back({std::move(label), std::move(value), false, {}});
}

void AddPersonalRow(InventorySection& section, std::wstring label, std::wstring value) {
    section.rows.push_back({std::move(label), std::move(value), true, {}});
}

bool Contains(const std::wstring& text, std::wstring_view part) {
    return text.find(part) != std::wstring::npos;
}

InventorySection SystemSection(const InventoryInputs& in, HardwareInventory& inv) {
    InventorySection s{L"Sistem", kGlyphSystem, {}};
    for (const WmiRow& row : in.rows(InventoryQuery::ComputerSystem)) {
        inv.systemName = JoinNonEmpty({RowText(row, L"Manufacturer"), RowText(row, L"Model")}, L" ");
        AddRow(s, L"Model", inv.systemName);
        AddRow(s, L"Seri", RowText(row, L"SystemFamily"));
    }
    for (const WmiRow& row : in.rows(InventoryQuery::BaseBoard))
        AddRow(s, L"Anakart", JoinNonEmpty({RowText(row, L"Manufacturer"), RowText(row, L"Product")}, L" "));
    for (const WmiRow& row : in.rows(InventoryQuery::Bios))
        AddRow(s, L"BIOS",
               JoinNonEmpty({RowText(row, L"SMBIOSBIOSVersion"), CimDateToText(RowText(row, L"ReleaseDate"))},
                            kDot));
    AddPersonalRow(s, L"Bilgisayar adı", in.redact ? std::wstring(kRedactedText) : in.computerName);
    return s;
}

InventorySection ProcessorSection(const InventoryInputs& in, HardwareInventory& inv) {
    InventorySection s{L"İşlemci", kGlyphProcessor, {}};
    for (const WmiRow& row : in.rows(InventoryQuery::Processor)) {
        inv.cpuName = RowText(row, L"Name");
        AddRow(s, L"Model", inv.cpuName);

        const std::wstring cores = RowText(row, L"NumberOfCores");
        const std::wstring threads = RowText(row, L"NumberOfLogicalProcessors");
        if (!cores.empty() || !threads.empty()) AddRow(s, L"Çekirdek / iş parçacığı", cores + L" / " + threads);

        const double mhz = RowNumber(row, L"MaxClockSpeed");
        if (mhz > 0) AddRow(s, L"Temel hız", FormatNumber(mhz / 1000.0, 2) + L" GHz");

        const double l2 = RowNumber(row, L"L2CacheSize");
        const double l3 = RowNumber(row, L"L3CacheSize");
        if (l2 > 0 || l3 > 0)
            AddRow(s, L"Önbellek (L2 / L3)", FormatBytes(l2 * 1024.0) + L" / " + FormatBytes(l3 * 1024.0));

        AddRow(s, L"Soket", RowText(row, L"SocketDesignation"));
    }
    return s;
}

std::vector<InventorySection> GraphicsSections(const InventoryInputs& in) {
    const std::vector<WmiRow>& rows = in.rows(InventoryQuery::VideoController);
    const size_t n = rows.size();  // skipped adapters count too
    std::vector<InventorySection> out;
    for (const WmiRow& row : rows) {
        const std::wstring name = RowText(row, L"Name");
        if (Contains(name, L"Microsoft Basic")) continue;

        const auto mem = in.adapterMemory.find(name);
        const bool hasMemory = mem != in.adapterMemory.end();
        const bool discrete = hasMemory || Contains(name, L"NVIDIA") || Contains(name, L"Radeon RX");

        InventorySection s;
        s.title = n <= 1 ? L"Ekran kartı" : discrete ? L"Harici ekran kartı" : L"Tümleşik ekran kartı";
        s.glyph = kGlyphGraphics;
        AddRow(s, L"Model", name);
        if (hasMemory)
            AddRow(s, L"Bellek", FormatNumber(std::round(mem->second / 1073741824.0), 0) + L" GB");
        else if (!discrete)
            AddRow(s, L"Bellek", L"Sistem belleğini paylaşır");
        AddRow(s, L"Sürücü",
               JoinNonEmpty({RowText(row, L"DriverVersion"), CimDateToText(RowText(row, L"DriverDate"))}, kDot));
        if (RowNumber(row, L"CurrentHorizontalResolution") > 0) {
            std::wstring mode = RowText(row, L"CurrentHorizontalResolution") + L" \u00D7 " +
                                RowText(row, L"CurrentVerticalResolution");
            // Some drivers (and Wine) report a refresh rate of 0: the rate is unknown, not 0 Hz.
            if (RowNumber(row, L"CurrentRefreshRate") > 0) mode += L" @ " + RowText(row, L"CurrentRefreshRate") + L" Hz";
            AddRow(s, L"Ekran", std::move(mode));
        }

        if (discrete)
            out.insert(out.begin(), std::move(s));
        else
            out.push_back(std::move(s));
    }
    return out;
}

InventorySection MemorySection(const InventoryInputs& in) {
    InventorySection s{L"Bellek", kGlyphMemory, {}};
    double total = 0, speed = 0;
    std::wstring type;
    std::vector<InventoryRow> modules;
    int k = 0;
    for (const WmiRow& row : in.rows(InventoryQuery::PhysicalMemory)) {
        ++k;
        const double capacity = RowNumber(row, L"Capacity");
        total += capacity;
        speed = std::max({speed, RowNumber(row, L"ConfiguredClockSpeed"), RowNumber(row, L"Speed")});
        type = MemoryTypeName(TruncateToInt(RowNumber(row, L"SMBIOSMemoryType")));  // the last module decides
        modules.push_back({L"Modül " + std::to_wstring(k),
                           JoinNonEmpty({BytesOrEmpty(capacity), RowText(row, L"Manufacturer"),
                                         RowText(row, L"PartNumber")},
                                        kDot)});
    }
    AddRow(s, L"Toplam", BytesOrEmpty(total));
    AddRow(s, L"Tür", type);
    if (speed > 0) AddRow(s, L"Hız", FormatNumber(speed, 0) + L" MT/s");
    for (InventoryRow& m : modules) s.rows.push_back(std::move(m));
    return s;
}

InventorySection StorageSection(const InventoryInputs& in) {
    InventorySection s{L"Depolama", kGlyphStorage, {}};
    int i = 0;
    for (const WmiRow& row : in.rows(InventoryQuery::PhysicalDisk)) {
        ++i;
        const std::wstring media = DiskMediaName(TruncateToInt(RowNumber(row, L"MediaType")));
        const std::wstring bus = DiskBusName(TruncateToInt(RowNumber(row, L"BusType")));
        AddRow(s, L"Disk " + std::to_wstring(i),
               JoinNonEmpty({RowText(row, L"FriendlyName"), BytesOrEmpty(RowNumber(row, L"Size")),
                             JoinNonEmpty({bus, media}, L" ")},
                            kDot));
    }
    for (const VolumeProbe& v : in.volumes) {
        if (v.driveType != kDriveFixed || !v.spaceKnown) continue;
        const std::wstring letter = std::wstring(1, v.letter) + L':';
        AddRow(s, v.label.empty() ? letter : letter + L" " + v.label,
               FormatBytes(static_cast<double>(v.freeBytes)) + L" boş / " +
                   FormatBytes(static_cast<double>(v.totalBytes)));
        if (!v.label.empty()) s.rows.back().publicLabel = letter;
    }
    return s;
}

InventorySection OperatingSystemSection(const InventoryInputs& in) {
    InventorySection s{L"İşletim sistemi", kGlyphOperatingSystem, {}};
    const std::wstring displayVersion = TrimSpaces(std::wstring_view(in.displayVersion));
    for (const WmiRow& row : in.rows(InventoryQuery::OperatingSystem)) {
        std::wstring caption = RowText(row, L"Caption");
        if (StartsWith(caption, L"Microsoft ")) caption.erase(0, 10);
        AddRow(s, L"Sürüm", JoinNonEmpty({caption, displayVersion}, L" "));
        std::wstring build = RowText(row, L"BuildNumber");
        if (in.ubr != 0 && !build.empty()) build += L"." + std::to_wstring(in.ubr);
        AddRow(s, L"Derleme", std::move(build));
        AddRow(s, L"Mimari", RowText(row, L"OSArchitecture"));
        AddRow(s, L"Kurulum", CimDateToText(RowText(row, L"InstallDate")));
    }
    AddPersonalRow(s, L"Kullanıcı", in.redact ? std::wstring(kRedactedText) : in.userName);
    return s;
}

}  // namespace

std::wstring MemoryTypeName(int t) {
    switch (t) {
        case 20: return L"DDR";
        case 21: return L"DDR2";
        case 24: return L"DDR3";
        case 26: return L"DDR4";
        case 27: return L"LPDDR";
        case 28: return L"LPDDR2";
        case 29: return L"LPDDR3";
        case 30: return L"LPDDR4";
        case 34: return L"DDR5";
        case 35: return L"LPDDR5";
        default: return {};
    }
}

std::wstring DiskMediaName(int mediaType) {
    switch (mediaType) {
        case 4: return L"SSD";
        case 3: return L"HDD";
        default: return {};
    }
}

std::wstring DiskBusName(int busType) {
    switch (busType) {
        case 17: return L"NVMe";
        case 11: return L"SATA";
        case 7: return L"USB";
        case 8: return L"RAID";
        default: return {};
    }
}

const InventoryQueryText& InventoryQueryTextOf(InventoryQuery query) {
    static const InventoryQueryText kQueries[kInventoryQueryCount] = {
        {L"ROOT\\CIMV2", L"SELECT Manufacturer, Model, SystemFamily FROM Win32_ComputerSystem",
         {L"Manufacturer", L"Model", L"SystemFamily"}},
        {L"ROOT\\CIMV2", L"SELECT Manufacturer, Product FROM Win32_BaseBoard", {L"Manufacturer", L"Product"}},
        {L"ROOT\\CIMV2", L"SELECT SMBIOSBIOSVersion, ReleaseDate FROM Win32_BIOS",
         {L"SMBIOSBIOSVersion", L"ReleaseDate"}},
        {L"ROOT\\CIMV2",
         L"SELECT Name, NumberOfCores, NumberOfLogicalProcessors, MaxClockSpeed, L2CacheSize, L3CacheSize, "
         L"SocketDesignation FROM Win32_Processor",
         {L"Name", L"NumberOfCores", L"NumberOfLogicalProcessors", L"MaxClockSpeed", L"L2CacheSize",
          L"L3CacheSize", L"SocketDesignation"}},
        {L"ROOT\\CIMV2",
         L"SELECT Name, DriverVersion, DriverDate, CurrentHorizontalResolution, CurrentVerticalResolution, "
         L"CurrentRefreshRate FROM Win32_VideoController",
         {L"Name", L"DriverVersion", L"DriverDate", L"CurrentHorizontalResolution", L"CurrentVerticalResolution",
          L"CurrentRefreshRate"}},
        {L"ROOT\\CIMV2",
         L"SELECT Capacity, Speed, ConfiguredClockSpeed, Manufacturer, PartNumber, SMBIOSMemoryType FROM "
         L"Win32_PhysicalMemory",
         {L"Capacity", L"Speed", L"ConfiguredClockSpeed", L"Manufacturer", L"PartNumber", L"SMBIOSMemoryType"}},
        {L"ROOT\\Microsoft\\Windows\\Storage", L"SELECT FriendlyName, MediaType, BusType, Size FROM MSFT_PhysicalDisk",
         {L"FriendlyName", L"MediaType", L"BusType", L"Size"}},
        {L"ROOT\\CIMV2", L"SELECT Caption, BuildNumber, OSArchitecture, InstallDate FROM Win32_OperatingSystem",
         {L"Caption", L"BuildNumber", L"OSArchitecture", L"InstallDate"}},
    };
    return kQueries[static_cast<int>(query)];
}

HardwareInventory BuildHardwareInventoryFrom(const InventoryInputs& in) {
    HardwareInventory inv;
    inv.sections.push_back(SystemSection(in, inv));
    inv.sections.push_back(ProcessorSection(in, inv));
    for (InventorySection& g : GraphicsSections(in)) inv.sections.push_back(std::move(g));
    inv.sections.push_back(MemorySection(in));
    inv.sections.push_back(StorageSection(in));
    inv.sections.push_back(OperatingSystemSection(in));
    for (InventorySection& s : inv.sections)
        std::erase_if(s.rows, [](const InventoryRow& r) { return r.value.empty(); });
    if (in.redact) inv = WithoutPersonalInfo(inv);
    return inv;
}

HardwareInventory WithoutPersonalInfo(const HardwareInventory& inventory) {
    HardwareInventory out = inventory;
    for (InventorySection& s : out.sections) {
        for (InventoryRow& r : s.rows) {
            if (r.personalValue) r.value = kRedactedText;
            if (!r.publicLabel.empty()) r.label = r.publicLabel;
        }
    }
    return out;
}

std::wstring InventoryToText(const HardwareInventory& inventory) {
    std::wstring out;
    for (const InventorySection& s : inventory.sections) {
        out += L"[" + s.title + L"]\r\n";
        for (const InventoryRow& r : s.rows) out += r.label + L": " + r.value + L"\r\n";
        out += L"\r\n";
    }
    return out;
}

}  // namespace kalorix
