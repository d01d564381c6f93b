// System provider: physical memory, power status and the first battery's
// capacities. The platform calls sit behind `SystemStatusApi` so tests can
// answer them from recorded values.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include "providers/system_provider.h"
#include "sensors/sensor_model.h"

namespace kalorix {

// {72631E54-78A4-11D0-BCF7-00AA00B7B32A}, the battery device-interface class.
extern const GUID kBatteryInterfaceClass;

class SystemStatusApi {
public:
    virtual ~SystemStatusApi() = default;
    virtual BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status) = 0;
    virtual BOOL GetSystemPowerStatus(SYSTEM_POWER_STATUS* status) = 0;
    virtual HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, DWORD flags) = 0;
    virtual BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, const GUID* classGuid, DWORD index,
                                             SP_DEVICE_INTERFACE_DATA* data) = 0;
    virtual BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                                  SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                                  DWORD* requiredSize) = 0;
    virtual BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) = 0;
    // CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
    // FILE_ATTRIBUTE_NORMAL, nullptr).
    virtual HANDLE OpenDevice(const wchar_t* path) = 0;
    virtual BOOL DeviceIoControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                                 DWORD* returned) = 0;
    virtual void CloseDevice(HANDLE device) = 0;
};

SystemStatusApi& RealSystemStatusApi();

// Capacities of the first battery of the battery interface class.
BatteryInfo ReadBatteryInfo(SystemStatusApi& api);

class SystemProvider : public Provider {
public:
    SystemProvider();
    explicit SystemProvider(SystemStatusApi& api);  // api must outlive the provider

    const wchar_t* name() const override { return L"Sistem"; }
    void poll(SensorFrame& frame) override;

    const BatteryInfo& batteryInfo() const { return battery_; }

private:
    BatteryInfo battery_;
    SystemStatusApi* api_;
};

}  // namespace kalorix
