#include "providers/disk_provider.h"

#include "providers/byte_read.h"

#include <cstring>

namespace kalorix {

namespace {

int16_t ReadI16(const uint8_t* p) {
    int16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

std::array<uint8_t, 12> StoragePropertyQueryBytes(uint32_t propertyId) {
    std::array<uint8_t, 12> q{};
    std::memcpy(q.data(), &propertyId, sizeof propertyId);  // QueryType 0 = standard query
    return q;
}

std::wstring ParseStorageProductId(const uint8_t* bytes, size_t returned) {
    if (bytes == nullptr || returned < 20) return {};
    const uint32_t offset = ReadU32(bytes + 16);
    if (offset == 0 || offset >= returned) return {};
    size_t end = offset;
    while (end < returned && bytes[end] != 0) ++end;
    while (end > offset && bytes[end - 1] == ' ') --end;
    std::wstring text;
    text.reserve(end - offset);
    for (size_t i = offset; i < end; ++i) text.push_back(static_cast<wchar_t>(bytes[i]));  // Latin-1 widening
    return text;
}

std::optional<uint32_t> ParseStorageBusType(const uint8_t* bytes, size_t returned) {
    if (bytes == nullptr || returned < 32) return std::nullopt;
    return ReadU32(bytes + 28);
}

std::wstring StorageBusName(uint32_t busType) {
    switch (busType) {
        case 3:
        case 11: return L"sata";
        case 7: return L"usb";
        case 8: return L"raid";
        case 12:
        case 13: return L"sd";
        case 14:
        case 15: return L"virtual";
        case 17: return L"nvme";
        default: return L"other";
    }
}

std::optional<int> ParseStorageTemperature(const uint8_t* bytes, size_t returned) {
    if (bytes == nullptr || returned < kStorageTemperatureMinBytes) return std::nullopt;
    if (ReadU16(bytes + 12) == 0) return std::nullopt;
    const int t = ReadI16(bytes + 26);
    if (t < 1 || t > 119) return std::nullopt;
    return t;
}

std::wstring DiskDisplayName(const std::wstring& productId, uint32_t driveNumber) {
    if (!productId.empty()) return productId;
    return L"Disk " + std::to_wstring(driveNumber);
}

std::wstring PhysicalDrivePath(uint32_t driveNumber) {
    return L"\\\\.\\PhysicalDrive" + std::to_wstring(driveNumber);
}

void AppendDiskTemperature(SensorFrame& frame, uint32_t driveNumber, const std::wstring& name, int celsius) {
    const double t = celsius;
    frame.add(L"disk/" + std::to_wstring(driveNumber) + L"/temp", name, L"Sıcaklık", SensorKind::Temperature, t);
    if (!frame.hottestDiskTemp || t > *frame.hottestDiskTemp) {
        frame.hottestDiskTemp = t;
        frame.hottestDiskName = name;
    }
}

}  // namespace kalorix
