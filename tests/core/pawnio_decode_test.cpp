#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

#include "providers/pawnio_decode.h"

using namespace kalorix;

namespace {

// The vendor string as CPUID leaf 0 spreads it over EBX, EDX, ECX.
CpuIdWords Words(const char (&vendor)[13], uint32_t leaf1Eax) {
    auto word = [&](int at) {
        return uint32_t(uint8_t(vendor[at])) | uint32_t(uint8_t(vendor[at + 1])) << 8 |
               uint32_t(uint8_t(vendor[at + 2])) << 16 | uint32_t(uint8_t(vendor[at + 3])) << 24;
    };
    return {word(0), word(4), word(8), leaf1Eax};
}

// Leaf 1 EAX from display family/model the way the processor encodes them.
uint32_t Leaf1(uint32_t family, uint32_t model) {
    uint32_t baseFamily = family >= 15 ? 15 : family;
    uint32_t extFamily = family >= 15 ? family - 15 : 0;
    return (extFamily << 20) | ((model >> 4) << 16) | (baseFamily << 8) | ((model & 0xF) << 4);
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
    int pinned = -1;
    int pinDepth = 0;
    int unpins = 0;
    std::vector<uint32_t> smnReads;
    uint32_t throwOnMsr = 0;

    static int Bit(uint64_t mask) {
        for (int b = 0; b < 64; ++b)
            if (mask >> b & 1) return b;
        return -1;
    }
    bool pin(const CoreAffinity& a) override {
        EXPECT_EQ(pinDepth, 0) << "pinned twice without restoring";
        const int bit = Bit(a.mask);
        if (refusePin[bit]) return false;
        pinned = bit;
        ++pinDepth;
        return true;
    }
    void unpin() override {
        --pinDepth;
        ++unpins;
        pinned = -1;
    }
    std::optional<uint64_t> readMsr(uint32_t index) override {
        EXPECT_GE(pinned, 0) << "MSR read on an unpinned thread";
        if (throwOnMsr == index) throw std::runtime_error("driver gone");
        auto core = msr.find(pinned);
        if (core == msr.end()) return std::nullopt;
        auto it = core->second.find(index);
        if (it == core->second.end()) return std::nullopt;
        return it->second;
    }
    std::optional<uint32_t> readSmn(uint32_t address) override {
        EXPECT_EQ(pinDepth, 0) << "the AMD path keeps the thread's affinity";
        smnReads.push_back(address);
        auto it = smn.find(address);
        if (it == smn.end()) return std::nullopt;
        return it->second;
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

const SensorReading* Find(const SensorFrame& f, const std::wstring& id) {
    for (const auto& r : f.readings)
        if (r.id == id) return &r;
    return nullptr;
}

}  // namespace

TEST(PawnIoCpuId, VendorFamilyAndModel) {
    // Intel Alder Lake: family 6, model 0x97 (extended model used for family 6).
    CpuIdentity intel = DecodeCpuId(Words("GenuineIntel", 0x00090672));
    EXPECT_EQ(intel.vendor, "GenuineIntel");
    EXPECT_EQ(intel.family, 6u);
    EXPECT_EQ(intel.model, 0x97u);
    // Base family 15 without extended family: family 15, extended model still used.
    CpuIdentity p4 = DecodeCpuId(Words("GenuineIntel", 0x00020F32));
    EXPECT_EQ(p4.family, 15u);
    EXPECT_EQ(p4.model, 0x23u);
    // Zen 3 Vermeer: 0x00A20F10 -> family 0x19, model 0x21.
    CpuIdentity zen3 = DecodeCpuId(Words("AuthenticAMD", 0x00A20F10));
    EXPECT_EQ(zen3.family, 0x19u);
    EXPECT_EQ(zen3.model, 0x21u);
    // Base family other than 6/15 ignores the extended fields.
    CpuIdentity old = DecodeCpuId(Words("AuthenticAMD", (0xABu << 20) | (0xFu << 16) | (5u << 8) | (3u << 4)));
    EXPECT_EQ(old.family, 5u);
    EXPECT_EQ(old.model, 3u);
}

TEST(PawnIoCpuId, SupportedProcessors) {
    auto path = [](const char (&v)[13], uint32_t fam) { return SelectPawnIoPath(DecodeCpuId(Words(v, Leaf1(fam, 1)))); };
    EXPECT_EQ(path("GenuineIntel", 6), PawnIoPath::Intel);
    EXPECT_EQ(path("GenuineIntel", 15), PawnIoPath::Intel);  // any family
    EXPECT_EQ(path("GenuineIntel", 19), PawnIoPath::Intel);
    EXPECT_EQ(path("AuthenticAMD", 0x16), std::nullopt);
    EXPECT_EQ(path("AuthenticAMD", 0x17), PawnIoPath::Amd);
    EXPECT_EQ(path("AuthenticAMD", 0x1A), PawnIoPath::Amd);
    EXPECT_EQ(path("AuthenticAMD", 0x1B), std::nullopt);
    EXPECT_EQ(path("HygonGenuine", 0x18), std::nullopt);
    EXPECT_EQ(path("genuineintel", 6), std::nullopt);
}

TEST(PawnIoAmd, CcdBaseByFamilyAndModel) {
    // Family 19h switches layout by model range (edges on both sides); 1Ah always the new one.
    const std::pair<uint32_t, uint32_t> zen4[] = {{0x19, 0x10}, {0x19, 0x1F}, {0x19, 0x60}, {0x19, 0x7F},
                                                  {0x19, 0xA0}, {0x19, 0xAF}, {0x1A, 0x00}, {0x1A, 0x44}};
    const std::pair<uint32_t, uint32_t> zen[] = {{0x17, 0x71}, {0x17, 0x10}, {0x19, 0x0F}, {0x19, 0x20},
                                                 {0x19, 0x5F}, {0x19, 0x80}, {0x19, 0x9F}, {0x19, 0xB0}};
    for (auto [family, model] : zen4) EXPECT_EQ(AmdCcdBase(family, model), kSmnCcdBaseZen4) << family << "/" << model;
    for (auto [family, model] : zen) EXPECT_EQ(AmdCcdBase(family, model), kSmnCcdBaseZen) << family << "/" << model;
}

TEST(PawnIoAmd, TctlOffsetByName) {
    EXPECT_EQ(AmdTctlOffset(L"AMD Ryzen 7 1800X Eight-Core Processor"), 20);
    EXPECT_EQ(AmdTctlOffset(L"AMD Ryzen 7 2700X Eight-Core Processor"), 10);
    EXPECT_EQ(AmdTctlOffset(L"AMD Ryzen Threadripper 1950X 16-Core Processor"), 27);
    EXPECT_EQ(AmdTctlOffset(L"AMD Ryzen Threadripper 2990WX 32-Core Processor"), 27);
    EXPECT_EQ(AmdTctlOffset(L"AMD Ryzen 5 3600 6-Core Processor"), 0);
    EXPECT_EQ(AmdTctlOffset(L"AMD Ryzen 7 1700 Eight-Core Processor"), 0);  // non-X
    EXPECT_EQ(AmdTctlOffset(L"amd ryzen 7 1800x"), 0);                      // case-sensitive
    // Both rows match: the later one wins.
    EXPECT_EQ(AmdTctlOffset(L"Ryzen 7 2700X / Threadripper 1900X"), 27);
    EXPECT_EQ(AmdTctlOffset(L"Threadripper 1900X Ryzen 7 2700X"), 27);
}

TEST(PawnIoAmd, TctlDecoding) {
    EXPECT_DOUBLE_EQ(*DecodeTctl(300u << 21), 37.5);
    EXPECT_DOUBLE_EQ(*DecodeTctl(300u << 21 | 1u << 19), -11.5);  // extended range, still accepted
    EXPECT_FALSE(DecodeTctl(232u << 21 | 1u << 19));              // exactly -20
    EXPECT_FALSE(DecodeTctl(1200u << 21));                        // exactly 150
    EXPECT_DOUBLE_EQ(*DecodeTctl(1199u << 21), 149.875);
    EXPECT_DOUBLE_EQ(*DecodeTctl(233u << 21 | 1u << 19), -19.875);
    EXPECT_DOUBLE_EQ(*DecodeTctl(0), 0.0);
    EXPECT_FALSE(DecodeTctl(0xFFFFFFFFu));
    // Bits below 19 and bit 20 do not matter.
    EXPECT_DOUBLE_EQ(*DecodeTctl(300u << 21 | 1u << 20 | 0x7FFFF), 37.5);
}

TEST(PawnIoAmd, CcdDecoding) {
    EXPECT_FALSE(DecodeCcdTemperature(0x988));  // 392/8 - 49 = 0.0, rejected
    EXPECT_DOUBLE_EQ(*DecodeCcdTemperature(0x990), 1.0);
    EXPECT_FALSE(DecodeCcdTemperature(0x190));  // valid bit clear
    EXPECT_FALSE(DecodeCcdTemperature(0x800 | 0x7FF));          // 206.875 °C
    EXPECT_DOUBLE_EQ(*DecodeCcdTemperature(0x800 | 1591), 149.875);
    EXPECT_FALSE(DecodeCcdTemperature(0x800 | 1592));           // exactly 150
    EXPECT_DOUBLE_EQ(*DecodeCcdTemperature(0xFFFFF990u), 1.0);  // bits above 11 ignored
}

TEST(PawnIoTjMax, PlausibleRangeOnly) {
    EXPECT_FALSE(DecodeTjMax(69ull << 16));
    EXPECT_EQ(DecodeTjMax(70ull << 16), 70);
    EXPECT_EQ(DecodeTjMax(130ull << 16), 130);
    EXPECT_FALSE(DecodeTjMax(131ull << 16));
    EXPECT_EQ(DecodeTjMax(100ull << 16 | 0xFF000000ull | 0xFFFF), 100);  // other fields ignored
}

TEST(PawnIoLibraryPath, InstallLocationThenProgramFiles) {
    EXPECT_EQ(ComposePawnIoLibraryPath(L"C:\\Tools\\PawnIO", L"C:\\Program Files"),
              L"C:\\Tools\\PawnIO\\PawnIOLib.dll");
    EXPECT_EQ(ComposePawnIoLibraryPath(L"  C:\\Tools\\PawnIO\\ ", std::nullopt), L"C:\\Tools\\PawnIO\\PawnIOLib.dll");
    EXPECT_EQ(ComposePawnIoLibraryPath(L"   ", L"C:\\Program Files"), L"C:\\Program Files\\PawnIO\\PawnIOLib.dll");
    EXPECT_EQ(ComposePawnIoLibraryPath(std::nullopt, L"D:\\PF"), L"D:\\PF\\PawnIO\\PawnIOLib.dll");
    EXPECT_EQ(ComposePawnIoLibraryPath(std::nullopt, std::nullopt), L"");
    EXPECT_EQ(ComposePawnIoLibraryPath(L"", L""), L"");
    // Only the space character is a blank.
    EXPECT_EQ(ComposePawnIoLibraryPath(L"\tX", std::nullopt), L"\tX\\PawnIOLib.dll");
}

TEST(PawnIoCores, NamingPlainAndHybrid) {
    auto plain = Cores({0, 0, 0});
    ASSERT_EQ(plain.size(), 3u);
    EXPECT_EQ(plain[0].name, L"Çekirdek #1");
    EXPECT_EQ(plain[2].name, L"Çekirdek #3");

    auto hybrid = Cores({1, 0, 1, 0, 0});
    EXPECT_EQ(hybrid[0].name, L"P-çekirdek #1");
    EXPECT_EQ(hybrid[1].name, L"E-çekirdek #1");
    EXPECT_EQ(hybrid[2].name, L"P-çekirdek #2");
    EXPECT_EQ(hybrid[3].name, L"E-çekirdek #2");
    EXPECT_EQ(hybrid[4].name, L"E-çekirdek #3");

    // Three classes: only the highest is "P"; the others are counted together.
    auto three = Cores({2, 1, 0});
    EXPECT_EQ(three[0].name, L"P-çekirdek #1");
    EXPECT_EQ(three[1].name, L"E-çekirdek #1");
    EXPECT_EQ(three[2].name, L"E-çekirdek #2");
}

TEST(PawnIoCores, RecordsToAffinity) {
    auto cores = BuildCoreList({{0b1100, 0, 0}, {0, 0, 0}, {0x8000000000000000ull, 1, 0}});
    ASSERT_EQ(cores.size(), 2u);  // zero mask skipped
    EXPECT_EQ(cores[0].affinity.mask, 0b0100u);
    EXPECT_EQ(cores[0].affinity.group, 0);
    EXPECT_EQ(cores[0].tjMax, 100);
    EXPECT_EQ(cores[1].affinity.mask, 0x8000000000000000ull);
    EXPECT_EQ(cores[1].affinity.group, 1);
    EXPECT_EQ(cores[1].name, L"Çekirdek #2");  // numbered by position in the list
}

TEST(PawnIoIntel, ProbeReadsTjMaxAndNeedsOneValidCore) {
    FakeRegisters regs;
    auto cores = Cores({0, 0, 0, 0});
    regs.msr[0] = {{kMsrTemperatureTarget, 69ull << 16}, {kMsrThermStatus, Status(10, false)}};
    regs.msr[2] = {{kMsrTemperatureTarget, 70ull << 16}, {kMsrThermStatus, Status(10, false)}};
    regs.msr[4] = {{kMsrTemperatureTarget, 130ull << 16}};
    regs.msr[6] = {{kMsrTemperatureTarget, 131ull << 16}, {kMsrThermStatus, Status(10, false)}};
    EXPECT_FALSE(ProbeIntelCores(cores, regs));  // no valid status anywhere
    EXPECT_EQ(cores[0].tjMax, 100);
    EXPECT_EQ(cores[1].tjMax, 70);
    EXPECT_EQ(cores[2].tjMax, 130);
    EXPECT_EQ(cores[3].tjMax, 100);
    EXPECT_EQ(regs.pinDepth, 0);
    EXPECT_EQ(regs.unpins, 4);

    regs.msr[6][kMsrThermStatus] = Status(10);
    regs.refusePin[0] = true;
    EXPECT_TRUE(ProbeIntelCores(cores, regs));
    EXPECT_EQ(regs.unpins, 7);  // the refused core is not "restored"

    std::vector<CoreInfo> none;
    EXPECT_FALSE(ProbeIntelCores(none, regs));
}

TEST(PawnIoIntel, PollWithPackage) {
    FakeRegisters regs;
    auto cores = Cores({1, 1, 0});
    cores[0].tjMax = 100;
    cores[1].tjMax = 95;
    cores[2].tjMax = 90;
    regs.msr[0] = {{kMsrThermStatus, Status(40)}, {kMsrPackageThermStatus, Status(45, true, false, true)}};
    regs.msr[2] = {{kMsrThermStatus, Status(20, true, true)}};  // 75 °C, hottest, throttling
    regs.msr[4] = {{kMsrThermStatus, Status(15)}};              // 75 °C again: equal changes nothing
    SensorFrame f;
    PollIntelCores(cores, L"Intel Core i7", regs, f);
    ASSERT_EQ(f.readings.size(), 5u);
    EXPECT_EQ(f.readings[0].id, L"pawnio/temp/core0");
    EXPECT_EQ(f.readings[0].label, L"P-çekirdek #1 sıcaklık");
    EXPECT_EQ(f.readings[0].device, L"Intel Core i7");
    EXPECT_EQ(f.readings[0].kind, SensorKind::Temperature);
    EXPECT_DOUBLE_EQ(f.readings[0].value, 60);
    EXPECT_EQ(f.readings[1].id, L"pawnio/temp/core1");
    EXPECT_DOUBLE_EQ(f.readings[1].value, 75);
    EXPECT_EQ(f.readings[2].id, L"pawnio/temp/core2");
    EXPECT_EQ(f.readings[2].label, L"E-çekirdek #1 sıcaklık");
    EXPECT_DOUBLE_EQ(f.readings[2].value, 75);
    EXPECT_EQ(f.readings[3].id, L"pawnio/temp/package");
    EXPECT_EQ(f.readings[3].label, L"Paket sıcaklığı");
    EXPECT_DOUBLE_EQ(f.readings[3].value, 55);  // core 0's TjMax minus the package readout
    EXPECT_EQ(f.readings[4].id, L"pawnio/temp/hottest");
    EXPECT_EQ(f.readings[4].label, L"En sıcak çekirdek");
    EXPECT_DOUBLE_EQ(f.readings[4].value, 75);
    // The package value is the headline even though a core is hotter.
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 55);
    EXPECT_EQ(f.cpuTempSource, L"PawnIO");
    EXPECT_TRUE(f.thermalThrottle);  // raised by core 1 after the package said no
    EXPECT_TRUE(f.thermalThrottleKnown);
    EXPECT_TRUE(f.powerLimit);
    EXPECT_TRUE(f.powerLimitKnown);
    EXPECT_DOUBLE_EQ(*f.tjMax, 100);
    EXPECT_EQ(regs.pinDepth, 0);
    EXPECT_EQ(regs.unpins, 3);
}

TEST(PawnIoIntel, PackageInvalidOrUnreadable) {
    auto cores = Cores({0, 0});
    FakeRegisters regs;
    regs.msr[0] = {{kMsrThermStatus, Status(50)}, {kMsrPackageThermStatus, Status(10, false, true)}};
    regs.msr[2] = {{kMsrThermStatus, Status(30)}};
    SensorFrame f;
    PollIntelCores(cores, L"cpu", regs, f);
    EXPECT_EQ(Find(f, L"pawnio/temp/package"), nullptr);
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 70);  // hottest core without a package value
    EXPECT_TRUE(f.thermalThrottle);    // flags are read even without a valid temperature
    EXPECT_FALSE(f.powerLimit);
    EXPECT_TRUE(f.powerLimitKnown);

