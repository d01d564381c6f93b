#include "providers/factories_win.h"

namespace kalorix {

std::unique_ptr<Provider> CreateGpuProvider() { return nullptr; }

}  // namespace kalorix
