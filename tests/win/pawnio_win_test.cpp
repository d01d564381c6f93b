// The PawnIO provider's real loading, module, library and execute path against
// the stand-in PawnIOLib.dll of tests/win/helpers/fake_pawnio.cpp.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "providers/pawnio_library_win.h"
#include "providers/pawnio_module_win.h"
#include "providers/pawnio_provider_win.h"
#include "store/file_util.h"
#include "test_util_win.h"

using namespace kalorix;
using kalorix::test::ScopedEnv;
using kalorix::test::TempFolder;
using kalorix::test::UnderWine;

namespace {

struct FakeStats {  // as in fake_pawnio.cpp
    int32_t opens, closes, loads, loadedModule;  // loadedModule 1: ioctl_read_msr, 2: ioctl_read_smn
    uint64_t loadedSize, loadedHash;
    int32_t unpinnedMsrReads, lastHandleClosedOk;
};

std::wstring FakeLibraryPath() { return ProgramFolder() + L"\\PawnIOLib.dll"; }

// The vendor words (EBX, EDX, ECX of leaf 0) and leaf 1's EAX.
const CpuIdWords kIntel = {0x756E6547, 0x49656E69, 0x6C65746E, 0x00090672};  // GenuineIntel family 6, model 0x97
const CpuIdWords kZen1 = {0x68747541, 0x69746E65, 0x444D4163, 0x00800F11};   // AuthenticAMD family 0x17, model 1
const CpuIdWords kOtherVendor = {0x746E6543, 0x48727561, 0x736C7561, 0x000006F2};  // CentaurHauls

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

// The test modules of both processor paths, in a folder of their own.
const std::wstring& ModuleFolder() {
    static TempFolder folder(L"kalorix-pawnio");
    static const std::wstring path = [] {
        AtomicWriteFile(folder.path().wstring() + L"\\IntelMSR.bin", kIntelModule);
        AtomicWriteFile(folder.path().wstring() + L"\\AMDFamily17.bin", kAmdModule);
        return folder.path().wstring();
    }();
    return path;
}

struct Scenario : ScopedEnv {
    explicit Scenario(const wchar_t* name) : ScopedEnv(L"KALORIX_FAKE_PAWNIO", name) {}
};

// Holds a reference to the stand-in so its counters survive the provider.
class FakeLibrary {
public:
    FakeLibrary() : module_(LoadLibraryW(FakeLibraryPath().c_str())) {
        if (!module_) return;
        stats_ = reinterpret_cast<decltype(stats_)>(reinterpret_cast<void*>(GetProcAddress(module_, "fake_pawnio_stats")));
        using Reset = void(WINAPI*)();
        if (auto reset = reinterpret_cast<Reset>(reinterpret_cast<void*>(GetProcAddress(module_, "fake_pawnio_reset")))) reset();
    }
    ~FakeLibrary() {
        if (module_) FreeLibrary(module_);
    }
    bool ok() const { return module_ && stats_; }
    const FakeStats& stats() const { return *stats_(); }
    HMODULE module() const { return module_; }  // carries the placeholder modules as resources

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
    GROUP_AFFINITY before{};
    GetThreadGroupAffinity(GetCurrentThread(), &before);
    auto provider = StartPawnIo(platform).provider;
    ASSERT_NE(provider, nullptr);
    EXPECT_TRUE(fake.stats().loadedSize == kIntelModule.size() && fake.stats().loadedHash == Fnv1a(kIntelModule))
        << "the whole module, byte for byte";

    SensorFrame frame;
    provider->poll(frame);
    GROUP_AFFINITY after{};
    GetThreadGroupAffinity(GetCurrentThread(), &after);
    EXPECT_EQ(after.Mask, before.Mask);  // the thread's own affinity is back
    EXPECT_EQ(fake.stats().unpinnedMsrReads, 0);

