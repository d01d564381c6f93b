// DiskProvider and ListDisks against recorded storage answers: which drives are
// opened, the request buffers (code, query, sizes, zeroed) and every handle closed.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "providers/disk_provider_win.h"

using namespace kalorix;

namespace {

struct Answer { bool ok = true; std::vector<uint8_t> bytes; DWORD returned = 0; };  // returned 0: bytes.size()
struct Drive { bool opens = true; Answer descriptor; std::vector<Answer> temps; };    // temps: one per poll, the last repeats

Answer Descriptor(const std::string& productId, uint32_t bus) {
    Answer a{true, std::vector<uint8_t>(300, 0), 0};
    const uint32_t size = 300, productOffset = 100;  // no vendor
    std::memcpy(a.bytes.data() + 4, &size, 4), std::memcpy(a.bytes.data() + 16, &productOffset, 4);
    std::memcpy(a.bytes.data() + 28, &bus, 4);
    std::memcpy(a.bytes.data() + productOffset, productId.data(), productId.size());
    return a;
}

Answer Temp(int16_t t, DWORD returned = 40) {
    Answer a{true, std::vector<uint8_t>(40, 0), returned};
    const uint16_t infoCount = 1;
    std::memcpy(a.bytes.data() + 12, &infoCount, 2), std::memcpy(a.bytes.data() + 26, &t, 2);
    return a;
}

const Answer kFail{false, {}, 0};

struct FakeStorage final : StorageDeviceApi {
    std::map<uint32_t, Drive> drives;
    std::vector<std::wstring> paths;  // every open attempt
    std::set<HANDLE> open;
    int opens = 0, closes = 0, badRequests = 0;
    std::map<uint32_t, int> tempRequests;

    HANDLE OpenDrive(const wchar_t* path) override {
        paths.push_back(path);
        const uint32_t n = static_cast<uint32_t>(std::wcstoul(path + 17, nullptr, 10));  // \\.\PhysicalDriveN
        auto it = drives.find(n);
        if (it == drives.end() || !it->second.opens) return INVALID_HANDLE_VALUE;
        ++opens;
        HANDLE h = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x100 + n));
        EXPECT_EQ(open.count(h), 0u) << "drive opened twice";
        open.insert(h);
        return h;
    }
    BOOL DeviceIoControl(HANDLE device, DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize,
                         DWORD* returned) override {
        *returned = 0;
        if (!open.count(device) || code != 0x2D1400 || inSize != 12) {
            ++badRequests;
            return FALSE;
        }
        uint32_t property = 0, type = 0;
        std::memcpy(&property, in, 4), std::memcpy(&type, static_cast<const uint8_t*>(in) + 4, 4);
        badRequests += type != 0;
        const auto* o = static_cast<uint8_t*>(out);
        badRequests += std::count(o, o + outSize, 0) != outSize;  // buffers must arrive zeroed
        const uint32_t n = static_cast<uint32_t>(reinterpret_cast<intptr_t>(device) - 0x100);
        Drive& d = drives.at(n);
        const Answer* a = nullptr;
        if (property == 0) {
            badRequests += outSize != 1024;
            a = &d.descriptor;
        } else if (property == 52) {
            badRequests += outSize != 256;
            const int k = tempRequests[n]++;
            if (d.temps.empty()) return FALSE;
            a = &d.temps[std::min<size_t>(k, d.temps.size() - 1)];
        } else {
            ++badRequests;
            return FALSE;
        }
        if (!a->ok) return FALSE;
        const DWORD n2 = std::min<DWORD>(static_cast<DWORD>(a->bytes.size()), outSize);
        std::memcpy(out, a->bytes.data(), n2);
        *returned = a->returned ? a->returned : n2;
        return TRUE;
    }
    void CloseDrive(HANDLE device) override {
        ++closes;
        EXPECT_EQ(open.erase(device), 1u) << "closed a handle that was not open";
    }
};

}  // namespace

TEST(DiskProviderWin, ConstructionNamesDrivesAndLooksAtSixteenAtMost) {
    FakeStorage io;
    io.drives[0] = {true, Descriptor("Samsung SSD 980 PRO 1TB   ", 17), {}};
    io.drives[2] = {true, Descriptor("    ", 11), {}};
    io.drives[3] = {true, kFail, {}};
    io.drives[5] = {false, Descriptor("hidden", 11), {}};
    io.drives[16] = {true, Descriptor("too far", 11), {}};
    DiskProvider p(io);
    ASSERT_EQ(p.disks().size(), 3u);
    EXPECT_EQ(p.disks()[0].name + L"|" + p.disks()[1].name + L"|" + p.disks()[2].name,
              L"Samsung SSD 980 PRO 1TB|Disk 2|Disk 3");
    ASSERT_EQ(io.paths.size(), 16u);
    EXPECT_EQ(io.paths.back(), L"\\\\.\\PhysicalDrive15");
    EXPECT_EQ(io.opens, io.closes);  // no handle is kept
    EXPECT_EQ(io.badRequests, 0);
    // The inventory's list: raw models, the same sixteen at most.
    const auto list = ListDisks(io);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].model + L"|" + list[0].bus + L"|" + list[1].model, L"Samsung SSD 980 PRO 1TB|nvme|");
    EXPECT_EQ(io.opens, io.closes);
}

TEST(DiskProviderWin, EachPollOpensAsksAndClosesEveryDriveOnce) {
    FakeStorage io;
    io.drives[0] = {true, Descriptor("A", 11), {Temp(40), Temp(41)}};
    io.drives[1] = {true, Descriptor("B", 11), {Temp(50)}};
    io.drives[2] = {true, Descriptor("C", 11), {Temp(60, 39)}};  // answer too short
    io.drives[3] = {true, Descriptor("D", 11), {kFail}};
    DiskProvider p(io);
    const int opensAfterStart = io.opens;
    SensorFrame f1;
    p.poll(f1);
    EXPECT_EQ(io.opens - opensAfterStart, 4);
    EXPECT_EQ(io.tempRequests[0], 1);
    ASSERT_EQ(f1.readings.size(), 2u);
    EXPECT_EQ(f1.hottestDiskName, L"B");
    io.drives[1].opens = false;  // unplugged: skipped, the others go on
    SensorFrame f2;
    p.poll(f2);
    ASSERT_EQ(f2.readings.size(), 1u);
    EXPECT_EQ(f2.readings[0].value, 41.0);
    EXPECT_TRUE(io.opens == io.closes && io.open.empty());
    EXPECT_EQ(io.badRequests, 0);
}

