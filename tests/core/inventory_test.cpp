#include <gtest/gtest.h>

#include "inventory/inventory.h"
#include "inventory/wmi_row.h"

using namespace kalorix;

namespace {

constexpr double kGiB = 1073741824.0;
const std::wstring kDot = L" \u00B7 ";

// A desktop with a discrete and an integrated adapter, as WMI reports it.
InventoryInputs Desktop() {
    InventoryInputs in;
    in.computerName = L"OFIS-PC";
    in.userName = L"ayse";
    in.rows(InventoryQuery::ComputerSystem) = {
        {{L"Manufacturer", L"Micro-Star International Co., Ltd."}, {L"Model", L"MS-7D75"}, {L"SystemFamily", L"Default string"}}};
    in.rows(InventoryQuery::BaseBoard) = {{{L"Manufacturer", L"MSI"}, {L"Product", L"MAG B650 TOMAHAWK"}}};
    in.rows(InventoryQuery::Bios) = {{{L"SMBIOSBIOSVersion", L"1.A0"}, {L"ReleaseDate", L"20240315000000.000000+000"}}};
    in.rows(InventoryQuery::Processor) = {{{L"Name", L"AMD Ryzen 7 7700X 8-Core Processor"},
                                           {L"NumberOfCores", L"8"},
                                           {L"NumberOfLogicalProcessors", L"16"},
                                           {L"MaxClockSpeed", L"4501"},
                                           {L"L2CacheSize", L"8192"},
                                           {L"L3CacheSize", L"32768"},
                                           {L"SocketDesignation", L"AM5"}}};
    in.rows(InventoryQuery::VideoController) = {
        {{L"Name", L"AMD Radeon(TM) Graphics"}, {L"DriverVersion", L"31.0.21001.45002"}, {L"DriverDate", L"20231110000000.000000-000"}},
        {{L"Name", L"NVIDIA GeForce RTX 4070"},
         {L"DriverVersion", L"32.0.15.5585"},
         {L"DriverDate", L"20240613000000.000000-000"},
         {L"CurrentHorizontalResolution", L"2560"},
         {L"CurrentVerticalResolution", L"1440"},
         {L"CurrentRefreshRate", L"144"}}};
    in.adapterMemory = {{L"NVIDIA GeForce RTX 4070", 12 * kGiB}};
    in.rows(InventoryQuery::PhysicalMemory) = {
        {{L"Capacity", L"17179869184"}, {L"Speed", L"6000"}, {L"ConfiguredClockSpeed", L"6000"},
         {L"Manufacturer", L"Kingston"}, {L"PartNumber", L"KF560C36-16"}, {L"SMBIOSMemoryType", L"34"}},
        {{L"Capacity", L"17179869184"}, {L"Speed", L"6000"}, {L"ConfiguredClockSpeed", L"6000"},
         {L"Manufacturer", L"Kingston"}, {L"PartNumber", L"KF560C36-16"}, {L"SMBIOSMemoryType", L"34"}}};
    in.rows(InventoryQuery::PhysicalDisk) = {
        {{L"FriendlyName", L"Samsung SSD 980 PRO 1TB"}, {L"MediaType", L"4"}, {L"BusType", L"17"}, {L"Size", L"1000204886016"}}};
    in.volumes = {{L'C', kDriveFixed, true, 120 * static_cast<uint64_t>(kGiB), 1000204886016ull, L"Windows"}};
    in.rows(InventoryQuery::OperatingSystem) = {{{L"Caption", L"Microsoft Windows 11 Pro"},
                                                 {L"BuildNumber", L"22631"},
                                                 {L"OSArchitecture", L"64 bit"},
                                                 {L"InstallDate", L"20240101120000.000000+180"}}};
    in.displayVersion = L"23H2";
    in.ubr = 3007;
    return in;
}

const InventorySection* Find(const HardwareInventory& inv, const std::wstring& title) {
    for (const auto& s : inv.sections)
        if (s.title == title) return &s;
    return nullptr;
}

// The value of a row, or "<none>" when the section lacks it.
std::wstring Value(const InventorySection& s, const std::wstring& label) {
    for (const auto& r : s.rows)
        if (r.label == label) return r.value;
    return L"<none>";
}

std::vector<std::wstring> Labels(const InventorySection& s) {
    std::vector<std::wstring> out;
    for (const auto& r : s.rows) out.push_back(r.label);
    return out;
}

std::vector<std::wstring> Titles(const HardwareInventory& inv) {
    std::vector<std::wstring> out;
    for (const auto& s : inv.sections) out.push_back(s.title);
    return out;
}

WmiRow Adapter(const std::wstring& name) { return {{L"Name", name}}; }

}  // namespace

