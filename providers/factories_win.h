// Factories of the sensor providers. Each returns nothing when its source
// cannot be reached on this machine.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "sensors/sensor_model.h"

namespace kalorix {

std::unique_ptr<Provider> CreatePerfCounterProvider();
std::unique_ptr<Provider> CreateGpuProvider();
std::unique_ptr<Provider> CreateDiskProvider();
std::unique_ptr<Provider> CreateSystemProvider();
std::unique_ptr<Provider> CreateMsiEcProvider();
std::unique_ptr<Provider> CreatePawnIoProvider();

// Full path of PawnIOLib.dll when PawnIO's installation is found, else empty.
std::wstring FindPawnIoLibrary();

// The provider list of the sampling engine, in polling order.
std::vector<std::unique_ptr<Provider>> CreateProviders(bool elevated);

}  // namespace kalorix