    // Package register unreadable: flags stay unknown, TjMax is still set.
    regs.msr[0].erase(kMsrPackageThermStatus);
    SensorFrame g;
    PollIntelCores(cores, L"cpu", regs, g);
    EXPECT_FALSE(g.thermalThrottleKnown);
    EXPECT_FALSE(g.powerLimitKnown);
    EXPECT_DOUBLE_EQ(*g.tjMax, 100);
}

TEST(PawnIoIntel, CoreZeroInvalidSkipsPackageAndTjMax) {
    auto cores = Cores({0, 0});
    FakeRegisters regs;
    regs.msr[0] = {{kMsrThermStatus, Status(10, false, true)}, {kMsrPackageThermStatus, Status(10)}};
    regs.msr[2] = {{kMsrThermStatus, Status(30)}};
    SensorFrame f;
    PollIntelCores(cores, L"cpu", regs, f);
    ASSERT_EQ(f.readings.size(), 2u);
    EXPECT_EQ(f.readings[0].id, L"pawnio/temp/core1");
    EXPECT_EQ(f.readings[1].id, L"pawnio/temp/hottest");
    EXPECT_FALSE(f.tjMax);
    EXPECT_FALSE(f.thermalThrottleKnown);  // an invalid core's throttle bit is not used
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 70);

    // Core 0 cannot be pinned: same outcome, no package read.
    regs.msr[0][kMsrThermStatus] = Status(10);
    regs.refusePin[0] = true;
    SensorFrame g;
    PollIntelCores(cores, L"cpu", regs, g);
    EXPECT_EQ(Find(g, L"pawnio/temp/core0"), nullptr);
    EXPECT_EQ(Find(g, L"pawnio/temp/package"), nullptr);
    EXPECT_FALSE(g.tjMax);
}

