#include "providers/factories_win.h"

namespace kalorix {

std::unique_ptr<Provider> CreateSystemProvider() { return nullptr; }

}  // namespace kalorix
