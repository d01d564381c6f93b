#include "providers/pawnio_decode.h"

#include <algorithm>
#include <cstring>

#include "sensors/text.h"

namespace kalorix {

namespace {

const wchar_t* const kSourcePawnIo = L"PawnIO";

struct TctlOffsetRow {
    const wchar_t* fragment;
    int32_t offset;
};

// Models whose Tctl runs above the die temperature, searched in this order.
constexpr TctlOffsetRow kTctlOffsetTable[] = {
    {L"Ryzen 5 1600X", 20},   {L"Ryzen 7 1700X", 20},   {L"Ryzen 7 1800X", 20},
    {L"Ryzen 7 2700X", 10},   {L"Threadripper 19", 27}, {L"Threadripper 29", 27},
};

// Keeps the calling thread on one logical processor for its lifetime and puts
// it back afterwards, also when the body leaves by an exception.
class PinScope {
public:
    PinScope(CpuRegisterAccess& access, const CoreAffinity& affinity)
        : access_(access), pinned_(access.pin(affinity)) {}
    ~PinScope() {
        if (pinned_) access_.unpin();
    }
    PinScope(const PinScope&) = delete;
    PinScope& operator=(const PinScope&) = delete;
    bool pinned() const { return pinned_; }

private:
    CpuRegisterAccess& access_;
    bool pinned_;
};

void AppendVendorWord(std::string& out, uint32_t word) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((word >> (8 * i)) & 0xFF));
}

}  // namespace

CpuIdentity DecodeCpuId(const CpuIdWords& words) {
    CpuIdentity cpu;
    AppendVendorWord(cpu.vendor, words.leaf0Ebx);
    AppendVendorWord(cpu.vendor, words.leaf0Edx);
    AppendVendorWord(cpu.vendor, words.leaf0Ecx);
    const uint32_t eax = words.leaf1Eax;
    const uint32_t baseFamily = (eax >> 8) & 0xF;
    const uint32_t baseModel = (eax >> 4) & 0xF;
    cpu.family = baseFamily == 15 ? ((eax >> 20) & 0xFF) + 15 : baseFamily;
    cpu.model = (baseFamily == 15 || baseFamily == 6) ? baseModel + (((eax >> 16) & 0xF) << 4) : baseModel;
    return cpu;
}

std::optional<PawnIoPath> SelectPawnIoPath(const CpuIdentity& cpu) {
    if (cpu.vendor == "GenuineIntel") return PawnIoPath::Intel;
    if (cpu.vendor == "AuthenticAMD" && cpu.family >= 0x17 && cpu.family <= 0x1A) return PawnIoPath::Amd;
    return std::nullopt;
}

uint32_t AmdCcdBase(uint32_t family, uint32_t model) {
    const bool zen4Layout =
        family == 0x1A ||
        (family == 0x19 && ((model >= 0x10 && model <= 0x1F) || (model >= 0x60 && model <= 0x7F) ||
                            (model >= 0xA0 && model <= 0xAF)));
    return zen4Layout ? kSmnCcdBaseZen4 : kSmnCcdBaseZen;
}

int32_t AmdTctlOffset(std::wstring_view cpuName) {
    int32_t offset = 0;
    for (const auto& row : kTctlOffsetTable) {
        if (cpuName.find(row.fragment) != std::wstring_view::npos) offset = row.offset;
    }
    return offset;
}

const wchar_t* PawnIoModuleFileName(PawnIoPath path) {
    return path == PawnIoPath::Amd ? L"AMDFamily17.bin" : L"IntelMSR.bin";
}

const wchar_t* PawnIoModuleResourceName(PawnIoPath path) {
    return path == PawnIoPath::Amd ? L"PAWNIO_AMDFAMILY17" : L"PAWNIO_INTELMSR";
}

bool IsPlaceholderModule(const uint8_t* bytes, size_t size) {
    constexpr size_t markerSize = sizeof(kPlaceholderModuleMarker) - 1;
    if (!bytes || size == 0) return true;
    return size >= markerSize && std::memcmp(bytes, kPlaceholderModuleMarker, markerSize) == 0;
}

std::wstring ComposePawnIoLibraryPath(const std::optional<std::wstring>& installLocation,
                                      const std::optional<std::wstring>& programFiles) {
    std::wstring folder;
    if (installLocation) folder = TrimSpaces(std::wstring_view(*installLocation));
    if (folder.empty()) {
        if (!programFiles || programFiles->empty()) return {};
        folder = *programFiles + L"\\PawnIO";
    }
    if (folder.back() != L'\\') folder.push_back(L'\\');
    folder += L"PawnIOLib.dll";
    return folder;
}

std::vector<CoreInfo> BuildCoreList(const std::vector<CoreRecord>& records) {
    std::vector<CoreInfo> cores;
    cores.reserve(records.size());
    for (const auto& record : records) {
        if (record.mask == 0) continue;
        CoreInfo core;
        core.affinity.mask = record.mask & (~record.mask + 1);  // lowest set bit
        core.affinity.group = record.group;
        core.efficiencyClass = record.efficiencyClass;
        cores.push_back(std::move(core));
    }
    NameCores(cores);
    return cores;
}

