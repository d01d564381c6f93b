#include "providers/factories_win.h"

namespace kalorix {

std::unique_ptr<Provider> CreateDiskProvider() { return nullptr; }

}  // namespace kalorix
