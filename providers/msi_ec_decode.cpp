#include "providers/msi_ec_decode.h"

#include <algorithm>
#include <string>

namespace kalorix {

namespace {

constexpr int kEcMaxTemperature = 114;  // 0 and 115+ mean "no reading"
constexpr double kEcFanDividend = 480000.0;

bool PlausibleEcTemperature(uint8_t value) { return value >= 1 && value <= kEcMaxTemperature; }

}  // namespace

std::optional<EcPacket> EcPacketFromBytes(const uint8_t* data, size_t size) {
    EcPacket packet{};
    if (data) std::copy_n(data, std::min(size, kEcPacketSize), packet.begin());
    if (packet[0] != 1) return std::nullopt;
    return packet;
}

const wchar_t* EcFanName(int index) {
    static const wchar_t* const kNames[] = {L"CPU fanı", L"GPU fanı", L"Fan 3", L"Fan 4"};
    return index >= 0 && index < 4 ? kNames[index] : L"";
}

void ApplyEcTemperatures(const EcPacket& packet, SensorFrame& frame) {
    const uint8_t cpu = packet[1];
    const uint8_t gpu = packet[2];
    if (PlausibleEcTemperature(cpu)) {
        frame.add(L"msi/temp/cpu", kMsiEcName, L"CPU sıcaklığı", SensorKind::Temperature, cpu);
        if (frame.cpuTempSource != L"PawnIO") {
            frame.cpuTemp = static_cast<double>(cpu);
            frame.cpuTempSource = L"MSI EC";
        }
    }
    if (PlausibleEcTemperature(gpu)) {
        frame.add(L"msi/temp/gpu", kMsiEcName, L"GPU sıcaklığı", SensorKind::Temperature, gpu);
    }
}

void ApplyEcFans(const EcPacket& packet, SensorFrame& frame) {
    for (int i = 0; i < 4; ++i) {
        const unsigned raw = packet[1 + 2 * i] * 256u + packet[2 + 2 * i];
        double rpm = 0.0;
        if (raw != 0) {
            rpm = kEcFanDividend / raw;
        } else if (i >= 2) {
            continue;
        }
        frame.add(L"msi/fan/" + std::to_wstring(i), kMsiEcName, EcFanName(i), SensorKind::Fan, rpm);
        frame.fans.push_back({EcFanName(i), rpm});
    }
}

void PollMsiEc(EcMethodCaller& ec, SensorFrame& frame) {
    if (auto packet = ec.call(kEcMethodTemperature)) ApplyEcTemperatures(*packet, frame);
    if (auto packet = ec.call(kEcMethodFan)) ApplyEcFans(*packet, frame);
}

}  // namespace kalorix