void NameCores(std::vector<CoreInfo>& cores) {
    uint8_t highest = 0;
    for (const auto& core : cores) highest = std::max(highest, core.efficiencyClass);
    int plain = 0, performance = 0, efficiency = 0;
    for (auto& core : cores) {
        if (highest == 0) {
            core.name = L"Çekirdek #" + std::to_wstring(++plain);
        } else if (core.efficiencyClass == highest) {
            core.name = L"P-çekirdek #" + std::to_wstring(++performance);
        } else {
            core.name = L"E-çekirdek #" + std::to_wstring(++efficiency);
        }
    }
}

std::optional<int32_t> DecodeTjMax(uint64_t temperatureTarget) {
    const int32_t t = static_cast<int32_t>((temperatureTarget >> 16) & 0xFF);
    if (t >= 70 && t <= 130) return t;
    return std::nullopt;
}

std::optional<double> DecodeTctl(uint32_t value) {
    double tctl = (value >> 21) * 0.125;
    if ((value >> 19) & 1) tctl -= 49.0;
    if (tctl > -20.0 && tctl < 150.0) return tctl;
    return std::nullopt;
}

std::optional<double> DecodeCcdTemperature(uint32_t value) {
    if (!((value >> 11) & 1)) return std::nullopt;
    const double t = (value & 0x7FF) * 0.125 - 49.0;
    if (t > 0.0 && t < 150.0) return t;
    return std::nullopt;
}

bool ProbeIntelCores(std::vector<CoreInfo>& cores, CpuRegisterAccess& access) {
    int counted = 0;
    for (auto& core : cores) {
        PinScope pin(access, core.affinity);
        if (!pin.pinned()) continue;
        if (auto target = access.readMsr(kMsrTemperatureTarget)) {
            if (auto tj = DecodeTjMax(*target)) core.tjMax = *tj;
        }
        if (auto status = access.readMsr(kMsrThermStatus); status && ThermReadingValid(*status)) ++counted;
    }
    return counted > 0;
}

void PollIntelCores(const std::vector<CoreInfo>& cores, const std::wstring& cpuName,
                    CpuRegisterAccess& access, SensorFrame& frame) {
    std::optional<double> hottest;
    std::optional<double> package;
    for (size_t i = 0; i < cores.size(); ++i) {
        const CoreInfo& core = cores[i];
        PinScope pin(access, core.affinity);
        if (!pin.pinned()) continue;
        const auto status = access.readMsr(kMsrThermStatus);
        if (!status || !ThermReadingValid(*status)) continue;
        const double temp = core.tjMax - ThermDigitalReadout(*status);
        frame.add(L"pawnio/temp/core" + std::to_wstring(i), cpuName, core.name + L" sıcaklık",
                  SensorKind::Temperature, temp);
        if (!hottest || temp > *hottest) hottest = temp;
        if (i == 0) {
            if (auto pkg = access.readMsr(kMsrPackageThermStatus)) {
                if (ThermReadingValid(*pkg)) package = static_cast<double>(core.tjMax - ThermDigitalReadout(*pkg));
                frame.thermalThrottle = ThermThrottleBit(*pkg);
                frame.powerLimit = PackagePowerLimitBit(*pkg);
                frame.thermalThrottleKnown = true;
                frame.powerLimitKnown = true;
            }
            frame.tjMax = static_cast<double>(core.tjMax);
        }
        if (ThermThrottleBit(*status)) {
            frame.thermalThrottle = true;
            frame.thermalThrottleKnown = true;
        }
    }
    if (package) frame.add(L"pawnio/temp/package", cpuName, L"Paket sıcaklığı", SensorKind::Temperature, *package);
    if (hottest) frame.add(L"pawnio/temp/hottest", cpuName, L"En sıcak çekirdek", SensorKind::Temperature, *hottest);
    if (const auto headline = package ? package : hottest) {
        frame.cpuTemp = *headline;
        frame.cpuTempSource = kSourcePawnIo;
    }
}

bool ProbeAmdSmn(CpuRegisterAccess& access) { return access.readSmn(kSmnTctl).has_value(); }

void PollAmdSmn(uint32_t ccdBase, int32_t tctlOffset, const std::wstring& cpuName,
                CpuRegisterAccess& access, SensorFrame& frame) {
    std::optional<double> tctl;
    if (auto raw = access.readSmn(kSmnTctl)) tctl = DecodeTctl(*raw);
    double tdie = 0.0;
    if (tctl) {
        frame.add(L"pawnio/temp/tctl", cpuName, tctlOffset != 0 ? L"Tctl" : L"Tctl/Tdie",
                  SensorKind::Temperature, *tctl);
        tdie = *tctl - tctlOffset;
        if (tctlOffset != 0) frame.add(L"pawnio/temp/tdie", cpuName, L"Tdie", SensorKind::Temperature, tdie);
    }
    for (int c = 0; c < kAmdCcdSlots; ++c) {
        const auto raw = access.readSmn(ccdBase + 4u * static_cast<uint32_t>(c));
        if (!raw) continue;
        const auto t = DecodeCcdTemperature(*raw);
        if (!t) continue;
        frame.add(L"pawnio/temp/ccd" + std::to_wstring(c), cpuName, L"CCD" + std::to_wstring(c + 1) + L" sıcaklık",
                  SensorKind::Temperature, *t);
    }
    if (tctl) {
        frame.cpuTemp = tdie;
        frame.cpuTempSource = kSourcePawnIo;
    }
}

}  // namespace kalorix
