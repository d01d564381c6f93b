// The memory benchmark: buffer size, kernels, the latency chain, and runs on a platform that can refuse memory.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <algorithm>
#include <set>
#include <vector>

#include "bench/memory_bench.h"
#include "tests/core/bench_fakes.h"

namespace kalorix::bench {
namespace {

TEST(BenchMemorySize, FromAvailableMemory) {
    const std::pair<uint64_t, uint64_t> cases[] = {{1024 * kMiB, 256 * kMiB}, {1024 * kMiB - 1, 128 * kMiB},  // free : size
                                                   {768 * kMiB - 1, 64 * kMiB}, {320 * kMiB, 32 * kMiB}};
    for (auto [available, size] : cases) EXPECT_EQ(ChooseMemoryBufferSize(available), size) << available;
    EXPECT_FALSE(ChooseMemoryBufferSize(320 * kMiB - 1));
}

TEST(BenchMemoryKernels, WriteAndCopyStayInTheirBlocks) {
    constexpr size_t kBytes = 64 * 1024;
    std::vector<uint64_t> src(kBytes / 8), dst(kBytes / 8, 0);
    FillMemorySource(src.data(), src.size());
    MemoryWriteKernel(dst.data(), kBytes / 2);
    EXPECT_TRUE(dst[kBytes / 16 - 1] == 0x5A5A5A5A5A5A5A5Aull && dst[kBytes / 16] == 0u);  // stops at the block end
    MemoryCopyKernel(dst.data(), src.data(), kBytes);
    EXPECT_EQ(std::memcmp(dst.data(), src.data(), kBytes), 0);
    EXPECT_EQ(MemoryBlockSize(256 * kMiB, 3), 89478400u);  // a third, rounded down to 256 bytes
}

TEST(BenchMemoryLatency, ChainIsOneCycleThroughEveryLine) {
    constexpr size_t kLines = 4096;
    std::vector<uint64_t> buffer(kLines * 8);
    BuildLatencyChain(buffer.data(), kLines * 64);
    const char *base = reinterpret_cast<const char*>(buffer.data()), *p = base;
    std::set<size_t> seen;
    for (size_t i = 0; i < kLines; ++i) {
        const size_t at = static_cast<size_t>(p - base);
        ASSERT_TRUE(at % 64 == 0 && at / 64 < kLines) << at;
        seen.insert(at / 64);
        std::memcpy(&p, p, sizeof p);
    }
    EXPECT_TRUE(seen.size() == kLines && p == base);  // every line once, then back at the start: one cycle
}

TEST(BenchMemoryLatency, TimedInBatchesUntilTheDuration) {
    constexpr size_t kLines = 1024;
    std::vector<uint64_t> buffer(kLines * 8);
    BuildLatencyChain(buffer.data(), kLines * 64);
    // Each clock reading advances 0.7 s: batches end at 0.7, 1.4, 2.1 s -> 3 batches.
    testing::FakeClock clock(700000000);
    EXPECT_DOUBLE_EQ(MeasureLatency(buffer.data(), kLines * 64, clock, 2.0), 2.1e9 / (3.0 * 1048576));
}

TEST(BenchMemoryScore, ReferenceAndMissingFigures) {
    EXPECT_DOUBLE_EQ(MemoryScore(50, 40, 40, 100), 1000);  // the reference machine
    EXPECT_DOUBLE_EQ(MemoryScore(50, 40, 40, 0), 0);
}

class FakeMemory : public MemoryPlatform {
public:
    uint64_t available = 4096 * kMiB;
    std::optional<uint64_t> installed = 16ull * 1048576;
    int failAllocation = -1, allocations = 0, live = 0;  // failAllocation: index of the one that fails

    uint64_t availablePhysical() override { return available; }
    void* allocate(size_t bytes) override {
        if (allocations++ == failAllocation) return nullptr;
        return ++live, ::operator new(bytes, std::align_val_t(4096));
    }
    void release(void* p, size_t) override { --live, ::operator delete(p, std::align_val_t(4096)); }
    std::optional<uint64_t> installedKilobytes() override { return installed; }
};

TEST(BenchMemoryRun, NotEnoughFreeMemoryOrASecondBufferRefused) {
    testing::FakeClock clock;
    FakeMemory mem;
    mem.available = 300 * kMiB;
    testing::LineLog log;
    EXPECT_TRUE(RunMemory(log.reporter, mem, clock, 2) == 1 && mem.allocations == 0);
    EXPECT_EQ(log.lines.back(), "E Test için yeterli boş bellek yok. Birkaç program kapatıp yeniden dene.\n");
    FakeMemory refusing;
    refusing.failAllocation = 1;
    EXPECT_TRUE(RunMemory(log.reporter, refusing, clock, 2) == 1 && refusing.live == 0);  // the first buffer was freed
    EXPECT_EQ(log.lines.back(), "E Test belleği ayrılamadı.\n");
}

TEST(BenchMemoryRun, WholeRunOnTheSmallestBuffer) {
    FakeMemory mem;
    mem.available = 400 * kMiB;  // 32 MiB buffers
    mem.installed = 15ull * 1048576 + 600000;  // rounds to 16 GiB
    testing::FakeClock clock(1000000000);  // one second per reading keeps the latency loop short
    testing::LineLog log;
    EXPECT_TRUE(RunMemory(log.reporter, mem, clock, 2) == 0 && mem.live == 0);

    EXPECT_EQ(log.withPrefix('M').front(), "M memory.size_gb 16\n");  // a whole run also goes through the Wine tests
    EXPECT_EQ(std::count(clock.slept.begin(), clock.slept.end(), 1500u), 2);  // two cool-down pauses
}

}  // namespace
}  // namespace kalorix::bench