TEST(PawnIoIntel, NoValidCoreLeavesHeadlineAlone) {
    auto cores = Cores({0, 0});
    FakeRegisters regs;
    regs.msr[0] = {{kMsrThermStatus, Status(10, false)}};
    SensorFrame f;
    f.cpuTemp = 61.0;
    f.cpuTempSource = L"MSI EC";
    PollIntelCores(cores, L"cpu", regs, f);
    EXPECT_TRUE(f.readings.empty());
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 61.0);
    EXPECT_EQ(f.cpuTempSource, L"MSI EC");

    // A valid reading overrides whatever an earlier provider set.
    regs.msr[2] = {{kMsrThermStatus, Status(48)}};
    PollIntelCores(cores, L"cpu", regs, f);
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 52.0);
    EXPECT_EQ(f.cpuTempSource, L"PawnIO");
}

TEST(PawnIoIntel, AffinityRestoredWhenAReadThrows) {
    auto cores = Cores({0, 0});
    FakeRegisters regs;
    regs.msr[0] = {{kMsrThermStatus, Status(10)}};
    regs.throwOnMsr = kMsrPackageThermStatus;
    SensorFrame f;
    EXPECT_THROW(PollIntelCores(cores, L"cpu", regs, f), std::runtime_error);
    EXPECT_EQ(regs.pinDepth, 0);
    EXPECT_EQ(f.readings.size(), 1u);  // what was appended before the throw stays
}

