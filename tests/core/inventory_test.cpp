// The hardware inventory built from WMI rows and its text.
#include <gtest/gtest.h>

#include <algorithm>

#include "inventory/inventory.h"
#include "inventory/wmi_row.h"

using namespace kalorix;

namespace {

constexpr double kGiB = 1073741824.0;
const std::wstring kDot = L" \u00B7 ";

// A desktop with a discrete and an integrated adapter, as WMI reports it.
InventoryInputs Desktop() {
    InventoryInputs in;
    in.computerName = L"OFIS-PC", in.userName = L"ayse";
    in.rows(InventoryQuery::ComputerSystem) = {{{L"Manufacturer", L"Micro-Star International Co., Ltd."},
                                                {L"Model", L"MS-7D75"}, {L"SystemFamily", L"Default string"}}};
    in.rows(InventoryQuery::BaseBoard) = {{{L"Manufacturer", L"MSI"}, {L"Product", L"MAG B650 TOMAHAWK"}}};
    in.rows(InventoryQuery::Bios) = {{{L"SMBIOSBIOSVersion", L"1.A0"}, {L"ReleaseDate", L"20240315000000.000000+000"}}};
    in.rows(InventoryQuery::Processor) = {{{L"Name", L"AMD Ryzen 7 7700X 8-Core Processor"}, {L"NumberOfCores", L"8"},
        {L"NumberOfLogicalProcessors", L"16"}, {L"MaxClockSpeed", L"4501"}, {L"L2CacheSize", L"8192"},
        {L"L3CacheSize", L"32768"}, {L"SocketDesignation", L"AM5"}}};
    in.rows(InventoryQuery::VideoController) = {
        {{L"Name", L"AMD Radeon(TM) Graphics"}, {L"DriverVersion", L"31.0.21001.45002"}, {L"DriverDate", L"20231110000000.000000-000"}},
        {{L"Name", L"NVIDIA GeForce RTX 4070"}, {L"DriverVersion", L"32.0.15.5585"}, {L"DriverDate", L"20240613000000.000000-000"},
         {L"CurrentHorizontalResolution", L"2560"}, {L"CurrentVerticalResolution", L"1440"}, {L"CurrentRefreshRate", L"144"}}};
    in.adapterMemory = {{L"NVIDIA GeForce RTX 4070", 12 * kGiB}};
    const WmiRow module = {{L"Capacity", L"17179869184"}, {L"Speed", L"6000"}, {L"ConfiguredClockSpeed", L"6000"},
        {L"Manufacturer", L"Kingston"}, {L"PartNumber", L"KF560C36-16"}, {L"SMBIOSMemoryType", L"34"}};
    in.rows(InventoryQuery::PhysicalMemory) = {module, module};
    in.rows(InventoryQuery::PhysicalDisk) = {{{L"FriendlyName", L"Samsung SSD 980 PRO 1TB"}, {L"MediaType", L"4"},
                                              {L"BusType", L"17"}, {L"Size", L"1000204886016"}}};
    in.volumes = {{L'C', kDriveFixed, true, 120 * static_cast<uint64_t>(kGiB), 1000204886016ull, L"Windows"}};
    in.rows(InventoryQuery::OperatingSystem) = {{{L"Caption", L"Microsoft Windows 11 Pro"}, {L"BuildNumber", L"22631"},
        {L"OSArchitecture", L"64 bit"}, {L"InstallDate", L"20240101120000.000000+180"}}};
    in.displayVersion = L"23H2", in.ubr = 3007;
    return in;
}

const InventorySection* Find(const HardwareInventory& inv, const std::wstring& title) {
    auto it = std::find_if(inv.sections.begin(), inv.sections.end(), [&](const auto& s) { return s.title == title; });
    return it == inv.sections.end() ? nullptr : &*it;
}

// The value of a row, or "<none>" when the section lacks it.
std::wstring Value(const InventorySection& s, const std::wstring& label) {
    auto it = std::find_if(s.rows.begin(), s.rows.end(), [&](const auto& r) { return r.label == label; });
    return it == s.rows.end() ? L"<none>" : it->value;
}

using Texts = std::vector<std::wstring>;

template <class List, class Field>
Texts Collect(const List& list, Field field) {
    Texts out;
    for (const auto& item : list) out.push_back(item.*field);
    return out;
}
Texts Labels(const InventorySection& s) { return Collect(s.rows, &InventoryRow::label); }
Texts Titles(const HardwareInventory& inv) { return Collect(inv.sections, &InventorySection::title); }

WmiRow Adapter(const std::wstring& name) { return {{L"Name", name}}; }

}  // namespace

