// The MSI embedded controller's answers as the vendor WMI class MSI_ACPI hands
// them over: 32-byte packets with a status byte. Decoding and the rules of one
// poll live here; the WMI exchange is in msi_ec_provider_win.cpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "sensors/sensor_model.h"

namespace kalorix {

constexpr size_t kEcPacketSize = 32;
using EcPacket = std::array<uint8_t, kEcPacketSize>;

inline constexpr wchar_t kMsiEcName[] = L"MSI gömülü denetleyici";
inline constexpr wchar_t kEcMethodTemperature[] = L"Get_Temperature";
inline constexpr wchar_t kEcMethodFan[] = L"Get_Fan";

// A packet from the bytes of an answer: a shorter answer is padded with zeros,
// a longer one cut at 32 bytes. Nothing when the status byte is not 1.
std::optional<EcPacket> EcPacketFromBytes(const uint8_t* data, size_t size);

// Fan name by index 0-3: "CPU fanı", "GPU fanı", "Fan 3", "Fan 4".
const wchar_t* EcFanName(int index);

// Appends "msi/temp/cpu" and "msi/temp/gpu" (whole °C, 1-114) and sets the
// headline CPU temperature unless PawnIO already supplied it.
void ApplyEcTemperatures(const EcPacket& packet, SensorFrame& frame);

// Appends "msi/fan/0".."msi/fan/3" and the frame's fan list. A zero raw value
// is a stopped fan for the first two and no fan for the other two.
void ApplyEcFans(const EcPacket& packet, SensorFrame& frame);

// The two methods of the vendor class, as the poll needs them.
class EcMethodCaller {
public:
    virtual ~EcMethodCaller() = default;
    // Runs one method; a packet only when the call worked and its status is 1.
    virtual std::optional<EcPacket> call(const wchar_t* method) = 0;
};

// One poll: Get_Temperature, then Get_Fan; a failing call drops only its own sensors.
void PollMsiEc(EcMethodCaller& ec, SensorFrame& frame);

}  // namespace kalorix
