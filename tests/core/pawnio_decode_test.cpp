// Processor thermal registers behind the PawnIO driver: decoding and the reads of one poll.
#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <optional>
#include <string>
#include <stdexcept>

#include "providers/pawnio_decode.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;

namespace {

// The vendor string as CPUID leaf 0 spreads it over EBX, EDX, ECX.
CpuIdWords Words(const char* vendor, uint32_t leaf1Eax) {
    auto word = [&](int at) {
        return uint32_t(uint8_t(vendor[at])) | uint32_t(uint8_t(vendor[at + 1])) << 8 |
               uint32_t(uint8_t(vendor[at + 2])) << 16 | uint32_t(uint8_t(vendor[at + 3])) << 24;
    };
    return {word(0), word(4), word(8), leaf1Eax};
}

uint64_t Status(int readout, bool valid = true, bool throttle = false, bool powerLimit = false) {
    return (valid ? 1ull << 31 : 0) | (uint64_t(readout) << 16) | (throttle ? 1 : 0) | (powerLimit ? 1ull << 10 : 0);
}

// Registers per logical processor (by mask bit), recording pins and reads.
class FakeRegisters : public CpuRegisterAccess {
public:
    std::map<int, std::map<uint32_t, uint64_t>> msr;  // by logical processor bit
    std::map<uint32_t, uint32_t> smn;
    std::map<int, bool> refusePin;
    int pinned = -1, pinDepth = 0, unpins = 0;
    std::vector<uint32_t> smnReads;
    uint32_t throwOnMsr = 0;

    bool pin(const CoreAffinity& a) override {
        EXPECT_EQ(pinDepth, 0) << "pinned twice without restoring";
        const int bit = std::countr_zero(a.mask);
        if (refusePin[bit]) return false;
        pinned = bit, ++pinDepth;
        return true;
    }
    void unpin() override { --pinDepth, ++unpins, pinned = -1; }
    std::optional<uint64_t> readMsr(uint32_t index) override {
        EXPECT_GE(pinned, 0) << "MSR read on an unpinned thread";
        if (throwOnMsr == index) throw std::runtime_error("driver gone");
        auto it = msr[pinned].find(index);
        return it == msr[pinned].end() ? std::nullopt : std::optional<uint64_t>(it->second);
    }
    std::optional<uint32_t> readSmn(uint32_t address) override {
        EXPECT_EQ(pinDepth, 0) << "the AMD path keeps the thread's affinity";
        smnReads.push_back(address);
        auto it = smn.find(address);
        return it == smn.end() ? std::nullopt : std::optional<uint32_t>(it->second);
    }
};

std::vector<CoreInfo> Cores(std::initializer_list<uint8_t> classes) {
    std::vector<CoreRecord> records;
    int bit = 0;
    for (uint8_t c : classes) {
        records.push_back({uint64_t(3) << bit, 0, c});  // two threads per core
        bit += 2;
    }
    return BuildCoreList(records);
}

// The frame's readings, in order, as "id label = value".
std::vector<std::wstring> Readings(const SensorFrame& f) {
    std::vector<std::wstring> out;
    for (const SensorReading& r : f.readings) out.push_back(r.id + L" " + r.label + L" = " + std::to_wstring(r.value));
    return out;
}
using Texts = std::vector<std::wstring>;

}  // namespace


