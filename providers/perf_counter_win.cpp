#include "providers/factories_win.h"

namespace kalorix {

std::unique_ptr<Provider> CreatePerfCounterProvider() { return nullptr; }

}  // namespace kalorix
