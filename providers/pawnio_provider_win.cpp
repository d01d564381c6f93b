#include "providers/pawnio_provider_win.h"

#include <intrin.h>

#include <cstdio>
#include <mutex>
#include <optional>

#include "base/log.h"
#include "base/scoped_win.h"
#include "providers/pawnio_library_win.h"
#include "providers/pawnio_module_win.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

constexpr char kLogSource[] = "pawnio";
const wchar_t kCpuKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
constexpr DWORD kRegistryBufferBytes = 1024;

std::string Hex(int32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(code));
    return text;
}

class PawnIoProvider final : public Provider {
public:
    PawnIoProvider() = default;
    PawnIoProvider(const PawnIoProvider&) = delete;
    PawnIoProvider& operator=(const PawnIoProvider&) = delete;
    // The driver is closed before the library (a member) is freed.
    ~PawnIoProvider() override {
        if (driver && close) close(driver);
    }

    const wchar_t* name() const override { return L"PawnIO"; }
    void poll(SensorFrame& frame) override;

    std::optional<uint64_t> ReadMsr(uint32_t index) { return Execute("ioctl_read_msr", index); }
    std::optional<uint32_t> ReadSmn(uint32_t address) {
        auto value = Execute("ioctl_read_smn", address);
        if (!value) return std::nullopt;
        return static_cast<uint32_t>(*value & 0xFFFFFFFFu);
    }

    UniqueModule library;
    void* driver = nullptr;
    PawnIoExecuteFn execute = nullptr;
    PawnIoCloseFn close = nullptr;
    uint32_t isAmd = 0;
    uint32_t family = 0;
    uint32_t model = 0;
    std::wstring cpuName;
    std::vector<CoreInfo> cores;
    uint32_t ccdBase = 0;
    int32_t tctlOffset = 0;

private:
    // One module function call: one input word, room for one output word.
    std::optional<uint64_t> Execute(const char* function, uint64_t input) {
        if (!driver || !execute) return std::nullopt;
        uint64_t output = 0;
        size_t returned = 0;
        const int32_t status = execute(driver, function, &input, 1, &output, 1, &returned);
        if (status < 0 || returned < 1) {
            // Logged once per function and register (the log drops repeats).
            Log(LogLevel::Warning, kLogSource, std::string(function) + " " + Hex(static_cast<int32_t>(input)) +
                                                   ": status " + Hex(status) + ", " + std::to_string(returned) +
                                                   " words");
            return std::nullopt;
        }
        return output;
    }
};

// Register reads for the portable poll: the driver for the reads, the thread's
// processor-group affinity for the pinning.
class DriverRegisterAccess final : public CpuRegisterAccess {
public:
    explicit DriverRegisterAccess(PawnIoProvider& provider) : provider_(provider) {}

    bool pin(const CoreAffinity& affinity) override {
        GROUP_AFFINITY target{};
        target.Mask = static_cast<KAFFINITY>(affinity.mask);
        target.Group = affinity.group;
        GROUP_AFFINITY before{};
        if (!SetThreadGroupAffinity(GetCurrentThread(), &target, &before)) {
            LogWin32Error(kLogSource, "SetThreadGroupAffinity group " + std::to_string(affinity.group) + " mask " +
                                          std::to_string(affinity.mask),
                          GetLastError());
            return false;
        }
        previous_ = before;
        return true;
    }
    void unpin() override { SetThreadGroupAffinity(GetCurrentThread(), &previous_, nullptr); }
    std::optional<uint64_t> readMsr(uint32_t index) override { return provider_.ReadMsr(index); }
    std::optional<uint32_t> readSmn(uint32_t address) override { return provider_.ReadSmn(address); }

private:
    PawnIoProvider& provider_;
    GROUP_AFFINITY previous_{};
};

void PawnIoProvider::poll(SensorFrame& frame) {
    DriverRegisterAccess access(*this);
    if (isAmd) {
        PollAmdSmn(ccdBase, tctlOffset, cpuName, access, frame);
    } else {
        PollIntelCores(cores, cpuName, access, frame);
    }
}

template <typename Fn>
bool Resolve(HMODULE library, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
    return out != nullptr;
}

PawnIoStatus Failed(PawnIoState state, int32_t code, const std::string& what) {
    Log(LogLevel::Warning, kLogSource, what + ": " + Hex(code));
    return {state, code};
}

// The processor's path, or nothing when no module exists for its family.
std::optional<PawnIoPath> ProcessorPath(const PawnIoPlatform& platform, CpuIdentity& cpu) {
    cpu = DecodeCpuId(platform.cpuId ? platform.cpuId() : CpuIdWords{});
    return SelectPawnIoPath(cpu);
}

