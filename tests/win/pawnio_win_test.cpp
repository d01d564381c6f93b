// The PawnIO provider's real loading, resource and execute path against the
// stand-in PawnIOLib.dll of tests/win/helpers/fake_pawnio.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "providers/pawnio_provider_win.h"

using namespace kalorix;

namespace {

struct FakeStats {
    int32_t opens;
    int32_t closes;
    int32_t loads;
    int32_t loadedModule;
    uint64_t loadedSize;
    int32_t executes;
    int32_t unpinnedMsrReads;
    int32_t lastHandleClosedOk;
};

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path);
    return s.substr(0, s.find_last_of(L'\\'));
}

std::wstring FakeLibraryPath() { return ExeFolder() + L"\\PawnIOLib.dll"; }

CpuIdWords CpuId(const char (&vendor)[13], uint32_t leaf1Eax) {
    auto word = [&](int at) {
        uint32_t w = 0;
        for (int i = 3; i >= 0; --i) w = w << 8 | uint8_t(vendor[at + i]);
        return w;
    };
    return {word(0), word(4), word(8), leaf1Eax};
}
const CpuIdWords kIntel = CpuId("GenuineIntel", 0x00090672);        // family 6, model 0x97
const CpuIdWords kZen1 = CpuId("AuthenticAMD", 0x00800F11);         // family 0x17, model 0x01
const CpuIdWords kZen5 = CpuId("AuthenticAMD", 0x00B40F40);         // family 0x1A, model 0x44
const CpuIdWords kFamily16 = CpuId("AuthenticAMD", 0x00700F01);     // family 0x16
const CpuIdWords kFamily1B = CpuId("AuthenticAMD", 0x00C00F00);     // family 0x1B
const CpuIdWords kOtherVendor = CpuId("CentaurHauls", 0x000006F2);

// Sets the stand-in's scenario for one test and restores the variable after.
class Scenario {
public:
    explicit Scenario(const wchar_t* name) { SetEnvironmentVariableW(L"KALORIX_FAKE_PAWNIO", name); }
    ~Scenario() { SetEnvironmentVariableW(L"KALORIX_FAKE_PAWNIO", nullptr); }
};

// Holds a reference to the stand-in so its counters survive the provider.
class FakeLibrary {
public:
    FakeLibrary() : module_(LoadLibraryW(FakeLibraryPath().c_str())) {
        if (!module_) return;
        stats_ = reinterpret_cast<const FakeStats* (WINAPI*)()>(
            reinterpret_cast<void*>(GetProcAddress(module_, "fake_pawnio_stats")));
        auto reset = reinterpret_cast<void(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(module_, "fake_pawnio_reset")));
        if (reset) reset();
    }
    ~FakeLibrary() {
        if (module_) FreeLibrary(module_);
    }
    bool ok() const { return module_ && stats_; }
    const FakeStats& stats() const { return *stats_(); }
    HMODULE module() const { return module_; }

private:
    HMODULE module_;
    const FakeStats* (WINAPI* stats_)() = nullptr;
};

PawnIoPlatform FakePlatform(const CpuIdWords& cpu, const wchar_t* name) {
    PawnIoPlatform p;
    p.libraryPath = [] { return FakeLibraryPath(); };
    p.cpuId = [cpu] { return cpu; };
    p.processorName = [n = std::wstring(name)] { return n; };
    p.coreTopology = ReadCoreTopology;
    return p;
}

GROUP_AFFINITY CurrentAffinity() {
    GROUP_AFFINITY a{};
    GetThreadGroupAffinity(GetCurrentThread(), &a);
    return a;
}

void ExpectReading(const SensorReading& r, const wchar_t* id, const wchar_t* device, const wchar_t* label, double value) {
    EXPECT_EQ(r.id, id);
    EXPECT_EQ(r.device, device);
    EXPECT_EQ(r.label, label);
    EXPECT_EQ(r.kind, SensorKind::Temperature);
    EXPECT_DOUBLE_EQ(r.value, value);
}

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

}  // namespace

