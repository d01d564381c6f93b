// The PawnIO provider's real loading, module, library and execute path against
// the stand-in PawnIOLib.dll of tests/win/helpers/fake_pawnio.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "providers/pawnio_library_win.h"
#include "providers/pawnio_module_win.h"
#include "providers/pawnio_provider_win.h"
#include "sensors/sampling_engine.h"

using namespace kalorix;

namespace {

struct FakeStats {
    int32_t opens;
    int32_t closes;
    int32_t loads;
    int32_t loadedModule;  // 1: provides ioctl_read_msr, 2: ioctl_read_smn
    uint64_t loadedSize;
    uint64_t loadedHash;
    int32_t placeholdersRefused;
    int32_t executes;
    int32_t unpinnedMsrReads;
    int32_t lastHandleClosedOk;
};

std::wstring FakeLibraryPath() { return ProgramFolder() + L"\\PawnIOLib.dll"; }

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

uint64_t Fnv1a(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

// A module blob as the stand-in driver reads it: it provides the named function.
std::string TestModule(const char* function) {
    std::string bytes = std::string("test module providing ") + function + '\0';
    for (int i = 0; i < 3000; ++i) bytes.push_back(static_cast<char>(i * 7));
    return bytes;
}
const std::string kIntelModule = TestModule("ioctl_read_msr");
const std::string kAmdModule = TestModule("ioctl_read_smn");

void WriteFile(const std::wstring& path, const std::string& bytes) {
    std::ofstream(std::filesystem::path(path), std::ios::binary).write(bytes.data(), bytes.size());
}

// A fresh folder under %TEMP%, removed with what it holds.
class TempFolder {
public:
    TempFolder() {
        wchar_t base[MAX_PATH + 1] = {};
        GetTempPathW(MAX_PATH + 1, base);
        path_ = std::wstring(base) + L"kalorix-pawnio-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(++counter_);
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::wstring& path() const { return path_; }

private:
    static inline int counter_ = 0;
    std::wstring path_;
};

// The test modules of both processor paths, in a folder of their own.
const std::wstring& ModuleFolder() {
    static TempFolder folder;
    static const bool written = [] {
        WriteFile(folder.path() + L"\\IntelMSR.bin", kIntelModule);
        WriteFile(folder.path() + L"\\AMDFamily17.bin", kAmdModule);
        return true;
    }();
    (void)written;
    return folder.path();
}

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
    // The stand-in library also carries the placeholder modules as resources.
    HMODULE module() const { return module_; }

private:
    HMODULE module_;
    const FakeStats* (WINAPI* stats_)() = nullptr;
};

// The stand-in library (accepted without a signature), the given processor and
// the test modules; the machine's own topology.
PawnIoPlatform FakePlatform(const CpuIdWords& cpu, const wchar_t* name) {
    PawnIoPlatform p;
    p.libraryPath = [] { return FakeLibraryPath(); };
    p.verifyLibrary = [](const std::wstring&) { return 0L; };
    p.cpuId = [cpu] { return cpu; };
    p.processorName = [n = std::wstring(name)] { return n; };
    p.coreTopology = ReadCoreTopology;
    p.moduleFolder = [] { return ModuleFolder(); };
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
    PawnIoStart start = StartPawnIo(platform);
    ASSERT_NE(start.provider, nullptr);
    EXPECT_EQ(start.status.state, PawnIoState::Working);
    auto& provider = start.provider;
    EXPECT_STREQ(provider->name(), L"PawnIO");
    EXPECT_EQ(fake.stats().opens, 1);
    EXPECT_EQ(fake.stats().loadedModule, 1);
    EXPECT_EQ(fake.stats().loadedSize, kIntelModule.size());  // the whole module, byte for byte
    EXPECT_EQ(fake.stats().loadedHash, Fnv1a(kIntelModule));

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
        EXPECT_EQ(fake.stats().loadedHash, Fnv1a(kAmdModule));
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

TEST(PawnIoWin, DriverRefusalsGiveNoProviderAStateAndCloseTheDriver) {
    struct Case {
        const wchar_t* scenario;
        CpuIdWords cpu;
        PawnIoState state;
        uint32_t code;
        int opens, loads, closes;
    };
    const Case cases[] = {
        {L"refuse-load", kIntel, PawnIoState::ModuleRefused, 0xC0000428, 1, 1, 1},
        {L"refuse-load", kZen1, PawnIoState::ModuleRefused, 0xC0000428, 1, 1, 1},
        {L"no-open", kIntel, PawnIoState::DriverUnavailable, 0x80070005, 1, 0, 0},
        {L"null-handle", kIntel, PawnIoState::DriverUnavailable, 0, 1, 0, 0},
        {L"intel-invalid", kIntel, PawnIoState::NoReading, 0, 1, 1, 1},
        {L"amd-noread", kZen1, PawnIoState::NoReading, 0, 1, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.scenario, c.scenario + wcslen(c.scenario)));
        Scenario scenario(c.scenario);
        FakeLibrary fake;
        ASSERT_TRUE(fake.ok());
        const PawnIoStart start = StartPawnIo(FakePlatform(c.cpu, L"cpu"));
        EXPECT_EQ(start.provider, nullptr);
        EXPECT_EQ(start.status.state, c.state);
        EXPECT_EQ(static_cast<uint32_t>(start.status.code), c.code);
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

TEST(PawnIoWin, EmbeddedPlaceholderMeansNoModulesAndTheDriverIsNeverAsked) {
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    TempFolder empty;
    PawnIoPlatform platform = FakePlatform(kIntel, L"cpu");
    platform.moduleFolder = [&] { return empty.path(); };
    platform.resourceModule = fake.module();  // holds the placeholder modules
    for (const CpuIdWords& cpu : {kIntel, kZen1}) {
        platform.cpuId = [cpu] { return cpu; };
        const PawnIoStart start = StartPawnIo(platform);
        EXPECT_EQ(start.provider, nullptr);
        EXPECT_EQ(start.status.state, PawnIoState::NoModules);
        EXPECT_EQ(PawnIoPreflight(platform).state, PawnIoState::NoModules);
    }
    EXPECT_EQ(fake.stats().opens, 0);
    EXPECT_EQ(fake.stats().loads, 0);

    // The stand-in driver itself refuses a placeholder, like the real loader.
    auto module = LoadPawnIoModule(PawnIoPath::Intel, empty.path(), fake.module());
    ASSERT_TRUE(module);
    EXPECT_FALSE(module->fromFile);
    EXPECT_TRUE(IsPlaceholderModule(module->bytes.data(), module->bytes.size()));
    auto load = reinterpret_cast<PawnIoLoadFn>(reinterpret_cast<void*>(GetProcAddress(fake.module(), "pawnio_load")));
    auto open = reinterpret_cast<PawnIoOpenFn>(reinterpret_cast<void*>(GetProcAddress(fake.module(), "pawnio_open")));
    void* handle = nullptr;
    ASSERT_EQ(open(&handle), 0);
    EXPECT_EQ(static_cast<uint32_t>(load(handle, module->bytes.data(), module->bytes.size())), 0xC0000428u);
    EXPECT_EQ(fake.stats().placeholdersRefused, 1);
}

namespace {

// The engine's platform for one test: a real clock, the given provider list.
class EngineHostForTest : public EngineHost {
public:
    explicit EngineHostForTest(std::function<std::vector<std::unique_ptr<Provider>>()> make) : make_(std::move(make)) {}
    double monotonicNow() override { return GetTickCount64() / 1000.0; }
    int64_t wallNow() override { return 1'800'000'000; }
    LocalTime localTime() override { return {}; }
    void sleepMs(int ms) override { Sleep(static_cast<DWORD>(ms)); }
    bool isElevated() override { return true; }
    std::vector<std::unique_ptr<Provider>> createProviders(bool) override { return make_(); }
    std::wstring biosManufacturer() override { return L""; }
    bool pawnIoInstalled() override { return true; }
    void postReady(void*) override {}
    void recordPeriod(const HeavyUsePeriod&) override {}

private:
    std::function<std::vector<std::unique_ptr<Provider>>()> make_;
};

// The module file beside this executable for a scope.
class ModuleBesideProgram {
public:
    ModuleBesideProgram(const wchar_t* name, const std::string& bytes) : path_(ProgramFolder() + L"\\" + name) {
        WriteFile(path_, bytes);
    }
    ~ModuleBesideProgram() { DeleteFileW(path_.c_str()); }

private:
    std::wstring path_;
};

}  // namespace

TEST(PawnIoWin, ModuleBesideTheProgramIsLoadedAndBecomesTheHeadlineTemperature) {
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    ModuleBesideProgram file(L"IntelMSR.bin", kIntelModule);
    PawnIoPlatform platform = SystemPawnIoPlatform();  // module folder: the program's own
    platform.libraryPath = [] { return FakeLibraryPath(); };
    platform.verifyLibrary = [](const std::wstring&) { return 0L; };
    platform.cpuId = [] { return kIntel; };
    platform.resourceModule = fake.module();  // built-in modules are placeholders: the file wins
    EXPECT_EQ(PawnIoPreflight(platform).state, PawnIoState::Usable);

    // A stand-in for the counters' ACPI zone: the PawnIO reading must win over it.
    struct AcpiZone : Provider {
        const wchar_t* name() const override { return L"ACPI"; }
        void poll(SensorFrame& f) override {
            if (!f.cpuTemp) {
                f.cpuTemp = 40.0;
                f.cpuTempSource = L"ACPI";
            }
        }
    };
    EngineHostForTest host([&] {
        std::vector<std::unique_ptr<Provider>> list;
        if (auto p = CreatePawnIoProvider(platform)) list.push_back(std::move(p));
        list.push_back(std::make_unique<AcpiZone>());
        return list;
    });
    SamplingEngine engine(host);
    engine.start(nullptr, 50, false);
    SensorSnapshot s;
    for (int i = 0; i < 200 && !(s.valid && s.cpuTemp); ++i) {
        Sleep(25);
        engine.copySnapshot(s);
    }
    engine.stop();
    EXPECT_TRUE(s.pawnIoActive);
    EXPECT_EQ(fake.stats().loadedHash, Fnv1a(kIntelModule));
    ASSERT_TRUE(s.cpuTempShown);
    EXPECT_DOUBLE_EQ(*s.cpuTempShown, 60);  // package: TjMax 95 of processor 0 minus 35
    EXPECT_EQ(s.cpuTempSource, L"PawnIO");
    EXPECT_EQ(fake.stats().closes, 1);  // the engine's stop destroyed the provider
}

TEST(PawnIoWin, UnsupportedProcessorOrMissingPiecesNeverOpenTheDriver) {
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    for (const CpuIdWords& cpu : {kFamily16, kFamily1B, kOtherVendor}) {
        const PawnIoStart start = StartPawnIo(FakePlatform(cpu, L"cpu"));
        EXPECT_EQ(start.provider, nullptr);
        EXPECT_EQ(start.status.state, PawnIoState::Unsupported);
        EXPECT_EQ(PawnIoPreflight(FakePlatform(cpu, L"cpu")).state, PawnIoState::Unsupported);
    }
    EXPECT_NE(CreatePawnIoProvider(FakePlatform(CpuId("GenuineIntel", 0x00000F43), L"cpu")), nullptr);  // family 15
    const int opensSoFar = fake.stats().opens;
    EXPECT_EQ(opensSoFar, 1);

    // Not installed: nothing failed, PawnIO is simply not there.
    PawnIoPlatform p = FakePlatform(kIntel, L"cpu");
    p.libraryPath = [] { return std::wstring(); };
    EXPECT_EQ(StartPawnIo(p).status.state, PawnIoState::Usable);
    p.libraryPath = [] { return ProgramFolder() + L"\\NoSuchPawnIOLib.dll"; };
    EXPECT_EQ(StartPawnIo(p).status.state, PawnIoState::Usable);
    p.libraryPath = [] {  // a real DLL without the four functions
        wchar_t dir[MAX_PATH] = {};
        GetSystemDirectoryW(dir, MAX_PATH);
        return std::wstring(dir) + L"\\version.dll";
    };
    const PawnIoStart noFunctions = StartPawnIo(p);
    EXPECT_EQ(noFunctions.status.state, PawnIoState::LibraryRejected);
    EXPECT_EQ(noFunctions.status.code, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));

    // No module anywhere: a module handle without the resources, no file.
    TempFolder empty;
    PawnIoPlatform noModule = FakePlatform(kIntel, L"cpu");
    noModule.moduleFolder = [&] { return empty.path(); };
    noModule.resourceModule = GetModuleHandleW(L"kernel32.dll");
    EXPECT_EQ(StartPawnIo(noModule).status.state, PawnIoState::NoModules);

    // No cores in the topology.
    PawnIoPlatform noCores = FakePlatform(kIntel, L"cpu");
    noCores.coreTopology = [] { return std::vector<CoreRecord>{{0, 0, 0}}; };
    EXPECT_EQ(StartPawnIo(noCores).status.state, PawnIoState::NoReading);
    EXPECT_EQ(fake.stats().opens, opensSoFar + 1);  // only the last one reached the driver
    EXPECT_EQ(fake.stats().closes, fake.stats().opens);
}

TEST(PawnIoWin, AnUnsignedLibraryIsNeverLoaded) {
    Scenario scenario(L"intel");
    const long trust = VerifyAuthenticode(FakeLibraryPath());
    EXPECT_NE(trust, 0) << "the stand-in library carries no signature";
    PawnIoPlatform platform = FakePlatform(kIntel, L"cpu");
    platform.verifyLibrary = nullptr;  // the real check
    ASSERT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
    const PawnIoStart start = StartPawnIo(platform);
    EXPECT_EQ(start.provider, nullptr);
    EXPECT_EQ(start.status.state, PawnIoState::LibraryRejected);
    EXPECT_EQ(start.status.code, trust);
    EXPECT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
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

TEST(PawnIoWin, FindLibraryIgnoresTheEnvironment) {
    if (UninstallEntryPresent()) GTEST_SKIP() << "PawnIO is installed here";
    const std::wstring found = FindPawnIoLibrary();
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(found.substr(found.size() - 21), L"\\PawnIO\\PawnIOLib.dll");
    for (const wchar_t* value : {L"D:\\Programs", static_cast<const wchar_t*>(nullptr)}) {
        EnvOverride pf(L"ProgramFiles", value);
        EXPECT_EQ(FindPawnIoLibrary(), found);
    }
}

TEST(PawnIoWin, FindLibraryFromTheUninstallEntry) {
    // Writes HKEY_LOCAL_MACHINE, so only inside Wine's throwaway prefix.
    if (!UnderWine() || UninstallEntryPresent()) GTEST_SKIP() << "only in a throwaway Wine prefix";
    const std::wstring fallback = FindPawnIoLibrary();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    auto set = [key](const wchar_t* text) {
        RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
    };
    set(L"  E:\\Tools\\PawnIO\\  ");
    EXPECT_EQ(FindPawnIoLibrary(), L"E:\\Tools\\PawnIO\\PawnIOLib.dll");
    set(L"E:\\Tools\\PawnIO");
    EXPECT_EQ(FindPawnIoLibrary(), L"E:\\Tools\\PawnIO\\PawnIOLib.dll");
    set(L"    ");
    EXPECT_EQ(FindPawnIoLibrary(), fallback);
    const DWORD number = 7;
    RegSetValueExW(key, L"InstallLocation", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_EQ(FindPawnIoLibrary(), fallback);  // string values only
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstall);
}

TEST(PawnIoWin, RealMachineWithoutPawnIoGivesNothing) {
    if (!UnderWine()) GTEST_SKIP() << "PawnIO may really be installed here";
    EXPECT_EQ(CreatePawnIoProvider(), nullptr);
    EXPECT_NE(CurrentPawnIoStatus().state, PawnIoState::Working);
    EXPECT_FALSE(ReadCpuIdWords().leaf0Ebx == 0 && ReadCpuIdWords().leaf1Eax == 0);
}