TEST(Inventory, DesktopReportHasEverySectionInOrderWithItsRows) {
    const HardwareInventory inv = BuildHardwareInventoryFrom(Desktop());
    EXPECT_EQ(inv.systemName, L"Micro-Star International Co., Ltd. MS-7D75");
    EXPECT_EQ(InventoryToText(inv),
              L"[Sistem]\r\nModel: Micro-Star International Co., Ltd. MS-7D75\r\nSeri: Default string\r\n"
              L"Anakart: MSI MAG B650 TOMAHAWK\r\nBIOS: 1.A0 · 15.03.2024\r\nBilgisayar adı: OFIS-PC\r\n\r\n"
              L"[İşlemci]\r\nModel: AMD Ryzen 7 7700X 8-Core Processor\r\nÇekirdek / iş parçacığı: 8 / 16\r\n"
              L"Temel hız: 4,50 GHz\r\nÖnbellek (L2 / L3): 8 MB / 32 MB\r\nSoket: AM5\r\n\r\n"
              L"[Harici ekran kartı]\r\nModel: NVIDIA GeForce RTX 4070\r\nBellek: 12 GB\r\n"
              L"Sürücü: 32.0.15.5585 · 13.06.2024\r\nEkran: 2560 × 1440 @ 144 Hz\r\n\r\n"
              L"[Tümleşik ekran kartı]\r\nModel: AMD Radeon(TM) Graphics\r\n"
              L"Bellek: Sistem belleğini paylaşır\r\nSürücü: 31.0.21001.45002 · 10.11.2023\r\n\r\n"
              L"[Bellek]\r\nToplam: 32 GB\r\nTür: DDR5\r\nHız: 6000 MT/s\r\n"
              L"Modül 1: 16 GB · Kingston · KF560C36-16\r\nModül 2: 16 GB · Kingston · KF560C36-16\r\n\r\n"
              L"[Depolama]\r\nDisk 1: Samsung SSD 980 PRO 1TB · 931,5 GB · NVMe SSD\r\n"
              L"C: Windows: 120 GB boş / 931,5 GB\r\n\r\n[İşletim sistemi]\r\nSürüm: Windows 11 Pro 23H2\r\n"
              L"Derleme: 22631.3007\r\nMimari: 64 bit\r\nKurulum: 01.01.2024\r\nKullanıcı: ayse\r\n\r\n");
}

// Hiding personal information replaces the computer's and the user's names and
// drops volume labels; nothing else changes. KALORIX_REDACT applies it at build.
TEST(Inventory, PersonalInfoHidesNamesAndVolumeLabelsOnly) {
    InventoryInputs in = Desktop();
    const HardwareInventory hidden = WithoutPersonalInfo(BuildHardwareInventoryFrom(in));
    in.redact = true;
    EXPECT_EQ(InventoryToText(BuildHardwareInventoryFrom(in)), InventoryToText(hidden));
    std::wstring expected = InventoryToText(BuildHardwareInventoryFrom(Desktop()));
    const std::wstring bullets = L"\u2022\u2022\u2022\u2022\u2022\u2022\u2022\u2022";
    for (const auto& [from, to] : {std::pair<std::wstring, std::wstring>{L"adı: OFIS-PC", L"adı: " + bullets},
                                   {L"Kullanıcı: ayse", L"Kullanıcı: " + bullets}, {L"C: Windows:", L"C::"}})
        expected.replace(expected.find(from), from.size(), to);
    EXPECT_EQ(InventoryToText(hidden), expected);

    // Even names that could not be read are shown as hidden rather than left out.
    in.computerName.clear(), in.userName.clear();
    const HardwareInventory unknown = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Value(*Find(unknown, L"Sistem"), L"Bilgisayar adı") + Value(*Find(unknown, L"İşletim sistemi"), L"Kullanıcı"),
              bullets + bullets);
}

