#include "bench/gpu_measure.h"

#include <algorithm>
#include <cmath>

namespace kalorix::bench {

const char kGpuArithmeticShader[] =
    "\n"
    "RWByteAddressBuffer Output : register(u0);\n"
    "cbuffer Params : register(b0) { uint Iterations; float Seed; uint2 Padding; };\n"
    "\n"
    "[numthreads(256, 1, 1)]\n"
    "void main(uint3 id : SV_DispatchThreadID)\n"
    "{\n"
    "    float4 a = float4(id.x * 1e-7f, Seed, Seed * 0.5f, 1.0f);\n"
    "    float4 b = a + 0.1f;\n"
    "    float4 c = a + 0.2f;\n"
    "    float4 d = a + 0.3f;\n"
    "    const float4 m = float4(0.9999f, 0.9998f, 0.9997f, 0.9996f);\n"
    "    const float4 k = float4(0.0001f, 0.0002f, 0.0003f, 0.0004f);\n"
    "    [loop] for (uint i = 0; i < Iterations; ++i) {\n"
    "        [unroll] for (uint j = 0; j < 16; ++j) {\n"
    "            a = mad(a, m, k);\n"
    "            b = mad(b, m, k);\n"
    "            c = mad(c, m, k);\n"
    "            d = mad(d, m, k);\n"
    "        }\n"
    "    }\n"
    "    // Sonuç yazılır ki derleyici hesaplamayı atamasın.\n"
    "    Output.Store(id.x * 4, asuint(dot(a + b + c + d, 1.0f)));\n"
    "}\n";

const char kGpuCopyShader[] =
    "\n"
    "ByteAddressBuffer Source : register(t0);\n"
    "RWByteAddressBuffer Destination : register(u0);\n"
    "cbuffer Params : register(b0) { uint Count; uint Stride; uint2 Padding; };\n"
    "\n"
    "[numthreads(256, 1, 1)]\n"
    "void main(uint3 id : SV_DispatchThreadID)\n"
    "{\n"
    "    // Izgara adımlı döngü: her iş parçacığı 16 baytlık blokları kopyalar.\n"
    "    [loop] for (uint i = id.x; i < Count; i += Stride)\n"
    "        Destination.Store4(i * 16, Source.Load4(i * 16));\n"
    "}\n";

double BatchSeconds(bool disjoint, uint64_t frequency, bool stampsAvailable, uint64_t start, uint64_t end,
                    double hostSeconds) {
    if (!disjoint && frequency != 0 && stampsAvailable && end > start) {
        return static_cast<double>(end - start) / static_cast<double>(frequency);
    }
    return hostSeconds;
}

std::optional<double> Measure(GpuTimer& gpu, Reporter& reporter, Clock& host, double workPerCall,
                              const std::function<void()>& work, double p0, double p1, const std::wstring& phase) {
    const double t0 = host.nowSeconds();
    uint32_t reps = 1;
    double allWork = 0, allTime = 0, steadyWork = 0, steadyTime = 0;
    double lastProgress = -1.0;
    for (;;) {
        const double elapsed = host.nowSeconds() - t0;
        if (elapsed >= 2.5) break;
        if (elapsed - lastProgress >= 0.2) {
            reporter.Progress(p0 + (p1 - p0) * elapsed / 2.5, phase);
            lastProgress = elapsed;
        }
        const uint32_t n = reps;
        const auto sample = gpu.timedBatch([&] {
            for (uint32_t i = 0; i < n; ++i) work();
        });
        if (!sample) return std::nullopt;
        const double s = std::max(0.0, *sample);
        allWork += n * workPerCall;
        allTime += s;
        if (host.nowSeconds() - t0 >= 0.5) {
            steadyWork += n * workPerCall;
            steadyTime += s;
        }
        const double factor = s > 0.0 ? std::min(0.025 / s, 2.0) : 2.0;
        const double next = std::trunc(n * factor);
        reps = static_cast<uint32_t>(std::clamp(next, 1.0, 4096.0));
    }
    if (steadyTime > 0.0) return steadyWork / steadyTime;
    if (allTime > 0.0) return allWork / allTime;
    return std::nullopt;
}

std::optional<uint32_t> CalibrateGroups(GpuTimer& gpu, const std::function<void(uint32_t)>& dispatch) {
    uint32_t groups = 256;
    for (int round = 0; round < 16; ++round) {
        const auto t = gpu.timedBatch([&] { dispatch(groups); });
        if (!t) return std::nullopt;
        if (*t > 0.05 && groups >= 17) {
            groups /= 2;
        } else if (*t < 0.002 && groups < 16384) {
            groups *= 2;
        } else {
            break;
        }
    }
    return groups;
}

double GpuFlopsPerDispatch(uint32_t groups) { return static_cast<double>(groups) * 256.0 * 64.0 * 512.0; }

uint64_t GpuCopyBufferSize(uint64_t dedicated) {
    return dedicated >= (1ull << 31) ? 128ull * 1024 * 1024 : 64ull * 1024 * 1024;
}

}  // namespace kalorix::bench
