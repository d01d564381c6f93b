// TEMPORARY, this branch only: lets kalorix.exe and the Windows tests link
// until the settings store lands. The definition is weak, so the real
// LoadSettings replaces it; delete this file when merging the store.
#include "store/settings.h"

namespace kalorix {

__attribute__((weak)) Settings LoadSettings() { return Settings{}; }

}  // namespace kalorix
