#include "bench/gpu_bench_win.h"

namespace kalorix::bench {

int RunGpu(Reporter& reporter, Clock&) {
    reporter.Progress(0.0, L"Ekran kartı hazırlanıyor");
    reporter.Error(L"Ekran kartı bileşenleri (Direct3D 11) bulunamadı.");
    return 1;
}

}  // namespace kalorix::bench