    // Each core's registers were read on that core (the stand-in answers per pinned processor).
    // Processor 0: TjMax 95 - 30; processor 1: TjMax 131 -> 100 - 40.
    ASSERT_EQ(frame.readings.size(), 4u);
    EXPECT_EQ(std::pair(frame.readings[0].value, frame.readings[1].value), std::pair(65.0, 60.0));

    provider.reset();
    EXPECT_TRUE(fake.stats().closes == 1 && fake.stats().lastHandleClosedOk == 1);
}

TEST(PawnIoWin, AmdLoadsItsOwnModuleAndReadsThroughSmn) {
    Scenario scenario(L"amd");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    auto provider = CreatePawnIoProvider(FakePlatform(kZen1, L"AMD Ryzen 7 1800X Eight-Core Processor"));
    ASSERT_NE(provider, nullptr);
    EXPECT_EQ(fake.stats().loadedHash, Fnv1a(kAmdModule));
    SensorFrame frame;
    provider->poll(frame);
    EXPECT_EQ(frame.cpuTemp, std::optional<double>(55));  // the high half of the 64-bit answer is ignored
}

TEST(PawnIoWin, DriverRefusalsGiveNoProviderAStateAndCloseTheDriver) {
    const struct { const wchar_t* scenario; PawnIoState state; uint32_t code; int opens, loads, closes; } cases[] = {
        {L"refuse-load", PawnIoState::ModuleRefused, 0xC0000428, 1, 1, 1},
        {L"no-open", PawnIoState::DriverUnavailable, 0x80070005, 1, 0, 0},
        {L"null-handle", PawnIoState::DriverUnavailable, 0, 1, 0, 0},
        {L"intel-invalid", PawnIoState::NoReading, 0, 1, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.state));
        Scenario scenario(c.scenario);
        FakeLibrary fake;
        ASSERT_TRUE(fake.ok());
        const PawnIoStart start = StartPawnIo(FakePlatform(kIntel, L"cpu"));
        EXPECT_EQ(start.provider, nullptr);
        EXPECT_EQ(std::make_tuple(start.status.state, uint32_t(start.status.code), fake.stats().opens, fake.stats().loads,
                                  fake.stats().closes),
                  std::make_tuple(c.state, c.code, c.opens, c.loads, c.closes));
    }
    // Without a reference of our own, a refused start leaves the library unloaded.
    Scenario scenario(L"refuse-load");
    ASSERT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
    EXPECT_EQ(CreatePawnIoProvider(FakePlatform(kIntel, L"cpu")), nullptr);
    EXPECT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
}

// Built-in placeholder modules: no modules, the driver never asked; a module
// file beside the program wins over them.
TEST(PawnIoWin, PlaceholderModulesAndAModuleFileBesideTheProgram) {
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    TempFolder empty;
    PawnIoPlatform placeholders = FakePlatform(kZen1, L"cpu");
    placeholders.moduleFolder = [&] { return empty.path().wstring(); };
    placeholders.resourceModule = fake.module();
    EXPECT_EQ(StartPawnIo(placeholders).status.state, PawnIoState::NoModules);
    EXPECT_EQ(fake.stats().opens, 0);

    const std::wstring file = ProgramFolder() + L"\\IntelMSR.bin";
    AtomicWriteFile(file, kIntelModule);
    PawnIoPlatform platform = SystemPawnIoPlatform();  // module folder: the program's own
    platform.libraryPath = [] { return FakeLibraryPath(); };
    platform.verifyLibrary = [](const std::wstring&) { return 0L; };
    platform.cpuId = [] { return kIntel; };
    platform.resourceModule = fake.module();
    EXPECT_NE(CreatePawnIoProvider(platform), nullptr);
    DeleteFileW(file.c_str());
    EXPECT_TRUE(fake.stats().loadedHash == Fnv1a(kIntelModule) && fake.stats().closes == 1);
}

