// Storage provider: drive temperatures through the storage property requests,
// and the drive list of the compatibility report. The device calls sit behind
// `StorageDeviceApi` so tests can answer them from recorded bytes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "providers/disk_provider.h"
#include "sensors/sensor_model.h"

namespace kalorix {

class StorageDeviceApi {
public:
    virtual ~StorageDeviceApi() = default;
    // CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr).
    virtual HANDLE OpenDrive(const wchar_t* path) = 0;
    virtual BOOL DeviceIoControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                                 DWORD* returned) = 0;
    virtual void CloseDrive(HANDLE device) = 0;
};

// The real calls.
StorageDeviceApi& SystemStorageDeviceApi();

// Product id of an open drive, trailing spaces removed; empty when the
// request fails or the answer names none.
std::wstring QueryDiskModel(HANDLE drive);
std::wstring QueryDiskModel(StorageDeviceApi& api, HANDLE drive);

// Drives 0..15 that open, in number order: raw product id and bus name.
std::vector<ListedDisk> ListDisks();
std::vector<ListedDisk> ListDisks(StorageDeviceApi& api);

struct DiskEntry {
    uint32_t number = 0;
    std::wstring name;  // product id, or "Disk <n>"
};

class DiskProvider : public Provider {
public:
    DiskProvider();
    explicit DiskProvider(StorageDeviceApi& api);  // api must outlive the provider

    const wchar_t* name() const override { return L"Depolama"; }
    void poll(SensorFrame& frame) override;

    const std::vector<DiskEntry>& disks() const { return disks_; }

private:
    std::vector<DiskEntry> disks_;
    StorageDeviceApi* api_;
};

}  // namespace kalorix