TEST(Inventory, AdapterOrderKindTitlesAndMemory) {
    InventoryInputs in;
    in.rows(InventoryQuery::VideoController) = {Adapter(L"Intel(R) UHD Graphics 630")};
    EXPECT_EQ(Titles(BuildHardwareInventoryFrom(in))[2], L"Ekran kartı");  // one controller: no kind
    // The basic display adapter is not listed but still counts as a controller; empty sections stay.
    in.rows(InventoryQuery::VideoController) = {Adapter(L"Microsoft Basic Display Adapter"), Adapter(L"Intel UHD")};
    EXPECT_EQ(Titles(BuildHardwareInventoryFrom(in)),
              (Texts{L"Sistem", L"İşlemci", L"Tümleşik ekran kartı", L"Bellek", L"Depolama", L"İşletim sistemi"}));

    // Discrete (a registry memory entry under the exact name, or NVIDIA/Radeon RX) first in
    // reverse order, then integrated in order; name matching is case-sensitive.
    in.rows(InventoryQuery::VideoController) = {Adapter(L"NVIDIA GeForce GTX 1650"), Adapter(L"Intel Iris Xe"),
                                                Adapter(L"AMD Radeon Pro W6600"), Adapter(L"nvidia lowercase"),
                                                Adapter(L"AMD Radeon 780M"), Adapter(L"Radeon RX B")};
    in.adapterMemory = {{L"AMD Radeon Pro W6600", 8 * kGiB}, {L"AMD Radeon 780M", 1.5 * kGiB},
                        {L"amd radeon pro w6600", 4 * kGiB}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    const std::wstring discrete = L"Harici ekran kartı: ", integrated = L"Tümleşik ekran kartı: ";
    Texts got;
    for (size_t i = 2; i < 8; ++i)
        got.push_back(inv.sections[i].title + L": " + Value(inv.sections[i], L"Model") + L" " +
                      Value(inv.sections[i], L"Bellek"));
    EXPECT_EQ(got, (Texts{discrete + L"Radeon RX B <none>",  // discrete without entry: no memory row
                          discrete + L"AMD Radeon 780M 2 GB",  // 1.5 GiB rounds up
                          discrete + L"AMD Radeon Pro W6600 8 GB", discrete + L"NVIDIA GeForce GTX 1650 <none>",
                          integrated + L"Intel Iris Xe Sistem belleğini paylaşır",
                          integrated + L"nvidia lowercase Sistem belleğini paylaşır"}));
}

// A nameless adapter keeps its other rows; an unknown refresh rate or resolution is left out.
TEST(Inventory, AdapterDriverAndDisplayRows) {
    InventoryInputs in;
    in.rows(InventoryQuery::VideoController) = {
        {{L"Name", L""}, {L"DriverDate", L"20220101000000.000000-000"}, {L"CurrentHorizontalResolution", L"0"}},
        {{L"Name", L"Wine"}, {L"CurrentHorizontalResolution", L"1600"}, {L"CurrentVerticalResolution", L"1000"},
         {L"CurrentRefreshRate", L"0"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Labels(inv.sections[2]), (Texts{L"Bellek", L"Sürücü"}));
    EXPECT_EQ(Value(inv.sections[3], L"Ekran"), L"1600 \u00D7 1000");
}

TEST(Inventory, MemoryFastestSpeedLastModuleTypeAndUnknownSizes) {
    InventoryInputs in;
    EXPECT_TRUE(Find(BuildHardwareInventoryFrom(in), L"Bellek")->rows.empty());  // no made-up "0 B" total
    in.rows(InventoryQuery::PhysicalMemory) = {
        {{L"Capacity", L"8589934592"}, {L"Speed", L"3200"}, {L"Manufacturer", L"G.Skill"}, {L"SMBIOSMemoryType", L"26"}},
        {{L"Capacity", L"8589934592"}, {L"Speed", L"3600"}, {L"PartNumber", L"F4-3600C16-8GVKC"},
         {L"SMBIOSMemoryType", L"26"}}};
    const InventorySection mem = *Find(BuildHardwareInventoryFrom(in), L"Bellek");
    // The fastest module gives the speed.
    EXPECT_EQ(Value(mem, L"Tür") + L"|" + Value(mem, L"Hız") + L"|" + Value(mem, L"Modül 2"),
              L"DDR4|3600 MT/s|8 GB" + kDot + L"F4-3600C16-8GVKC");

    // The last module decides the type even when it names none (or a code beyond any integer);
    // no speed, no "Hız"; no capacity, no total.
    for (const wchar_t* type : {L"0", L"1e300"}) {
        in.rows(InventoryQuery::PhysicalMemory) = {{{L"Capacity", L"1024"}, {L"SMBIOSMemoryType", L"26"}},
                                                   {{L"Capacity", L"1024"}, {L"SMBIOSMemoryType", type}}};
        EXPECT_EQ(Labels(*Find(BuildHardwareInventoryFrom(in), L"Bellek")), (Texts{L"Toplam", L"Modül 1", L"Modül 2"}));
    }
    in.rows(InventoryQuery::PhysicalMemory) = {{{L"Manufacturer", L"Samsung"}, {L"SMBIOSMemoryType", L"34"}}};
    in.rows(InventoryQuery::PhysicalDisk) = {{{L"FriendlyName", L"Virtual Disk"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Labels(*Find(inv, L"Bellek")), (Texts{L"Tür", L"Modül 1"}));
    EXPECT_EQ(Value(*Find(inv, L"Depolama"), L"Disk 1"), L"Virtual Disk");
}

TEST(Inventory, ProcessorCacheRowAndBiosWithoutDate) {
    InventoryInputs in;
    in.rows(InventoryQuery::Processor) = {{{L"Name", L"A"}, {L"MaxClockSpeed", L"3600"}, {L"L2CacheSize", L"0"}},
                                          {{L"Name", L"B"}, {L"L3CacheSize", L"16384"}}};
    in.rows(InventoryQuery::Bios) = {{{L"SMBIOSBIOSVersion", L"F.20"}, {L"ReleaseDate", L"2024"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    const InventorySection& cpu = *Find(inv, L"İşlemci");
    EXPECT_EQ(Labels(cpu), (Texts{L"Model", L"Temel hız", L"Model", L"Önbellek (L2 / L3)"}));  // one known cache
    // The last processor names the machine's CPU.
    EXPECT_EQ(cpu.rows[3].value + L"|" + inv.cpuName + L"|" + Value(inv.sections[0], L"BIOS"), L"0 B / 16 MB|B|F.20");
}

TEST(Inventory, OperatingSystemVersionAndBuild) {
    InventoryInputs in = Desktop();
    in.ubr = 0, in.displayVersion = L"  23H2 ";
    auto os = [&](const wchar_t* label) { return Value(*Find(BuildHardwareInventoryFrom(in), L"İşletim sistemi"), label); };
    EXPECT_EQ(os(L"Derleme") + L"|" + os(L"Sürüm"), L"22631|Windows 11 Pro 23H2");
    in.ubr = 3007;  // a revision without a build number is no build number
    in.rows(InventoryQuery::OperatingSystem)[0].erase(L"BuildNumber");
    EXPECT_EQ(os(L"Derleme"), L"<none>");
}

TEST(Inventory, DisksAndOnlyFixedVolumesWithKnownSpace) {
    InventoryInputs in;
    in.rows(InventoryQuery::PhysicalDisk) = {
        {{L"FriendlyName", L"WDC WD10EZEX"}, {L"MediaType", L"3"}, {L"BusType", L"11"}, {L"Size", L"1000204886016"}},
        {{L"FriendlyName", L"Kingston DataTraveler"}, {L"MediaType", L"0"}, {L"BusType", L"7"}, {L"Size", L"32000000000"}},
        {{L"FriendlyName", L"Array"}, {L"MediaType", L"4"}, {L"BusType", L"99"}, {L"Size", L"1099511627776"}}};
    in.volumes = {{L'A', 2, false, 0, 0, L""}, {L'C', kDriveFixed, true, 50 * uint64_t(kGiB), 100 * uint64_t(kGiB), L""},
                  {L'D', kDriveFixed, true, 0, 1000204886016ull, L"Veri"}, {L'E', 2, true, 1, 2, L"USB"},
                  {L'F', kDriveFixed, false, 0, 0, L""}, {L'Z', 4, true, 1, 2, L"Ağ"}};
    const InventorySection s = *Find(BuildHardwareInventoryFrom(in), L"Depolama");
    EXPECT_EQ(Labels(s), (Texts{L"Disk 1", L"Disk 2", L"Disk 3", L"C:", L"D: Veri"}));
    EXPECT_EQ(s.rows[0].value + L"|" + s.rows[2].value + L"|" + s.rows[4].value,
              L"WDC WD10EZEX" + kDot + L"931,5 GB" + kDot + L"SATA HDD|Array" + kDot + L"1 TB" + kDot + L"SSD|0 B boş / 931,5 GB");
}

TEST(WmiRow, NumbersParseTheLeadingDecimalTextAndNamesMatchExactly) {
    const WmiRow row{{L"Capacity", L"17179869184"}, {L"Speed", L"3600 MHz"}, {L"Frac", L"2.5"}, {L"Word", L"Unknown"},
                     {L"Nan", L"nan"}, {L"Inf", L"-inf"}, {L"Neg", L"-12"}, {L"Name", L"Intel"}, {L"Blank", L""}};
    const std::pair<const wchar_t*, double> cases[] = {{L"Capacity", 17179869184.0}, {L"Speed", 3600.0},
        {L"Frac", 2.5}, {L"Word", 0.0}, {L"Neg", -12.0}, {L"Nan", 0.0}, {L"Inf", 0.0},  // never NaN or infinity
        {L"Missing", 0.0}, {L"Blank", 0.0}};
    for (auto [name, want] : cases) EXPECT_EQ(RowNumber(row, name), want) << name;
    EXPECT_EQ(RowText(row, L"Missing") + RowText(row, L"name"), L"");  // property names are matched exactly
}