TEST(PawnIoCpuId, FamilyModelAndSupportedProcessors) {
    const auto Intel = PawnIoPath::Intel, Amd = PawnIoPath::Amd;
    const struct { const char* vendor; uint32_t eax, family, model; std::optional<PawnIoPath> path; } cases[] = {
        {"GenuineIntel", 0x00090672, 6, 0x97, Intel},   // Alder Lake: extended model used for family 6
        {"GenuineIntel", 0x00020F32, 15, 0x23, Intel},  // base family 15, no extended family
        {"AuthenticAMD", 0x00A20F10, 0x19, 0x21, Amd},  // Zen 3 Vermeer
        {"AuthenticAMD", 0xABF0530, 5, 3, std::nullopt},  // family 5: extended fields ignored
        {"AuthenticAMD", 0x00700F10, 0x16, 1, std::nullopt}, {"AuthenticAMD", 0x00800F10, 0x17, 1, Amd},
        {"AuthenticAMD", 0x00B00F10, 0x1A, 1, Amd},          {"AuthenticAMD", 0x00C00F10, 0x1B, 1, std::nullopt},
        {"HygonGenuine", 0x00900F10, 0x18, 1, std::nullopt}, {"genuineintel", 0x00090672, 6, 0x97, std::nullopt},
    };
    for (const auto& c : cases) {
        const CpuIdentity id = DecodeCpuId(Words(c.vendor, c.eax));
        EXPECT_EQ(std::pair(id.family, id.model), std::pair(c.family, c.model)) << std::hex << c.eax;
        EXPECT_EQ(SelectPawnIoPath(id), c.path) << c.vendor << std::hex << c.eax;
    }
}

TEST(PawnIoAmd, CcdBaseAndTctlOffset) {
    // Family 19h switches layout by model range (edges on both sides); 1Ah always the new one.
    const std::pair<uint32_t, uint32_t> zen4[] = {{0x19, 0x10}, {0x19, 0x1F}, {0x19, 0x60}, {0x19, 0x7F},
                                                  {0x19, 0xA0}, {0x19, 0xAF}, {0x1A, 0x00}};
    const std::pair<uint32_t, uint32_t> zen[] = {{0x17, 0x71}, {0x19, 0x0F}, {0x19, 0x20}, {0x19, 0x5F},
                                                 {0x19, 0x80}, {0x19, 0x9F}, {0x19, 0xB0}};
    for (auto [family, model] : zen4) EXPECT_EQ(AmdCcdBase(family, model), kSmnCcdBaseZen4) << family << "/" << model;
    for (auto [family, model] : zen) EXPECT_EQ(AmdCcdBase(family, model), kSmnCcdBaseZen) << family << "/" << model;
    const std::pair<const wchar_t*, int> offsets[] = {
        {L"AMD Ryzen 7 1800X Eight-Core Processor", 20},
        {L"AMD Ryzen 7 2700X Eight-Core Processor", 10},
        {L"AMD Ryzen Threadripper 2990WX 32-Core Processor", 27},
        {L"AMD Ryzen 7 1700 Eight-Core Processor", 0},  // non-X
        {L"amd ryzen 7 1800x", 0},                      // case-sensitive
        {L"Threadripper 1900X Ryzen 7 2700X", 27},    // both rows match: the later one wins
    };
    for (auto [name, offset] : offsets) EXPECT_EQ(AmdTctlOffset(name), offset) << name;
}

// Register decoders: raw value -> temperature or nothing, at the edges of the accepted ranges.
TEST(PawnIoDecode, TctlCcdAndTjMax) {
    // Tctl: extended range (bit 19) still accepted; exactly -20 and 150 rejected; bits below 19 and bit 20 ignored.
    const std::pair<uint32_t, std::optional<double>> tctl[] = {
        {300u << 21, 37.5}, {300u << 21 | 1u << 19, -11.5}, {232u << 21 | 1u << 19, std::nullopt},
        {1200u << 21, std::nullopt}, {1199u << 21, 149.875}, {233u << 21 | 1u << 19, -19.875}, {0, 0.0},
        {0xFFFFFFFFu, std::nullopt}, {300u << 21 | 1u << 20 | 0x7FFFF, 37.5}};
    for (auto [raw, want] : tctl) EXPECT_EQ(DecodeTctl(raw), want) << std::hex << raw;
    // CCD: 0x988 is 392/8 - 49 = 0.0 and rejected; valid bit 11 needed; 150 rejected; bits above 11 ignored.
    const std::pair<uint32_t, std::optional<double>> ccd[] = {
        {0x988, std::nullopt}, {0x990, 1.0}, {0x190, std::nullopt}, {0x800 | 0x7FF, std::nullopt},
        {0x800 | 1591, 149.875}, {0x800 | 1592, std::nullopt}, {0xFFFFF990u, 1.0}};
    for (auto [raw, want] : ccd) EXPECT_EQ(DecodeCcdTemperature(raw), want) << std::hex << raw;
    // TjMax: only 70..130, other fields of the register ignored.
    const std::pair<uint64_t, std::optional<int>> tj[] = {{69ull << 16, std::nullopt}, {70ull << 16, 70},
        {130ull << 16, 130}, {131ull << 16, std::nullopt}, {100ull << 16 | 0xFF000000ull | 0xFFFF, 100}};
    for (auto [raw, want] : tj) EXPECT_EQ(DecodeTjMax(raw), want) << std::hex << raw;
}

