// The CPU benchmark: SHA-256's published vectors, the kernels and scores, a run with scripted rates and clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "bench/cpu_bench.h"
#include "bench/sha256.h"
#include "tests/core/bench_fakes.h"

namespace kalorix::bench {
namespace {

std::string Hex(const std::array<uint8_t, 32>& d) {
    std::string s;
    for (uint8_t b : d) s += {"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    return s;
}

std::array<uint8_t, 32> HashText(const std::string& t) { return Sha256::Hash(reinterpret_cast<const uint8_t*>(t.data()), t.size()); }

TEST(BenchSha256, StandardTestVectors) {
    EXPECT_EQ(Hex(HashText("")), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Hex(HashText("abc")), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Hex(HashText("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(Hex(HashText(std::string(56, 'a'))), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");  // 2 blocks
    // One million 'a' in uneven pieces, through the block buffering.
    Sha256 s;
    const std::string chunk(997, 'a');
    for (size_t left = 1000000, n; left; left -= n)
        s.update(reinterpret_cast<const uint8_t*>(chunk.data()), n = std::min(left, chunk.size()));
    EXPECT_EQ(Hex(s.finish()), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(BenchCpuKernels, IterationsChangeTheirInput) {
    auto d = std::make_unique<CpuWorkerData>();
    d->setup(CpuWorkerSeed(0));
    const uint64_t h1 = d->intIteration();  // sorted, and refilled from the generator every time
    EXPECT_TRUE(std::is_sorted(std::begin(d->ints), std::end(d->ints)) && h1 != d->intIteration());

    const auto digest = Sha256::Hash(d->hash, sizeof d->hash);
    EXPECT_EQ(d->cryptoIteration(), digest[31]);
    EXPECT_NE(Sha256::Hash(d->hash, sizeof d->hash), digest);  // the next iteration hashes different data

    const float r = d->nbodyStep();  // read after the positions moved
    EXPECT_TRUE(std::isfinite(r) && r == d->pos[0][0] + d->pos[1][128] + d->pos[2][255]);
}

TEST(BenchCpuScores, WorkloadAndPassScores) {
    EXPECT_DOUBLE_EQ(CpuWorkloadScore(kCpuCrypto, 2.4), 0.5);
    // A score below 1 counts as 1 in the mean: cube root of 1000 * 1000 * 1.
    EXPECT_TRUE(CpuPassScore({1000, 1000, 0.2}) == 100 && CpuPassScore({0, 0, 0}) == 1);
}

TEST(BenchCpuRun, LineSequencePausesAndResults) {
    testing::FakeClock clock;
    testing::LineLog log;
    std::vector<std::pair<int, unsigned>> calls;
    // Rates: the reference rate in the single pass, 4x in the multi pass; float is very slow.
    auto measure = [&](int w, unsigned n) {
        calls.emplace_back(w, n);
        if (w == kCpuFloat) return 0.3;  // score 0.2: metric 0, counts as 1
        return kCpuWorkloads[w].reference * (n == 1 ? 1.0 : 4.0);
    };
    const CpuResult r = RunCpu(log.reporter, clock, 4, measure);
    ReportCpuResult(log.reporter, r);

    EXPECT_EQ(calls, (std::vector<std::pair<int, unsigned>>{{0, 1}, {1, 1}, {2, 1}, {0, 4}, {1, 4}, {2, 4}}));
    EXPECT_EQ(clock.slept, (std::vector<uint32_t>{1250, 1250, 1250, 3000, 3000}));
    EXPECT_EQ(log.withPrefix('M'),
              (std::vector<std::string>{"M cpu.st.int 1000\n", "M cpu.st.float 0\n", "M cpu.st.crypto 1000\n",
                                        "M cpu.st.sha_mbs 314.573\n", "M cpu.mt.int 4000\n", "M cpu.mt.float 0\n",
                                        "M cpu.mt.crypto 4000\n", "M cpu.mt.sha_mbs 1258.29\n", "M cpu.st_score 100\n",
                                        "M cpu.mt_score 252\n", "M cpu.threads 4\n"}));
    EXPECT_EQ(log.lines[2] + log.lines.back(), "P 0.1667 Soğuma molası\nD\n");
}

TEST(BenchCpuRun, OneHardwareThreadRunsMultiPassOnOne) {
    testing::FakeClock clock;
    testing::LineLog log;
    unsigned maxThreads = 0;
    RunCpu(log.reporter, clock, 1, [&](int, unsigned n) { return maxThreads = std::max(maxThreads, n), 1.0; });
    EXPECT_TRUE(maxThreads == 1u && RunCpu(log.reporter, clock, 0, [](int, unsigned) { return 1.0; }).threads == 1u);

}

}  // namespace
}  // namespace kalorix::bench