// The module for the path when it is a real one; Unsupported/NoModules otherwise.
std::optional<PawnIoModule> UsableModule(const PawnIoPlatform& platform, const CpuIdentity& cpu,
                                         std::optional<PawnIoPath> path, PawnIoStatus& status) {
    if (!path) {
        Log(LogLevel::Info, kLogSource,
            "no module for vendor " + cpu.vendor + " family " + std::to_string(cpu.family));
        status = {PawnIoState::Unsupported, 0};
        return std::nullopt;
    }
    const std::wstring folder = platform.moduleFolder ? platform.moduleFolder() : std::wstring();
    auto module = LoadPawnIoModule(*path, folder, platform.resourceModule);
    if (!module || IsPlaceholderModule(module->bytes.data(), module->bytes.size())) {
        Log(LogLevel::Info, kLogSource,
            "this build carries no signed " + WideToUtf8(PawnIoModuleFileName(*path)) + "; the driver is not asked");
        status = {PawnIoState::NoModules, 0};
        return std::nullopt;
    }
    status = {PawnIoState::Usable, 0};
    return module;
}

// Steps after the module: library, driver, module load, first register read.
PawnIoStatus OpenDriver(const PawnIoPlatform& platform, const PawnIoModule& module, PawnIoProvider& provider) {
    const std::wstring path = platform.libraryPath ? platform.libraryPath() : std::wstring();
    if (!PawnIoLibraryPresent(path)) return {PawnIoState::Usable, 0};  // not installed

    const long trust = platform.verifyLibrary ? platform.verifyLibrary(path) : VerifyAuthenticode(path);
    if (trust != 0)
        return Failed(PawnIoState::LibraryRejected, trust, "signature check of " + WideToUtf8(path));
    unsigned long error = 0;
    provider.library.reset(LoadPawnIoLibrary(path, &error));
    if (!provider.library)
        return Failed(PawnIoState::LibraryRejected, HRESULT_FROM_WIN32(error), "LoadLibraryExW " + WideToUtf8(path));
    PawnIoOpenFn open = nullptr;
    PawnIoLoadFn load = nullptr;
    HMODULE lib = provider.library.get();
    if (!Resolve(lib, "pawnio_open", open) || !Resolve(lib, "pawnio_load", load) ||
        !Resolve(lib, "pawnio_execute", provider.execute) || !Resolve(lib, "pawnio_close", provider.close))
        return Failed(PawnIoState::LibraryRejected, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND),
                      "PawnIOLib.dll lacks a function");

    void* handle = nullptr;
    const int32_t opened = open(&handle);
    if (opened < 0 || !handle) return Failed(PawnIoState::DriverUnavailable, opened, "pawnio_open");
    provider.driver = handle;
    const int32_t loaded = load(provider.driver, module.bytes.data(), module.bytes.size());
    if (loaded < 0) return Failed(PawnIoState::ModuleRefused, loaded, "pawnio_load");
    return {PawnIoState::Working, 0};
}

// The first reads that tell the provider can work: Intel cores and TjMax, or the AMD Tctl register.
bool ProbeRegisters(const PawnIoPlatform& platform, PawnIoProvider& provider) {
    DriverRegisterAccess access(provider);
    if (!provider.isAmd) {
        provider.cores = BuildCoreList(platform.coreTopology ? platform.coreTopology() : std::vector<CoreRecord>{});
        return !provider.cores.empty() && ProbeIntelCores(provider.cores, access);
    }
    provider.ccdBase = AmdCcdBase(provider.family, provider.model);
    provider.tctlOffset = AmdTctlOffset(provider.cpuName);
    return ProbeAmdSmn(access);
}

PawnIoStart BuildProvider(const PawnIoPlatform& platform) {
    PawnIoStart start;
    CpuIdentity cpu;
    const auto path = ProcessorPath(platform, cpu);
    const auto module = UsableModule(platform, cpu, path, start.status);
    if (!module) return start;

    // From here on the half-built provider closes what it opened when dropped.
    auto provider = std::make_unique<PawnIoProvider>();
    provider->isAmd = *path == PawnIoPath::Amd ? 1 : 0;
    provider->family = cpu.family;
    provider->model = cpu.model;
    start.status = OpenDriver(platform, *module, *provider);
    if (start.status.state != PawnIoState::Working) return start;

    provider->cpuName = CpuDisplayName(platform.processorName ? platform.processorName() : std::wstring());
    if (!ProbeRegisters(platform, *provider)) {
        Log(LogLevel::Warning, kLogSource, "the first register read failed");
        start.status = {PawnIoState::NoReading, 0};
        return start;
    }
    start.provider = std::move(provider);
    return start;
}

