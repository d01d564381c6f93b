// SystemProvider against recorded memory, power and battery answers: the
// SetupAPI and battery request protocol, what is read once and what every poll,
// and every handle and device list released.
#include <windows.h>
#include <setupapi.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "providers/system_provider_win.h"
#include "tests/core/frame_util.h"

using namespace kalorix;
using test::Find;

namespace {

constexpr uint64_t GiB = 1ull << 30;
const HDEVINFO kSet = reinterpret_cast<HDEVINFO>(static_cast<intptr_t>(0x5E7));
const HANDLE kDevice = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0xBA7));
const std::wstring kPath = L"\\\\?\\acpi#pnp0c0a#1#{72631e54-78a4-11d0-bcf7-00aa00b7b32a}";

struct FakeSystem final : SystemStatusApi {
    bool memoryOk = true, powerOk = true, classDevsOk = true, hasInterface = true, openOk = true;
    BYTE flag = 128, percent = 255;
    uint32_t designed = 50000, full = 42000, cycles = 123;
    DWORD infoReturned = 36;
    int destroyed = 0, closed = 0, opened = 0;
    std::vector<DWORD> ioctls;
    ULONG queryIn[3] = {99, 99, 99};

    BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* s) override {
        EXPECT_EQ(s->dwLength, 64u);
        s->dwMemoryLoad = 99;  // the provider must compute its own
        s->ullTotalPhys = 16 * GiB, s->ullAvailPhys = 6 * GiB;
        return memoryOk;
    }
    BOOL GetSystemPowerStatus(SYSTEM_POWER_STATUS* s) override {
        s->ACLineStatus = 1, s->BatteryFlag = flag, s->BatteryLifePercent = percent;
        return powerOk;
    }
    HDEVINFO SetupDiGetClassDevsW(const GUID* guid, DWORD flags) override {
        EXPECT_EQ(flags, DWORD(DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
        EXPECT_TRUE(guid && IsEqualGUID(*guid, GUID{0x72631E54, 0x78A4, 0x11D0,
                                                    {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}}));
        return classDevsOk ? kSet : INVALID_HANDLE_VALUE;
    }
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO, const GUID*, DWORD index, SP_DEVICE_INTERFACE_DATA* d) override {
        EXPECT_EQ(d->cbSize, sizeof(SP_DEVICE_INTERFACE_DATA));
        if (hasInterface && index == 0) return TRUE;
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO, SP_DEVICE_INTERFACE_DATA*, SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail,
                                          DWORD size, DWORD* required) override {
        const DWORD need = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                                              (kPath.size() + 1) * sizeof(wchar_t));
        if (detail == nullptr) {
            if (required) *required = need;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        EXPECT_EQ(detail->cbSize, 8u);
        if (size < need) return FALSE;
        std::memcpy(detail->DevicePath, kPath.c_str(), (kPath.size() + 1) * sizeof(wchar_t));
        return TRUE;
    }
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO) override { return ++destroyed, TRUE; }
    HANDLE OpenDevice(const wchar_t* path) override {
        EXPECT_EQ(path, kPath);
        if (!openOk) return INVALID_HANDLE_VALUE;
        ++opened;
        return kDevice;
    }
    BOOL DeviceIoControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override {
        EXPECT_EQ(device, kDevice);
        ioctls.push_back(code);
        if (code == 0x294040) {
            EXPECT_EQ(inSize + outSize, 8u);
            EXPECT_EQ(*static_cast<const ULONG*>(in), 0u);  // no wait
            *static_cast<ULONG*>(out) = 7;
            *returned = 4;
            return TRUE;
        }
        if (code == 0x294044) {
            EXPECT_EQ(inSize, 12u);
            EXPECT_EQ(outSize, 36u);
            std::memcpy(queryIn, in, 12);
            auto* info = static_cast<uint8_t*>(out);
            std::memcpy(info + 12, &designed, 4), std::memcpy(info + 16, &full, 4), std::memcpy(info + 32, &cycles, 4);
            *returned = infoReturned;
            return TRUE;
        }
        return FALSE;
    }
    void CloseDevice(HANDLE device) override { closed += device == kDevice; }
};

}  // namespace

TEST(SystemProviderWin, LaptopReadsCapacitiesOnceAndChargeEveryPoll) {
    FakeSystem api;
    api.flag = 9, api.percent = 80;  // high + charging
    SystemProvider p(api);
    EXPECT_EQ(api.ioctls, (std::vector<DWORD>{0x294040, 0x294044}));
    EXPECT_TRUE(api.queryIn[0] == 7 && api.queryIn[1] == 0 && api.queryIn[2] == 0);  // the tag, BatteryInformation, rate 0
    EXPECT_TRUE(api.closed == 1 && api.destroyed == 1);

    SensorFrame f;
    p.poll(f);
    EXPECT_EQ(f.fullChargeCapacity, 42000u);
    api.percent = 60;
    SensorFrame g;
    p.poll(g);
    EXPECT_EQ(g.batteryPercent, 60);
    EXPECT_EQ(api.ioctls.size(), 2u);  // capacities are not read again
}

TEST(SystemProviderWin, EveryBatteryFailureLeavesNoCapacitiesAndReleasesEverything) {
    const struct { const char* what; void (*spoil)(FakeSystem&); int opened, destroyed; } cases[] = {
        {"no class list", [](FakeSystem& a) { a.classDevsOk = false; }, 0, 0},
        {"does not open", [](FakeSystem& a) { a.openOk = false; }, 0, 1},
        {"short information", [](FakeSystem& a) { a.infoReturned = 20; }, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeSystem api;
        api.flag = 2, api.percent = 30;
        c.spoil(api);
        SystemProvider p(api);
        EXPECT_FALSE(p.batteryInfo().valid);
        EXPECT_EQ(api.opened, c.opened);
        EXPECT_EQ(api.closed, c.opened);
        EXPECT_EQ(api.destroyed, c.destroyed);
        SensorFrame f;
        p.poll(f);
        EXPECT_TRUE(f.hasBattery);  // the power status still knows the battery
        EXPECT_EQ(f.batteryPercent, 30);
        EXPECT_EQ(Find(f, L"bat/health"), nullptr);
    }
}

TEST(SystemProviderWin, FailedQueriesLeaveTheirSensorsOut) {
    FakeSystem api;
    api.hasInterface = false, api.memoryOk = false, api.flag = 9;
    SystemProvider p(api);
    SensorFrame f;
    p.poll(f);
    EXPECT_EQ(f.readings.size(), 1u);  // the battery level only
    api.powerOk = false, api.memoryOk = true;
    SensorFrame g;
    p.poll(g);
    EXPECT_DOUBLE_EQ(Find(g, L"mem/load")->value, 62.5);  // from the byte counts, not the status's own figure
    EXPECT_FALSE(g.hasBattery);
}
