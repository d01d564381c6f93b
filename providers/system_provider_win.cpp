#include "providers/system_provider_win.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/log.h"
#include "providers/factories_win.h"

namespace kalorix {

const GUID kBatteryInterfaceClass = {0x72631E54, 0x78A4, 0x11D0, {0xBC, 0xF7, 0x00, 0xAA, 0x00, 0xB7, 0xB3, 0x2A}};

namespace {

class RealSystemApi final : public SystemStatusApi {
public:
    BOOL GlobalMemoryStatusEx(MEMORYSTATUSEX* status) override { return ::GlobalMemoryStatusEx(status); }
    BOOL GetSystemPowerStatus(SYSTEM_POWER_STATUS* status) override { return ::GetSystemPowerStatus(status); }
    HDEVINFO SetupDiGetClassDevsW(const GUID* classGuid, DWORD flags) override {
        return ::SetupDiGetClassDevsW(classGuid, nullptr, nullptr, flags);
    }
    BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, const GUID* classGuid, DWORD index,
                                     SP_DEVICE_INTERFACE_DATA* data) override {
        return ::SetupDiEnumDeviceInterfaces(set, nullptr, classGuid, index, data);
    }
    BOOL SetupDiGetDeviceInterfaceDetailW(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                          SP_DEVICE_INTERFACE_DETAIL_DATA_W* detail, DWORD detailSize,
                                          DWORD* requiredSize) override {
        return ::SetupDiGetDeviceInterfaceDetailW(set, data, detail, detailSize, requiredSize, nullptr);
    }
    BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) override { return ::SetupDiDestroyDeviceInfoList(set); }
    HANDLE OpenDevice(const wchar_t* path) override {
        return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    BOOL DeviceIoControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override {
        return ::DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, returned, nullptr);
    }
    void CloseDevice(HANDLE device) override { CloseHandle(device); }
};

// Releases the device-information list and the device on every way out.
struct BatteryScope {
    SystemStatusApi& api;
    HDEVINFO set = INVALID_HANDLE_VALUE;
    HANDLE device = INVALID_HANDLE_VALUE;
    ~BatteryScope() {
        if (device != INVALID_HANDLE_VALUE && device != nullptr) api.CloseDevice(device);
        if (set != INVALID_HANDLE_VALUE && set != nullptr) api.SetupDiDestroyDeviceInfoList(set);
    }
};

constexpr DWORD kMaxDetailSize = 64 * 1024;  // a device path is far shorter
constexpr char kLogSource[] = "system";

// Logs the failed call with the thread's last error; returns an empty battery record.
BatteryInfo NoBattery(const char* what) {
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_ITEMS) Log(LogLevel::Info, kLogSource, "no battery interface (a desktop)");
    else LogWin32Error(kLogSource, what, error);
    return {};
}

}  // namespace

SystemStatusApi& RealSystemStatusApi() {
    static RealSystemApi api;
    return api;
}

BatteryInfo ReadBatteryInfo(SystemStatusApi& api) {
    BatteryScope scope{api};
    scope.set = api.SetupDiGetClassDevsW(&kBatteryInterfaceClass, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (scope.set == INVALID_HANDLE_VALUE || scope.set == nullptr) return NoBattery("SetupDiGetClassDevsW battery");

    SP_DEVICE_INTERFACE_DATA iface;
    std::memset(&iface, 0, sizeof iface);
    iface.cbSize = sizeof iface;
    if (!api.SetupDiEnumDeviceInterfaces(scope.set, &kBatteryInterfaceClass, 0, &iface))
        return NoBattery("SetupDiEnumDeviceInterfaces battery");

    DWORD required = 0;
    api.SetupDiGetDeviceInterfaceDetailW(scope.set, &iface, nullptr, 0, &required);
    if (required < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W) || required > kMaxDetailSize) {
        Log(LogLevel::Warning, kLogSource, "battery interface detail of unusable size " + std::to_string(required));
        return {};
    }
    // DWORD-aligned storage for the detail record, plus room for a terminator.
    std::vector<DWORD> storage(required / sizeof(DWORD) + 2, 0);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(storage.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!api.SetupDiGetDeviceInterfaceDetailW(scope.set, &iface, detail, required, nullptr))
        return NoBattery("SetupDiGetDeviceInterfaceDetailW battery");
    reinterpret_cast<wchar_t*>(storage.data())[storage.size() * sizeof(DWORD) / sizeof(wchar_t) - 1] = L'\0';

    scope.device = api.OpenDevice(detail->DevicePath);
    if (scope.device == INVALID_HANDLE_VALUE || scope.device == nullptr) return NoBattery("CreateFileW battery");

    ULONG wait = 0, tag = 0;
    DWORD returned = 0;
    if (!api.DeviceIoControl(scope.device, kIoctlBatteryQueryTag, &wait, sizeof wait, &tag, sizeof tag, &returned))
        return NoBattery("IOCTL_BATTERY_QUERY_TAG");
    if (tag == 0) {
        Log(LogLevel::Info, kLogSource, "the battery slot is empty (tag 0)");
        return {};
    }

    struct {
        ULONG BatteryTag;
        ULONG InformationLevel;  // BatteryInformation
        LONG AtRate;
    } query{tag, 0, 0};
    static_assert(sizeof(query) == 12);
    alignas(4) uint8_t info[kBatteryInformationSize] = {};
    returned = 0;
    if (!api.DeviceIoControl(scope.device, kIoctlBatteryQueryInformation, &query, sizeof query, info, sizeof info,
                             &returned))
        return NoBattery("IOCTL_BATTERY_QUERY_INFORMATION");
    return ParseBatteryInformation(info, std::min<size_t>(returned, sizeof info));
}

SystemProvider::SystemProvider() : SystemProvider(RealSystemStatusApi()) {}

SystemProvider::SystemProvider(SystemStatusApi& api) : battery_(ReadBatteryInfo(api)), api_(&api) {}

void SystemProvider::poll(SensorFrame& frame) {
    MEMORYSTATUSEX mem;
    std::memset(&mem, 0, sizeof mem);
    mem.dwLength = sizeof mem;
    if (api_->GlobalMemoryStatusEx(&mem)) AppendMemoryStatus(frame, mem.ullTotalPhys, mem.ullAvailPhys);
    else LogWin32Error(kLogSource, "GlobalMemoryStatusEx", GetLastError());

    SYSTEM_POWER_STATUS power;
    std::memset(&power, 0, sizeof power);
    if (api_->GetSystemPowerStatus(&power)) {
        PowerStatusFields fields;
        fields.acLineStatus = power.ACLineStatus;
        fields.batteryFlag = power.BatteryFlag;
        fields.batteryLifePercent = power.BatteryLifePercent;
        AppendBatteryStatus(frame, fields, battery_);
    } else {
        LogWin32Error(kLogSource, "GetSystemPowerStatus", GetLastError());
    }
}

std::unique_ptr<Provider> CreateSystemProvider() { return std::make_unique<SystemProvider>(); }

}  // namespace kalorix
