// Portable part of the storage provider: the layouts of the storage property
// answers, the temperature filter, bus names and the hottest drive.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "sensors/sensor_model.h"

namespace kalorix {

constexpr uint32_t kMaxPhysicalDrives = 16;  // drives 0..15 only
constexpr uint32_t kIoctlStorageQueryProperty = 0x2D1400;
constexpr uint32_t kStorageDeviceProperty = 0;
constexpr uint32_t kStorageDeviceTemperatureProperty = 52;
constexpr size_t kStorageDescriptorBufferSize = 1024;
constexpr size_t kStorageTemperatureBufferSize = 256;
constexpr size_t kStorageTemperatureMinBytes = 40;  // header plus one temperature entry

// STORAGE_PROPERTY_QUERY { PropertyId, PropertyStandardQuery, AdditionalParameters } (12 bytes).
std::array<uint8_t, 12> StoragePropertyQueryBytes(uint32_t propertyId);

// Product id of a STORAGE_DEVICE_DESCRIPTOR answer of `returned` bytes:
// the zero-terminated text at ProductIdOffset (offset 16), trailing spaces
// removed, widened byte by byte. Empty when the offset is 0 or outside the
// answer. The text never reads past the returned bytes.
std::wstring ParseStorageProductId(const uint8_t* bytes, size_t returned);

// BusType (offset 28) of a STORAGE_DEVICE_DESCRIPTOR; nothing for a short answer.
std::optional<uint32_t> ParseStorageBusType(const uint8_t* bytes, size_t returned);

// STORAGE_BUS_TYPE -> "sata", "usb", "raid", "sd", "virtual", "nvme" or "other".
std::wstring StorageBusName(uint32_t busType);

// Temperature of the first entry of a STORAGE_TEMPERATURE_DATA_DESCRIPTOR
// (InfoCount at 12, TemperatureInfo[0].Temperature at 26): only with at least
// 40 bytes, InfoCount not 0 and 1 <= t <= 119 °C.
std::optional<int> ParseStorageTemperature(const uint8_t* bytes, size_t returned);

// The drive's product id, or "Disk " and the number when it is empty.
std::wstring DiskDisplayName(const std::wstring& productId, uint32_t driveNumber);

// "\\.\PhysicalDrive" + number.
std::wstring PhysicalDrivePath(uint32_t driveNumber);

// Appends "disk/<n>/temp" and raises the frame's hottest drive when t is
// higher than what it holds (equal keeps the earlier drive).
void AppendDiskTemperature(SensorFrame& frame, uint32_t driveNumber, const std::wstring& name, int celsius);

// One line of the drive list the compatibility report uses.
struct ListedDisk {
    uint32_t number = 0;
    std::wstring model;  // raw product id, may be empty
    std::wstring bus;    // see StorageBusName
};

}  // namespace kalorix