TEST(PawnIoAmd, PollWithOffsetAndCcds) {
    FakeRegisters regs;
    const uint32_t base = kSmnCcdBaseZen;
    regs.smn[kSmnTctl] = 600u << 21;  // 75 °C
    regs.smn[base + 0] = 0x800 | (8 * 49 + 8 * 60);  // 60 °C
    regs.smn[base + 4] = 0x988;                       // 0 °C: rejected
    regs.smn[base + 8] = 8 * 49 + 8 * 62;             // no valid bit
    regs.smn[base + 44] = 0x800 | (8 * 49 + 8 * 55 + 4);  // slot 11: 55.5 °C
    SensorFrame f;
    PollAmdSmn(base, AmdTctlOffset(L"AMD Ryzen 7 1800X Eight-Core Processor"), L"Ryzen", regs, f);
    ASSERT_EQ(f.readings.size(), 4u);
    EXPECT_EQ(f.readings[0].id, L"pawnio/temp/tctl");
    EXPECT_EQ(f.readings[0].label, L"Tctl");
    EXPECT_DOUBLE_EQ(f.readings[0].value, 75);
    EXPECT_EQ(f.readings[1].id, L"pawnio/temp/tdie");
    EXPECT_EQ(f.readings[1].label, L"Tdie");
    EXPECT_DOUBLE_EQ(f.readings[1].value, 55);
    EXPECT_EQ(f.readings[2].id, L"pawnio/temp/ccd0");
    EXPECT_EQ(f.readings[2].label, L"CCD1 sıcaklık");
    EXPECT_DOUBLE_EQ(f.readings[2].value, 60);
    EXPECT_EQ(f.readings[3].id, L"pawnio/temp/ccd11");
    EXPECT_EQ(f.readings[3].label, L"CCD12 sıcaklık");
    EXPECT_DOUBLE_EQ(f.readings[3].value, 55.5);
    EXPECT_EQ(f.readings[3].device, L"Ryzen");
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 55);
    EXPECT_EQ(f.cpuTempSource, L"PawnIO");
    EXPECT_FALSE(f.thermalThrottleKnown);
    EXPECT_FALSE(f.tjMax);
    // 13 reads: Tctl and the 12 CCD slots, four bytes apart.
    ASSERT_EQ(regs.smnReads.size(), 13u);
    EXPECT_EQ(regs.smnReads[12], base + 44);
}