// The library: the install location, else under Program Files; a module that is still the placeholder is known.
TEST(PawnIoFiles, LibraryPathAndPlaceholderModules) {
    using Opt = std::optional<std::wstring>;
    const struct { Opt install, programFiles; const wchar_t* path; } cases[] = {
        {L"  C:\\Tools\\PawnIO\\ ", L"C:\\Program Files", L"C:\\Tools\\PawnIO\\PawnIOLib.dll"},
        {L"   ", L"C:\\Program Files", L"C:\\Program Files\\PawnIO\\PawnIOLib.dll"},
        {std::nullopt, L"D:\\PF", L"D:\\PF\\PawnIO\\PawnIOLib.dll"},
        {L"", L"", L""},
        {L"\tX", std::nullopt, L"\tX\\PawnIOLib.dll"},  // only the space character is a blank
    };
    for (const auto& c : cases) EXPECT_EQ(ComposePawnIoLibraryPath(c.install, c.programFiles), c.path);
    const std::string placeholder = "KALORIX PLACEHOLDER PAWNIO_INTELMSR - replaced\n" + std::string(100, '\0');
    const std::string real = "\x7f" + std::string("module KALORIX PLACEHOLDER ") + std::string(100, 'x');
    auto bytes = [](const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); };
    // An empty module is never handed over either; the marker counts only whole and at the start.
    EXPECT_TRUE(IsPlaceholderModule(bytes(placeholder), placeholder.size()) && IsPlaceholderModule(bytes(real), 0) &&
                IsPlaceholderModule(nullptr, 10));
    EXPECT_FALSE(IsPlaceholderModule(bytes(real), real.size()) || IsPlaceholderModule(bytes(placeholder), 10));
}

TEST(PawnIoCores, NamingAndAffinity) {
    const std::pair<std::vector<CoreInfo>, std::vector<std::wstring>> cases[] = {
        {Cores({0, 0, 0}), {L"Çekirdek #1", L"Çekirdek #2", L"Çekirdek #3"}},
        {Cores({1, 0, 1, 0, 0}),
         {L"P-çekirdek #1", L"E-çekirdek #1", L"P-çekirdek #2", L"E-çekirdek #2", L"E-çekirdek #3"}},
        // Three classes: only the highest is "P"; the others are counted together.
        {Cores({2, 1, 0}), {L"P-çekirdek #1", L"E-çekirdek #1", L"E-çekirdek #2"}},
    };
    for (const auto& [cores, names] : cases) {
        std::vector<std::wstring> got;
        for (const CoreInfo& c : cores) got.push_back(c.name);
        EXPECT_EQ(got, names);
    }

    // A zero mask is skipped; a core is pinned to its lowest bit; names follow the list's positions.
    auto cores = BuildCoreList({{0b1100, 0, 0}, {0, 0, 0}, {0x8000000000000000ull, 1, 0}});
    ASSERT_EQ(cores.size(), 2u);
    EXPECT_EQ(std::tuple(cores[0].affinity.mask, cores[1].affinity.group, cores[1].name),
              std::tuple(uint64_t{0b0100}, uint16_t{1}, std::wstring(L"Çekirdek #2")));
}

