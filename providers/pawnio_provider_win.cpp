#include "providers/pawnio_provider_win.h"

#include <intrin.h>

#include <cwchar>
#include <new>

namespace kalorix {

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\PawnIO";
const wchar_t kCpuKey[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
constexpr DWORD kRegistryBufferBytes = 1024;
constexpr DWORD kProgramFilesChars = 260;

// A string value from HKEY_LOCAL_MACHINE, string type only, 1024-byte buffer.
std::optional<std::wstring> ReadMachineString(const wchar_t* key, const wchar_t* value) {
    wchar_t buffer[kRegistryBufferBytes / sizeof(wchar_t)] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    buffer[std::size(buffer) - 1] = L'\0';
    return std::wstring(buffer);
}

class PawnIoProvider final : public Provider {
public:
    PawnIoProvider() = default;
    PawnIoProvider(const PawnIoProvider&) = delete;
    PawnIoProvider& operator=(const PawnIoProvider&) = delete;
    ~PawnIoProvider() override {
        if (driver && close) close(driver);
        if (library) FreeLibrary(library);
    }

    const wchar_t* name() const override { return L"PawnIO"; }
    void poll(SensorFrame& frame) override;

    std::optional<uint64_t> ReadMsr(uint32_t index) { return Execute("ioctl_read_msr", index); }
    std::optional<uint32_t> ReadSmn(uint32_t address) {
        auto value = Execute("ioctl_read_smn", address);
        if (!value) return std::nullopt;
        return static_cast<uint32_t>(*value & 0xFFFFFFFFu);
    }

    HMODULE library = nullptr;
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
        if (status < 0 || returned < 1) return std::nullopt;
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
        if (!SetThreadGroupAffinity(GetCurrentThread(), &target, &before)) return false;
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

std::unique_ptr<Provider> BuildProvider(const PawnIoPlatform& platform) {
    // 1. The library file.
    const std::wstring path = platform.libraryPath ? platform.libraryPath() : std::wstring();
    if (path.empty() || GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return nullptr;

    // 2. Load it and resolve the four functions. From here on the half-built
    //    provider closes what it opened when it is dropped.
    auto provider = std::make_unique<PawnIoProvider>();
    provider->library = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!provider->library) return nullptr;
    PawnIoOpenFn open = nullptr;
    PawnIoLoadFn load = nullptr;
    if (!Resolve(provider->library, "pawnio_open", open) || !Resolve(provider->library, "pawnio_load", load) ||
        !Resolve(provider->library, "pawnio_execute", provider->execute) ||
        !Resolve(provider->library, "pawnio_close", provider->close))
        return nullptr;

    // 3-4. The processor.
    const CpuIdentity cpu = DecodeCpuId(platform.cpuId ? platform.cpuId() : CpuIdWords{});
    const auto kind = SelectPawnIoPath(cpu);
    if (!kind) return nullptr;
    provider->isAmd = *kind == PawnIoPath::Amd ? 1 : 0;
    provider->family = cpu.family;
    provider->model = cpu.model;

    // 5. The module for it, from the program's resources.
    HMODULE resources = platform.resourceModule ? platform.resourceModule : GetModuleHandleW(nullptr);
    const wchar_t* moduleName = provider->isAmd ? L"PAWNIO_AMDFAMILY17" : L"PAWNIO_INTELMSR";
    HRSRC info = FindResourceW(resources, moduleName, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) return nullptr;
    HGLOBAL loaded = LoadResource(resources, info);
    if (!loaded) return nullptr;
    const void* bytes = LockResource(loaded);
    const DWORD size = SizeofResource(resources, info);
    if (!bytes || size == 0) return nullptr;

    // 6. Open the driver and hand it the module.
    void* handle = nullptr;
    if (open(&handle) < 0 || !handle) return nullptr;
    provider->driver = handle;
    if (load(provider->driver, static_cast<const uint8_t*>(bytes), size) < 0) return nullptr;

    // 7. The name written into every sensor's device field.
    provider->cpuName = CpuDisplayName(platform.processorName ? platform.processorName() : std::wstring());

    DriverRegisterAccess access(*provider);
    if (!provider->isAmd) {
        // 8. Intel: the cores, their TjMax and one valid thermal status.
        provider->cores = BuildCoreList(platform.coreTopology ? platform.coreTopology() : std::vector<CoreRecord>{});
        if (provider->cores.empty() || !ProbeIntelCores(provider->cores, access)) return nullptr;
    } else {
        // 9. AMD: register layout and offset by model and name, then one Tctl read.
        provider->ccdBase = AmdCcdBase(provider->family, provider->model);
        provider->tctlOffset = AmdTctlOffset(provider->cpuName);
        if (!ProbeAmdSmn(access)) return nullptr;
    }
    return provider;
}

}  // namespace

std::wstring FindPawnIoLibrary() {
    std::optional<std::wstring> programFiles;
    wchar_t buffer[kProgramFilesChars] = {};
    const DWORD length = GetEnvironmentVariableW(L"ProgramFiles", buffer, kProgramFilesChars);
    // 0: unset (or empty); a length of the buffer or more: it did not fit.
    if (length > 0 && length < kProgramFilesChars) programFiles = std::wstring(buffer, length);
    return ComposePawnIoLibraryPath(ReadMachineString(kUninstallKey, L"InstallLocation"), programFiles);
}

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
    if (length == 0) return records;
    std::vector<uint8_t> buffer(length);
    auto* first = reinterpret_cast<SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX*>(buffer.data());
    if (!GetLogicalProcessorInformationEx(RelationProcessorCore, first, &length)) return records;
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
    return ReadMachineString(kCpuKey, L"ProcessorNameString").value_or(std::wstring());
}

PawnIoPlatform SystemPawnIoPlatform() {
    PawnIoPlatform platform;
    platform.libraryPath = FindPawnIoLibrary;
    platform.cpuId = ReadCpuIdWords;
    platform.coreTopology = ReadCoreTopology;
    platform.processorName = ReadProcessorNameString;
    return platform;
}

std::unique_ptr<Provider> CreatePawnIoProvider(const PawnIoPlatform& platform) {
    try {
        return BuildProvider(platform);
    } catch (const std::exception&) {
        return nullptr;  // e.g. out of memory while building the core list
    }
}

std::unique_ptr<Provider> CreatePawnIoProvider() { return CreatePawnIoProvider(SystemPawnIoPlatform()); }

}  // namespace kalorix
