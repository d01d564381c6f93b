// The GPU test: D3D11 compute throughput and video-memory copy bandwidth.
#pragma once

#include "bench/clock.h"
#include "bench/protocol.h"

namespace kalorix::bench {

int RunGpu(Reporter& reporter, Clock& clock);

}  // namespace kalorix::bench