TEST(PawnIoIntel, ProbeReadsTjMaxAndNeedsOneValidCore) {
    FakeRegisters regs;
    auto cores = Cores({0, 0, 0});
    regs.msr[0] = {{kMsrTemperatureTarget, 131ull << 16}, {kMsrThermStatus, Status(10, false)}};
    regs.msr[2] = {{kMsrTemperatureTarget, 70ull << 16}};
    regs.msr[4] = {{kMsrThermStatus, Status(10, false)}};
    EXPECT_FALSE(ProbeIntelCores(cores, regs));  // no valid status anywhere
    EXPECT_EQ(std::pair(cores[0].tjMax, cores[1].tjMax), std::pair(100, 70));  // out of range: the default
    EXPECT_EQ(std::pair(regs.pinDepth, regs.unpins), std::pair(0, 3));
    regs.msr[4][kMsrThermStatus] = Status(10);
    regs.refusePin[0] = true;
    EXPECT_TRUE(ProbeIntelCores(cores, regs));
    EXPECT_EQ(regs.unpins, 5);  // the refused core is not "restored"
    std::vector<CoreInfo> none;
    EXPECT_FALSE(ProbeIntelCores(none, regs));
}

TEST(PawnIoIntel, PollWithPackage) {
    FakeRegisters regs;
    auto cores = Cores({1, 1, 0});
    cores[1].tjMax = 95;
    cores[2].tjMax = 90;
    regs.msr[0] = {{kMsrThermStatus, Status(40)}, {kMsrPackageThermStatus, Status(45, true, false, true)}};
    regs.msr[2] = {{kMsrThermStatus, Status(20, true, true)}};  // 75 °C, hottest, throttling
    regs.msr[4] = {{kMsrThermStatus, Status(15)}};              // 75 °C again: equal changes nothing
    SensorFrame f;
    PollIntelCores(cores, L"Intel Core i7", regs, f);
    EXPECT_EQ(Readings(f), (Texts{L"pawnio/temp/core0 P-çekirdek #1 sıcaklık = 60.000000",
                                  L"pawnio/temp/core1 P-çekirdek #2 sıcaklık = 75.000000",
                                  L"pawnio/temp/core2 E-çekirdek #1 sıcaklık = 75.000000",
                                  L"pawnio/temp/package Paket sıcaklığı = 55.000000",  // core 0's TjMax minus the readout
                                  L"pawnio/temp/hottest En sıcak çekirdek = 75.000000"}));
    // The package value is the headline even though a core is hotter; core 1 raises the throttle flag.
    EXPECT_EQ(std::tuple(*f.cpuTemp, f.cpuTempSource, *f.tjMax, regs.unpins), std::tuple(55.0, L"PawnIO", 100.0, 3));
    EXPECT_TRUE(f.thermalThrottle && f.powerLimit && f.powerLimitKnown);
}

// Invalid, unreadable or unpinnable registers: what is valid is still used, nothing else.
TEST(PawnIoIntel, InvalidOrUnreadableRegisters) {
    auto cores = Cores({0, 0});
    auto poll = [&](FakeRegisters& regs, SensorFrame f = {}) {
        PollIntelCores(cores, L"cpu", regs, f);
        return f;
    };
    FakeRegisters regs;  // package invalid: the hottest core is the headline; flags still read
    regs.msr[0] = {{kMsrThermStatus, Status(50)}, {kMsrPackageThermStatus, Status(10, false, true)}};
    regs.msr[2] = {{kMsrThermStatus, Status(30)}};
    SensorFrame f = poll(regs);
    EXPECT_TRUE(!Find(f, L"pawnio/temp/package") && *f.cpuTemp == 70 && f.thermalThrottle);
    regs.msr[0].erase(kMsrPackageThermStatus);  // unreadable: flags unknown, TjMax still set
    f = poll(regs);
    EXPECT_TRUE(!f.thermalThrottleKnown && !f.powerLimitKnown && *f.tjMax == 100);

    // Core 0 invalid or not pinnable: no package, no TjMax, its throttle bit unused.
    regs.msr[0] = {{kMsrThermStatus, Status(10, false, true)}, {kMsrPackageThermStatus, Status(10)}};
    f = poll(regs);
    EXPECT_EQ(Readings(f), (Texts{L"pawnio/temp/core1 Çekirdek #2 sıcaklık = 70.000000",
                                  L"pawnio/temp/hottest En sıcak çekirdek = 70.000000"}));
    EXPECT_FALSE(f.tjMax || f.thermalThrottleKnown);
    regs.msr[0][kMsrThermStatus] = Status(10), regs.refusePin[0] = true;
    EXPECT_FALSE(poll(regs).tjMax);

    // No valid core leaves an earlier provider's headline alone; a valid one replaces it.
    FakeRegisters none;
    SensorFrame msi;
    msi.cpuTemp = 61.0, msi.cpuTempSource = L"MSI EC";
    f = poll(none, msi);
    EXPECT_TRUE(f.readings.empty() && f.cpuTempSource == L"MSI EC");
    none.msr[2] = {{kMsrThermStatus, Status(48)}};
    EXPECT_EQ(poll(none, msi).cpuTempSource, L"PawnIO");
}