TEST(PawnIoWin, IntelHybridThroughTheDriver) {
    DWORD_PTR processMask = 0, systemMask = 0;
    GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask);
    if ((processMask & 3) != 3) GTEST_SKIP() << "needs logical processors 0 and 1";
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());

    PawnIoPlatform platform = FakePlatform(kIntel, L"  Intel(R) Core(TM) i7-12700H  ");
    platform.coreTopology = [] { return std::vector<CoreRecord>{{0x1, 0, 1}, {0x2, 0, 0}}; };
    const GROUP_AFFINITY before = CurrentAffinity();
    auto provider = CreatePawnIoProvider(platform);
    ASSERT_NE(provider, nullptr);
    EXPECT_STREQ(provider->name(), L"PawnIO");
    EXPECT_EQ(fake.stats().opens, 1);
    EXPECT_EQ(fake.stats().loadedModule, 1);
    EXPECT_EQ(fake.stats().loadedSize, 4068u);  // the whole embedded module

    SensorFrame frame;
    provider->poll(frame);
    const GROUP_AFFINITY after = CurrentAffinity();
    EXPECT_EQ(after.Mask, before.Mask);
    EXPECT_EQ(after.Group, before.Group);
    EXPECT_EQ(fake.stats().unpinnedMsrReads, 0);

    const wchar_t* cpu = L"Intel(R) Core(TM) i7-12700H";
    ASSERT_EQ(frame.readings.size(), 4u);
    ExpectReading(frame.readings[0], L"pawnio/temp/core0", cpu, L"P-çekirdek #1 sıcaklık", 65);  // TjMax 95
    ExpectReading(frame.readings[1], L"pawnio/temp/core1", cpu, L"E-çekirdek #1 sıcaklık", 60);  // 131 → 100
    ExpectReading(frame.readings[2], L"pawnio/temp/package", cpu, L"Paket sıcaklığı", 60);
    ExpectReading(frame.readings[3], L"pawnio/temp/hottest", cpu, L"En sıcak çekirdek", 65);
    ASSERT_TRUE(frame.cpuTemp);
    EXPECT_DOUBLE_EQ(*frame.cpuTemp, 60);
    EXPECT_EQ(frame.cpuTempSource, L"PawnIO");
    EXPECT_TRUE(frame.thermalThrottle);
    EXPECT_TRUE(frame.thermalThrottleKnown);
    EXPECT_TRUE(frame.powerLimit);
    EXPECT_TRUE(frame.powerLimitKnown);
    ASSERT_TRUE(frame.tjMax);
    EXPECT_DOUBLE_EQ(*frame.tjMax, 95);
    // Probe: 2 cores x 2 reads; poll: 2 cores + package.
    EXPECT_EQ(fake.stats().executes, 7);

    provider.reset();
    EXPECT_EQ(fake.stats().closes, 1);
    EXPECT_EQ(fake.stats().lastHandleClosedOk, 1);
}

TEST(PawnIoWin, IntelWithThisMachinesTopology) {
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    const auto records = ReadCoreTopology();
    ASSERT_FALSE(records.empty());
    auto provider = CreatePawnIoProvider(FakePlatform(kIntel, L"Intel"));
    ASSERT_NE(provider, nullptr);
    SensorFrame frame;
    provider->poll(frame);
    ASSERT_EQ(frame.readings.size(), records.size() + 2);
    for (size_t i = 0; i < records.size(); ++i) EXPECT_EQ(frame.readings[i].id, L"pawnio/temp/core" + std::to_wstring(i));
    EXPECT_EQ(frame.readings[records.size()].id, L"pawnio/temp/package");
    EXPECT_EQ(frame.readings.back().id, L"pawnio/temp/hottest");
    if (UnderWine()) EXPECT_EQ(frame.readings[0].label, L"Çekirdek #1 sıcaklık");  // no efficiency classes
    EXPECT_EQ(fake.stats().unpinnedMsrReads, 0);
}

