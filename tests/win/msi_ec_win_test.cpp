// The MSI embedded-controller provider: the shapes of the WMI byte arrays and
// the start-up probe with recorded MSI_ACPI answers. The packets' rules are checked natively.
#include <windows.h>

#include <objbase.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "providers/msi_ec_provider_win.h"
#include "tests/win/test_util_win.h"

using namespace kalorix;

namespace {

// A Package_32 "Bytes" value as WMI hands it over.
struct ByteArrayVariant {
    VARIANT v;
    explicit ByteArrayVariant(const std::vector<uint8_t>& bytes, VARTYPE type = VT_UI1) {
        VariantInit(&v);
        SAFEARRAY* a = SafeArrayCreateVector(type, 0, static_cast<ULONG>(bytes.size()));
        void* data = nullptr;
        SafeArrayAccessData(a, &data);
        for (size_t i = 0; i < bytes.size(); ++i) static_cast<uint8_t*>(data)[i * (type == VT_UI1 ? 1 : 4)] = bytes[i];
        SafeArrayUnaccessData(a);
        v.vt = VT_ARRAY | type, v.parray = a;
    }
    ~ByteArrayVariant() { VariantClear(&v); }
};

// Answers recorded from an MSI notebook, replayed through the same SAFEARRAY
// decoding the WMI path uses. A missing method is a failed call.
struct RecordedMsiAcpi : EcMethodCaller {
    explicit RecordedMsiAcpi(std::map<std::wstring, std::vector<uint8_t>> answers, int* calls = nullptr)
        : answers_(std::move(answers)), calls_(calls) {}
    std::optional<EcPacket> call(const wchar_t* method) override {
        if (calls_) ++*calls_;
        auto it = answers_.find(method);
        if (it == answers_.end()) return std::nullopt;
        ByteArrayVariant bytes(it->second);
        return EcPacketFromVariant(bytes.v);
    }
    std::map<std::wstring, std::vector<uint8_t>> answers_;
    int* calls_;
};

std::vector<uint8_t> Answer(std::initializer_list<uint8_t> head) {
    std::vector<uint8_t> v(head);
    return v.resize(32, 0), v;
}

}  // namespace

TEST(MsiEcWin, VariantShapes) {
    ByteArrayVariant full(Answer({1, 61, 52})), empty(std::vector<uint8_t>{}), wrongType(Answer({1, 61}), VT_I4);
    const auto p = EcPacketFromVariant(full.v);
    ASSERT_TRUE(p);
    EXPECT_EQ((*p)[1], 61);
    EXPECT_FALSE(EcPacketFromVariant(empty.v) || EcPacketFromVariant(wrongType.v));

    VARIANT v;
    VariantInit(&v);
    v.vt = VT_ARRAY | VT_UI1;  // no array at all
    EXPECT_FALSE(EcPacketFromVariant(v));
    SAFEARRAYBOUND bounds[2] = {{4, 0}, {8, 0}};
    v.parray = SafeArrayCreate(VT_UI1, 2, bounds);
    EXPECT_FALSE(EcPacketFromVariant(v));
    VariantClear(&v);
}

TEST(MsiEcWin, RecordedAnswersThroughTheProvider) {
    int calls = 0;
    auto provider = CreateMsiEcProvider(std::make_unique<RecordedMsiAcpi>(
        std::map<std::wstring, std::vector<uint8_t>>{{L"Get_Temperature", Answer({1, 68, 57})},
                                                     {L"Get_Fan", Answer({1, 0x00, 0x78, 0x01, 0x2C})}},
        &calls));
    ASSERT_NE(provider, nullptr);
    EXPECT_EQ(calls, 1);  // the start-up probe
    SensorFrame frame;
    provider->poll(frame);
    EXPECT_EQ(calls, 3);
    EXPECT_EQ(frame.fans.size(), 2u);
    // No provider when the temperature does not answer.
    EXPECT_EQ(CreateMsiEcProvider(nullptr), nullptr);
    EXPECT_EQ(CreateMsiEcProvider(std::make_unique<RecordedMsiAcpi>(
                  std::map<std::wstring, std::vector<uint8_t>>{{L"Get_Temperature", Answer({0, 60, 50})}})),
              nullptr);
}
