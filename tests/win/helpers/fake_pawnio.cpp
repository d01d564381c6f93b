// A stand-in PawnIOLib.dll: any module blob is accepted (and recorded) except the
// placeholder modules; a loaded blob provides the functions named in it, serving
// recorded register values. The scenario comes from KALORIX_FAKE_PAWNIO, read on every call:
//   "intel" (also when unset)  per-core MSRs by the calling thread's pinned processor
//   "intel-invalid"            every thermal status without its valid bit
//   "amd"                      SMN values at both CCD layouts
//   "refuse-load"              the driver refuses every module
//   "no-open"                  the driver cannot be opened
//   "null-handle"              open reports success but yields no handle
// fake_pawnio_stats / fake_pawnio_reset let a test see what was called.
#include <windows.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace {

constexpr int32_t kFail = static_cast<int32_t>(0x80070005);  // access denied
constexpr int32_t kNotFound = static_cast<int32_t>(0x80070002);
constexpr int32_t kBadSignature = static_cast<int32_t>(0xC0000428);  // STATUS_INVALID_IMAGE_HASH

// What a loaded blob provides (bits).
enum Provides : int32_t { kNone = 0, kMsr = 1, kSmn = 2 };

struct Stats {
    int32_t opens, closes, loads, loadedModule;  // loads: refused ones included; loadedModule: Provides bits
    uint64_t loadedSize, loadedHash;             // of the accepted blob (FNV-1a)
    int32_t unpinnedMsrReads, lastHandleClosedOk;
};

Stats g_stats{};
int g_handleToken = 0;  // the handle is this object's address

std::string Scenario() {
    char buffer[64] = {};
    const DWORD n = GetEnvironmentVariableA("KALORIX_FAKE_PAWNIO", buffer, sizeof buffer);
    return n == 0 || n >= sizeof buffer ? "intel" : buffer;
}

bool Contains(const uint8_t* bytes, size_t size, const char* text) {
    return std::string_view(reinterpret_cast<const char*>(bytes), size).find(text) != std::string_view::npos;
}

uint64_t Fnv1a(const uint8_t* bytes, size_t size) {
    uint64_t hash = 14695981039346656037ull;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
    return hash;
}

// The one logical processor the calling thread is pinned to, or -1.
int PinnedProcessor() {
    GROUP_AFFINITY affinity{};
    if (!GetThreadGroupAffinity(GetCurrentThread(), &affinity)) return -1;
    const uint64_t mask = affinity.Mask;
    return std::has_single_bit(mask) ? affinity.Group * 64 + std::countr_zero(mask) : -1;
}

bool IntelMsr(const std::string& scenario, uint32_t index, uint64_t& value) {
    const int cpu = PinnedProcessor();
    if (cpu < 0) {
        ++g_stats.unpinnedMsrReads;
        return false;
    }
    const uint64_t valid = scenario == "intel-invalid" ? 0 : 1ull << 31;
    switch (index) {
    case 0x1A2:  // TjMax: 95 on processor 0, 131 (implausible) on 1, 90 elsewhere
        value = uint64_t(cpu == 0 ? 95 : cpu == 1 ? 131 : 90) << 16;
        return true;
    case 0x19C:  // readout 30 + 10 per processor; processor 1 throttles
        value = valid | (uint64_t(30 + 10 * cpu) & 0x7F) << 16 | (cpu == 1 ? 1 : 0);
        return true;
    case 0x1B1:  // package: readout 35, power limit active
        value = valid | (35ull << 16) | (1ull << 10);
        return true;
    default:
        return false;
    }
}

bool AmdSmn(uint32_t address, uint64_t& value) {
    auto ccd = [](double celsius) { return uint64_t(0x800 | uint32_t((celsius + 49) * 8)); };
    switch (address) {
    case 0x59800:
        value = 0xFFFFFFFF00000000ull | (600u << 21);  // 75 °C; the high half must be ignored
        return true;
    case 0x59954: value = ccd(60); return true;
    case 0x59958: value = ccd(58.5); return true;
    case 0x59B08: value = ccd(45); return true;
    default:
        value = 0;  // answers, but without the valid bit
        return true;
    }
}

}  // namespace

extern "C" {

__declspec(dllexport) int32_t WINAPI pawnio_open(void** handle) {
    ++g_stats.opens;
    const std::string scenario = Scenario();
    if (!handle || scenario == "no-open") return kFail;
    *handle = scenario == "null-handle" ? nullptr : &g_handleToken;
    return 0;
}

__declspec(dllexport) int32_t WINAPI pawnio_load(void* handle, const uint8_t* module, size_t size) {
    ++g_stats.loads;
    if (handle != &g_handleToken || !module) return kFail;
    if (Scenario() == "refuse-load") return kBadSignature;
    if (size >= 20 && std::memcmp(module, "KALORIX PLACEHOLDER ", 20) == 0) return kBadSignature;
    g_stats.loadedModule = (Contains(module, size, "ioctl_read_msr") ? kMsr : 0) |
                           (Contains(module, size, "ioctl_read_smn") ? kSmn : 0);
    g_stats.loadedSize = size;
    g_stats.loadedHash = Fnv1a(module, size);
    return 0;
}

__declspec(dllexport) int32_t WINAPI pawnio_execute(void* handle, const char* function, const uint64_t* in,
                                                    size_t inCount, uint64_t* out, size_t outCount,
                                                    size_t* returned) {
    if (returned) *returned = 0;
    if (handle != &g_handleToken || !function || !in || inCount != 1 || !out || outCount < 1 || !returned)
        return kFail;
    const std::string scenario = Scenario();
    uint64_t value = 0;
    bool ok = false;
    if (std::strcmp(function, "ioctl_read_msr") == 0 && (g_stats.loadedModule & kMsr)) {
        ok = IntelMsr(scenario, static_cast<uint32_t>(in[0]), value);
    } else if (std::strcmp(function, "ioctl_read_smn") == 0 && (g_stats.loadedModule & kSmn)) {
        ok = AmdSmn(static_cast<uint32_t>(in[0]), value);
    } else {
        return kNotFound;
    }
    if (!ok) return kFail;
    out[0] = value;
    *returned = 1;
    return 0;
}

__declspec(dllexport) int32_t WINAPI pawnio_close(void* handle) {
    ++g_stats.closes;
    g_stats.lastHandleClosedOk = handle == &g_handleToken ? 1 : 0;
    g_stats.loadedModule = kNone;
    return 0;
}

__declspec(dllexport) const Stats* WINAPI fake_pawnio_stats() { return &g_stats; }
__declspec(dllexport) void WINAPI fake_pawnio_reset() { g_stats = Stats{}; }

}  // extern "C"