TEST(PawnIoAmd, NoOffsetAndRejectedTctl) {
    FakeRegisters regs;
    regs.smn[kSmnTctl] = 300u << 21;
    SensorFrame f;
    PollAmdSmn(kSmnCcdBaseZen4, AmdTctlOffset(L"AMD Ryzen 5 3600 6-Core Processor"), L"R", regs, f);
    ASSERT_EQ(f.readings.size(), 1u);
    EXPECT_EQ(f.readings[0].label, L"Tctl/Tdie");
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 37.5);

    // Tctl out of range: CCDs are still read, the headline is left alone.
    regs.smn[kSmnTctl] = 1200u << 21;
    regs.smn[kSmnCcdBaseZen4 + 8] = 0x990;
    SensorFrame g;
    g.cpuTemp = 40;
    g.cpuTempSource = L"ACPI";
    PollAmdSmn(kSmnCcdBaseZen4, 0, L"R", regs, g);
    ASSERT_EQ(g.readings.size(), 1u);
    EXPECT_EQ(g.readings[0].id, L"pawnio/temp/ccd2");
    EXPECT_DOUBLE_EQ(*g.cpuTemp, 40);
    EXPECT_EQ(g.cpuTempSource, L"ACPI");

    regs.smn.clear();
    EXPECT_FALSE(ProbeAmdSmn(regs));
    regs.smn[kSmnTctl] = 0;
    EXPECT_TRUE(ProbeAmdSmn(regs));  // the value itself does not matter at start-up
}

TEST(PawnIoMisc, CpuDisplayName) {
    EXPECT_EQ(CpuDisplayName(L"  Intel(R) Core(TM) i7  "), L"Intel(R) Core(TM) i7");
    EXPECT_EQ(CpuDisplayName(L"   "), L"İşlemci");
    EXPECT_EQ(CpuDisplayName(L""), L"İşlemci");
}
