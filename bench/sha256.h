// SHA-256 (FIPS 180-4), the hashing workload of the CPU test.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalorix::bench {

class Sha256 {
public:
    Sha256() { reset(); }
    void reset();
    void update(const uint8_t* data, size_t size);
    std::array<uint8_t, 32> finish();  // pads, returns the digest; reset() before reuse

    static std::array<uint8_t, 32> Hash(const uint8_t* data, size_t size);

private:
    void blocks(const uint8_t* data, size_t count);

    uint32_t h_[8];
    uint8_t pending_[64];
    size_t pendingSize_ = 0;
    uint64_t totalBytes_ = 0;
};

}  // namespace kalorix::bench
