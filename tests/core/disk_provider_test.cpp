#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "providers/disk_provider.h"

using namespace kalorix;

namespace {

std::vector<uint8_t> Descriptor(const std::string& productId, uint32_t busType, size_t size = 1024) {
    std::vector<uint8_t> b(size, 0);
    const uint32_t offset = 64;
    std::memcpy(b.data() + 16, &offset, 4);
    std::memcpy(b.data() + 28, &busType, 4);
    std::memcpy(b.data() + offset, productId.data(), productId.size());
    return b;
}

std::vector<uint8_t> TempData(uint16_t infoCount, int16_t t) {
    std::vector<uint8_t> b(256, 0);
    std::memcpy(b.data() + 12, &infoCount, 2);
    std::memcpy(b.data() + 26, &t, 2);
    return b;
}

}  // namespace

TEST(DiskCore, PropertyQueryLayout) {
    const auto q = StoragePropertyQueryBytes(kStorageDeviceTemperatureProperty);
    uint32_t id = 0, type = 7;
    std::memcpy(&id, q.data(), 4);
    std::memcpy(&type, q.data() + 4, 4);
    EXPECT_EQ(id, 52u);
    EXPECT_EQ(type, 0u);
    EXPECT_EQ(q[8], 0);
}

TEST(DiskCore, ProductIdTrimsTrailingSpacesOnly) {
    auto d = Descriptor("  Samsung SSD 980   ", 17);
    EXPECT_EQ(ParseStorageProductId(d.data(), 200), L"  Samsung SSD 980");
    d = Descriptor("     ", 17);
    EXPECT_EQ(ParseStorageProductId(d.data(), 200), L"");
    EXPECT_EQ(DiskDisplayName(ParseStorageProductId(d.data(), 200), 3), L"Disk 3");
    EXPECT_EQ(DiskDisplayName(L"WDC", 3), L"WDC");
}

TEST(DiskCore, ProductIdOffsetMustLieInsideTheAnswer) {
    auto d = Descriptor("WDC", 11);
    EXPECT_EQ(ParseStorageProductId(d.data(), 64), L"");   // offset == returned
    EXPECT_EQ(ParseStorageProductId(d.data(), 65), L"W");  // text cut at the returned bytes
    EXPECT_EQ(ParseStorageProductId(d.data(), 19), L"");   // offset field itself missing
    uint32_t zero = 0;
    std::memcpy(d.data() + 16, &zero, 4);
    EXPECT_EQ(ParseStorageProductId(d.data(), 1024), L"");
    // No terminator up to the end of the answer: read no further than it.
    std::vector<uint8_t> full(80, 'A');
    const uint32_t off = 70;
    std::memcpy(full.data() + 16, &off, 4);
    EXPECT_EQ(ParseStorageProductId(full.data(), full.size()), std::wstring(10, L'A'));
}

TEST(DiskCore, ProductIdBytesAboveAsciiWidenOneToOne) {
    auto d = Descriptor("X\xE9Y", 11);
    EXPECT_EQ(ParseStorageProductId(d.data(), 200), L"X\u00E9Y");
}

TEST(DiskCore, BusNames) {
    const std::pair<uint32_t, const wchar_t*> cases[] = {
        {3, L"sata"}, {11, L"sata"}, {7, L"usb"}, {8, L"raid"}, {12, L"sd"}, {13, L"sd"}, {14, L"virtual"},
        {15, L"virtual"}, {17, L"nvme"}, {10, L"other"}, {0, L"other"}, {1, L"other"}, {0x7F, L"other"}};
    for (const auto& [bus, name] : cases) EXPECT_EQ(StorageBusName(bus), name) << bus;
    auto d = Descriptor("x", 7);
    EXPECT_EQ(ParseStorageBusType(d.data(), 32), 7u);
    EXPECT_FALSE(ParseStorageBusType(d.data(), 31));
}

TEST(DiskCore, TemperatureFilters) {
    EXPECT_EQ(ParseStorageTemperature(TempData(1, 1).data(), 40), 1);
    EXPECT_EQ(ParseStorageTemperature(TempData(1, 119).data(), 40), 119);
    EXPECT_EQ(ParseStorageTemperature(TempData(3, 45).data(), 256), 45);
    EXPECT_FALSE(ParseStorageTemperature(TempData(1, 0).data(), 40));
    EXPECT_FALSE(ParseStorageTemperature(TempData(1, -5).data(), 40));
    EXPECT_FALSE(ParseStorageTemperature(TempData(1, 120).data(), 40));
    EXPECT_FALSE(ParseStorageTemperature(TempData(1, 45).data(), 39));
    EXPECT_FALSE(ParseStorageTemperature(TempData(0, 45).data(), 40));
}

TEST(DiskCore, HottestDriveKeepsTheEarlierOneOnATie) {
    SensorFrame frame;
    AppendDiskTemperature(frame, 0, L"A", 45);
    AppendDiskTemperature(frame, 1, L"B", 52);
    AppendDiskTemperature(frame, 2, L"C", 52);
    AppendDiskTemperature(frame, 3, L"D", 30);
    ASSERT_EQ(frame.readings.size(), 4u);
    EXPECT_EQ(frame.readings[1].id, L"disk/1/temp");
    EXPECT_EQ(frame.readings[1].device, L"B");
    EXPECT_EQ(frame.readings[1].label, L"Sıcaklık");
    EXPECT_EQ(frame.readings[1].kind, SensorKind::Temperature);
    EXPECT_EQ(frame.readings[1].value, 52.0);
    EXPECT_EQ(frame.hottestDiskTemp, 52.0);
    EXPECT_EQ(frame.hottestDiskName, L"B");
    EXPECT_EQ(PhysicalDrivePath(12), L"\\\\.\\PhysicalDrive12");
}
