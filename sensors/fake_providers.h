// Scripted providers for test harnesses and screenshots ("KALORIX_FAKE_SENSORS").
// Never part of a normal start.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix {

// "demo": a busy laptop whose processor runs hot (around and above 85 °C, now and then
// at 95+), a discrete GPU in the amber range, two fans, a disk, memory and a battery.
// "idle": a cool desktop without battery, GPU temperature or fans.
// Unknown names give an empty list.
std::vector<std::unique_ptr<Provider>> MakeFakeProviders(const std::string& scenario);

}  // namespace kalorix