// The outcome of this process's own start, once there was one.
std::mutex g_statusLock;
std::optional<PawnIoStatus> g_started;
std::optional<PawnIoStatus> g_preflight;

}  // namespace

CpuIdWords ReadCpuIdWords() {
    int regs[4] = {};
    CpuIdWords words;
    __cpuid(regs, 0);
    words.leaf0Ebx = static_cast<uint32_t>(regs[1]);
    words.leaf0Edx = static_cast<uint32_t>(regs[3]);
    words.leaf0Ecx = static_cast<uint32_t>(regs[2]);
    if (static_cast<uint32_t>(regs[0]) >= 1) {
        __cpuid(regs, 1);
        words.leaf1Eax = static_cast<uint32_t>(regs[0]);
    }
    return words;
}

std::vector<CoreRecord> ReadCoreTopology() {
    std::vector<CoreRecord> records;
    DWORD length = 0;
    GetLogicalProcessorInformationEx(RelationProcessorCore, nullptr, &length);
    if (length == 0) {
        LogWin32Error(kLogSource, "GetLogicalProcessorInformationEx size", GetLastError());
        return records;
    }
    std::vector<uint8_t> buffer(length);
    auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    if (!GetLogicalProcessorInformationEx(RelationProcessorCore, first, &length)) {
        LogWin32Error(kLogSource, "GetLogicalProcessorInformationEx", GetLastError());
        return records;
    }
    size_t offset = 0;
    const size_t header = offsetof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX, Processor);
    while (offset + header <= length) {
        const auto* record = reinterpret_cast<const SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data() + offset);
        if (record->Size == 0 || offset + record->Size > length) break;  // malformed: stop, keep what we have
        if (record->Relationship == RelationProcessorCore && record->Processor.GroupCount >= 1) {
            CoreRecord core;
            core.mask = static_cast<uint64_t>(record->Processor.GroupMask[0].Mask);
            core.group = record->Processor.GroupMask[0].Group;
            // PROCESSOR_RELATIONSHIP: Flags, then EfficiencyClass (the first of
            // the bytes older headers call Reserved).
            core.efficiencyClass = record->Processor.Reserved[0];
            records.push_back(core);
        }
        offset += record->Size;
    }
    return records;
}

std::wstring ReadProcessorNameString() {
    wchar_t buffer[kRegistryBufferBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof(buffer);
    const LSTATUS status =
        RegGetValueW(HKEY_LOCAL_MACHINE, kCpuKey, L"ProcessorNameString", RRF_RT_REG_SZ, nullptr, buffer, &size);
    if (status != ERROR_SUCCESS) {
        LogWin32Error(kLogSource, "RegGetValueW ProcessorNameString", static_cast<unsigned long>(status));
        return {};
    }
    buffer[std::size(buffer) - 1] = L'\0';
    return buffer;
}

PawnIoPlatform SystemPawnIoPlatform() {
    PawnIoPlatform platform;
    platform.libraryPath = FindPawnIoLibrary;
    platform.verifyLibrary = VerifyAuthenticode;
    platform.cpuId = ReadCpuIdWords;
    platform.coreTopology = ReadCoreTopology;
    platform.processorName = ReadProcessorNameString;
    platform.moduleFolder = ProgramFolder;
    return platform;
}

PawnIoStart StartPawnIo(const PawnIoPlatform& platform) {
    try {
        return BuildProvider(platform);
    } catch (const std::exception& e) {
        // e.g. out of memory while building the core list
        Log(LogLevel::Error, kLogSource, std::string("start failed: ") + e.what());
        return {nullptr, {PawnIoState::NoReading, 0}};
    }
}

std::unique_ptr<Provider> CreatePawnIoProvider(const PawnIoPlatform& platform) {
    return StartPawnIo(platform).provider;
}

PawnIoStatus PawnIoPreflight(const PawnIoPlatform& platform) {
    PawnIoStatus status;
    CpuIdentity cpu;
    const auto path = ProcessorPath(platform, cpu);
    UsableModule(platform, cpu, path, status);
    return status;
}

std::unique_ptr<Provider> CreatePawnIoProvider() {
    PawnIoStart start = StartPawnIo(SystemPawnIoPlatform());
    std::lock_guard<std::mutex> lock(g_statusLock);
    g_started = start.status;
    return std::move(start.provider);
}

PawnIoStatus CurrentPawnIoStatus() {
    std::lock_guard<std::mutex> lock(g_statusLock);
    if (g_started) return *g_started;
    if (!g_preflight) g_preflight = PawnIoPreflight(SystemPawnIoPlatform());
    return *g_preflight;
}

}  // namespace kalorix