TEST(PawnIoIntel, AffinityRestoredWhenAReadThrows) {
    auto cores = Cores({0, 0});
    FakeRegisters regs;
    regs.msr[0] = {{kMsrThermStatus, Status(10)}};
    regs.throwOnMsr = kMsrPackageThermStatus;
    SensorFrame f;
    EXPECT_THROW(PollIntelCores(cores, L"cpu", regs, f), std::runtime_error);
    EXPECT_EQ(std::pair(regs.pinDepth, f.readings.size()), std::pair(0, size_t{1}));  // appended readings stay
}

TEST(PawnIoAmd, PollWithOffsetCcdsAndARejectedTctl) {
    FakeRegisters regs;
    const uint32_t base = kSmnCcdBaseZen;
    // Tctl 75 °C; CCD slots 60 °C, 0 °C (rejected) and, in slot 11, 55.5 °C.
    regs.smn = {{kSmnTctl, 600u << 21}, {base, 0x800 | (8 * 49 + 8 * 60)}, {base + 4, 0x988},
                {base + 44, 0x800 | (8 * 49 + 8 * 55 + 4)}};
    SensorFrame f;
    PollAmdSmn(base, AmdTctlOffset(L"AMD Ryzen 7 1800X Eight-Core Processor"), L"Ryzen", regs, f);
    EXPECT_EQ(Readings(f), (Texts{L"pawnio/temp/tctl Tctl = 75.000000", L"pawnio/temp/tdie Tdie = 55.000000",
                                  L"pawnio/temp/ccd0 CCD1 sıcaklık = 60.000000",
                                  L"pawnio/temp/ccd11 CCD12 sıcaklık = 55.500000"}));
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 55);
    EXPECT_FALSE(f.thermalThrottleKnown || f.tjMax);
    ASSERT_EQ(regs.smnReads.size(), 13u);  // Tctl and the 12 CCD slots, four bytes apart
    EXPECT_EQ(regs.smnReads[12], base + 44);

    SensorFrame g;  // no offset: one reading
    PollAmdSmn(kSmnCcdBaseZen4, 0, L"R", regs, g);
    EXPECT_EQ(Readings(g), Texts{L"pawnio/temp/tctl Tctl/Tdie = 75.000000"});

    // Tctl out of range: CCDs are still read, the headline is left alone.
    regs.smn = {{kSmnTctl, 1200u << 21}, {kSmnCcdBaseZen4 + 8, 0x990}};
    g = {};
    g.cpuTemp = 40, g.cpuTempSource = L"ACPI";
    PollAmdSmn(kSmnCcdBaseZen4, 0, L"R", regs, g);
    EXPECT_EQ(Readings(g), Texts{L"pawnio/temp/ccd2 CCD3 sıcaklık = 1.000000"});
    EXPECT_EQ(g.cpuTempSource, L"ACPI");
    EXPECT_TRUE(ProbeAmdSmn(regs));  // the value itself does not matter at start-up
    regs.smn.clear();
    EXPECT_FALSE(ProbeAmdSmn(regs));
}
