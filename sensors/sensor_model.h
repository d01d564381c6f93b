// Sensor records shared by the providers, the sampling engine and the pages.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalorix {

enum class SensorKind : uint32_t {
    Temperature = 0,  // °C
    Load = 1,         // percent 0-100
    Clock = 2,        // MHz
    Power = 3,        // W
    Fan = 4,          // RPM
    Data = 5,         // GB (bytes / 2^30)
    Level = 6,        // percent 0-100
};

// Turkish type name shown on the sensors page ("Sıcaklık", "Yük", ...).
const wchar_t* SensorKindName(SensorKind kind);

struct SensorReading {
    std::wstring id;
    std::wstring device;
    std::wstring label;
    SensorKind kind = SensorKind::Temperature;
    double value = 0.0;
};

struct SensorEntry {
    std::wstring id;
    std::wstring device;
    std::wstring label;
    SensorKind kind = SensorKind::Temperature;
    double value = 0.0;
    double min = 0.0;
    double max = 0.0;
    // Monotonic seconds of the cycle that last read it: equal to the
    // snapshot's updatedAt when the sensor reported in the latest cycle.
    double seenAt = 0.0;
};

struct FanReading {
    std::wstring name;
    double speed = 0.0;  // RPM
};

struct GpuSummary {
    std::wstring name;
    bool discrete = false;
    std::optional<double> temperature;
    std::optional<double> fanSpeed;
    std::optional<double> load;
    uint64_t dedicatedUsedBytes = 0;
    uint64_t dedicatedTotalBytes = 0;
};

// The headline fields of one cycle: what the providers set besides their readings.
struct FrameHeadline {
    std::optional<double> cpuTemp;
    std::wstring cpuTempSource;  // "ACPI", "MSI EC" or "PawnIO"; empty without cpuTemp
    std::optional<double> cpuLoad;
    std::optional<double> cpuClock;
    std::optional<double> cpuPackagePower;
    bool thermalThrottle = false;
    bool thermalThrottleKnown = false;
    bool powerLimit = false;
    bool powerLimitKnown = false;
    std::optional<double> tjMax;
    std::optional<GpuSummary> gpu;
    std::optional<double> hottestDiskTemp;
    std::wstring hottestDiskName;
    std::vector<FanReading> fans;
    uint64_t memoryTotalBytes = 0;
    uint64_t memoryAvailableBytes = 0;
    bool hasBattery = false;
    int32_t batteryPercent = 0;
    bool charging = false;
    bool onAcPower = false;
    uint32_t designCapacity = 0;
    uint32_t fullChargeCapacity = 0;
    uint32_t cycleCount = 0;
};

constexpr size_t kFrameReadingCapacity = 128;

struct SensorFrame : FrameHeadline {
    std::vector<SensorReading> readings;

    SensorFrame() { readings.reserve(kFrameReadingCapacity); }
    // Empties every field; keeps the reserved room for readings.
    void clear() {
        static_cast<FrameHeadline&>(*this) = FrameHeadline{};
        readings.clear();
    }
    // Provider helper: appends one reading.
    void add(std::wstring id, std::wstring device, std::wstring label, SensorKind kind, double value) {
        readings.push_back({std::move(id), std::move(device), std::move(label), kind, value});
    }
};

struct HistoryPoint {
    double time = 0.0;  // monotonic seconds
    std::optional<double> cpuTemp;
    std::optional<double> gpuTemp;
};

struct HeavyUsePeriod {
    int64_t startTime = 0;  // seconds since 1970 UTC
    double duration = 0.0;
    double busySeconds = 0.0;
    double atLimitSeconds = 0.0;
    bool precise = false;
    double maxCpuTemp = 0.0;
    double avgCpuTemp = 0.0;
    double maxGpuTemp = 0.0;
    double avgCpuClock = 0.0;
    double avgCpuPower = 0.0;
};

// Local wall-clock time as the platform reports it (the SYSTEMTIME layout).
struct LocalTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

// What PawnIO can do for this process. Only the PawnIO provider and its host
// decide it; the Settings page and the Overview banner say it in words.
enum class PawnIoState : uint32_t {
    Usable = 0,         // a module for this processor is at hand; not started (not installed or not elevated)
    NoModules,          // this build carries only stand-ins for the processor's module
    Unsupported,        // no module exists for this processor family
    LibraryRejected,    // PawnIOLib.dll failed the signature check or could not be loaded (code)
    DriverUnavailable,  // the driver could not be opened (code: its status)
    ModuleRefused,      // the driver refused the module (code: its status)
    NoReading,          // module loaded, but the first register read failed
    Working,            // the provider runs
};

struct PawnIoStatus {
    PawnIoState state = PawnIoState::Usable;
    int32_t code = 0;  // the failing call's status or error code, where the state has one
};

struct SensorSnapshot : FrameHeadline {
    std::vector<SensorEntry> sensors;
    std::vector<HistoryPoint> history;
    std::optional<double> cpuTempShown;
    std::optional<double> cpuTempMin, cpuTempMax, gpuTempMin, gpuTempMax;
    bool valid = false;
    bool elevated = false;
    bool msiBoard = false;
    bool msiProviderActive = false;
    bool pawnIoInstalled = false;
    bool pawnIoActive = false;
    PawnIoStatus pawnIo;
    bool atLimitNow = false;
    double busySecondsRecent = 0.0;
    double atLimitSecondsRecent = 0.0;
    std::optional<HeavyUsePeriod> currentPeriod;
    double updatedAt = 0.0;
    LocalTime localTime;
};

// One source of readings. Created, polled and destroyed on the sampling thread.
class Provider {
public:
    virtual ~Provider() = default;
    virtual const wchar_t* name() const = 0;
    // Appends readings and sets the headline fields this source owns. May throw;
    // the engine keeps what was appended before the throw.
    virtual void poll(SensorFrame& frame) = 0;
};

// "%02d" of a zero-based core index plus one: core 0 gives "01".
std::wstring CoreNumber2(int coreIndex);

}  // namespace kalorix
