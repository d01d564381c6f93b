#include "providers/disk_provider_win.h"

#include <algorithm>

#include "base/log.h"
#include "providers/factories_win.h"
#include "sensors/text.h"

namespace kalorix {

namespace {

class RealStorageDeviceApi final : public StorageDeviceApi {
public:
    HANDLE OpenDrive(const wchar_t* path) override {
        return CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    BOOL DeviceIoControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override {
        return ::DeviceIoControl(device, code, const_cast<void*>(in), inSize, out, outSize, returned, nullptr);
    }
    void CloseDrive(HANDLE device) override { CloseHandle(device); }
};

constexpr char kLogSource[] = "disk";

// An open drive handle, closed through the device calls when it goes out of
// scope (the calls are a seam, so the tests count every close).
class DriveHandle {
public:
    DriveHandle(StorageDeviceApi& api, uint32_t number) : api_(api) {
        const std::wstring path = PhysicalDrivePath(number);
        handle_ = api_.OpenDrive(path.c_str());
        // Numbers without a drive are the normal end of the list.
        const DWORD error = ok() ? ERROR_SUCCESS : GetLastError();
        if (!ok() && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND && error != ERROR_SUCCESS)
            LogWin32Error(kLogSource, "CreateFileW " + WideToUtf8(path), error);
    }
    ~DriveHandle() {
        if (ok()) api_.CloseDrive(handle_);
    }
    DriveHandle(const DriveHandle&) = delete;
    DriveHandle& operator=(const DriveHandle&) = delete;
    bool ok() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    HANDLE get() const { return handle_; }

private:
    StorageDeviceApi& api_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// One property query into a zeroed buffer; the number of bytes that came back, or -1.
long QueryProperty(StorageDeviceApi& api, HANDLE drive, uint32_t propertyId, uint8_t* out, DWORD outSize) {
    const auto query = StoragePropertyQueryBytes(propertyId);
    std::fill(out, out + outSize, uint8_t{0});
    DWORD returned = 0;
    if (!api.DeviceIoControl(drive, kIoctlStorageQueryProperty, query.data(), static_cast<DWORD>(query.size()), out,
                             outSize, &returned)) {
        // Many drives do not answer the temperature property: logged once per property and code.
        LogWin32Error(kLogSource, "IOCTL_STORAGE_QUERY_PROPERTY " + std::to_string(propertyId), GetLastError());
        return -1;
    }
    return static_cast<long>(std::min<DWORD>(returned, outSize));
}

}  // namespace

StorageDeviceApi& SystemStorageDeviceApi() {
    static RealStorageDeviceApi api;
    return api;
}

std::wstring QueryDiskModel(StorageDeviceApi& api, HANDLE drive) {
    alignas(8) uint8_t buf[kStorageDescriptorBufferSize];
    const long n = QueryProperty(api, drive, kStorageDeviceProperty, buf, sizeof buf);
    if (n < 0) return {};
    return ParseStorageProductId(buf, static_cast<size_t>(n));
}

std::wstring QueryDiskModel(HANDLE drive) { return QueryDiskModel(SystemStorageDeviceApi(), drive); }

std::vector<ListedDisk> ListDisks(StorageDeviceApi& api) {
    std::vector<ListedDisk> list;
    for (uint32_t n = 0; n < kMaxPhysicalDrives; ++n) {
        DriveHandle drive(api, n);
        if (!drive.ok()) continue;
        ListedDisk d;
        d.number = n;
        d.model = QueryDiskModel(api, drive.get());
        d.bus = L"other";
        alignas(8) uint8_t buf[kStorageDescriptorBufferSize];
        const long got = QueryProperty(api, drive.get(), kStorageDeviceProperty, buf, sizeof buf);
        if (got >= 0) {
            if (auto bus = ParseStorageBusType(buf, static_cast<size_t>(got))) d.bus = StorageBusName(*bus);
        }
        list.push_back(std::move(d));
    }
    return list;
}

std::vector<ListedDisk> ListDisks() { return ListDisks(SystemStorageDeviceApi()); }

DiskProvider::DiskProvider() : DiskProvider(SystemStorageDeviceApi()) {}

DiskProvider::DiskProvider(StorageDeviceApi& api) : api_(&api) {
    for (uint32_t n = 0; n < kMaxPhysicalDrives; ++n) {
        std::wstring model;
        {
            DriveHandle drive(*api_, n);
            if (!drive.ok()) continue;
            model = QueryDiskModel(*api_, drive.get());
        }
        disks_.push_back({n, DiskDisplayName(model, n)});
    }
}

void DiskProvider::poll(SensorFrame& frame) {
    for (const DiskEntry& d : disks_) {
        alignas(8) uint8_t buf[kStorageTemperatureBufferSize];
        long got = -1;
        {
            DriveHandle drive(*api_, d.number);
            if (!drive.ok()) continue;
            got = QueryProperty(*api_, drive.get(), kStorageDeviceTemperatureProperty, buf, sizeof buf);
        }
        if (got < 0) continue;
        if (auto t = ParseStorageTemperature(buf, static_cast<size_t>(got))) {
            AppendDiskTemperature(frame, d.number, d.name, *t);
        }
    }
}

std::unique_ptr<Provider> CreateDiskProvider() { return std::make_unique<DiskProvider>(); }

}  // namespace kalorix
