// Lookups in a sensor frame, shared by the provider tests (native and Windows).
#pragma once

#include <string>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix::test {

inline const SensorReading* Find(const SensorFrame& frame, const std::wstring& id) {
    for (const auto& r : frame.readings)
        if (r.id == id) return &r;
    return nullptr;
}

inline std::vector<std::wstring> Ids(const SensorFrame& frame) {
    std::vector<std::wstring> ids;
    for (const auto& r : frame.readings) ids.push_back(r.id);
    return ids;
}

}  // namespace kalorix::test
