#include "app/process_win.h"

namespace kalorix {

int RunProcess(HINSTANCE, const std::wstring&) { return 0; }

}  // namespace kalorix