TEST(PawnIoWin, AmdRegisterLayoutsAndOffset) {
    Scenario scenario(L"amd");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    {
        const GROUP_AFFINITY before = CurrentAffinity();
        auto provider = CreatePawnIoProvider(FakePlatform(kZen1, L"AMD Ryzen 7 1800X Eight-Core Processor"));
        ASSERT_NE(provider, nullptr);
        EXPECT_EQ(fake.stats().loadedModule, 2);
        EXPECT_EQ(fake.stats().loadedSize, 9300u);
        SensorFrame frame;
        provider->poll(frame);
        EXPECT_EQ(CurrentAffinity().Mask, before.Mask);
        const wchar_t* cpu = L"AMD Ryzen 7 1800X Eight-Core Processor";
        ASSERT_EQ(frame.readings.size(), 4u);
        ExpectReading(frame.readings[0], L"pawnio/temp/tctl", cpu, L"Tctl", 75);
        ExpectReading(frame.readings[1], L"pawnio/temp/tdie", cpu, L"Tdie", 55);
        ExpectReading(frame.readings[2], L"pawnio/temp/ccd0", cpu, L"CCD1 sıcaklık", 60);
        ExpectReading(frame.readings[3], L"pawnio/temp/ccd1", cpu, L"CCD2 sıcaklık", 58.5);
        ASSERT_TRUE(frame.cpuTemp);
        EXPECT_DOUBLE_EQ(*frame.cpuTemp, 55);
        EXPECT_EQ(frame.cpuTempSource, L"PawnIO");
        EXPECT_FALSE(frame.thermalThrottleKnown);
        EXPECT_FALSE(frame.tjMax);
        EXPECT_EQ(fake.stats().executes, 1 + 13);
    }
    EXPECT_EQ(fake.stats().closes, 1);
    {
        // Family 1Ah reads the other CCD block; no name falls back to "İşlemci".
        auto provider = CreatePawnIoProvider(FakePlatform(kZen5, L"   "));
        ASSERT_NE(provider, nullptr);
        SensorFrame frame;
        provider->poll(frame);
        ASSERT_EQ(frame.readings.size(), 2u);
        ExpectReading(frame.readings[0], L"pawnio/temp/tctl", L"İşlemci", L"Tctl/Tdie", 75);
        ExpectReading(frame.readings[1], L"pawnio/temp/ccd0", L"İşlemci", L"CCD1 sıcaklık", 45);
        EXPECT_DOUBLE_EQ(*frame.cpuTemp, 75);
    }
}

TEST(PawnIoWin, DriverRefusalsGiveNoProviderAndCloseTheDriver) {
    struct Case {
        const wchar_t* scenario;
        CpuIdWords cpu;
        int opens, loads, closes;
    };
    const Case cases[] = {
        {L"refuse-load", kIntel, 1, 1, 1},
        {L"refuse-load", kZen1, 1, 1, 1},
        {L"no-open", kIntel, 1, 0, 0},
        {L"null-handle", kIntel, 1, 0, 0},
        {L"intel-invalid", kIntel, 1, 1, 1},
        {L"amd-noread", kZen1, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.scenario, c.scenario + wcslen(c.scenario)));
        Scenario scenario(c.scenario);
        FakeLibrary fake;
        ASSERT_TRUE(fake.ok());
        EXPECT_EQ(CreatePawnIoProvider(FakePlatform(c.cpu, L"cpu")), nullptr);
        EXPECT_EQ(fake.stats().opens, c.opens);
        EXPECT_EQ(fake.stats().loads, c.loads);
        EXPECT_EQ(fake.stats().closes, c.closes);
    }
    // Without a reference of our own, a refused start leaves the library unloaded.
    Scenario scenario(L"refuse-load");
    ASSERT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
    EXPECT_EQ(CreatePawnIoProvider(FakePlatform(kIntel, L"cpu")), nullptr);
    EXPECT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
}

