// The GPU benchmark's measuring loop, calibration and timing on a scripted GPU; the shaders through a real compiler.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/gpu_measure.h"
#include "tests/core/bench_fakes.h"

namespace kalorix::bench {
namespace {

// Each call takes `secondsPerCall` of GPU time; a batch moves the host clock by that plus an overhead.
class FakeGpu : public GpuTimer {
public:
    FakeGpu(testing::FakeClock& host, double secondsPerCall) : host_(host), perCall_(secondsPerCall) {}
    int calls = 0, failAtBatch = -1;
    std::vector<int> batchCalls;
    bool zeroTime = false;
    double overhead = 0.0005;

    std::optional<double> timedBatch(const std::function<void()>& work) override {
        if (static_cast<int>(batchCalls.size()) == failAtBatch) return std::nullopt;
        const int before = calls;
        work();
        const int n = batchCalls.emplace_back(calls - before);
        host_.advanceNs(static_cast<uint64_t>((n * perCall_ + overhead) * 1e9));
        return zeroTime ? 0.0 : n * perCall_;
    }
    testing::FakeClock& host_;
    double perCall_;
};

TEST(BenchGpuMeasure, BatchesGrowToAbout25msAndTheRateIsExact) {
    testing::FakeClock host;
    testing::LineLog log;
    FakeGpu gpu(host, 0.001);
    const auto rate = Measure(gpu, log.reporter, host, 1e9, [&] { ++gpu.calls; }, 0.05, 0.45, L"Hesaplama");
    ASSERT_TRUE(rate);
    EXPECT_NEAR(*rate, 1e12, 1e3);  // 1e9 units per 1 ms call
    gpu.batchCalls.resize(7);  // 1, 2, 4, 8, 16, then 25 calls (25 ms) from there on
    EXPECT_EQ(gpu.batchCalls, (std::vector<int>{1, 2, 4, 8, 16, 25, 25}));
    EXPECT_LE(log.lines.size(), 13u);  // progress at most every 0.2 s, inside the phase's range
    for (const auto& l : log.lines) EXPECT_TRUE(std::stod(l.substr(2)) >= 0.05 && std::stod(l.substr(2)) < 0.45) << l;
}

TEST(BenchGpuMeasure, WarmUpIsLeftOut) {
    // Two slow batches (0.2 s for one call) fill the first 0.4 s; the third ends at
    // 0.6 s and already counts. Then one call per 0.02 s until 2.5 s: 95 batches.
    testing::FakeClock host;
    testing::LineLog log;
    struct Warm : GpuTimer {
        testing::FakeClock* host = nullptr;
        int batches = 0;
        std::optional<double> timedBatch(const std::function<void()>& work) override {
            work();
            const double t = ++batches <= 3 ? 0.2 : 0.02;  // three slow batches fill the warm-up
            host->advanceNs(static_cast<uint64_t>(t * 1e9));
            return t;
        }
    } warm;
    int calls = (warm.host = &host, 0);
    const auto rate = Measure(warm, log.reporter, host, 1.0, [&] { ++calls; }, 0, 1, L"x");
    EXPECT_NEAR(rate.value_or(0), 96 / 2.1, 0.2);  // counting the warm-up would give 98 / 2.5
    EXPECT_EQ(calls, 98);
}

TEST(BenchGpuMeasure, FailuresAndZeroTimes) {
    testing::FakeClock host;
    testing::LineLog log;
    FakeGpu failing(host, 0.001);
    failing.failAtBatch = 3;
    EXPECT_FALSE(Measure(failing, log.reporter, host, 1, [&] { ++failing.calls; }, 0, 1, L"x"));

    FakeGpu instant(host, 0.001);
    instant.zeroTime = true;
    EXPECT_FALSE(Measure(instant, log.reporter, host, 1, [&] { ++instant.calls; }, 0, 1, L"x"));
    ASSERT_GE(instant.batchCalls.size(), 4u);  // a zero sample doubles the batch (at most 4096)
    for (size_t i = 1; i < instant.batchCalls.size(); ++i)
        EXPECT_EQ(instant.batchCalls[i], std::min(4096, 2 * instant.batchCalls[i - 1]));
}

TEST(BenchGpuCalibration, DoublesHalvesAndStops) {

    std::vector<uint32_t> sizes;  // very fast (1 µs per 256 groups): doubles up to 16384 and stops there

    struct ByGroups : GpuTimer {
        explicit ByGroups(double p) : perGroup(p) {}
        double perGroup;
        uint32_t last = 0;
        std::optional<double> timedBatch(const std::function<void()>& work) override { return work(), last * perGroup; }
    } fast(1e-6 / 256), slow(1.0 / 256);
    EXPECT_EQ(CalibrateGroups(fast, [&](uint32_t g) { sizes.push_back(fast.last = g); }), 16384u);
    EXPECT_EQ(sizes, (std::vector<uint32_t>{256, 512, 1024, 2048, 4096, 8192, 16384}));
    // 1 s for 256 groups: halved while at least 17, 256 -> 128 ... 16.
    EXPECT_EQ(CalibrateGroups(slow, [&](uint32_t g) { slow.last = g; }), 16u);

    struct Dead : GpuTimer { std::optional<double> timedBatch(const std::function<void()>&) override { return {}; } } dead;
    EXPECT_FALSE(CalibrateGroups(dead, [](uint32_t) {}));
}

TEST(BenchGpuTiming, TimestampsOrHostTimeAndCopyBufferSize) {
    EXPECT_DOUBLE_EQ(BatchSeconds(false, 1000000, true, 1000, 26000, 0.9), 0.025);
    // Host time when disjoint, without a frequency, or with an end not after the start.
    EXPECT_TRUE(BatchSeconds(true, 1000000, true, 1000, 26000, 0.9) == 0.9 && BatchSeconds(false, 0, true, 1000, 26000, 0.9) == 0.9 &&
                BatchSeconds(false, 1000000, true, 5000, 5000, 0.9) == 0.9);

    EXPECT_EQ(GpuCopyBufferSize(1536ull << 20), 64ull << 20);  // 1.5 GiB: each dispatch moves 128 MiB
}

#if !defined(_WIN32)
// Compiles a text as an HLSL compute shader (entry "main") with glslang; returns its exit code, log its messages.

int CompileHlsl(const std::string& text, std::string& log) {
    char dir[] = "/tmp/kalorix-hlsl.XXXXXX";
    if (!mkdtemp(dir)) return -1;
    const std::string base = dir;
    std::ofstream(base + "/shader.hlsl", std::ios::binary) << text;
    const int status = std::system(("glslangValidator -D -S comp -e main -V -o " + base + "/shader.spv " + base +
                                    "/shader.hlsl > " + base + "/log.txt 2>&1").c_str());
    std::ifstream in(base + "/log.txt");
    log.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::filesystem::remove_all(base);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(BenchGpuShaders, BothTextsCompileAsHlslComputeShaders) {
    ASSERT_EQ(std::system("command -v glslangValidator > /dev/null 2>&1"), 0)
        << "glslangValidator is missing (scripts/setup-deps installs glslang-tools)";
    std::string log;
    EXPECT_EQ(CompileHlsl(kGpuArithmeticShader, log), 0) << log;
    EXPECT_EQ(CompileHlsl(kGpuCopyShader, log), 0) << log;
    // The check has teeth: a text with one missing parenthesis is refused.
    std::string broken = kGpuCopyShader;
    broken.replace(broken.find("i += Stride)"), 12, "i += Stride");
    EXPECT_NE(CompileHlsl(broken, log), 0);
}
#endif

}  // namespace
}  // namespace kalorix::bench
