#include "providers/factories_win.h"

namespace kalorix {

std::unique_ptr<Provider> CreateMsiEcProvider() { return nullptr; }

}  // namespace kalorix
