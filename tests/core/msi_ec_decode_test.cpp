#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "providers/msi_ec_decode.h"

using namespace kalorix;

namespace {

EcPacket Packet(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> v(bytes);
    auto p = EcPacketFromBytes(v.data(), v.size());
    EXPECT_TRUE(p);
    return p.value_or(EcPacket{});
}

// Recorded answers per method; a missing method is a failed call.
class RecordedEc : public EcMethodCaller {
public:
    std::map<std::wstring, std::vector<uint8_t>> answers;
    std::vector<std::wstring> calls;
    std::optional<EcPacket> call(const wchar_t* method) override {
        calls.push_back(method);
        auto it = answers.find(method);
        if (it == answers.end()) return std::nullopt;
        return EcPacketFromBytes(it->second.data(), it->second.size());
    }
};

const SensorReading* Find(const SensorFrame& f, const std::wstring& id) {
    for (const auto& r : f.readings)
        if (r.id == id) return &r;
    return nullptr;
}

}  // namespace

TEST(MsiEcPacket, PaddingCuttingAndStatus) {
    const uint8_t shortAnswer[] = {1, 50, 60};
    auto p = EcPacketFromBytes(shortAnswer, sizeof shortAnswer);
    ASSERT_TRUE(p);
    EXPECT_EQ((*p)[2], 60);
    EXPECT_EQ((*p)[3], 0);
    EXPECT_EQ((*p)[31], 0);

    std::vector<uint8_t> longAnswer(40, 7);
    longAnswer[0] = 1;
    auto q = EcPacketFromBytes(longAnswer.data(), longAnswer.size());
    ASSERT_TRUE(q);
    EXPECT_EQ((*q)[31], 7);

    const uint8_t status0[] = {0, 50, 60};
    EXPECT_FALSE(EcPacketFromBytes(status0, 3));
    const uint8_t status2[] = {2, 50, 60};
    EXPECT_FALSE(EcPacketFromBytes(status2, 3));
    EXPECT_FALSE(EcPacketFromBytes(nullptr, 0));
    EXPECT_FALSE(EcPacketFromBytes(shortAnswer, 0));  // an empty answer has status 0
}

TEST(MsiEcTemperatures, RangeAndLabels) {
    SensorFrame f;
    ApplyEcTemperatures(Packet({1, 114, 45}), f);
    ASSERT_EQ(f.readings.size(), 2u);
    EXPECT_EQ(f.readings[0].id, L"msi/temp/cpu");
    EXPECT_EQ(f.readings[0].label, L"CPU sıcaklığı");
    EXPECT_EQ(f.readings[0].device, L"MSI gömülü denetleyici");
    EXPECT_EQ(f.readings[0].kind, SensorKind::Temperature);
    EXPECT_DOUBLE_EQ(f.readings[0].value, 114);
    EXPECT_EQ(f.readings[1].id, L"msi/temp/gpu");
    EXPECT_EQ(f.readings[1].label, L"GPU sıcaklığı");
    EXPECT_DOUBLE_EQ(f.readings[1].value, 45);
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 114);
    EXPECT_EQ(f.cpuTempSource, L"MSI EC");

    SensorFrame g;
    ApplyEcTemperatures(Packet({1, 0, 115}), g);
    EXPECT_TRUE(g.readings.empty());
    EXPECT_FALSE(g.cpuTemp);
    EXPECT_TRUE(g.cpuTempSource.empty());

    SensorFrame h;
    ApplyEcTemperatures(Packet({1, 115, 1}), h);
    ASSERT_EQ(h.readings.size(), 1u);
    EXPECT_EQ(h.readings[0].id, L"msi/temp/gpu");
    EXPECT_FALSE(h.cpuTemp);
}

TEST(MsiEcTemperatures, PrecedencePawnIoThenEcThenAcpi) {
    SensorFrame acpi;
    acpi.cpuTemp = 60;
    acpi.cpuTempSource = L"ACPI";
    ApplyEcTemperatures(Packet({1, 70, 0}), acpi);
    EXPECT_DOUBLE_EQ(*acpi.cpuTemp, 70);
    EXPECT_EQ(acpi.cpuTempSource, L"MSI EC");

    SensorFrame pawn;
    pawn.cpuTemp = 55;
    pawn.cpuTempSource = L"PawnIO";
    ApplyEcTemperatures(Packet({1, 70, 0}), pawn);
    EXPECT_DOUBLE_EQ(*pawn.cpuTemp, 55);
    EXPECT_EQ(pawn.cpuTempSource, L"PawnIO");
    ASSERT_NE(Find(pawn, L"msi/temp/cpu"), nullptr);  // the EC sensor itself is still listed

    // Only exactly "PawnIO" protects the value.
    SensorFrame other;
    other.cpuTemp = 55;
    other.cpuTempSource = L"PawnIO ";
    ApplyEcTemperatures(Packet({1, 70, 0}), other);
    EXPECT_EQ(other.cpuTempSource, L"MSI EC");
}