TEST(Inventory, DesktopReportHasEverySectionInOrderWithItsRows) {
    const HardwareInventory inv = BuildHardwareInventoryFrom(Desktop());
    EXPECT_EQ(inv.systemName, L"Micro-Star International Co., Ltd. MS-7D75");
    EXPECT_EQ(inv.cpuName, L"AMD Ryzen 7 7700X 8-Core Processor");
    EXPECT_EQ(InventoryToText(inv),
              L"[Sistem]\r\n"
              L"Model: Micro-Star International Co., Ltd. MS-7D75\r\n"
              L"Seri: Default string\r\n"
              L"Anakart: MSI MAG B650 TOMAHAWK\r\n"
              L"BIOS: 1.A0 · 15.03.2024\r\n"
              L"Bilgisayar adı: OFIS-PC\r\n\r\n"
              L"[İşlemci]\r\n"
              L"Model: AMD Ryzen 7 7700X 8-Core Processor\r\n"
              L"Çekirdek / iş parçacığı: 8 / 16\r\n"
              L"Temel hız: 4,50 GHz\r\n"
              L"Önbellek (L2 / L3): 8 MB / 32 MB\r\n"
              L"Soket: AM5\r\n\r\n"
              L"[Harici ekran kartı]\r\n"
              L"Model: NVIDIA GeForce RTX 4070\r\n"
              L"Bellek: 12 GB\r\n"
              L"Sürücü: 32.0.15.5585 · 13.06.2024\r\n"
              L"Ekran: 2560 × 1440 @ 144 Hz\r\n\r\n"
              L"[Tümleşik ekran kartı]\r\n"
              L"Model: AMD Radeon(TM) Graphics\r\n"
              L"Bellek: Sistem belleğini paylaşır\r\n"
              L"Sürücü: 31.0.21001.45002 · 10.11.2023\r\n\r\n"
              L"[Bellek]\r\n"
              L"Toplam: 32 GB\r\n"
              L"Tür: DDR5\r\n"
              L"Hız: 6000 MT/s\r\n"
              L"Modül 1: 16 GB · Kingston · KF560C36-16\r\n"
              L"Modül 2: 16 GB · Kingston · KF560C36-16\r\n\r\n"
              L"[Depolama]\r\n"
              L"Disk 1: Samsung SSD 980 PRO 1TB · 931,5 GB · NVMe SSD\r\n"
              L"C: Windows: 120 GB boş / 931,5 GB\r\n\r\n"
              L"[İşletim sistemi]\r\n"
              L"Sürüm: Windows 11 Pro 23H2\r\n"
              L"Derleme: 22631.3007\r\n"
              L"Mimari: 64 bit\r\n"
              L"Kurulum: 01.01.2024\r\n"
              L"Kullanıcı: ayse\r\n\r\n");
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
    in.computerName.clear();
    in.userName.clear();
    const HardwareInventory unknown = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Value(*Find(unknown, L"Sistem"), L"Bilgisayar adı"), bullets);
    EXPECT_EQ(Value(*Find(unknown, L"İşletim sistemi"), L"Kullanıcı"), bullets);
}