TEST(PawnIoWin, UnsupportedProcessorOrMissingPiecesNeverOpenTheDriver) {
    Scenario scenario(L"intel");
    FakeLibrary fake;
    ASSERT_TRUE(fake.ok());
    EXPECT_EQ(StartPawnIo(FakePlatform(kOtherVendor, L"cpu")).status.state, PawnIoState::Unsupported);
    EXPECT_EQ(fake.stats().opens, 0);

    // Not installed: nothing failed, PawnIO is simply not there.
    PawnIoPlatform p = FakePlatform(kIntel, L"cpu");
    p.libraryPath = [] { return ProgramFolder() + L"\\NoSuchPawnIOLib.dll"; };
    EXPECT_EQ(StartPawnIo(p).status.state, PawnIoState::Usable);
    p.libraryPath = [] {  // a real DLL without the four functions
        wchar_t dir[MAX_PATH] = {};
        GetSystemDirectoryW(dir, MAX_PATH);
        return std::wstring(dir) + L"\\version.dll";
    };
    const PawnIoStatus noFunctions = StartPawnIo(p).status;
    EXPECT_TRUE(noFunctions.state == PawnIoState::LibraryRejected && noFunctions.code == HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
    PawnIoPlatform noCores = FakePlatform(kIntel, L"cpu");
    noCores.coreTopology = [] { return std::vector<CoreRecord>{{0, 0, 0}}; };
    EXPECT_EQ(StartPawnIo(noCores).status.state, PawnIoState::NoReading);
    EXPECT_TRUE(fake.stats().opens == 1 && fake.stats().closes == 1);  // only the last one reached the driver
}

TEST(PawnIoWin, AnUnsignedLibraryIsNeverLoaded) {
    Scenario scenario(L"intel");
    const long trust = VerifyAuthenticode(FakeLibraryPath());
    EXPECT_NE(trust, 0) << "the stand-in library carries no signature";
    PawnIoPlatform platform = FakePlatform(kIntel, L"cpu");
    platform.verifyLibrary = nullptr;  // the real check
    ASSERT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
    const PawnIoStart start = StartPawnIo(platform);
    EXPECT_TRUE(!start.provider && start.status.state == PawnIoState::LibraryRejected && start.status.code == trust);
    EXPECT_EQ(GetModuleHandleW(FakeLibraryPath().c_str()), nullptr);
}

namespace {

const wchar_t kUninstall[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PawnIO";

bool UninstallEntryPresent() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

// Writes HKEY_LOCAL_MACHINE, so only inside Wine's throwaway prefix.
TEST(PawnIoWin, FindLibraryFromTheUninstallEntryNeverFromTheEnvironment) {
    if (!UnderWine() || UninstallEntryPresent()) GTEST_SKIP() << "only in a throwaway Wine prefix";
    const std::wstring fallback = FindPawnIoLibrary();
    ASSERT_GT(fallback.size(), 21u);
    EXPECT_EQ(fallback.substr(fallback.size() - 21), L"\\PawnIO\\PawnIOLib.dll");
    for (const wchar_t* value : {L"D:\\Programs", static_cast<const wchar_t*>(nullptr)}) {
        ScopedEnv pf(L"ProgramFiles", value);
        EXPECT_EQ(FindPawnIoLibrary(), fallback);
    }
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstall, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const wchar_t text[] = L"  E:\\Tools\\PawnIO\\  ";
    RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    EXPECT_EQ(FindPawnIoLibrary(), L"E:\\Tools\\PawnIO\\PawnIOLib.dll");
    const DWORD number = 7;
    RegSetValueExW(key, L"InstallLocation", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    EXPECT_EQ(FindPawnIoLibrary(), fallback);  // string values only
    RegCloseKey(key);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, kUninstall);
}

TEST(PawnIoWin, RealMachineWithoutPawnIoGivesNothing) {
    if (!UnderWine()) GTEST_SKIP() << "PawnIO may really be installed here";
    EXPECT_EQ(CreatePawnIoProvider(), nullptr);
}
