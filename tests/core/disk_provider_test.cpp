// Storage provider rules: the storage answers' layouts, temperatures and the hottest drive.
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

std::optional<int> Temperature(uint16_t infoCount, int16_t t, size_t returned) {
    std::vector<uint8_t> b(256, 0);
    std::memcpy(b.data() + 12, &infoCount, 2);
    std::memcpy(b.data() + 26, &t, 2);
    return ParseStorageTemperature(b.data(), returned);
}

}  // namespace

TEST(DiskCore, PropertyQueryLayout) {
    const auto q = StoragePropertyQueryBytes(kStorageDeviceTemperatureProperty);
    EXPECT_EQ(std::vector<uint8_t>(q.begin(), q.end()), (std::vector<uint8_t>{52, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(DiskCore, ProductIdIsReadOnlyInsideTheAnswer) {
    auto d = Descriptor("  Samsung SSD 980   ", 17);
    EXPECT_EQ(ParseStorageProductId(d.data(), 200), L"  Samsung SSD 980");  // trailing spaces only
    EXPECT_EQ(ParseStorageProductId(Descriptor("X\xE9Y", 11).data(), 200), L"X\u00E9Y");  // widened byte by byte
    d = Descriptor("WDC", 11);
    // Offset == returned; the text cut at the returned bytes; the offset field itself missing.
    for (auto [returned, want] : {std::pair<size_t, const wchar_t*>{64, L""}, {65, L"W"}, {19, L""}})
        EXPECT_EQ(ParseStorageProductId(d.data(), returned), want) << returned;
    d[16] = 0;  // offset 0: no product id
    EXPECT_EQ(ParseStorageProductId(d.data(), 1024), L"");
    std::vector<uint8_t> unterminated(80, 'A');
    const uint32_t at = 70;
    std::memcpy(unterminated.data() + 16, &at, 4);
    EXPECT_EQ(ParseStorageProductId(unterminated.data(), unterminated.size()), std::wstring(10, L'A'));
    EXPECT_EQ(DiskDisplayName(L"", 3), L"Disk 3");
}

TEST(DiskCore, BusTypesAndTemperatureFilters) {
    EXPECT_EQ(StorageBusName(0x7F), std::wstring(L"other"));
    auto d = Descriptor("x", 7);
    EXPECT_EQ(ParseStorageBusType(d.data(), 32), 7u);
    EXPECT_FALSE(ParseStorageBusType(d.data(), 31));
    // Out of range, a short answer, no entry.
    const std::tuple<uint16_t, int16_t, size_t, std::optional<int>> temps[] = {{1, 119, 40, 119}, {3, 45, 256, 45},
        {1, 0, 40, {}}, {1, -5, 40, {}}, {1, 120, 40, {}}, {1, 45, 39, {}}, {0, 45, 40, {}}};
    for (auto [count, t, returned, want] : temps) EXPECT_EQ(Temperature(count, t, returned), want) << t << " " << returned;
}

TEST(DiskCore, HottestDriveKeepsTheEarlierOneOnATie) {
    SensorFrame frame;
    AppendDiskTemperature(frame, 0, L"A", 45);
    AppendDiskTemperature(frame, 1, L"B", 52);
    AppendDiskTemperature(frame, 2, L"C", 52);
    EXPECT_EQ(std::tuple(frame.readings.size(), *frame.hottestDiskTemp, frame.hottestDiskName),
              std::tuple(size_t{3}, 52.0, std::wstring(L"B")));
}
