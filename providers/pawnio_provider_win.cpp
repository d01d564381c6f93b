#include "providers/factories_win.h"

namespace kalorix {

std::unique_ptr<Provider> CreatePawnIoProvider() { return nullptr; }
std::wstring FindPawnIoLibrary() { return {}; }

}  // namespace kalorix
