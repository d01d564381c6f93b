// Processor thermal registers read through the PawnIO driver: everything that
// does not touch the platform. The Windows side (pawnio_provider_win.cpp) loads
// the library, the module and pins threads; the decoding, the core naming and
// the order of register reads of one poll live here, behind CpuRegisterAccess.
#pragma once

#include "providers/perf_counter.h"  // CpuDisplayName

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix {

// ---- Register addresses -------------------------------------------------------

constexpr uint32_t kMsrTemperatureTarget = 0x1A2;  // IA32_TEMPERATURE_TARGET
constexpr uint32_t kMsrThermStatus = 0x19C;        // IA32_THERM_STATUS
constexpr uint32_t kMsrPackageThermStatus = 0x1B1; // IA32_PACKAGE_THERM_STATUS
constexpr uint32_t kSmnTctl = 0x59800;             // THM_TCON_CUR_TMP
constexpr uint32_t kSmnCcdBaseZen = 0x59954;
constexpr uint32_t kSmnCcdBaseZen4 = 0x59B08;
constexpr int kAmdCcdSlots = 12;
constexpr int32_t kDefaultTjMax = 100;

// ---- Processor identification ---------------------------------------------

enum class PawnIoPath : uint32_t { Intel = 0, Amd = 1 };

// The raw words of CPUID leaf 0 (EBX, EDX, ECX) and leaf 1 (EAX).
struct CpuIdWords {
    uint32_t leaf0Ebx = 0;
    uint32_t leaf0Edx = 0;
    uint32_t leaf0Ecx = 0;
    uint32_t leaf1Eax = 0;
};

struct CpuIdentity {
    std::string vendor;  // 12 characters, e.g. "GenuineIntel"
    uint32_t family = 0; // display family
    uint32_t model = 0;  // display model
};

CpuIdentity DecodeCpuId(const CpuIdWords& words);

// Intel (any family) or AMD family 17h to 1Ah; nothing for everything else.
std::optional<PawnIoPath> SelectPawnIoPath(const CpuIdentity& cpu);

// SMN address of the CCD 0 temperature register for an AMD family/model.
uint32_t AmdCcdBase(uint32_t family, uint32_t model);

// Tctl minus Tdie for the models that report an offset Tctl; 0 otherwise.
// Fragments are matched case-sensitively; the last matching row wins.
int32_t AmdTctlOffset(std::wstring_view cpuName);


// ---- Modules ----------------------------------------------------------------------

// The signed module for a processor path, under the name the PawnIO project
// publishes it with ("IntelMSR.bin", "AMDFamily17.bin"). A file of that name
// beside the executable takes precedence over the module built into it.
const wchar_t* PawnIoModuleFileName(PawnIoPath path);
// The module's resource in the program ("PAWNIO_INTELMSR", "PAWNIO_AMDFAMILY17").
const wchar_t* PawnIoModuleResourceName(PawnIoPath path);
// Module files larger than this are not read (the signed modules are a few KB).
inline constexpr size_t kMaxPawnIoModuleBytes = 1u << 20;
// The first bytes of the stand-in modules a build carries when it was made
// without the signed ones (providers/res/make_placeholders.sh).
inline constexpr char kPlaceholderModuleMarker[] = "KALORIX PLACEHOLDER ";
// True for a stand-in module and for an empty one: neither is ever handed to the driver.
bool IsPlaceholderModule(const uint8_t* bytes, size_t size);

// Path of PawnIOLib.dll from the uninstall entry's install location and the
// Program Files folder (either may be missing); empty when neither helps.
std::wstring ComposePawnIoLibraryPath(const std::optional<std::wstring>& installLocation,
                                      const std::optional<std::wstring>& programFiles);

// ---- Cores --------------------------------------------------------------------

// One logical processor: a single bit of one processor group.
struct CoreAffinity {
    uint64_t mask = 0;
    uint16_t group = 0;
};

// One physical core as the topology reports it: its first group mask and class.
struct CoreRecord {
    uint64_t mask = 0;
    uint16_t group = 0;
    uint8_t efficiencyClass = 0;
};

struct CoreInfo {
    CoreAffinity affinity;        // exactly one bit: the core's lowest logical processor
    uint8_t efficiencyClass = 0;  // higher means a faster core
    int32_t tjMax = kDefaultTjMax;
    std::wstring name;            // "Çekirdek #1", "P-çekirdek #1", "E-çekirdek #1"
};

// Cores from topology records: zero masks are skipped, each core keeps the
// lowest bit of its mask, and the list is named by NameCores.
std::vector<CoreInfo> BuildCoreList(const std::vector<CoreRecord>& records);

// Names the cores: without a hybrid design (highest class 0) "Çekirdek #n";
// otherwise the highest class is "P-çekirdek #n" and the rest "E-çekirdek #n",
// each counted separately in list order.
void NameCores(std::vector<CoreInfo>& cores);

// ---- Register decoding ------------------------------------------------------

// TjMax from IA32_TEMPERATURE_TARGET (bits 16-23) when it lies in 70..130.
std::optional<int32_t> DecodeTjMax(uint64_t temperatureTarget);

// Bit 31 of IA32_THERM_STATUS / IA32_PACKAGE_THERM_STATUS: the readout is valid.
inline bool ThermReadingValid(uint64_t status) { return (status >> 31) & 1; }
// Bits 16-22: degrees below TjMax.
inline int32_t ThermDigitalReadout(uint64_t status) { return static_cast<int32_t>((status >> 16) & 0x7F); }
inline bool ThermThrottleBit(uint64_t status) { return status & 1; }
inline bool PackagePowerLimitBit(uint64_t status) { return (status >> 10) & 1; }

// Tctl in °C from THM_TCON_CUR_TMP, when inside (-20, 150).
std::optional<double> DecodeTctl(uint32_t value);
// One CCD temperature in °C, when the valid bit is set and inside (0, 150).
std::optional<double> DecodeCcdTemperature(uint32_t value);

// ---- Register access and polling ---------------------------------------------

// The platform side of the register reads. readMsr reads on the logical
// processor the calling thread runs on; pin/unpin move the calling thread.
class CpuRegisterAccess {
public:
    virtual ~CpuRegisterAccess() = default;
    // Pins the calling thread to one logical processor; false when that fails.
    virtual bool pin(const CoreAffinity& affinity) = 0;
    // Restores the affinity the thread had before the last successful pin.
    virtual void unpin() = 0;
    virtual std::optional<uint64_t> readMsr(uint32_t index) = 0;
    virtual std::optional<uint32_t> readSmn(uint32_t address) = 0;
};

// Reads TjMax of every core and checks that at least one core gives a valid
// thermal status. Updates the cores' tjMax in place.
bool ProbeIntelCores(std::vector<CoreInfo>& cores, CpuRegisterAccess& access);

// One Intel poll: per-core, package and hottest temperatures, the throttle and
// power-limit flags, TjMax and the headline CPU temperature.
void PollIntelCores(const std::vector<CoreInfo>& cores, const std::wstring& cpuName,
                    CpuRegisterAccess& access, SensorFrame& frame);

// True when the Tctl register answers (AMD start-up check).
bool ProbeAmdSmn(CpuRegisterAccess& access);

// One AMD poll: Tctl (and Tdie with an offset), the CCD temperatures and the
// headline CPU temperature.
void PollAmdSmn(uint32_t ccdBase, int32_t tctlOffset, const std::wstring& cpuName,
                CpuRegisterAccess& access, SensorFrame& frame);

}  // namespace kalorix