TEST(PawnIoWin, UnsupportedProcessorOrMissingPiecesNeverOpenTheDriver) {
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    for (const CpuIdWords& cpu : {kFamily16, kFamily1B, kOtherVendor}) {
        EXPECT_EQ(CreatePawnIoProvider(FakePlatform(cpu, L"cpu")), nullptr);
    }
    EXPECT_NE(CreatePawnIoProvider(FakePlatform(CpuId("GenuineIntel", 0x00000F43), L"cpu")), nullptr);  // family 15
    const int opensSoFar = fake.stats().opens;
    EXPECT_EQ(opensSoFar, 1);

    PawnIoPlatform p = FakePlatform(kIntel, L"cpu");
    p.libraryPath = [] { return std::wstring(); };
    EXPECT_EQ(CreatePawnIoProvider(p), nullptr);
    p.libraryPath = [] { return ExeFolder() + L"\\NoSuchPawnIOLib.dll"; };
    EXPECT_EQ(CreatePawnIoProvider(p), nullptr);
    p.libraryPath = [] {  // a real DLL without the four functions
        wchar_t dir[MAX_PATH] = {};
        GetSystemDirectoryW(dir, MAX_PATH);
        return std::wstring(dir) + L"\\version.dll";
    };
    EXPECT_EQ(CreatePawnIoProvider(p), nullptr);

    // A module without the resources.
    PawnIoPlatform noResources = FakePlatform(kIntel, L"cpu");
    noResources.resourceModule = fake.module();
    EXPECT_EQ(CreatePawnIoProvider(noResources), nullptr);

    // No cores in the topology.
    PawnIoPlatform noCores = FakePlatform(kIntel, L"cpu");
    noCores.coreTopology = [] { return std::vector<CoreRecord>{{0, 0, 0}}; };
    EXPECT_EQ(CreatePawnIoProvider(noCores), nullptr);
    EXPECT_EQ(fake.stats().opens, opensSoFar + 1);  // only the last one reached the driver
    EXPECT_EQ(fake.stats().closes, fake.stats().opens);
}

namespace {

// Sets or removes one environment variable for a scope.
class EnvOverride {
public:
    EnvOverride(const wchar_t* name, const wchar_t* value) : name_(name) {
        wchar_t buffer[32768];
        const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
        if (n > 0 && n < 32768) saved_ = std::wstring(buffer, n);
        SetEnvironmentVariableW(name, value);
    }
    ~EnvOverride() { SetEnvironmentVariableW(name_, saved_ ? saved_->c_str() : nullptr); }

private:
    const wchar_t* name_;
    std::optional<std::wstring> saved_;
};

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PawnIO";

bool UninstallEntryPresent() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

TEST(PawnIoWin, FindLibraryFromProgramFiles) {
    if (UninstallEntryPresent()) GTEST_SKIP() << "PawnIO is installed here";
    {
        EnvOverride pf(L"ProgramFiles", L"D:\\Programs");
        EXPECT_EQ(FindPawnIoLibrary(), L"D:\\Programs\\PawnIO\\PawnIOLib.dll");
    }
    {
        EnvOverride pf(L"ProgramFiles", nullptr);
        EXPECT_EQ(FindPawnIoLibrary(), L"");
        EXPECT_EQ(CreatePawnIoProvider(), nullptr);
    }
    {
        const std::wstring tooLong(300, L'x');
        EnvOverride pf(L"ProgramFiles", tooLong.c_str());
        EXPECT_EQ(FindPawnIoLibrary(), L"");  // does not fit the buffer: not cut short
    }
}

TEST(PawnIoWin, FindLibraryFromTheUninstallEntry) {
    // Writes HKEY_LOCAL_MACHINE, so only inside Wine's throwaway prefix.
    if (!UnderWine() || UninstallEntryPresent()) GTEST_SKIP() << "only in a throwaway Wine prefix";
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    auto set = [key](const wchar_t* text) {
        RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    };
    EnvOverride pf(L"ProgramFiles", L"C:\\PF");
    set(L"  E:\\Tools\\PawnIO\\  ");
    EXPECT_EQ(FindPawnIoLibrary(), L"E:\\Tools\\PawnIO\\PawnIOLib.dll");
    set(L"E:\\Tools\\PawnIO");
    EXPECT_EQ(FindPawnIoLibrary(), L"E:\\Tools\\PawnIO\\PawnIOLib.dll");
    set(L"    ");
    EXPECT_EQ(FindPawnIoLibrary(), L"C:\\PF\\PawnIO\\PawnIOLib.dll");
    const DWORD number = 7;
    RegSetValueExW(key, L"InstallLocation", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_EQ(FindPawnIoLibrary(), L"C:\\PF\\PawnIO\\PawnIOLib.dll");  // string values only
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstall);
}

TEST(PawnIoWin, RealMachineWithoutPawnIoGivesNothing) {
    if (!UnderWine()) GTEST_SKIP() << "PawnIO may really be installed here";
    EXPECT_EQ(CreatePawnIoProvider(), nullptr);
    EXPECT_FALSE(ReadCpuIdWords().leaf0Ebx == 0 && ReadCpuIdWords().leaf1Eax == 0);
}
