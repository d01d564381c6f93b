// The memory test's system side: free memory, committed buffers, installed size.
#pragma once

#include "bench/memory_bench.h"

namespace kalorix::bench {

class WinMemoryPlatform : public MemoryPlatform {
public:
    uint64_t availablePhysical() override;
    void* allocate(size_t bytes) override;
    void release(void* p, size_t bytes) override;
    std::optional<uint64_t> installedKilobytes() override;
};

}  // namespace kalorix::bench