TEST(MsiEcFans, RawValuesAndStoppedFans) {
    SensorFrame f;
    ApplyEcFans(Packet({1, 0x00, 0x78, 0x01, 0x2C, 0x00, 0x07, 0xFF, 0xFF}), f);
    ASSERT_EQ(f.readings.size(), 4u);
    EXPECT_EQ(f.readings[0].id, L"msi/fan/0");
    EXPECT_EQ(f.readings[0].label, L"CPU fanı");
    EXPECT_EQ(f.readings[0].kind, SensorKind::Fan);
    EXPECT_DOUBLE_EQ(f.readings[0].value, 4000);
    EXPECT_EQ(f.readings[1].label, L"GPU fanı");
    EXPECT_DOUBLE_EQ(f.readings[1].value, 1600);
    EXPECT_EQ(f.readings[2].label, L"Fan 3");
    EXPECT_NEAR(f.readings[2].value, 480000.0 / 7, 1e-9);
    EXPECT_EQ(f.readings[3].id, L"msi/fan/3");
    EXPECT_EQ(f.readings[3].label, L"Fan 4");
    EXPECT_NEAR(f.readings[3].value, 480000.0 / 65535, 1e-9);
    ASSERT_EQ(f.fans.size(), 4u);
    EXPECT_EQ(f.fans[1].name, L"GPU fanı");
    EXPECT_DOUBLE_EQ(f.fans[1].speed, 1600);

    SensorFrame zero;
    ApplyEcFans(Packet({1}), zero);  // a one-byte answer: every fan byte counts as 0
    ASSERT_EQ(zero.readings.size(), 2u);
    EXPECT_EQ(zero.readings[0].id, L"msi/fan/0");
    EXPECT_DOUBLE_EQ(zero.readings[0].value, 0);
    EXPECT_EQ(zero.readings[1].id, L"msi/fan/1");
    ASSERT_EQ(zero.fans.size(), 2u);
    EXPECT_DOUBLE_EQ(zero.fans[1].speed, 0);

    // Fan 3 stopped but fan 4 running: fan 3 is left out, fan 4 stays "msi/fan/3".
    SensorFrame gap;
    ApplyEcFans(Packet({1, 0, 120, 0, 120, 0, 0, 0, 240}), gap);
    ASSERT_EQ(gap.readings.size(), 3u);
    EXPECT_EQ(gap.readings[2].id, L"msi/fan/3");
    EXPECT_DOUBLE_EQ(gap.readings[2].value, 2000);
}

TEST(MsiEcPoll, FailingMethodDropsOnlyItsSensors) {
    RecordedEc ec;
    ec.answers[L"Get_Temperature"] = {0, 70, 50};  // status 0
    ec.answers[L"Get_Fan"] = {1, 0, 120};
    SensorFrame f;
    f.cpuTemp = 42;
    f.cpuTempSource = L"ACPI";
    PollMsiEc(ec, f);
    EXPECT_EQ(ec.calls, (std::vector<std::wstring>{L"Get_Temperature", L"Get_Fan"}));
    EXPECT_EQ(Find(f, L"msi/temp/cpu"), nullptr);
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 42);
    EXPECT_EQ(f.cpuTempSource, L"ACPI");
    ASSERT_EQ(f.readings.size(), 2u);
    EXPECT_DOUBLE_EQ(f.readings[0].value, 4000);

    ec.answers[L"Get_Temperature"] = {1, 66, 51};
    ec.answers.erase(L"Get_Fan");
    SensorFrame g;
    PollMsiEc(ec, g);
    ASSERT_EQ(g.readings.size(), 2u);
    EXPECT_TRUE(g.fans.empty());
    EXPECT_DOUBLE_EQ(*g.cpuTemp, 66);
}