TEST(Inventory, AdapterOrderKindTitlesAndMemory) {
    InventoryInputs in;
    in.rows(InventoryQuery::VideoController) = {Adapter(L"Intel(R) UHD Graphics 630")};
    EXPECT_EQ(Titles(BuildHardwareInventoryFrom(in))[2], L"Ekran kartı");  // one controller: no kind
    // The basic display adapter is not listed but still counts as a controller.
    in.rows(InventoryQuery::VideoController) = {Adapter(L"Microsoft Basic Display Adapter"), Adapter(L"Intel UHD")};
    EXPECT_EQ(Titles(BuildHardwareInventoryFrom(in)),
              (std::vector<std::wstring>{L"Sistem", L"İşlemci", L"Tümleşik ekran kartı", L"Bellek", L"Depolama",
                                         L"İşletim sistemi"}));

    // Discrete (a registry memory entry under the exact name, or NVIDIA/Radeon RX) first in
    // reverse order, then integrated in order; name matching is case-sensitive.
    in.rows(InventoryQuery::VideoController) = {Adapter(L"NVIDIA GeForce GTX 1650"), Adapter(L"Intel Iris Xe"),
                                                Adapter(L"AMD Radeon Pro W6600"), Adapter(L"nvidia lowercase"),
                                                Adapter(L"AMD Radeon 780M"), Adapter(L"Radeon RX B")};
    in.adapterMemory = {{L"AMD Radeon Pro W6600", 8 * kGiB}, {L"AMD Radeon 780M", 1.5 * kGiB},
                        {L"amd radeon pro w6600", 4 * kGiB}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    const struct { const wchar_t* model; const wchar_t* memory; const wchar_t* title; } want[] = {
        {L"Radeon RX B", L"<none>", L"Harici ekran kartı"},  // discrete without entry: no memory row
        {L"AMD Radeon 780M", L"2 GB", L"Harici ekran kartı"},  // 1.5 GiB rounds up
        {L"AMD Radeon Pro W6600", L"8 GB", L"Harici ekran kartı"},
        {L"NVIDIA GeForce GTX 1650", L"<none>", L"Harici ekran kartı"},
        {L"Intel Iris Xe", L"Sistem belleğini paylaşır", L"Tümleşik ekran kartı"},
        {L"nvidia lowercase", L"Sistem belleğini paylaşır", L"Tümleşik ekran kartı"},
    };
    ASSERT_EQ(inv.sections.size(), 11u);
    for (size_t i = 0; i < std::size(want); ++i) {
        EXPECT_EQ(Value(inv.sections[2 + i], L"Model"), want[i].model);
        EXPECT_EQ(Value(inv.sections[2 + i], L"Bellek"), want[i].memory) << want[i].model;
        EXPECT_EQ(inv.sections[2 + i].title, want[i].title) << want[i].model;
    }
}

TEST(Inventory, AdapterDriverAndDisplayRows) {
    InventoryInputs in;
    in.rows(InventoryQuery::VideoController) = {
        {{L"Name", L"Intel UHD"}, {L"DriverVersion", L"31.0.101.2111"}, {L"CurrentHorizontalResolution", L"0"}},
        {{L"Name", L""}, {L"DriverDate", L"20220101000000.000000-000"}, {L"CurrentHorizontalResolution", L"1920"},
         {L"CurrentVerticalResolution", L"1080"}, {L"CurrentRefreshRate", L"60"}},
        {{L"Name", L"Wine"}, {L"CurrentHorizontalResolution", L"1600"}, {L"CurrentVerticalResolution", L"1000"},
         {L"CurrentRefreshRate", L"0"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Value(inv.sections[2], L"Sürücü"), L"31.0.101.2111");
    EXPECT_EQ(Value(inv.sections[2], L"Ekran"), L"<none>");
    // A nameless adapter keeps its other rows; its empty model row is removed.
    EXPECT_EQ(Labels(inv.sections[3]), (std::vector<std::wstring>{L"Bellek", L"Sürücü", L"Ekran"}));
    EXPECT_EQ(Value(inv.sections[3], L"Ekran"), L"1920 \u00D7 1080 @ 60 Hz");
    EXPECT_EQ(Value(inv.sections[4], L"Ekran"), L"1600 \u00D7 1000");  // unknown refresh rate
}

TEST(Inventory, MemoryTotalsFastestSpeedAndLastModuleType) {
    InventoryInputs in;
    in.rows(InventoryQuery::PhysicalMemory) = {
        {{L"Capacity", L"8589934592"}, {L"Speed", L"3200"}, {L"ConfiguredClockSpeed", L"3200"},
         {L"Manufacturer", L"G.Skill"}, {L"SMBIOSMemoryType", L"26"}},
        {{L"Capacity", L"8589934592"}, {L"Speed", L"3600"}, {L"ConfiguredClockSpeed", L"3200"},
         {L"PartNumber", L"F4-3600C16-8GVKC"}, {L"SMBIOSMemoryType", L"26"}}};
    HardwareInventory inv = BuildHardwareInventoryFrom(in);
    const InventorySection* mem = Find(inv, L"Bellek");
    ASSERT_NE(mem, nullptr);
    EXPECT_EQ(Value(*mem, L"Tür"), L"DDR4");
    EXPECT_EQ(Value(*mem, L"Hız"), L"3600 MT/s");  // the fastest module
    EXPECT_EQ(Value(*mem, L"Modül 2"), L"8 GB" + kDot + L"F4-3600C16-8GVKC");

    // The last module decides the type even when it names none; no speed, no "Hız".
    in.rows(InventoryQuery::PhysicalMemory)[1][L"SMBIOSMemoryType"] = L"0";
    for (WmiRow& row : in.rows(InventoryQuery::PhysicalMemory)) row.erase(L"Speed"), row.erase(L"ConfiguredClockSpeed");
    inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Labels(*Find(inv, L"Bellek")), (std::vector<std::wstring>{L"Toplam", L"Modül 1", L"Modül 2"}));
}

TEST(Inventory, UnknownSizesAreLeftOutRatherThanShownAsZero) {
    InventoryInputs in;
    // No modules at all: no made-up "0 B" total.
    EXPECT_TRUE(Find(BuildHardwareInventoryFrom(in), L"Bellek")->rows.empty());

    in.rows(InventoryQuery::PhysicalMemory) = {{{L"Manufacturer", L"Samsung"}, {L"SMBIOSMemoryType", L"34"}}};
    in.rows(InventoryQuery::PhysicalDisk) = {{{L"FriendlyName", L"Virtual Disk"}}};
    in.rows(InventoryQuery::Processor) = {{{L"Name", L"CPU"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Labels(*Find(inv, L"Bellek")), (std::vector<std::wstring>{L"Tür", L"Modül 1"}));
    EXPECT_EQ(Value(*Find(inv, L"Depolama"), L"Disk 1"), L"Virtual Disk");
    EXPECT_EQ(Labels(*Find(inv, L"İşlemci")), (std::vector<std::wstring>{L"Model"}));
}

TEST(Inventory, ProcessorCacheRowNeedsOneKnownCache) {
    InventoryInputs in;
    in.rows(InventoryQuery::Processor) = {{{L"Name", L"A"}, {L"MaxClockSpeed", L"3600"}, {L"L2CacheSize", L"0"}},
                                          {{L"Name", L"B"}, {L"L3CacheSize", L"16384"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    const InventorySection& cpu = *Find(inv, L"İşlemci");
    EXPECT_EQ(Labels(cpu), (std::vector<std::wstring>{L"Model", L"Temel hız", L"Model", L"Önbellek (L2 / L3)"}));
    EXPECT_EQ(cpu.rows[3].value, L"0 B / 16 MB");
    EXPECT_EQ(inv.cpuName, L"B");  // the last processor names the machine's CPU
}

TEST(Inventory, BiosWithoutReleaseDateShowsOnlyTheVersion) {
    InventoryInputs in;
    in.rows(InventoryQuery::Bios) = {{{L"SMBIOSBIOSVersion", L"F.20"}, {L"ReleaseDate", L"2024"}}};
    in.rows(InventoryQuery::ComputerSystem) = {{{L"Model", L"Victus"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Value(inv.sections[0], L"BIOS"), L"F.20");
    EXPECT_EQ(inv.systemName, L"Victus");
}

TEST(Inventory, OperatingSystemVersionAndBuild) {
    InventoryInputs in = Desktop();
    in.ubr = 0;
    in.displayVersion = L"  23H2 ";
    HardwareInventory inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Value(*Find(inv, L"İşletim sistemi"), L"Derleme"), L"22631");
    EXPECT_EQ(Value(*Find(inv, L"İşletim sistemi"), L"Sürüm"), L"Windows 11 Pro 23H2");

    in.displayVersion.clear();
    in.rows(InventoryQuery::OperatingSystem)[0][L"Caption"] = L"Windows 10 Microsoft Home";
    inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Value(*Find(inv, L"İşletim sistemi"), L"Sürüm"), L"Windows 10 Microsoft Home");

    // A revision without a build number is no build number.
    in.ubr = 3007;
    in.rows(InventoryQuery::OperatingSystem)[0].erase(L"BuildNumber");
    inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Value(*Find(inv, L"İşletim sistemi"), L"Derleme"), L"<none>");
}

TEST(Inventory, DisksAndOnlyFixedVolumesWithKnownSpace) {
    InventoryInputs in;
    in.rows(InventoryQuery::PhysicalDisk) = {
        {{L"FriendlyName", L"WDC WD10EZEX"}, {L"MediaType", L"3"}, {L"BusType", L"11"}, {L"Size", L"1000204886016"}},
        {{L"FriendlyName", L"Kingston DataTraveler"}, {L"MediaType", L"0"}, {L"BusType", L"7"}, {L"Size", L"32000000000"}},
        {{L"FriendlyName", L"Array"}, {L"MediaType", L"4"}, {L"BusType", L"99"}, {L"Size", L"1099511627776"}}};
    in.volumes = {{L'A', 2, false, 0, 0, L""},
                  {L'C', kDriveFixed, true, 1024ull * 1024 * 1024 * 50, 1024ull * 1024 * 1024 * 100, L""},
                  {L'D', kDriveFixed, true, 0, 1000204886016ull, L"Veri"},
                  {L'E', 2, true, 1, 2, L"USB"},
                  {L'F', kDriveFixed, false, 0, 0, L""},
                  {L'Z', 4, true, 1, 2, L"Ağ"}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    const InventorySection& s = *Find(inv, L"Depolama");
    EXPECT_EQ(Labels(s), (std::vector<std::wstring>{L"Disk 1", L"Disk 2", L"Disk 3", L"C:", L"D: Veri"}));
    EXPECT_EQ(s.rows[0].value, L"WDC WD10EZEX" + kDot + L"931,5 GB" + kDot + L"SATA HDD");
    EXPECT_EQ(s.rows[2].value, L"Array" + kDot + L"1 TB" + kDot + L"SSD");
    EXPECT_EQ(s.rows[3].value, L"50 GB boş / 100 GB");
    EXPECT_EQ(s.rows[4].value, L"0 B boş / 931,5 GB");
}

TEST(Inventory, EmptyValuesAreRemovedAndEmptySectionsStay) {
    InventoryInputs in;
    in.rows(InventoryQuery::ComputerSystem) = {{{L"Manufacturer", L""}, {L"Model", L""}}};
    in.rows(InventoryQuery::BaseBoard) = {{}};
    in.rows(InventoryQuery::OperatingSystem) = {{{L"OSArchitecture", L"64-bit"}}};
    const HardwareInventory inv = BuildHardwareInventoryFrom(in);
    EXPECT_EQ(Titles(inv), (std::vector<std::wstring>{L"Sistem", L"İşlemci", L"Bellek", L"Depolama",
                                                      L"İşletim sistemi"}));
    for (const auto& s : inv.sections) {
        for (const auto& r : s.rows) EXPECT_FALSE(r.value.empty()) << r.label;
    }
    EXPECT_TRUE(inv.sections[0].rows.empty());
    EXPECT_EQ(Labels(inv.sections[4]), (std::vector<std::wstring>{L"Mimari"}));
    EXPECT_EQ(inv.systemName, L"");
}

TEST(Inventory, HugeMemoryTypeCodeIsNoType) {
    // A type code far outside any integer is no type, not undefined behaviour.
    InventoryInputs in;
    in.rows(InventoryQuery::PhysicalMemory) = {{{L"Capacity", L"1024"}, {L"SMBIOSMemoryType", L"1e300"}}};
    EXPECT_EQ(Labels(*Find(BuildHardwareInventoryFrom(in), L"Bellek")),
              (std::vector<std::wstring>{L"Toplam", L"Modül 1"}));
}

TEST(WmiRow, AbsentAndEmptyPropertiesGiveEmptyTextAndZero) {
    const WmiRow row{{L"Name", L"Intel"}, {L"Blank", L""}};
    EXPECT_EQ(RowText(row, L"Missing"), L"");
    EXPECT_EQ(RowNumber(row, L"Missing"), 0.0);
    EXPECT_EQ(RowNumber(row, L"Blank"), 0.0);
    EXPECT_EQ(RowText(row, L"name"), L"");  // property names are matched exactly
}

TEST(WmiRow, NumbersParseTheLeadingDecimalText) {
    const WmiRow row{{L"Capacity", L"17179869184"}, {L"Speed", L"3600 MHz"}, {L"Frac", L"2.5"},
                     {L"Word", L"Unknown"},         {L"Nan", L"nan"},        {L"Inf", L"-inf"},
                     {L"Neg", L"-12"}};
    const std::pair<const wchar_t*, double> cases[] = {{L"Capacity", 17179869184.0}, {L"Speed", 3600.0},
                                                       {L"Frac", 2.5}, {L"Word", 0.0}, {L"Neg", -12.0},
                                                       {L"Nan", 0.0}, {L"Inf", 0.0}};  // never NaN or infinity
    for (auto [name, want] : cases) EXPECT_EQ(RowNumber(row, name), want) << name;
}
