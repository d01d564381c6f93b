// The product's hooks: none. Linked into kalorix.exe only.
#include "app/test_hooks_win.h"

namespace kalorix {

TestHooks ActiveTestHooks() { return {}; }

}  // namespace kalorix
