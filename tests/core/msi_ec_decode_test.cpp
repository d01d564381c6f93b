// MSI embedded-controller packets: status and size, temperatures, fans, and a failing method.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "providers/msi_ec_decode.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;
using test::Ids;

namespace {

EcPacket Packet(std::initializer_list<uint8_t> bytes) {
    std::vector<uint8_t> v(bytes);
    auto p = EcPacketFromBytes(v.data(), v.size());
    EXPECT_TRUE(p);
    return p.value_or(EcPacket{});
}

SensorFrame Temperatures(std::initializer_list<uint8_t> bytes, std::wstring earlierSource = L"") {
    SensorFrame f;
    if (!earlierSource.empty()) f.cpuTemp = 55, f.cpuTempSource = earlierSource;
    ApplyEcTemperatures(Packet(bytes), f);
    return f;
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

}  // namespace

TEST(MsiEcPacket, PaddingCuttingAndStatus) {
    EXPECT_EQ(Packet({1, 50, 60})[31], 0);
    std::vector<uint8_t> longAnswer(40, 7);
    longAnswer[0] = 1;
    EXPECT_EQ((*EcPacketFromBytes(longAnswer.data(), longAnswer.size()))[31], 7);
    const uint8_t bad[] = {2, 50, 60};  // status other than 1; an empty answer has status 0
    EXPECT_FALSE(EcPacketFromBytes(bad, 3) || EcPacketFromBytes(bad + 1, 0) || EcPacketFromBytes(nullptr, 0));
}

TEST(MsiEcTemperatures, RangeAndPrecedence) {
    SensorFrame f = Temperatures({1, 114, 45});
    EXPECT_EQ(Ids(f), (std::vector<std::wstring>{L"msi/temp/cpu", L"msi/temp/gpu"}));
    EXPECT_DOUBLE_EQ(*f.cpuTemp, 114);
    EXPECT_TRUE(Temperatures({1, 0, 115}).readings.empty());
    EXPECT_EQ(Ids(Temperatures({1, 115, 1})), std::vector<std::wstring>{L"msi/temp/gpu"});

    // The EC replaces ACPI but never PawnIO (exactly that source); its sensor is listed either way.
    EXPECT_EQ(Temperatures({1, 70, 0}, L"ACPI").cpuTempSource, L"MSI EC");
    f = Temperatures({1, 70, 0}, L"PawnIO");
    EXPECT_TRUE(*f.cpuTemp == 55 && Find(f, L"msi/temp/cpu"));
    EXPECT_EQ(Temperatures({1, 70, 0}, L"PawnIO ").cpuTempSource, L"MSI EC");
}

TEST(MsiEcFans, RawValuesAndStoppedFans) {
    SensorFrame f;
    ApplyEcFans(Packet({1, 0x00, 0x78, 0x01, 0x2C, 0x00, 0x07, 0xFF, 0xFF}), f);
    ASSERT_EQ(f.readings.size(), 4u);
    EXPECT_EQ(std::pair(f.readings[0].value, f.fans.size()), std::pair(4000.0, size_t{4}));  // 480000 / big-endian count
    EXPECT_NEAR(f.readings[3].value, 480000.0 / 65535, 1e-9);

    // Zero: a stopped fan for the first two, no fan for the others.
    SensorFrame zero;
    ApplyEcFans(Packet({1}), zero);
    EXPECT_EQ(Ids(zero), (std::vector<std::wstring>{L"msi/fan/0", L"msi/fan/1"}));
    SensorFrame gap;  // fan 3 stopped, fan 4 running: fan 4 keeps its id
    ApplyEcFans(Packet({1, 0, 120, 0, 120, 0, 0, 0, 240}), gap);
    EXPECT_EQ(Ids(gap), (std::vector<std::wstring>{L"msi/fan/0", L"msi/fan/1", L"msi/fan/3"}));
}

TEST(MsiEcPoll, FailingMethodDropsOnlyItsSensors) {
    RecordedEc ec;
    ec.answers[L"Get_Temperature"] = {0, 70, 50};  // status 0
    ec.answers[L"Get_Fan"] = {1, 0, 120};
    SensorFrame f;
    f.cpuTemp = 42, f.cpuTempSource = L"ACPI";
    PollMsiEc(ec, f);
    EXPECT_EQ(ec.calls, (std::vector<std::wstring>{L"Get_Temperature", L"Get_Fan"}));
    EXPECT_EQ(Ids(f), (std::vector<std::wstring>{L"msi/fan/0", L"msi/fan/1"}));
    EXPECT_EQ(f.cpuTempSource, L"ACPI");

    ec.answers[L"Get_Temperature"] = {1, 66, 51};
    ec.answers.erase(L"Get_Fan");
    SensorFrame g;
    PollMsiEc(ec, g);
    EXPECT_TRUE(g.readings.size() == 2 && g.fans.empty());
}
