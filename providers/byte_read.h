// Little-endian fields out of answers of the device interfaces (no alignment assumed).
#pragma once

#include <cstdint>
#include <cstring>

namespace kalorix {

inline uint32_t ReadU32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline uint16_t ReadU16(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace kalorix
